// The modifier set of a 16-byte macOS key map: key code k is bit (k mod 8) of
// byte (k div 8). Pure, so every build's tests can check it.
#ifndef TRESSEL_PLATFORM_MACOS_KEYMAP_H
#define TRESSEL_PLATFORM_MACOS_KEYMAP_H

#include <stdint.h>

namespace platform {

inline bool KeyMapHolds(const uint8_t map[16], unsigned keyCode) { return (map[keyCode / 8] >> (keyCode % 8)) & 1u; }

// Shift (56) 0x0001, Command (55) or Control (59) 0x0006, Option (58) 0x0008,
// Space (49) 0x0100.
inline uint16_t ModifiersFromKeyMap(const uint8_t map[16]) {
  uint16_t bits = 0;
  if (KeyMapHolds(map, 56)) bits |= 0x0001;
  if (KeyMapHolds(map, 55) || KeyMapHolds(map, 59)) bits |= 0x0006;
  if (KeyMapHolds(map, 58)) bits |= 0x0008;
  if (KeyMapHolds(map, 49)) bits |= 0x0100;
  return bits;
}

}  // namespace platform

#endif  // TRESSEL_PLATFORM_MACOS_KEYMAP_H
