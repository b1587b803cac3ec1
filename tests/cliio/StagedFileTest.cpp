// Temporaries beside their destinations: listed for the signal handler while
// they exist, named short, renamed over a link's target, and removed by
// whichever way a staged file ends.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli/io/AtomicFile.h"
#include "tests/cliio/TestFiles.h"

namespace {

namespace fs = std::filesystem;
using cliio_test::CScratchFolder;
using cliio_test::ReadAll;

TEST(StagedFile, TemporariesAreListedUntilCommittedOrAbandoned) {
  CScratchFolder folder;
  const size_t before = cliio::ListedTemporaryCount();
  std::string error;
  std::vector<cliio::CStagedFile> staged(3);
  for (int k = 0; k < 3; ++k) {
    ASSERT_TRUE(staged[size_t(k)].Open(folder.path() / ("f" + std::to_string(k) + ".obj"), &error)) << error;
    ASSERT_TRUE(staged[size_t(k)].Write("data", &error)) << error;
  }
  EXPECT_EQ(cliio::ListedTemporaryCount(), before + 3);
  EXPECT_EQ(staged[0].Temporary().filename().string().rfind(".tr.", 0), 0u) << staged[0].Temporary();
  EXPECT_EQ(staged[0].Temporary().extension(), ".obj");
  ASSERT_TRUE(staged[0].Commit(&error)) << error;
  staged[1].Abandon();
  EXPECT_EQ(cliio::ListedTemporaryCount(), before + 1);
  // What a second signal does: every listed temporary goes, the committed file stays.
  cliio::RemoveListedTemporaries();
  EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"f0.obj"}));
  staged[2].Abandon();
  EXPECT_EQ(cliio::ListedTemporaryCount(), before);
  // Entries are reused: staging many files one after another does not grow the list.
  for (int k = 0; k < 100; ++k) {
    cliio::CStagedFile file;
    ASSERT_TRUE(file.Open(folder.path() / "again.obj", &error)) << error;
  }
  EXPECT_EQ(cliio::ListedTemporaryCount(), before);
  EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"f0.obj"}));
}

TEST(StagedFile, ANameOfAnyValidLengthCanBeWritten) {
  CScratchFolder folder;
  const std::string name = std::string(255 - 4, 'n') + ".obj";
  std::string error;
  ASSERT_TRUE(cliio::WriteFileAtomically(folder.path() / name, "wires", &error)) << error;
  EXPECT_EQ(ReadAll(folder.path() / name), "wires");
  // An "extension" too long to copy is left off the temporary's name.
  const std::string dotted = "a." + std::string(250, 'e');
  ASSERT_TRUE(cliio::WriteFileAtomically(folder.path() / dotted, "x", &error)) << error;
  EXPECT_EQ(folder.Entries(), (std::vector<std::string>{dotted, name}));
}

TEST(StagedFile, WritingThroughLinksKeepsTheLinks) {
  CScratchFolder folder;
  fs::create_directory(folder.path() / "real");
  folder.Write("real/target.obj", "old");
  fs::create_symlink(folder.path() / "real" / "target.obj", folder.path() / "absolute.obj");
  fs::create_symlink("absolute.obj", folder.path() / "relative.obj");
  std::string error;
  ASSERT_TRUE(cliio::WriteFileAtomically(folder.path() / "relative.obj", "new", &error)) << error;
  EXPECT_TRUE(fs::is_symlink(folder.path() / "relative.obj"));
  EXPECT_TRUE(fs::is_symlink(folder.path() / "absolute.obj"));
  EXPECT_EQ(ReadAll(folder.path() / "real" / "target.obj"), "new");
  EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"absolute.obj", "real", "relative.obj"}));

  fs::create_symlink("self.obj", folder.path() / "self.obj");
  EXPECT_FALSE(cliio::WriteFileAtomically(folder.path() / "self.obj", "x", &error));
  EXPECT_NE(error.find("self.obj: cannot be written: the symbolic links form a loop"), std::string::npos) << error;
  // Not a regular file: refused rather than replaced by one.
  EXPECT_FALSE(cliio::WriteFileAtomically("/dev/null", "x", &error));
  EXPECT_NE(error.find("/dev/null: cannot be written: it is not a regular file"), std::string::npos) << error;
}

}  // namespace
