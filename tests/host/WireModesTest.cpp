// 'GENM' in each mode on the groups of the bundled example, with the settings
// restored into the instance data block as a host loads a scene, and the
// channels' keys driving push through 'LCHN'.
#include <cstring>

#include "tests/host/ModuleHarness.h"

namespace {

void PutWord(std::vector<uint8_t>* out, uint32_t word) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(uint8_t(word >> shift));
}

uint32_t FloatBits(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// The stored stream (big-endian) after a tag slot of `slot` null bytes.
std::vector<uint8_t> StoredBlock(int32_t mode, float push, float scale, const std::string& selection = "",
                                 size_t slot = sizeof(void*)) {
  std::vector<uint8_t> block(slot, 0);
  PutWord(&block, 0x57495245u);
  PutWord(&block, 0x00010000u);
  PutWord(&block, uint32_t(mode));
  PutWord(&block, FloatBits(push));
  PutWord(&block, FloatBits(scale));
  PutWord(&block, selection.empty() ? 0 : 1);
  PutWord(&block, uint32_t(selection.size()));
  block.insert(block.end(), selection.begin(), selection.end());
  return block;
}

std::vector<uint8_t> StreamOf(const std::vector<uint8_t>& block) {
  return std::vector<uint8_t>(block.begin() + std::ptrdiff_t(sizeof(void*)), block.end());
}

host::CChildGroup Group(const std::vector<host::CVec3>& positions, const std::vector<std::vector<int32_t>>& facets) {
  host::CChildGroup group;
  group.flags = host::kGroupHasColor;
  for (const host::CVec3& position : positions) {
    host::CHostVertex vertex;
    vertex.position = position;
    group.vertices.push_back(vertex);
  }
  for (const auto& corners : facets) {
    host::CHostFacet facet;
    facet.count = int16_t(corners.size());
    for (size_t k = 0; k < corners.size(); ++k) facet.corners[k] = corners[k];
    group.facets.push_back(facet);
  }
  return group;
}

// The three groups of examples/example.obj: an open 3x2 grid, a box without
// its top, two quads touching along coincident but separate vertices.
void AddExampleGroups(host::CHost& host) {
  std::vector<host::CVec3> grid;
  for (int y = 0; y <= 2; ++y)
    for (int x = 0; x <= 3; ++x) grid.push_back({double(x), double(y), 0});
  host.AddGroup(Group(grid, {{1, 2, 6, 5}, {2, 3, 7, 6}, {3, 4, 8, 7}, {5, 6, 10, 9}, {6, 7, 11, 10}, {7, 8, 12, 11}}));
  host.AddGroup(Group({{4, 0, 0}, {5, 0, 0}, {5, 1, 0}, {4, 1, 0}, {4, 0, 1}, {5, 0, 1}, {5, 1, 1}, {4, 1, 1}},
                      {{1, 4, 3, 2}, {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 4, 8, 7}, {4, 1, 5, 8}}));
  host.AddGroup(Group({{6, 0, 0}, {7, 0, 0}, {7, 1, 0}, {6, 1, 0}, {7, 0, 0}, {7, 1, 0}, {8, 1, 0}, {8, 0, 0}},
                      {{1, 2, 3, 4}, {5, 8, 7, 6}}));
}

class WireModesTest : public ProtocolTest {};

TEST_F(WireModesTest, EachModeOnTheExampleGroups) {
  // Segments per group: mode 0 every facet's ring, mode 1 the border chains as
  // read, mode 2 after merging (the touching quads share their middle edge).
  const size_t expected[3][3] = {{24, 20, 8}, {10, 4, 8}, {10, 4, 6}};
  // A host of its own per mode: one loaded copy of the module at a time.
  host.UnloadModule();
  for (int32_t mode = 0; mode <= 2; ++mode) {
    SCOPED_TRACE("mode " + std::to_string(mode));
    host::CHost fresh;
    std::string error;
    ASSERT_TRUE(fresh.LoadModule(ModuleUnderTest(), &error)) << error;
    AddExampleGroups(fresh);
    const std::vector<uint8_t> stored = StoredBlock(mode, 10.0f, 1.0f);
    fresh.SetInstanceData(0, stored);
    ASSERT_EQ(fresh.Send(Selector::kInitialize), 0);
    ASSERT_EQ(fresh.Send(Selector::kModelSetup), 0);
    ASSERT_EQ(fresh.Send(Selector::kGenerate), 0);
    for (int p = 0; p < 3; ++p) {
      const host::CReceivedGeometry& wires = fresh.Received(p);
      EXPECT_TRUE(wires.deleted) << "group " << p + 1;
      EXPECT_EQ(wires.facets.size(), expected[mode][p]) << "group " << p + 1;
      for (const host::CReceivedFacet& segment : wires.facets) {
        ASSERT_GE(segment.first, 0);
        ASSERT_GE(segment.second, 0);
      }
      for (const host::CReceivedVertex& vertex : wires.vertices) {
        EXPECT_GE(vertex.vertex.uvw.x, 0.0);
        EXPECT_LE(vertex.vertex.uvw.x, 1.0);
      }
    }
    ASSERT_EQ(fresh.Send(Selector::kFinish), 0);
    EXPECT_CLEAN(fresh);
    EXPECT_EQ(fresh.Memory().LiveBlocks(), 0u);
    EXPECT_EQ(StreamOf(fresh.InstanceData(0)), StreamOf(stored)) << "the settings survive the run as stored";
  }
}

TEST_F(WireModesTest, SelectionFromTheStoredStream) {
  AddExampleGroups(host);
  host.SetInstanceData(0, StoredBlock(0, 0.0f, 1.0f, "2"));
  ASSERT_EQ(host.Send(Selector::kInitialize), 0);
  ASSERT_EQ(host.Send(Selector::kGenerate), 0);
  for (int p = 0; p < 3; ++p) EXPECT_EQ(host.Received(p).facets.size(), 4u) << "only facet 2 of group " << p + 1;
  // Facet 2 of the sheet spans x 1..2 at push 0.
  ASSERT_FALSE(host.Received(0).vertices.empty());
  EXPECT_EQ(host.Received(0).vertices[0].vertex.position.x, 1.0);
  EXPECT_EQ(host.Received(0).vertices[0].vertex.position.z, 0.0);
}

TEST_F(WireModesTest, A32BitBlockIsReadAndRewrittenWithThisSlot) {
  AddExampleGroups(host);
  host.SetInstanceData(0, StoredBlock(1, 10.0f, 1.0f, "", 4));
  ASSERT_EQ(host.Send(Selector::kInitialize), 0);
  ASSERT_EQ(host.Send(Selector::kGenerate), 0);
  EXPECT_EQ(host.Received(0).facets.size(), 10u) << "mode 1 read from the 4-byte layout";
  ASSERT_EQ(host.Send(Selector::kFinish), 0);
  EXPECT_EQ(StreamOf(host.InstanceData(0)), StreamOf(StoredBlock(1, 10.0f, 1.0f)));
}

TEST_F(WireModesTest, PushFollowsTheChannelKeysAndIsStored) {
  AddExampleGroups(host);
  host.SetInstanceData(0, StoredBlock(0, 10.0f, 1.0f));
  ASSERT_EQ(host.Send(Selector::kInitialize), 0);
  ASSERT_EQ(host.Send(Selector::kModelSetup), 0);
  ASSERT_EQ(host.Send(Selector::kInitChannel), 0);
  host::CChannel* push = host.FindChannel(0, "Push");
  ASSERT_NE(push, nullptr);
  EXPECT_EQ(push->initial, 10.0) << "created with the stored push";
  ASSERT_NE(host.FindChannel(0, "Scale"), nullptr);
  push->SetKey(0, 0.0);
  push->SetKey(10, 5.0);
  for (int32_t time : {0, 4, 10, 20}) {
    SCOPED_TRACE("time " + std::to_string(time));
    host.Setup().setupTime = time;
    ASSERT_EQ(host.Send(Selector::kModelSetup), 0);
    ASSERT_EQ(host.Send(Selector::kLoadChannel), 0);
    ASSERT_EQ(host.Send(Selector::kGenerate), 0);
    const double value = time >= 10 ? 5.0 : 0.5 * time;
    ASSERT_FALSE(host.Received(0).vertices.empty());
    EXPECT_NEAR(host.Received(0).vertices[0].vertex.position.z, value, 1e-6);
    EXPECT_EQ(StreamOf(host.InstanceData(0)), StreamOf(StoredBlock(0, float(value), 1.0f)))
        << "'LCHN' stores the value it read";
  }
  EXPECT_CLEAN(host);
}

}  // namespace
