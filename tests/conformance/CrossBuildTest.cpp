// The same inputs through every build of the module: the Linux module here and
// the two Windows modules under wine (when their builds exist beside this
// one, as scripts/test makes them). Stored blocks written by one build must
// load in the others, and the wires of the whole corpus must be the same bytes.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Build {
  std::string name;
  fs::path tool;
  fs::path module;
  std::string wine;  // loader, empty for the native build
  fs::path prefix;
  size_t slot;       // width of the tag slot this build writes
};

std::vector<Build> PresentBuilds() {
  std::vector<Build> builds = {{"linux", TRESSEL_CONFORMANCE_TOOL, TRESSEL_MODULE_PATH, "", "", sizeof(void*)}};
  const fs::path root = fs::path(TRESSEL_SOURCE_DIR) / "build";
  const Build windows[] = {
      {"win32", root / "win32/bin/tressel_conformance.exe", root / "win32/bin/Tressel.plm", "/usr/lib/wine/wine",
       root / "win32/wineprefix", 4},
      {"win64", root / "win64/bin/tressel_conformance.exe", root / "win64/bin/Tressel_64.plm", "/usr/lib/wine/wine64",
       root / "win64/wineprefix", 8},
  };
  for (const Build& build : windows)
    if (fs::exists(build.tool) && fs::exists(build.module)) builds.push_back(build);
  return builds;
}

std::string Quote(const std::string& s) { return "'" + s + "'"; }

int RunTool(const Build& build, const std::string& arguments) {
  std::string command;
  if (!build.wine.empty())
    command = Quote(std::string(TRESSEL_SOURCE_DIR) + "/cmake/wine-run.sh") + " " + build.wine + " " +
              Quote(build.prefix.string()) + " ";
  command += Quote(build.tool.string()) + " " + Quote(build.module.string()) + " " + arguments;
  const int status = system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<uint8_t> ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Mode 1, push 2.5, scale 0.75, list "1-3", as every build stores it.
const std::vector<uint8_t> kStream = {0x57, 0x49, 0x52, 0x45, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00,
                                      0x01, 0x40, 0x20, 0x00, 0x00, 0x3F, 0x40, 0x00, 0x00, 0x00, 0x00,
                                      0x00, 0x01, 0x00, 0x00, 0x00, 0x03, 0x31, 0x2D, 0x33};

void ExpectStoredIn(const Build& build, const std::vector<uint8_t>& block, const std::string& what) {
  ASSERT_EQ(block.size(), build.slot + kStream.size()) << what;
  EXPECT_EQ(std::vector<uint8_t>(block.begin() + long(build.slot), block.end()), kStream) << what;
}

class CrossBuild : public ::testing::Test {
 protected:
  void SetUp() override {
    builds = PresentBuilds();
    dir = fs::temp_directory_path() / ("tressel-crossbuild-" + std::to_string(getpid()));
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  std::vector<Build> builds;
  fs::path dir;
};

TEST_F(CrossBuild, StoredBlocksMoveBetweenBuilds) {
  if (builds.size() < 2) GTEST_SKIP() << "no Windows build beside this one (scripts/test makes them)";
  for (const Build& writer : builds) {
    const fs::path written = dir / (writer.name + ".block");
    ASSERT_EQ(RunTool(writer, "block - " + Quote(written.string())), 0) << writer.name;
    const std::vector<uint8_t> block = ReadBytes(written);
    ExpectStoredIn(writer, block, writer.name + " writing its own block");
    for (const Build& reader : builds) {
      if (reader.name == writer.name) continue;
      const fs::path loaded = dir / (writer.name + "-in-" + reader.name + ".block");
      ASSERT_EQ(RunTool(reader, "block " + Quote(written.string()) + " " + Quote(loaded.string())), 0)
          << writer.name << " block in " << reader.name;
      ExpectStoredIn(reader, ReadBytes(loaded), writer.name + " block rewritten by " + reader.name);
    }
  }
}

std::vector<std::string> Lines(const fs::path& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The cases of a corpus dump ("case NAME" starts each), in order.
std::vector<std::pair<std::string, std::string>> Cases(const fs::path& path) {
  std::vector<std::pair<std::string, std::string>> cases;
  std::ifstream in(path, std::ios::binary);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("case ", 0) == 0) cases.emplace_back(line.substr(5), "");
    if (!cases.empty()) cases.back().second += line + "\n";
  }
  return cases;
}

// Byte for byte, without tolerance: every build computes each step the same
// way, so every number sent must be the same double.
TEST_F(CrossBuild, EveryBuildSendsTheSameWires) {
  if (builds.size() < 2) GTEST_SKIP() << "no Windows build beside this one (scripts/test makes them)";
  const std::string example = Quote(std::string(TRESSEL_SOURCE_DIR) + "/examples/example.obj");
  const fs::path reference = dir / "linux.corpus";
  ASSERT_EQ(RunTool(builds[0], "corpus " + example + " " + Quote(reference.string())), 0);
  const std::vector<std::pair<std::string, std::string>> expected = Cases(reference);
  ASSERT_GT(expected.size(), 100u);
  for (size_t i = 1; i < builds.size(); ++i) {
    const fs::path other = dir / (builds[i].name + ".corpus");
    ASSERT_EQ(RunTool(builds[i], "corpus " + example + " " + Quote(other.string())), 0) << builds[i].name;
    if (ReadBytes(reference) == ReadBytes(other)) continue;
    const std::vector<std::pair<std::string, std::string>> actual = Cases(other);
    std::string differing;
    int count = 0;
    for (size_t c = 0; c < expected.size(); ++c)
      if (c >= actual.size() || actual[c] != expected[c]) {
        if (++count <= 10) differing += " " + expected[c].first;
      }
    ADD_FAILURE() << builds[i].name << " differs from linux in " << count << " of " << expected.size()
                  << " cases (" << actual.size() << " run):" << differing;
  }
}

TEST(Conformance, TheNativeDumpHasEveryModeAndGroup) {
  const fs::path out = fs::temp_directory_path() / ("tressel-wires-" + std::to_string(getpid()));
  const Build native = PresentBuilds()[0];
  ASSERT_EQ(RunTool(native, "wires " + Quote(out.string())), 0);
  const std::vector<std::string> lines = Lines(out);
  fs::remove(out);
  int headers = 0;
  for (const std::string& line : lines) headers += line.rfind("mode ", 0) == 0;
  EXPECT_EQ(headers, 9);  // three modes, three groups
  // Mode 0 rings every facet: 6 + 5 + 2 facets, one more vertex than corners.
  EXPECT_NE(std::find(lines.begin(), lines.end(), "mode 0 group 0 vertices 30 segments 24"), lines.end());
  // Mode 2 joins the touching triangles: their shared edge is no border.
  EXPECT_NE(std::find(lines.begin(), lines.end(), "mode 1 group 2 vertices 8 segments 6"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "mode 2 group 2 vertices 5 segments 4"), lines.end());
}

}  // namespace
