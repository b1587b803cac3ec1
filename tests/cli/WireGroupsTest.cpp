// The child group an imported mesh becomes: the attributes it claims and the
// vertices and facets it serves from the mesh's columns.
#include <gtest/gtest.h>

#include "cli/WireGroups.h"

namespace {

using cliio::CImportedMesh;
using cliio::CImportedVertex;
using cli::ChildGroupFor;

// Two facets of a soup, three corners each, with the file's facet normals.
CImportedMesh Soup() {
  CImportedMesh mesh;
  mesh.name = "soup";
  mesh.positions.SetSingle(true);
  mesh.normals.SetSingle(true);
  mesh.normals.SetRowsPerValue(3);
  const float normals[2][3] = {{0, 0, 1}, {0, 1, 0}};
  for (int f = 0; f < 2; ++f) {
    mesh.normals.AddFloats(normals[f]);
    for (int k = 0; k < 3; ++k) mesh.positions.Add(f, k, 0.5);
    const int32_t corners[3] = {3 * f, 3 * f + 1, 3 * f + 2};
    mesh.AddFacet(corners, 3);
  }
  return mesh;
}

TEST(ChildGroup, ClaimsOnlyTheAttributesTheMeshCarries) {
  CImportedMesh mesh = Soup();
  host::CChildGroup group = ChildGroupFor(mesh);
  EXPECT_EQ(group.flags, host::kGroupHasVectorA);  // normals, but no colour, uv or vectorB

  CImportedMesh plain;
  CImportedVertex vertex;
  plain.AddVertex(vertex);
  EXPECT_EQ(ChildGroupFor(plain).flags, 0u);

  vertex.argb[2] = 0x80;  // one vertex not opaque white
  vertex.uvw[0] = 0.25;
  plain.AddVertex(vertex);
  EXPECT_EQ(ChildGroupFor(plain).flags, host::kGroupHasColor | host::kGroupHasUV);
}

TEST(ChildGroup, ServesEachCornerWithItsFacetsNormal) {
  const CImportedMesh mesh = Soup();
  const host::CChildGroup group = ChildGroupFor(mesh);
  ASSERT_EQ(group.VertexCount(), 6u);
  ASSERT_EQ(group.FacetCount(), 2u);
  host::CHostVertex vertex;
  group.geometry->GetVertex(4, &vertex);
  EXPECT_EQ(vertex.position.x, 1);
  EXPECT_EQ(vertex.position.y, 1);
  EXPECT_EQ(vertex.vectorA.y, 1);
  EXPECT_EQ(vertex.vectorA.z, 0);
  EXPECT_EQ(vertex.color, cliio::kOpaqueWhiteWord);
  group.geometry->GetVertex(2, &vertex);
  EXPECT_EQ(vertex.vectorA.z, 1);
  host::CHostFacet facet;
  group.geometry->GetFacet(1, &facet);
  EXPECT_EQ(facet.count, 3);
  EXPECT_EQ(facet.corners[0], 4);  // 1-based
  EXPECT_EQ(facet.corners[2], 6);
  EXPECT_EQ(facet.corners[3], 0);
}

}  // namespace
