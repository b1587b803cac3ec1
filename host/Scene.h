// What the host holds for the module: the model setup, the child groups it
// describes, the geometry each group receives, and the animation channels.
#ifndef TRESSEL_HOST_SCENE_H
#define TRESSEL_HOST_SCENE_H

#include <stddef.h>
#include <stdint.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/BlockList.h"
#include "plugin/HostRecords.h"

namespace host {

// Group attribute bits of a 'GETG' reply.
constexpr uint32_t kGroupHasColor = 0x80000000u;
constexpr uint32_t kGroupHasVectorA = 0x40000000u;
constexpr uint32_t kGroupHasUV = 0x20000000u;
constexpr uint32_t kGroupHasVectorB = 0x10000000u;
constexpr uint32_t kGroupHasAll = kGroupHasColor | kGroupHasVectorA | kGroupHasUV | kGroupHasVectorB;

struct CVec3 {
  double x = 0, y = 0, z = 0;
};

// The six setup matrices (row-major 4x4, points are row vectors) and the time
// that channel records carry. Every matrix starts as identity.
struct CModelSetup {
  CModelSetup();
  void SetIdentity(int matrix);
  int32_t setupTime = 0;
  double matrices[6][16];
};

// Colours are bytes A, R, G, B in memory order, held here as that 32-bit word.
struct CHostVertex {
  uint32_t color = 0xFFFFFFFFu;
  CVec3 vectorA;
  CVec3 position;
  CVec3 vectorB;
  CVec3 uvw;
};

// A facet as the host reports it: `count` corners, 1-based vertex numbers.
// Deliberately hostile facets (count outside 1..4, corners out of range) are
// allowed: the host sends them as they are.
struct CHostFacet {
  uint32_t color = 0xFFFFFFFFu;
  int16_t count = 0;
  int32_t corners[4] = {0, 0, 0, 0};
};
CHostFacet Facet(std::initializer_list<int32_t> corners, uint32_t color = 0xFFFFFFFFu);

// A generated segment as received through 'ADDF' (always two corners; the
// host checks that). The ends are 0-based positions in the group's received
// vertices, -1 for a vertex a nested command's 'DELG' dropped since.
struct CReceivedFacet {
  static constexpr int16_t corners = 2;  // 'ADDF' refuses any other count
  uint32_t color = 0;
  int32_t first = -1;
  int32_t second = -1;
};

// A generated vertex as received through 'ADDV', and the index the host
// answered.
struct CReceivedVertex {
  CHostVertex vertex;
  int32_t hostIndex = 0;
};

// The vertices a group received, held compactly. A module sends
// single-precision values widened to double, its vectorB is its position under
// identity setup matrices, and uvw's v and w are zero: such a vertex is stored
// as its position and u in 16 bytes of floats and reads back bit for bit. Its
// vectorA and colour, which change seldom along a wire (a ring's corners share
// one normal), and its host index, which counts up, are kept as runs: an entry
// only where the value changes. Any other vertex is kept in full beside its
// compact entry. Adding is constant time and never moves stored vertices;
// Position and U are constant time while no vertex is kept in full (else
// O(log full)); HostIndex and operator[] search the runs, O(1) for the latest
// run and O(log runs) otherwise.
class CReceivedVertices {
 public:
  size_t size() const { return mPoints.size(); }
  bool empty() const { return mPoints.empty(); }
  // REQUIRES: size() < 2^32 (host indices are 32-bit, so a host never gets there).
  void Add(const CHostVertex& vertex, int32_t hostIndex);
  void clear();

  // The vertex exactly as it was sent.
  CReceivedVertex operator[](size_t index) const;
  CVec3 Position(size_t index) const;
  double U(size_t index) const;  // uvw.x: the parameter along the wire
  int32_t HostIndex(size_t index) const;
  // Calls visit(Position(i), U(i)) for i from `first` to first + count - 1, in
  // order; a plain walk over the compact entries while none is kept in full.
  // REQUIRES: first + count <= size().
  template <typename TVisit>
  void ForEachPoint(size_t first, size_t count, TVisit&& visit) const;
  // The compact entries from `first` on that lie side by side, read in
  // place: x, y, z and u as floats, four floats an entry, *count entries
  // (1 to `wanted`, fewer where a block ends). Null while any vertex is kept
  // in full, as the compact entries then do not say everything.
  // REQUIRES: wanted > 0; first + wanted <= size().
  const float* PointRun(size_t first, size_t wanted, size_t* count) const;
  // How many vertices are kept in full, and how many runs hold the vectorA,
  // colour and host index columns (for the tests).
  size_t FullCount() const { return mFull.size(); }
  size_t RunCount() const { return mVectorRuns.size() + mColorRuns.size() + mIndexRuns.size(); }

  class const_iterator {
   public:
    const_iterator(const CReceivedVertices* list, size_t index) : mList(list), mIndex(index) {}
    CReceivedVertex operator*() const { return (*mList)[mIndex]; }
    const_iterator& operator++() {
      ++mIndex;
      return *this;
    }
    bool operator!=(const const_iterator& other) const { return mIndex != other.mIndex; }

   private:
    const CReceivedVertices* mList;
    size_t mIndex;
  };
  const_iterator begin() const { return const_iterator(this, 0); }
  const_iterator end() const { return const_iterator(this, size()); }

 private:
  struct CPoint {
    float position[3];
    float u;
  };
  // A run covers the vertices from `start` up to the next run's start.
  struct CVectorRun {
    uint32_t start;
    float vectorA[3];
  };
  struct CColorRun {
    uint32_t start;
    uint32_t color;
  };
  struct CIndexRun {
    uint32_t start;
    int32_t hostIndex;  // of the vertex at start; each later one of the run has the next
  };
  // The run covering `index`. REQUIRES: runs is not empty and its first run starts at 0.
  template <typename TRun, unsigned kBlockBits>
  static const TRun& RunAt(const CBlockList<TRun, kBlockBits>& runs, size_t index);
  // The full vertex at `index`, or null when the compact entry says it all.
  const CHostVertex* Full(size_t index) const;

  CBlockList<CPoint> mPoints;
  CBlockList<CVectorRun, 10> mVectorRuns;
  CBlockList<CColorRun, 10> mColorRuns;
  CBlockList<CIndexRun, 10> mIndexRuns;
  std::vector<std::pair<size_t, CHostVertex>> mFull;  // by ascending index
};

template <typename TVisit>
void CReceivedVertices::ForEachPoint(size_t first, size_t count, TVisit&& visit) const {
  if (!mFull.empty()) {
    for (size_t i = first; i < first + count; ++i) visit(Position(i), U(i));
    return;
  }
  // A block's entries lie side by side: each block is looked up once.
  constexpr size_t kBlock = CBlockList<CPoint>::kBlockSize;
  for (size_t i = first, end = first + count; i < end;) {
    const size_t stop = std::min(end, (i / kBlock + 1) * kBlock);
    const CPoint* point = &mPoints[i];
    for (; i < stop; ++i, ++point)
      visit(CVec3{point->position[0], point->position[1], point->position[2]}, double(point->u));
  }
}

inline const float* CReceivedVertices::PointRun(size_t first, size_t wanted, size_t* count) const {
  static_assert(sizeof(CPoint) == 4 * sizeof(float), "entries are four floats side by side");
  if (!mFull.empty()) return nullptr;
  constexpr size_t kBlock = CBlockList<CPoint>::kBlockSize;
  *count = std::min(wanted, kBlock - first % kBlock);
  return mPoints[first].position;
}

// The wire geometry the host holds for one child group.
struct CReceivedGeometry {
  bool deleted = false;  // 'DELG' arrived during the latest 'GENM'
  int deleteCount = 0;   // 'DELG' requests over the host's life
  CReceivedVertices vertices;
  CBlockList<CReceivedFacet> facets;
};

// A group's vertices and facets held by their owner in a form of its own (the
// command's imported meshes), read one at a time as 'GETV' and 'GETF' ask.
// The counts are fixed when it is made: every request checks its index
// against them, so they are plain fields rather than calls.
class CGroupGeometry {
 public:
  CGroupGeometry(size_t vertexCount, size_t facetCount) : mVertexCount(vertexCount), mFacetCount(facetCount) {}
  virtual ~CGroupGeometry() = default;
  size_t VertexCount() const { return mVertexCount; }
  size_t FacetCount() const { return mFacetCount; }
  // Each fills the reply fields of its request straight into the module's
  // record: every one of them, so no temporary is needed. 'GETV': colour and
  // the four vectors (zero vectors, opaque white where the owner has none).
  // 'GETF': colour, count and all four corners (1-based; 0 past the count).
  // REQUIRES: index < VertexCount() (FacetCount()); 0-based.
  virtual void GetVertex(size_t index, HostModelGetVertexRec* reply) const = 0;
  virtual void GetFacet(size_t index, HostModelGetFacetRec* reply) const = 0;

 private:
  const size_t mVertexCount;
  const size_t mFacetCount;
};

// A child group: its vertices and facets listed here, or, when `geometry` is
// set, served from it (the lists are then unused).
struct CChildGroup {
  uint32_t flags = kGroupHasAll;
  std::vector<CHostVertex> vertices;
  std::vector<CHostFacet> facets;
  std::shared_ptr<const CGroupGeometry> geometry;
  CReceivedGeometry received;

  size_t VertexCount() const { return geometry ? geometry->VertexCount() : vertices.size(); }
  size_t FacetCount() const { return geometry ? geometry->FacetCount() : facets.size(); }
};

// An animation channel: keys (time, value); the value between keys is linear,
// outside them constant; without keys it is the initial value.
class CChannel {
 public:
  int instance = -1;      // the instance whose command created it
  std::string name;       // the bytes of the name as sent
  uint32_t valueType = 0;
  int32_t sequence = 0;   // of the creating request
  double initial = 0;
  std::map<int32_t, double> keys;
  double reply = 0;       // storage the 'GCHN' reply points at

  double ValueAt(int32_t time) const;
  void SetKey(int32_t time, double value) { keys[time] = value; }
};

}  // namespace host

#endif  // TRESSEL_HOST_SCENE_H
