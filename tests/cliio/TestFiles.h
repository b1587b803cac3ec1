// A scratch folder per test and whole-file reads and writes inside it.
#ifndef TRESSEL_TESTS_CLIIO_TESTFILES_H
#define TRESSEL_TESTS_CLIIO_TESTFILES_H

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/io/WireData.h"

namespace cliio_test {

// Removed with everything in it when the test ends.
class CScratchFolder {
 public:
  CScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tressel-cliio-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!mkdtemp(name.data())) throw std::runtime_error("mkdtemp failed");
    mPath = name.data();
  }
  ~CScratchFolder() {
    std::error_code ignored;
    std::filesystem::permissions(mPath, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(mPath, ignored);
  }
  const std::filesystem::path& path() const { return mPath; }

  std::filesystem::path Write(const std::string& name, const std::string& bytes) const {
    const std::filesystem::path file = mPath / name;
    std::ofstream(file, std::ios::binary) << bytes;
    return file;
  }

  // Every entry of the folder, for checking that no temporary file is left.
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(mPath)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::filesystem::path mPath;
};

inline std::string ReadAll(const std::filesystem::path& file) {
  std::ifstream stream(file, std::ios::binary);
  std::ostringstream buffer;
  buffer << stream.rdbuf();
  return buffer.str();
}

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  std::string line;
  while (std::getline(stream, line)) lines.push_back(line);
  return lines;
}

// A wire vertex at (x, y, z) with parameter u.
inline cliio::CWireVertex Vertex(double x, double y, double z, double u) {
  cliio::CWireVertex vertex;
  vertex.position[0] = x;
  vertex.position[1] = y;
  vertex.position[2] = z;
  vertex.u = u;
  return vertex;
}

}  // namespace cliio_test

#endif
