// The group's map bookkeeping: slots, and facet removal in step with the maps.
#include <gtest/gtest.h>

#include "mesh/Group.h"
#include "tests/mesh/MeshHost.h"
#include "tests/support/FakeTask.h"

TEST(GroupRecords, DeleteFacetsKeepsMapsInStep) {
  FakeTask task;
  {
    CGroup group(nullptr);
    CPosMap* map = group.AllocPMap(1, 4);
    ASSERT_NE(map, nullptr);
    ASSERT_EQ(group.posMaps.count, 2u);
    EXPECT_EQ(group.posMaps[0], nullptr);
    EXPECT_EQ(group.AllocPMap(1, 1000), map);
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
