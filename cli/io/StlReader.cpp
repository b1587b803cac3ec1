// Reads binary and ASCII STL. A file is binary exactly when its size is 84
// bytes plus 50 per facet its header counts; otherwise it must be ASCII text
// beginning with "solid". Every facet keeps its own three corners (a soup),
// each corner carrying the facet's normal, which is stored once for the three;
// positions and normals stay in single precision, as the file holds them. A
// large binary file's positions and normals stay in the file and are read
// from its records when asked (FileWindow.h); smaller ones, and standard
// input's, are held.
//
// Binary: one mesh. A facet whose attribute word has bit 15 set carries a
// 5-bit colour (B G R from the low bits; R G B when the header holds
// "COLOR=", whose four bytes are then the default colour); once any facet
// does, every corner is coloured, the others with the default (0.6 grey, or
// the header's). A "COLOR=" header without coloured facets colours the facets.
// ASCII: one mesh per "solid ... endsolid", named after the solid.
// Linear in the file size.
#include <stdint.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "cli/io/MeshReaders.h"

namespace cliio {

namespace {

// A colour component as the 0..1 float the facet colour gives and its byte.
uint8_t UnitByte(float unit) { return ColorByte(double(unit)); }

bool ReadBinary(const CReadInput& input, std::vector<CImportedMesh>* meshes, std::string* detail) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(input.bytes.data());
  uint32_t facets;
  std::memcpy(&facets, bytes + 80, sizeof facets);
  if (facets == 0) {
    *detail = "the binary STL header counts no facets";
    return false;
  }
  if (size_t(facets) * 3 > size_t(INT32_MAX)) {
    *detail = "has too many facets (" + std::to_string(facets) + ")";
    return false;
  }
  // The default colour: light grey, or the four bytes after "COLOR=".
  float fallback[4] = {0.6f, 0.6f, 0.6f, 0.6f};
  bool headerColor = false;
  const std::string_view header(input.bytes.data(), 80);
  const size_t colorAt = header.find("COLOR=");
  if (colorAt != std::string_view::npos && colorAt + 10 <= 80) {
    headerColor = true;
    const float inverse = 1.0f / 255.0f;
    for (int i = 0; i < 4; ++i) fallback[i] = float(bytes[colorAt + 6 + size_t(i)]) * inverse;
  }
  auto word = [](const float rgba[4]) {
    const uint8_t argb[4] = {UnitByte(rgba[3]), UnitByte(rgba[0]), UnitByte(rgba[1]), UnitByte(rgba[2])};
    return ColorWord(argb);
  };
  const uint32_t fallbackWord = word(fallback);

  CImportedMesh mesh;
  mesh.name = "mesh 1";
  mesh.positions.SetSingle(true);
  mesh.normals.SetSingle(true);
  mesh.normals.SetRowsPerValue(3);
  const size_t corners = size_t(facets) * 3;
  // From a file, positions and normals of a large mesh are read where the
  // records hold them (checked here once), at the cost of the file staying
  // open for the run; a small mesh's, and standard input's, are held.
  constexpr uint32_t kFacetsLeftInFile = 16384;
  const bool inFile = input.file && input.file->Size() == input.bytes.size() && facets >= kFacetsLeftInFile;
  if (!inFile) {
    mesh.positions.Reserve(corners);
    mesh.normals.Reserve(corners);
  }
  mesh.ReserveFacets(facets, 3);
  // The corners' box, for positions left in the file: low x, y, z, high x, y, z.
  float box[6] = {INFINITY, INFINITY, INFINITY, -INFINITY, -INFINITY, -INFINITY};
  const unsigned char* record = bytes + 84;
  for (uint32_t f = 0; f < facets; ++f, record += 50) {
    if ((f & 0xFFFF) == 0 && !input.progress->At(size_t(record - bytes))) {
      *detail = kCancelledDetail;
      return false;
    }
    float values[12];
    std::memcpy(values, record, sizeof values);
    for (float value : values)
      if (!std::isfinite(value)) {
        *detail = "facet " + std::to_string(f) + " has a value that is not a finite number";
        return false;
      }
    if (!inFile) {
      mesh.normals.AddFloats(values);
      mesh.positions.AddFloats(values + 3, 3);
    } else {
      for (int corner = 0; corner < 3; ++corner)
        for (int axis = 0; axis < 3; ++axis) {
          const float value = values[3 + 3 * corner + axis];
          box[axis] = std::min(box[axis], value);
          box[3 + axis] = std::max(box[3 + axis], value);
        }
    }
    uint16_t attribute;
    std::memcpy(&attribute, record + 48, sizeof attribute);
    if (attribute & 0x8000u) {
      if (mesh.colors.empty()) mesh.colors.assign(corners, fallbackWord);
      const float inverse = 1.0f / 31.0f;
      const float low = float(attribute & 0x1Fu) * inverse;
      const float middle = float((attribute >> 5) & 0x1Fu) * inverse;
      const float high = float((attribute >> 10) & 0x1Fu) * inverse;
      const float rgba[4] = {headerColor ? low : high, middle, headerColor ? high : low, 1.0f};
      const uint32_t color = word(rgba);
      for (size_t corner = 0; corner < 3; ++corner) mesh.colors[3 * size_t(f) + corner] = color;
    }
    const int32_t first = int32_t(3 * f);
    const int32_t triangle[3] = {first, first + 1, first + 2};
    mesh.AddFacet(triangle, 3);
  }
  if (inFile) {
    mesh.normals.ReadFrom(input.file, 84, 50, 1, facets);
    mesh.positions.ReadFrom(input.file, 84 + 12, 50, 3, corners);
    mesh.positions.SetFileBounds(box);
  }
  if (headerColor && mesh.colors.empty()) {
    // The header's colour is the material's, so every facet's.
    CImportedMesh colored;
    colored.name = mesh.name;
    colored.positions = std::move(mesh.positions);
    colored.normals = std::move(mesh.normals);
    colored.ReserveFacets(facets, 3);
    for (uint32_t f = 0; f < facets; ++f) {
      const int32_t first = int32_t(3 * f);
      const int32_t triangle[3] = {first, first + 1, first + 2};
      colored.AddFacet(triangle, 3, fallbackWord);
    }
    mesh = std::move(colored);
  }
  meshes->push_back(std::move(mesh));
  return true;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

// The ASCII text as words, with the line each stands on.
class CStlWords {
 public:
  CStlWords(std::string_view text, CReadProgress* progress) : mText(text), mProgress(progress) {}
  bool Next(std::string_view* word) {
    while (mAt < mText.size() && IsSpace(mText[mAt])) {
      if (mText[mAt] == '\n') ++mLine;
      ++mAt;
    }
    if (mAt >= mText.size()) return false;
    const size_t start = mAt;
    while (mAt < mText.size() && !IsSpace(mText[mAt])) ++mAt;
    *word = mText.substr(start, mAt - start);
    return true;
  }
  // The first word after the current one on its line ("" when none), and the
  // rest of the line skipped.
  std::string_view WordOnLine() {
    while (mAt < mText.size() && (mText[mAt] == ' ' || mText[mAt] == '\t')) ++mAt;
    const size_t start = mAt;
    while (mAt < mText.size() && !IsSpace(mText[mAt])) ++mAt;
    const std::string_view word = mText.substr(start, mAt - start);
    SkipLine();
    return word;
  }
  void SkipLine() {
    while (mAt < mText.size() && mText[mAt] != '\n') ++mAt;
  }
  size_t Line() const { return mLine; }
  bool Progress() { return mProgress->At(mAt); }

 private:
  std::string_view mText;
  CReadProgress* mProgress;
  size_t mAt = 0;
  size_t mLine = 1;
};

bool ReadAscii(const CReadInput& input, std::vector<CImportedMesh>* meshes, std::string* detail) {
  std::string_view text = input.bytes;
  if (!CheckText(&text, detail)) return false;
  CStlWords words(text, input.progress);
  auto fail = [&](const std::string& what) {
    *detail = "line " + std::to_string(words.Line()) + ": " + what;
    return false;
  };
  auto number = [&](float* value) {
    std::string_view word;
    if (!words.Next(&word)) return fail("the file ends inside a facet");
    const char* first = word.data();
    const char* last = first + word.size();
    if (first != last && *first == '+') ++first;
    const auto [end, code] = std::from_chars(first, last, *value);
    if (first == last || end != last || code != std::errc() || !std::isfinite(*value))
      return fail("\"" + std::string(word) + "\" is not a finite single-precision number");
    return true;
  };
  std::string_view word;
  if (!words.Next(&word) || word != "solid") {
    *detail = "is neither binary STL (84 bytes and 50 per facet) nor ASCII STL (beginning with \"solid\")";
    return false;
  }
  for (;;) {
    CImportedMesh mesh;
    mesh.positions.SetSingle(true);
    mesh.normals.SetSingle(true);
    mesh.normals.SetRowsPerValue(3);
    // The solid's name: the word after "solid" on its line.
    const std::string_view name = words.WordOnLine();
    mesh.name = name.empty() ? "mesh " + std::to_string(meshes->size() + 1) : std::string(name);
    int cornersInFacet = 3;
    bool ended = false;
    for (;;) {
      if (!words.Next(&word)) {
        break;  // no "endsolid": the solid ends with the file
      }
      if (!words.Progress()) {
        *detail = kCancelledDetail;
        return false;
      }
      if (word == "facet") {
        if (cornersInFacet != 3) return fail("a facet has " + std::to_string(cornersInFacet) + " vertices, not 3");
        cornersInFacet = 0;
        std::string_view keyword;
        if (!words.Next(&keyword) || keyword != "normal") return fail("\"facet\" is not followed by \"normal\"");
        float normal[3];
        for (float& value : normal)
          if (!number(&value)) return false;
        mesh.normals.AddFloats(normal);
      } else if (word == "vertex") {
        if (cornersInFacet >= 3) return fail("a facet has more than 3 vertices");
        float position[3];
        for (float& value : position)
          if (!number(&value)) return false;
        mesh.positions.AddFloats(position);
        ++cornersInFacet;
      } else if (word == "endsolid") {
        words.SkipLine();
        ended = true;
        break;
      }
      // "outer", "loop", "endloop", "endfacet" carry nothing; other words are skipped.
    }
    if (cornersInFacet != 3) return fail("the last facet has " + std::to_string(cornersInFacet) + " vertices, not 3");
    if (mesh.positions.Size() > size_t(INT32_MAX)) return fail("too many vertices");
    for (size_t first = 0; first < mesh.positions.Size(); first += 3) {
      const int32_t triangle[3] = {int32_t(first), int32_t(first + 1), int32_t(first + 2)};
      mesh.AddFacet(triangle, 3);
    }
    meshes->push_back(std::move(mesh));
    if (!ended) break;
    if (!words.Next(&word)) break;
    if (word != "solid") return fail("\"" + std::string(word) + "\" after \"endsolid\" where a \"solid\" or the end was expected");
  }
  return true;
}

}  // namespace

bool ReadStl(const CReadInput& input, std::vector<CImportedMesh>* meshes, std::string* detail) {
  const std::string_view bytes = input.bytes;
  if (bytes.size() >= 84) {
    uint32_t facets;
    std::memcpy(&facets, bytes.data() + 80, sizeof facets);
    if (uint64_t(bytes.size()) == 84 + 50 * uint64_t(facets)) return ReadBinary(input, meshes, detail);
  }
  return ReadAscii(input, meshes, detail);
}

}  // namespace cliio
