// Function lookup on POSIX: the default search scope finds the names the host
// executable exports. The module's own functions are hidden, so they are never
// found here.
#include <dlfcn.h>

#include "platform/Platform.h"

namespace platform {

namespace {
HostFunctionResolver gResolver = nullptr;
}

void* LookupHostFunction(const char* name) {
  if (gResolver) return gResolver(name);
  return dlsym(RTLD_DEFAULT, name);
}

void SetHostFunctionResolverForTesting(HostFunctionResolver resolver) { gResolver = resolver; }

}  // namespace platform
