// Texts the module hands over: length-prefixed 8-bit strings in Mac Roman.
#ifndef TRESSEL_HOST_MACROMAN_H
#define TRESSEL_HOST_MACROMAN_H

#include <stdint.h>

#include <string>

namespace host {

// The characters of a 256-byte length-prefixed field (length byte, then up to
// 255 bytes), unconverted.
std::string PascalBytes(const uint8_t (&field)[256]);

// Writes text as a length-prefixed field; longer texts are cut at 255 bytes.
void SetPascalBytes(uint8_t (&field)[256], const std::string& text);

// UTF-8 for Mac Roman bytes: 0x00-0x7F unchanged, 0x80-0xFF by the Mac Roman table.
std::string MacRomanToUtf8(const std::string& bytes);

}  // namespace host

#endif  // TRESSEL_HOST_MACROMAN_H
