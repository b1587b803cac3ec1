// Escaping control characters and broken UTF-8 in what the command prints.
#include "cli/io/Printable.h"

#include <cstdio>

namespace cliio {
namespace {

void AppendHex(std::string* out, const char* prefix, unsigned value, int digits) {
  char buffer[12];
  std::snprintf(buffer, sizeof buffer, "%s%0*X", prefix, digits, value);
  *out += buffer;
}

// Length of the well-formed UTF-8 sequence at text[i] (2..4), or 0.
size_t SequenceLength(std::string_view text, size_t i) {
  const unsigned char lead = static_cast<unsigned char>(text[i]);
  size_t length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 && lead < 0xE0 ? 2 : 0;
  if (length == 0 || i + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k)
    if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 0;
  const unsigned char second = static_cast<unsigned char>(text[i + 1]);
  if (lead == 0xE0 && second < 0xA0) return 0;  // overlong
  if (lead == 0xED && second >= 0xA0) return 0;  // surrogate
  if (lead == 0xF0 && second < 0x90) return 0;  // overlong
  if (lead == 0xF4 && second >= 0x90) return 0;  // beyond U+10FFFF
  return length;
}

}  // namespace

std::string Printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x7F) {
      out += char(c);
      ++i;
      continue;
    }
    switch (c) {
      case '\n': out += "\\n"; ++i; continue;
      case '\r': out += "\\r"; ++i; continue;
      case '\t': out += "\\t"; ++i; continue;
      case 0x1B: out += "\\e"; ++i; continue;
      default: break;
    }
    if (c < 0x80) {
      AppendHex(&out, "\\x", c, 2);
      ++i;
      continue;
    }
    const size_t length = SequenceLength(text, i);
    if (length == 0) {
      AppendHex(&out, "\\x", c, 2);
      ++i;
    } else if (length == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
      AppendHex(&out, "\\u", static_cast<unsigned char>(text[i + 1]), 4);  // C1 control
      i += 2;
    } else {
      out.append(text.substr(i, length));
      i += length;
    }
  }
  return out;
}

}  // namespace cliio
