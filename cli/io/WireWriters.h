// Wire output files of `tressel wire`, chosen by the output's extension.
#ifndef TRESSEL_CLI_IO_WIREWRITERS_H
#define TRESSEL_CLI_IO_WIREWRITERS_H

#include <filesystem>
#include <string>
#include <vector>

#include "cli/io/WireData.h"

namespace cliio {

enum class WireFormat { kObj, kPly, kGltf, kGlb };

// The output when the command is given none.
constexpr const char* kDefaultWireOutput = "wires.obj";

// The format named by `file`'s extension (.obj .ply .gltf .glb, any case);
// false for any other extension.
bool WireFormatFor(const std::filesystem::path& file, WireFormat* format);

// The bytes of a wire file: OBJ and PLY as text, glTF as JSON with the buffer
// embedded as a data URI, GLB as the binary container. False with *detail
// when the groups fail CheckWireGroups or (glTF) a coordinate does not fit a
// 32-bit float. REQUIRES: bytes and detail != nullptr.
bool SerializeWires(const std::vector<CWireGroup>& groups, WireFormat format, std::string* bytes, std::string* detail);

// Checks, serialises by extension and writes `file` atomically (AtomicFile.h):
// a failure leaves no partial file and an existing one untouched, and sets
// *error to one line that begins with `file`. REQUIRES: error != nullptr.
bool WriteWireFile(const std::filesystem::path& file, const std::vector<CWireGroup>& groups, std::string* error);

// The glTF and GLB bytes (GltfWriter.cpp). REQUIRES: CheckWireGroups(groups).
bool SerializeGltf(const std::vector<CWireGroup>& groups, bool binary, std::string* bytes, std::string* detail);

}  // namespace cliio

#endif
