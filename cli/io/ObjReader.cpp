// Reads OBJ text into meshes that keep the file's `v` indexing: each group
// (begun by `o` or `g`) holds the vertices its elements name, in ascending `v`
// order, so elements naming one `v` share a vertex and coincident `v`s stay
// apart. `f` polygons, `l` polylines (as 2-corner segments) and `p` points are
// kept; `usemtl` colours facets from the Kd/d of the `mtllib` files. A vertex's
// normal and uvw come from the first corner that names them. Cost: linear in
// the file size plus, for a group naming few of the file's vertices, a sort of
// its vertex numbers.
#include <stdint.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <map>
#include <sstream>
#include <string_view>

#include "cli/io/MeshReaders.h"

namespace cliio {

namespace {

struct CObjCorner {
  int32_t position = -1;  // 0-based global `v`
  int32_t texture = -1;   // 0-based global `vt`, -1 when absent
  int32_t normal = -1;    // 0-based global `vn`, -1 when absent
};

struct CObjElement {
  size_t firstCorner = 0;
  size_t count = 0;
  uint8_t argb[4] = {0xFF, 0xFF, 0xFF, 0xFF};
};

struct CObjGroup {
  std::string name;
  std::vector<CObjElement> elements;
  std::vector<CObjCorner> corners;
};

struct CObjColor {
  uint8_t argb[4] = {0xFF, 0xFF, 0xFF, 0xFF};
};

std::string RestOfLine(const std::string& line, const std::string& keyword) {
  size_t at = line.find(keyword);
  at = (at == std::string::npos) ? line.size() : at + keyword.size();
  const size_t first = line.find_first_not_of(" \t", at);
  if (first == std::string::npos) return std::string();
  const size_t last = line.find_last_not_of(" \t\r");
  return line.substr(first, last - first + 1);
}

// Material files that cannot be read leave their materials white: a viewer
// shows such a file too, and the wires do not depend on colour.
void ReadMaterialFile(const std::filesystem::path& file, std::map<std::string, CObjColor>* materials) {
  std::string text;
  std::string ignored;
  if (!ReadTextFile(file, &text, &ignored)) return;
  std::istringstream lines(text);
  std::string line;
  CObjColor* current = nullptr;
  while (std::getline(lines, line)) {
    const std::vector<std::string> tokens = SplitTokens(line.substr(0, line.find('#')));
    if (tokens.empty()) continue;
    double values[3];
    if (tokens[0] == "newmtl") {
      current = &(*materials)[RestOfLine(line, "newmtl")];
      *current = CObjColor();
    } else if (current && tokens[0] == "Kd" && tokens.size() >= 4 && ParseFiniteNumber(tokens[1], &values[0]) &&
               ParseFiniteNumber(tokens[2], &values[1]) && ParseFiniteNumber(tokens[3], &values[2])) {
      for (int i = 0; i < 3; ++i) current->argb[1 + i] = ColorByte(values[i]);
    } else if (current && tokens[0] == "d" && tokens.size() >= 2 && ParseFiniteNumber(tokens.back(), &values[0])) {
      current->argb[0] = ColorByte(values[0]);
    } else if (current && tokens[0] == "Tr" && tokens.size() >= 2 && ParseFiniteNumber(tokens.back(), &values[0])) {
      current->argb[0] = ColorByte(1.0 - values[0]);
    }
  }
}

// Resolves a 1-based or negative (relative) OBJ index against `defined`.
bool ResolveIndex(std::string_view text, size_t defined, int32_t* index) {
  if (text.empty()) return false;
  long long value = 0;
  const char* first = text.data();
  const auto [end, code] = std::from_chars(first, first + text.size(), value);
  if (code != std::errc() || end != first + text.size() || value == 0) return false;
  const long long resolved = value > 0 ? value - 1 : static_cast<long long>(defined) + value;
  if (resolved < 0 || resolved >= static_cast<long long>(defined)) return false;
  *index = static_cast<int32_t>(resolved);
  return true;
}

class CObjParser {
 public:
  CObjParser(const std::filesystem::path& file, std::string* detail) : mFile(file), mDetail(detail) {
    mGroups.push_back(CObjGroup{file.stem().string(), {}, {}});
  }

  bool Parse(const std::string& text) {
    // Lines as std::getline splits them: at every '\n', a last line without
    // one included, nothing after a final '\n'.
    size_t at = 0;
    auto nextLine = [&text, &at](std::string_view* physical) {
      if (at >= text.size()) return false;
      size_t end = text.find('\n', at);
      if (end == std::string::npos) end = text.size();
      *physical = std::string_view(text).substr(at, end - at);
      at = end + 1;
      if (!physical->empty() && physical->back() == '\r') physical->remove_suffix(1);
      return true;
    };
    std::string line;  // keeps its capacity from line to line
    std::string_view physical;
    size_t lineNumber = 0;
    while (nextLine(&physical)) {
      ++lineNumber;
      const size_t startLine = lineNumber;
      line.assign(physical.data(), physical.size());
      while (!line.empty() && line.back() == '\\' && nextLine(&physical)) {
        ++lineNumber;
        line.back() = ' ';
        line.append(physical.data(), physical.size());
      }
      if (!ParseLine(std::string_view(line).substr(0, line.find('#')), line)) {
        *mDetail = "line " + std::to_string(startLine) + ": " + *mDetail;
        return false;
      }
    }
    return true;
  }

  void Finish(std::vector<CImportedMesh>* meshes) {
    bool anyElement = false;
    for (const CObjGroup& group : mGroups) anyElement = anyElement || !group.elements.empty();
    if (!anyElement && !mPositions.empty()) MakePointCloud();
    std::vector<int32_t> localOf(mPositions.size(), -1);
    for (const CObjGroup& group : mGroups) {
      if (group.elements.empty()) continue;
      meshes->push_back(BuildMesh(group, &localOf));
    }
  }

 private:
  bool Fail(const std::string& what) {
    *mDetail = what;
    return false;
  }

  // Splits as SplitTokens does, into views of `content` kept in mTokens.
  void Tokenize(std::string_view content) {
    mTokens.clear();
    size_t at = 0;
    while (at < content.size()) {
      while (at < content.size() && std::isspace(static_cast<unsigned char>(content[at]))) ++at;
      const size_t start = at;
      while (at < content.size() && !std::isspace(static_cast<unsigned char>(content[at]))) ++at;
      if (at > start) mTokens.push_back(content.substr(start, at - start));
    }
  }

  bool ParseLine(std::string_view content, const std::string& raw) {
    Tokenize(content);
    const std::vector<std::string_view>& tokens = mTokens;
    if (tokens.empty()) return true;
    const std::string keyword(tokens[0]);
    if (keyword == "v") return ParseVertex(tokens);
    if (keyword == "vn" || keyword == "vt") {
      if (tokens.size() < 2) return Fail("\"" + keyword + "\" needs coordinates");
      CImportedVertex values;
      double* target = keyword == "vn" ? values.normal : values.uvw;
      for (size_t i = 1; i < tokens.size() && i <= 3; ++i)
        if (!ParseFiniteNumber(tokens[i], &target[i - 1]))
          return Fail("\"" + std::string(tokens[i]) + "\" is not a finite number");
      auto& list = keyword == "vn" ? mNormals : mTextures;
      list.push_back({target[0], target[1], target[2]});
      return true;
    }
    if (keyword == "f" || keyword == "l" || keyword == "p") return ParseElement(tokens);
    if (keyword == "o" || keyword == "g") {
      std::string name = RestOfLine(std::string(content), keyword);
      if (name.empty()) name = mFile.stem().string();
      if (!mGroups.back().elements.empty()) mGroups.push_back(CObjGroup{});
      mGroups.back().name = name;
      return true;
    }
    if (keyword == "usemtl") {
      const auto found = mMaterials.find(RestOfLine(std::string(content), "usemtl"));
      mColor = found == mMaterials.end() ? CObjColor() : found->second;
      return true;
    }
    if (keyword == "mtllib") {
      const std::filesystem::path folder = mFile.parent_path();
      const std::string whole = RestOfLine(raw.substr(0, raw.find('#')), "mtllib");
      if (std::filesystem::exists(folder / whole)) {
        ReadMaterialFile(folder / whole, &mMaterials);
      } else {
        for (size_t i = 1; i < tokens.size(); ++i) ReadMaterialFile(folder / std::string(tokens[i]), &mMaterials);
      }
      return true;
    }
    return true;  // smoothing groups, free-form geometry and the like do not change the mesh
  }

  bool ParseVertex(const std::vector<std::string_view>& tokens) {
    if (tokens.size() < 4) return Fail("\"v\" needs three coordinates");
    double values[7] = {0, 0, 0, 0, 0, 0, 0};
    const size_t count = std::min<size_t>(tokens.size() - 1, 7);
    for (size_t i = 0; i < count; ++i)
      if (!ParseFiniteNumber(tokens[i + 1], &values[i]))
        return Fail("\"" + std::string(tokens[i + 1]) + "\" is not a finite number");
    if (mPositions.size() >= static_cast<size_t>(INT32_MAX)) return Fail("too many vertices");
    CImportedVertex vertex;
    std::copy(values, values + 3, vertex.position);
    if (count >= 6) ColorFromComponents(values + 3, count - 3, vertex.argb);  // "v x y z r g b [a]"
    mPositions.push_back(vertex);
    return true;
  }

  bool ParseElement(const std::vector<std::string_view>& tokens) {
    const std::string keyword(tokens[0]);
    if (tokens.size() < (keyword == "l" ? 3u : 2u))
      return Fail("\"" + keyword + "\" needs " + (keyword == "l" ? "two vertices" : "a vertex"));
    std::vector<CObjCorner>& corners = mCorners;
    corners.clear();
    for (size_t i = 1; i < tokens.size(); ++i) {
      CObjCorner corner;
      const std::string_view token = tokens[i];
      const size_t slash1 = token.find('/');
      const size_t slash2 = slash1 == std::string_view::npos ? std::string_view::npos : token.find('/', slash1 + 1);
      const std::string_view positionText = token.substr(0, slash1);
      if (!ResolveIndex(positionText, mPositions.size(), &corner.position))
        return Fail("vertex index " + std::string(positionText) + " is out of range (" + std::to_string(mPositions.size()) +
                    " vertices so far)");
      if (slash1 != std::string_view::npos) {
        const std::string_view textureText =
            token.substr(slash1 + 1, slash2 == std::string_view::npos ? std::string_view::npos : slash2 - slash1 - 1);
        if (!textureText.empty() && !ResolveIndex(textureText, mTextures.size(), &corner.texture))
          return Fail("texture index " + std::string(textureText) + " is out of range");
      }
      if (slash2 != std::string_view::npos) {
        const std::string_view normalText = token.substr(slash2 + 1);
        if (!normalText.empty() && !ResolveIndex(normalText, mNormals.size(), &corner.normal))
          return Fail("normal index " + std::string(normalText) + " is out of range");
      }
      corners.push_back(corner);
    }
    CObjGroup& group = mGroups.back();
    auto addElement = [&](size_t first, size_t count) {
      CObjElement element;
      element.firstCorner = group.corners.size();
      element.count = count;
      std::copy(mColor.argb, mColor.argb + 4, element.argb);
      group.corners.insert(group.corners.end(), corners.begin() + first, corners.begin() + first + count);
      group.elements.push_back(element);
    };
    if (keyword == "f") {
      addElement(0, corners.size());
    } else if (keyword == "l") {
      for (size_t i = 0; i + 1 < corners.size(); ++i) addElement(i, 2);
    } else {
      for (size_t i = 0; i < corners.size(); ++i) addElement(i, 1);
    }
    return true;
  }

  void MakePointCloud() {
    CObjGroup& group = mGroups.back();
    for (size_t i = 0; i < mPositions.size(); ++i) {
      group.elements.push_back(CObjElement{group.corners.size(), 1, {0xFF, 0xFF, 0xFF, 0xFF}});
      group.corners.push_back(CObjCorner{static_cast<int32_t>(i), -1, -1});
    }
  }

  // REQUIRES: every entry of *localOf is -1; they are -1 again on return.
  CImportedMesh BuildMesh(const CObjGroup& group, std::vector<int32_t>* localOf) const {
    // The distinct `v` numbers the group names, ascending: marked in *localOf
    // and collected by one scan when the group names a good part of the file's
    // vertices, sorted when it names few of them.
    std::vector<int32_t> used;
    used.reserve(group.corners.size());
    if (group.corners.size() >= mPositions.size() / 8) {
      for (const CObjCorner& corner : group.corners) (*localOf)[corner.position] = 0;
      for (size_t v = 0; v < localOf->size(); ++v)
        if ((*localOf)[v] == 0) used.push_back(static_cast<int32_t>(v));
    } else {
      for (const CObjCorner& corner : group.corners) used.push_back(corner.position);
      std::sort(used.begin(), used.end());
      used.erase(std::unique(used.begin(), used.end()), used.end());
    }
    CImportedMesh mesh;
    mesh.name = group.name;
    mesh.vertices.reserve(used.size());
    for (size_t i = 0; i < used.size(); ++i) {
      (*localOf)[used[i]] = static_cast<int32_t>(i);
      mesh.vertices.push_back(mPositions[used[i]]);
    }
    std::vector<bool> hasTexture(used.size(), false);
    std::vector<bool> hasNormal(used.size(), false);
    std::vector<int32_t> local;
    for (const CObjElement& element : group.elements) {
      local.clear();
      for (size_t i = 0; i < element.count; ++i) {
        const CObjCorner& corner = group.corners[element.firstCorner + i];
        const int32_t index = (*localOf)[corner.position];
        CImportedVertex& vertex = mesh.vertices[index];
        if (corner.texture >= 0 && !hasTexture[index]) {
          hasTexture[index] = true;
          std::copy(mTextures[corner.texture].begin(), mTextures[corner.texture].end(), vertex.uvw);
        }
        if (corner.normal >= 0 && !hasNormal[index]) {
          hasNormal[index] = true;
          std::copy(mNormals[corner.normal].begin(), mNormals[corner.normal].end(), vertex.normal);
        }
        local.push_back(index);
      }
      AppendFacet(&mesh, local.data(), local.size(), element.argb);
    }
    for (int32_t global : used) (*localOf)[global] = -1;
    return mesh;
  }

  std::filesystem::path mFile;
  std::string* mDetail;
  std::vector<CImportedVertex> mPositions;  // position and colour of every `v`
  std::vector<std::array<double, 3>> mNormals;
  std::vector<std::array<double, 3>> mTextures;
  std::map<std::string, CObjColor> mMaterials;
  CObjColor mColor;
  std::vector<CObjGroup> mGroups;
  std::vector<std::string_view> mTokens;  // the current line's, reused
  std::vector<CObjCorner> mCorners;       // the current element's, reused
};

}  // namespace

bool ReadObjFile(const std::filesystem::path& file, std::vector<CImportedMesh>* meshes, std::string* detail) {
  std::string text;
  if (!ReadTextFile(file, &text, detail)) return false;
  CObjParser parser(file, detail);
  if (!parser.Parse(text)) return false;
  parser.Finish(meshes);
  return true;
}

}  // namespace cliio
