// Surface edge tracing: the open edges (used by one facet) joined end to end
// into chains, from the edges and facets of a complete edge build. The open
// edges are radix-sorted once by (lower end, higher end, edge number); each
// continuation is searched in a window around the current entry, skipping
// taken entries in amortised O(1). Cost: linear passes plus the windows;
// 32 bytes of working memory per open edge at most.
#include <algorithm>

#include "base/RadixSort.h"
#include "mesh/Group.h"
#include "ui/InfoDlg.h"

namespace {

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

// The sorted open list as the search sees it: per entry its lower and higher
// end and its edge. Two forms: LookSecond's edge pointers (null = taken) and
// the tracer's compact entries.
struct CPointerList {
  const TVector<CEdge*>& open;
  int Count() const { return static_cast<int>(open.count); }
  int Lo(int j) const { return std::min(open[j]->ver[0], open[j]->ver[1]); }
  int Hi(int j) const { return std::max(open[j]->ver[0], open[j]->ver[1]); }
  const CEdge& Edge(int j) const { return *open[j]; }
};

struct COpenEdge {
  int32_t lo, hi;  // the edge's ends, lower first (vertex indices are not negative)
  int32_t edge;    // index in the group's edges
};

struct COpenList {
  const TVector<COpenEdge>& open;
  const TVector<CEdge>& edges;
  int Count() const { return static_cast<int>(open.count); }
  int Lo(int j) const { return open[j].lo; }
  int Hi(int j) const { return open[j].hi; }
  const CEdge& Edge(int j) const { return edges[size_t(open[j].edge)]; }
};

inline bool OnFacet(const CEdge& e, int fac) { return e.fac[0] == fac || e.fac[1] == fac; }

template <typename List, typename Live>
int FindContinuation(const List& list, int pos, int v, int& fac, Live& live) {
  const int n = list.Count();
  int result = -1;
  for (int j = live.NextAtOrAfter(pos + 1); j < n; j = live.NextAtOrAfter(j + 1)) {
    if (list.Lo(j) > v) break;
    if (list.Lo(j) != v && list.Hi(j) != v) continue;
    if (OnFacet(list.Edge(j), fac)) return j;
    result = j;
  }
  // Stops at the first entry wholly below v, although an earlier entry with a
  // lower first end may still reach v: such a rim comes out as two chains.
  // Stored selection lists count chains in exactly this order, so it stays.
  for (int j = live.PrevAtOrBefore(pos - 1); j >= 0; j = live.PrevAtOrBefore(j - 1)) {
    if (list.Hi(j) < v) break;
    if (list.Lo(j) != v && list.Hi(j) != v) continue;
    if (OnFacet(list.Edge(j), fac)) return j;
    result = j;
  }
  if (result >= 0) fac = list.Edge(result).fac[0];
  return result;
}

// The end of an open edge that is not v. REQUIRES: v is one of its ends.
inline int OtherEnd(const COpenEdge& e, int v) { return e.lo == v ? e.hi : e.lo; }

void AppendEdge(TVector<int32_t>& chain, int32_t edge) {
  int32_t* slot = chain.ElemNew();
  if (!slot) ThrowMemoryException();
  *slot = edge;
}

}  // namespace

int CompEdgeVer(const void* a, const void* b) {
  const CEdge* ea = *static_cast<const CEdge* const*>(a);
  const CEdge* eb = *static_cast<const CEdge* const*>(b);
  return ea->Compare(*eb);
}

int LookSecond(const TVector<CEdge*>& open, int pos, int v, int& fac) {
  CScanLive live{open};
  return FindContinuation(CPointerList{open}, pos, v, fac, live);
}

int CGroup::GetSurfEdge(TVector<CEdge*>& out) const {
  out.Free();
  InfoDlg::SetIndicator(PascalString("Looking for surface edge"), static_cast<int>(facets.count),
                        PascalString());

  // An open edge is met once, from its only facet, at the side that made it,
  // and no other side names it (a second side would have joined it). So the
  // facets' sides, walked in order, meet exactly the edges with no second
  // facet, in increasing number: the edge list is walked instead, in memory
  // order, and the stable sort orders ties (self-sides on one vertex) by
  // edge number.
  size_t n = 0;
  for (size_t e = 0; e < edges.count; ++e) n += edges[e].fac[1] < 0;
  if (n == 0) return 0;
  TVector<COpenEdge> open;
  if (!open.Allocate(n)) ThrowMemoryException();
  for (size_t e = 0; e < edges.count; ++e) {
    const CEdge& edge = edges[e];
    if (edge.fac[1] >= 0) continue;
    open[open.count++] = COpenEdge{std::min(edge.ver[0], edge.ver[1]), std::max(edge.ver[0], edge.ver[1]),
                                   static_cast<int32_t>(e)};
  }
  {
    TVector<COpenEdge> scratch;
    if (!scratch.Allocate(n)) ThrowMemoryException();
    RadixSort<2>(open.items, scratch.items, n, [](const COpenEdge& e, int w) {
      return static_cast<uint32_t>(w == 0 ? e.lo : e.hi);
    });
  }
  if (!out.Allocate(n)) ThrowMemoryException();

  // The chains point into the group's own edges; the caller may read them
  // through those pointers while the group is not rebuilt.
  CEdge* const edgeBase = const_cast<CEdge*>(edges.items);
  const COpenList list{open, edges};
  CSkipLive live(n);
  // One chain: the edges found backward (from its start's first end), in the
  // order found, and those found forward.
  TVector<int32_t> backward, forward;
  const int count = static_cast<int>(n);
  int chains = 0;
  for (int cur = live.NextAtOrAfter(0); cur < count; cur = live.NextAtOrAfter(cur + 1)) {
    if (!InfoDlg::Update(1)) return -1;

    const COpenEdge& start = open[cur];
    const CEdge& startEdge = edges[size_t(start.edge)];
    int a = startEdge.ver[0];
    int b = startEdge.ver[1];
    int fac = startEdge.fac[0];
    live.Take(cur);
    backward.SetCount(0);
    forward.SetCount(0);

    for (int pos = cur, j; (j = FindContinuation(list, pos, b, fac, live)) >= 0; pos = j) {
      AppendEdge(forward, open[j].edge);
      b = OtherEnd(open[j], b);
      live.Take(j);
    }
    for (int pos = cur, j; (j = FindContinuation(list, pos, a, fac, live)) >= 0; pos = j) {
      AppendEdge(backward, open[j].edge);
      a = OtherEnd(open[j], a);
      live.Take(j);
    }

    for (size_t i = backward.count; i > 0; --i) out[out.count++] = edgeBase + backward[i - 1];
    out[out.count++] = edgeBase + start.edge;
    for (size_t i = 0; i < forward.count; ++i) out[out.count++] = edgeBase + forward[i];
    ++chains;
  }
  return chains;
}
