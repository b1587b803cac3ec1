// The operating system's side of loading the module: open, find the entry, close.
#ifndef TRESSEL_HOST_MODULELOADER_H
#define TRESSEL_HOST_MODULELOADER_H

#include <filesystem>
#include <string>

namespace host {

// An opened library, or null with the system's reason in *why.
void* OpenModuleLibrary(const std::filesystem::path& path, std::string* why);
// The module's exported entry ("Main" on POSIX, "main" on Windows), or null.
void* FindModuleEntry(void* library);
// The name FindModuleEntry looks for, for messages.
const char* ModuleEntryName();
void CloseModuleLibrary(void* library);

}  // namespace host

#endif  // TRESSEL_HOST_MODULELOADER_H
