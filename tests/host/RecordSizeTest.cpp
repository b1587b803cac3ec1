// Every command's minimum record size on this platform: one byte short is
// refused with 3 before anything runs; the exact size is accepted.
#include <vector>

#include "tests/host/ModuleHarness.h"

namespace {

struct CommandSize {
  uint32_t selector;
  int32_t macSize;  // the protocol's whole-record size for the macOS layout
};

// Written from the protocol's table, not from the shared record header, so a
// mistake made in both the header and the module still shows.
const std::vector<CommandSize> kCommands = {
    {FourCC("ABOU"), 40},  {FourCC("BMAP"), 52},   {FourCC("CHEK"), 44},  {FourCC("DESC"), 300},
    {FourCC("FCHN"), 40},  {FourCC("FINI"), 40},   {FourCC("GATR"), 52},  {FourCC("GBLR"), 52},
    {FourCC("GENM"), 48},  {FourCC("GINF"), 52},   {FourCC("ICHN"), 64},  {FourCC("INFO"), 1076},
    {FourCC("INIT"), 40},  {FourCC("INTF"), 40},   {FourCC("LCHN"), 68},  {FourCC("PINF"), 128},
    {FourCC("RMAP"), 52},  {FourCC("SETM"), 828},  {FourCC("TMAP"), 52},  {FourCC("UCHN"), 64},
};

class RecordSizeTest : public ProtocolTest {};

TEST_F(RecordSizeTest, HostSizesMatchTheProtocolTable) {
#if defined(TRESSEL_ABI_MAC)
  for (const CommandSize& command : kCommands)
    EXPECT_EQ(host::CHost::RecordSize(command.selector), command.macSize) << host::CodeText(command.selector);
#else
  GTEST_SKIP() << "the table above is the macOS layout";
#endif
}

TEST_F(RecordSizeTest, OneByteShortIsRefusedAndNothingIsRequested) {
  for (const CommandSize& command : kCommands) {
    int32_t size = host::CHost::RecordSize(command.selector);
    host.EnableTrace(true);
    host.ClearTrace();
    EXPECT_EQ(host.SendRaw(command.selector, size - 1), 3) << host::CodeText(command.selector);
    EXPECT_TRUE(host.Trace().empty()) << host::CodeText(command.selector) << " sent requests for a short record";
    EXPECT_EQ(host::CFileService::Instance().Opens(), 0u) << "the resource file was opened for a short record";
  }
}

TEST_F(RecordSizeTest, ExactSizeIsAccepted) {
  for (const CommandSize& command : kCommands) {
    int32_t size = host::CHost::RecordSize(command.selector);
    int32_t result = host.SendRaw(command.selector, size);
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
