// Compact storage of received wire vertices: a vertex whose values are all
// single-precision numbers widened to double (bit for bit), whose vectorB is
// its position and whose uvw has zero v and w is stored as its position and u
// in floats, with its vectorA, colour and host index in run columns; any other
// is kept in full as well. Constant time to add.
#include <float.h>
#include <string.h>

#include <algorithm>
#include <cmath>

#include "host/Scene.h"

namespace host {

namespace {

// True when `value` is a float widened to double, with *narrow that float.
// NaNs are never taken as floats: their payload might not survive. Finite
// values, nearly all of them, are settled by the first test.
inline bool AsFloat(double value, float* narrow) {
  if (std::fabs(value) <= FLT_MAX) {  // false for NaNs and infinities
    *narrow = static_cast<float>(value);
    return static_cast<double>(*narrow) == value;  // keeps the sign of zero too
  }
  if (!std::isinf(value)) return false;
  *narrow = value > 0 ? HUGE_VALF : -HUGE_VALF;
  return true;
}

inline bool AsFloats(const CVec3& v, float out[3]) { return AsFloat(v.x, &out[0]) && AsFloat(v.y, &out[1]) && AsFloat(v.z, &out[2]); }

bool SameBits(const CVec3& a, const CVec3& b) { return memcmp(&a, &b, sizeof a) == 0; }

bool IsPositiveZero(double value) {
  uint64_t bits;
  memcpy(&bits, &value, sizeof bits);
  return bits == 0;
}

CVec3 Widen(const float v[3]) { return CVec3{v[0], v[1], v[2]}; }

}  // namespace

void CReceivedVertices::Add(const CHostVertex& vertex, int32_t hostIndex) {
  const size_t index = mPoints.size();
  const uint32_t start = uint32_t(index);
  CPoint point;
  float vectorA[3];
  const bool compact = AsFloats(vertex.position, point.position) && AsFloats(vertex.vectorA, vectorA) &&
                       AsFloat(vertex.uvw.x, &point.u) && SameBits(vertex.vectorB, vertex.position) &&
                       IsPositiveZero(vertex.uvw.y) && IsPositiveZero(vertex.uvw.z);
  if (!compact) {
    mFull.emplace_back(index, vertex);
    point = CPoint{};  // never read: Full answers for this vertex
  } else if (mVectorRuns.empty() || memcmp(mVectorRuns.back().vectorA, vectorA, sizeof vectorA) != 0) {
    CVectorRun run;
    run.start = start;
    memcpy(run.vectorA, vectorA, sizeof vectorA);
    mVectorRuns.push_back(run);
  }
  if (mColorRuns.empty() || mColorRuns.back().color != vertex.color) mColorRuns.push_back(CColorRun{start, vertex.color});
  if (mIndexRuns.empty() || int64_t(mIndexRuns.back().hostIndex) + (start - mIndexRuns.back().start) != hostIndex)
    mIndexRuns.push_back(CIndexRun{start, hostIndex});
  mPoints.push_back(point);
}

void CReceivedVertices::clear() {
  mPoints.clear();
  mVectorRuns.clear();
  mColorRuns.clear();
  mIndexRuns.clear();
  mFull.clear();
  mFull.shrink_to_fit();
}

template <typename TRun, unsigned kBlockBits>
const TRun& CReceivedVertices::RunAt(const CBlockList<TRun, kBlockBits>& runs, size_t index) {
  // Wires are read in order, so the latest run answers most lookups.
  if (runs.back().start <= index) return runs.back();
  size_t low = 0, high = runs.size() - 1;  // runs[low].start <= index < runs[high].start
  while (high - low > 1) {
    const size_t middle = low + (high - low) / 2;
    if (runs[middle].start <= index)
      low = middle;
    else
      high = middle;
  }
  return runs[low];
}

const CHostVertex* CReceivedVertices::Full(size_t index) const {
  if (mFull.empty()) return nullptr;
  auto found = std::lower_bound(mFull.begin(), mFull.end(), index,
                                [](const std::pair<size_t, CHostVertex>& entry, size_t at) { return entry.first < at; });
  return found != mFull.end() && found->first == index ? &found->second : nullptr;
}

CReceivedVertex CReceivedVertices::operator[](size_t index) const {
  CReceivedVertex received;
  received.hostIndex = HostIndex(index);
  if (const CHostVertex* full = Full(index)) {
    received.vertex = *full;
    return received;
  }
  const CPoint& point = mPoints[index];
  received.vertex.color = RunAt(mColorRuns, index).color;
  received.vertex.position = Widen(point.position);
  received.vertex.vectorA = Widen(RunAt(mVectorRuns, index).vectorA);
  received.vertex.vectorB = received.vertex.position;
  received.vertex.uvw = CVec3{point.u, 0, 0};
  return received;
}

CVec3 CReceivedVertices::Position(size_t index) const {
  if (const CHostVertex* full = Full(index)) return full->position;
  return Widen(mPoints[index].position);
}

double CReceivedVertices::U(size_t index) const {
  if (const CHostVertex* full = Full(index)) return full->uvw.x;
  return mPoints[index].u;
}

int32_t CReceivedVertices::HostIndex(size_t index) const {
  const CIndexRun& run = RunAt(mIndexRuns, index);
  return int32_t(int64_t(run.hostIndex) + int64_t(index - run.start));
}

}  // namespace host
