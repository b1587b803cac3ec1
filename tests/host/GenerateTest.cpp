// 'GENM' through the host: the order of requests per group and what the
// group receives, and hostile facets the host reports as they are.
#include <algorithm>

#include "tests/host/ModuleHarness.h"

namespace {

class GenerateTest : public ProtocolTest {};

TEST_F(GenerateTest, TriangleBecomesOneRing) {
  host.AddGroup(TriangleGroup());
  host.EnableTrace(true);
  ASSERT_EQ(host.Send(Selector::kGenerate), 0);
  const host::CReceivedGeometry& wires = host.Received(0);
  EXPECT_TRUE(wires.deleted);
  EXPECT_EQ(wires.deleteCount, 1);
  ASSERT_EQ(wires.vertices.size(), 4u);
  ASSERT_EQ(wires.facets.size(), 3u);
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(wires.facets[size_t(k)].first, k);
    EXPECT_EQ(wires.facets[size_t(k)].second, k + 1);
  }
  // The ring closes on its first corner.
  EXPECT_EQ(wires.vertices[0].vertex.position.x, wires.vertices[3].vertex.position.x);
  EXPECT_EQ(wires.vertices[3].vertex.uvw.x, 1.0);

  std::vector<uint32_t> order;
  for (const host::CTraceEntry& entry : host.Trace())
    if (entry.selector != Request::kMemAlloc && entry.selector != Request::kMemFree &&
        entry.selector != Request::kStatus && entry.selector != Request::kAllocate &&
        entry.selector != Request::kCreator)
      order.push_back(entry.selector);
  ASSERT_GE(order.size(), 6u);
  EXPECT_EQ(order[0], Request::kGetGroup);
  EXPECT_EQ(order[1], Request::kGetVertex);
  auto drop = std::find(order.begin(), order.end(), Request::kDeleteGroup);
  ASSERT_NE(drop, order.end());
  EXPECT_EQ(std::count(order.begin(), drop, Request::kAddVertex), 0) << "geometry sent before 'DELG'";
}

TEST_F(GenerateTest, GroupsWithoutGeometryAreLeftAlone) {
  host.AddGroup(host::CChildGroup{});
  host::CChildGroup lines = TriangleGroup();
  lines.facets = {host::Facet({1, 2}), host::Facet({3})};
  host.AddGroup(lines);
  ASSERT_EQ(host.Send(Selector::kGenerate), 0);
  EXPECT_FALSE(host.Received(0).deleted);
  EXPECT_FALSE(host.Received(1).deleted);
  EXPECT_EQ(host.RequestCount(Request::kAddVertex), 0);
}

// Counts outside 1..4 and corner numbers outside the group: the module must
// neither crash nor read or send anything out of bounds.
TEST_F(GenerateTest, HostileFacetsAreSurvived) {
  host::CChildGroup group = TriangleGroup();
  for (int16_t count : {0, -1, 5, 300}) {
    host::CHostFacet facet = host::Facet({1, 2, 3, 1});
    facet.count = count;
    group.facets.push_back(facet);
  }
  group.facets.push_back(host::Facet({1, 2, 99}));
  group.facets.push_back(host::Facet({0, 1, 2}));
  group.facets.push_back(host::Facet({-3, 1, 2, 3}));
  host.AddGroup(group);
  host.Send(Selector::kGenerate);
  EXPECT_CLEAN(host);
  for (const host::CReceivedFacet& facet : host.Received(0).facets) {
    EXPECT_GE(facet.first, 0);
    EXPECT_GE(facet.second, 0);
  }
}

}  // namespace
