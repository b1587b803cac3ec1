// `tressel validate` end to end: the built module passes every check; a
// module with one deliberate fault (tests/cli/faulty) fails the check for it
// and only that one; modules that crash, cannot be loaded, and meshes that
// cannot be read are reported as such.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/cli/RunCommand.h"

namespace {

namespace fs = std::filesystem;

Outcome Validate(const std::string& arguments, const std::string& environment = "") {
  const fs::path errPath = fs::temp_directory_path() / ("tressel-validate-test-" + std::to_string(::getpid()) + ".txt");
  return RunShell("env -u TRESSEL_MODULE " + environment + " " + Quote(TRESSEL_COMMAND_PATH) + " validate " + arguments,
                  errPath.string());
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The line reporting `check`, or "" when there is none.
std::string LineOf(const Outcome& outcome, const std::string& check) {
  for (const std::string& line : Lines(outcome.out))
    if (line.size() > 5 && line.compare(5, check.size(), check) == 0 &&
        (line.size() == 5 + check.size() || line[5 + check.size()] == ':'))
      return line;
  return "";
}

const std::string kBroken = Quote(TRESSEL_BROKEN_MODULE_PATH);

TEST(ValidateCommand, BuiltModulePassesEveryCheck) {
  Outcome outcome = Validate("--module " + Quote(TRESSEL_MODULE_PATH));
  ASSERT_EQ(outcome.status, 0) << outcome.out << outcome.err;
  std::vector<std::string> lines = Lines(outcome.out);
  ASSERT_GE(lines.size(), 21u) << outcome.out;
  for (size_t k = 0; k + 1 < lines.size(); ++k) EXPECT_EQ(lines[k].substr(0, 5), "ok   ") << lines[k];
  EXPECT_EQ(lines.back(), "validate: " + std::to_string(lines.size() - 1) + " passed, 0 failed");
  for (const char* check : {"record-sizes", "memory-faults-mode-2", "refuse-GETG", "refuse-ALOC", "cancel-status"})
    EXPECT_NE(LineOf(outcome, check), "") << check << " was not run";
  EXPECT_EQ(outcome.err, "");
}

TEST(ValidateCommand, JsonReportsEveryCheck) {
  Outcome outcome = Validate("--json --module " + Quote(TRESSEL_MODULE_PATH) + " --mesh " + Quote(TRESSEL_EXAMPLES_DIR "/example.obj"));
  ASSERT_EQ(outcome.status, 0) << outcome.out << outcome.err;
  EXPECT_NE(outcome.out.find("\"failed\": 0"), std::string::npos) << outcome.out;
  EXPECT_NE(outcome.out.find("\"name\": \"memory-faults-mode-0\""), std::string::npos) << outcome.out;
  EXPECT_EQ(outcome.out.find("\"outcome\": \"failed\""), std::string::npos) << outcome.out;
}

TEST(ValidateCommand, ShortRecordAnsweredAsServedFailsRecordSizes) {
  Outcome outcome = Validate("--module " + kBroken, "TRESSEL_BROKEN=short-desc");
  EXPECT_EQ(outcome.status, 1) << outcome.out << outcome.err;
  std::string line = LineOf(outcome, "record-sizes");
  EXPECT_EQ(line.rfind("FAIL record-sizes: 'DESC' of ", 0), 0u) << line;
  EXPECT_NE(line.find("answered 0, not 3"), std::string::npos) << line;
  EXPECT_EQ(LineOf(outcome, "describe-general"), "ok   describe-general") << "the pass-through itself is faulty";
  EXPECT_EQ(LineOf(outcome, "memory-faults-mode-0"), "ok   memory-faults-mode-0") << "the pass-through itself is faulty";
  EXPECT_EQ(Lines(outcome.out).back().rfind("validate: ", 0), 0u) << outcome.out;
  EXPECT_NE(Lines(outcome.out).back().find(", 1 failed"), std::string::npos) << outcome.out;
}

TEST(ValidateCommand, BlockKeptByInitFailsAsLeak) {
  Outcome outcome = Validate("--module " + kBroken, "TRESSEL_BROKEN=init-leak");
  EXPECT_EQ(outcome.status, 1) << outcome.out << outcome.err;
  std::string line = LineOf(outcome, "init-fini-memory");
  EXPECT_EQ(line.rfind("FAIL init-fini-memory: ", 0), 0u) << line;
  EXPECT_NE(line.find("leak"), std::string::npos) << line;
  EXPECT_EQ(LineOf(outcome, "info"), "ok   info");
}

TEST(ValidateCommand, CrashFailsItsChecksAndTheBatteryGoesOn) {
  Outcome outcome = Validate("--module " + kBroken, "TRESSEL_BROKEN=abort-genm");
  EXPECT_EQ(outcome.status, 1) << outcome.out << outcome.err;
  std::string line = LineOf(outcome, "generate-mode-0");
  EXPECT_EQ(line.rfind("FAIL generate-mode-0: the module crashed (signal ", 0), 0u) << line;
  EXPECT_EQ(LineOf(outcome, "refuse-ALOC"), "ok   refuse-ALOC") << "the checks after the crash did not run";
  EXPECT_EQ(Lines(outcome.out).back().rfind("validate: ", 0), 0u) << outcome.out;
}

TEST(ValidateCommand, UnloadableModuleOrMeshIsAUsageError) {
  Outcome missing = Validate("--module /nonexistent/Tressel.plm");
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.out, "");
  ASSERT_EQ(Lines(missing.err).size(), 1u) << missing.err;
  EXPECT_NE(missing.err.find("/nonexistent/Tressel.plm"), std::string::npos) << missing.err;

  Outcome mesh = Validate("--module " + Quote(TRESSEL_MODULE_PATH) + " --mesh /nonexistent/mesh.obj");
  EXPECT_EQ(mesh.status, 2);
  EXPECT_EQ(mesh.out, "");
  EXPECT_NE(mesh.err.find("/nonexistent/mesh.obj"), std::string::npos) << mesh.err;
}

// The loader searches the system's folders for a bare name; the command
// means the file in the working folder.
TEST(ValidateCommand, BareModuleNameIsTheFileInTheWorkingFolder) {
  const fs::path module = TRESSEL_BROKEN_MODULE_PATH;
  const fs::path errPath = fs::temp_directory_path() / ("tressel-bare-name-" + std::to_string(::getpid()) + ".txt");
  Outcome outcome = RunShell("cd " + Quote(module.parent_path().string()) + " && " + Quote(TRESSEL_COMMAND_PATH) +
                                 " --module " + Quote(module.filename().string()) + " info",
                             errPath.string());
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_NE(outcome.out.find("Tressel"), std::string::npos) << outcome.out;
}

}  // namespace
