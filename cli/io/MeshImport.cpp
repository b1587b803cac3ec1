// Chooses the reader for a mesh file and shapes its failures into one line.
// OBJ and OFF have dedicated readers: the library's OBJ reading gives every
// face corner its own vertex, which would cut the file's sharing apart, and a
// dedicated OFF reader can check a header's counts against the file before
// reserving memory for them. Everything else (STL, PLY, glTF and the rest)
// goes through the library, which keeps those formats' own indexing as read.
#include "cli/io/MeshImport.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <fstream>
#include <new>
#include <sstream>
#include <system_error>

#include "cli/io/MeshReaders.h"

namespace cliio {

namespace {

std::string LowerExtension(const std::filesystem::path& file) {
  std::string extension = file.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension;
}

}  // namespace

void AppendFacet(CImportedMesh* mesh, const int32_t* corners, size_t count, const uint8_t argb[4]) {
  auto append = [&](std::initializer_list<int32_t> list) {
    CImportedFacet facet;
    facet.count = static_cast<int32_t>(list.size());
    std::copy(list.begin(), list.end(), facet.corners);
    std::copy(argb, argb + 4, facet.argb);
    mesh->facets.push_back(facet);
  };
  switch (count) {
    case 0: return;
    case 1: append({corners[0]}); return;
    case 2: append({corners[0], corners[1]}); return;
    case 3: append({corners[0], corners[1], corners[2]}); return;
    case 4: append({corners[0], corners[1], corners[2], corners[3]}); return;
    default:
      for (size_t i = 1; i + 1 < count; ++i) append({corners[0], corners[i], corners[i + 1]});
  }
}

uint8_t ColorByte(double unit) {
  if (!(unit > 0)) return 0;  // also NaN
  if (unit >= 1) return 255;
  return static_cast<uint8_t>(std::lround(unit * 255.0));
}

void ColorFromComponents(const double* rgba, size_t count, uint8_t argb[4]) {
  bool unitScale = true;
  for (size_t i = 0; i < count; ++i) unitScale = unitScale && rgba[i] <= 1.0;
  const double scale = unitScale ? 1.0 : 1.0 / 255.0;
  argb[0] = count >= 4 ? ColorByte(rgba[3] * scale) : 0xFF;
  for (size_t i = 0; i < 3; ++i) argb[1 + i] = ColorByte(rgba[i] * scale);
}

bool ReadTextFile(const std::filesystem::path& file, std::string* text, std::string* detail) {
  std::ifstream stream(file, std::ios::binary);
  if (!stream) {
    *detail = "cannot be opened for reading";
    return false;
  }
  std::ostringstream buffer;
  buffer << stream.rdbuf();
  if (stream.bad()) {
    *detail = "could not be read";
    return false;
  }
  *text = std::move(buffer).str();
  if (text->size() >= 2 && ((static_cast<unsigned char>((*text)[0]) == 0xFF && static_cast<unsigned char>((*text)[1]) == 0xFE) ||
                            (static_cast<unsigned char>((*text)[0]) == 0xFE && static_cast<unsigned char>((*text)[1]) == 0xFF))) {
    *detail = "is UTF-16 text; only 8-bit text is read";
    return false;
  }
  if (text->find('\0') != std::string::npos) {
    *detail = "is not a text file";
    return false;
  }
  return true;
}

std::vector<std::string> SplitTokens(const std::string& line) {
  std::vector<std::string> tokens;
  size_t at = 0;
  while (at < line.size()) {
    while (at < line.size() && std::isspace(static_cast<unsigned char>(line[at]))) ++at;
    const size_t start = at;
    while (at < line.size() && !std::isspace(static_cast<unsigned char>(line[at]))) ++at;
    if (at > start) tokens.push_back(line.substr(start, at - start));
  }
  return tokens;
}

bool ParseFiniteNumber(std::string_view token, double* value) {
  const char* first = token.data();
  const char* last = first + token.size();
  if (first != last && *first == '+') ++first;
  const auto [end, code] = std::from_chars(first, last, *value);
  return code == std::errc() && end == last && first != last && std::isfinite(*value);
}

std::vector<CImportedMesh> ImportMeshFile(const std::filesystem::path& file, std::string* error) {
  std::vector<CImportedMesh> meshes;
  std::string detail;
  std::error_code code;
  const std::filesystem::file_status status = std::filesystem::status(file, code);
  bool ok = false;
  if (!std::filesystem::exists(status)) {
    detail = "no such file";
  } else if (std::filesystem::is_directory(status)) {
    detail = "is a folder, not a mesh file";
  } else {
    try {
      const std::string extension = LowerExtension(file);
      if (extension == ".obj")
        ok = ReadObjFile(file, &meshes, &detail);
      else if (extension == ".off")
        ok = ReadOffFile(file, &meshes, &detail);
      else
        ok = ReadWithAssimp(file, &meshes, &detail);
    } catch (const std::bad_alloc&) {
      detail = "not enough memory to hold the mesh";
      ok = false;
    }
    if (ok && meshes.empty()) {
      ok = false;
      detail = "holds no meshes";
    }
  }
  if (!ok) {
    meshes.clear();
    *error = file.string() + ": " + detail;
  } else {
    error->clear();
  }
  return meshes;
}

}  // namespace cliio
