// The column storage of imported meshes. Every access is constant time;
// AddFacet is amortised constant, except for the one end of a soup's run and
// the one switch from uniform facets to per-facet offsets, each linear in the
// facets so far.
#include "cli/io/MeshData.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace cliio {

uint32_t ColorWord(const uint8_t argb[4]) {
  uint32_t word;
  std::memcpy(&word, argb, sizeof word);
  return word;
}

void ColorBytes(uint32_t word, uint8_t argb[4]) { std::memcpy(argb, &word, sizeof word); }

void CVectorColumn::Add(double x, double y, double z) {
  if (mSingle) {
    mFloats.insert(mFloats.end(), {float(x), float(y), float(z)});
  } else {
    mDoubles.insert(mDoubles.end(), {x, y, z});
  }
}

void CVectorColumn::Set(size_t index, double x, double y, double z) {
  const size_t value = ValueOf(index);
  if (mSingle) {
    float* at = &mFloats[3 * value];
    at[0] = float(x), at[1] = float(y), at[2] = float(z);
  } else {
    double* at = &mDoubles[3 * value];
    at[0] = x, at[1] = y, at[2] = z;
  }
}

void CVectorColumn::ReadFrom(std::shared_ptr<const CFileWindow> file, uint64_t first, uint32_t stride,
                             uint32_t perRecord, size_t values) {
  mFile = std::move(file);
  mFirst = first;
  mStride = stride;
  mPerRecord = perRecord;
  mFileValues = values;
}

void CVectorColumn::GetSingles(size_t first, size_t count, float* out) const {
  if (!mFile) {
    std::memcpy(out, mFloats.data() + 3 * first, 3 * count * sizeof(float));
    return;
  }
  // Whole records at a time from the window, at most half a window's bytes.
  constexpr size_t kValueBytes = 3 * sizeof(float);
  const size_t end = first + count;
  const size_t recordsAtATime = CFileWindow::kWindowBytes / 2 / mStride;
  for (size_t value = first; value < end;) {
    const size_t record = value / mPerRecord;
    size_t within = value - record * mPerRecord;
    const size_t records = std::min(recordsAtATime, (end - record * mPerRecord + mPerRecord - 1) / mPerRecord);
    const unsigned char* bytes = mFile->At(mFirst + record * mStride, (records - 1) * mStride + mPerRecord * kValueBytes);
    for (size_t r = 0; r < records; ++r, within = 0, bytes += mStride)
      for (size_t k = within; k < mPerRecord && value < end; ++k, ++value, out += 3)
        std::memcpy(out, bytes + k * kValueBytes, kValueBytes);
  }
}

void CSingleValueReader::Refill(size_t value) {
  mRun.resize(3 * kRun);
  mFirst = value;
  mEnd = std::min(mColumn.Size(), value + kRun);
  mColumn.GetSingles(mFirst, mEnd - mFirst, mRun.data());
}

bool CVectorColumn::AnyNonZero() const {
  if (mFile) {
    for (size_t value = 0; value < mFileValues; ++value) {
      double xyz[3];
      GetFromFile(value, xyz);
      if (xyz[0] != 0 || xyz[1] != 0 || xyz[2] != 0) return true;
    }
    return false;
  }
  for (float value : mFloats)
    if (value != 0) return true;
  for (double value : mDoubles)
    if (value != 0) return true;
  return false;
}

CImportedVertex CImportedMesh::Vertex(size_t index) const {
  CImportedVertex vertex;
  positions.Get(index, vertex.position);
  if (!normals.Empty()) normals.Get(index, vertex.normal);
  if (!uvws.Empty()) uvws.Get(index, vertex.uvw);
  if (!colors.empty()) ColorBytes(colors[index], vertex.argb);
  return vertex;
}

CImportedFacet CImportedMesh::Facet(size_t index) const {
  CImportedFacet facet;
  facet.count = CornerCount(index);
  for (int32_t k = 0; k < facet.count; ++k) facet.corners[k] = Corner(index, k);
  ColorBytes(FacetColor(index), facet.argb);
  return facet;
}

void CImportedMesh::AddVertex(const CImportedVertex& vertex) {
  const size_t index = positions.Size();
  positions.Add(vertex.position[0], vertex.position[1], vertex.position[2]);
  auto attribute = [index](CVectorColumn& column, const double (&value)[3]) {
    if (column.Empty() && value[0] == 0 && value[1] == 0 && value[2] == 0) return;
    if (column.Empty()) column.Resize(index);
    column.Add(value[0], value[1], value[2]);
  };
  attribute(normals, vertex.normal);
  attribute(uvws, vertex.uvw);
  const uint32_t color = ColorWord(vertex.argb);
  if (colors.empty() && color == kOpaqueWhiteWord) return;
  colors.resize(index, kOpaqueWhiteWord);  // the vertices before the first coloured one
  colors.push_back(color);
}

void CImportedMesh::EndRun() {
  const size_t corners = mRunFacets * size_t(mUniform);
  mCorners.reserve(std::max(corners + size_t(mUniform), mReservedCorners));
  for (size_t corner = 0; corner < corners; ++corner) mCorners.push_back(int32_t(corner));
  mInRun = false;
}

void CImportedMesh::AddFacet(const int32_t* corners, int32_t count, uint32_t color) {
  const size_t facets = FacetCount();
  if (mInRun) {
    if (mUniform == 0) mUniform = count;
    const int64_t next = int64_t(facets) * mUniform;
    bool continues = count == mUniform;
    for (int32_t k = 0; continues && k < count; ++k) continues = corners[k] == next + k;
    if (continues) {
      ++mRunFacets;
    } else {
      EndRun();
    }
  }
  if (!mInRun) AddStoredFacet(corners, count);
  if (mFacetColors.empty() && color == kOpaqueWhiteWord) return;
  mFacetColors.resize(facets, kOpaqueWhiteWord);  // the facets before the first coloured one
  mFacetColors.push_back(color);
}

void CImportedMesh::AddStoredFacet(const int32_t* corners, int32_t count) {
  const size_t facets = FacetCount();
  if (mStarts.empty() && mUniform != 0 && mUniform != count) {
    // The first facet of another corner count: offsets from here on.
    if (mCorners.size() >= UINT32_MAX) throw std::length_error("too many facet corners");
    mStarts.reserve(mCorners.capacity() / size_t(mUniform) + 1);
    for (size_t f = 0; f <= facets; ++f) mStarts.push_back(uint32_t(f * size_t(mUniform)));
  }
  if (!mStarts.empty() && mCorners.size() + size_t(count) > UINT32_MAX) throw std::length_error("too many facet corners");
  mCorners.insert(mCorners.end(), corners, corners + count);
  if (!mStarts.empty()) mStarts.push_back(uint32_t(mCorners.size()));
}

void CImportedMesh::ReserveFacets(size_t facets, int32_t cornersEach) {
  mReservedCorners = facets * size_t(cornersEach);
  if (!mInRun) mCorners.reserve(mReservedCorners);
}

size_t CImportedMesh::Bytes() const {
  return positions.Bytes() + normals.Bytes() + uvws.Bytes() + colors.capacity() * sizeof(uint32_t) +
         mCorners.capacity() * sizeof(int32_t) + mStarts.capacity() * sizeof(uint32_t) +
         mFacetColors.capacity() * sizeof(uint32_t);
}

}  // namespace cliio
