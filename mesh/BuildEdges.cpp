// Edge building: one CEdge per facet side that no earlier facet owns, each
// knowing the (at most two) facets on it, each facet side knowing its edge.
// The sides of one vertex pair take turns in facet order: the first makes an
// edge, the second joins it, the third makes a new one (and marks the full
// edge's facets red), and so on; a side from a vertex to itself always makes
// its own. Cost: one counting sort of the sides by their lower vertex, a sort
// of each vertex's few sides by the higher one, and one pass over the sides in
// facet order that numbers the edges; 8 bytes per side and 4 per vertex of
// working memory, the edge list allocated once at its final size.
#include <string.h>

#include <algorithm>

#include "mesh/Group.h"
#include "ui/InfoDlg.h"

namespace {

// A side is named by facet * 4 + corner (facets have at most four corners and
// fewer than 2^29 fit a host block). Until the numbering pass reaches a side,
// its facet's edge field holds what the side will do:
constexpr int32_t kMakeEdge = -1;  // make a new edge
// >= 0: join the edge of that earlier side;
// <= -2: make a new edge after marking the facets of the full edge of side
//        (-2 - value) red.
inline int32_t MakeAfterFull(uint32_t side) { return -2 - static_cast<int32_t>(side); }

inline int32_t& EdgeField(TVector<CFacet>& facets, uint32_t side) { return facets[side >> 2].edge[side & 3]; }

template <typename T>
void MakeVector(TVector<T>& vec, size_t n) {
  if (!vec.Allocate(n)) ThrowMemoryException();
  vec.SetCount(n);
}

// Writes each side's plan into its edge field; returns the number of edges
// the sides will make.
size_t PlanSides(TVector<CFacet>& facets, size_t vertexCount) {
  // start[v]: where the sides whose lower vertex is v begin in `sides`.
  TVector<uint32_t> start;
  MakeVector(start, vertexCount + 1);
  memset(start.items, 0, (vertexCount + 1) * sizeof(uint32_t));
  size_t made = 0;
  size_t paired = 0;
  for (size_t f = 0; f < facets.count; ++f) {
    CFacet& facet = facets[f];
    const int count = facet.count;
    if (count <= 2) continue;
    for (int k = 0; k < count; ++k) {
      const int a = facet.vert[k], b = facet.vert[(k + 1) % count];
      if (a == b) {
        facet.edge[k] = kMakeEdge;
        ++made;
        continue;
      }
      ++start[size_t(std::min(a, b)) + 1];
      ++paired;
    }
  }
  for (size_t v = 0; v < vertexCount; ++v) start[v + 1] += start[v];

  // Each entry: higher vertex << 32 | side; filled in side order, so sorting
  // a vertex's entries puts the sides of each pair together in facet order.
  TVector<uint64_t> sides;
  MakeVector(sides, paired);
  for (size_t f = 0; f < facets.count; ++f) {
    const CFacet& facet = facets[f];
    const int count = facet.count;
    if (count <= 2) continue;
    for (int k = 0; k < count; ++k) {
      const int a = facet.vert[k], b = facet.vert[(k + 1) % count];
      if (a == b) continue;
      const uint32_t side = static_cast<uint32_t>(f * 4 + size_t(k));
      sides[start[size_t(std::min(a, b))]++] = uint64_t(uint32_t(std::max(a, b))) << 32 | side;
    }
  }
  // start[v] is now the end of vertex v's entries.
  uint32_t begin = 0;
  for (size_t v = 0; v < vertexCount; ++v) {
    const uint32_t end = start[v];
    uint64_t* first = sides.items + begin;
    uint64_t* last = sides.items + end;
    if (end - begin > 1) std::sort(first, last);
    for (const uint64_t* e = first; e < last;) {
      const uint64_t pair = *e >> 32;
      uint32_t previous = 0;
      for (int turn = 0; e < last && (*e >> 32) == pair; ++e, ++turn) {
        const uint32_t side = static_cast<uint32_t>(*e);
        if (turn % 2 == 1) {
          EdgeField(facets, side) = static_cast<int32_t>(previous);
        } else {
          EdgeField(facets, side) = turn == 0 ? kMakeEdge : MakeAfterFull(previous);
          ++made;
        }
        previous = side;
      }
    }
    begin = end;
  }
  return made;
}

}  // namespace

bool CGroup::BuildEdges() {
  edges.Free();
  const size_t facetCount = facets.count;
  InfoDlg::SetIndicator(PascalString("Building edges"), static_cast<int>(facetCount), PascalString());

  const size_t made = PlanSides(facets, vertices.count);
  if (!edges.Allocate(made)) ThrowMemoryException();

  const uint32_t red = RedFacetColor();
  for (size_t i = 0; i < facetCount; ++i) {
    if (!UpdateStat(static_cast<int>(i), 500)) return false;
    CFacet& facet = facets[i];
    const int count = facet.count;
    if (count <= 2) continue;
    const int facetIndex = static_cast<int>(i);
    for (int k = 0; k < count; ++k) {
      const int32_t plan = facet.edge[k];
      if (plan >= 0) {
        const int32_t shared = EdgeField(facets, static_cast<uint32_t>(plan));
        facet.edge[k] = shared;
        edges[size_t(shared)].SetFac(facetIndex);
        continue;
      }
      if (plan != kMakeEdge) {
        // A third facet on one vertex pair: the two on the full edge are marked.
        const CEdge& full = edges[size_t(EdgeField(facets, static_cast<uint32_t>(-2 - plan)))];
        facets[size_t(full.fac[1])].color = red;
        facets[size_t(full.fac[0])].color = red;
      }
      const int edgeIndex = static_cast<int>(edges.count);
      edges.SetCount(edges.count + 1);
      CEdge& edge = edges[size_t(edgeIndex)];
      edge.flags = 0;
      edge.fac[0] = facetIndex;
      edge.fac[1] = -1;
      edge.SetVer(facet, k);
      facet.edge[k] = edgeIndex;
    }
  }
  return true;
}
