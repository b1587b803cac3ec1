// Loading the module with the dynamic linker. The module is loaded RTLD_LOCAL
// so that its own symbols never satisfy lookups of the host's exported
// functions, and RTLD_NOW so that a missing symbol fails the load instead of a
// later call.
#include <dlfcn.h>

#include "host/ModuleLoader.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#define TRESSEL_LSAN_DISABLE() __lsan_disable()
#define TRESSEL_LSAN_ENABLE() __lsan_enable()
#else
#define TRESSEL_LSAN_DISABLE()
#define TRESSEL_LSAN_ENABLE()
#endif

namespace host {

void* OpenModuleLibrary(const std::filesystem::path& path, std::string* why) {
  // The module carries its own C++ runtime, whose static initialisers allocate
  // an emergency exception pool that is never freed, so every unload strands
  // it. Only allocations made while loading are exempt from leak detection;
  // everything the module allocates in its calls is still checked.
  TRESSEL_LSAN_DISABLE();
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  TRESSEL_LSAN_ENABLE();
  if (!library && why) {
    const char* reason = dlerror();
    *why = reason ? reason : "unknown reason";
  }
  return library;
}

void* FindModuleEntry(void* library) {
  dlerror();
  return dlsym(library, "Main");
}

const char* ModuleEntryName() { return "Main"; }

void CloseModuleLibrary(void* library) { dlclose(library); }

}  // namespace host
