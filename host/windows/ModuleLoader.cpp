// Loading the module on Windows. The host's EI_ functions are found by the
// module in the executable's export table, so the module's own names can never
// satisfy them; the entry is exported as "main".
#include <windows.h>

#include "host/ModuleLoader.h"

namespace host {

void* OpenModuleLibrary(const std::filesystem::path& path, std::string* why) {
  HMODULE library = LoadLibraryW(path.c_str());
  if (!library && why) *why = "system error " + std::to_string(GetLastError());
  return reinterpret_cast<void*>(library);
}

void* FindModuleEntry(void* library) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), "main"));
}

const char* ModuleEntryName() { return "main"; }

void CloseModuleLibrary(void* library) { FreeLibrary(static_cast<HMODULE>(library)); }

}  // namespace host
