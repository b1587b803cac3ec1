// Facet geometry: removal of corners that repeat their successor's position
// (and of facets that collapse to a line or a point), unit normals and centres.
// From vertex positions through the facets' corner indices, in single
// precision. ChkPlanar is linear in the corners; FacNrml and FacCntr are O(1).
#include <math.h>

#include "mesh/Group.h"

namespace {

// NaN differences are not "near": a corner with a NaN coordinate stays.
bool SamePoint(const Fxyz& p, const Fxyz& q) {
  return fabsf(p.x - q.x) < kSamePointTolerance && fabsf(p.y - q.y) < kSamePointTolerance &&
         fabsf(p.z - q.z) < kSamePointTolerance;
}

Fxyz Minus(const Fxyz& a, const Fxyz& b) { return Fxyz{a.x - b.x, a.y - b.y, a.z - b.z}; }

Fxyz Cross(const Fxyz& u, const Fxyz& v) {
  return Fxyz{u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
}

}  // namespace

int CGroup::ChkPlanar() {
  int deleted = 0;
  for (size_t j = 0; j < facets.count; ++j) {
    CFacet& facet = facets[j];
    const int startCount = facet.count;
    bool changed = false;
    bool collapsed = false;
    int k = 0;
    while (k < facet.count && facet.count > 1) {
      const Fxyz& p = vertices[facet.vert[k]].pos;
      const Fxyz& q = vertices[facet.vert[(k + 1) % facet.count]].pos;
      if (!SamePoint(p, q)) {
        ++k;
        continue;
      }
      facet.DeleteVer(k);
      if (startCount > 2 && facet.count <= 2) {
        facet.flags |= kFlagDelete;
        ++deleted;
        collapsed = true;
        break;
      }
      changed = true;
    }
    if (!collapsed && changed) UpdateMapFacet(static_cast<int>(j), facet.Corners());
  }
  if (deleted != 0) DeleteFacets();
  return deleted;
}

void CGroup::FacNrml(int f, Fxyz& out) const {
  const CFacet& facet = facets[f];
  if (facet.count <= 2) {
    out = Fxyz{0, 0, -1};
    return;
  }
  const Fxyz& a = vertices[facet.vert[0]].pos;
  const Fxyz& b = vertices[facet.vert[1]].pos;
  const Fxyz& c = vertices[facet.vert[2]].pos;
  Fxyz normal = Cross(Minus(b, a), Minus(c, b));
  normal.Nor();
  if (facet.count >= 4) {
    const Fxyz& d = vertices[facet.vert[3]].pos;
    Fxyz second = Cross(Minus(c, a), Minus(d, c));
    second.Nor();
    normal = Fxyz{normal.x + second.x, normal.y + second.y, normal.z + second.z};
    normal.Nor();
  }
  out = normal;
}

Fxyz& CGroup::FacCntr(int f, Fxyz& out) const {
  const CFacet& facet = facets[f];
  out = Fxyz{0, 0, 0};
  for (int k = 0; k < facet.count; ++k) {
    const Fxyz& p = vertices[facet.vert[k]].pos;
    out.x += p.x;
    out.y += p.y;
    out.z += p.z;
  }
  out /= static_cast<float>(facet.count);
  return out;
}
