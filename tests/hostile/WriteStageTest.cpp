// The write stage on its own: what a rename that fails midway reports, and
// which files the refusal before a run treats as one.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/OutOfMemory.h"
#include "cli/PreviewDrawing.h"
#include "cli/WriteStage.h"

namespace {

namespace fs = std::filesystem;

class WriteStageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() / ("tressel-stage-" + std::to_string(::getpid()) + "-" +
                                          ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder);
    fs::create_directories(folder);
  }
  void TearDown() override { fs::remove_all(folder); }
  std::string Read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  std::vector<std::string> Entries() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  fs::path folder;
};

TEST_F(WriteStageTest, ARenameThatFailsMidwaySaysWhatWasReplacedAndWhatWasNot) {
  cli::CProgressBar bar(cli::CProgressBar::Style::kNone);
  cli::CWriteStage stage(bar);
  std::ofstream(folder / "a.obj") << "old a";
  std::string error;
  for (const char* name : {"a.obj", "b.obj", "c.obj", "d.obj"})
    ASSERT_TRUE(stage.StageBytes(folder / name, std::string("new ") + name, &error)) << error;
  // c.obj turns into a folder after it was staged: its rename must fail.
  fs::create_directory(folder / "c.obj");
  EXPECT_FALSE(stage.Commit(&error));
  EXPECT_NE(error.find((folder / "c.obj").string() + ": cannot be replaced (Is a directory)"), std::string::npos) << error;
  EXPECT_NE(error.find("; already replaced: " + (folder / "a.obj").string() + ", " + (folder / "b.obj").string() +
                       "; left as they were: " + (folder / "c.obj").string() + ", " + (folder / "d.obj").string()),
            std::string::npos)
      << error;
  EXPECT_EQ(Read(folder / "a.obj"), "new a.obj");
  EXPECT_EQ(Read(folder / "b.obj"), "new b.obj");
  EXPECT_EQ(Entries(), (std::vector<std::string>{"a.obj", "b.obj", "c.obj"})) << "no temporary, no d.obj";
}

TEST_F(WriteStageTest, FilesAreOneByInodeOrByResolvedPath) {
  std::ofstream(folder / "mesh.obj") << "v 0 0 0\n";
  fs::create_directory(folder / "sub");
  fs::create_hard_link(folder / "mesh.obj", folder / "hard.obj");
  fs::create_symlink(folder / "sub", folder / "via");
  std::string error;
  const std::vector<fs::path> read = {folder / "mesh.obj"};
  EXPECT_FALSE(cli::CheckWrittenApart({folder / "hard.obj"}, read, &error)) << "a hard link is the same file";
  EXPECT_NE(error.find("hard.obj: refused: the run would overwrite " + (folder / "mesh.obj").string()), std::string::npos)
      << error;
  // Neither exists yet: the same once the link and the dot-dot are resolved.
  EXPECT_FALSE(cli::CheckWrittenApart({folder / "sub" / "new.obj", folder / "via" / ".." / "sub" / "new.obj"}, read, &error));
  EXPECT_NE(error.find("is the same file, and the run writes both"), std::string::npos) << error;
  EXPECT_TRUE(cli::CheckWrittenApart({folder / "sub" / "new.obj", folder / "new.obj", folder / "mesh.obj.bak"}, read, &error))
      << error;
  EXPECT_TRUE(cli::CheckFrameCount(INT32_MIN, INT32_MIN + int32_t(cli::kMaxFramesPerRun) - 1, &error));
  EXPECT_FALSE(cli::CheckFrameCount(INT32_MIN, INT32_MAX, &error));
  EXPECT_NE(error.find("4294967296 frames"), std::string::npos) << error;
}


// A write that fails part way names the output once, with the system's
// reason, and leaves the old file and no temporary.
TEST_F(WriteStageTest, AFailedWireWriteNamesTheOutputOnceAndKeepsTheOldFile) {
  cliio::CWireGroup ring{"ring", {}, {}};
  for (int k = 0; k < 20000; ++k) {
    cliio::CWireVertex vertex;
    vertex.position[0] = float(k) / 7.0f;
    vertex.u = float(k % 4) / 3.0f;
    ring.vertices.push_back(vertex);
    if (k % 4) ring.segments.push_back({k - 1, k});
  }
  const cliio::CWireGroupSource source(ring);
  const fs::path output = folder / "out.obj";
  std::ofstream(output) << "old\n";
  cli::CProgressBar bar(cli::CProgressBar::Style::kNone);
  cli::CWriteStage stage(bar);
  rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  void (*previous)(int) = signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 100000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  std::string error;
  const bool staged = stage.StageWires(output, cliio::WireFormat::kObj, {&source}, &error);
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, previous);
  EXPECT_FALSE(staged);
  EXPECT_EQ(error.rfind(output.string() + ": could not be written completely (", 0), 0u) << error;
  EXPECT_EQ(error.find(output.string(), 1), std::string::npos) << error;
  EXPECT_EQ(Read(output), "old\n");
  EXPECT_EQ(Entries(), (std::vector<std::string>{"out.obj"}));
  // Wires the writers refuse are said to be not written.
  ring.segments.push_back({0, 20000});
  EXPECT_FALSE(stage.StageWires(output, cliio::WireFormat::kObj, {&source}, &error));
  EXPECT_EQ(error, output.string() + ": not written: group 1 (ring) segment 15000 names a vertex outside its 20000");
  EXPECT_EQ(Entries(), (std::vector<std::string>{"out.obj"}));
}

// A preview drawn on its own thread is staged as the picture drawn in turn
// would be; its errors name the destination and stage nothing; one dropped
// unfinished is stopped and leaves nothing behind.
TEST_F(WriteStageTest, APreviewDrawnMeanwhileIsStagedAsDrawnInTurn) {
  std::vector<cliio::CWireGroup> groups{{"spiral", {}, {}}};
  for (int k = 0; k < 40000; ++k) {
    cliio::CWireVertex vertex;
    vertex.position[0] = std::cos(k * 0.01) * (1 + k * 1e-4);
    vertex.position[1] = std::sin(k * 0.01) * (1 + k * 1e-4);
    vertex.position[2] = k * 1e-4;
    groups[0].vertices.push_back(vertex);
    if (k > 0) groups[0].segments.push_back({k - 1, k});
  }
  std::vector<cliio::CWireGroupSource> views;
  const cliio::CWireSources sources = cliio::SourcesOf(groups, &views);
  const std::vector<cliio::CImportedMesh> meshes;
  cli::CProgressBar bar(cli::CProgressBar::Style::kNone);
  std::string error;
  for (const char* name : {"p.png", "p.svg", "p.html"}) {
    ASSERT_TRUE(cliio::WritePreview(folder / (std::string("alone-") + name), sources, meshes, {}, &error)) << error;
    cli::CWriteStage stage(bar);
    cli::CPreviewDrawing drawing(folder / name, sources, meshes, {});
    ASSERT_TRUE(stage.StageDrawing(folder / name, drawing, &error)) << error;
    ASSERT_TRUE(stage.Commit(&error)) << error;
    EXPECT_EQ(Read(folder / name), Read(folder / (std::string("alone-") + name))) << name;
  }
  cli::CWriteStage stage(bar);
  {
    cli::CPreviewDrawing wrong(folder / "p.jpg", sources, meshes, {});
    EXPECT_FALSE(stage.StageDrawing(folder / "p.jpg", wrong, &error));
    EXPECT_EQ(error, (folder / "p.jpg").string() + ": unknown preview format (use .png, .svg or .html)");
    cli::CPreviewDrawing dropped(folder / "q.png", sources, meshes, {});
  }
  EXPECT_EQ(stage.StagedCount(), 0u);
  EXPECT_EQ(Entries().size(), 6u);  // the three pictures and the three drawn alone
}

// Each thread has its own phase: what another thread is doing does not
// change what memory running out here is said to have interrupted.
TEST(OutOfMemory, EachThreadHasItsOwnPhase) {
  cli::SetPhase("writing out.obj");
  std::string elsewhere;
  std::thread([&elsewhere] {
    elsewhere = cli::OutOfMemoryLine();
    cli::SetPhase("drawing p.png");
    elsewhere += " | " + cli::OutOfMemoryLine();
  }).join();
  EXPECT_EQ(elsewhere.rfind("out of memory while running", 0), 0u) << elsewhere;
  EXPECT_NE(elsewhere.find(" | out of memory while drawing p.png"), std::string::npos) << elsewhere;
  EXPECT_EQ(cli::OutOfMemoryLine().substr(0, 31), "out of memory while writing out");
}

}  // namespace
