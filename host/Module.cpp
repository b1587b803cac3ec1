// Loading and unloading the module with the dynamic linker. The module is
// loaded RTLD_LOCAL so that its own symbols never satisfy lookups of the
// host's exported functions, and RTLD_NOW so that a missing symbol fails the
// load instead of a later call.
#include "host/Module.h"

#include <dlfcn.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#define TRESSEL_LSAN_DISABLE() __lsan_disable()
#define TRESSEL_LSAN_ENABLE() __lsan_enable()
#else
#define TRESSEL_LSAN_DISABLE()
#define TRESSEL_LSAN_ENABLE()
#endif

namespace host {

CModule::~CModule() { Unload(); }

bool CModule::Load(const std::filesystem::path& path, std::string* error) {
  Unload();
  std::error_code ignored;
  if (!std::filesystem::is_regular_file(path, ignored)) {
    if (error) *error = "cannot load module " + path.string() + ": no such file";
    return false;
  }
  // The module carries its own C++ runtime, whose static initialisers allocate
  // an emergency exception pool that is never freed, so every unload strands
  // it. Only allocations made while loading are exempt from leak detection;
  // everything the module allocates in its calls is still checked.
  TRESSEL_LSAN_DISABLE();
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  TRESSEL_LSAN_ENABLE();
  if (!handle) {
    const char* why = dlerror();
    if (error) *error = "cannot load module " + path.string() + ": " + (why ? why : "unknown reason");
    return false;
  }
  dlerror();
  void* entry = dlsym(handle, "Main");
  if (!entry) {
    dlclose(handle);
    if (error) *error = "cannot load module " + path.string() + ": it has no entry point Main";
    return false;
  }
  mHandle = handle;
  mEntry = reinterpret_cast<MainProc>(entry);
  mPath = path;
  return true;
}

void CModule::Unload() {
  if (mHandle) dlclose(mHandle);
  mHandle = nullptr;
  mEntry = nullptr;
  mPath.clear();
}

}  // namespace host
