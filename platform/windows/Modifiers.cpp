// Modifier keys on Windows: GetAsyncKeyState for each key of the modifier
// table; a key counts as held when the call answers anything but zero (so a key
// pressed since the previous query counts too).
#include <windows.h>

#include "platform/Platform.h"

namespace platform {

namespace {

struct KeyBit {
  int virtualKey;
  uint16_t bit;
};

// Command/Control of the other platform is VK_F1 here; 0x0006 is the host's
// value for that key, two bits at once.
constexpr KeyBit kModifierKeys[] = {
    {VK_SHIFT, 0x0001},
    {VK_F1, 0x0006},
    {VK_MENU, 0x0008},
    {VK_SPACE, 0x0100},
};

}  // namespace

uint16_t ModifierKeys() {
  uint16_t held = 0;
  for (const KeyBit& key : kModifierKeys)
    if (GetAsyncKeyState(key.virtualKey) != 0) held |= key.bit;
  return held;
}

}  // namespace platform
