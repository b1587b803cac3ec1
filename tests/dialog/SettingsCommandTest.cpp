// `tressel settings` end to end: scripted runs change the scene file as OK,
// apply and cancel say; the interactive dialog driven through tmux; and the
// cases without a dialog (no terminal, no resource file, a failing script).
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

namespace {

namespace fs = std::filesystem;

const char* kDefaults = "574952450001000000000000412000003f8000000000000000000000";

struct Outcome {
  int status = -1;
  std::string out, err;
};

std::string Read(const fs::path& file) {
  std::ifstream in(file);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class SettingsCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() /
             ("tressel-settings-" + std::to_string(::getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(folder);
    std::ofstream(folder / "tri.obj") << "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";
    std::ofstream(folder / "scene.json") << "{\"tressel-scene\": 1, \"meshes\": [\"tri.obj\"], \"settings\": \""
                                         << kDefaults << "\"}\n";
  }
  void TearDown() override { fs::remove_all(folder); }

  // Runs tressel in the test's folder with stdin from /dev/null.
  Outcome Run(const std::string& arguments) {
    std::string line = "cd '" + folder.string() + "' && '" TRESSEL_COMMAND_PATH "' " + arguments +
                       " </dev/null 2>err.txt";
    Outcome outcome;
    FILE* pipe = ::popen(line.c_str(), "r");
    if (!pipe) return outcome;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) outcome.out.append(buffer, n);
    int status = ::pclose(pipe);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    outcome.err = Read(folder / "err.txt");
    for (const char* mark : {"runtime error:", "ERROR: AddressSanitizer", "ERROR: LeakSanitizer"})
      if (outcome.err.find(mark) != std::string::npos) ADD_FAILURE() << "sanitizer report:\n" << outcome.err;
    return outcome;
  }
  Outcome RunScript(const std::string& script, const std::string& extra = "") {
    std::ofstream(folder / "script.txt") << script;
    return Run("settings scene.json --script script.txt" + extra);
  }
  std::string Settings() {
    std::string scene = Read(folder / "scene.json");
    size_t at = scene.find("\"settings\": \"");
    if (at == std::string::npos) return "";
    at += 13;
    return scene.substr(at, scene.find('"', at) - at);
  }

  fs::path folder;
};

TEST_F(SettingsCommandTest, OkStoresTheSettingsAndRegeneratesTheModel) {
  Outcome run = RunScript("set 4 1\nclear 6\ntype 6 2\nclick 7\ntype 8 1\nok\n", " -o wires.obj");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Settings(), "5749524500010000000000014120000040000000000000010000000131");
  EXPECT_NE(run.out.find("settings saved in scene.json"), std::string::npos) << run.out;
  EXPECT_TRUE(fs::exists(folder / "wires.obj")) << run.out << run.err;
}

TEST_F(SettingsCommandTest, CancelKeepsOnlyWhatApplyStored) {
  Outcome run = RunScript("set 4 2\nclick 3\nset 4 1\ncancel\n", " -o wires.obj");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("the dialog was cancelled"), std::string::npos) << run.err;
  EXPECT_EQ(Settings(), "574952450001000000000002412000003f8000000000000000000000");
  EXPECT_FALSE(fs::exists(folder / "wires.obj")) << "a cancelled dialog regenerated the model";
}

TEST_F(SettingsCommandTest, PlainCancelLeavesTheSceneAlone) {
  const std::string before = Read(folder / "scene.json");
  Outcome run = RunScript("set 4 2\nkey escape\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("the dialog was cancelled"), std::string::npos) << run.err;
  EXPECT_EQ(Read(folder / "scene.json"), before);
}

TEST_F(SettingsCommandTest, FailingScriptNamesTheLineAndChangesNothing) {
  Outcome run = RunScript("set 4 1\nexpect text 5 3.0\nok\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("script.txt line 2: expected control 5 to be \"3.0\", but it is \"10.0\""), std::string::npos)
      << run.err;
  EXPECT_EQ(Settings(), kDefaults);
  Outcome bad = RunScript("press 1\n");
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("script.txt: line 1: unknown action 'press'"), std::string::npos) << bad.err;
}

TEST_F(SettingsCommandTest, WithoutATerminalItSaysSo) {
  Outcome run = Run("settings scene.json");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("the dialog needs a terminal"), std::string::npos) << run.err;
}

TEST_F(SettingsCommandTest, WithoutTheResourceFileItSaysWhy) {
  fs::copy_file(TRESSEL_MODULE_PATH, folder / "Tressel.plm");
  std::ofstream(folder / "script.txt") << "ok\n";
  Outcome run = Run("--module ./Tressel.plm settings scene.json --script script.txt");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("could not open its resource file: cannot read resource file"), std::string::npos) << run.err;
  EXPECT_EQ(Settings(), kDefaults);
}

// A person at a terminal: Tab from the mode to the push field, replace its
// text, confirm with Return.
TEST_F(SettingsCommandTest, InteractiveDialogInATerminal) {
  if (std::system("command -v tmux >/dev/null 2>&1") != 0) GTEST_SKIP() << "tmux is not installed";
  const std::string socket = "tressel-test-" + std::to_string(::getpid());
  auto tmux = [&](const std::string& arguments) {
    return std::system(("tmux -L " + socket + " " + arguments + " >/dev/null 2>&1").c_str());
  };
  const std::string command = "cd '" + folder.string() + "' && '" TRESSEL_COMMAND_PATH
                              "' settings scene.json; echo $? > status.txt; sleep 5";
  ASSERT_EQ(tmux("new-session -d -x 100 -y 30 \"" + command + "\""), 0);
  auto screen = [&] {
    std::system(("tmux -L " + socket + " capture-pane -p > '" + (folder / "screen.txt").string() + "'").c_str());
    return Read(folder / "screen.txt");
  };
  auto waitFor = [&](const std::function<bool()>& ready) {
    for (int k = 0; k < 100 && !ready(); ++k) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return ready();
  };
  EXPECT_TRUE(waitFor([&] { return screen().find("Tressel 1.0.2") != std::string::npos; })) << screen();
  EXPECT_NE(screen().find("Push:     10.0"), std::string::npos) << screen();
  tmux("send-keys Tab BSpace BSpace BSpace BSpace 2 . 5");
  EXPECT_TRUE(waitFor([&] { return screen().find("Push:     2.5 ") != std::string::npos; })) << screen();
  tmux("send-keys Enter");
  EXPECT_TRUE(waitFor([&] { return fs::exists(folder / "status.txt") && !Read(folder / "status.txt").empty(); }));
  tmux("kill-server");
  EXPECT_EQ(Read(folder / "status.txt"), "0\n");
  EXPECT_EQ(Settings(), "574952450001000000000000402000003f8000000000000000000000");
}

// Text in Push or Scale that is not a number: the dialog says it will be read
// as 0 while it stands and forgets it once the text is a number again; what
// the module then stores is still its own reading (0).
TEST_F(SettingsCommandTest, InteractiveDialogTellsANumberFieldIsNotANumber) {
  if (std::system("command -v tmux >/dev/null 2>&1") != 0) GTEST_SKIP() << "tmux is not installed";
  const std::string socket = "tressel-test-nan-" + std::to_string(::getpid());
  auto tmux = [&](const std::string& arguments) {
    return std::system(("tmux -L " + socket + " " + arguments + " >/dev/null 2>&1").c_str());
  };
  const std::string command = "cd '" + folder.string() + "' && '" TRESSEL_COMMAND_PATH
                              "' settings scene.json; echo $? > status.txt; sleep 5";
  ASSERT_EQ(tmux("new-session -d -x 100 -y 24 \"" + command + "\""), 0);
  auto screen = [&] {
    std::system(("tmux -L " + socket + " capture-pane -p > '" + (folder / "screen.txt").string() + "'").c_str());
    return Read(folder / "screen.txt");
  };
  auto waitFor = [&](const std::function<bool()>& ready) {
    for (int k = 0; k < 100 && !ready(); ++k) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return ready();
  };
  const std::string pushWarning = "Push: '2.5x' is not a number; it will be read as 0";
  const std::string scaleWarning = "Scale: 'abc' is not a number; it will be read as 0";
  EXPECT_TRUE(waitFor([&] { return screen().find("Tressel 1.0.2") != std::string::npos; })) << screen();
  EXPECT_EQ(screen().find("not a number"), std::string::npos) << screen();
  tmux("send-keys Tab BSpace BSpace BSpace BSpace 2 . 5 x");
  EXPECT_TRUE(waitFor([&] { return screen().find(pushWarning) != std::string::npos; })) << screen();
  tmux("send-keys Tab BSpace BSpace BSpace a b c");
  EXPECT_TRUE(waitFor([&] { return screen().find(scaleWarning) != std::string::npos; })) << screen();
  EXPECT_NE(screen().find(pushWarning), std::string::npos) << "both stand at once\n" << screen();
  // Back in Push: removing the x makes it a number again.
  tmux("send-keys BTab BSpace");
  EXPECT_TRUE(waitFor([&] { return screen().find(pushWarning) == std::string::npos; })) << screen();
  EXPECT_NE(screen().find(scaleWarning), std::string::npos) << screen();
  tmux("send-keys Enter");
  EXPECT_TRUE(waitFor([&] { return fs::exists(folder / "status.txt") && !Read(folder / "status.txt").empty(); }));
  tmux("kill-server");
  EXPECT_EQ(Read(folder / "status.txt"), "0\n");
  // Push 2.5 (40200000), Scale read as 0 (00000000) by the module's own rule.
  EXPECT_EQ(Settings(), "57495245000100000000000040200000000000000000000000000000");
}

}  // namespace
