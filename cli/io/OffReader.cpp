// Reads ASCII OFF (with the optional ST, C, N and 4 prefixes) into one mesh,
// keeping the file's vertex numbering. Vertex lines are x y z [nx ny nz]
// [r g b [a]] [s t]; face lines are n i1..in [r g b [a]]. The header's counts
// are checked against the lines the file holds before anything is reserved,
// so a lying header is an error, not an allocation. Lines and tokens are views
// into the mapped file. Linear in the file size.
#include <stdint.h>

#include "cli/io/MeshReaders.h"

namespace cliio {

namespace {

bool ParseCount(std::string_view token, size_t* count) {
  double value = 0;
  if (!ParseFiniteNumber(token, &value) || value < 0 || value != static_cast<double>(static_cast<int64_t>(value)) ||
      value > INT32_MAX)
    return false;
  *count = static_cast<size_t>(value);
  return true;
}

}  // namespace

namespace {

// The file's lines without comments and blanks, one at a time, as tokens.
class COffLines {
 public:
  COffLines(std::string_view text, CReadProgress* progress) : mText(text), mProgress(progress) {}
  // The next data line's tokens; false at the end of the text.
  bool Next() {
    while (mAt < mText.size()) {
      size_t end = mText.find('\n', mAt);
      if (end == std::string_view::npos) end = mText.size();
      const std::string_view line = mText.substr(mAt, end - mAt);
      mAt = end + 1;
      ++mNumber;
      if (!mProgress->At(mAt)) return false;
      SplitTokens(line.substr(0, line.find('#')), &mTokens);
      if (!mTokens.empty()) return true;
    }
    return false;
  }
  const std::vector<std::string_view>& Tokens() const { return mTokens; }
  size_t Number() const { return mNumber; }
  // How many data lines follow the current one (a scan that keeps the place).
  size_t CountRemaining() const {
    size_t count = 0;
    std::vector<std::string_view> tokens;
    for (size_t at = mAt; at < mText.size();) {
      size_t end = mText.find('\n', at);
      if (end == std::string_view::npos) end = mText.size();
      const std::string_view line = mText.substr(at, end - at).substr(0, mText.substr(at, end - at).find('#'));
      at = end + 1;
      for (char c : line)
        if (!std::isspace(static_cast<unsigned char>(c))) {
          ++count;
          break;
        }
    }
    return count;
  }

 private:
  std::string_view mText;
  CReadProgress* mProgress;
  size_t mAt = 0;
  size_t mNumber = 0;
  std::vector<std::string_view> mTokens;
};

}  // namespace

bool ReadOff(const CReadInput& input, std::vector<CImportedMesh>* meshes, std::string* detail) {
  std::string_view text = input.bytes;
  if (!CheckText(&text, detail)) return false;
  COffLines lines(text, input.progress);
  auto fail = [&](bool withLine, const std::string& what) {
    *detail = (withLine ? "line " + std::to_string(lines.Number()) + ": " : std::string()) + what;
    return false;
  };
  auto next = [&]() {
    if (lines.Next()) return true;
    if (input.progress->Stopped()) *detail = kCancelledDetail;
    return false;
  };
  if (!next()) return input.progress->Stopped() ? false : fail(false, "is empty");

  // The keyword may share its line with the counts ("OFF 8 6 12").
  const std::vector<std::string_view> header = lines.Tokens();
  const std::string keyword(header[0]);
  if (keyword.size() < 3 || keyword.compare(keyword.size() - 3, 3, "OFF") != 0)
    return fail(true, "does not begin with an OFF keyword");
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
      return fail(true, "the OFF variant \"" + keyword + "\" is not supported");
    }
  }
  if (header.size() >= 2 && header[1] == "BINARY") return fail(true, "binary OFF is not supported");
  std::vector<std::string_view> counts(header.begin() + 1, header.end());
  if (counts.empty()) {
    if (!next()) return input.progress->Stopped() ? false : fail(true, "has no vertex and face counts");
    counts = lines.Tokens();
  }
  size_t vertexCount = 0, faceCount = 0;
  if (counts.size() < 2 || !ParseCount(counts[0], &vertexCount) || !ParseCount(counts[1], &faceCount))
    return fail(true, "the vertex and face counts are not valid");
  const size_t dataLines = lines.CountRemaining();
  if (vertexCount + faceCount > dataLines)
    return fail(true, "declares " + std::to_string(vertexCount) + " vertices and " + std::to_string(faceCount) +
                          " faces but holds only " + std::to_string(dataLines) + " data lines");

  CImportedMesh mesh;
  mesh.name = input.stem;
  mesh.positions.Reserve(vertexCount);
  const size_t positionSize = fourD ? 4 : 3;
  std::vector<double> values;
  for (size_t v = 0; v < vertexCount; ++v) {
    if (!next()) return false;
    const std::vector<std::string_view>& tokens = lines.Tokens();
    values.resize(tokens.size());
    for (size_t i = 0; i < tokens.size(); ++i) {
      if (i < 3 && ParseCoordinate(tokens[i], &values[i], detail)) continue;
      if (i < 3) return fail(true, *detail);
      if (!ParseFiniteNumber(tokens[i], &values[i]))
        return fail(true, "\"" + std::string(tokens[i]) + "\" is not a finite number");
    }
    const size_t fixed = positionSize + (hasNormal ? 3 : 0) + (hasTexture ? 2 : 0);
    const size_t colorSize = values.size() >= fixed ? values.size() - fixed : 0;
    if (values.size() < fixed || (hasColor ? (colorSize != 3 && colorSize != 4) : colorSize != 0))
      return fail(true, "vertex " + std::to_string(v) + " has " + std::to_string(values.size()) +
                            " values, which does not match \"" + keyword + "\"");
    CImportedVertex vertex;
    size_t at = 0;
    for (int i = 0; i < 3; ++i) vertex.position[i] = values[at + i];
    if (fourD) {
      if (values[3] == 0) return fail(true, "vertex " + std::to_string(v) + " has a w of 0");
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
    mesh.AddVertex(vertex);
  }

  std::vector<int32_t> corners;
  mesh.ReserveFacets(faceCount, 3);
  for (size_t f = 0; f < faceCount; ++f) {
    if (!next()) return false;
    const std::vector<std::string_view>& tokens = lines.Tokens();
    size_t count = 0;
    if (!ParseCount(tokens[0], &count) || count == 0 || count + 1 > tokens.size())
      return fail(true, "face " + std::to_string(f) + " does not give its corners");
    corners.clear();
    for (size_t i = 1; i <= count; ++i) {
      size_t index = 0;
      if (!ParseCount(tokens[i], &index) || index >= vertexCount)
        return fail(true, "face " + std::to_string(f) + " names vertex " + std::string(tokens[i]) + " of " +
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
          return fail(true, "face " + std::to_string(f) + " has a colour that is not a number");
      ColorFromComponents(rgba, extra, argb);
    }
    AppendFacet(&mesh, corners.data(), corners.size(), argb);
  }
  meshes->push_back(std::move(mesh));
  return true;
}

}  // namespace cliio
