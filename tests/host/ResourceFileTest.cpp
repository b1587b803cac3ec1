// The resource file: opened through the host's file functions around 'INIT'
// and 'INTF' only, closed again, and its absence answered with 6.
#include <fstream>

#include "tests/host/ModuleHarness.h"

namespace {

namespace fs = std::filesystem;

class ResourceFileTest : public ProtocolTest {
 protected:
  void SetUp() override {
    ProtocolTest::SetUp();
    empty = fs::temp_directory_path() / ("tressel-rsc-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(empty);
  }
  void TearDown() override {
    ProtocolTest::TearDown();
    fs::remove_all(empty);
    host::CFileService::Instance().SetHomeDirectory(ModuleUnderTest().parent_path());
  }
  host::CFileService& files = host::CFileService::Instance();
  fs::path empty;
};

TEST_F(ResourceFileTest, OpenedAndClosedAroundInitialize) {
  size_t openDuringCommand = 0;
  host.onRequest = [&](uint32_t, void*) { openDuringCommand = std::max(openDuringCommand, files.OpenResourceFiles()); };
  ASSERT_EQ(host.Send(Selector::kInitialize), 0) << files.LastOpenFailure();
  EXPECT_EQ(files.Opens(), 1u);
  EXPECT_EQ(files.Closes(), 1u);
  EXPECT_EQ(files.OpenResourceFiles(), 0u);
  EXPECT_EQ(openDuringCommand, 1u) << "no request saw the file open during 'INIT'";
  EXPECT_EQ(files.LastFileName(), "Tressel.rsc");
  EXPECT_EQ(files.LastFileType(), FourCC("rsrc"));
  EXPECT_EQ(files.LastExtension(), "rsc");
}

TEST_F(ResourceFileTest, OpenedAndClosedAroundInterface) {
  ASSERT_EQ(host.Send(Selector::kInitialize), 0);
  // No dialog functions in this host: the dialog cannot run, which is a cancel.
  EXPECT_EQ(host.Send(Selector::kInterface), 4);
  EXPECT_EQ(files.Opens(), 2u);
  EXPECT_EQ(files.Closes(), 2u);
  EXPECT_EQ(files.OpenResourceFiles(), 0u);
}

TEST_F(ResourceFileTest, OtherCommandsLeaveItAlone) {
  ASSERT_EQ(host.Send(Selector::kModelSetup), 0);
  std::string text;
  ASSERT_EQ(host.Describe(0, &text), 0);
  EXPECT_EQ(files.Opens() + files.FailedOpens(), 0u);
}

// The nested call is for a second instance: a second 'INIT' of the same
// instance would build a new settings object and strand the first.
TEST_F(ResourceFileTest, NestedInitializeOpensOnce) {
  int second = AddInstance();
  bool nested = false;
  host.onRequest = [&](uint32_t, void*) {
    if (nested) return;
    nested = true;
    EXPECT_EQ(host.Send(Selector::kInitialize, second), 0);
    EXPECT_EQ(files.OpenResourceFiles(), 1u) << "the nested call closed the outer call's file";
  };
  ASSERT_EQ(host.Send(Selector::kInitialize), 0);
  ASSERT_TRUE(nested) << "'INIT' sent no request";
  EXPECT_EQ(files.Opens(), 1u);
  EXPECT_EQ(files.Closes(), 1u);
}

TEST_F(ResourceFileTest, MissingFileGivesSixAndNoSettings) {
  host.SetHomeDirectory(empty);
  EXPECT_EQ(host.Send(Selector::kInitialize), 6);
  EXPECT_TRUE(host.InstanceData(0).empty()) << "'INIT' made settings without its resource file";
  EXPECT_EQ(host.Send(Selector::kInterface), 6);
  EXPECT_EQ(files.Opens(), 0u);
  EXPECT_EQ(files.FailedOpens(), 2u);
}

TEST_F(ResourceFileTest, UnreadableFileGivesSix) {
  host.SetHomeDirectory(empty);
  std::ofstream(empty / "Tressel.rsc") << "{\"format\": \"tressel-resources\", \"dialogs\": ";
  EXPECT_EQ(host.Send(Selector::kInitialize), 6);
  std::ofstream(empty / "Tressel.rsc") << "{\"format\": \"something else\"}";
  EXPECT_EQ(host.Send(Selector::kInitialize), 6);
  EXPECT_EQ(files.Opens(), 0u);
}

}  // namespace
