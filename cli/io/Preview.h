// `--preview FILE.png|FILE.svg`: a picture of the wires over the source meshes.
#ifndef TRESSEL_CLI_IO_PREVIEW_H
#define TRESSEL_CLI_IO_PREVIEW_H

#include <filesystem>
#include <string>
#include <vector>

#include "cli/io/MeshData.h"
#include "cli/io/WireData.h"

namespace cliio {

constexpr int kPreviewWidth = 800;
constexpr int kPreviewHeight = 600;

// Draws `wires` boldly and `meshes` faintly in a fixed three-quarter view and
// writes the picture to `file` as PNG or SVG by its extension (any case),
// atomically (AtomicFile.h). False with *error, one line beginning with
// `file`, for another extension, wires that fail CheckWireGroups, or a failed
// write. Mesh corners out of range and non-finite points are left out of the
// picture. REQUIRES: error != nullptr.
bool WritePreview(const std::filesystem::path& file, const std::vector<CWireGroup>& wires,
                  const std::vector<CImportedMesh>& meshes, std::string* error);

}  // namespace cliio

#endif
