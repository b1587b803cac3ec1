// Modifier keys on macOS: the key map of the toolbox's GetKeys. The module
// links only the system library, so GetKeys is found in the host process (an
// application with a user interface has the toolbox loaded); without it no key
// is reported as held.
#include <dlfcn.h>

#include "platform/Platform.h"
#include "platform/macos/KeyMap.h"

namespace platform {

uint16_t ModifierKeys() {
  typedef void (*GetKeysFunction)(uint8_t map[16]);
  static GetKeysFunction getKeys = reinterpret_cast<GetKeysFunction>(dlsym(RTLD_DEFAULT, "GetKeys"));
  if (!getKeys) return 0;
  uint8_t map[16] = {};
  getKeys(map);
  return ModifiersFromKeyMap(map);
}

}  // namespace platform
