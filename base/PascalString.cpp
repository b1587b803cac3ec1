// PascalString operations: appending, formatting, searching, editing, number
// conversion and word extraction over the 256-byte length-prefixed value.
// Every operation is linear in the at most 255 characters involved and writes
// only inside the value; results longer than 254 characters are cut.
#include "base/PascalString.h"

#include <errno.h>
#include <math.h>
#include <stdint.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>


namespace {

// Room for any printf result we keep: everything past 254 characters is cut
// anyway, the rest of the buffer only spares vsnprintf a second pass.
constexpr size_t kFormatBuffer = 1024;

// True when c occurs in set. The terminator of set is not a member, so a NUL
// byte inside a text never counts as a delimiter or trim character.
bool InSet(uint8_t c, const char* set) {
  return set && c != 0 && strchr(set, c) != nullptr;
}

}  // namespace

PascalString::PascalString(const char* fmt, ...) {
  char buffer[kFormatBuffer];
  buffer[0] = 0;
  if (fmt) {
    va_list args;
    va_start(args, fmt);
    if (vsnprintf(buffer, sizeof buffer, fmt, args) < 0) buffer[0] = 0;
    va_end(args);
  }
  SetLen(0);
  *this += buffer;
}

PascalString& PascalString::SetLen(uint8_t n) {
  if (n > kMaxLength) n = kMaxLength;
  data_[0] = n;
  data_[n + 1] = 0;
  return *this;
}

PascalString& PascalString::operator+=(const char* s) {
  if (!s) return *this;
  // A length byte of 255 can only come in through Raw(); appending treats such
  // a text as full.
  const size_t length = Length() < kMaxLength ? size_t(Length()) : size_t(kMaxLength);
  const size_t room = kMaxLength - length;
  // s may point into this value; memmove copes with the overlap.
  const size_t n = strnlen(s, room);
  memmove(data_ + 1 + length, s, n);
  return SetLen(static_cast<uint8_t>(length + n));
}

PascalString& PascalString::operator=(const char* s) {
  if (!s) return *this;
  // Built aside first: s may be this string's own characters.
  PascalString copy;
  copy += s;
  return *this = copy;
}

PascalString PascalString::operator+(const char* s) const {
  PascalString result(*this);
  result += s;
  return result;
}

PascalString PascalString::operator+(const PascalString& s) const {
  PascalString result(*this);
  result += s.c_str();
  return result;
}

// REQUIRES: dst has room for min(src length + 1, max) bytes. Copies the
// length byte and the characters of src, but never more than max bytes; when
// the string does not fit, dst's length becomes max - 1 (the characters that
// were copied). max is taken as at most 256, the most a length byte can
// describe; a max below 1 copies nothing. No byte past the string is read.
void PascalString::PasCopy(uint8_t* dst, const uint8_t* src, short max) {
  if (!dst || !src || max < 1) return;
  if (max > 256) max = 256;
  const int bytes = src[0] + 1;
  if (bytes < max) {
    memmove(dst, src, size_t(bytes));
  } else {
    memmove(dst, src, size_t(max));
    dst[0] = static_cast<uint8_t>(max - 1);
  }
}

PascalString& PascalString::FromPas(const uint8_t* p) {
  if (!p) return *this;
  PasCopy(data_, p, kMaxLength);
  return SetLen(data_[0]);
}

short PascalString::CharLast(char c) const {
  for (int i = Length(); i >= 1; --i) {
    if (data_[i] == static_cast<uint8_t>(c)) return static_cast<short>(i);
  }
  return 0;
}

short PascalString::Pos(const char* sub) const {
  if (!sub) return 0;
  const char* found = strstr(c_str(), sub);
  return found ? static_cast<short>(found - c_str() + 1) : 0;
}

PascalString& PascalString::Delete(short pos, short n) {
  const int length = Length();
  const int count = n < 0 ? 255 : n;
  const int from = pos < 1 ? 1 : pos;
  if (from > length) return *this;
  const int end = from + count < length + 1 ? from + count : length + 1;
  memmove(data_ + from, data_ + end, size_t(length + 1 - end));
  return SetLen(static_cast<uint8_t>(length - (end - from)));
}

void PascalString::Insert(const char* s, short pos) {
  if (!s) return;
  // Both pieces are taken aside: s may point into this string.
  PascalString inserted;
  inserted += s;
  PascalString tail;
  const int from = pos < 1 ? 1 : pos;
  if (from <= Length()) tail += c_str() + (from - 1);
  Delete(pos, -1);
  *this += inserted.c_str();
  *this += tail.c_str();
}

PascalString& PascalString::TrimLead(const char* set) {
  int count = 0;
  while (count < Length() && InSet(data_[count + 1], set)) ++count;
  if (count > 0) Delete(1, static_cast<short>(count));
  return *this;
}

PascalString& PascalString::Trim(const char* set) {
  TrimLead(set);
  while (!IsEmpty() && InSet(data_[Length()], set)) SetLen(static_cast<uint8_t>(Length() - 1));
  return *this;
}

bool PascalString::GetDouble(double& v) const {
  v = 0;
  if (IsEmpty()) return false;
  char* end = nullptr;
  const double value = strtod(c_str(), &end);
  if (end != c_str() + Length()) return false;
  v = value;
  return true;
}

// A whole number beyond 32 bits (or beyond the platform's long, 32 bits on
// Windows) saturates to INT32_MIN or INT32_MAX and still reads: "1-99999999999"
// is a range up to a very large number on every platform.
bool PascalString::GetLong(int& v) const {
  v = 0;
  if (IsEmpty()) return false;
  if (Length() == 1 && data_[1] == '-') return true;
  char* end = nullptr;
  const int saved = errno;
  const long value = strtol(c_str(), &end, 10);
  errno = saved;
  v = value > INT32_MAX ? INT32_MAX : value < INT32_MIN ? INT32_MIN : static_cast<int>(value);
  return end == c_str() + Length();
}

void PascalString::SetDouble(double x, short digits) {
  if (isnan(x) || fabs(x) > 1000000.0) {
    *this = PascalString("%g", x);
    return;
  }
  const int first = digits >= 0 ? digits : 4;
  const int last = digits >= 0 ? digits : 10;
  for (int places = first; places <= last; ++places) {
    const PascalString format("%%.%df", places);
    *this = PascalString(format.c_str(), x);
    double readBack;
    GetDouble(readBack);
    if (readBack != 0) break;
  }
  // Trailing zeros go, but one digit stays after the point.
  while (Length() > 2 && Pos(".") != 0 && data_[Length()] == '0' && data_[Length() - 1] != '.') {
    SetLen(static_cast<uint8_t>(Length() - 1));
  }
}

short PascalString::ExtractWord(PascalString& word, short n, const char* delims) const {
  // Built aside: word may be this string.
  PascalString found;
  const int length = Length();
  int number = 0;
  int i = 1;
  while (i <= length) {
    if (InSet(data_[i], delims)) {
      ++i;
      continue;
    }
    const int start = i;
    if (++number == n) {
      int k = 0;
      while (i <= length && !InSet(data_[i], delims)) {
        if (k < kMaxLength) found.data_[1 + k++] = data_[i];
        ++i;
      }
      found.SetLen(static_cast<uint8_t>(k));
      word = found;
      return static_cast<short>(start);
    }
    while (i <= length && !InSet(data_[i], delims)) ++i;
  }
  word = found;
  return 0;
}

bool PascalString::ExtractLexema(PascalString& word, short n, const char* delims, uint8_t flags) {
  const short pos = ExtractWord(word, n, delims);
  if (pos == 0) return false;
  if (flags & 2) Delete(1, static_cast<short>(pos + word.Length() - 1));
  if (!(flags & 1)) return true;
  word.Trim(" \t");
  return !word.IsEmpty();
}
