// RadixSort: a stable least-significant-digit sort of plain records by a key
// of kWords unsigned 32-bit words (word 0 most significant), 11 bits a pass.
// Cost: one counting pass over the records, then at most 3 * kWords scatter
// passes, each linear in n; a pass whose digit is the same in every record is
// skipped. Memory: the caller's scratch of n records plus one histogram block
// of 3 * kWords * 2048 counts from the host allocator.
#ifndef TRESSEL_BASE_RADIXSORT_H
#define TRESSEL_BASE_RADIXSORT_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "base/TVector.h"
#include "plugin/HostMemory.h"

// Sorts items[0..n) by (key(item, 0), ..., key(item, kWords - 1)); records
// with equal keys keep their order. The result is in items; scratch (room for
// n records) is left undefined. key(const T&, int word) returns uint32_t.
// REQUIRES: n < 2^32. Throws the memory exception when the histogram block is
// refused.
template <int kWords, typename T, typename Key>
void RadixSort(T* items, T* scratch, size_t n, Key key) {
  constexpr int kBits = 11;
  constexpr uint32_t kBuckets = 1u << kBits;
  constexpr uint32_t kMask = kBuckets - 1;
  constexpr int kDigits = 3 * kWords;  // 11 + 11 + 10 bits per word
  if (n < 2) return;

  TVector<uint32_t> counts;
  if (!counts.Allocate(size_t(kDigits) * kBuckets)) ThrowMemoryException();
  memset(counts.items, 0, size_t(kDigits) * kBuckets * sizeof(uint32_t));
  // Digit d (0 = least significant) is bits 11 * (d % 3) up of word
  // kWords - 1 - d / 3.
  for (size_t i = 0; i < n; ++i) {
    for (int w = 0; w < kWords; ++w) {
      const uint32_t word = key(items[i], w);
      uint32_t* c = counts.items + size_t(3 * (kWords - 1 - w)) * kBuckets;
      ++c[word & kMask];
      ++c[kBuckets + ((word >> kBits) & kMask)];
      ++c[2 * kBuckets + (word >> (2 * kBits))];
    }
  }

  T* from = items;
  T* to = scratch;
  for (int d = 0; d < kDigits; ++d) {
    const int word = kWords - 1 - d / 3;
    const int shift = kBits * (d % 3);
    uint32_t* c = counts.items + size_t(d) * kBuckets;
    if (c[(key(from[0], word) >> shift) & kMask] == n) continue;  // one digit for all
    uint32_t offset = 0;
    for (uint32_t b = 0; b < kBuckets; ++b) {
      const uint32_t size = c[b];
      c[b] = offset;
      offset += size;
    }
    for (size_t i = 0; i < n; ++i) to[c[(key(from[i], word) >> shift) & kMask]++] = from[i];
    T* swap = from;
    from = to;
    to = swap;
  }
  if (from != items) memcpy(static_cast<void*>(items), from, n * sizeof(T));
}

#endif  // TRESSEL_BASE_RADIXSORT_H
