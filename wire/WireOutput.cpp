// Sending wire geometry: a vertex is transformed by setup matrices 3 (point),
// 4 (direction) and 5 (point again) as a row vector with the translation row
// added, in double precision; a segment is a two-corner facet. One request
// each, constant time.
#include "wire/WireOutput.h"

#include <math.h>
#include <string.h>

#include "plugin/PluginTask.h"
#include "plugin/SetupBlock.h"

namespace {

constexpr uint32_t kWireColor = 0xFFFFFFFFu;  // all bits: unchanged in A, R, G, B order

void Transform(const Fxyz& v, const double m[16], double out[3]) {
  const double x = v.x, y = v.y, z = v.z;
  for (int c = 0; c < 3; ++c) out[c] = x * m[0 * 4 + c] + y * m[1 * 4 + c] + z * m[2 * 4 + c] + m[3 * 4 + c];
}

bool AllFinite(const double v[3]) { return isfinite(v[0]) && isfinite(v[1]) && isfinite(v[2]); }

}  // namespace

bool IsFinite(const Fxyz& v) { return isfinite(v.x) && isfinite(v.y) && isfinite(v.z); }

bool OutVer(const Fxyz& point, const Fxyz& direction, float t, int* index) {
  HostAddVertexRec rec;
  memset(&rec, 0, sizeof rec);
  rec.hostContext = CurrentHostContext();
  // Identity until the first 'SETM'; a stored setup is left alone.
  theModelSetup.Init(nullptr);
  const auto& matrices = theModelSetup.setup.matrices;
  Transform(point, matrices[3], rec.position);
  rec.color = kWireColor;
  Transform(direction, matrices[4], rec.vectorA);
  Transform(point, matrices[5], rec.vectorB);
  rec.uvw[0] = t;
  rec.uvw[1] = 0.0;
  rec.uvw[2] = 0.0;
  // Settings or matrices large enough to overflow would hand the host
  // infinities; that is refused as an unsupported setting, not sent.
  if (!AllFinite(rec.position) || !AllFinite(rec.vectorA) || !AllFinite(rec.vectorB) || !isfinite(t)) {
    plug->Fail(kResultNotSupported);
    return false;
  }
  if (!Run_Host(Request::kAddVertex, sizeof rec, &rec)) return false;
  *index = rec.vertexIndex;
  return true;
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
