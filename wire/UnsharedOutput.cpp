// Modes 1 and 2: the group's unshared edges, in the chain order of the
// surface-edge search, are cut into polylines of connected edges; each is
// moved by `push` along the neighbouring facets' normals, scaled by `scale`
// about its centre and sent as vertices joined by segments. Linear in the
// number of unshared edges after BuildEdges and GetSurfEdge; each vertex
// record is filled once, checked, then sent.
#include <math.h>

#include "mesh/Group.h"
#include "wire/ExcludeVec.h"
#include "wire/UnsharedOutput.h"
#include "wire/WireOutput.h"
#include "wire/WireTag.h"

namespace {

// Two points are one when x, y and z each differ by less than this.
bool SamePoint(const Fxyz& a, const Fxyz& b) {
  return fabs(double(a.x - b.x)) < kSamePointTolerance && fabs(double(a.y - b.y)) < kSamePointTolerance &&
         fabs(double(a.z - b.z)) < kSamePointTolerance;
}

// The unit normal of the facet an edge belongs to; false when it has none
// (collinear corners, or an edge that names no facet).
bool EdgeNormal(const CGroup& group, const CEdge& edge, Fxyz& normal) {
  const int facet = edge.fac[0];
  if (facet < 0 || size_t(facet) >= group.facets.count) return false;
  group.FacNrml(facet, normal);
  return IsFinite(normal);
}

// The normal of one edge's facet, found once per edge of a polyline.
struct CEdgeNormal {
  bool defined;
  Fxyz normal;
};

// The direction in which a chain point moves: the mean of the normals of the
// facets before and after it. Where that is undefined (the normals cancel, or
// one is missing) the defined normal is used, the one before first; false
// when neither is defined, and the point does not move.
bool PointDirection(const CEdgeNormal& before, const CEdgeNormal& after, Fxyz& direction) {
  if (before.defined && after.defined) {
    direction = Fxyz{before.normal.x + after.normal.x, before.normal.y + after.normal.y,
                     before.normal.z + after.normal.z};
    direction.Nor();
    if (IsFinite(direction)) return true;
  }
  if (before.defined) {
    direction = before.normal;
    return true;
  }
  if (after.defined) {
    direction = after.normal;
    return true;
  }
  return false;
}

// Moves the m points of the polyline built from edges[first .. last] along
// the facet normals; closedness is judged before anything moves. normals is
// working storage, one entry per edge.
void Displace(const CGroup& group, const TVector<CEdge*>& edges, size_t first, size_t last, TVector<Fxyz>& points,
              float push, TVector<CEdgeNormal>& normals) {
  const size_t m = points.count;
  const bool closed = SamePoint(points[0], points[m - 1]);
  if (normals.capacity < m - 1 && !normals.Allocate(m - 1)) ThrowMemoryException();
  normals.SetCount(m - 1);
  for (size_t e = first; e <= last; ++e) {
    CEdgeNormal& n = normals[e - first];
    // Consecutive edges of one facet (the rim of a lone facet) share its normal.
    if (e > first && edges[e]->fac[0] == edges[e - 1]->fac[0]) {
      n = normals[e - first - 1];
      continue;
    }
    n.defined = EdgeNormal(group, *edges[e], n.normal);
  }
  for (size_t i = 0; i < m; ++i) {
    // Edge i leaves point i, edge i - 1 arrives at it (indices from first).
    const size_t before = i > 0 ? i - 1 : (closed ? last - first : 0);
    const size_t after = i < m - 1 ? i : (closed ? 0 : before);
    Fxyz direction;
    if (!PointDirection(normals[before], normals[after], direction)) continue;
    points[i].x += direction.x * push;
    points[i].y += direction.y * push;
    points[i].z += direction.z * push;
  }
}

// Scales the polyline about its centre (a closing point counted once) and
// sends it: vertex 0, vertex 1, segment 0-1, vertex 2, segment 1-2, ...
// True also when it is left out for a non-finite vertex. records is working
// storage for the filled vertex records, one per point.
bool SendPolyline(const CWireFrame& frame, TVector<Fxyz>& points, float scale, TVector<HostAddVertexRec>& records) {
  const size_t m = points.count;
  const float step = 1.0f / static_cast<float>(m - 1);
  if (scale != 1.0f) {
    const size_t q = SamePoint(points[0], points[m - 1]) ? m - 1 : m;
    Fxyz centre = {0.0f, 0.0f, 0.0f};
    for (size_t i = 0; i < q; ++i) {
      centre.x += points[i].x;
      centre.y += points[i].y;
      centre.z += points[i].z;
    }
    centre /= static_cast<float>(q);
    for (size_t i = 0; i < m; ++i) {
      points[i].x = centre.x + (points[i].x - centre.x) * scale;
      points[i].y = centre.y + (points[i].y - centre.y) * scale;
      points[i].z = centre.z + (points[i].z - centre.z) * scale;
    }
  }
  // A polyline with a non-finite vertex is left out whole; the others go on.
  if (records.capacity < m && !records.Allocate(m)) ThrowMemoryException();
  records.SetCount(m);
  for (size_t i = 0; i < m; ++i)
    if (!frame.Prepare(points[i], kNoDirection, static_cast<float>(i) * step, records[i])) return true;
  int previous = 0;
  for (size_t i = 0; i < m; ++i) {
    int id = 0;
    if (!CWireFrame::Send(records[i], &id)) return false;
    if (i > 0 && !OutLine(previous, id)) return false;
    previous = id;
  }
  return true;
}

void Append(TVector<Fxyz>& points, const Fxyz& p) {
  Fxyz* slot = points.ElemNew();
  if (!slot) ThrowMemoryException();
  *slot = p;
}

}  // namespace

bool CWireTag::OutUnshared(CGroup& group) {
  if (!group.BuildEdges()) return false;
  TVector<CEdge*> edges;
  // A cancelled search (negative) still wires the chains traced before it.
  if (group.GetSurfEdge(edges) == 0) return true;
  return WireChains(*this, group, edges);
}

bool WireChains(const CWireTag& tag, const CGroup& group, const TVector<CEdge*>& edges) {
  CExcludeVec selection;
  if (tag.useExclude) selection.Init(tag.excludeText);

  const CWireFrame frame;
  TVector<Fxyz> points;
  TVector<CEdgeNormal> normals;
  TVector<HostAddVertexRec> records;
  const size_t total = edges.count;
  const auto position = [&group](int vertex) -> const Fxyz& { return group.vertices[size_t(vertex)].pos; };
  size_t pos = 0;
  int count = 0;
  while (true) {
    points.SetCount(0);
    if (pos >= total) return true;
    const CEdge& e = *edges[pos];
    bool shared = false;
    int s = 0;
    if (pos + 1 < total) {
      const CEdge& f = *edges[pos + 1];
      if (e.ver[0] == f.ver[0] || e.ver[0] == f.ver[1]) {
        shared = true;
        s = e.ver[0];
      } else if (e.ver[1] == f.ver[0] || e.ver[1] == f.ver[1]) {
        shared = true;
        s = e.ver[1];
      }
    }
    if (shared) {
      Append(points, position(e.ver[0] == s ? e.ver[1] : e.ver[0]));
      Append(points, position(s));
      size_t j = pos + 1;
      for (; j < total; ++j) {
        const CEdge& g = *edges[j];
        if (s == g.ver[0]) s = g.ver[1];
        else if (s == g.ver[1]) s = g.ver[0];
        else break;
        Append(points, position(s));
      }
      if (tag.push != 0.0f) Displace(group, edges, pos, j - 1, points, tag.push, normals);
      pos = j;
    } else {
      Append(points, position(e.ver[0]));
      Append(points, position(e.ver[1]));
      pos += 1;
    }
    if (tag.useExclude) {
      ++count;
      if (!selection.Inside(count)) continue;
    }
    if (!SendPolyline(frame, points, tag.scale, records)) return false;
  }
}
