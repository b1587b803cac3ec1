// Encoding and decoding the stored settings stream (format in StoredSettings.h)
// and the hex form a scene file holds it in. Linear in the stream's length.
#include "cli/StoredSettings.h"

#include <cstring>

namespace cli {
namespace {

void PutWord(std::vector<uint8_t>* out, uint32_t word) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(uint8_t(word >> shift));
}

uint32_t WordAt(const std::vector<uint8_t>& bytes, size_t offset) {
  return uint32_t(bytes[offset]) << 24 | uint32_t(bytes[offset + 1]) << 16 | uint32_t(bytes[offset + 2]) << 8 |
         uint32_t(bytes[offset + 3]);
}

uint32_t FloatBits(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

float BitsFloat(uint32_t bits) {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::vector<uint8_t> EncodeSettings(const CStoredSettings& settings) {
  std::vector<uint8_t> out;
  PutWord(&out, kSettingsMagic);
  PutWord(&out, settings.version);
  PutWord(&out, uint32_t(settings.mode));
  PutWord(&out, FloatBits(settings.push));
  PutWord(&out, FloatBits(settings.scale));
  PutWord(&out, uint32_t(settings.useExclude));
  PutWord(&out, uint32_t(settings.text.size()));
  out.insert(out.end(), settings.text.begin(), settings.text.end());
  return out;
}

bool DecodeSettings(const std::vector<uint8_t>& bytes, CStoredSettings* out, std::string* detail) {
  constexpr size_t kFixed = 28;
  if (bytes.size() < 4 || WordAt(bytes, 0) != kSettingsMagic) {
    *detail = "the stored settings do not begin with \"WIRE\"";
    return false;
  }
  if (bytes.size() < kFixed) {
    *detail = "the stored settings are cut short (" + std::to_string(bytes.size()) + " bytes, at least 28 needed)";
    return false;
  }
  uint32_t length = WordAt(bytes, 24);
  if (length > kMaxSelectionText) {
    *detail = "the stored selection list length " + std::to_string(int32_t(length)) + " is outside 0..254";
    return false;
  }
  if (bytes.size() != kFixed + length) {
    *detail = "the stored settings are " + std::to_string(bytes.size()) + " bytes, their text length makes " +
              std::to_string(kFixed + length);
    return false;
  }
  CStoredSettings settings;
  settings.version = WordAt(bytes, 4);
  settings.mode = int32_t(WordAt(bytes, 8));
  settings.push = BitsFloat(WordAt(bytes, 12));
  settings.scale = BitsFloat(WordAt(bytes, 16));
  settings.useExclude = int32_t(WordAt(bytes, 20));
  settings.text.assign(bytes.begin() + kFixed, bytes.end());
  *out = settings;
  return true;
}

std::string ToHex(const std::vector<uint8_t>& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (uint8_t byte : bytes) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
  }
  return text;
}

bool FromHex(const std::string& text, std::vector<uint8_t>* bytes) {
  if (text.size() % 2 != 0) return false;
  std::vector<uint8_t> out;
  out.reserve(text.size() / 2);
  for (size_t i = 0; i < text.size(); i += 2) {
    int high = HexDigit(text[i]), low = HexDigit(text[i + 1]);
    if (high < 0 || low < 0) return false;
    out.push_back(uint8_t(high << 4 | low));
  }
  *bytes = std::move(out);
  return true;
}

}  // namespace cli
