// The records and the group's bookkeeping: construction, map slots, corner
// removal, edge order and facet removal in step with the maps.
#include <gtest/gtest.h>

#include "mesh/Group.h"
#include "tests/mesh/MeshHost.h"
#include "tests/support/FakeTask.h"

TEST(GroupRecords, GroupWithoutRecordIsEmptyWithIdentityMatrices) {
  FakeTask task;
  {
    CGroup group(nullptr);
    EXPECT_EQ(group.info.hostContext, task.HostContext());
    EXPECT_EQ(group.info.vertexCount, 0);
    EXPECT_EQ(group.info.facetCount, 0);
    EXPECT_EQ(group.info.index, 0);
    for (int k = 0; k < 16; ++k) {
      const double expected = (k % 5 == 0) ? 1.0 : 0.0;
      EXPECT_EQ(group.info.matrix1[k], expected);
      EXPECT_EQ(group.info.matrix3[k], expected);
    }
    EXPECT_FALSE(group.hasUVFrame);
    EXPECT_EQ(group.facets.count + group.vertices.count + group.edges.count, 0u);
  }
  EXPECT_EQ(task.Allocations(), 0u);
}

TEST(GroupRecords, AllocPMapFillsSlotsAndReusesAMap) {
  FakeTask task;
  {
    CGroup group(nullptr);
    CPosMap* map = group.AllocPMap(3, 5);
    ASSERT_NE(map, nullptr);
    ASSERT_EQ(group.posMaps.count, 4u);
    EXPECT_EQ(group.posMaps[0], nullptr);
    EXPECT_EQ(group.posMaps[2], nullptr);
    EXPECT_EQ(map->points.capacity, 16u);
    EXPECT_EQ(map->points.count, 0u);
    EXPECT_EQ(group.AllocPMap(3, 1000), map);
    EXPECT_EQ(map->points.capacity, 16u);
  }
  EXPECT_EQ(task.LiveBlocks(), 0u);
}

TEST(GroupRecords, DeleteVerAndEdgeOperations) {
  CFacet tri{};
  tri.count = 3;
  tri.vert[0] = 7, tri.vert[1] = 8, tri.vert[2] = 9;
  tri.DeleteVer(3);
  tri.DeleteVer(4);
  EXPECT_EQ(tri.count, 3);
  tri.DeleteVer(0);
  EXPECT_EQ(tri.count, 2);
  EXPECT_EQ(tri.vert[0], 8);
  EXPECT_EQ(tri.vert[1], 9);

  auto edge = [](int a, int b) {
    CEdge e{};
    e.ver[0] = a, e.ver[1] = b;
    return e;
  };
  EXPECT_EQ(edge(5, 2).Compare(edge(2, 5)), 0);
  EXPECT_EQ(edge(1, 9).Compare(edge(2, 3)), -1);
  EXPECT_EQ(edge(2, 4).Compare(edge(2, 3)), 1);

  CEdge e = edge(0, 1);
  e.fac[0] = e.fac[1] = -1;
  e.SetFac(4);
  e.SetFac(6);
  e.SetFac(8);
  EXPECT_EQ(e.fac[0], 4);
  EXPECT_EQ(e.fac[1], 6);
}

TEST(GroupRecords, FacetFromHostRecordIsZeroBased) {
  HostModelGetFacetRec rec{};
  rec.count = 3;
  rec.color = 0x11223344u;
  rec.corners[0] = 1, rec.corners[1] = 5, rec.corners[2] = 2;
  CFacet f{};
  f.flags = kFlagDelete;
  f.edge[0] = 42;
  f = rec;
  EXPECT_EQ(f.flags, 0u);
  EXPECT_EQ(f.count, 3);
  EXPECT_EQ(f.vert[0], 0);
  EXPECT_EQ(f.vert[1], 4);
  EXPECT_EQ(f.vert[2], 1);
  EXPECT_EQ(f.color, 0x11223344u);
  EXPECT_EQ(f.edge[0], 42);
}

TEST(GroupRecords, DeleteFacetsKeepsMapsInStep) {
  FakeTask task;
  {
    CGroup group(nullptr);
    CPosMap* map = group.AllocPMap(1, 4);
    ASSERT_NE(map, nullptr);
    for (int i = 0; i < 5; ++i) {
      PutFacet(group, {i, i + 1, i + 2});
      CFaceMap* entry = map->facets.ElemNew();
      ASSERT_NE(entry, nullptr);
      entry->count = 3;
      entry->idx[0] = 100 + i;
    }
    group.DeleteFacets();
    EXPECT_EQ(group.facets.count, 5u);
    EXPECT_EQ(map->facets.count, 5u);

    group.facets[1].flags = kFlagDelete;
    group.facets[3].flags = kFlagDelete;
    group.DeleteFacets();
    ASSERT_EQ(group.facets.count, 3u);
    ASSERT_EQ(map->facets.count, 3u);
    const int kept[] = {0, 2, 4};
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(group.facets[i].vert[0], kept[i]);
      EXPECT_EQ(map->facets[i].idx[0], 100 + kept[i]);
    }

    CFaceMap replacement{2, {9, 8, 0, 0}};
    group.UpdateMapFacet(1, replacement);
    group.UpdateMapFacet(3, replacement);  // past the list: ignored
    EXPECT_EQ(map->facets[1].count, 2);
    EXPECT_EQ(map->facets[1].idx[1], 8);
  }
  EXPECT_EQ(task.LiveBlocks(), 0u);
}

TEST(GroupRecords, MapBoundsAndDeepCopy) {
  FakeTask task;
  {
    CGroup group(nullptr);
    CPosMap* map = group.AllocPMap(0, 0);
    ASSERT_NE(map, nullptr);
    Fxyz bounds[2];
    map->GetBounds(bounds);
    EXPECT_EQ(bounds[0].x, 0.0f);
    EXPECT_EQ(bounds[1].z, 0.0f);
    *map->points.ElemNew() = Fxyz{1, -2, 3};
    map->GetBounds(bounds);
    EXPECT_EQ(bounds[0].y, -2.0f);
    EXPECT_EQ(bounds[1].y, -2.0f);
    *map->points.ElemNew() = Fxyz{-1, 5, 3};
    map->GetBounds(bounds);
    EXPECT_EQ(bounds[0].x, -1.0f);
    EXPECT_EQ(bounds[1].x, 1.0f);
    EXPECT_EQ(bounds[1].y, 5.0f);

    CPosMap* copy = group.AllocPMap(2, 0);
    ASSERT_NE(copy, nullptr);
    *copy = *map;
    ASSERT_EQ(copy->points.count, 2u);
    EXPECT_NE(copy->points.items, map->points.items);
    EXPECT_EQ(copy->points[1].y, 5.0f);
  }
  EXPECT_EQ(task.LiveBlocks(), 0u);
}
