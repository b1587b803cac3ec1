// PascalString: the module's only string type. A 256-byte value: byte 0 is the
// length n, bytes 1..n the characters, byte n+1 always 0 after every
// operation, so the characters can be handed on as a NUL-terminated text.
//
// Capacity: 254 characters through appending, assignment and construction;
// 253 through FromPas. Text beyond the limit is cut silently. Positions are
// 1-based shorts; 0 means "not found". Characters are single bytes, no
// encoding is interpreted. No operation fails or throws, and no operation
// writes outside the 256 bytes.
#ifndef TRESSEL_BASE_PASCALSTRING_H
#define TRESSEL_BASE_PASCALSTRING_H

#include <stdint.h>

class PascalString {
 public:
  static constexpr int kMaxLength = 254;

  PascalString() { SetLen(0); }
  // printf-style construction; the result is cut at 254 characters.
  explicit PascalString(const char* fmt, ...);
  PascalString(const PascalString&) = default;
  PascalString& operator=(const PascalString&) = default;

  // The const char* operands may point into this string's own characters; a
  // null operand changes nothing.
  PascalString& operator+=(const char* s);
  PascalString& operator=(const char* s);
  PascalString operator+(const char* s) const;
  PascalString operator+(const PascalString& s) const;

  // Sets the length byte and the terminator; characters are not touched.
  // A length of 255 is kept inside the value: the terminator then takes the
  // last byte and the length becomes 254.
  PascalString& SetLen(uint8_t n);
  // Copies a length-prefixed string, keeping at most 253 characters.
  PascalString& FromPas(const uint8_t* p);
  // Byte copier behind FromPas (see the .cpp for its exact contract).
  static void PasCopy(uint8_t* dst, const uint8_t* src, short max);

  short CharLast(char c) const;
  short Pos(const char* sub) const;
  PascalString& Delete(short pos, short n);
  void Insert(const char* s, short pos);
  PascalString& TrimLead(const char* set);
  PascalString& Trim(const char* set);

  bool GetDouble(double& v) const;
  // Beyond 32 bits v saturates to INT32_MIN / INT32_MAX and the text still reads.
  bool GetLong(int& v) const;
  void SetDouble(double x, short digits);

  short ExtractWord(PascalString& word, short n, const char* delims) const;
  bool ExtractLexema(PascalString& word, short n, const char* delims, uint8_t flags);

  int Length() const { return data_[0]; }
  bool IsEmpty() const { return data_[0] == 0; }
  // The characters, NUL-terminated.
  const char* c_str() const { return reinterpret_cast<const char*>(data_ + 1); }
  // The raw 256-byte storage (length byte first), as copied into host records.
  const uint8_t* Raw() const { return data_; }
  uint8_t* Raw() { return data_; }
  // Character at 1-based position i (no range check).
  char operator[](int i) const { return static_cast<char>(data_[i]); }

 private:
  uint8_t data_[256];
};
static_assert(sizeof(PascalString) == 256, "PascalString is copied whole into host records");

#endif  // TRESSEL_BASE_PASCALSTRING_H
