// What the host holds for the module: the model setup, the child groups it
// describes, the geometry each group receives, and the animation channels.
#ifndef TRESSEL_HOST_SCENE_H
#define TRESSEL_HOST_SCENE_H

#include <stdint.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "host/BlockList.h"

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
// as 36 bytes of floats and reads back bit for bit. Any other vertex is kept in
// full beside its compact entry (binary search, O(log n) per read of such a
// vertex). Adding is constant time and never moves stored vertices.
class CReceivedVertices {
 public:
  size_t size() const { return mPacked.size(); }
  bool empty() const { return mPacked.empty(); }
  void Add(const CHostVertex& vertex, int32_t hostIndex);
  void clear();

  // The vertex exactly as it was sent.
  CReceivedVertex operator[](size_t index) const;
  CVec3 Position(size_t index) const;
  double U(size_t index) const;  // uvw.x: the parameter along the wire
  int32_t HostIndex(size_t index) const { return mPacked[index].hostIndex; }
  // How many vertices are kept in full (for the tests).
  size_t FullCount() const { return mFull.size(); }

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
  struct CPacked {
    float position[3];
    float u;
    float vectorA[3];
    uint32_t color;
    int32_t hostIndex;
  };
  // The full vertex at `index`, or null when the compact entry says it all.
  const CHostVertex* Full(size_t index) const;

  CBlockList<CPacked> mPacked;
  std::vector<std::pair<size_t, CHostVertex>> mFull;  // by ascending index
};

// The wire geometry the host holds for one child group.
struct CReceivedGeometry {
  bool deleted = false;  // 'DELG' arrived during the latest 'GENM'
  int deleteCount = 0;   // 'DELG' requests over the host's life
  CReceivedVertices vertices;
  CBlockList<CReceivedFacet> facets;
};

struct CChildGroup {
  uint32_t flags = kGroupHasAll;
  std::vector<CHostVertex> vertices;
  std::vector<CHostFacet> facets;
  CReceivedGeometry received;
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
