// Every command's minimum record size on this platform: one byte short is
// refused with 3 before anything runs; the exact size is accepted.
#include <vector>

#include "tests/host/ModuleHarness.h"

namespace {

struct CommandSize {
  uint32_t selector;
  // The protocol's whole-record sizes: macOS layout (also Linux), Win64, Win32.
  int32_t macSize, win64Size, win32Size;
  int32_t ThisBuild() const { return TRESSEL_ABI3(macSize, win64Size, win32Size); }
};

// Written from the protocol's table, not from the shared record header, so a
// mistake made in both the header and the module still shows.
const std::vector<CommandSize> kCommands = {
    {FourCC("ABOU"), 40, 48, 24},       {FourCC("BMAP"), 52, 64, 32},   {FourCC("CHEK"), 44, 56, 28},
    {FourCC("DESC"), 300, 312, 284},    {FourCC("FCHN"), 40, 48, 24},   {FourCC("FINI"), 40, 48, 24},
    {FourCC("GATR"), 52, 64, 32},       {FourCC("GBLR"), 52, 64, 32},   {FourCC("GENM"), 48, 56, 32},
    {FourCC("GINF"), 52, 64, 32},       {FourCC("ICHN"), 64, 72, 48},   {FourCC("INFO"), 1076, 1088, 1060},
    {FourCC("INIT"), 40, 48, 24},       {FourCC("INTF"), 40, 48, 24},   {FourCC("LCHN"), 68, 80, 56},
    {FourCC("PINF"), 128, 136, 88},     {FourCC("RMAP"), 52, 64, 32},   {FourCC("SETM"), 828, 840, 816},
    {FourCC("TMAP"), 52, 64, 32},       {FourCC("UCHN"), 64, 72, 48},
};

class RecordSizeTest : public ProtocolTest {};

TEST_F(RecordSizeTest, HostSizesMatchTheProtocolTable) {
  for (const CommandSize& command : kCommands)
    EXPECT_EQ(host::CHost::RecordSize(command.selector), command.ThisBuild()) << host::CodeText(command.selector);
}

TEST_F(RecordSizeTest, OneByteShortIsRefusedAndNothingIsRequested) {
  for (const CommandSize& command : kCommands) {
    const int32_t size = command.ThisBuild();
    host.EnableTrace(true);
    host.ClearTrace();
    EXPECT_EQ(host.SendRaw(command.selector, size - 1), 3) << host::CodeText(command.selector);
    EXPECT_TRUE(host.Trace().empty()) << host::CodeText(command.selector) << " sent requests for a short record";
    EXPECT_EQ(host::CFileService::Instance().Opens(), 0u) << "the resource file was opened for a short record";
  }
}

TEST_F(RecordSizeTest, ExactSizeIsAccepted) {
  for (const CommandSize& command : kCommands) {
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
