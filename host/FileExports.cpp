// The host's exported file functions, under the plain names the module looks
// up. Built into every executable that loads the module (never together with
// the module's own code, which defines hidden forwarders of the same names).
#include "host/FileService.h"
#include "ui/EIFunctions.h"

#include "host/Export.h"

using host::CFileService;

TRESSEL_HOST_EXPORT EI_DirectoryRef EI_GetHomeDirectory() { return CFileService::Instance().GetHomeDirectory(); }

TRESSEL_HOST_EXPORT EI_FileRef EI_MakeFileRef(EI_DirectoryRef dir, const char* name, uint32_t type,
                                              const char* ext) {
  return CFileService::Instance().MakeFileRef(dir, name, type, ext);
}

TRESSEL_HOST_EXPORT EI_ResourceFile EI_OpenResourceFile(EI_FileRef ref) {
  return CFileService::Instance().OpenResourceFile(ref);
}

TRESSEL_HOST_EXPORT void EI_DestroyFileRef(EI_FileRef ref) { CFileService::Instance().DestroyFileRef(ref); }

TRESSEL_HOST_EXPORT void EI_DestroyDirectoryRef(EI_DirectoryRef dir) {
  CFileService::Instance().DestroyDirectoryRef(dir);
}

TRESSEL_HOST_EXPORT void EI_CloseResourceFile(EI_ResourceFile file) {
  CFileService::Instance().CloseResourceFile(file);
}
