// Compact storage of received wire vertices: a vertex whose values are all
// single-precision numbers widened to double (bit for bit), whose vectorB is
// its position and whose uvw has zero v and w is stored as floats; any other
// is kept in full as well. Constant time to add; reading a vertex is constant
// time while no vertex is kept in full, O(log full) otherwise.
#include <float.h>
#include <string.h>

#include <algorithm>
#include <cmath>

#include "host/Scene.h"

namespace host {

namespace {

// True when `value` is a float widened to double, with *narrow that float.
// NaNs are never taken as floats: their payload might not survive.
bool AsFloat(double value, float* narrow) {
  if (std::isnan(value)) return false;
  if (std::isinf(value)) {
    *narrow = value > 0 ? HUGE_VALF : -HUGE_VALF;
    return true;
  }
  if (std::fabs(value) > FLT_MAX) return false;
  *narrow = static_cast<float>(value);
  return static_cast<double>(*narrow) == value;  // keeps the sign of zero too
}

bool AsFloats(const CVec3& v, float out[3]) { return AsFloat(v.x, &out[0]) && AsFloat(v.y, &out[1]) && AsFloat(v.z, &out[2]); }

bool SameBits(const CVec3& a, const CVec3& b) { return memcmp(&a, &b, sizeof a) == 0; }

bool IsPositiveZero(double value) {
  uint64_t bits;
  memcpy(&bits, &value, sizeof bits);
  return bits == 0;
}

CVec3 Widen(const float v[3]) { return CVec3{v[0], v[1], v[2]}; }

}  // namespace

void CReceivedVertices::Add(const CHostVertex& vertex, int32_t hostIndex) {
  CPacked packed;
  packed.color = vertex.color;
  packed.hostIndex = hostIndex;
  const bool compact = AsFloats(vertex.position, packed.position) && AsFloats(vertex.vectorA, packed.vectorA) &&
                       AsFloat(vertex.uvw.x, &packed.u) && SameBits(vertex.vectorB, vertex.position) &&
                       IsPositiveZero(vertex.uvw.y) && IsPositiveZero(vertex.uvw.z);
  if (!compact) mFull.emplace_back(mPacked.size(), vertex);
  mPacked.push_back(packed);
}

void CReceivedVertices::clear() {
  mPacked.clear();
  mFull.clear();
  mFull.shrink_to_fit();
}

const CHostVertex* CReceivedVertices::Full(size_t index) const {
  if (mFull.empty()) return nullptr;
  auto found = std::lower_bound(mFull.begin(), mFull.end(), index,
                                [](const std::pair<size_t, CHostVertex>& entry, size_t at) { return entry.first < at; });
  return found != mFull.end() && found->first == index ? &found->second : nullptr;
}

CReceivedVertex CReceivedVertices::operator[](size_t index) const {
  CReceivedVertex received;
  const CPacked& packed = mPacked[index];
  received.hostIndex = packed.hostIndex;
  if (const CHostVertex* full = Full(index)) {
    received.vertex = *full;
    return received;
  }
  received.vertex.color = packed.color;
  received.vertex.position = Widen(packed.position);
  received.vertex.vectorA = Widen(packed.vectorA);
  received.vertex.vectorB = received.vertex.position;
  received.vertex.uvw = CVec3{packed.u, 0, 0};
  return received;
}

CVec3 CReceivedVertices::Position(size_t index) const {
  if (const CHostVertex* full = Full(index)) return full->position;
  return Widen(mPacked[index].position);
}

double CReceivedVertices::U(size_t index) const {
  if (const CHostVertex* full = Full(index)) return full->uvw.x;
  return mPacked[index].u;
}

}  // namespace host
