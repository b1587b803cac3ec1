// Numbers as text for the wire writers, fast and byte for byte what
// std::to_chars writes: a float in its shortest form that reads back exactly
// (fixed or scientific, whichever is shorter, fixed on a tie) and unsigned
// integers in decimal.
#ifndef TRESSEL_CLI_IO_NUMBERTEXT_H
#define TRESSEL_CLI_IO_NUMBERTEXT_H

#include <stddef.h>
#include <stdint.h>

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

// Writes `value` in decimal (std::to_chars) and returns the end.
// REQUIRES: room for kMaxNumberText characters at `at`.
inline char* WriteDecimal(char* at, uint64_t value) { return std::to_chars(at, at + kMaxNumberText, value).ptr; }

}  // namespace cliio

#endif  // TRESSEL_CLI_IO_NUMBERTEXT_H
