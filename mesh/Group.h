// The mesh model: one child group of the module's model, as read from the
// host, and the records it is made of (vertices, facets, edges, attribute maps).
//
// Indices are 0-based int32 everywhere in memory; only host records carry
// 1-based vertex and facet numbers. All storage comes from the host allocator
// (MAlloc / MFree), so a group may only live while a call of Main is active.
// A group lives on the stack of the operation that uses it: it is neither
// copied nor assigned, and it releases everything it owns on every way out,
// also when the memory exception passes.
#ifndef TRESSEL_MESH_GROUP_H
#define TRESSEL_MESH_GROUP_H

#include <stddef.h>
#include <stdint.h>

#include "base/ChunkList.h"
#include "base/Fxyz.h"
#include "base/PascalString.h"
#include "base/TVector.h"
#include "plugin/HostRecords.h"

// Flag bit of CVertex::flags and CFacet::flags: the element is to be removed.
constexpr uint32_t kFlagDelete = 0x10;

// Attribute bits of the group record's flags word: which map slots to read.
constexpr uint32_t kHasColor = 0x80000000u;    // slot 2
constexpr uint32_t kHasVectorA = 0x40000000u;  // slot 0
constexpr uint32_t kHasUV = 0x20000000u;       // slot 1
constexpr uint32_t kHasVectorB = 0x10000000u;  // slot 3

// Map slots of CGroup::posMaps.
constexpr int kMapVectorA = 0;
constexpr int kMapUV = 1;
constexpr int kMapColor = 2;
constexpr int kMapVectorB = 3;

// Options of CGroup::ReadFacets.
typedef uint32_t CFlag;
constexpr CFlag kSkipPoints = 0x01;        // drop 1-corner facets
constexpr CFlag kSkipLines = 0x02;         // drop 2-corner facets
constexpr CFlag kSkipTriangles = 0x04;     // drop 3-corner facets
constexpr CFlag kSkipQuads = 0x08;         // drop 4-corner facets
constexpr CFlag kSplitQuads = 0x10;        // each kept quad becomes two triangles
constexpr CFlag kSplitAltDiagonal = 0x20;  // with kSplitQuads: split along corners 1-3

// Tolerance (per axis, on float differences) under which two positions are one.
constexpr double kSamePointTolerance = 1e-5;

// The facet colour given to facets on an edge that three or more facets share:
// opaque red, bytes alpha, red, green, blue in memory order.
uint32_t RedFacetColor();

struct CVertex {
  uint32_t flags;  // kFlagDelete while packing merges it away; otherwise 0
  Fxyz pos;        // model space
};

// The corner part of a facet, also one facet's entry in an attribute map.
struct CFaceMap {
  int32_t count;
  int32_t idx[4];
};

struct CFacet {
  uint32_t flags;   // 0 when read; kFlagDelete marks a facet DeleteFacets removes
  int32_t count;    // corners, 1..4
  int32_t vert[4];  // vertex indices; the first `count` are meaningful
  uint32_t color;   // bytes alpha, red, green, blue in memory order
  int32_t edge[4];  // edge[k]: the side corner k -> k+1 (mod count); valid only after BuildEdges

  // flags 0, colour, count and the 0-based corners from the host record;
  // `edge` is kept. REQUIRES: rec.count is 0..4 (ReadFacets checks it).
  CFacet& operator=(const HostModelGetFacetRec& rec);
  // Removes corner k (later corners move down); nothing when k >= count.
  // `edge` is not shifted.
  void DeleteVer(int k);
  // count and vert as a map entry.
  CFaceMap Corners() const;
};

struct CEdge {
  int32_t flags;   // 0
  int32_t fac[2];  // the facets on this edge in order met; -1 = none
  int32_t ver[2];  // ends, in the direction of the side of fac[0]

  // ver = (corner k, corner k+1 mod count) of the facet.
  void SetVer(const CFacet& facet, int k);
  // Records f in the first free slot; a third facet is not recorded.
  void SetFac(int f);
  // Orders edges by (lower end, higher end), ignoring direction: -1, 0 or 1.
  int32_t Compare(const CEdge& other) const;
};

// A node of a per-vertex adjacency list or of a surface chain. Drawn from a
// CChunkList and never freed one by one.
struct CEdgeLink {
  int32_t edge;     // index in CGroup::edges; -1 while the side is being matched
  CEdgeLink* next;  // next node of the same list, or null
  int32_t ver;      // adjacency lists: the vertex at the other end of the side
};

// A per-vertex 3-vector attribute map. Made in host memory by
// CGroup::AllocPMap and owned through CGroup::posMaps.
class CPosMap {
 public:
  uint32_t kind = 0;
  TVector<CFaceMap> facets;  // per-facet entries; parallel to the group's facets when filled
  PascalString name;
  TVector<Fxyz> points;      // one per vertex, in vertex order

  CPosMap() = default;
  CPosMap(const CPosMap&) = delete;
  ~CPosMap();
  // Deep copy (kind, facets, all 256 bytes of name, points).
  CPosMap& operator=(const CPosMap& src);

  // Turns raw storage into an empty map with room for n points; the old
  // contents are overwritten without being released.
  // REQUIRES: this points at storage of sizeof(CPosMap) bytes.
  void Init(int n);
  // Releases points and facets; the map stays usable and empty.
  void Free();
  // out[0] = component-wise minimum, out[1] = maximum over the points; both
  // (0, 0, 0) without points.
  void GetBounds(Fxyz out[2]) const;
};

// A per-vertex scalar map. Nothing in this system makes one; the group only
// owns and frees them.
class CFloatMap {
 public:
  uint32_t kind = 0;
  TVector<CFaceMap> facets;
  PascalString name;
  TVector<float> values;

  CFloatMap() = default;
  CFloatMap(const CFloatMap&) = delete;
  CFloatMap& operator=(const CFloatMap&) = delete;
  ~CFloatMap();

  // Releases values and facets.
  void Free();
};

// Vectors of owned map pointers (null = empty slot). Destruction frees each
// map and its record, then the pointer block.
class CPosMapPtrVec : public TVector<CPosMap*> {
 public:
  CPosMapPtrVec() = default;
  ~CPosMapPtrVec() { Release(); }
  void Release();
};

class CFloatMapPtrVec : public TVector<CFloatMap*> {
 public:
  CFloatMapPtrVec() = default;
  ~CFloatMapPtrVec() { Release(); }
  void Release();
};

// One corner of the UV frame quad.
struct CUVFrameCorner {
  Fxyz pos;  // model-space position
  Fxyz vec;  // slot-0 vector, or (0, 0, 1) without that map
  Fxyz uv;   // UV map point
};

class CGroup {
 public:
  TVector<CFacet> facets;    // in read order
  TVector<CVertex> vertices; // index = host vertex number - 1 until packing
  TVector<CEdge> edges;      // built by BuildEdges
  CPosMapPtrVec posMaps;     // slots kMapVectorA..kMapVectorB; absent or null = none
  CFloatMapPtrVec floatMaps; // empty in this system
  HostModelGetGroupRec info; // the host's group record, copied whole
  bool hasUVFrame;           // a UV frame quad was found while reading facets
  Fxyz uvMin, uvMax;         // bounds of the UV map, set by ReadFacets
  CUVFrameCorner uvFrame[4];

  // With rec: info is a copy of *rec. Without: the current call's context,
  // index 1, no reference, zero counts and flags, identity matrices.
  // REQUIRES: a call of Main is active.
  explicit CGroup(const HostModelGetGroupRec* rec);
  ~CGroup();
  CGroup(const CGroup&) = delete;
  CGroup& operator=(const CGroup&) = delete;

  // The map in `slot`, made with room for n points if the slot is empty;
  // null when the allocator yields no block (the slot stays empty).
  CPosMap* AllocPMap(int slot, int n);
  // Every map whose per-facet list has an entry f gets rec there.
  void UpdateMapFacet(int f, const CFaceMap& rec);
  // Removes the facets flagged kFlagDelete (and their map entries), keeping
  // the order of the rest. Edges are not renumbered: call before BuildEdges.
  void DeleteFacets();

  // --- Reading (ReadGroup.cpp). Both append; false when the user cancelled
  // or a host request failed (the request's code is in the current task).
  bool ReadVertices();
  // flags: CFlag bits. Facets with a corner count outside 1..4 or a corner
  // outside the vertices read are dropped.
  bool ReadFacets(CFlag flags);
  // True when the quad with these 1-based corners is the UV frame quad; it is
  // then recorded in uvFrame. REQUIRES: corners points at four numbers.
  bool UpdateBoundUV(const int* corners);

  // --- Facet geometry (FacetGeometry.cpp). REQUIRES: f is a facet index.
  // Removes corners that repeat the next corner's position and deletes facets
  // that collapse below three corners; returns the number deleted.
  int ChkPlanar();
  void FacNrml(int f, Fxyz& out) const;
  Fxyz& FacCntr(int f, Fxyz& out) const;

  // --- Vertex packing (PackVertices.cpp). Merges vertices within tolerance;
  // relink renumbers facet corners; newToOld (optional) receives, per new
  // vertex, its old index. False when the user cancelled: the group is then
  // inconsistent and must only be destroyed. Maps and edges are not updated.
  bool PackVertices(bool relink, TVector<int>* newToOld);

  // --- Edges (BuildEdges.cpp). Rebuilds edges and every facet's edge field;
  // false when the user cancelled (edges then cover only the facets done).
  bool BuildEdges();

  // --- Surface edge (SurfaceEdge.cpp). Fills out with the chains of open
  // edges (pointers into edges), one after another; returns the number of
  // chains, or -1 when the user cancelled (out keeps the finished chains).
  // REQUIRES: a complete, successful BuildEdges since the facets last changed.
  int GetSurfEdge(TVector<CEdge*>& out) const;
};

// Reports `step` units to the current indicator; false when the host asked
// to stop. The out-of-line half of UpdateStat.
bool ReportStep(int step);

// Progress step of the long mesh loops: reports `step` units to the current
// indicator when (i + 1) is a multiple of step. False when the host asked to
// stop. Inline, so that the loops' constant steps make the test a multiply.
inline bool UpdateStat(int i, int step) { return (i + 1) % step != 0 || ReportStep(step); }

// Sort comparators over slots holding CVertex* / CEdge* (qsort convention:
// a and b point at the slots). CompVerPos orders by position x, y, z exactly;
// it is a strict weak ordering for every input: -0 equals +0 and every NaN
// sorts after all numbers, equal to other NaNs.
int CompVerPos(const void* a, const void* b);
int CompVerAddr(const void* a, const void* b);
int CompEdgeVer(const void* a, const void* b);

// Resolves one run ptrs[first..end) of coincident vertices: the vertex with
// the lowest old index survives, the others are flagged kFlagDelete, and
// remap[old index] = survivor's old index for every vertex of the run.
// REQUIRES: 0 <= first < end <= number of pointers; remap covers every vertex.
void SortRange(CVertex** ptrs, CVertex* base, TVector<int>& remap, int first, int end);

// The open edge that continues a chain at vertex v, searching around entry
// pos of the sorted open list; -1 when none. A candidate on facet `fac` wins
// at once; otherwise the last candidate met, and fac becomes its fac[0].
int LookSecond(const TVector<CEdge*>& open, int pos, int v, int& fac);

#endif  // TRESSEL_MESH_GROUP_H
