// Finding, rebuilding, duplicating and freeing an instance's settings through
// the instance data block.
#include <string.h>

#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include "plugin/PluginTask.h"
#include "plugin/SetupBlock.h"
#include "tests/wire/WireHost.h"
#include "wire/WireTag.h"

namespace {

// The 31-byte stream of mode 1, list on, text "1-3".
const std::vector<uint8_t> kExampleStream = {0x57, 0x49, 0x52, 0x45, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00,
                                             0x01, 0x41, 0x20, 0x00, 0x00, 0x3F, 0x80, 0x00, 0x00, 0x00, 0x00,
                                             0x00, 0x01, 0x00, 0x00, 0x00, 0x03, 0x31, 0x2D, 0x33};

std::vector<uint8_t> Block(const void* slot, size_t slotSize, const std::vector<uint8_t>& stream) {
  // The slot's bytes as a little-endian build stores an address of that width.
  const uint64_t address = reinterpret_cast<uintptr_t>(slot);
  std::vector<uint8_t> block(slotSize + stream.size());
  memcpy(block.data(), &address, slotSize);
  std::copy(stream.begin(), stream.end(), block.begin() + std::ptrdiff_t(slotSize));
  return block;
}

int gOtherInstance;

// This build's tag slot: 8 bytes in 64-bit builds, 4 in 32-bit ones.
constexpr size_t kSlot = sizeof(void*);

}  // namespace

TEST(WireTag, FirstCommandMakesDefaultsAndStoresThem) {
  WireHost host;
  CWireTag* tag = CWireTag::Get1Wire();
  EXPECT_EQ(tag->mode, 0);
  EXPECT_EQ(tag->push, 10.0f);
  EXPECT_EQ(tag->scale, 1.0f);
  EXPECT_EQ(tag->owner, host.task.HostContext());
  ASSERT_EQ(host.Block().size(), kSlot + 28);
  EXPECT_EQ(host.Slot(), tag);

  EXPECT_EQ(CWireTag::Get1Wire(), tag);  // found through the slot
  EXPECT_EQ(host.task.Count(Request::kAllocate), 1u);

  EXPECT_EQ(host.Command(Selector::kFinish), 0);
  EXPECT_EQ(host.Slot(), nullptr);
  EXPECT_EQ(host.Block().size(), kSlot + 28);  // the stream stays for the host to save
  EXPECT_EQ(CWireTag::LiveCount(), 0u);
  EXPECT_EQ(host.task.LiveBlocks(), 0u);
}

TEST(WireTag, ThirtyTwoBitBlockLoadsAndIsRewrittenInThisBuildsLayout) {
  WireHost host;
  uint32_t oldSlot = 0x12345678;  // an address from another process
  std::vector<uint8_t> block(4 + kExampleStream.size());
  memcpy(block.data(), &oldSlot, 4);
  std::copy(kExampleStream.begin(), kExampleStream.end(), block.begin() + 4);
  host.SetBlock(block);

  CWireTag* tag = CWireTag::Get1Wire();
  EXPECT_EQ(tag->mode, 1);
  EXPECT_EQ(tag->useExclude, 1);
  EXPECT_STREQ(tag->excludeText.c_str(), "1-3");
  EXPECT_EQ(host.Block().size(), kSlot + 31);
  EXPECT_EQ(host.Slot(), tag);
  EXPECT_EQ(host.Stream(), kExampleStream);
  host.Command(Selector::kFinish);
  EXPECT_EQ(CWireTag::LiveCount(), 0u);
}

TEST(WireTag, ShortOrStaleBlocksAreNeverTrusted) {
  // A slot naming memory that is not a live tag of this module: blocks of every
  // length up to a full one, with a junk pointer that must never be followed.
  std::vector<uint8_t> full = Block(reinterpret_cast<void*>(uintptr_t(0xDEADBEEF0)), 8, kExampleStream);
  for (size_t n = 0; n <= full.size(); ++n) {
    WireHost host;
    host.SetBlock(std::vector<uint8_t>(full.begin(), full.begin() + long(n)));
    CWireTag* tag = CWireTag::Get1Wire();
    EXPECT_EQ(tag->mode, n == full.size() ? 1 : 0) << n;
    EXPECT_EQ(host.Slot(), tag) << n;
    host.Command(Selector::kFinish);
    EXPECT_EQ(CWireTag::LiveCount(), 0u) << n;
  }

  // A block copied from an instance that has since had 'FINI'.
  WireHost host;
  CWireTag* first = CWireTag::Get1Wire();
  first->mode = 2;
  first->SaveSelf();
  const std::vector<uint8_t> copy = host.Block();
  host.Command(Selector::kFinish);
  host.SetBlock(copy);
  CWireTag* rebuilt = CWireTag::Get1Wire();
  EXPECT_EQ(rebuilt->mode, 2);
  EXPECT_EQ(CWireTag::LiveCount(), 1u);
  host.Command(Selector::kFinish);
  EXPECT_EQ(CWireTag::LiveCount(), 0u);
  EXPECT_EQ(host.task.LiveBlocks(), 0u);
}

TEST(WireTag, DuplicatedInstanceGetsItsOwnCopyUnlessTheCreatorShares) {
  for (uint32_t creator : {FourCC("TEST"), kCreatorShared}) {
    WireHost host;
    host.creatorCode = creator;
    // The original: a tag made for another instance, whose block the host copied.
    CWireTag* original = CWireTag::NewLive();
    original->Init();
    original->owner = &gOtherInstance;
    original->scale = 0.5f;
    original->channels[CWireTag::kPushChannel] = &gOtherInstance;
    host.SetBlock(Block(original, 8, kExampleStream));

    CWireTag* tag = CWireTag::Get1Wire();
    if (creator == kCreatorShared) {
      EXPECT_EQ(tag, original);
      EXPECT_EQ(host.task.Count(Request::kAllocate), 0u);
    } else {
      ASSERT_NE(tag, original);
      EXPECT_EQ(tag->owner, host.task.HostContext());
      EXPECT_EQ(tag->scale, 0.5f);
      EXPECT_EQ(tag->channels[CWireTag::kPushChannel], &gOtherInstance);
      EXPECT_EQ(host.Slot(), tag);
      EXPECT_EQ(original->owner, &gOtherInstance);
      EXPECT_EQ(CWireTag::Get1Wire(), tag);  // from now on its own
    }
    // 'FINI' of the copy leaves the original alone in both cases.
    host.Command(Selector::kFinish);
    EXPECT_EQ(CWireTag::FindLive(original), original);
    CWireTag::FreeLive(original);
    EXPECT_EQ(CWireTag::LiveCount(), 0u);
  }
}

TEST(WireTag, InitRebuildsFromTheStreamWithoutLeakingTheOldTag) {
  WireHost host(Selector::kInitialize);
  host.SetBlock(Block(nullptr, 8, kExampleStream));
  EXPECT_EQ(host.Command(Selector::kInitialize), 0);
  CWireTag* first = CWireTag::FindLive(host.Slot());
  ASSERT_NE(first, nullptr);
  first->push = 4.0f;  // not stored: 'INIT' goes back to the stream
  EXPECT_EQ(host.Command(Selector::kInitialize), 0);
  CWireTag* second = CWireTag::FindLive(host.Slot());
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->push, 10.0f);
  EXPECT_EQ(second->mode, 1);
  EXPECT_EQ(CWireTag::LiveCount(), 1u);
  EXPECT_EQ(host.task.Count(Request::kCreator), 1u);
  host.Command(Selector::kFinish);
  EXPECT_EQ(CWireTag::LiveCount(), 0u);
}

TEST(WireTag, NestedInitKeepsTheTagAnOuterCallHolds) {
  WireHost host(Selector::kInterface);
  host.SetBlock(Block(nullptr, 8, kExampleStream));
  CWireTag* held = CWireTag::Get1Wire();  // what a running dialog would hold
  // The host sends 'INIT' for the same instance while the outer call runs.
  plugStack[1] = plugStack[0];
  plugStack[1].selector = Selector::kInitialize;
  plug = &plugStack[1];
  ++stackCount;
  CWireTag* rebuilt = CWireTag::Get1Wire();
  --stackCount;
  plug = &plugStack[0];
  EXPECT_NE(rebuilt, held);
  EXPECT_EQ(CWireTag::FindLive(held), held) << "the outer call's tag must stay alive";
  CWireTag::FreeLive(held);
  CWireTag::FreeLive(rebuilt);
  EXPECT_EQ(CWireTag::LiveCount(), 0u);
}

TEST(WireTag, RefusedResizeKeepsTheBlockAndReportsTheCode) {
  WireHost host;
  host.SetBlock(Block(nullptr, 8, kExampleStream));
  host.allocateAnswer = 5;
  CWireTag* tag = CWireTag::Get1Wire();
  EXPECT_EQ(tag->mode, 1);
  EXPECT_EQ(plug->result, 5);
  EXPECT_EQ(host.Slot(), nullptr);
  EXPECT_FALSE(tag->UpdateAll());
  CWireTag::FreeLive(tag);
  EXPECT_EQ(CWireTag::LiveCount(), 0u);
}
