// Reading a group from the host: one 'GETV' per vertex and one 'GETF' per
// facet, positions and vectors brought into model space by the inverses of
// setup matrices 3, 4 and 5 (in double), facets filtered, checked and split.
// Cost: linear in vertices + facets, one host request per element; the
// attribute maps (a point per vertex each) only for a group with UVs.
#include <math.h>
#include <string.h>

#include "mesh/Group.h"
#include "plugin/PluginTask.h"
#include "plugin/SetupBlock.h"
#include "ui/InfoDlg.h"

namespace {

// A row vector (x, y, z, 1) times m, in double; stored as floats.
Fxyz Transform(const double p[3], const double m[16]) {
  const double x = p[0] * m[0] + p[1] * m[4] + p[2] * m[8] + m[12];
  const double y = p[0] * m[1] + p[1] * m[5] + p[2] * m[9] + m[13];
  const double z = p[0] * m[2] + p[1] * m[6] + p[2] * m[10] + m[14];
  return Fxyz{static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
}

Fxyz Untransformed(const double p[3]) {
  return Fxyz{static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2])};
}

// Appends p to a map that is present; a refused block is the memory exception.
// The maps are made with room for every vertex, so the append is a store.
inline void AppendPoint(CPosMap* map, const Fxyz& p) {
  if (!map) return;
  TVector<Fxyz>& points = map->points;
  if (points.count < points.capacity) {
    points.items[points.count++] = p;
    return;
  }
  Fxyz* slot = points.ElemNew();
  if (!slot) ThrowMemoryException();
  *slot = p;
}

template <typename T>
void Reserve(TVector<T>& vec, int more) {
  const size_t wanted = vec.count + static_cast<size_t>(more);
  if (wanted > vec.capacity && !vec.Allocate(wanted)) ThrowMemoryException();
}

CFacet& AppendFacet(TVector<CFacet>& facets) {
  CFacet* facet = facets.ElemNew();
  if (!facet) ThrowMemoryException();
  return *facet;
}

void AppendTriangle(TVector<CFacet>& facets, uint32_t color, int a, int b, int c) {
  CFacet& facet = AppendFacet(facets);
  facet.flags = 0;
  facet.count = 3;
  facet.vert[0] = a;
  facet.vert[1] = b;
  facet.vert[2] = c;
  facet.vert[3] = 0;
  facet.color = color;
}

}  // namespace

bool ReportStep(int step) { return InfoDlg::Update(step); }

bool CGroup::ReadVertices() {
  theModelSetup.Init(nullptr);
  const int n = info.vertexCount > 0 ? info.vertexCount : 0;
  Reserve(vertices, n);
  InfoDlg::SetIndicator(PascalString("Reading vertices"), n, PascalString());

  double toModel[16], toModelA[16], toModelB[16];
  InvertMatrix4(toModel, theModelSetup.setup.matrices[3]);
  InvertMatrix4(toModelA, theModelSetup.setup.matrices[4]);
  InvertMatrix4(toModelB, theModelSetup.setup.matrices[5]);

  // The attribute maps have one reader, the UV frame test of ReadFacets, and
  // it reads them only when there is a UV map: without UVs none is made (a
  // scan's normals would be a map as big as the positions, never read).
  const bool maps = (info.flags & kHasUV) != 0;
  CPosMap* vectorA = maps && (info.flags & kHasVectorA) ? AllocPMap(kMapVectorA, n) : nullptr;
  CPosMap* uv = maps ? AllocPMap(kMapUV, n) : nullptr;
  CPosMap* color = maps && (info.flags & kHasColor) ? AllocPMap(kMapColor, n) : nullptr;
  CPosMap* vectorB = maps && (info.flags & kHasVectorB) ? AllocPMap(kMapVectorB, n) : nullptr;

  HostModelGetVertexRec rec;
  memset(&rec, 0, sizeof rec);
  rec.hostContext = info.hostContext;
  rec.groupRef = info.groupRef;
  for (int i = 0; i < n; ++i) {
    rec.index = i + 1;
    if (!UpdateStat(i, 200)) return false;
    if (!Run_Host(Request::kGetVertex, sizeof rec, &rec)) return false;

    // Room for every vertex was reserved above: an append is a store.
    CVertex* vertex = vertices.count < vertices.capacity ? vertices.items + vertices.count++ : vertices.ElemNew();
    if (!vertex) ThrowMemoryException();
    vertex->flags = 0;
    vertex->pos = Transform(rec.position, toModel);
    if (vectorA) AppendPoint(vectorA, Transform(rec.vectorA, toModelA));
    if (uv) AppendPoint(uv, Untransformed(rec.uvw));
    if (color) {
      ARGB argb;
      memcpy(&argb, &rec.color, sizeof argb);
      AppendPoint(color, ARGB2Fxyz(argb));
    }
    if (vectorB) AppendPoint(vectorB, Transform(rec.vectorB, toModelB));
  }
  return true;
}

bool CGroup::ReadFacets(CFlag flags) {
  const int n = info.facetCount > 0 ? info.facetCount : 0;
  Reserve(facets, n);
  InfoDlg::SetIndicator(PascalString("Reading facets"), n, PascalString());

  const CPosMap* uvMap = posMaps.count > kMapUV ? posMaps[kMapUV] : nullptr;
  if (uvMap) {
    Fxyz bounds[2];
    uvMap->GetBounds(bounds);
    uvMin = bounds[0];
    uvMax = bounds[1];
  }

  // Corners are checked against the vertices actually held, so that no later
  // step (UV frame test, packing, edges, output) reads outside them.
  const int64_t vertexLimit = static_cast<int64_t>(vertices.count);

  HostModelGetFacetRec rec;
  memset(&rec, 0, sizeof rec);
  rec.hostContext = info.hostContext;
  rec.groupRef = info.groupRef;
  for (int i = 0; i < n; ++i) {
    rec.index = i + 1;
    if (!UpdateStat(i, 100)) return false;
    if (!Run_Host(Request::kGetFacet, sizeof rec, &rec)) return false;

    const int count = rec.count;
    if (count < 1 || count > 4) continue;
    bool cornersValid = true;
    for (int k = 0; k < count; ++k) {
      if (rec.corners[k] < 1 || rec.corners[k] > vertexLimit) cornersValid = false;
    }
    if (!cornersValid) continue;

    switch (count) {
      case 1:
        if (flags & kSkipPoints) continue;
        break;
      case 2:
        if (flags & kSkipLines) continue;
        break;
      case 3:
        if (flags & kSkipTriangles) continue;
        break;
      case 4:
        if (flags & kSkipQuads) continue;
        if (uvMap && UpdateBoundUV(rec.corners)) continue;
        break;
    }

    if (count == 4 && (flags & kSplitQuads)) {
      const int c0 = rec.corners[0] - 1, c1 = rec.corners[1] - 1;
      const int c2 = rec.corners[2] - 1, c3 = rec.corners[3] - 1;
      if (flags & kSplitAltDiagonal) {
        AppendTriangle(facets, rec.color, c0, c1, c3);
        AppendTriangle(facets, rec.color, c1, c2, c3);
      } else {
        AppendTriangle(facets, rec.color, c0, c1, c2);
        AppendTriangle(facets, rec.color, c0, c2, c3);
      }
    } else {
      AppendFacet(facets) = rec;
    }
  }
  return true;
}

bool CGroup::UpdateBoundUV(const int* corners) {
  int index[4];
  for (int k = 0; k < 4; ++k) {
    if (corners[k] < 1 || static_cast<size_t>(corners[k]) > vertices.count) return false;
    index[k] = corners[k] - 1;
  }

  Fxyz pos[4];
  for (int k = 0; k < 4; ++k) pos[k] = vertices[index[k]].pos;
  // Only a quad folded onto one point passes (a NaN distance does not fail).
  for (int k = 0; k < 4; ++k) {
    const Fxyz& p = pos[k];
    const Fxyz& q = pos[(k + 1) % 4];
    const float dx = p.x - q.x, dy = p.y - q.y, dz = p.z - q.z;
    if (sqrtf(dx * dx + dy * dy + dz * dz) > kSamePointTolerance) return false;
  }

  const CPosMap* uvMap = posMaps.count > kMapUV ? posMaps[kMapUV] : nullptr;
  const CPosMap* vecMap = posMaps.count > kMapVectorA ? posMaps[kMapVectorA] : nullptr;
  if (!uvMap) return false;

  Fxyz uv[4], vec[4];
  for (int k = 0; k < 4; ++k) {
    const size_t v = static_cast<size_t>(index[k]);
    if (v >= uvMap->points.count) return false;
    uv[k] = uvMap->points[v];
    vec[k] = (vecMap && v < vecMap->points.count) ? vecMap->points[v] : Fxyz{0, 0, 1};
  }

  // A corner passes only where it is neither above the map's minimum nor below
  // its maximum: that holds only on an axis of zero extent.
  for (int k = 0; k < 4; ++k) {
    if (uv[k].x > uvMin.x || uv[k].x < uvMax.x) return false;
    if (uv[k].y > uvMin.y || uv[k].y < uvMax.y) return false;
    if (uv[k].z > uvMin.z || uv[k].z < uvMax.z) return false;
  }

  for (int k = 0; k < 4; ++k) {
    uvFrame[k].pos = pos[k];
    uvFrame[k].vec = vec[k];
    uvFrame[k].uv = uv[k];
  }
  hasUVFrame = true;
  return true;
}
