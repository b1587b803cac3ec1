// Running the tressel command as a process from the command tests.
#ifndef TRESSEL_TESTS_CLI_RUNCOMMAND_H
#define TRESSEL_TESTS_CLI_RUNCOMMAND_H

#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

struct Outcome {
  int status = -1;
  std::string out, err;
};

inline std::string Quote(const std::string& text) { return "'" + text + "'"; }

// A sanitizer's report in what a run printed fails the test whatever the run's
// exit status was: a report may end the run with a status a test expects.
inline void ExpectNoSanitizerReport(const std::string& err) {
  for (const char* mark : {"runtime error:", "ERROR: AddressSanitizer", "ERROR: LeakSanitizer"})
    if (err.find(mark) != std::string::npos) ADD_FAILURE() << "sanitizer report:\n" << err;
}

// Runs `line` through the shell: standard output is captured, standard error
// goes to `errPath` and is read back (the file is removed afterwards) and
// checked for sanitizer reports.
inline Outcome RunShell(const std::string& line, const std::string& errPath) {
  Outcome outcome;
  FILE* pipe = ::popen((line + " 2>" + Quote(errPath)).c_str(), "r");
  if (!pipe) return outcome;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) outcome.out.append(buffer, n);
  const int status = ::pclose(pipe);
  outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream err(errPath);
  std::stringstream text;
  text << err.rdbuf();
  outcome.err = text.str();
  std::remove(errPath.c_str());
  ExpectNoSanitizerReport(outcome.err);
  return outcome;
}

// A whole file as bytes ("" when it cannot be read).
inline std::string ReadText(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void WriteText(const std::filesystem::path& file, const std::string& text) {
  std::ofstream(file, std::ios::binary) << text;
}

// An OBJ of an n x n sheet of quads in the xy plane; big enough n, with the
// host slowed down, makes the module report progress.
inline std::string GridObj(int n) {
  std::string text;
  for (int j = 0; j <= n; ++j)
    for (int i = 0; i <= n; ++i) text += "v " + std::to_string(i) + " " + std::to_string(j) + " 0\n";
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i) {
      const int a = j * (n + 1) + i + 1;
      text += "f " + std::to_string(a) + " " + std::to_string(a + 1) + " " + std::to_string(a + n + 2) + " " +
              std::to_string(a + n + 1) + "\n";
    }
  return text;
}

#endif  // TRESSEL_TESTS_CLI_RUNCOMMAND_H
