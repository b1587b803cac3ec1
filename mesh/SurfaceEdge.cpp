// Surface edge tracing: the open edges (used by one facet) joined end to end
// into chains, from the edges and facets of a complete edge build. The open
// edges are sorted once by (lower end, higher end); each continuation is
// searched in a window around the current entry. Cost: O(e log e) for the
// sort plus the windows; taken entries are skipped in amortised O(1).
#include <algorithm>

#include "mesh/Group.h"
#include "ui/InfoDlg.h"

namespace {

// Ties (two open edges on one vertex pair) are ordered by address, that is by
// edge number, so that the chains do not depend on the sort's whims.
struct EdgeLess {
  bool operator()(const CEdge* a, const CEdge* b) const {
    const int c = a->Compare(*b);
    return c != 0 ? c < 0 : a < b;
  }
};

// Live entries of the open list found by a linear walk over null slots.
struct CScanLive {
  const TVector<CEdge*>& open;
  int NextAtOrAfter(int j) const {
    const int n = static_cast<int>(open.count);
    while (j < n && !open[j]) ++j;
    return j;
  }
  int PrevAtOrBefore(int j) const {
    while (j >= 0 && !open[j]) --j;
    return j;
  }
};

// The same answers in amortised constant time: two disjoint-set forests over
// the entries, each taken entry pointing at its neighbour (path halving).
// Without them, every search would walk over all entries taken so far.
class CSkipLive {
 public:
  explicit CSkipLive(size_t n) {
    if (!next_.Allocate(n + 1) || !prev_.Allocate(n + 1)) ThrowMemoryException();
    next_.SetCount(n + 1);
    prev_.SetCount(n + 1);
    for (size_t x = 0; x <= n; ++x) next_[x] = prev_[x] = static_cast<int>(x);
  }
  // Least live index >= j, or n.
  int NextAtOrAfter(int j) {
    int x = j;
    while (next_[x] != x) {
      next_[x] = next_[next_[x]];
      x = next_[x];
    }
    return x;
  }
  // Greatest live index <= j, or -1 (prev_ is shifted by one for the -1 root).
  int PrevAtOrBefore(int j) {
    int x = j + 1;
    while (prev_[x] != x) {
      prev_[x] = prev_[prev_[x]];
      x = prev_[x];
    }
    return x - 1;
  }
  void Take(int j) {
    next_[j] = j + 1;
    prev_[j + 1] = j;
  }

 private:
  TVector<int> next_;
  TVector<int> prev_;
};

inline bool Touches(const CEdge* e, int v) { return e->ver[0] == v || e->ver[1] == v; }
inline bool OnFacet(const CEdge* e, int fac) { return e->fac[0] == fac || e->fac[1] == fac; }

template <typename Live>
int FindContinuation(const TVector<CEdge*>& open, int pos, int v, int& fac, Live& live) {
  const int n = static_cast<int>(open.count);
  int result = -1;
  for (int j = live.NextAtOrAfter(pos + 1); j < n; j = live.NextAtOrAfter(j + 1)) {
    const CEdge* e = open[j];
    if (e->ver[0] > v && e->ver[1] > v) break;
    if (!Touches(e, v)) continue;
    if (OnFacet(e, fac)) return j;
    result = j;
  }
  // Stops at the first entry wholly below v, although an earlier entry with a
  // lower first end may still reach v: such a rim comes out as two chains.
  // Stored selection lists count chains in exactly this order, so it stays.
  for (int j = live.PrevAtOrBefore(pos - 1); j >= 0; j = live.PrevAtOrBefore(j - 1)) {
    const CEdge* e = open[j];
    if (e->ver[0] < v && e->ver[1] < v) break;
    if (!Touches(e, v)) continue;
    if (OnFacet(e, fac)) return j;
    result = j;
  }
  if (result >= 0) fac = open[result]->fac[0];
  return result;
}

CEdgeLink* NewLink(CChunkList<CEdgeLink>& pool, int edge) {
  CEdgeLink* link = pool.Alloc();
  if (!link) ThrowMemoryException();
  link->edge = edge;
  link->next = nullptr;
  link->ver = 0;
  return link;
}

inline int OtherEnd(const CEdge* e, int v) { return e->ver[0] == v ? e->ver[1] : e->ver[0]; }

}  // namespace

int CompEdgeVer(const void* a, const void* b) {
  const CEdge* ea = *static_cast<const CEdge* const*>(a);
  const CEdge* eb = *static_cast<const CEdge* const*>(b);
  return ea->Compare(*eb);
}

int LookSecond(const TVector<CEdge*>& open, int pos, int v, int& fac) {
  CScanLive live{open};
  return FindContinuation(open, pos, v, fac, live);
}

int CGroup::GetSurfEdge(TVector<CEdge*>& out) const {
  out.Free();
  InfoDlg::SetIndicator(PascalString("Looking for surface edge"), static_cast<int>(facets.count),
                        PascalString());

  // The chains point into the group's own edges; the caller may read them
  // through those pointers while the group is not rebuilt.
  CEdge* const edgeBase = const_cast<CEdge*>(edges.items);
  TVector<CEdge*> open;
  for (size_t f = 0; f < facets.count; ++f) {
    const CFacet& facet = facets[f];
    if (facet.count < 3) continue;
    for (int k = 0; k < facet.count; ++k) {
      const int index = facet.edge[k];
      if (index < 0 || static_cast<size_t>(index) >= edges.count) continue;
      const CEdge& e = edges[index];
      const int other = e.fac[0] == static_cast<int>(f) ? e.fac[1] : e.fac[0];
      if (other >= 0) continue;
      CEdge** slot = open.ElemNew();
      if (!slot) ThrowMemoryException();
      *slot = edgeBase + index;
    }
  }
  if (open.count == 0) return 0;
  std::sort(open.items, open.items + open.count, EdgeLess());

  const int n = static_cast<int>(open.count);
  CSkipLive live(open.count);
  CChunkList<CEdgeLink> pool(4096);
  int chains = 0;
  for (int cur = live.NextAtOrAfter(0); cur < n; cur = live.NextAtOrAfter(cur + 1)) {
    if (!InfoDlg::Update(1)) return -1;

    const CEdge* start = open[cur];
    int a = start->ver[0];
    int b = start->ver[1];
    int fac = start->fac[0];
    CEdgeLink* head = NewLink(pool, static_cast<int>(start - edgeBase));
    CEdgeLink* tail = head;
    open[cur] = nullptr;
    live.Take(cur);

    for (int pos = cur, j; (j = FindContinuation(open, pos, b, fac, live)) >= 0; pos = j) {
      const CEdge* e = open[j];
      tail->next = NewLink(pool, static_cast<int>(e - edgeBase));
      tail = tail->next;
      b = OtherEnd(e, b);
      open[j] = nullptr;
      live.Take(j);
    }
    for (int pos = cur, j; (j = FindContinuation(open, pos, a, fac, live)) >= 0; pos = j) {
      const CEdge* e = open[j];
      CEdgeLink* link = NewLink(pool, static_cast<int>(e - edgeBase));
      link->next = head;
      head = link;
      a = OtherEnd(e, a);
      open[j] = nullptr;
      live.Take(j);
    }

    for (const CEdgeLink* link = head; link; link = link->next) {
      CEdge** slot = out.ElemNew();
      if (!slot) ThrowMemoryException();
      *slot = edgeBase + link->edge;
    }
    ++chains;
  }
  return chains;
}
