// Mesh import for `tressel wire`: any file the importer library reads, with
// dedicated readers where its own reading would lose the file's vertex indexing.
#ifndef TRESSEL_CLI_IO_MESHIMPORT_H
#define TRESSEL_CLI_IO_MESHIMPORT_H

#include <filesystem>
#include <string>
#include <vector>

#include "cli/io/MeshData.h"

namespace cliio {

// Reads `file` into one mesh per child group, in file order. On success the
// result holds at least one mesh and *error is cleared; on failure (missing,
// unreadable, unsupported or malformed file, or a file without meshes) the
// result is empty and *error is one line that begins with the file's name.
// REQUIRES: error != nullptr.
std::vector<CImportedMesh> ImportMeshFile(const std::filesystem::path& file, std::string* error);

}  // namespace cliio

#endif
