// Loading and unloading the module; the system's part is in ModuleLoader.
#include "host/Module.h"

#include "host/ModuleLoader.h"

namespace host {

CModule::~CModule() { Unload(); }

bool CModule::Load(const std::filesystem::path& path, std::string* error) {
  Unload();
  std::error_code ignored;
  if (!std::filesystem::is_regular_file(path, ignored)) {
    if (error) *error = "cannot load module " + path.string() + ": no such file";
    return false;
  }
  std::string why;
  void* handle = OpenModuleLibrary(path, &why);
  if (!handle) {
    if (error) *error = "cannot load module " + path.string() + ": " + why;
    return false;
  }
  void* entry = FindModuleEntry(handle);
  if (!entry) {
    CloseModuleLibrary(handle);
    if (error) *error = "cannot load module " + path.string() + ": it has no entry point " + ModuleEntryName();
    return false;
  }
  mHandle = handle;
  mEntry = reinterpret_cast<MainProc>(entry);
  mPath = path;
  return true;
}

void CModule::Unload() {
  if (mHandle) CloseModuleLibrary(mHandle);
  mHandle = nullptr;
  mEntry = nullptr;
  mPath.clear();
}

}  // namespace host
