// The readers behind ImportMeshFile. Each appends the file's meshes to *meshes
// and answers true, or answers false with *detail set to what is wrong (the
// caller prefixes the file name). They never leave an out-of-range corner.
#ifndef TRESSEL_CLI_IO_MESHREADERS_H
#define TRESSEL_CLI_IO_MESHREADERS_H

#include <stddef.h>
#include <stdint.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "cli/io/MeshData.h"

namespace cliio {

bool ReadObjFile(const std::filesystem::path& file, std::vector<CImportedMesh>* meshes, std::string* detail);
bool ReadOffFile(const std::filesystem::path& file, std::vector<CImportedMesh>* meshes, std::string* detail);
bool ReadWithAssimp(const std::filesystem::path& file, std::vector<CImportedMesh>* meshes, std::string* detail);

// Appends a facet of `count` corners to `mesh`: 1 to 4 corners as they are,
// more as the fan (c0, ci, ci+1). A count of 0 appends nothing.
// REQUIRES: every corner indexes mesh->vertices.
void AppendFacet(CImportedMesh* mesh, const int32_t* corners, size_t count, const uint8_t argb[4]);

// The byte of a colour component given as 0..1 (clamped, rounded to nearest).
uint8_t ColorByte(double unit);

// Colour bytes A, R, G, B from 3 (R G B, opaque) or 4 (R G B A) components.
// Files write either 0..1 or 0..255: components all within 0..1 are read as
// the former, otherwise as the latter.
void ColorFromComponents(const double* rgba, size_t count, uint8_t argb[4]);

// Reads a whole file that must be 8-bit text (no NUL bytes, not UTF-16).
bool ReadTextFile(const std::filesystem::path& file, std::string* text, std::string* detail);

// Splits a line into its whitespace-separated tokens.
std::vector<std::string> SplitTokens(const std::string& line);

// Parses a whole token as a finite number; false for anything else.
bool ParseFiniteNumber(std::string_view token, double* value);

}  // namespace cliio

#endif
