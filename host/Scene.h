// What the host holds for the module: the model setup, the child groups it
// describes, the geometry each group receives, and the animation channels.
#ifndef TRESSEL_HOST_SCENE_H
#define TRESSEL_HOST_SCENE_H

#include <stddef.h>
#include <stdint.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

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

// A generated segment as received through 'ADDF'.
struct CReceivedFacet {
  uint32_t color = 0;
  int16_t corners = 0;
  int32_t vert[4] = {0, 0, 0, 0};  // as sent: indices the host gave out
  int first = -1;                  // 0-based positions in CReceivedGeometry::vertices
  int second = -1;
};

// A generated vertex as received through 'ADDV'.
struct CReceivedVertex {
  CHostVertex vertex;
  int32_t hostIndex = 0;  // what the host answered
};

// The wire geometry the host holds for one child group.
struct CReceivedGeometry {
  bool deleted = false;  // 'DELG' arrived during the latest 'GENM'
  int deleteCount = 0;   // 'DELG' requests over the host's life
  std::vector<CReceivedVertex> vertices;
  std::vector<CReceivedFacet> facets;
};

// A group's vertices and facets held by their owner in a form of its own (the
// command's imported meshes), read one at a time as 'GETV' and 'GETF' ask.
class CGroupGeometry {
 public:
  virtual ~CGroupGeometry() = default;
  virtual size_t VertexCount() const = 0;
  virtual size_t FacetCount() const = 0;
  // REQUIRES: index < VertexCount() (FacetCount()); 0-based.
  virtual void GetVertex(size_t index, CHostVertex* vertex) const = 0;
  virtual void GetFacet(size_t index, CHostFacet* facet) const = 0;
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
