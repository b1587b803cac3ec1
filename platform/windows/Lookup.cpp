// Function lookup on Windows: the export table of the process's executable
// (GetModuleHandle(NULL)), which is where the host exports its EI_ functions.
// The module's own forwarders are not in any export table, so they are never
// found here.
#include <windows.h>

#include "platform/Platform.h"

namespace platform {

namespace {
HostFunctionResolver gResolver = nullptr;
}

void* LookupHostFunction(const char* name) {
  if (gResolver) return gResolver(name);
  // The executable's handle is valid for the life of the process and needs no release.
  HMODULE executable = GetModuleHandleW(nullptr);
  if (!executable) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(executable, name));
}

void SetHostFunctionResolverForTesting(HostFunctionResolver resolver) { gResolver = resolver; }

}  // namespace platform
