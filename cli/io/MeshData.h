// The meshes `tressel wire` reads: one CImportedMesh per child group, holding
// exactly what the host will describe for that group through 'GETV'/'GETF'.
// The mesh is stored by columns, each only as wide as the file's values need:
// positions and normals read as single-precision floats (STL, float PLY) stay
// floats, attributes the file does not carry take no room at all, and facets
// that all have one corner count need no offsets. The host serves its requests
// straight from these columns, so every corner lives here once.
#ifndef TRESSEL_CLI_IO_MESHDATA_H
#define TRESSEL_CLI_IO_MESHDATA_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

namespace cliio {

// Colours are the bytes A, R, G, B in that order, as the host records carry them.
constexpr uint8_t kOpaqueWhite[4] = {0xFF, 0xFF, 0xFF, 0xFF};
constexpr uint32_t kOpaqueWhiteWord = 0xFFFFFFFFu;

// The colour bytes as one word in memory order, and back.
uint32_t ColorWord(const uint8_t argb[4]);
void ColorBytes(uint32_t word, uint8_t argb[4]);

// One vertex as the host reports it, assembled from the columns.
struct CImportedVertex {
  double position[3] = {0, 0, 0};
  double normal[3] = {0, 0, 0};  // sent as vectorA; zero when the file has none
  double uvw[3] = {0, 0, 0};
  uint8_t argb[4] = {0xFF, 0xFF, 0xFF, 0xFF};
};

// A facet of 1 to 4 corners: 1 is a point, 2 a line, 3 and 4 polygons as the
// file gave them. Corners are 0-based indices into the mesh's vertices and are
// always in range once the importer has returned.
struct CImportedFacet {
  int32_t count = 0;
  int32_t corners[4] = {0, 0, 0, 0};
  uint8_t argb[4] = {0xFF, 0xFF, 0xFF, 0xFF};
};

// A column of 3-vectors in single or double precision, chosen before the first
// value is added. Values added as floats to a double column widen exactly.
class CVectorColumn {
 public:
  explicit CVectorColumn(bool single = false) : mSingle(single) {}
  bool Single() const { return mSingle; }
  // REQUIRES: the column is empty.
  void SetSingle(bool single) { mSingle = single; }
  size_t Size() const { return mSingle ? mFloats.size() / 3 : mDoubles.size() / 3; }
  bool Empty() const { return Size() == 0; }
  void Reserve(size_t count) { mSingle ? mFloats.reserve(3 * count) : mDoubles.reserve(3 * count); }
  void Clear() { mFloats.clear(), mDoubles.clear(); }
  // Every value 0, for columns filled out of order (Set) or only in part.
  void Resize(size_t count) { mSingle ? mFloats.resize(3 * count, 0.0f) : mDoubles.resize(3 * count, 0.0); }
  void Add(double x, double y, double z);
  void AddFloats(const float* xyz);
  // REQUIRES: index < Size(); a single column stores the values as floats.
  void Set(size_t index, double x, double y, double z);
  void Get(size_t index, double out[3]) const;
  bool AnyNonZero() const;
  size_t Bytes() const { return mFloats.capacity() * sizeof(float) + mDoubles.capacity() * sizeof(double); }

 private:
  bool mSingle;
  std::vector<float> mFloats;
  std::vector<double> mDoubles;
};

class CImportedMesh {
 public:
  std::string name;  // never empty

  // Vertex columns. `normals` and `uvws` are empty when the file gives none,
  // else as long as `positions`; `colors` (ColorWord) is empty when every
  // vertex is opaque white.
  CVectorColumn positions, normals, uvws;
  std::vector<uint32_t> colors;

  size_t VertexCount() const { return positions.Size(); }
  size_t FacetCount() const { return mStarts.empty() ? (mUniform ? mCorners.size() / size_t(mUniform) : 0) : mStarts.size() - 1; }
  CImportedVertex Vertex(size_t index) const;
  CImportedFacet Facet(size_t index) const;
  void Position(size_t index, double out[3]) const { positions.Get(index, out); }
  // The facet's corner count and its first corner; the rest follow it.
  int32_t CornerCount(size_t facet) const {
    return mStarts.empty() ? mUniform : int32_t(mStarts[facet + 1] - mStarts[facet]);
  }
  const int32_t* Corners(size_t facet) const {
    return mCorners.data() + (mStarts.empty() ? facet * size_t(mUniform) : mStarts[facet]);
  }
  uint32_t FacetColor(size_t facet) const { return mFacetColors.empty() ? kOpaqueWhiteWord : mFacetColors[facet]; }

  // Appends a vertex with all its attributes (test and small-reader use).
  void AddVertex(const CImportedVertex& vertex);
  // Appends a facet of 1 to 4 corners with its colour (ColorWord).
  // REQUIRES: 1 <= count <= 4; every corner indexes the vertices.
  void AddFacet(const int32_t* corners, int32_t count, uint32_t color = kOpaqueWhiteWord);
  void ReserveFacets(size_t facets, int32_t cornersEach);

  // Bytes the columns hold (capacities), for the memory account.
  size_t Bytes() const;

 private:
  std::vector<int32_t> mCorners;      // every facet's corners, facet after facet
  std::vector<uint32_t> mStarts;      // empty while every facet has mUniform corners, else FacetCount()+1 offsets
  int32_t mUniform = 0;               // the corner count of every facet so far (0: none yet)
  std::vector<uint32_t> mFacetColors; // empty while every facet is opaque white
};

}  // namespace cliio

#endif
