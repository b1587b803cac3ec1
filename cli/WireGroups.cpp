// Converting imported meshes into host child groups and received geometry into
// wire groups, and counting the facets the module drops. Each is linear in the
// group's vertices plus facet corners.
#include "cli/WireGroups.h"

#include <cmath>
#include <memory>

namespace cli {
namespace {

// The host's view of an imported mesh: each request assembles its vertex or
// facet from the mesh's columns, so the group holds no copy of them.
class CImportedGeometry : public host::CGroupGeometry {
 public:
  explicit CImportedGeometry(const cliio::CImportedMesh& mesh) : mMesh(mesh) {}
  size_t VertexCount() const override { return mMesh.VertexCount(); }
  size_t FacetCount() const override { return mMesh.FacetCount(); }
  void GetVertex(size_t index, host::CHostVertex* vertex) const override {
    double values[3];
    mMesh.positions.Get(index, values);
    vertex->position = host::CVec3{values[0], values[1], values[2]};
    if (!mMesh.normals.Empty()) {
      mMesh.normals.Get(index, values);
      vertex->vectorA = host::CVec3{values[0], values[1], values[2]};
    }
    if (!mMesh.uvws.Empty()) {
      mMesh.uvws.Get(index, values);
      vertex->uvw = host::CVec3{values[0], values[1], values[2]};
    }
    vertex->color = mMesh.colors.empty() ? cliio::kOpaqueWhiteWord : mMesh.colors[index];
  }
  void GetFacet(size_t index, host::CHostFacet* facet) const override {
    const int32_t count = mMesh.CornerCount(index);
    facet->color = mMesh.FacetColor(index);
    facet->count = int16_t(count);
    for (int32_t k = 0; k < count && k < 4; ++k) facet->corners[k] = mMesh.Corner(index, k) + 1;
  }

 private:
  const cliio::CImportedMesh& mMesh;
};

// A corner's position as the module holds it: single precision.
struct CCornerPoint {
  float xyz[3];
};

CCornerPoint CornerPoint(const cliio::CImportedMesh& mesh, int32_t vertex) {
  double at[3];
  mesh.Position(size_t(vertex), at);
  return CCornerPoint{{float(at[0]), float(at[1]), float(at[2])}};
}

// The module's notion of two corners at one place: float differences under
// 1e-5 on every axis; a NaN difference is never under it.
bool SamePoint(const CCornerPoint& a, const CCornerPoint& b) {
  for (int axis = 0; axis < 3; ++axis)
    if (!(std::fabs(a.xyz[axis] - b.xyz[axis]) < 1e-5)) return false;
  return true;
}

}  // namespace

host::CChildGroup ChildGroupFor(const cliio::CImportedMesh& mesh) {
  host::CChildGroup group;
  group.flags = 0;
  if (!mesh.colors.empty()) group.flags |= host::kGroupHasColor;
  if (mesh.normals.AnyNonZero()) group.flags |= host::kGroupHasVectorA;
  if (mesh.uvws.AnyNonZero()) group.flags |= host::kGroupHasUV;
  group.geometry = std::make_shared<CImportedGeometry>(mesh);
  return group;
}

int DroppedFacets(const cliio::CImportedMesh& mesh) {
  int dropped = 0;
  for (size_t f = 0; f < mesh.FacetCount(); ++f) {
    const int32_t facetCount = mesh.CornerCount(f);
    if (facetCount < 3) {
      ++dropped;
      continue;
    }
    // Each corner's position is read once; removing a corner moves the later
    // positions down with it.
    CCornerPoint corners[4];
    int count = facetCount > 4 ? 4 : facetCount;
    for (int k = 0; k < count; ++k) corners[k] = CornerPoint(mesh, mesh.Corner(f, k));
    int k = 0;
    while (k < count && count > 1) {
      if (!SamePoint(corners[k], corners[(k + 1) % count])) {
        ++k;
        continue;
      }
      for (int later = k; later + 1 < count; ++later) corners[later] = corners[later + 1];
      --count;
    }
    if (count <= 2) ++dropped;
  }
  return dropped;
}

cliio::CWireVertex CReceivedWires::Vertex(size_t index) const {
  cliio::CWireVertex vertex;
  const host::CVec3 position = mReceived.vertices.Position(index);
  vertex.position[0] = position.x;
  vertex.position[1] = position.y;
  vertex.position[2] = position.z;
  vertex.u = mReceived.vertices.U(index);
  return vertex;
}

void CReceivedWires::Vertices(size_t first, size_t count, cliio::CWireVertex* out) const {
  mReceived.vertices.ForEachPoint(first, count, [&out](const host::CVec3& position, double u) {
    out->position[0] = position.x;
    out->position[1] = position.y;
    out->position[2] = position.z;
    out->u = u;
    ++out;
  });
}

void CReceivedWires::Segments(size_t first, size_t count, cliio::CWireSegment* out) const {
  for (size_t k = 0; k < count; ++k) {
    const host::CReceivedFacet& facet = mReceived.facets[first + k];
    out[k] = cliio::CWireSegment{facet.first, facet.second};
  }
}

cliio::CWireGroup WiresOf(const std::string& name, const host::CReceivedGeometry& received) {
  const CReceivedWires view(name, received);
  cliio::CWireGroup wires;
  wires.name = name;
  wires.vertices.resize(view.VertexCount());
  view.Vertices(0, wires.vertices.size(), wires.vertices.data());
  wires.segments.resize(view.SegmentCount());
  view.Segments(0, wires.segments.size(), wires.segments.data());
  return wires;
}

}  // namespace cli
