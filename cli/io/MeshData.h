// The meshes `tressel wire` reads: one CImportedMesh per child group, holding
// exactly what the host will describe for that group through 'GETV'/'GETF'.
// The mesh is stored by columns, each only as wide as the file's values need:
// positions and normals read as single-precision floats (STL, float PLY) stay
// floats, attributes the file does not carry take no room at all, a value the
// file gives once for several vertices (an STL facet's normal) is kept once,
// facets that all have one corner count need no offsets, and a soup's facets
// (corners 0, 1, 2, 3, ... in order) need no corner list. The host serves its
// requests straight from these columns, so every corner lives here once.
#ifndef TRESSEL_CLI_IO_MESHDATA_H
#define TRESSEL_CLI_IO_MESHDATA_H

#include <stddef.h>
#include <stdint.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cli/io/FileWindow.h"

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
// Rows are the column's entries as its users count them (one per vertex); a
// column may store one value for each run of several consecutive rows. A
// column may also leave its values in the file they came from (ReadFrom):
// single-precision records read through the file's window when asked.
class CVectorColumn {
 public:
  explicit CVectorColumn(bool single = false) : mSingle(single) {}
  bool Single() const { return mSingle; }
  // REQUIRES: the column is empty.
  void SetSingle(bool single) { mSingle = single; }
  // Each value stands for `rows` (>= 1, default 1) consecutive rows, and each
  // Add appends that many: row r reads value r / rows.
  // REQUIRES: the column is empty.
  void SetRowsPerValue(uint32_t rows) { mRowsPerValue = rows; }
  uint32_t RowsPerValue() const { return mRowsPerValue; }
  size_t Size() const { return Values() * mRowsPerValue; }
  bool Empty() const { return Size() == 0; }
  void Reserve(size_t rows) { mSingle ? mFloats.reserve(3 * ValuesFor(rows)) : mDoubles.reserve(3 * ValuesFor(rows)); }
  void Clear() { mFloats.clear(), mDoubles.clear(), mFile.reset(), mFileValues = 0, mHasFileBox = false; }
  // The column's `values` values stay in `file`: value v is three
  // little-endian floats at first + (v / perRecord) * stride + (v % perRecord)
  // * 12. Add, Set and Resize are not for such a column.
  // REQUIRES: the column is empty and single; perRecord is 1 or 3; every
  // value lies inside the file.
  void ReadFrom(std::shared_ptr<const CFileWindow> file, uint64_t first, uint32_t stride, uint32_t perRecord,
                size_t values);
  // The box around the values of a column left in a file, as the reader saw
  // them while it checked every value (so a pass over the file is saved):
  // low x, y, z, then high x, y, z. Null for a column held in memory or one
  // whose reader gave no box.
  void SetFileBounds(const float box[6]) { std::memcpy(mFileBox, box, sizeof mFileBox), mHasFileBox = true; }
  const float* FileBounds() const { return mFile && mHasFileBox ? mFileBox : nullptr; }
  // Whether the file the values stay in has changed since they were read
  // (false for values held in memory).
  bool FileChanged() const { return mFile && mFile->Changed(); }
  // Every value 0, for columns filled out of order (Set) or only in part; a
  // partial run at the end is rounded up to a whole value.
  void Resize(size_t rows) {
    mSingle ? mFloats.resize(3 * ValuesFor(rows), 0.0f) : mDoubles.resize(3 * ValuesFor(rows), 0.0);
  }
  // Append one value: RowsPerValue() rows.
  void Add(double x, double y, double z);
  // Appends `values` values (each RowsPerValue() rows) from 3 * values floats.
  void AddFloats(const float* xyz, size_t values = 1) {
    if (mSingle) {
      mFloats.insert(mFloats.end(), xyz, xyz + 3 * values);
    } else {
      mDoubles.insert(mDoubles.end(), xyz, xyz + 3 * values);
    }
  }
  // The values as x, y, z floats, value after value; null unless Single()
  // and held in memory (not left in a file).
  const float* SingleValues() const { return mSingle && !mFile ? mFloats.data() : nullptr; }
  // Copies values [first, first + count) to `out` as x, y, z floats, from
  // memory or from the file they stay in: a pass over a column left in a file
  // reads it in runs, not value by value.
  // REQUIRES: Single(); first + count <= the values the column holds.
  void GetSingles(size_t first, size_t count, float* out) const;
  // Sets the value row `index` reads (with it, its whole run's).
  // REQUIRES: index < Size(); a single column stores the values as floats.
  void Set(size_t index, double x, double y, double z);
  // Inline: the host calls it for every field of every vertex it serves.
  void Get(size_t index, double out[3]) const {
    const size_t value = ValueOf(index);
    if (mFile) {
      GetFromFile(value, out);
    } else if (mSingle) {
      const float* at = &mFloats[3 * value];
      out[0] = at[0], out[1] = at[1], out[2] = at[2];
    } else {
      const double* at = &mDoubles[3 * value];
      out[0] = at[0], out[1] = at[1], out[2] = at[2];
    }
  }
  bool AnyNonZero() const;
  // Bytes held in memory (values left in a file hold none but the window's).
  size_t Bytes() const { return mFloats.capacity() * sizeof(float) + mDoubles.capacity() * sizeof(double); }

 private:
  size_t Values() const { return mFile ? mFileValues : mSingle ? mFloats.size() / 3 : mDoubles.size() / 3; }
  // Value `value`'s three floats in the file's window.
  const unsigned char* InFile(size_t value) const {
    size_t record = value, within = 0;
    if (mPerRecord == 3) {
      record = value / 3;
      within = value - 3 * record;
    }
    return mFile->At(mFirst + record * mStride + within * 3 * sizeof(float), 3 * sizeof(float));
  }
  void GetFromFile(size_t value, double out[3]) const {
    float xyz[3];
    std::memcpy(xyz, InFile(value), sizeof xyz);
    out[0] = xyz[0], out[1] = xyz[1], out[2] = xyz[2];
  }
  size_t ValuesFor(size_t rows) const { return (rows + mRowsPerValue - 1) / mRowsPerValue; }
  // An STL facet's normal serves its three corners: that divisor is a constant.
  size_t ValueOf(size_t row) const {
    return mRowsPerValue == 1 ? row : mRowsPerValue == 3 ? row / 3 : row / mRowsPerValue;
  }

  bool mSingle;
  uint32_t mRowsPerValue = 1;
  std::vector<float> mFloats;
  std::vector<double> mDoubles;
  std::shared_ptr<const CFileWindow> mFile;  // set: the values stay in this file
  uint64_t mFirst = 0;
  uint32_t mStride = 0, mPerRecord = 1;
  size_t mFileValues = 0;
  float mFileBox[6] = {0, 0, 0, 0, 0, 0};
  bool mHasFileBox = false;
};

// Reads a single-precision column's values by index: in place when they are
// held, else from their file a run of kRun values at a time, so that reading
// them in order costs one pass over the file's bytes.
// REQUIRES: column.Single() and RowsPerValue() == 1; the column outlives the
// reader and does not change while it reads.
class CSingleValueReader {
 public:
  static constexpr size_t kRun = 4096;
  explicit CSingleValueReader(const CVectorColumn& column) : mColumn(column), mHeld(column.SingleValues()) {}
  // Value `value`'s x, y, z, valid until the next call.
  // REQUIRES: value < the column's Size().
  const float* At(size_t value) {
    if (mHeld) return mHeld + 3 * value;
    if (value < mFirst || value >= mEnd) Refill(value);
    return &mRun[3 * (value - mFirst)];
  }

 private:
  void Refill(size_t value);

  const CVectorColumn& mColumn;
  const float* mHeld;
  std::vector<float> mRun;
  size_t mFirst = 0, mEnd = 0;
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
  size_t FacetCount() const {
    if (mInRun) return mRunFacets;
    return mStarts.empty() ? mCorners.size() / size_t(mUniform) : mStarts.size() - 1;
  }
  CImportedVertex Vertex(size_t index) const;
  CImportedFacet Facet(size_t index) const;
  void Position(size_t index, double out[3]) const { positions.Get(index, out); }
  // The facet's corner count, and its corner k (0-based vertex index).
  // REQUIRES: facet < FacetCount(); 0 <= k < CornerCount(facet).
  int32_t CornerCount(size_t facet) const {
    return mStarts.empty() ? mUniform : int32_t(mStarts[facet + 1] - mStarts[facet]);
  }
  int32_t Corner(size_t facet, int32_t k) const {
    const size_t first = mStarts.empty() ? facet * size_t(mUniform) : mStarts[facet];
    return mInRun ? int32_t(first + size_t(k)) : mCorners[first + size_t(k)];
  }
  uint32_t FacetColor(size_t facet) const { return mFacetColors.empty() ? kOpaqueWhiteWord : mFacetColors[facet]; }

  // Appends a vertex with all its attributes (test and small-reader use).
  void AddVertex(const CImportedVertex& vertex);
  // Appends a facet of 1 to 4 corners with its colour (ColorWord).
  // REQUIRES: 1 <= count <= 4; every corner indexes the vertices.
  void AddFacet(const int32_t* corners, int32_t count, uint32_t color = kOpaqueWhiteWord);
  // Room for that many facets, taken once their corners need storing.
  void ReserveFacets(size_t facets, int32_t cornersEach);
  // Whether the corners are the running count 0, 1, 2, ... and not stored.
  bool CornersInRun() const { return mInRun; }
  // Whether a file some columns left their values in has changed since (the
  // values read from it now are then not those imported).
  bool SourceChanged() const { return positions.FileChanged() || normals.FileChanged() || uvws.FileChanged(); }

  // Bytes the columns hold (capacities), for the memory account.
  size_t Bytes() const;

 private:
  // Stores the corners of the run so far in mCorners and ends the run.
  void EndRun();
  // AddFacet's corners once they are stored.
  void AddStoredFacet(const int32_t* corners, int32_t count);

  // While every facet so far has mUniform corners that continue the running
  // count 0, 1, 2, ... (facet f's are f * mUniform + k: a soup), mInRun holds
  // and only their number is kept. The first facet that breaks the run writes
  // the corners out; from then on mCorners holds every corner.
  bool mInRun = true;
  size_t mRunFacets = 0;
  size_t mReservedCorners = 0;        // ReserveFacets' wish, taken when the run ends
  std::vector<int32_t> mCorners;      // every facet's corners, facet after facet; empty in a run
  std::vector<uint32_t> mStarts;      // empty while every facet has mUniform corners, else FacetCount()+1 offsets
  int32_t mUniform = 0;               // the corner count of every facet so far (0: none yet)
  std::vector<uint32_t> mFacetColors; // empty while every facet is opaque white
};

}  // namespace cliio

#endif
