// Function lookup on POSIX: the default search scope finds the names the host
// executable exports. The module's own functions are hidden, so they are never
// found here.
#include <dlfcn.h>

#include "platform/Platform.h"

namespace platform {

void* LookupHostFunction(const char* name) { return dlsym(RTLD_DEFAULT, name); }

}  // namespace platform
