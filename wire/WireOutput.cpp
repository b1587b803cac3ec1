// Sending wire geometry: a vertex is transformed by setup matrices 3 (point),
// 4 (direction) and 5 (point again) as a row vector with the translation row
// added, in double precision; a segment is a two-corner facet. One request
// each, constant time; the matrices are copied out of the setup once per
// output pass (CWireFrame), not once per vertex.
#include "wire/WireOutput.h"

#include <math.h>
#include <string.h>

#include "plugin/PluginTask.h"
#include "plugin/SetupBlock.h"

namespace {

constexpr uint32_t kWireColor = 0xFFFFFFFFu;  // all bits: unchanged in A, R, G, B order

// out may be a field of a packed host record, so it is written with memcpy.
void Transform(const Fxyz& v, const double m[16], void* out) {
  const double x = v.x, y = v.y, z = v.z;
  double result[3];
  for (int c = 0; c < 3; ++c) result[c] = x * m[0 * 4 + c] + y * m[1 * 4 + c] + z * m[2 * 4 + c] + m[3 * 4 + c];
  memcpy(out, result, sizeof result);
}

// The identity as the setup holds it: 1 on the diagonal, +0 elsewhere.
bool IsIdentity(const double m[16]) {
  double identity[16] = {};
  for (int i = 0; i < 4; ++i) identity[i * 5] = 1.0;
  return memcmp(m, identity, sizeof identity) == 0;
}

// Transform under the identity, for finite v: x * 1 + y * 0 + z * 0 + 0 is x,
// except that a zero comes out +0 whatever its sign (the sum ends with +0).
void Widen(const Fxyz& v, void* out) {
  const double result[3] = {double(v.x) + 0.0, double(v.y) + 0.0, double(v.z) + 0.0};
  memcpy(out, result, sizeof result);
}

bool AllFinite(const void* field) {
  double v[3];
  memcpy(v, field, sizeof v);
  return isfinite(v[0]) && isfinite(v[1]) && isfinite(v[2]);
}

}  // namespace

CWireFrame::CWireFrame() {
  // Identity until the first 'SETM'; a stored setup is left alone. The setup
  // record is packed: the matrices are copied out before use.
  theModelSetup.Init(nullptr);
  memcpy(point_, theModelSetup.setup.matrices[3], sizeof point_);
  memcpy(direction_, theModelSetup.setup.matrices[4], sizeof direction_);
  memcpy(pointB_, theModelSetup.setup.matrices[5], sizeof pointB_);
  identity_ = IsIdentity(point_) && IsIdentity(direction_) && IsIdentity(pointB_);
}

bool CWireFrame::Prepare(const Fxyz& point, const Fxyz& direction, float t, HostAddVertexRec& rec) const {
  memset(&rec, 0, sizeof rec);
  rec.hostContext = CurrentHostContext();
  rec.color = kWireColor;
  rec.uvw[0] = t;
  rec.uvw[1] = 0.0;
  rec.uvw[2] = 0.0;
  if (identity_ && IsFinite(point) && IsFinite(direction) && isfinite(t)) {
    // Finite in, finite out: nothing left to check.
    Widen(point, rec.position);
    Widen(direction, rec.vectorA);
    memcpy(rec.vectorB, rec.position, sizeof rec.vectorB);
    return true;
  }
  Transform(point, point_, rec.position);
  Transform(direction, direction_, rec.vectorA);
  Transform(point, pointB_, rec.vectorB);
  return AllFinite(rec.position) && AllFinite(rec.vectorA) && AllFinite(rec.vectorB) && isfinite(t);
}

bool CWireFrame::Send(HostAddVertexRec& rec, int* index) {
  if (!Run_Host(Request::kAddVertex, sizeof rec, &rec)) return false;
  *index = rec.vertexIndex;
  return true;
}

bool VertexFits(const Fxyz& point, const Fxyz& direction) {
  HostAddVertexRec rec;
  return CWireFrame().Prepare(point, direction, 0.0f, rec);
}

bool OutVer(const Fxyz& point, const Fxyz& direction, float t, int* index) {
  HostAddVertexRec rec;
  // Never hand the host a non-finite number. The outputs leave out every wire
  // that would carry one, so this is only a last guard.
  if (!CWireFrame().Prepare(point, direction, t, rec)) {
    plug->Fail(kResultNotSupported);
    return false;
  }
  return CWireFrame::Send(rec, index);
}

bool OutLine(int a, int b) {
  HostAddFacetRec rec;
  memset(&rec, 0, sizeof rec);
  rec.hostContext = CurrentHostContext();
  rec.color = kWireColor;
  rec.corners = 2;
  rec.vert[0] = a;
  rec.vert[1] = b;
  rec.vert[2] = 0;
  rec.vert[3] = 0;
  return Run_Host(Request::kAddFacet, sizeof rec, &rec);
}
