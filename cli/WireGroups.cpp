// Converting imported meshes into host child groups and received geometry into
// wire groups, and counting the facets the module drops. Each is linear in the
// group's vertices plus facet corners.
#include "cli/WireGroups.h"

#include <cmath>
#include <cstring>

namespace cli {
namespace {

uint32_t ColorWord(const uint8_t (&argb)[4]) {
  uint32_t word;
  std::memcpy(&word, argb, sizeof word);
  return word;
}

host::CVec3 Vec(const double (&v)[3]) { return host::CVec3{v[0], v[1], v[2]}; }

bool NonZero(const double (&v)[3]) { return v[0] != 0 || v[1] != 0 || v[2] != 0; }

// The module's notion of two corners at one place: float differences under
// 1e-5 on every axis; a NaN difference is never under it.
bool SamePoint(const cliio::CImportedVertex& p, const cliio::CImportedVertex& q) {
  for (int axis = 0; axis < 3; ++axis)
    if (!(std::fabs(float(p.position[axis]) - float(q.position[axis])) < 1e-5)) return false;
  return true;
}

}  // namespace

host::CChildGroup ChildGroupFor(const cliio::CImportedMesh& mesh) {
  host::CChildGroup group;
  group.flags = host::kGroupHasColor;
  group.vertices.reserve(mesh.vertices.size());
  for (const cliio::CImportedVertex& source : mesh.vertices) {
    host::CHostVertex vertex;
    vertex.color = ColorWord(source.argb);
    vertex.vectorA = Vec(source.normal);
    vertex.position = Vec(source.position);
    vertex.uvw = Vec(source.uvw);
    if (NonZero(source.normal)) group.flags |= host::kGroupHasVectorA;
    if (NonZero(source.uvw)) group.flags |= host::kGroupHasUV;
    group.vertices.push_back(vertex);
  }
  group.facets.reserve(mesh.facets.size());
  for (const cliio::CImportedFacet& source : mesh.facets) {
    host::CHostFacet facet;
    facet.color = ColorWord(source.argb);
    facet.count = int16_t(source.count);
    for (int k = 0; k < source.count && k < 4; ++k) facet.corners[k] = source.corners[k] + 1;
    group.facets.push_back(facet);
  }
  return group;
}

int DroppedFacets(const cliio::CImportedMesh& mesh) {
  int dropped = 0;
  for (const cliio::CImportedFacet& facet : mesh.facets) {
    if (facet.count < 3) {
      ++dropped;
      continue;
    }
    int corners[4];
    int count = facet.count > 4 ? 4 : facet.count;
    std::memcpy(corners, facet.corners, sizeof corners);
    int k = 0;
    while (k < count && count > 1) {
      if (!SamePoint(mesh.vertices[size_t(corners[k])], mesh.vertices[size_t(corners[(k + 1) % count])])) {
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

cliio::CWireGroup WiresOf(const std::string& name, const host::CReceivedGeometry& received) {
  cliio::CWireGroup wires;
  wires.name = name;
  if (!received.deleted) return wires;
  const host::CReceivedVertices& vertices = received.vertices;
  wires.vertices.resize(vertices.size());
  for (size_t i = 0; i < vertices.size(); ++i) {
    const host::CVec3 position = vertices.Position(i);
    cliio::CWireVertex& vertex = wires.vertices[i];
    vertex.position[0] = position.x;
    vertex.position[1] = position.y;
    vertex.position[2] = position.z;
    vertex.u = vertices.U(i);
  }
  wires.segments.reserve(received.facets.size());
  for (const host::CReceivedFacet& facet : received.facets)
    wires.segments.push_back(cliio::CWireSegment{facet.first, facet.second});
  return wires;
}

}  // namespace cli
