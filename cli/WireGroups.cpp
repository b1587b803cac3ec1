// Converting imported meshes into host child groups and received geometry into
// wire groups, and counting the facets the module drops. Each is linear in the
// group's vertices plus facet corners.
#include "cli/WireGroups.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <memory>

namespace cli {
namespace {

// The host's view of an imported mesh: each request assembles its vertex or
// facet from the mesh's columns, so the group holds no copy of them. The mesh
// no longer changes once it is a group: which columns it has is noted once.
class CImportedGeometry : public host::CGroupGeometry {
 public:
  explicit CImportedGeometry(const cliio::CImportedMesh& mesh)
      : CGroupGeometry(mesh.VertexCount(), mesh.FacetCount()),
        mMesh(mesh),
        mHasNormals(!mesh.normals.Empty()),
        mHasUvws(!mesh.uvws.Empty()),
        mHasColors(!mesh.colors.empty()) {}
  void GetVertex(size_t index, HostModelGetVertexRec* reply) const override {
    static constexpr double kZero[3] = {0, 0, 0};
    double values[3];
    mMesh.positions.Get(index, values);
    std::memcpy(reply->position, values, sizeof values);
    if (mHasNormals) {
      mMesh.normals.Get(index, values);
      std::memcpy(reply->vectorA, values, sizeof values);
    } else {
      std::memcpy(reply->vectorA, kZero, sizeof kZero);
    }
    std::memcpy(reply->vectorB, kZero, sizeof kZero);
    if (mHasUvws) {
      mMesh.uvws.Get(index, values);
      std::memcpy(reply->uvw, values, sizeof values);
    } else {
      std::memcpy(reply->uvw, kZero, sizeof kZero);
    }
    reply->color = mHasColors ? mMesh.colors[index] : cliio::kOpaqueWhiteWord;
  }
  void GetFacet(size_t index, HostModelGetFacetRec* reply) const override {
    const int32_t count = mMesh.CornerCount(index);
    reply->color = mMesh.FacetColor(index);
    reply->count = int16_t(count);
    for (int32_t k = 0; k < 4; ++k) reply->corners[k] = k < count ? mMesh.Corner(index, k) + 1 : 0;
  }

 private:
  const cliio::CImportedMesh& mMesh;
  const bool mHasNormals, mHasUvws, mHasColors;
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

namespace {

// The facets the module drops: fewer than three corners, or no more than two
// left once each corner at the same point as the next is removed.
// pointOf(vertex) gives a vertex's CCornerPoint.
template <typename PointOf>
int CountDropped(const cliio::CImportedMesh& mesh, PointOf pointOf) {
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
    for (int k = 0; k < count; ++k) corners[k] = pointOf(mesh.Corner(f, k));
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

}  // namespace

int DroppedFacets(const cliio::CImportedMesh& mesh) {
  // Positions stored as floats (STL, float PLY), held or left in their file,
  // are read as they are: the same floats the round trip through double
  // would give.
  if (mesh.positions.Single() && mesh.positions.RowsPerValue() == 1) {
    cliio::CSingleValueReader floats(mesh.positions);
    return CountDropped(mesh, [&floats](int32_t vertex) {
      const float* at = floats.At(size_t(vertex));
      return CCornerPoint{{at[0], at[1], at[2]}};
    });
  }
  return CountDropped(mesh, [&mesh](int32_t vertex) { return CornerPoint(mesh, vertex); });
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
  // A block's facets lie side by side: each block is looked up once.
  constexpr size_t kBlock = host::CBlockList<host::CReceivedFacet>::kBlockSize;
  for (size_t i = first, end = first + count; i < end;) {
    const size_t stop = std::min(end, (i / kBlock + 1) * kBlock);
    for (const host::CReceivedFacet* facet = &mReceived.facets[i]; i < stop; ++i, ++facet, ++out)
      *out = cliio::CWireSegment{facet->first, facet->second};
  }
}

const int32_t* CReceivedWires::SegmentRun(size_t first, size_t wanted, size_t* count, size_t* stride) const {
  using host::CReceivedFacet;
  static_assert(offsetof(CReceivedFacet, second) == offsetof(CReceivedFacet, first) + sizeof(int32_t) &&
                    sizeof(CReceivedFacet) % sizeof(int32_t) == 0,
                "a facet's ends are two int32s side by side, facets a whole number of int32s apart");
  constexpr size_t kBlock = host::CBlockList<CReceivedFacet>::kBlockSize;
  *count = std::min(wanted, kBlock - first % kBlock);
  *stride = sizeof(CReceivedFacet) / sizeof(int32_t);
  return &mReceived.facets[first].first;
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
