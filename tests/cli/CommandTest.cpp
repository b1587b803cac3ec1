// `tressel info` and `tressel describe` end to end: what they print and the
// exit status, including usage errors and a module that cannot be loaded.
#include <gtest/gtest.h>

#include "tests/cli/RunCommand.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

// Runs the command through the shell; `environment` prefixes it (e.g.
// "TRESSEL_MODULE=/x"). The caller's TRESSEL_MODULE is passed on unless
// the environment prefix sets it, so the suite can run against any build.
Outcome RunCommand(const std::string& arguments, const std::string& environment = "") {
  const std::string errPath = "/tmp/tressel-cli-test-" + std::to_string(::getpid()) + ".err";
  return RunShell(environment + " '" TRESSEL_COMMAND_PATH "' " + arguments, errPath);
}

TEST(CommandTest, InfoPrintsTheReply) {
  Outcome info = RunCommand("info");
  ASSERT_EQ(info.status, 0) << info.err;
  EXPECT_NE(info.out.find("VELD (0x56454C44)"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("product:     Tressel\n"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("description: Wires generator\n"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("flags:       0x4000000F\n"), std::string::npos) << info.out;
  EXPECT_EQ(info.err, "");
}

TEST(CommandTest, DescribeTexts) {
  Outcome two = RunCommand("describe 2");
  EXPECT_EQ(two.status, 0) << two.err;
  EXPECT_EQ(two.out, "Unsupported plug-in command was received\n");
  Outcome negative = RunCommand("describe -1");
  EXPECT_EQ(negative.status, 0) << negative.err;
  EXPECT_EQ(negative.out, "unknown error (4294967295)\n");
  Outcome quote = RunCommand("describe 101");
  EXPECT_EQ(quote.out, "Kessik Plug-In can\u2019t find child group(s) geometry\n");
  Outcome empty = RunCommand("describe 300");
  EXPECT_EQ(empty.status, 0);
  EXPECT_EQ(empty.out, "\n");
}

TEST(CommandTest, UsageErrorsExitTwo) {
  for (const char* arguments : {"", "bogus", "describe", "describe x", "describe 1 2", "describe 99999999999",
                                "info --frobnicate"}) {
    Outcome bad = RunCommand(arguments);
    EXPECT_EQ(bad.status, 2) << "tressel " << arguments;
    EXPECT_NE(bad.err.find("Usage"), std::string::npos) << "tressel " << arguments << ": " << bad.err;
    EXPECT_EQ(bad.out, "") << "tressel " << arguments;
  }
}

TEST(CommandTest, ModuleThatDoesNotLoadExitsTwo) {
  Outcome option = RunCommand("--module /nonexistent/Tressel.plm info");
  EXPECT_EQ(option.status, 2);
  EXPECT_EQ(option.err, "tressel: cannot load module /nonexistent/Tressel.plm: no such file\n");
  Outcome environment = RunCommand("describe 2", "TRESSEL_MODULE=/nonexistent/other.plm");
  EXPECT_EQ(environment.status, 2);
  EXPECT_NE(environment.err.find("/nonexistent/other.plm"), std::string::npos) << environment.err;
  // A file that is not a shared object.
  Outcome garbage = RunCommand("--module /etc/hostname info");
  EXPECT_EQ(garbage.status, 2);
  EXPECT_NE(garbage.err.find("/etc/hostname"), std::string::npos) << garbage.err;
}

TEST(CommandTest, ModuleBesideTheCommandByDefault) {
  Outcome info = RunCommand("describe 0", "env -u TRESSEL_MODULE");
  EXPECT_EQ(info.status, 0) << info.err;
  EXPECT_EQ(info.out, "No plug-in error\n");
}

}  // namespace
