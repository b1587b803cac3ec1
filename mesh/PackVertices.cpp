// Vertex packing: merges vertices whose positions lie within 0.00001 per axis
// of the first (lowest) position of their run in lexicographic order, and
// renumbers the facets' corners to the survivors (lowest old index of a run).
// Cost: one O(n log n) sort of the vertex pointers, small sorts per run, then
// linear passes over vertices and facet corners.
#include <math.h>

#include <algorithm>

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

struct PositionLess {
  bool operator()(const CVertex* a, const CVertex* b) const {
    return ComparePositions(a->pos, b->pos) < 0;
  }
};

// Differences in float against the double tolerance; a NaN is never near.
inline bool Near(const Fxyz& p, const Fxyz& q) {
  return fabsf(p.x - q.x) < kSamePointTolerance && fabsf(p.y - q.y) < kSamePointTolerance &&
         fabsf(p.z - q.z) < kSamePointTolerance;
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

bool CGroup::PackVertices(bool relink, TVector<int>* newToOld) {
  const size_t vertexCount = vertices.count;
  if (vertexCount == 0) return true;
  const int nV = static_cast<int>(vertexCount);
  InfoDlg::SetIndicator(PascalString("Linking vertices"), nV + static_cast<int>(facets.count),
                        PascalString());

  TVector<int> remap;
  MakeVector(remap, vertexCount);
  TVector<CVertex*> sorted;
  MakeVector(sorted, vertexCount);
  CVertex* base = vertices.items;
  for (size_t i = 0; i < vertexCount; ++i) sorted[i] = base + i;
  std::sort(sorted.items, sorted.items + vertexCount, PositionLess());

  // A vertex always belongs to the run it starts, even when its position is
  // NaN and so not near itself: every run has at least one vertex.
  int runStart = 0;
  int merged = 0;
  for (int i = 0; i < nV; ++i) {
    if (!UpdateStat(i, 1500)) return false;
    if (i == runStart || Near(sorted[i]->pos, sorted[runStart]->pos)) continue;
    SortRange(sorted.items, base, remap, runStart, i);
    merged += i - runStart - 1;
    runStart = i;
  }
  SortRange(sorted.items, base, remap, runStart, nV);
  merged += nV - runStart - 1;

  if (newToOld && !newToOld->Allocate(newToOld->count + static_cast<size_t>(nV - merged))) {
    ThrowMemoryException();
  }
  if (merged == 0) {
    if (newToOld) {
      for (int j = 0; j < nV; ++j) AppendIndex(newToOld, j);
    }
    return true;
  }

  // A survivor has the lowest old index of its run, so its new number is
  // known before any vertex merged into it is met.
  int next = 0;
  for (int j = 0; j < nV; ++j) {
    if (remap[j] == j) {
      if (newToOld) AppendIndex(newToOld, j);
      remap[j] = next++;
    } else {
      remap[j] = remap[remap[j]];
    }
  }

  if (relink) {
    for (size_t f = 0; f < facets.count; ++f) {
      if (!UpdateStat(static_cast<int>(f), 1500)) return false;
      CFacet& facet = facets[f];
      for (int k = 0; k < facet.count; ++k) facet.vert[k] = remap[facet.vert[k]];
    }
  }

  DelFlag(vertices, kFlagDelete, true);
  vertices.Allocate(vertices.count);
  return true;
}
