// Edge building: one CEdge per facet side that no earlier facet owns, each
// knowing the (at most two) facets on it, each facet side knowing its edge.
// From the facets' corners, through per-vertex adjacency lists of links drawn
// from a chunk pool. Cost: one pass over the sides, each scanning the links of
// one vertex (its degree); no sorting, all links freed at once.
#include <string.h>

#include "mesh/Group.h"
#include "ui/InfoDlg.h"

namespace {

CEdgeLink* NewLink(CChunkList<CEdgeLink>& pool) {
  CEdgeLink* link = pool.Alloc();
  if (!link) ThrowMemoryException();
  return link;
}

}  // namespace

bool CGroup::BuildEdges() {
  edges.Free();
  const size_t facetCount = facets.count;
  InfoDlg::SetIndicator(PascalString("Building edges"), static_cast<int>(facetCount), PascalString());

  const size_t vertexCount = vertices.count;
  // A group without vertices has no facet with corners to link, so the pool is
  // never drawn from then; its chunk size only has to be valid.
  CChunkList<CEdgeLink> pool(vertexCount > 0 ? static_cast<uint32_t>(vertexCount) : 1);
  TVector<CEdgeLink*> heads;
  if (!heads.Allocate(vertexCount)) ThrowMemoryException();
  heads.SetCount(vertexCount);
  if (vertexCount) memset(static_cast<void*>(heads.items), 0, vertexCount * sizeof(CEdgeLink*));

  const uint32_t red = RedFacetColor();
  for (size_t i = 0; i < facetCount; ++i) {
    if (!UpdateStat(static_cast<int>(i), 500)) return false;
    CFacet& facet = facets[i];
    const int count = facet.count;
    if (count <= 2) continue;
    const int facetIndex = static_cast<int>(i);
    for (int k = 0; k < count; ++k) {
      const int a = facet.vert[k];
      const int b = facet.vert[(k + 1 + count) % count];

      // Unmatched until the end of this side: a side from a vertex to itself
      // finds this very link below and so gets an edge of its own.
      CEdgeLink* side = NewLink(pool);
      side->edge = -1;
      side->ver = b;
      side->next = heads[a];
      heads[a] = side;

      CEdgeLink* match = heads[b];
      while (match && match->ver != a) match = match->next;
      if (match && match->edge >= 0) {
        CEdge& shared = edges[match->edge];
        if (shared.fac[1] < 0) {
          facet.edge[k] = match->edge;
          side->edge = match->edge;
          shared.SetFac(facetIndex);
          continue;
        }
        // A third facet on one vertex pair: it gets a new edge, and the two
        // facets that share the full one are marked.
        facets[shared.fac[1]].color = red;
        facets[shared.fac[0]].color = red;
      }

      CEdge* edge = edges.ElemNew();
      if (!edge) ThrowMemoryException();
      const int edgeIndex = static_cast<int>(edges.count - 1);
      edge->flags = 0;
      edge->fac[0] = edge->fac[1] = -1;
      edge->SetVer(facet, k);
      edge->SetFac(facetIndex);

      CEdgeLink* back = NewLink(pool);
      back->edge = edgeIndex;
      back->ver = a;
      back->next = heads[b];
      heads[b] = back;

      facet.edge[k] = edgeIndex;
      side->edge = edgeIndex;
    }
  }
  edges.Allocate(edges.count);
  return true;
}
