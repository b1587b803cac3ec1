// The mesh records and the group's own bookkeeping: construction, release,
// attribute map slots, and removal of flagged facets in step with the maps.
// Every operation here is linear in the facets or map entries it touches.
#include "mesh/Group.h"

#include <string.h>

#include <new>

#include "base/VectorOps.h"
#include "plugin/PluginTask.h"

uint32_t RedFacetColor() {
  const uint8_t bytes[4] = {0xFF, 0xFF, 0x00, 0x00};
  uint32_t color;
  memcpy(&color, bytes, sizeof color);
  return color;
}

// --- CFacet

CFacet& CFacet::operator=(const HostModelGetFacetRec& rec) {
  flags = 0;
  color = rec.color;
  count = rec.count;
  const int n = count < 0 ? 0 : (count > 4 ? 4 : count);
  for (int k = 0; k < n; ++k) vert[k] = rec.corners[k] - 1;
  return *this;
}

void CFacet::DeleteVer(int k) {
  if (k < 0 || k >= count) return;
  for (int j = k + 1; j < count; ++j) vert[j - 1] = vert[j];
  --count;
}

CFaceMap CFacet::Corners() const {
  CFaceMap rec;
  rec.count = count;
  for (int k = 0; k < 4; ++k) rec.idx[k] = vert[k];
  return rec;
}

// --- CEdge

void CEdge::SetVer(const CFacet& facet, int k) {
  ver[0] = facet.vert[k];
  ver[1] = facet.vert[(k + facet.count + 1) % facet.count];
}

void CEdge::SetFac(int f) {
  if (fac[0] < 0) {
    fac[0] = f;
  } else if (fac[1] < 0) {
    fac[1] = f;
  }
}

int32_t CEdge::Compare(const CEdge& other) const {
  const int32_t lo = ver[0] < ver[1] ? ver[0] : ver[1];
  const int32_t hi = ver[0] < ver[1] ? ver[1] : ver[0];
  const int32_t otherLo = other.ver[0] < other.ver[1] ? other.ver[0] : other.ver[1];
  const int32_t otherHi = other.ver[0] < other.ver[1] ? other.ver[1] : other.ver[0];
  if (lo != otherLo) return lo < otherLo ? -1 : 1;
  if (hi != otherHi) return hi < otherHi ? -1 : 1;
  return 0;
}

// --- Maps

CPosMap::~CPosMap() {
  points.Free();
  facets.Free();
}

CPosMap& CPosMap::operator=(const CPosMap& src) {
  if (this == &src) return *this;
  kind = src.kind;
  facets = src.facets;
  name = src.name;
  points = src.points;
  return *this;
}

void CPosMap::Init(int n) {
  // The storage is raw: nothing in it may be released.
  facets.items = nullptr;
  facets.count = facets.capacity = 0;
  points.items = nullptr;
  points.count = points.capacity = 0;
  kind = 0;
  name = PascalString();
  points.Allocate(n > 0 ? static_cast<size_t>(n) : 0);
}

void CPosMap::Free() {
  points.Free();
  facets.Free();
}

void CPosMap::GetBounds(Fxyz out[2]) const {
  if (points.count == 0) {
    out[0] = out[1] = Fxyz{0, 0, 0};
    return;
  }
  Fxyz lo = points[0];
  Fxyz hi = points[0];
  for (size_t i = 1; i < points.count; ++i) {
    const Fxyz& p = points[i];
    if (p.x < lo.x) lo.x = p.x;
    if (p.y < lo.y) lo.y = p.y;
    if (p.z < lo.z) lo.z = p.z;
    if (p.x > hi.x) hi.x = p.x;
    if (p.y > hi.y) hi.y = p.y;
    if (p.z > hi.z) hi.z = p.z;
  }
  out[0] = lo;
  out[1] = hi;
}

CFloatMap::~CFloatMap() { Free(); }

void CFloatMap::Free() {
  values.Free();
  facets.Free();
}

void CPosMapPtrVec::Release() {
  FreeVecPtr(static_cast<TVector<CPosMap*>&>(*this));
  Free();
}

void CFloatMapPtrVec::Release() {
  FreeVecPtr(static_cast<TVector<CFloatMap*>&>(*this));
  Free();
}

// --- CGroup

CGroup::CGroup(const HostModelGetGroupRec* rec) : hasUVFrame(false) {
  memset(&info, 0, sizeof info);
  info.hostContext = CurrentHostContext();
  info.index = 1;
  info.groupRef = nullptr;
  if (rec) {
    memcpy(&info, rec, sizeof info);
  } else {
    info.index = 0;
    for (int k = 0; k < 16; ++k) {
      const double one = (k % 5 == 0) ? 1.0 : 0.0;
      info.matrix1[k] = one;
      info.matrix2[k] = one;
      info.matrix3[k] = one;
    }
  }
  uvMin = uvMax = Fxyz{0, 0, 0};
  for (CUVFrameCorner& corner : uvFrame) {
    corner.pos = corner.vec = corner.uv = Fxyz{0, 0, 0};
  }
}

CGroup::~CGroup() {
  floatMaps.Release();
  posMaps.Release();
  edges.Free();
  vertices.Free();
  facets.Free();
}

CPosMap* CGroup::AllocPMap(int slot, int n) {
  if (slot < 0) return nullptr;
  while (posMaps.count < static_cast<size_t>(slot) + 1) {
    CPosMap** entry = posMaps.ElemNew();
    if (!entry) return nullptr;
    *entry = nullptr;
  }
  if (posMaps[slot]) return posMaps[slot];
  void* block = MAlloc(sizeof(CPosMap));
  if (!block) return nullptr;
  CPosMap* map = new (block) CPosMap();
  posMaps[slot] = map;  // owned from here on, also if Init throws
  map->Init(n);
  return map;
}

void CGroup::UpdateMapFacet(int f, const CFaceMap& rec) {
  if (f < 0) return;
  const size_t index = static_cast<size_t>(f);
  for (size_t i = 0; i < posMaps.count; ++i) {
    CPosMap* map = posMaps[i];
    if (map && map->facets.count > index) map->facets[index] = rec;
  }
  for (size_t i = 0; i < floatMaps.count; ++i) {
    CFloatMap* map = floatMaps[i];
    if (map && map->facets.count > index) map->facets[index] = rec;
  }
}

void CGroup::DeleteFacets() {
  // The maps are filtered against the facets' flags, so they go first.
  for (size_t i = 0; i < posMaps.count; ++i) {
    if (posMaps[i]) DelFlag(*posMaps[i], facets, kFlagDelete, true);
  }
  for (size_t i = 0; i < floatMaps.count; ++i) {
    if (floatMaps[i]) DelFlag(*floatMaps[i], facets, kFlagDelete, true);
  }
  DelFlag(facets, kFlagDelete, true);
}
