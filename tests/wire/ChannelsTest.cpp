// The "Push" and "Scale" channels: created, read into the tag and stored,
// written from the tag.
#include <math.h>
#include <string.h>

#include <gtest/gtest.h>

#include "plugin/PluginTask.h"
#include "plugin/SetupBlock.h"
#include "tests/wire/WireHost.h"
#include "wire/WireTag.h"

namespace {
float StoredFloat(const WireHost& host, size_t offset) {
  const std::vector<uint8_t> s = host.Stream();
  const uint32_t bits = uint32_t(s.at(offset)) << 24 | uint32_t(s.at(offset + 1)) << 16 |
                        uint32_t(s.at(offset + 2)) << 8 | s.at(offset + 3);
  float value;
  memcpy(&value, &bits, 4);
  return value;
}
}  // namespace

TEST(Channels, CreatedReadIntoTheTagAndStored) {
  WireHost host;
  theModelSetup.setup.setupTime = 42;
  EXPECT_EQ(host.Command(Selector::kInitChannel), 0);
  CWireTag* tag = CWireTag::FindLive(host.Slot());
  ASSERT_NE(tag, nullptr);
  ASSERT_EQ(host.channelNames, (std::vector<std::string>{"Push", "Scale"}));
  EXPECT_EQ(host.channelInitial, (std::vector<double>{10.0, 1.0}));
  EXPECT_EQ(host.channelSequence, (std::vector<int32_t>{1, 2}));
  ASSERT_NE(tag->channels[CWireTag::kScaleChannel], nullptr);
  for (int k = 2; k < CWireTag::kChannelCount; ++k) EXPECT_EQ(tag->channels[k], nullptr);

  host.channelValues[tag->channels[CWireTag::kScaleChannel]] = 2.5;
  host.channelValues[tag->channels[CWireTag::kPushChannel]] = -3.0;
  EXPECT_EQ(host.Command(Selector::kLoadChannel), 0);
  EXPECT_EQ(tag->scale, 2.5f);
  EXPECT_EQ(tag->push, -3.0f);
  EXPECT_EQ(StoredFloat(host, 16), 2.5f);
  EXPECT_EQ(StoredFloat(host, 12), -3.0f);
  EXPECT_EQ(host.channelTimes, (std::vector<int32_t>{42, 42}));

  // A value the tag cannot hold is not taken.
  host.channelValues[tag->channels[CWireTag::kScaleChannel]] = NAN;
  host.channelValues[tag->channels[CWireTag::kPushChannel]] = 1e300;
  EXPECT_EQ(host.Command(Selector::kLoadChannel), 0);
  EXPECT_EQ(tag->scale, 2.5f);
  EXPECT_EQ(tag->push, -3.0f);

  tag->push = 7.0f;
  EXPECT_TRUE(tag->UpdateAll());
  ASSERT_EQ(host.channelSets.size(), 2u);
  EXPECT_EQ(host.channelSets[0].first, tag->channels[CWireTag::kPushChannel]);
  EXPECT_EQ(host.channelSets[0].second, 7.0);
  EXPECT_EQ(StoredFloat(host, 12), 7.0f);

  host.Command(Selector::kFinish);
  EXPECT_EQ(CWireTag::LiveCount(), 0u);
  EXPECT_EQ(host.task.LiveBlocks(), 0u);
}

TEST(Channels, BeforeAnyInitChannel) {
  WireHost host;
  EXPECT_EQ(host.Command(Selector::kLoadChannel), 0);
  EXPECT_EQ(host.task.Count(Request::kGetChannel), 0u);
  EXPECT_EQ(host.Block().size(), sizeof(void*) + 28);
  CWireTag* tag = CWireTag::FindLive(host.Slot());
  ASSERT_NE(tag, nullptr);
  const size_t allocations = host.task.Count(Request::kAllocate);
  EXPECT_TRUE(tag->UpdateAll());  // the host refuses both null channels
  EXPECT_EQ(host.channelSets.size(), 2u);
  EXPECT_EQ(host.channelSets[1].first, nullptr);
  EXPECT_EQ(plug->result, 0);
  EXPECT_EQ(host.task.Count(Request::kAllocate), allocations + 1);
  host.Command(Selector::kFinish);
  EXPECT_EQ(CWireTag::LiveCount(), 0u);
}

TEST(Channels, FailedCreationEmptiesTheSlotAndReachesTheHost) {
  WireHost host;
  CWireTag* tag = CWireTag::Get1Wire();
  tag->channels[CWireTag::kPushChannel] = tag;  // an older reference
  host.addChannelAnswer = 13;
  EXPECT_EQ(host.Command(Selector::kInitChannel), 13);
  EXPECT_EQ(tag->channels[CWireTag::kPushChannel], nullptr);
  EXPECT_EQ(tag->channels[CWireTag::kScaleChannel], nullptr);
  host.Command(Selector::kFinish);
  EXPECT_EQ(CWireTag::LiveCount(), 0u);
}
