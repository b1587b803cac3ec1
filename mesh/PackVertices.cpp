// Vertex packing: merges vertices whose positions lie within 0.00001 per axis
// of the first (lowest) position of their run in lexicographic order, and
// renumbers the facets' corners to the survivors (lowest old index of a run).
// Cost: one hashing pass over the vertices folds exact duplicates (expected
// O(1) each, one cache miss: a slot holds its position's keys), one radix
// sort of the distinct positions by order-preserving integer keys, then
// linear passes over the runs, vertices and facet corners. Memory: 16 bytes
// per hash slot (at least one per 3 vertices, at most half of them used);
// the sort works inside the table: the distinct positions moved to its front
// half, its back half the sort's scratch. Until the table is gone, each
// vertex's link to another (its exact duplicate's first holder, its run's
// survivor) is kept in the vertex's own flags word, free while packing runs,
// so that the table is the only block taken beside the vertices and facets;
// only then does the old-to-new index, one per vertex, take the table's
// room. Every kept vertex leaves with flags 0 again.
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

// Equal positions (as CompVerPos sees them, NaN aside) give equal keys and so
// equal hashes.
inline uint64_t Hash(const uint32_t key[3]) {
  const uint64_t h = ((uint64_t(key[0]) << 32) | key[1]) * 0x9E3779B97F4A7C15ull ^ key[2] * 0xC2B2AE3D27D4EB4Full;
  return h ^ (h >> 29);
}

inline void KeysOf(const Fxyz& p, uint32_t key[3]) {
  key[0] = AxisKey(p.x);
  key[1] = AxisKey(p.y);
  key[2] = AxisKey(p.z);
}

// The exact positions met so far, each with the first (lowest) index that
// holds it: open addressing with linear probing over a power-of-two number of
// slots that doubles past half of them used. The slot holds the keys, so a
// lookup reads no vertex. Empty slots have vertex -1.
class CPositionTable {
 public:
  explicit CPositionTable(size_t expected) {
    size_t slots = 16;
    while (slots / 2 < expected) slots *= 2;
    Make(slots);
  }

  // The index holding the position with these keys, after recording vertex
  // as holding it if none did.
  int32_t Find(const uint32_t key[3], uint64_t hash, int32_t vertex) {
    for (size_t s = hash >> shift_;; s = (s + 1) & (slots_.count - 1)) {
      CDistinct& slot = slots_[s];
      if (slot.vertex < 0) {
        slot = CDistinct{{key[0], key[1], key[2]}, vertex};
        if (++used_ > limit_) Grow();
        return vertex;
      }
      if (slot.key[0] == key[0] && slot.key[1] == key[1] && slot.key[2] == key[2]) return slot.vertex;
    }
  }

  void Prefetch(uint64_t hash) const { __builtin_prefetch(slots_.items + (hash >> shift_)); }

  // Moves the entries to the front of the slots (the table is then no longer
  // searchable) and returns the storage with their number.
  TVector<CDistinct>& Compact(size_t* used) {
    size_t d = 0;
    for (size_t s = 0; s < slots_.count; ++s)
      if (slots_[s].vertex >= 0) slots_[d++] = slots_[s];
    *used = d;
    return slots_;
  }

 private:
  void Make(size_t slots) {
    MakeVector(slots_, slots);
    memset(static_cast<void*>(slots_.items), 0xFF, slots * sizeof(CDistinct));
    int bits = 0;
    while ((size_t(1) << bits) < slots) ++bits;
    shift_ = 64 - bits;
    limit_ = slots / 2;
  }

  void Grow() {
    TVector<CDistinct> old;
    old.items = slots_.items;
    old.count = slots_.count;
    old.capacity = slots_.capacity;
    slots_.items = nullptr;
    slots_.count = slots_.capacity = 0;
    Make(old.count * 2);
    for (size_t i = 0; i < old.count; ++i) {
      const CDistinct& entry = old[i];
      if (entry.vertex < 0) continue;
      size_t s = Hash(entry.key) >> shift_;
      while (slots_[s].vertex >= 0) s = (s + 1) & (slots_.count - 1);
      slots_[s] = entry;
    }
  }

  TVector<CDistinct> slots_;
  size_t used_ = 0;
  size_t limit_ = 0;
  int shift_ = 64;
};

// Vertex j's flags = the lowest index whose position equals vertex j's
// exactly (j itself for a position with a NaN, which equals nothing and is not
// in the table). *withNaN counts those. False when the user cancelled.
bool FoldDuplicates(TVector<CVertex>& vertices, CPositionTable& table, size_t* withNaN) {
  const size_t n = vertices.count;
  // The slot of a vertex is fetched this many vertices ahead: equal positions
  // lie far apart in vertex order in a shuffled soup, so most lookups would
  // otherwise wait for memory.
  constexpr size_t kAhead = 12;
  *withNaN = 0;
  for (size_t j = 0; j < n; ++j) {
    if (!UpdateStat(static_cast<int>(j), 1500)) return false;
    if (j + kAhead < n) {
      uint32_t ahead[3];
      KeysOf(vertices[j + kAhead].pos, ahead);
      table.Prefetch(Hash(ahead));
    }
    CVertex& vertex = vertices[j];
    if (HasNaN(vertex.pos)) {
      vertex.flags = static_cast<uint32_t>(j);
      ++*withNaN;
      continue;
    }
    uint32_t key[3];
    KeysOf(vertex.pos, key);
    vertex.flags = static_cast<uint32_t>(table.Find(key, Hash(key), static_cast<int32_t>(j)));
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

  // link(j), vertex j's flags: first the index of the first vertex at the
  // same exact position, then, for those first vertices, their run's
  // survivor's old index (the survivor's own is its index).
  auto link = [this](size_t j) -> uint32_t& { return vertices[j].flags; };
  int runs = 0;
  {
    // A soup of a closed triangle mesh repeats each corner about six times;
    // an indexed mesh grows the table as it goes.
    CPositionTable table(vertexCount / 6);
    size_t withNaN = 0;
    if (!FoldDuplicates(vertices, table, &withNaN)) return false;

    // The distinct positions in any order: equal keys (positions with a NaN)
    // each make a run of their own whatever their order, all others differ.
    size_t used = 0;
    TVector<CDistinct>& slots = table.Compact(&used);
    const size_t distinct = used + withNaN;
    // Room for the scratch in the table unless many positions have a NaN.
    TVector<CDistinct> own;
    CDistinct* sorted = slots.items;
    if (2 * distinct > slots.count) {
      MakeVector(own, 2 * distinct);
      memcpy(static_cast<void*>(own.items), slots.items, used * sizeof(CDistinct));
      slots.Free();
      sorted = own.items;
    }
    CDistinct* scratch = sorted + distinct;
    size_t d = used;
    for (size_t j = 0; j < vertexCount && withNaN > 0; ++j) {
      const Fxyz& p = vertices[j].pos;
      if (!HasNaN(p)) continue;
      sorted[d++] = CDistinct{{AxisKey(p.x), AxisKey(p.y), AxisKey(p.z)}, static_cast<int32_t>(j)};
    }
    RadixSort<3>(sorted, scratch, distinct, [](const CDistinct& e, int w) { return e.key[w]; });

    // A position always belongs to the run it starts, even when it has a NaN
    // and so is not near itself.
    size_t runStart = 0;
    Fxyz startPos = PositionOf(sorted[0]);
    auto closeRun = [&](size_t end) {
      int survivor = sorted[runStart].vertex;
      for (size_t c = runStart + 1; c < end; ++c) survivor = std::min(survivor, int(sorted[c].vertex));
      for (size_t c = runStart; c < end; ++c) link(size_t(sorted[c].vertex)) = uint32_t(survivor);
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
    for (size_t j = 0; j < vertexCount; ++j) link(j) = 0;
    if (newToOld) {
      for (int j = 0; j < nV; ++j) AppendIndex(newToOld, j);
    }
    return true;
  }

  // remap: old index -> new index. Every index a link points at is lower
  // than the vertex's own (a duplicate's first holder, a run's lowest index),
  // so it already holds its new number when the vertex is met.
  TVector<int> remap;
  MakeVector(remap, vertexCount);
  int next = 0;
  for (size_t j = 0; j < vertexCount; ++j) {
    const uint32_t to = link(j);
    if (to == j) {
      if (newToOld) AppendIndex(newToOld, static_cast<int>(j));
      remap[j] = next++;
    } else {
      remap[j] = remap[to];
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

  // Keep the survivors (linked to themselves) in order, flags cleared.
  size_t kept = 0;
  for (size_t j = 0; j < vertexCount; ++j) {
    if (link(j) != j) continue;
    vertices[kept] = CVertex{0, vertices[j].pos};
    ++kept;
  }
  vertices.SetCount(kept);
  vertices.Allocate(vertices.count);
  return true;
}
