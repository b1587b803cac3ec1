// A loaded module: the shared object and its entry point.
#ifndef TRESSEL_HOST_MODULE_H
#define TRESSEL_HOST_MODULE_H

#include <stdint.h>

#include <filesystem>
#include <string>

namespace host {

// The module's entry: (selector, record size in bytes, record) -> result code.
typedef int32_t (*MainProc)(uint32_t selector, int32_t size, void* record);

class CModule {
 public:
  CModule() = default;
  ~CModule();  // unloads
  CModule(const CModule&) = delete;
  CModule& operator=(const CModule&) = delete;

  // Loads the module at path (unloading any previous one) and finds `Main`.
  // False with a one-line text naming the path in *error when either fails;
  // nothing stays loaded then. Every load starts from fresh module state.
  bool Load(const std::filesystem::path& path, std::string* error);
  void Unload();

  bool IsLoaded() const { return mHandle != nullptr; }
  MainProc Entry() const { return mEntry; }
  const std::filesystem::path& Path() const { return mPath; }

 private:
  void* mHandle = nullptr;
  MainProc mEntry = nullptr;
  std::filesystem::path mPath;
};

}  // namespace host

#endif  // TRESSEL_HOST_MODULE_H
