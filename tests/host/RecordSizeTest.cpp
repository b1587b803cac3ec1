// Every command's minimum record size on this platform: one byte short is
// refused with 3 before anything runs; the exact size is accepted.
#include <vector>

#include "host/CommandSizes.h"
#include "tests/host/ModuleHarness.h"

namespace {

using host::CCommandSize;

const std::vector<CCommandSize>& kCommands = host::CommandSizes();

class RecordSizeTest : public ProtocolTest {};

TEST_F(RecordSizeTest, HostSizesMatchTheProtocolTable) {
  for (const CCommandSize& command : kCommands)
    EXPECT_EQ(host::CHost::RecordSize(command.selector), command.ThisBuild()) << host::CodeText(command.selector);
}

TEST_F(RecordSizeTest, OneByteShortIsRefusedAndNothingIsRequested) {
  for (const CCommandSize& command : kCommands) {
    const int32_t size = command.ThisBuild();
    host.EnableTrace(true);
    host.ClearTrace();
    EXPECT_EQ(host.SendRaw(command.selector, size - 1), 3) << host::CodeText(command.selector);
    EXPECT_TRUE(host.Trace().empty()) << host::CodeText(command.selector) << " sent requests for a short record";
    EXPECT_EQ(host::CFileService::Instance().Opens(), 0u) << "the resource file was opened for a short record";
  }
}

TEST_F(RecordSizeTest, ExactSizeIsAccepted) {
  for (const CCommandSize& command : kCommands) {
    const int32_t result = host.SendRaw(command.selector, command.ThisBuild());
    EXPECT_NE(result, 3) << host::CodeText(command.selector);
    if (command.selector == FourCC("PINF")) {
      EXPECT_EQ(result, 2);
    }
  }
  EXPECT_CLEAN(host);
}

TEST_F(RecordSizeTest, UnknownSelectorIsRefusedAtAnySize) {
  for (uint32_t selector : {FourCC("XXXX"), FourCC("genm"), 0u, 0xFFFFFFFFu})
    for (int32_t size : {0, 40, 1076, 65536}) EXPECT_EQ(host.SendRaw(selector, size), 3) << host::CodeText(selector);
}

TEST_F(RecordSizeTest, ExtraCommandIsUnsupportedAndDescribedSo) {
  EXPECT_EQ(host.Send(FourCC("PINF")), 2);
  std::string text;
  ASSERT_EQ(host.Describe(2, &text), 0);
  EXPECT_EQ(text, "Unsupported plug-in command was received");
}

}  // namespace
