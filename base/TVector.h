// TVector<T>: a growable array of plain records whose storage comes from the
// host allocator (MAlloc / MFree), so it may only be used while a host call is
// active.
//
// Storage: one block of `capacity` elements, `count` of them in use. Elements
// move with raw byte copies and are never destroyed one by one, so T must be
// trivially copyable.
//   - Allocate() may move the block (and may truncate when shrinking);
//     ElemNew() may move it when the vector is full. Either invalidates every
//     pointer into the vector.
//   - ElemDel() and SetCount() never move or shrink the block.
//   - Free() and the destructor release the block and leave the vector empty.
// A refused allocation normally raises the memory exception inside MAlloc; if
// the hook ever yields null, Allocate answers false and ElemNew null, with the
// vector unchanged.
#ifndef TRESSEL_BASE_TVECTOR_H
#define TRESSEL_BASE_TVECTOR_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <type_traits>

#include "plugin/HostMemory.h"

template <typename T>
class TVector {
  static_assert(std::is_trivially_copyable<T>::value, "TVector holds plain records only");

 public:
  T* items = nullptr;
  size_t count = 0;
  size_t capacity = 0;

  TVector() = default;
  TVector(const TVector&) = delete;
  ~TVector() { Free(); }

  // Replaces the contents with a copy of src (capacity max(src.count, 16));
  // an empty source, or a refused block, leaves this vector empty.
  TVector& operator=(const TVector& src) {
    if (this == &src) return *this;
    Free();
    if (src.capacity == 0) return *this;
    if (!Allocate(src.count)) return *this;
    if (src.count) memcpy(items, src.items, src.count * sizeof(T));
    count = src.count;
    return *this;
  }

  // Sets the capacity to max(n, 16). A capacity below count truncates.
  bool Allocate(size_t n) {
    const size_t cap = n < 16 ? 16 : n;
    if (cap == capacity) return true;
    // A byte count that does not fit size_t can never be served; MAlloc itself
    // refuses anything from 2^31 bytes on, so growth cannot wrap silently.
    if (cap > SIZE_MAX / sizeof(T)) ThrowMemoryException();
    T* block = static_cast<T*>(MAlloc(cap * sizeof(T)));
    if (!block) return false;
    if (items) {
      if (count > cap) count = cap;
      if (count) memcpy(block, items, count * sizeof(T));
      MFree(items);
    }
    items = block;
    capacity = cap;
    return true;
  }

  // Appends a zero-filled element (grows by half when full: 16, 24, 36, 54…).
  // Returns it, or null when no storage was obtained.
  T* ElemNew() {
    if (count >= capacity && !Allocate(capacity + capacity / 2)) return nullptr;
    T* elem = items + count;
    memset(static_cast<void*>(elem), 0, sizeof(T));
    ++count;
    return elem;
  }

  // Removes up to n elements from index on, keeping the order of the rest.
  void ElemDel(size_t index, int n) {
    if (n <= 0 || index >= count) return;
    size_t k = count - index;
    if (static_cast<size_t>(n) < k) k = static_cast<size_t>(n);
    memmove(static_cast<void*>(items + index), items + index + k, (count - index - k) * sizeof(T));
    count -= k;
  }

  // REQUIRES: n <= capacity. Elements past the old count are not initialised.
  void SetCount(size_t n) { count = n; }

  // Releases the block; the vector becomes empty.
  void Free() {
    if (items) MFree(items);
    items = nullptr;
    count = 0;
    capacity = 0;
  }

  T& operator[](size_t i) { return items[i]; }
  const T& operator[](size_t i) const { return items[i]; }
};

#endif  // TRESSEL_BASE_TVECTOR_H
