// The child group an imported mesh becomes: the attributes it claims and the
// vertices and facets it serves from the mesh's columns.
#include <gtest/gtest.h>

#include <cstring>

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

// The module reuses one record for all its requests: every reply field is
// written, whatever the previous reply (here: garbage) left in it.
TEST(ChildGroup, ServesEachCornerWithItsFacetsNormalIntoEveryReplyField) {
  const CImportedMesh mesh = Soup();
  const host::CChildGroup group = ChildGroupFor(mesh);
  ASSERT_EQ(group.VertexCount(), 6u);
  ASSERT_EQ(group.FacetCount(), 2u);
  HostModelGetVertexRec vertex;
  std::memset(&vertex, 0xA5, sizeof vertex);
  group.geometry->GetVertex(4, &vertex);
  EXPECT_EQ(vertex.position[0], 1);
  EXPECT_EQ(vertex.position[1], 1);
  EXPECT_EQ(vertex.position[2], 0.5);
  EXPECT_EQ(vertex.vectorA[1], 1);
  EXPECT_EQ(vertex.vectorA[2], 0);
  for (int axis = 0; axis < 3; ++axis) {
    EXPECT_EQ(vertex.vectorB[axis], 0);
    EXPECT_EQ(vertex.uvw[axis], 0);
  }
  EXPECT_EQ(vertex.color, cliio::kOpaqueWhiteWord);
  group.geometry->GetVertex(2, &vertex);
  EXPECT_EQ(vertex.vectorA[2], 1);
  EXPECT_EQ(vertex.position[0], 0);
  EXPECT_EQ(vertex.position[1], 2);

  HostModelGetFacetRec facet;
  std::memset(&facet, 0xA5, sizeof facet);
  group.geometry->GetFacet(1, &facet);
  EXPECT_EQ(facet.count, 3);
  EXPECT_EQ(facet.corners[0], 4);  // 1-based
  EXPECT_EQ(facet.corners[2], 6);
  EXPECT_EQ(facet.corners[3], 0);
  EXPECT_EQ(facet.color, cliio::kOpaqueWhiteWord);
}

// A mesh with colours and uvw: each vertex gets its own, and a facet of two
// corners (a line) has zeros past them.
TEST(ChildGroup, ServesColoursUvwAndShortFacets) {
  CImportedMesh mesh;
  mesh.name = "lines";
  for (int v = 0; v < 3; ++v) {
    CImportedVertex vertex;
    vertex.position[0] = v;
    vertex.uvw[0] = 0.25 * v;
    vertex.argb[1] = uint8_t(0x10 * v);
    mesh.AddVertex(vertex);
  }
  const int32_t line[2] = {2, 0};
  mesh.AddFacet(line, 2, 0x01020304u);
  const host::CChildGroup group = ChildGroupFor(mesh);
  HostModelGetVertexRec vertex;
  std::memset(&vertex, 0xA5, sizeof vertex);
  group.geometry->GetVertex(2, &vertex);
  EXPECT_EQ(vertex.uvw[0], 0.5);
  const uint8_t argb[4] = {0xFF, 0x20, 0xFF, 0xFF};
  EXPECT_EQ(vertex.color, cliio::ColorWord(argb));
  for (int axis = 0; axis < 3; ++axis) EXPECT_EQ(vertex.vectorA[axis], 0);

  HostModelGetFacetRec facet;
  std::memset(&facet, 0xA5, sizeof facet);
  group.geometry->GetFacet(0, &facet);
  EXPECT_EQ(facet.count, 2);
  EXPECT_EQ(facet.corners[0], 3);
  EXPECT_EQ(facet.corners[1], 1);
  EXPECT_EQ(facet.corners[2], 0);
  EXPECT_EQ(facet.corners[3], 0);
  EXPECT_EQ(facet.color, 0x01020304u);
}

}  // namespace
