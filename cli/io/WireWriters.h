// Wire output files of `tressel wire`: OBJ, PLY, glTF and GLB, written to any
// sink (ByteSink.h) through one fixed buffer, with progress and cancel.
#ifndef TRESSEL_CLI_IO_WIREWRITERS_H
#define TRESSEL_CLI_IO_WIREWRITERS_H

#include <filesystem>
#include <string>
#include <vector>

#include "cli/io/ByteSink.h"
#include "cli/io/WireData.h"

namespace cliio {

enum class WireFormat { kObj, kPly, kGltf, kGlb };

// The output when the command is given none.
constexpr const char* kDefaultWireOutput = "wires.obj";

// The format named by `file`'s extension (.obj .ply .gltf .glb, any case);
// false for any other extension.
bool WireFormatFor(const std::filesystem::path& file, WireFormat* format);
// The format named `name` (obj ply gltf glb, any case); false for any other.
bool WireFormatNamed(const std::string& name, WireFormat* format);

// Writes the wires to `sink`: OBJ and PLY as text, glTF as JSON with the
// buffer embedded as a data URI, GLB as the binary container. Nothing is
// handed to the sink before the groups passed CheckWireGroups and (glTF) every
// coordinate fits a 32-bit float; otherwise false with *detail saying why.
// Also false with *detail when the sink fails or `progress` says stop
// (kWriteCancelled): the sink then holds a part of the file. Groups the
// caller has checked already (`checked`: CheckWireGroups passed them) are not
// checked again.
// REQUIRES: detail != nullptr.
bool WriteWires(const CWireSources& groups, WireFormat format, CByteSink& sink, std::string* detail,
                const WriteProgress& progress = nullptr, bool checked = false);
bool WriteWires(const std::vector<CWireGroup>& groups, WireFormat format, CByteSink& sink, std::string* detail,
                const WriteProgress& progress = nullptr);

// The same into a string (tests, small outputs).
bool SerializeWires(const std::vector<CWireGroup>& groups, WireFormat format, std::string* bytes, std::string* detail);

// Writes `file` in the format its extension names, through a staged
// temporary (CStagedFile, AtomicFile.h) that is renamed over `file` (through
// a link: over its target) only once complete and flushed to disk: a failure
// or a cancel leaves no partial file and an existing one untouched, and sets
// *error to one line that begins with `file`. REQUIRES: error != nullptr.
bool WriteWireFile(const std::filesystem::path& file, const std::vector<CWireGroup>& groups, std::string* error,
                   const WriteProgress& progress = nullptr);

// glTF and GLB (GltfWriter.cpp). REQUIRES: CheckWireGroups(groups).
bool WriteGltf(const CWireSources& groups, bool binary, CByteSink& sink, std::string* detail,
               const WriteProgress& progress);

}  // namespace cliio

#endif
