// Reads OBJ text into meshes that keep the file's `v` indexing: each group
// (begun by `o` or `g`) holds the vertices its elements name, in ascending `v`
// order, so elements naming one `v` share a vertex and coincident `v`s stay
// apart. `f` polygons, `l` polylines (as 2-corner segments) and `p` points are
// kept; `usemtl` colours facets from the Kd/d of the `mtllib` files. A vertex's
// normal and uvw come from the first corner that names them. Cost: linear in
// the file size plus, for a group naming few of the file's vertices, a sort of
// its vertex numbers. Lines and tokens are views into the mapped file; only a
// line continued with a final backslash is copied, to join it.
#include <stdint.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <map>
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

std::string RestOfLine(std::string_view line, std::string_view keyword) {
  size_t at = line.find(keyword);
  at = (at == std::string_view::npos) ? line.size() : at + keyword.size();
  const size_t first = line.find_first_not_of(" \t", at);
  if (first == std::string_view::npos) return std::string();
  const size_t last = line.find_last_not_of(" \t\r");
  return std::string(line.substr(first, last - first + 1));
}

// Material files that cannot be read leave their materials white: a viewer
// shows such a file too, and the wires do not depend on colour. Only regular
// files are read (a library named /dev/zero would never end); the others are
// named in a warning.
void ReadMaterialFile(const std::filesystem::path& file, std::map<std::string, CObjColor>* materials,
                      std::vector<std::string>* warnings) {
  std::string text;
  std::string why;
  std::string_view view;
  if (ReadReferencedFile(file, &text, &why)) {
    view = text;
    if (!CheckText(&view, &why)) view = std::string_view();
  }
  if (!why.empty()) {
    if (warnings) warnings->push_back("material library " + file.string() + ": " + why + "; its materials are ignored");
    return;
  }
  std::vector<std::string_view> tokens;
  CObjColor* current = nullptr;
  size_t at = 0;
  while (at < view.size()) {
    size_t end = view.find('\n', at);
    if (end == std::string_view::npos) end = view.size();
    const std::string_view line = view.substr(at, end - at);
    at = end + 1;
    SplitTokens(line.substr(0, line.find('#')), &tokens);
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
  CObjParser(const CReadInput& input, std::string* detail) : mInput(input), mDetail(detail) {
    mGroups.push_back(CObjGroup{input.stem, {}, {}});
  }

  bool Parse(std::string_view text) {
    // Lines as std::getline splits them: at every '\n', a last line without
    // one included, nothing after a final '\n'.
    size_t at = 0;
    auto nextLine = [&text, &at](std::string_view* physical) {
      if (at >= text.size()) return false;
      size_t end = text.find('\n', at);
      if (end == std::string::npos) end = text.size();
      *physical = text.substr(at, end - at);
      at = end + 1;
      if (!physical->empty() && physical->back() == '\r') physical->remove_suffix(1);
      return true;
    };
    std::string joined;  // a line continued by a final backslash; keeps its capacity
    std::string_view physical;
    size_t lineNumber = 0;
    while (nextLine(&physical)) {
      if (!mInput.progress->At(at)) return Fail(kCancelledDetail);
      ++lineNumber;
      const size_t startLine = lineNumber;
      std::string_view line = physical;
      if (!line.empty() && line.back() == '\\') {
        joined.assign(physical.data(), physical.size());
        while (!joined.empty() && joined.back() == '\\' && nextLine(&physical)) {
          ++lineNumber;
          joined.back() = ' ';
          joined.append(physical.data(), physical.size());
        }
        if (!joined.empty() && joined.back() == '\\') joined.back() = ' ';  // a backslash ending the file continues nothing
        line = joined;
      }
      if (!ParseLine(line.substr(0, line.find('#')), line)) {
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
    std::vector<int32_t> localOf(mVertexCount, -1);
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

  bool ParseLine(std::string_view content, std::string_view raw) {
    SplitTokens(content, &mTokens);
    const std::vector<std::string_view>& tokens = mTokens;
    if (tokens.empty()) return true;
    const std::string_view keyword = tokens[0];
    if (keyword == "v") return ParseVertex(tokens);
    if (keyword == "vn" || keyword == "vt") {
      if (tokens.size() < 2) return Fail("\"" + std::string(keyword) + "\" needs coordinates");
      std::array<double, 3> target = {0, 0, 0};
      for (size_t i = 1; i < tokens.size() && i <= 3; ++i)
        if (!ParseFiniteNumber(tokens[i], &target[i - 1]))
          return Fail("\"" + std::string(tokens[i]) + "\" is not a finite number");
      auto& list = keyword == "vn" ? mNormals : mTextures;
      list.push_back(target);
      return true;
    }
    if (keyword == "f" || keyword == "l" || keyword == "p") return ParseElement(tokens);
    if (keyword == "o" || keyword == "g") {
      std::string name = RestOfLine(content, keyword);
      if (name.empty()) name = mInput.stem;
      if (!mGroups.back().elements.empty()) mGroups.push_back(CObjGroup{});
      mGroups.back().name = name;
      return true;
    }
    if (keyword == "usemtl") {
      const auto found = mMaterials.find(RestOfLine(content, "usemtl"));
      mColor = found == mMaterials.end() ? CObjColor() : found->second;
      return true;
    }
    if (keyword == "mtllib") {
      const std::filesystem::path& folder = mInput.folder;
      const std::string whole = RestOfLine(raw.substr(0, raw.find('#')), "mtllib");
      std::error_code ignored;
      if (std::filesystem::exists(folder / whole, ignored)) {
        ReadMaterialFile(folder / whole, &mMaterials, mInput.warnings);
      } else {
        for (size_t i = 1; i < tokens.size(); ++i) ReadMaterialFile(folder / std::string(tokens[i]), &mMaterials, mInput.warnings);
      }
      return true;
    }
    return true;  // smoothing groups, free-form geometry and the like do not change the mesh
  }

  bool ParseVertex(const std::vector<std::string_view>& tokens) {
    if (tokens.size() < 4) return Fail("\"v\" needs three coordinates");
    double values[7] = {0, 0, 0, 0, 0, 0, 0};
    const size_t count = std::min<size_t>(tokens.size() - 1, 7);
    for (size_t i = 0; i < count; ++i) {
      if (i < 3 && !ParseCoordinate(tokens[i + 1], &values[i], mDetail)) return false;
      if (i >= 3 && !ParseFiniteNumber(tokens[i + 1], &values[i]))
        return Fail("\"" + std::string(tokens[i + 1]) + "\" is not a finite number");
    }
    if (mVertexCount >= static_cast<size_t>(INT32_MAX)) return Fail("too many vertices");
    mPositions.insert(mPositions.end(), values, values + 3);
    if (count >= 6) {  // "v x y z r g b [a]"
      uint8_t argb[4];
      ColorFromComponents(values + 3, count - 3, argb);
      const uint32_t color = ColorWord(argb);
      if (!mColors.empty() || color != kOpaqueWhiteWord) {
        mColors.resize(mVertexCount, kOpaqueWhiteWord);  // the vertices before the first coloured one
        mColors.push_back(color);
      }
    } else if (!mColors.empty()) {
      mColors.push_back(kOpaqueWhiteWord);
    }
    ++mVertexCount;
    return true;
  }

  bool ParseElement(const std::vector<std::string_view>& tokens) {
    const std::string_view keyword = tokens[0];
    if (tokens.size() < (keyword == "l" ? 3u : 2u))
      return Fail("\"" + std::string(keyword) + "\" needs " + (keyword == "l" ? "two vertices" : "a vertex"));
    std::vector<CObjCorner>& corners = mCorners;
    corners.clear();
    for (size_t i = 1; i < tokens.size(); ++i) {
      CObjCorner corner;
      const std::string_view token = tokens[i];
      const size_t slash1 = token.find('/');
      const size_t slash2 = slash1 == std::string_view::npos ? std::string_view::npos : token.find('/', slash1 + 1);
      const std::string_view positionText = token.substr(0, slash1);
      if (!ResolveIndex(positionText, mVertexCount, &corner.position))
        return Fail("vertex index " + std::string(positionText) + " is out of range (" + std::to_string(mVertexCount) +
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
    for (size_t i = 0; i < mVertexCount; ++i) {
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
    if (group.corners.size() >= mVertexCount / 8) {
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
    mesh.positions.Reserve(used.size());
    bool colored = false;
    for (size_t i = 0; i < used.size(); ++i) {
      (*localOf)[used[i]] = static_cast<int32_t>(i);
      const double* position = &mPositions[3 * size_t(used[i])];
      mesh.positions.Add(position[0], position[1], position[2]);
      colored = colored || (!mColors.empty() && mColors[size_t(used[i])] != kOpaqueWhiteWord);
    }
    if (colored) {
      mesh.colors.reserve(used.size());
      for (int32_t global : used) mesh.colors.push_back(mColors[size_t(global)]);
    }
    std::vector<bool> hasTexture(used.size(), false);
    std::vector<bool> hasNormal(used.size(), false);
    std::vector<int32_t> local;
    auto set = [&used](CVectorColumn& column, size_t index, const std::array<double, 3>& value) {
      if (column.Empty()) column.Resize(used.size());
      column.Set(index, value[0], value[1], value[2]);
    };
    for (const CObjElement& element : group.elements) {
      local.clear();
      for (size_t i = 0; i < element.count; ++i) {
        const CObjCorner& corner = group.corners[element.firstCorner + i];
        const int32_t index = (*localOf)[corner.position];
        if (corner.texture >= 0 && !hasTexture[index]) {
          hasTexture[index] = true;
          set(mesh.uvws, size_t(index), mTextures[corner.texture]);
        }
        if (corner.normal >= 0 && !hasNormal[index]) {
          hasNormal[index] = true;
          set(mesh.normals, size_t(index), mNormals[corner.normal]);
        }
        local.push_back(index);
      }
      AppendFacet(&mesh, local.data(), local.size(), element.argb);
    }
    for (int32_t global : used) (*localOf)[global] = -1;
    return mesh;
  }

  const CReadInput& mInput;
  std::string* mDetail;
  size_t mVertexCount = 0;
  std::vector<double> mPositions;  // x y z of every `v`
  std::vector<uint32_t> mColors;   // of every `v`; empty while all are opaque white
  std::vector<std::array<double, 3>> mNormals;
  std::vector<std::array<double, 3>> mTextures;
  std::map<std::string, CObjColor> mMaterials;
  CObjColor mColor;
  std::vector<CObjGroup> mGroups;
  std::vector<std::string_view> mTokens;  // the current line's, reused
  std::vector<CObjCorner> mCorners;       // the current element's, reused
};

}  // namespace

bool ReadObj(const CReadInput& input, std::vector<CImportedMesh>* meshes, std::string* detail) {
  std::string_view text = input.bytes;
  if (!CheckText(&text, detail)) return false;
  CObjParser parser(input, detail);
  if (!parser.Parse(text)) return false;
  parser.Finish(meshes);
  return true;
}

}  // namespace cliio
