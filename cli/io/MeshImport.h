// Mesh import for `tressel wire`: any file the importer library reads, with
// dedicated readers where its own reading would lose the file's vertex indexing
// or be slow (OBJ, OFF, STL).
#ifndef TRESSEL_CLI_IO_MESHIMPORT_H
#define TRESSEL_CLI_IO_MESHIMPORT_H

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/io/MeshData.h"
#include "cli/io/Printable.h"  // the importer's names and errors are printed through it

namespace cliio {

// Called while a file is read with the share read so far: 0 to 1, never
// decreasing, 1 exactly once when reading has finished. Answering false stops
// the import, which then fails with "reading was cancelled". Called only
// while ImportMeshFile runs and never from two threads at once (the library's
// formats are read on a helper thread while the caller waits), a few hundred
// times per file at most.
using ImportProgress = std::function<bool(double fraction)>;

// The name that stands for standard input in place of a file.
constexpr const char* kStandardInputName = "-";

struct CImportOptions {
  // The format, as an extension without the dot ("obj", "stl", "glb", ...);
  // empty: from the file's extension. Standard input needs one.
  std::string format;
  ImportProgress progress;  // optional
  // Problems that do not stop the import (a material library that is not a
  // regular file, say), one line each, without the file name. Optional.
  std::vector<std::string>* warnings = nullptr;
};

// Reads `file` ("-": standard input) into one mesh per child group: one per
// placement of each of the file's meshes in its node hierarchy, in file order.
// On success the result holds at least one mesh and *error is cleared; on
// failure (missing, unreadable, unsupported or malformed file, a file that is
// not a regular file, nesting or declared sizes beyond the importer's bounds,
// or a file without meshes) the result is empty and *error is one printable
// line that begins with the file's name.
// REQUIRES: error != nullptr.
std::vector<CImportedMesh> ImportMeshFile(const std::filesystem::path& file, std::string* error,
                                          const CImportOptions& options = {});

// The same for bytes already in memory, named `name` in errors; meshes
// without a name of their own take `name`. Files the bytes refer to (an OBJ's
// material library) are looked up in the working folder.
std::vector<CImportedMesh> ImportMeshBytes(std::string_view bytes, const std::string& name, std::string* error,
                                           const CImportOptions& options);

// The formats the dedicated readers and the library read, as accepted by
// CImportOptions::format.
bool KnownInputFormat(const std::string& format);

}  // namespace cliio

#endif
