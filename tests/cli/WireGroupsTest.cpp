// The child group an imported mesh becomes: the attributes it claims and the
// vertices and facets it serves from the mesh's columns.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <vector>

#include "cli/MeshMeasures.h"
#include "cli/WireGroups.h"
#include "cli/io/MeshImport.h"
#include "tests/cliio/TestFiles.h"

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

// The same points with positions in floats (as STL and float PLY hold them)
// and in doubles: the facets the summary counts as dropped and the model's
// size come out the same either way.
CImportedMesh Measured(bool single) {
  CImportedMesh mesh;
  mesh.name = single ? "floats" : "doubles";
  mesh.positions.SetSingle(single);
  const double nan = std::nan("");
  const double points[7][3] = {{0, 0, 0}, {1, 0, 0},   {0, 1, 0}, {0.000005, 0, 0},
                               {1, 1, 0}, {nan, 0, 0}, {0.5, 0.5, -2}};
  for (const auto& p : points) mesh.positions.Add(p[0], p[1], p[2]);
  const std::vector<std::vector<int32_t>> facets = {
      {0, 1, 2},     // kept
      {0, 3, 1},     // two corners at one point: dropped
      {0, 3, 4, 4},  // two pairs: two corners left, dropped
      {0, 1, 4, 3},  // last corner at the first's: a triangle, kept
      {5, 0, 1},     // a NaN corner is at no point: kept
      {0, 1},        // a line: dropped
  };
  for (const auto& corners : facets) mesh.AddFacet(corners.data(), int32_t(corners.size()));
  return mesh;
}

TEST(ChildGroup, DroppedFacetsAndSizeAlikeForFloatAndDoublePositions) {
  for (bool single : {true, false}) {
    const CImportedMesh mesh = Measured(single);
    EXPECT_EQ(cli::DroppedFacets(mesh), 3) << mesh.name;
    // The NaN widens nothing: the box is 1 x 1 x 2.
    EXPECT_DOUBLE_EQ(cli::BoundingDiagonal(mesh), std::sqrt(6.0)) << mesh.name;
  }
  // A soup (corners in a run) with one triangle folded onto a point.
  CImportedMesh soup = Soup();
  EXPECT_EQ(cli::DroppedFacets(soup), 0);
  soup.positions.Set(1, 0, 0, 0.5);
  soup.positions.Set(2, 0, 0, 0.5);
  EXPECT_EQ(cli::DroppedFacets(soup), 1);
  EXPECT_DOUBLE_EQ(cli::BoundingDiagonal(soup), std::sqrt(1.0 + 4.0));
}

// A binary STL large enough that its positions stay in the file: the summary
// reads them a run at a time, and every run boundary must be seamless.
TEST(ChildGroup, DroppedFacetsAndSizeOfPositionsLeftInTheFile) {
  cliio_test::CScratchFolder folder;
  const std::filesystem::path file = folder.path() / "long.stl";
  const uint32_t facets = 20000;  // 60,000 corners: 14 runs of the reader
  {
    std::ofstream out(file, std::ios::binary);
    out << std::string(80, ' ');
    out.write(reinterpret_cast<const char*>(&facets), 4);
    for (uint32_t f = 0; f < facets; ++f) {
      const float x = float(f) * 0.5f;
      // Every 997th facet folded onto one point, the last one lifted to z 3.
      const bool folded = f % 997 == 0;
      const float z = f + 1 == facets ? 3.0f : 1.0f;
      const float values[12] = {0, 0, 1, x, 0, 0, folded ? x : x + 1, 0, 0, x, folded ? 0 : 2.0f, folded ? 0 : z};
      out.write(reinterpret_cast<const char*>(values), sizeof values);
      out.write("\0\0", 2);
    }
  }
  std::string error;
  std::vector<CImportedMesh> meshes = cliio::ImportMeshFile(file, &error);
  ASSERT_EQ(meshes.size(), 1u) << error;
  const CImportedMesh& mesh = meshes[0];
  ASSERT_EQ(mesh.positions.SingleValues(), nullptr) << "the positions were held, not left in the file";
  EXPECT_EQ(cli::DroppedFacets(mesh), int(facets / 997 + 1));
  // x from 0 to (facets - 1) / 2 + 1, y from 0 to 2, z from 0 to 3.
  const double width = double(facets - 1) * 0.5 + 1;
  EXPECT_DOUBLE_EQ(cli::BoundingDiagonal(mesh), std::sqrt(width * width + 4.0 + 9.0));
}

}  // namespace
