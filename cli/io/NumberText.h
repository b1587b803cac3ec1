// Numbers as text for the wire writers, fast and byte for byte what
// std::to_chars writes: a float in its shortest form that reads back exactly
// (fixed or scientific, whichever is shorter, fixed on a tie) and unsigned
// integers in decimal.
#ifndef TRESSEL_CLI_IO_NUMBERTEXT_H
#define TRESSEL_CLI_IO_NUMBERTEXT_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <charconv>

namespace cliio {

// Room WriteShortest and WriteDecimal may need: the longest float text is 15
// characters ("-1.17549435e-38"), the longest uint64_t 20.
constexpr size_t kMaxNumberText = 24;

// Writes the text std::to_chars(at, at + kMaxNumberText, value) writes and
// returns its end. Finite values take the fast road (about a third of the
// library's time); infinities and NaNs are handed to the library.
// REQUIRES: room for kMaxNumberText characters at `at`.
char* WriteShortest(char* at, float value);

// Writes `value` in decimal, as std::to_chars does, and returns the end.
// Below 10^8 the digits go out as one word store (the writers' indices, on
// every line of a segment list); up to 8 bytes past the end are overwritten.
// REQUIRES: room for kMaxNumberText characters at `at`.
inline char* WriteDecimal(char* at, uint64_t value);

// --- implementation

namespace digits {

constexpr char kPairs[201] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// How many decimal digits `value` has (0 has one), without branches: the bit
// length times 1233 / 4096 (just below log10 2) is the count or one less.
inline int32_t Length(uint32_t value) {
  static constexpr uint32_t kPowers[10] = {0, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};
  const int32_t guess = ((32 - __builtin_clz(value | 1)) * 1233) >> 12;
  return guess + (value >= kPowers[guess]);
}

inline uint64_t Pair(uint32_t value) {
  uint16_t pair;
  memcpy(&pair, kPairs + 2 * value, 2);
  return pair;
}

// The eight digits of value < 10^8 as characters in one word, the first in
// the lowest byte (memory order on little-endian machines).
inline uint64_t Eight(uint32_t value) {
  const uint32_t high = value / 10000, low = value % 10000;
  return Pair(high / 100) | Pair(high % 100) << 16 | Pair(low / 100) << 32 | Pair(low % 100) << 48;
}

inline void Store8(char* at, uint64_t chars) { memcpy(at, &chars, 8); }

}  // namespace digits

inline char* WriteDecimal(char* at, uint64_t value) {
  if (value >= 100000000) return std::to_chars(at, at + kMaxNumberText, value).ptr;
  const int32_t length = digits::Length(uint32_t(value));
  digits::Store8(at, digits::Eight(uint32_t(value)) >> (8 * (8 - length)));
  return at + length;
}

}  // namespace cliio

#endif  // TRESSEL_CLI_IO_NUMBERTEXT_H
