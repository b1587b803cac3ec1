// The file functions' bookkeeping: references made and destroyed, resource
// files opened (read whole and parsed as JSON of format "tressel-resources")
// and closed. Opening costs one read of the file; the rest is O(log live).
#include "host/FileService.h"

#include "host/DialogResource.h"

#include <fstream>
#include <sstream>

namespace host {

CFileService& CFileService::Instance() {
  static CFileService service;
  return service;
}

void CFileService::Violate(const char* name, std::string detail) {
  mViolations.push_back(CViolation{name, 0, std::move(detail)});
}

bool CFileService::Allowed(const char* function) {
  if (mInCommand) return true;
  Violate("file function outside a command", std::string(function) + " called while no command was in progress");
  return false;
}

void* CFileService::GetHomeDirectory() {
  if (!Allowed("EI_GetHomeDirectory")) return nullptr;
  auto directory = std::make_unique<Directory>(Directory{mHome});
  void* handle = directory.get();
  mDirectories[handle] = std::move(directory);
  return handle;
}

void* CFileService::MakeFileRef(void* directory, const char* name, uint32_t type, const char* extension) {
  if (!Allowed("EI_MakeFileRef")) return nullptr;
  mLastName = name ? name : "";
  mLastType = type;
  mLastExtension = extension ? extension : "";
  if (!directory || !name) return nullptr;
  auto found = mDirectories.find(directory);
  if (found == mDirectories.end()) {
    Violate("unknown directory reference", "EI_MakeFileRef got a directory reference the host did not hand out");
    return nullptr;
  }
  auto ref = std::make_unique<FileRef>(FileRef{found->second->path / name});
  void* handle = ref.get();
  mFileRefs[handle] = std::move(ref);
  return handle;
}

void* CFileService::OpenResourceFile(void* fileRef) {
  if (!Allowed("EI_OpenResourceFile")) return nullptr;
  if (!fileRef) {
    ++mFailedOpens;
    mLastOpenFailure = "no file reference";
    return nullptr;
  }
  auto found = mFileRefs.find(fileRef);
  if (found == mFileRefs.end()) {
    Violate("unknown file reference", "EI_OpenResourceFile got a file reference the host did not hand out");
    return nullptr;
  }
  const std::filesystem::path& path = found->second->path;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    ++mFailedOpens;
    mLastOpenFailure = "cannot read resource file " + path.string();
    return nullptr;
  }
  std::stringstream text;
  text << in.rdbuf();
  nlohmann::json content = nlohmann::json::parse(text.str(), nullptr, false);
  if (content.is_discarded() || !content.is_object() || content.value("format", "") != "tressel-resources") {
    ++mFailedOpens;
    mLastOpenFailure = "resource file " + path.string() + " is not a tressel-resources JSON document";
    return nullptr;
  }
  std::string layoutError;
  if (!ParseDialogResources(content, nullptr, &layoutError)) {
    ++mFailedOpens;
    mLastOpenFailure = "resource file " + path.string() + ": " + layoutError;
    return nullptr;
  }
  auto file = std::make_unique<ResourceFile>(ResourceFile{path, std::move(content)});
  void* handle = file.get();
  mFiles[handle] = std::move(file);
  ++mOpens;
  mLastOpenFailure.clear();
  return handle;
}

void CFileService::DestroyFileRef(void* fileRef) {
  if (!Allowed("EI_DestroyFileRef") || !fileRef) return;
  if (mFileRefs.erase(fileRef) == 0)
    Violate("unknown file reference", "EI_DestroyFileRef of a file reference that is not live");
}

void CFileService::DestroyDirectoryRef(void* directory) {
  if (!Allowed("EI_DestroyDirectoryRef") || !directory) return;
  if (mDirectories.erase(directory) == 0)
    Violate("unknown directory reference", "EI_DestroyDirectoryRef of a directory reference that is not live");
}

void CFileService::CloseResourceFile(void* file) {
  if (!Allowed("EI_CloseResourceFile") || !file) return;
  if (mFiles.erase(file) == 0) {
    Violate("unknown resource file", "EI_CloseResourceFile of a handle that is not open");
    return;
  }
  ++mCloses;
}

const nlohmann::json* CFileService::Content(void* file) const {
  auto found = mFiles.find(file);
  return found == mFiles.end() ? nullptr : &found->second->content;
}

std::vector<CViolation> CFileService::TakeViolations() {
  std::vector<CViolation> taken;
  taken.swap(mViolations);
  return taken;
}

void CFileService::CheckIdle() {
  if (!mDirectories.empty())
    Violate("directory reference leak", std::to_string(mDirectories.size()) + " directory reference(s) not destroyed");
  if (!mFileRefs.empty())
    Violate("file reference leak", std::to_string(mFileRefs.size()) + " file reference(s) not destroyed");
  if (!mFiles.empty())
    Violate("resource file left open", std::to_string(mFiles.size()) + " resource file(s) still open after the command");
  mDirectories.clear();
  mFileRefs.clear();
  mFiles.clear();
  for (CCompanion& companion : mCompanions) companion.checkIdle();
}

void CFileService::Reset() {
  mDirectories.clear();
  mFileRefs.clear();
  mFiles.clear();
  mOpens = mCloses = mFailedOpens = 0;
  mLastOpenFailure.clear();
  mLastName.clear();
  mLastExtension.clear();
  mLastType = 0;
  mViolations.clear();
  mInCommand = false;
  for (CCompanion& companion : mCompanions) companion.reset();
}

}  // namespace host
