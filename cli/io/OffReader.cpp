// Reads ASCII OFF (with the optional ST, C, N and 4 prefixes) into one mesh,
// keeping the file's vertex numbering. Vertex lines are x y z [nx ny nz]
// [r g b [a]] [s t]; face lines are n i1..in [r g b [a]]. The header's counts
// are checked against the lines the file holds before anything is reserved,
// so a lying header is an error, not an allocation. Linear in the file size.
#include <stdint.h>

#include <sstream>

#include "cli/io/MeshReaders.h"

namespace cliio {

namespace {

bool ParseCount(const std::string& token, size_t* count) {
  double value = 0;
  if (!ParseFiniteNumber(token, &value) || value < 0 || value != static_cast<double>(static_cast<int64_t>(value)) ||
      value > INT32_MAX)
    return false;
  *count = static_cast<size_t>(value);
  return true;
}

}  // namespace

bool ReadOffFile(const std::filesystem::path& file, std::vector<CImportedMesh>* meshes, std::string* detail) {
  std::string text;
  if (!ReadTextFile(file, &text, detail)) return false;

  // Lines without comments and blanks, with their numbers for messages.
  std::vector<std::vector<std::string>> lines;
  std::vector<size_t> lineNumbers;
  {
    std::istringstream stream(text);
    std::string line;
    size_t number = 0;
    while (std::getline(stream, line)) {
      ++number;
      std::vector<std::string> tokens = SplitTokens(line.substr(0, line.find('#')));
      if (tokens.empty()) continue;
      lines.push_back(std::move(tokens));
      lineNumbers.push_back(number);
    }
  }
  auto fail = [&](size_t line, const std::string& what) {
    *detail = (line < lineNumbers.size() ? "line " + std::to_string(lineNumbers[line]) + ": " : std::string()) + what;
    return false;
  };
  if (lines.empty()) return fail(0, "is empty");

  // The keyword may share its line with the counts ("OFF 8 6 12").
  std::vector<std::string> header = lines[0];
  const std::string keyword = header[0];
  if (keyword.size() < 3 || keyword.compare(keyword.size() - 3, 3, "OFF") != 0)
    return fail(0, "does not begin with an OFF keyword");
  bool hasTexture = false, hasColor = false, hasNormal = false, fourD = false;
  for (size_t i = 0; i + 3 < keyword.size(); ++i) {
    const char c = keyword[i];
    if (c == 'S' && i + 1 + 3 < keyword.size() && keyword[i + 1] == 'T') {
      hasTexture = true;
      ++i;
    } else if (c == 'C') {
      hasColor = true;
    } else if (c == 'N') {
      hasNormal = true;
    } else if (c == '4') {
      fourD = true;
    } else {
      return fail(0, "the OFF variant \"" + keyword + "\" is not supported");
    }
  }
  if (header.size() >= 2 && header[1] == "BINARY") return fail(0, "binary OFF is not supported");
  size_t nextLine = 1;
  std::vector<std::string> counts(header.begin() + 1, header.end());
  if (counts.empty()) {
    if (lines.size() < 2) return fail(0, "has no vertex and face counts");
    counts = lines[1];
    nextLine = 2;
  }
  size_t vertexCount = 0, faceCount = 0;
  if (counts.size() < 2 || !ParseCount(counts[0], &vertexCount) || !ParseCount(counts[1], &faceCount))
    return fail(nextLine - 1, "the vertex and face counts are not valid");
  if (vertexCount + faceCount > lines.size() - nextLine)
    return fail(nextLine - 1, "declares " + std::to_string(vertexCount) + " vertices and " + std::to_string(faceCount) +
                                  " faces but holds only " + std::to_string(lines.size() - nextLine) + " data lines");

  CImportedMesh mesh;
  mesh.name = file.stem().string();
  mesh.vertices.reserve(vertexCount);
  const size_t positionSize = fourD ? 4 : 3;
  for (size_t v = 0; v < vertexCount; ++v, ++nextLine) {
    const std::vector<std::string>& tokens = lines[nextLine];
    std::vector<double> values(tokens.size());
    for (size_t i = 0; i < tokens.size(); ++i)
      if (!ParseFiniteNumber(tokens[i], &values[i])) return fail(nextLine, "\"" + tokens[i] + "\" is not a finite number");
    const size_t fixed = positionSize + (hasNormal ? 3 : 0) + (hasTexture ? 2 : 0);
    const size_t colorSize = values.size() >= fixed ? values.size() - fixed : 0;
    if (values.size() < fixed || (hasColor ? (colorSize != 3 && colorSize != 4) : colorSize != 0))
      return fail(nextLine, "vertex " + std::to_string(v) + " has " + std::to_string(values.size()) +
                                " values, which does not match \"" + keyword + "\"");
    CImportedVertex vertex;
    size_t at = 0;
    for (int i = 0; i < 3; ++i) vertex.position[i] = values[at + i];
    if (fourD) {
      if (values[3] == 0) return fail(nextLine, "vertex " + std::to_string(v) + " has a w of 0");
      for (int i = 0; i < 3; ++i) vertex.position[i] /= values[3];
    }
    at += positionSize;
    if (hasNormal) {
      for (int i = 0; i < 3; ++i) vertex.normal[i] = values[at + i];
      at += 3;
    }
    if (hasColor) {
      ColorFromComponents(&values[at], colorSize, vertex.argb);
      at += colorSize;
    }
    if (hasTexture) {
      vertex.uvw[0] = values[at];
      vertex.uvw[1] = values[at + 1];
    }
    mesh.vertices.push_back(vertex);
  }

  std::vector<int32_t> corners;
  for (size_t f = 0; f < faceCount; ++f, ++nextLine) {
    const std::vector<std::string>& tokens = lines[nextLine];
    size_t count = 0;
    if (!ParseCount(tokens[0], &count) || count == 0 || count + 1 > tokens.size())
      return fail(nextLine, "face " + std::to_string(f) + " does not give its corners");
    corners.clear();
    for (size_t i = 1; i <= count; ++i) {
      size_t index = 0;
      if (!ParseCount(tokens[i], &index) || index >= vertexCount)
        return fail(nextLine, "face " + std::to_string(f) + " names vertex " + tokens[i] + " of " +
                                  std::to_string(vertexCount));
      corners.push_back(static_cast<int32_t>(index));
    }
    // What follows the corners is a colour (3 or 4 components) or a colour-map
    // index, which has no colour without the map and stays white.
    uint8_t argb[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    const size_t extra = tokens.size() - 1 - count;
    if (extra == 3 || extra == 4) {
      double rgba[4];
      for (size_t i = 0; i < extra; ++i)
        if (!ParseFiniteNumber(tokens[1 + count + i], &rgba[i]))
          return fail(nextLine, "face " + std::to_string(f) + " has a colour that is not a number");
      ColorFromComponents(rgba, extra, argb);
    }
    AppendFacet(&mesh, corners.data(), corners.size(), argb);
  }
  meshes->push_back(std::move(mesh));
  return true;
}

}  // namespace cliio
