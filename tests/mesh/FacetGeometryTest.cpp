// ChkPlanar's corner and facet removal at the tolerance boundary, normals of
// both windings and of non-planar quads, and centres.
#include <math.h>

#include <gtest/gtest.h>

#include "mesh/Group.h"
#include "tests/mesh/MeshHost.h"
#include "tests/support/FakeTask.h"

namespace {

void ExpectPoint(const Fxyz& p, float x, float y, float z) {
  EXPECT_NEAR(p.x, x, 1e-6);
  EXPECT_NEAR(p.y, y, 1e-6);
  EXPECT_NEAR(p.z, z, 1e-6);
}

}  // namespace

TEST(FacetGeometry, ChkPlanarRemovesRepeatedCornersAndCollapsedFacets) {
  FakeTask task;
  {
    CGroup group(nullptr);
    PutVertex(group, 0, 0, 0);              // 0 A
    PutVertex(group, 1, 0, 0);              // 1 B
    PutVertex(group, 1, 0.000005f, 0);      // 2 B', near B
    PutVertex(group, 0, 1, 0);              // 3 C
    PutVertex(group, 0.000001f, 0, 0);      // 4 A', near A
    PutVertex(group, 0, 0, 0);              // 5 another A
    PutFacet(group, {0, 1, 2, 3});          // quad (A, B, B', C)
    PutFacet(group, {0, 4, 1});             // triangle (A, A', B)
    PutFacet(group, {0, 5, 4, 0});          // four coincident corners
    PutFacet(group, {1, 2});                // a short line: shortened, never deleted
    CPosMap* map = group.AllocPMap(0, 0);
    ASSERT_NE(map, nullptr);
    for (size_t f = 0; f < group.facets.count; ++f) *map->facets.ElemNew() = group.facets[f].Corners();

    EXPECT_EQ(group.ChkPlanar(), 2);
    ASSERT_EQ(group.facets.count, 2u);
    const CFacet& quad = group.facets[0];
    ASSERT_EQ(quad.count, 3);
    EXPECT_EQ(quad.vert[0], 0);
    EXPECT_EQ(quad.vert[1], 2);  // of B and B' the second stays
    EXPECT_EQ(quad.vert[2], 3);
    EXPECT_EQ(group.facets[1].count, 1);
    ASSERT_EQ(map->facets.count, 2u);
    EXPECT_EQ(map->facets[0].count, 3);
    EXPECT_EQ(map->facets[0].idx[1], 2);
    EXPECT_EQ(map->facets[1].count, 1);
  }
  EXPECT_EQ(task.LiveBlocks(), 0u);
}

TEST(FacetGeometry, ChkPlanarToleranceBoundaryAndNaN) {
  FakeTask task;
  {
    CGroup group(nullptr);
    PutVertex(group, 0, 0, 0);
    PutVertex(group, 0.0000101f, 0, 0);
    PutVertex(group, 0, 1, 0);
    PutVertex(group, 0.0000099f, 1, 0);
    PutVertex(group, NAN, 0, 0);
    PutVertex(group, NAN, 0, 0);
    PutVertex(group, 0, 0, 1);
    PutFacet(group, {0, 1, 2});  // 0.0000101 apart: both stay
    PutFacet(group, {2, 3, 0});  // 0.0000099 apart: the first goes
    PutFacet(group, {4, 5, 6});  // NaN is never near
    EXPECT_EQ(group.ChkPlanar(), 1);
    ASSERT_EQ(group.facets.count, 2u);
    EXPECT_EQ(group.facets[0].count, 3);
    EXPECT_EQ(group.facets[1].count, 3);
    EXPECT_EQ(group.facets[1].vert[0], 4);
  }
  EXPECT_EQ(task.LiveBlocks(), 0u);
}

TEST(FacetGeometry, NormalsAndCentres) {
  FakeTask task;
  CGroup group(nullptr);
  PutVertex(group, 0, 0, 0);
  PutVertex(group, 1, 0, 0);
  PutVertex(group, 1, 1, 0);
  PutVertex(group, 0, 1, 0);
  PutVertex(group, 1, 1, 1);  // lifts the quad's third corner
  PutFacet(group, {0, 1, 3});
  PutFacet(group, {0, 3, 1});
  PutFacet(group, {0, 1, 2, 3});
  PutFacet(group, {0, 1, 4, 3});
  PutFacet(group, {0, 1});

  Fxyz n, c;
  group.FacNrml(0, n);
  ExpectPoint(n, 0, 0, 1);
  ExpectPoint(group.FacCntr(0, c), 1.0f / 3, 1.0f / 3, 0);
  group.FacNrml(1, n);
  ExpectPoint(n, 0, 0, -1);
  group.FacNrml(2, n);
  ExpectPoint(n, 0, 0, 1);
  ExpectPoint(group.FacCntr(2, c), 0.5f, 0.5f, 0);

  // Normalised sum of the normals of triangles (0, 1, 4) and (0, 4, 3).
  const float r = 1.0f / sqrtf(2.0f);
  Fxyz first{-r, 0, r}, second{0, -r, r};
  Fxyz sum{first.x + second.x, first.y + second.y, first.z + second.z};
  sum.Nor();
  group.FacNrml(3, n);
  ExpectPoint(n, sum.x, sum.y, sum.z);

  group.FacNrml(4, n);
  ExpectPoint(n, 0, 0, -1);
}
