// The stored settings stream as the command reads and writes it: the bytes the
// module keeps after the tag slot of the instance data block, which a scene
// saves. The byte format (big-endian, 28 + L bytes) is the module's:
//   "WIRE", version uint32, mode int32, push float, scale float,
//   useExclude int32, L int32 (0..254), L bytes of the selection list text.
#ifndef TRESSEL_CLI_STOREDSETTINGS_H
#define TRESSEL_CLI_STOREDSETTINGS_H

#include <stdint.h>

#include <string>
#include <vector>

namespace cli {

constexpr uint32_t kSettingsMagic = 0x57495245u;    // "WIRE"
constexpr uint32_t kSettingsVersion = 0x00010000u;
constexpr size_t kMaxSelectionText = 254;            // bytes

// The module's defaults: mode 0, push 10, scale 1, list off and empty.
struct CStoredSettings {
  uint32_t version = kSettingsVersion;
  int32_t mode = 0;
  float push = 10.0f;
  float scale = 1.0f;
  int32_t useExclude = 0;
  std::string text;  // bytes as stored; at most kMaxSelectionText
};

// The stream's bytes. REQUIRES: settings.text.size() <= kMaxSelectionText.
std::vector<uint8_t> EncodeSettings(const CStoredSettings& settings);

// Reads a whole stream: false with *detail when it does not begin with "WIRE",
// is cut short, stores a length outside 0..254, or has bytes after the text.
// Stricter than the module (which falls back to defaults), because the command
// must never rewrite settings it did not understand. REQUIRES: out, detail.
bool DecodeSettings(const std::vector<uint8_t>& bytes, CStoredSettings* out, std::string* detail);

// Lowercase hexadecimal, two digits a byte, and back (false on odd length or
// a character that is not a hex digit; upper case is accepted).
std::string ToHex(const std::vector<uint8_t>& bytes);
bool FromHex(const std::string& text, std::vector<uint8_t>* bytes);

}  // namespace cli

#endif  // TRESSEL_CLI_STOREDSETTINGS_H
