// Surface edge tracing: the open edges (used by one facet) joined end to end
// into chains, from the edges and facets of a complete edge build. The open
// edges are ordered once by (lower end, higher end, edge number): a counting
// sort by lower end, then each vertex's few entries by the rest. A
// continuation search gives the answer of a scan outward from the current
// entry (forward until an entry wholly above the vertex, backward until one
// wholly below it), from an index instead of the scan: the entries ending at
// the vertex are a run of the sorted list (lower end) and a run of a second
// order by higher end, both located through per-vertex offsets; the backward
// stop is the last live entry before the current one whose higher end is
// below the vertex, found in a min-tree. Cost: O(n log n) plus the ends'
// degrees; working memory 17 bytes per open edge and 8 to 16 for the tree,
// besides the chain being built, and 8 per vertex up to the highest open end.
#include <algorithm>
#include <cstdint>
#include <cstring>

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

// The sorted open list as the search sees it: per entry its lower and higher
// end and its edge: LookSecond's edge pointers (null = taken).
struct CPointerList {
  const TVector<CEdge*>& open;
  int Count() const { return static_cast<int>(open.count); }
  int Lo(int j) const { return std::min(open[j]->ver[0], open[j]->ver[1]); }
  int Hi(int j) const { return std::max(open[j]->ver[0], open[j]->ver[1]); }
  const CEdge& Edge(int j) const { return *open[j]; }
};

inline bool OnFacet(const CEdge& e, int fac) { return e.fac[0] == fac || e.fac[1] == fac; }

// The continuation of a chain at vertex v from entry pos: the first live
// entry with end v on facet fac scanning forward, then scanning backward;
// else the last one met (fac becomes its first facet); -1 when none.
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

struct COpenEdge {
  int32_t lo, hi;  // the edge's ends, lower first (vertex indices are not negative)
  int32_t edge;    // index in the group's edges
};

// The end of an open edge that is not v. REQUIRES: v is one of its ends.
inline int OtherEnd(const COpenEdge& e, int v) { return e.lo == v ? e.hi : e.lo; }

// The sorted open list with what the continuation search needs to answer as
// the two scans do without walking them:
//  - the entries with lower end v: the run [loFirst[v], loFirst[v + 1]) of
//    the list (the offsets of the sort);
//  - those with higher end v and a lower other end: the run
//    [hiFirst_[v], hiFirst_[v + 1]) of byHi_, the entries ordered by (higher
//    end, position) by a counting sort;
//  - the backward stop: a min-tree of the entries' higher ends (taken and
//    padding leaves hold kTaken), so the last live entry before pos with a
//    higher end below v is found in O(log n).
// Every live entry with end v after pos is in the forward window (its lower
// end is at most v, and the list is ordered by lower end), so only the
// backward window needs a bound.
//
// Chains start at the lowest live entry, so when one starts at `first` every
// entry before it is taken and stays so. Its leaf is therefore not cleared:
// a stop the tree then finds at or before `first` lies below every live
// candidate, exactly as no stop at all does, and the tree is spared the climb
// that clearing the lowest leaves costs (they hold most subtrees' minima).
class COpenIndex {
 public:
  COpenIndex(const TVector<COpenEdge>& open, const TVector<int32_t>& loFirst, const TVector<CEdge>& edges)
      : open_(open), loFirst_(loFirst), edges_(edges) {
    const size_t n = open.count;
    const size_t vertices = loFirst.count - 1;
    if (!hiFirst_.Allocate(vertices + 1)) ThrowMemoryException();
    hiFirst_.SetCount(vertices + 1);
    // Counting sort by higher end, self-sides left out (they are in their
    // lower end's run): hiFirst_[v + 1] counts, then offsets, then cursors.
    for (size_t v = 0; v <= vertices; ++v) hiFirst_[v] = 0;
    size_t m = 0;
    for (size_t k = 0; k < n; ++k) {
      if (open[k].lo == open[k].hi) continue;
      ++hiFirst_[size_t(open[k].hi) + 1];
      ++m;
    }
    for (size_t v = 1; v <= vertices; ++v) hiFirst_[v] += hiFirst_[v - 1];
    if (!byHi_.Allocate(m)) ThrowMemoryException();
    byHi_.SetCount(m);
    for (size_t k = 0; k < n; ++k) {
      if (open[k].lo == open[k].hi) continue;
      byHi_[size_t(hiFirst_[size_t(open[k].hi)]++)] = static_cast<int32_t>(k);
    }
    // Each cursor now stands at the next vertex's offset: shift back.
    for (size_t v = vertices; v > 0; --v) hiFirst_[v] = hiFirst_[v - 1];
    hiFirst_[0] = 0;
    if (!taken_.Allocate(n)) ThrowMemoryException();
    taken_.SetCount(n);
    memset(taken_.items, 0, n);
    leaves_ = 1;
    while (leaves_ < n) leaves_ *= 2;
    if (!tree_.Allocate(2 * leaves_)) ThrowMemoryException();
    tree_.SetCount(2 * leaves_);
    for (size_t x = 0; x < leaves_; ++x) tree_[leaves_ + x] = x < n ? open[x].hi : kTaken;
    for (size_t x = leaves_ - 1; x > 0; --x) tree_[x] = std::min(tree_[2 * x], tree_[2 * x + 1]);
    tree_[0] = kTaken;
  }

  bool Live(int j) const { return !taken_[size_t(j)]; }

  // Takes the lowest live entry, where a chain starts (see above).
  void TakeFirst(int j) { taken_[size_t(j)] = 1; }

  void Take(int j) {
    taken_[size_t(j)] = 1;
    size_t x = leaves_ + size_t(j);
    tree_[x] = kTaken;
    // Up to the first node whose minimum stays (its ancestors' stay too).
    for (x /= 2; x > 0; x /= 2) {
      const int32_t least = std::min(tree_[2 * x], tree_[2 * x + 1]);
      if (least == tree_[x]) break;
      tree_[x] = least;
    }
  }

  // What FindContinuation answers over the same list and live entries.
  int Find(int pos, int v, int& fac) const {
    const int kNone = -1;
    int fwdOnFac = kNone, fwdLast = kNone;  // least on fac / greatest after pos
    int bwdOnFac = kNone, bwdLast = kNone;  // greatest on fac / least before pos
    int stop = kNone - 1;                   // the backward bound, found when first needed
    auto consider = [&](int j) {
      if (j == pos || !Live(j)) return;
      const bool onFac = OnFacet(edges_[size_t(open_[size_t(j)].edge)], fac);
      if (j > pos) {
        if (onFac && (fwdOnFac == kNone || j < fwdOnFac)) fwdOnFac = j;
        if (j > fwdLast) fwdLast = j;
        return;
      }
      if (stop == kNone - 1) stop = LastBelow(pos, v);
      if (j <= stop) return;
      if (onFac && j > bwdOnFac) bwdOnFac = j;
      if (bwdLast == kNone || j < bwdLast) bwdLast = j;
    };
    for (int j = loFirst_[size_t(v)]; j < loFirst_[size_t(v) + 1]; ++j) consider(j);
    for (int k = hiFirst_[size_t(v)]; k < hiFirst_[size_t(v) + 1]; ++k) consider(byHi_[size_t(k)]);

    if (fwdOnFac != kNone) return fwdOnFac;
    if (bwdOnFac != kNone) return bwdOnFac;
    const int result = bwdLast != kNone ? bwdLast : fwdLast;
    if (result != kNone) fac = edges_[size_t(open_[size_t(result)].edge)].fac[0];
    return result;
  }

 private:
  static constexpr int32_t kTaken = INT32_MAX;

  // The greatest live j < pos whose higher end is below v, or -1; or an
  // index at or before the current chain's first entry (see above).
  int LastBelow(int pos, int v) const {
    if (pos <= 0) return -1;
    size_t x = leaves_ + size_t(pos - 1);
    if (tree_[x] >= v) {
      // Climb until a left sibling (entries just before those seen) holds one.
      for (;;) {
        if (x == 1) return -1;
        if ((x & 1) && tree_[x - 1] < v) {
          --x;
          break;
        }
        x /= 2;
      }
      // The rightmost leaf below v under x.
      while (x < leaves_) {
        x = 2 * x + 1;
        if (tree_[x] >= v) --x;
      }
    }
    return static_cast<int>(x - leaves_);
  }

  const TVector<COpenEdge>& open_;
  const TVector<int32_t>& loFirst_;
  const TVector<CEdge>& edges_;
  TVector<int32_t> hiFirst_;
  TVector<int32_t> byHi_;
  TVector<int32_t> tree_;
  TVector<uint8_t> taken_;
  size_t leaves_ = 1;
};

inline bool OpenBefore(const COpenEdge& a, const COpenEdge& b) {
  return a.hi != b.hi ? a.hi < b.hi : a.edge < b.edge;
}

// The open edges (fac[1] negative) ordered by (lower end, higher end, edge
// number), into open; loFirst[v] = where the entries with lower end v begin,
// for v = 0 .. highest end + 1. Returns the number of open edges.
size_t SortOpenEdges(const TVector<CEdge>& edges, TVector<COpenEdge>& open, TVector<int32_t>& loFirst) {
  size_t n = 0;
  int32_t top = 0;
  for (size_t e = 0; e < edges.count; ++e) {
    if (edges[e].fac[1] >= 0) continue;
    ++n;
    top = std::max(top, std::max(edges[e].ver[0], edges[e].ver[1]));
  }
  if (n == 0) return 0;
  const size_t vertices = size_t(top) + 1;
  if (!loFirst.Allocate(vertices + 1)) ThrowMemoryException();
  loFirst.SetCount(vertices + 1);
  memset(loFirst.items, 0, (vertices + 1) * sizeof(int32_t));
  for (size_t e = 0; e < edges.count; ++e) {
    if (edges[e].fac[1] < 0) ++loFirst[size_t(std::min(edges[e].ver[0], edges[e].ver[1])) + 1];
  }
  for (size_t v = 1; v <= vertices; ++v) loFirst[v] += loFirst[v - 1];

  if (!open.Allocate(n)) ThrowMemoryException();
  open.SetCount(n);
  // Scattered in edge order, so each vertex's run lists its entries by edge
  // number; loFirst[v] serves as the cursor of run v and ends at run v + 1.
  for (size_t e = 0; e < edges.count; ++e) {
    const CEdge& edge = edges[e];
    if (edge.fac[1] >= 0) continue;
    const int32_t lo = std::min(edge.ver[0], edge.ver[1]);
    open[size_t(loFirst[size_t(lo)]++)] = COpenEdge{lo, std::max(edge.ver[0], edge.ver[1]), static_cast<int32_t>(e)};
  }
  for (size_t v = vertices; v > 0; --v) loFirst[v] = loFirst[v - 1];
  loFirst[0] = 0;

  // Each run by (higher end, edge number): mostly one to three entries.
  for (size_t v = 0; v < vertices; ++v) {
    COpenEdge* first = open.items + loFirst[v];
    COpenEdge* last = open.items + loFirst[v + 1];
    if (last - first > 16) {
      std::sort(first, last, OpenBefore);
      continue;
    }
    for (COpenEdge* i = first + 1; i < last; ++i) {
      const COpenEdge moving = *i;
      COpenEdge* j = i;
      for (; j > first && OpenBefore(moving, j[-1]); --j) *j = j[-1];
      *j = moving;
    }
  }
  return n;
}

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
  // order, and ties of the sort (self-sides on one vertex) go by edge number.
  TVector<COpenEdge> open;
  TVector<int32_t> loFirst;
  const size_t n = SortOpenEdges(edges, open, loFirst);
  if (n == 0) return 0;
  if (!out.Allocate(n)) ThrowMemoryException();

  // The chains point into the group's own edges; the caller may read them
  // through those pointers while the group is not rebuilt.
  CEdge* const edgeBase = const_cast<CEdge*>(edges.items);
  COpenIndex index(open, loFirst, edges);
  // One chain: the edges found backward (from its start's first end), in the
  // order found, and those found forward.
  TVector<int32_t> backward, forward;
  const int count = static_cast<int>(n);
  int chains = 0;
  for (int cur = 0; cur < count; ++cur) {
    if (!index.Live(cur)) continue;
    if (!InfoDlg::Update(1)) return -1;

    const COpenEdge& start = open[cur];
    const CEdge& startEdge = edges[size_t(start.edge)];
    int a = startEdge.ver[0];
    int b = startEdge.ver[1];
    int fac = startEdge.fac[0];
    index.TakeFirst(cur);
    backward.SetCount(0);
    forward.SetCount(0);

    for (int pos = cur, j; (j = index.Find(pos, b, fac)) >= 0; pos = j) {
      AppendEdge(forward, open[j].edge);
      b = OtherEnd(open[j], b);
      index.Take(j);
    }
    for (int pos = cur, j; (j = index.Find(pos, a, fac)) >= 0; pos = j) {
      AppendEdge(backward, open[j].edge);
      a = OtherEnd(open[j], a);
      index.Take(j);
    }

    for (size_t i = backward.count; i > 0; --i) out[out.count++] = edgeBase + backward[i - 1];
    out[out.count++] = edgeBase + start.edge;
    for (size_t i = 0; i < forward.count; ++i) out[out.count++] = edgeBase + forward[i];
    ++chains;
  }
  return chains;
}
