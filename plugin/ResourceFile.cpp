// The resource file: named "Tressel" + ".rsc", type 'rsrc', extension "rsc",
// looked up in the host's home directory.
#include "plugin/ResourceFile.h"

#include "plugin/HostRecords.h"
#include "plugin/PluginTask.h"

EI_ResourceFile theRF = nullptr;

EI_ResourceFile OpenResourceFile(const char* name) {
  EI_DirectoryRef dir = EI_GetHomeDirectory();
  EI_FileRef ref = EI_MakeFileRef(dir, name, FourCC("rsrc"), "rsc");
  EI_ResourceFile handle = EI_OpenResourceFile(ref);
  EI_DestroyFileRef(ref);
  EI_DestroyDirectoryRef(dir);
  return handle;
}

PascalString PluginTask::NameRFile() { return PascalString("Tressel") + ".rsc"; }

bool PluginTask::OpenRFile() {
  const PascalString name = NameRFile();
  theRF = OpenResourceFile(name.c_str());
  return theRF != nullptr;
}

bool PluginTask::CloseRFile() {
  // Forgotten before the host is asked: a close that fails or raises never
  // leaves a handle for later calls to use.
  if (EI_ResourceFile file = theRF) {
    theRF = nullptr;
    EI_CloseResourceFile(file);
  }
  return true;
}
