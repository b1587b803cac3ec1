// Vertex packing: merges vertices whose positions lie within 0.00001 per axis
// of the first (lowest) position of their run in lexicographic order, and
// renumbers the facets' corners to the survivors (lowest old index of a run).
// Cost: one hashing pass over the vertices folds exact duplicates (expected
// O(1) each), one radix sort of the distinct positions by order-preserving
// integer keys, then linear passes over the runs, vertices and facet corners.
// Memory: an index per vertex, a hash slot per 2/3 vertex, then 32 bytes per
// distinct position while sorting.
#include <math.h>
#include <string.h>

#include <algorithm>

#include "base/RadixSort.h"
#include "base/VectorOps.h"
#include "mesh/Group.h"
#include "ui/InfoDlg.h"

namespace {

// A total order on floats: numbers as usual (-0 equals +0), every NaN after
// all numbers and equal to every other NaN. So the order of positions built
// from it is a strict weak ordering whatever the host sent.
inline int CompareAxis(float a, float b) {
  if (a < b) return -1;
  if (b < a) return 1;
  const bool aNaN = std::isnan(a);
  const bool bNaN = std::isnan(b);
  if (aNaN == bNaN) return 0;
  return aNaN ? 1 : -1;
}

inline int ComparePositions(const Fxyz& a, const Fxyz& b) {
  int c = CompareAxis(a.x, b.x);
  if (c == 0) c = CompareAxis(a.y, b.y);
  if (c == 0) c = CompareAxis(a.z, b.z);
  return c;
}

// The same order on one axis as unsigned integers: -0 and +0 give one key,
// every NaN the largest key (above +infinity).
inline uint32_t AxisKey(float v) {
  if (v != v) return 0xFFFFFFFFu;
  uint32_t bits = 0;
  if (v != 0.0f) memcpy(&bits, &v, sizeof bits);
  return (bits & 0x80000000u) ? ~bits : (bits | 0x80000000u);
}

// The float of a key (+0 for both zeros, a NaN for the NaN key).
inline float AxisValue(uint32_t key) {
  const uint32_t bits = (key & 0x80000000u) ? (key & 0x7FFFFFFFu) : ~key;
  float v;
  memcpy(&v, &bits, sizeof v);
  return v;
}

// Differences in float against the double tolerance; a NaN is never near.
inline bool Near(const Fxyz& p, const Fxyz& q) {
  return fabsf(p.x - q.x) < kSamePointTolerance && fabsf(p.y - q.y) < kSamePointTolerance &&
         fabsf(p.z - q.z) < kSamePointTolerance;
}

inline bool HasNaN(const Fxyz& p) { return p.x != p.x || p.y != p.y || p.z != p.z; }

// A distinct position: its keys and the lowest old index that holds it.
struct CDistinct {
  uint32_t key[3];
  int32_t vertex;
};

Fxyz PositionOf(const CDistinct& d) { return Fxyz{AxisValue(d.key[0]), AxisValue(d.key[1]), AxisValue(d.key[2])}; }

// Equal positions (as CompVerPos sees them, NaN aside) give equal slots.
inline size_t Slot(const Fxyz& p, size_t slots) {
  const uint64_t x = AxisKey(p.x), y = AxisKey(p.y), z = AxisKey(p.z);
  const uint64_t h = ((x << 32) | y) * 0x9E3779B97F4A7C15ull ^ z * 0xC2B2AE3D27D4EB4Full;
  return size_t(((h >> 32) * slots) >> 32);
}

template <typename T>
void MakeVector(TVector<T>& vec, size_t n) {
  if (!vec.Allocate(n)) ThrowMemoryException();
  vec.SetCount(n);
}

void AppendIndex(TVector<int>* vec, int value) {
  int* slot = vec->ElemNew();
  if (!slot) ThrowMemoryException();
  *slot = value;
}

// rep[j] = the lowest index whose position equals vertex j's exactly (j itself
// for a position with a NaN, which equals nothing). Open addressing with linear
// probing over about 1.5 slots per vertex. False when the user cancelled.
bool FoldDuplicates(const TVector<CVertex>& vertices, TVector<int>& rep) {
  const size_t n = vertices.count;
  TVector<int32_t> table;
  const size_t slots = n + n / 2 + 1;
  MakeVector(table, slots);
  memset(table.items, 0xFF, slots * sizeof(int32_t));
  // Both loads of a lookup miss the cache when equal positions lie far apart
  // in vertex order (a shuffled soup): the slot is fetched 16 vertices ahead,
  // the vertex it holds 8 ahead.
  constexpr size_t kSlotAhead = 16, kVertexAhead = 8;
  for (size_t j = 0; j < n; ++j) {
    if (!UpdateStat(static_cast<int>(j), 1500)) return false;
    if (j + kSlotAhead < n) __builtin_prefetch(table.items + Slot(vertices[j + kSlotAhead].pos, slots));
    if (j + kVertexAhead < n) {
      const int32_t held = table[Slot(vertices[j + kVertexAhead].pos, slots)];
      if (held >= 0) __builtin_prefetch(&vertices[size_t(held)]);
    }
    const Fxyz& p = vertices[j].pos;
    rep[j] = static_cast<int>(j);
    if (HasNaN(p)) continue;
    for (size_t s = Slot(p, slots);; s = s + 1 == slots ? 0 : s + 1) {
      const int32_t held = table[s];
      if (held < 0) {
        table[s] = static_cast<int32_t>(j);
        break;
      }
      const Fxyz& q = vertices[size_t(held)].pos;
      if (p.x == q.x && p.y == q.y && p.z == q.z) {
        rep[j] = held;
        break;
      }
    }
  }
  return true;
}

}  // namespace

int CompVerPos(const void* a, const void* b) {
  const CVertex* va = *static_cast<const CVertex* const*>(a);
  const CVertex* vb = *static_cast<const CVertex* const*>(b);
  if (a == b) return 0;
  return ComparePositions(va->pos, vb->pos);
}

int CompVerAddr(const void* a, const void* b) {
  const CVertex* va = *static_cast<const CVertex* const*>(a);
  const CVertex* vb = *static_cast<const CVertex* const*>(b);
  if (va < vb) return -1;
  return vb < va ? 1 : 0;
}

void SortRange(CVertex** ptrs, CVertex* base, TVector<int>& remap, int first, int end) {
  if (end - first > 1) std::sort(ptrs + first, ptrs + end);
  const int survivor = static_cast<int>(ptrs[first] - base);
  for (int c = first; c < end; ++c) {
    if (c > first) ptrs[c]->flags |= kFlagDelete;
    remap[static_cast<size_t>(ptrs[c] - base)] = survivor;
  }
}

// The runs are those of a walk over all vertices in CompVerPos order: exact
// duplicates lie next to each other there and are near the same run start,
// so walking the distinct positions instead gives the same runs, and the
// lowest index of a run is the lowest of its distinct positions' indices.
bool CGroup::PackVertices(bool relink, TVector<int>* newToOld) {
  const size_t vertexCount = vertices.count;
  if (vertexCount == 0) return true;
  const int nV = static_cast<int>(vertexCount);
  InfoDlg::SetIndicator(PascalString("Linking vertices"), nV + static_cast<int>(facets.count),
                        PascalString());

  // remap: first the exact duplicate's index, then the run survivor's old
  // index, at the end the new index.
  TVector<int> remap;
  MakeVector(remap, vertexCount);
  if (!FoldDuplicates(vertices, remap)) return false;

  int runs = 0;
  {
    size_t distinct = 0;
    for (size_t j = 0; j < vertexCount; ++j) distinct += remap[j] == static_cast<int>(j);
    TVector<CDistinct> sorted, scratch;
    MakeVector(sorted, distinct);
    MakeVector(scratch, distinct);
    size_t d = 0;
    for (size_t j = 0; j < vertexCount; ++j) {
      if (remap[j] != static_cast<int>(j)) continue;
      const Fxyz& p = vertices[j].pos;
      sorted[d++] = CDistinct{{AxisKey(p.x), AxisKey(p.y), AxisKey(p.z)}, static_cast<int32_t>(j)};
    }
    RadixSort<3>(sorted.items, scratch.items, distinct, [](const CDistinct& e, int w) { return e.key[w]; });
    scratch.Free();

    // A position always belongs to the run it starts, even when it has a NaN
    // and so is not near itself.
    size_t runStart = 0;
    Fxyz startPos = PositionOf(sorted[0]);
    auto closeRun = [&](size_t end) {
      int survivor = sorted[runStart].vertex;
      for (size_t c = runStart + 1; c < end; ++c) survivor = std::min(survivor, int(sorted[c].vertex));
      for (size_t c = runStart; c < end; ++c) remap[size_t(sorted[c].vertex)] = survivor;
      ++runs;
    };
    for (size_t i = 1; i < distinct; ++i) {
      const Fxyz p = PositionOf(sorted[i]);
      if (Near(p, startPos)) continue;
      closeRun(i);
      runStart = i;
      startPos = p;
    }
    closeRun(distinct);
  }
  const int merged = nV - runs;

  if (newToOld && !newToOld->Allocate(newToOld->count + static_cast<size_t>(nV - merged))) {
    ThrowMemoryException();
  }
  if (merged == 0) {
    if (newToOld) {
      for (int j = 0; j < nV; ++j) AppendIndex(newToOld, j);
    }
    return true;
  }

  // Every index remap points at is lower than the vertex's own (a duplicate's
  // first holder, a run's lowest index), so it already holds its new number
  // when the vertex is met.
  int next = 0;
  for (int j = 0; j < nV; ++j) {
    if (remap[j] == j) {
      if (newToOld) AppendIndex(newToOld, j);
      remap[j] = next++;
    } else {
      remap[j] = remap[remap[j]];
      vertices[j].flags |= kFlagDelete;
    }
  }

  if (relink) {
    for (size_t f = 0; f < facets.count; ++f) {
      if (!UpdateStat(static_cast<int>(f), 1500)) return false;
      CFacet& facet = facets[f];
      for (int k = 0; k < facet.count; ++k) facet.vert[k] = remap[facet.vert[k]];
    }
  }
  remap.Free();

  DelFlag(vertices, kFlagDelete, true);
  vertices.Allocate(vertices.count);
  return true;
}
