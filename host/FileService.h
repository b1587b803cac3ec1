// The host side of the module's file functions: the home directory, directory
// and file references, and open resource files. One per process, because the
// exported functions are plain process-wide names.
//
// References and handles are opaque addresses of objects held here; a value
// the service did not hand out (or already took back) is never dereferenced.
#ifndef TRESSEL_HOST_FILESERVICE_H
#define TRESSEL_HOST_FILESERVICE_H

#include <stdint.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/Violation.h"

namespace host {

class CFileService {
 public:
  static CFileService& Instance();

  // The directory the module's resource file is looked up in.
  void SetHomeDirectory(const std::filesystem::path& directory) { mHome = directory; }
  const std::filesystem::path& HomeDirectory() const { return mHome; }

  // While no command is in progress every call is a violation.
  void SetCommandInProgress(bool inProgress) { mInCommand = inProgress; }
  bool CommandInProgress() const { return mInCommand; }
  // A breach seen by another part of the host's exported functions (the
  // dialog functions); it reaches the host with this service's own.
  void Report(const char* name, std::string detail) { Violate(name, std::move(detail)); }
  // Runs `checkIdle` at the end of CheckIdle and `reset` at the end of Reset,
  // for services that keep handles of their own.
  void AddCompanion(std::function<void()> checkIdle, std::function<void()> reset) {
    mCompanions.push_back(CCompanion{std::move(checkIdle), std::move(reset)});
  }

  // The six functions, as exported (null or nothing on failure).
  void* GetHomeDirectory();
  void* MakeFileRef(void* directory, const char* name, uint32_t type, const char* extension);
  void* OpenResourceFile(void* fileRef);
  void DestroyFileRef(void* fileRef);
  void DestroyDirectoryRef(void* directory);
  void CloseResourceFile(void* file);

  // The parsed content of an open resource file; null for anything else.
  const nlohmann::json* Content(void* file) const;

  size_t LiveDirectoryRefs() const { return mDirectories.size(); }
  size_t LiveFileRefs() const { return mFileRefs.size(); }
  size_t OpenResourceFiles() const { return mFiles.size(); }
  size_t Opens() const { return mOpens; }    // resource files opened successfully
  size_t Closes() const { return mCloses; }  // resource files closed
  size_t FailedOpens() const { return mFailedOpens; }
  const std::string& LastOpenFailure() const { return mLastOpenFailure; }  // "" after a success
  // Name, type and extension of the latest file reference made.
  const std::string& LastFileName() const { return mLastName; }
  uint32_t LastFileType() const { return mLastType; }
  const std::string& LastExtension() const { return mLastExtension; }

  // Violations seen since the last call.
  std::vector<CViolation> TakeViolations();
  // Breaches of the reference discipline once no command is in progress:
  // references still live, resource files still open. Forgets the leftovers.
  void CheckIdle();
  // Forgets every reference, handle and counter (a fresh start for a new host).
  void Reset();

 private:
  struct Directory {
    std::filesystem::path path;
  };
  struct FileRef {
    std::filesystem::path path;
  };
  struct ResourceFile {
    std::filesystem::path path;
    nlohmann::json content;
  };
  struct CCompanion {
    std::function<void()> checkIdle, reset;
  };
  void Violate(const char* name, std::string detail);
  bool Allowed(const char* function);

  std::filesystem::path mHome;
  bool mInCommand = false;
  std::map<void*, std::unique_ptr<Directory>> mDirectories;
  std::map<void*, std::unique_ptr<FileRef>> mFileRefs;
  std::map<void*, std::unique_ptr<ResourceFile>> mFiles;
  size_t mOpens = 0, mCloses = 0, mFailedOpens = 0;
  std::string mLastOpenFailure, mLastName, mLastExtension;
  uint32_t mLastType = 0;
  std::vector<CViolation> mViolations;
  std::vector<CCompanion> mCompanions;
};

}  // namespace host

#endif  // TRESSEL_HOST_FILESERVICE_H
