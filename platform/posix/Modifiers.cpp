// Modifier keys on Linux: a plug-in has no keyboard of its own here, so no key
// is ever reported as held.
#include "platform/Platform.h"

namespace platform {

uint16_t ModifierKeys() { return 0; }

}  // namespace platform
