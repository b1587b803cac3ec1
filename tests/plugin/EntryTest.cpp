// Main: the size table, the task stack and its refusals, 'DESC' and 'INFO'.
// These run in-process on the core library; tests/host repeats the protocol
// against the built module.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "plugin/PluginTask.h"
#include "plugin/ResourceFile.h"
#include "tests/support/FakeTask.h"

namespace {

// A record big enough for any selector, with a callback that counts requests.
struct Record {
  std::vector<uint8_t> bytes = std::vector<uint8_t>(2048, 0);
  PluginRecHeader& header() { return *reinterpret_cast<PluginRecHeader*>(bytes.data()); }
  void* data() { return bytes.data(); }
};

int32_t gResets = 0;
int32_t gDepthSeen = 0;
Record* gNested = nullptr;

int32_t NestingHost(uint32_t selector, int32_t, void* record) {
  if (selector == Request::kCreator) {
    static_cast<HostCreatorRec*>(record)->creator = FourCC("TEST");
    return 0;
  }
  if (selector == Request::kModelReset) {
    ++gResets;
    if (stackCount > gDepthSeen) gDepthSeen = stackCount;
    // Each reset re-enters Main with another setup, as a host may.
    const int32_t answer = Main(Selector::kModelSetup, sizeof(PluginModelSetupRec), gNested->data());
    EXPECT_EQ(answer, 0);
  }
  return 0;
}

TEST(Entry, TheEleventhNestedCallIsRefusedAndTheTenthServed) {
  Record rec;
  rec.header().hostCallback = NestingHost;
  gNested = &rec;
  gResets = 0;
  gDepthSeen = 0;
  EXPECT_EQ(Main(Selector::kModelSetup, sizeof(PluginModelSetupRec), rec.data()), 0);
  EXPECT_EQ(gResets, 10);
  EXPECT_EQ(gDepthSeen, 10);
  EXPECT_EQ(stackCount, 0);
}

TEST(Entry, EveryCommandDuringAGenerationIsIgnored) {
  FakeTask generation(Selector::kGenerate);
  Record rec;
  auto* describe = reinterpret_cast<PluginDescribeRec*>(rec.data());
  describe->code = 2;
  EXPECT_EQ(Main(Selector::kDescribe, sizeof(PluginDescribeRec), rec.data()), 0);
  EXPECT_EQ(describe->text[0], 0) << "the command must not run";
  EXPECT_EQ(Main(Selector::kInterface, sizeof(PluginRecHeader), rec.data()), 0);
  EXPECT_EQ(stackCount, 1);
}

TEST(Entry, ShortRecordsAndUnknownSelectorsAnswer3) {
  const uint32_t known[] = {Selector::kAbout, Selector::kBuildMap, Selector::kCheck, Selector::kDescribe,
                            Selector::kFreeChannel, Selector::kFinish, Selector::kGetAttribute,
                            Selector::kGetBlur, Selector::kGenerate, Selector::kGetInfo,
                            Selector::kInitChannel, Selector::kInformation, Selector::kInitialize,
                            Selector::kInterface, Selector::kLoadChannel, Selector::kExtraCommand,
                            Selector::kRenderMap, Selector::kModelSetup, Selector::kTextureMap,
                            Selector::kUpdateChannel};
  Record rec;
  for (uint32_t selector : known) {
    const int32_t minimum = MinimumRecordSize(selector);
    ASSERT_LT(minimum, 2048);
    EXPECT_EQ(Main(selector, minimum - 1, rec.data()), 3) << std::hex << selector;
    EXPECT_EQ(stackCount, 0);
  }
  EXPECT_EQ(Main(FourCC("XXXX"), 2000, rec.data()), 3);
  EXPECT_EQ(Main(Selector::kAbout, 1000, nullptr), 3);
}

TEST(Entry, MinimumSizesFollowTheRecordLayout) {
  EXPECT_EQ(MinimumRecordSize(Selector::kAbout), TRESSEL_ABI3(40, 48, 24));
  EXPECT_EQ(MinimumRecordSize(Selector::kDescribe), TRESSEL_ABI3(300, 312, 284));
  EXPECT_EQ(MinimumRecordSize(Selector::kInformation), TRESSEL_ABI3(1076, 1088, 1060));
  EXPECT_EQ(MinimumRecordSize(Selector::kModelSetup), TRESSEL_ABI3(828, 840, 816));
  EXPECT_EQ(MinimumRecordSize(Selector::kGenerate), TRESSEL_ABI3(48, 56, 32));
  EXPECT_EQ(MinimumRecordSize(Selector::kLoadChannel), TRESSEL_ABI3(68, 80, 56));
  EXPECT_EQ(MinimumRecordSize(Selector::kInitChannel), TRESSEL_ABI3(64, 72, 48));
  EXPECT_EQ(MinimumRecordSize(Selector::kExtraCommand), TRESSEL_ABI3(128, 136, 88));
  EXPECT_EQ(MinimumRecordSize(Selector::kCheck), TRESSEL_ABI3(44, 56, 28));
  EXPECT_EQ(MinimumRecordSize(Selector::kBuildMap), TRESSEL_ABI3(52, 64, 32));
}

TEST(Entry, AcceptedCommandsWithNothingToDoAnswer0AndExtraAnswers2) {
  Record rec;
  for (uint32_t selector : {Selector::kAbout, Selector::kBuildMap, Selector::kCheck, Selector::kFreeChannel,
                            Selector::kGetAttribute, Selector::kGetBlur, Selector::kGetInfo,
                            Selector::kRenderMap, Selector::kTextureMap, Selector::kUpdateChannel})
    EXPECT_EQ(Main(selector, MinimumRecordSize(selector), rec.data()), 0) << std::hex << selector;
  EXPECT_EQ(Main(Selector::kExtraCommand, 1000, rec.data()), 2);
}

TEST(Entry, ResourceCommandsWithoutTheHostFileFunctionsAnswer6) {
  // This test executable exports no host file functions: the file never opens.
  Record rec;
  EXPECT_EQ(Main(Selector::kInitialize, sizeof(PluginRecHeader), rec.data()), 6);
  EXPECT_EQ(Main(Selector::kInterface, sizeof(PluginRecHeader), rec.data()), 6);
  EXPECT_EQ(theRF, nullptr);
}

std::string Describe(int32_t code) {
  Record rec;
  auto* describe = reinterpret_cast<PluginDescribeRec*>(rec.data());
  describe->code = code;
  EXPECT_EQ(Main(Selector::kDescribe, sizeof(PluginDescribeRec), rec.data()), 0);
  return std::string(reinterpret_cast<const char*>(describe->text + 1), describe->text[0]);
}

TEST(Entry, DescribeGivesEveryTableTextAndTheFallback) {
  EXPECT_EQ(Describe(0), "No plug-in error");
  EXPECT_EQ(Describe(1), "Plug-in could not allocate needed memory");
  EXPECT_EQ(Describe(2), "Unsupported plug-in command was received");
  EXPECT_EQ(Describe(3), "Incompatible plug-in parameter record was received");
  EXPECT_EQ(Describe(4), "The user canceled the plug-in operation");
  EXPECT_EQ(Describe(5), "A plug-in command was received out of sequence");
  EXPECT_EQ(Describe(6), "Plug-in could not get a required resource");
  EXPECT_EQ(Describe(7), "unknown error (7)");
  EXPECT_EQ(Describe(8), "A requested plug-in feature or mode is not supported");
  EXPECT_EQ(Describe(9), "unknown error (9)");
  EXPECT_EQ(Describe(99), "unknown error (99)");
  EXPECT_EQ(Describe(-1), "unknown error (4294967295)");
  EXPECT_EQ(Describe(100), "Vorlan child(0) contains particles");
  EXPECT_EQ(Describe(101), "Kessik Plug-In can\xD5t find child group(s) geometry");
  EXPECT_EQ(Describe(102), "temporary file write error");
  EXPECT_EQ(Describe(103), "temporary file read error");
  EXPECT_EQ(Describe(200), "invalid source particle lines");
  EXPECT_EQ(Describe(300), "");
  EXPECT_EQ(Describe(303), "");
  EXPECT_EQ(Describe(304), "All profile groups should have same topology");
  EXPECT_EQ(Describe(350), "Child group has no UV's and/or texture uses them");
  EXPECT_EQ(Describe(400), "");
}

std::string Field(const uint8_t* p) { return std::string(reinterpret_cast<const char*>(p + 1), p[0]); }

TEST(Entry, InformationFillsEveryField) {
  Record rec;
  auto* info = reinterpret_cast<PluginInfoRec*>(rec.data());
  ASSERT_EQ(Main(Selector::kInformation, sizeof(PluginInfoRec), rec.data()), 0);
  EXPECT_EQ(info->vendor, FourCC("VELD"));
  EXPECT_EQ(info->one, 1);
  EXPECT_EQ(Field(info->product), "Tressel");
  EXPECT_EQ(Field(info->description), "Wires generator");
  EXPECT_FALSE(Field(info->rights).empty());
  EXPECT_FALSE(Field(info->maker).empty());
  EXPECT_EQ(info->flags, 0x4000000Fu);
}

TEST(RunHost, KeepsTheLatestFailureInResult) {
  FakeTask task;
  int32_t next = 0;
  task.onRequest = [&](uint32_t, int32_t, void*) { return next; };
  HostModelResetRec rec = {task.HostContext()};
  next = 12;
  EXPECT_FALSE(Run_Host(Request::kModelReset, sizeof rec, &rec));
  next = 0;
  EXPECT_TRUE(Run_Host(Request::kModelReset, sizeof rec, &rec));
  EXPECT_EQ(plug->status, 0);
  EXPECT_EQ(plug->result, 12);
}

}  // namespace
