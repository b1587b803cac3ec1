// Host memory: refusals end the command with 1 and release everything, and no
// command keeps blocks it allocated.
#include <chrono>
#include <thread>

#include "tests/host/ModuleHarness.h"

namespace {

class MemoryTest : public ProtocolTest {
 protected:
  void SetUp() override {
    ProtocolTest::SetUp();
    host.AddGroup(TriangleGroup());
    host::CChildGroup quads;
    for (int k = 0; k < 8; ++k) {
      host::CHostVertex vertex;
      vertex.position = {double(k & 1), double((k >> 1) & 1), double(k >> 2)};
      quads.vertices.push_back(vertex);
    }
    quads.facets = {host::Facet({1, 2, 4, 3}), host::Facet({5, 6, 8, 7}), host::Facet({1, 2, 6, 5})};
    host.AddGroup(quads);
  }
};

TEST_F(MemoryTest, GenerationReleasesEverything) {
  ASSERT_EQ(host.Send(Selector::kGenerate), 0);
  EXPECT_GT(host.Memory().Allocations(), 0u) << "generation used no host memory";
  EXPECT_EQ(host.Memory().LiveBlocks(), 0u);
  EXPECT_CLEAN(host);
}

TEST_F(MemoryTest, NoMemoryAtAllGivesOne) {
  host.Faults().RefuseMemoryPast(0);
  EXPECT_EQ(host.Send(Selector::kGenerate), 1);
  EXPECT_EQ(host.Memory().LiveBlocks(), 0u);
  EXPECT_CLEAN(host);
}

// Refuses each allocation of a generation in turn: every one must end the
// command with 1, leaving nothing allocated and breaking no rule.
TEST_F(MemoryTest, EveryRefusalUnwindsCleanly) {
  ASSERT_EQ(host.Send(Selector::kGenerate), 0);
  size_t allocations = host.Memory().Allocations();
  ASSERT_GT(allocations, 0u);
  for (size_t n = 1; n <= allocations; ++n) {
    host.Faults().Clear();
    host.Faults().FailRequest(Request::kMemAlloc, int(n), 1);
    EXPECT_EQ(host.Send(Selector::kGenerate), 1) << "refusing allocation " << n;
    EXPECT_EQ(host.Memory().LiveBlocks(), 0u) << "refusing allocation " << n;
  }
  EXPECT_CLEAN(host);
}

// Reading 450 vertices reports progress after vertex 200 once the report
// interval (40 ticks) has passed; the hook makes sure it has.
TEST_F(MemoryTest, CancelAtFirstStatusStopsGeneration) {
  host::CChildGroup big;
  for (int k = 0; k < 450; ++k) {
    host::CHostVertex vertex;
    vertex.position = {double(k), double(k % 7), 0};
    big.vertices.push_back(vertex);
  }
  for (int k = 1; k + 2 <= 450; k += 3) big.facets.push_back(host::Facet({k, k + 1, k + 2}));
  host.AddGroup(big);
  host.onRequest = [&](uint32_t selector, void* record) {
    if (selector == Request::kGetVertex && static_cast<HostModelGetVertexRec*>(record)->index == 100)
      std::this_thread::sleep_for(std::chrono::milliseconds(800));
  };
  host.Faults().CancelStatus(1, 4);
  EXPECT_EQ(host.Send(Selector::kGenerate), 4);
  ASSERT_FALSE(host.StatusReports().empty());
  EXPECT_EQ(host.StatusReports()[0].answer, 4);
  EXPECT_EQ(host.StatusReports()[0].title, "Reading vertices");
  EXPECT_EQ(host.StatusReports()[0].maximum, 450);
  EXPECT_EQ(host.Memory().LiveBlocks(), 0u);
  EXPECT_FALSE(host.Received(2).deleted) << "the cancelled group's geometry was dropped";
}

}  // namespace
