// `tressel wire` end to end: the bundled example in all three modes parsed
// back from OBJ, scene files created and reloaded, frames driven by channel
// keys, cancelling, and the errors that must name their file or flag.
#include <gtest/gtest.h>

#include "tests/cli/RunCommand.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Runs tressel in `folder` through the shell; `environment` prefixes it.
Outcome Wire(const fs::path& folder, const std::string& arguments, const std::string& environment = "") {
  const fs::path errPath = folder / "stderr.txt";
  return RunShell("cd " + Quote(folder.string()) + " && " + environment + " " + Quote(TRESSEL_COMMAND_PATH) +
                      " wire " + arguments,
                  errPath.string());
}

struct ObjVertex {
  double x = 0, y = 0, z = 0, u = 0;
};

// One `o` of the wire OBJ: its polylines as vertex lists.
struct ObjGroup {
  std::string name;
  std::vector<std::vector<ObjVertex>> polylines;
  std::string lastCorner;  // of the latest `l`
  size_t Segments() const {
    size_t count = 0;
    for (const auto& line : polylines) count += line.size() - 1;
    return count;
  }
};

// Reads what the OBJ writer produces: `o`, `v x y z`, `vt u 0`, `l a/ta b/tb`.
std::vector<ObjGroup> ParseObj(const std::string& text) {
  std::vector<ObjGroup> groups;
  std::vector<ObjVertex> vertices;
  std::vector<double> us;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream words(line);
    std::string keyword;
    words >> keyword;
    if (keyword == "o") {
      groups.emplace_back();
      words >> groups.back().name;
    } else if (keyword == "v") {
      ObjVertex vertex;
      words >> vertex.x >> vertex.y >> vertex.z;
      vertices.push_back(vertex);
    } else if (keyword == "vt") {
      double u;
      words >> u;
      us.push_back(u);
    } else if (keyword == "l") {
      // Segments in a row, each beginning at the corner (v/vt) where the one
      // before ended, form one polyline.
      std::vector<std::string> corners;
      std::string corner;
      while (words >> corner) corners.push_back(corner);
      if (groups.empty() || corners.empty()) continue;
      ObjGroup& group = groups.back();
      const bool continues = !group.polylines.empty() && group.lastCorner == corners.front();
      if (!continues) group.polylines.emplace_back();
      for (size_t k = continues ? 1 : 0; k < corners.size(); ++k) {
        size_t slash = corners[k].find('/');
        size_t v = std::stoul(corners[k].substr(0, slash)) - 1;
        size_t t = slash == std::string::npos ? v : std::stoul(corners[k].substr(slash + 1)) - 1;
        ObjVertex vertex = vertices.at(v);
        vertex.u = us.at(t);
        group.polylines.back().push_back(vertex);
      }
      group.lastCorner = corners.back();
    }
  }
  return groups;
}

bool Closed(const std::vector<ObjVertex>& line) {
  return line.front().x == line.back().x && line.front().y == line.back().y && line.front().z == line.back().z;
}

// u runs from 0 to 1 along every polyline, never backwards.
void ExpectUFromZeroToOne(const ObjGroup& group) {
  for (const auto& line : group.polylines) {
    ASSERT_GE(line.size(), 2u) << group.name;
    EXPECT_EQ(line.front().u, 0.0) << group.name;
    EXPECT_NEAR(line.back().u, 1.0, 1e-6) << group.name;
    for (size_t k = 1; k < line.size(); ++k) EXPECT_LE(line[k - 1].u, line[k].u) << group.name << " vertex " << k;
  }
}

class WireCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() / ("tressel-wire-test-" + std::to_string(::getpid()) + "-" +
                                          ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder);
    fs::create_directories(folder);
  }
  void TearDown() override { fs::remove_all(folder); }

  std::vector<ObjGroup> RunMode(int mode) {
    Outcome run = Wire(folder, "--mode " + std::to_string(mode) + " --push 10 -o m.obj");
    EXPECT_EQ(run.status, 0) << run.err;
    return ParseObj(ReadText(folder / "m.obj"));
  }

  fs::path folder;
  const std::string example = TRESSEL_EXAMPLES_DIR "/example.obj";
};

TEST_F(WireCommandTest, ModeZeroWiresARingPerFacet) {
  std::vector<ObjGroup> groups = RunMode(0);
  ASSERT_EQ(groups.size(), 3u);
  const std::map<std::string, size_t> facets = {{"sheet", 6}, {"box", 5}, {"pair", 2}};
  for (const ObjGroup& group : groups) {
    ASSERT_TRUE(facets.count(group.name)) << group.name;
    EXPECT_EQ(group.polylines.size(), facets.at(group.name)) << group.name;
    for (const auto& ring : group.polylines) {
      EXPECT_EQ(ring.size(), 5u) << group.name << ": a quad's ring has 4 corners and comes back to the first";
      EXPECT_TRUE(Closed(ring)) << group.name;
    }
    ExpectUFromZeroToOne(group);
  }
  // The sheet faces +z: push 10 lifts every ring to z = 10 at scale 1.
  for (const auto& ring : groups[0].polylines)
    for (const ObjVertex& v : ring) EXPECT_EQ(v.z, 10.0);
}

TEST_F(WireCommandTest, ModesOneAndTwoWireTheBorderChains) {
  std::vector<ObjGroup> one = RunMode(1);
  std::vector<ObjGroup> two = RunMode(2);
  ASSERT_EQ(one.size(), 3u);
  ASSERT_EQ(two.size(), 3u);
  for (const std::vector<ObjGroup>* groups : {&one, &two}) {
    const ObjGroup& sheet = (*groups)[0];
    ASSERT_EQ(sheet.polylines.size(), 1u);
    EXPECT_EQ(sheet.Segments(), 10u) << "the border of a 3x2 grid";
    EXPECT_TRUE(Closed(sheet.polylines[0]));
    const ObjGroup& box = (*groups)[1];
    ASSERT_EQ(box.polylines.size(), 1u);
    EXPECT_EQ(box.Segments(), 4u) << "the open rim of the box";
    for (const ObjGroup& group : *groups) ExpectUFromZeroToOne(group);
  }
  // The touching quads: separate coincident vertices give two rings in mode 1,
  // merged ones one outline of 6 edges in mode 2.
  EXPECT_EQ(one[2].polylines.size(), 2u);
  EXPECT_EQ(one[2].Segments(), 8u);
  EXPECT_EQ(two[2].polylines.size(), 1u);
  EXPECT_EQ(two[2].Segments(), 6u);
}

TEST_F(WireCommandTest, SummaryAndSelection) {
  Outcome run = Wire(folder, Quote(example) + " --mode 0 --select '1-2' --scale 0 -o s.obj");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.substr(0, run.out.find("settings:")),
            "sheet: vertices 12, facets 6, dropped 0, wires 2, segments 8\n"
            "box: vertices 8, facets 5, dropped 0, wires 2, segments 8\n"
            "pair: vertices 8, facets 2, dropped 0, wires 2, segments 8\n");
  EXPECT_NE(run.out.find("\ntotal: 3 groups, vertices 28, facets 13, dropped 0, wires 6, segments 24\n"),
            std::string::npos)
      << run.out;
  // Scale 0 shrinks each ring onto its facet's centre.
  std::vector<ObjGroup> groups = ParseObj(ReadText(folder / "s.obj"));
  ASSERT_FALSE(groups.empty());
  for (const ObjVertex& v : groups[0].polylines.at(0)) {
    EXPECT_EQ(v.x, 0.5);
    EXPECT_EQ(v.y, 0.5);
  }
  // Points, lines and collapsed facets are counted as dropped.
  WriteText(folder / "odd.obj",
            "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 0 0.000001\n"
            "f 1 2 3\nl 1 2\np 3\nf 1 2 4\n");
  Outcome odd = Wire(folder, "odd.obj -o odd-wires.obj");
  ASSERT_EQ(odd.status, 0) << odd.err;
  EXPECT_NE(odd.out.find("vertices 4, facets 4, dropped 3, wires 1, segments 3"), std::string::npos) << odd.out;
}

TEST_F(WireCommandTest, SceneIsCreatedReloadedAndOverridden) {
  Outcome create = Wire(folder, Quote(example) + " --scene s.json --mode 1 --push 10 --select 1-3 -o a.obj");
  ASSERT_EQ(create.status, 0) << create.err;
  std::string text = ReadText(folder / "s.json");
  // The module's stored stream for mode 1, list on, "1-3": 31 bytes.
  EXPECT_NE(text.find("\"settings\": \"574952450001000000000001412000003f8000000000000100000003312d33\""),
            std::string::npos)
      << text;
  EXPECT_NE(text.find(example), std::string::npos) << "the example lies outside the scene's folder: stored absolute";

  // Reloaded without MESH: the meshes come from the scene; --push replaces
  // only its own field (2.5 = 40200000).
  Outcome reload = Wire(folder, "--scene s.json --push 2.5 -o b.obj");
  ASSERT_EQ(reload.status, 0) << reload.err;
  text = ReadText(folder / "s.json");
  EXPECT_NE(text.find("\"settings\": \"574952450001000000000001402000003f8000000000000100000003312d33\""),
            std::string::npos)
      << text;
  std::vector<ObjGroup> groups = ParseObj(ReadText(folder / "b.obj"));
  ASSERT_EQ(groups.size(), 3u);
  EXPECT_EQ(groups[2].polylines.size(), 2u) << "mode 1 kept from the scene";
  EXPECT_EQ(groups[0].polylines[0][0].z, 2.5);

  // A stored stream the module reads as damaged is handed over as it is and
  // saved as the module rewrote it: its defaults.
  WriteText(folder / "d.json", "{\"tressel-scene\": 1, \"meshes\": [\"" + example + "\"], \"settings\": \"57495245\"}");
  Outcome damaged = Wire(folder, "--scene d.json -o d.obj");
  ASSERT_EQ(damaged.status, 0) << damaged.err;
  EXPECT_NE(ReadText(folder / "d.json").find("\"settings\": \"574952450001000000000000412000003f8000000000000000000000\""),
            std::string::npos);
  // ...but flags cannot be applied to it.
  WriteText(folder / "d.json", "{\"tressel-scene\": 1, \"settings\": \"57495245\"}");
  Outcome refused = Wire(folder, "--scene d.json --mode 2 -o d.obj");
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.err.find("d.json"), std::string::npos) << refused.err;
}

TEST_F(WireCommandTest, BrokenSceneIsAnErrorAndKept) {
  for (const std::string& broken : {std::string("{\"tressel-scene\": 1, \"mesh\": []}"), std::string("{not json"),
                                    std::string("{\"tressel-scene\": 1, \"settings\": \"5g\"}"),
                                    std::string("{\"tressel-scene\": 1, \"setup\": {\"matrices\": [[1]]}}"),
                                    std::string("{\"tressel-scene\": 1, \"channels\": {\"Push\": [[0, 1], [0, 2]]}}")}) {
    WriteText(folder / "bad.json", broken);
    Outcome run = Wire(folder, Quote(example) + " --scene bad.json -o x.obj");
    EXPECT_EQ(run.status, 2) << broken;
    EXPECT_NE(run.err.find("bad.json"), std::string::npos) << run.err;
    EXPECT_EQ(ReadText(folder / "bad.json"), broken);
    EXPECT_FALSE(fs::exists(folder / "x.obj"));
  }
}

TEST_F(WireCommandTest, FramesFollowTheChannelKeys) {
  WriteText(folder / "k.json", "{\"tressel-scene\": 1, \"meshes\": [\"" + example +
                                   "\"], \"channels\": {\"Push\": [[0, 0.0], [4, 8.0]]}}");
  Outcome run = Wire(folder, "--scene k.json --frames 0-4 -o 'f%02d.obj'");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("frame 4: pair:"), std::string::npos) << run.out;
  for (int frame = 0; frame <= 4; ++frame) {
    char name[16];
    std::snprintf(name, sizeof name, "f%02d.obj", frame);
    std::vector<ObjGroup> groups = ParseObj(ReadText(folder / name));
    ASSERT_EQ(groups.size(), 3u) << name;
    EXPECT_EQ(groups[0].polylines[0][0].z, 2.0 * frame) << name << ": push linear between the keys";
  }
  // Saved: the keys, and push as the module stored it after the last frame (8 = 41000000).
  std::string saved = ReadText(folder / "k.json");
  EXPECT_NE(saved.find("\"Push\": [[0, 0.0], [4, 8.0]]"), std::string::npos) << saved;
  EXPECT_NE(saved.find("\"settings\": \"574952450001000000000000410000003f8000000000000000000000\""),
            std::string::npos)
      << saved;

  Outcome noPattern = Wire(folder, "--scene k.json --frames 0-4 -o plain.obj");
  EXPECT_EQ(noPattern.status, 2);
  EXPECT_NE(noPattern.err.find("-o"), std::string::npos) << noPattern.err;
  Outcome backwards = Wire(folder, "--scene k.json --frames 4-1 -o 'f%d.obj'");
  EXPECT_EQ(backwards.status, 2);
  EXPECT_NE(backwards.err.find("--frames"), std::string::npos) << backwards.err;
}

TEST_F(WireCommandTest, CtrlCCancelsAndWritesNothing) {
  WriteText(folder / "grid.obj", GridObj(30));
  const std::string slow = "TRESSEL_REQUEST_DELAY_US=1000";
  Outcome fresh = Wire(folder, "grid.obj -o out.obj --scene new.json", slow + " TRESSEL_INTERRUPT_AT_STATUS=1");
  EXPECT_EQ(fresh.status, 130) << fresh.err;
  EXPECT_NE(fresh.err.find("cancelled"), std::string::npos) << fresh.err;
  EXPECT_EQ(fresh.out, "");
  EXPECT_FALSE(fs::exists(folder / "out.obj"));
  EXPECT_FALSE(fs::exists(folder / "new.json"));

  WriteText(folder / "out.obj", "earlier output\n");
  Outcome again = Wire(folder, "grid.obj -o out.obj", slow + " TRESSEL_INTERRUPT_AT_STATUS=2");
  EXPECT_EQ(again.status, 130) << again.err;
  EXPECT_EQ(ReadText(folder / "out.obj"), "earlier output\n");

  // A real SIGINT from outside while the module works. The shell starts a
  // background command with SIGINT ignored, which the command respects; env
  // gives it back its ordinary disposition, as a foreground job has.
  std::string line = "cd " + Quote(folder.string()) + "; " + slow + " env --default-signal=INT " +
                     Quote(TRESSEL_COMMAND_PATH) +
                     " wire grid.obj -o signalled.obj 2>/dev/null & pid=$!; sleep 0.4; kill -INT $pid; wait $pid";
  int status = std::system(line.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130);
  EXPECT_FALSE(fs::exists(folder / "signalled.obj"));
}

TEST_F(WireCommandTest, ErrorsNameTheirFileOrFlag) {
  struct Case {
    std::string arguments, named;
  };
  WriteText(folder / "garbage.obj", "this is not a mesh\n\x01\x02\n");
  WriteText(folder / "keep.obj", "kept\n");
  const std::vector<Case> cases = {
      {"missing.obj -o keep.obj", "missing.obj"},
      {"garbage.obj -o keep.obj", "garbage.obj"},
      {"--mode 3 -o keep.obj", "--mode"},
      {"--mode one -o keep.obj", "--mode"},
      {"--push x -o keep.obj", "--push"},
      {"--push 1e60 -o keep.obj", "--push"},
      {"--scale nan -o keep.obj", "--scale"},
      {"--select " + std::string(255, '1') + " -o keep.obj", "--select"},
      {"--frames 1-x -o 'k%d.obj'", "--frames"},
      {"-o wires.txt", "wires.txt"},
      {"-o -", "--format"},
      {"-o - --format stl", "stl"},
      {"-o keep.obj --format ply", "--format ply"},
      {"--preview p.jpg -o keep.obj", "--preview"},
      {"--preview p.png --view sideways -o keep.obj", "--view"},
      {"--view top -o keep.obj", "--view"},
      {"-o " + Quote((folder / "no-such-folder" / "w.obj").string()), "no-such-folder/w.obj"},
  };
  for (const Case& c : cases) {
    Outcome run = Wire(folder, c.arguments);
    EXPECT_EQ(run.status, 2) << c.arguments;
    EXPECT_NE(run.err.find(c.named), std::string::npos) << c.arguments << ": " << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << c.arguments << ": " << run.err;
    EXPECT_EQ(ReadText(folder / "keep.obj"), "kept\n") << c.arguments;
  }
  // 254 characters is the most the stream stores, and is accepted.
  Outcome longest = Wire(folder, "--select " + std::string(254, '1') + " -o long.obj");
  EXPECT_EQ(longest.status, 0) << longest.err;
}

TEST_F(WireCommandTest, OtherFormatsAndPreview) {
  Outcome run = Wire(folder, Quote(example) + " --mode 1 -o w.ply --preview p.svg");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadText(folder / "w.ply").rfind("ply\n", 0), 0u);
  EXPECT_NE(ReadText(folder / "p.svg").find("<svg"), std::string::npos);
  Outcome views = Wire(folder, Quote(example) + " -o w.obj --push 10 --preview p.html --view top");
  ASSERT_EQ(views.status, 0) << views.err;
  const std::string page = ReadText(folder / "p.html");
  EXPECT_NE(page.find("\"view\":\"top\""), std::string::npos);
  EXPECT_NE(page.find("<header id=\"header\">example.obj \xC2\xB7 mode 0 \xC2\xB7 push 10 \xC2\xB7 scale 1"), std::string::npos);
  Outcome gltf = Wire(folder, Quote(example) + " -o w.gltf");
  ASSERT_EQ(gltf.status, 0) << gltf.err;
  EXPECT_NE(ReadText(folder / "w.gltf").find("\"asset\""), std::string::npos);
}

// Real-world meshes in every mode, when the Debian package of the importer's
// test models is installed. Closed meshes have no border in mode 2.
TEST_F(WireCommandTest, ImporterTestModels) {
  const fs::path models = "/usr/share/assimp/models";
  if (!fs::is_directory(models)) GTEST_SKIP() << "assimp-testmodels is not installed";
  const std::vector<std::string> files = {"OBJ/spider.obj", "PLY/cube.ply", "STL/sphereWithHole.stl", "OFF/Cube.off",
                                          "glTF2/BoxTextured-glTF/BoxTextured.gltf", "3DS/fels.3ds"};
  for (const std::string& file : files) {
    if (!fs::exists(models / file)) continue;
    std::vector<size_t> segments;
    for (int mode = 0; mode <= 2; ++mode) {
      Outcome run = Wire(folder, Quote((models / file).string()) + " --mode " + std::to_string(mode) + " -o t.obj");
      ASSERT_EQ(run.status, 0) << file << " mode " << mode << ": " << run.err;
      size_t total = 0;
      for (const ObjGroup& group : ParseObj(ReadText(folder / "t.obj"))) {
        total += group.Segments();
        ExpectUFromZeroToOne(group);
      }
      segments.push_back(total);
      std::printf("%s mode %d: %zu segments\n", file.c_str(), mode, total);
    }
    EXPECT_GT(segments[0], 0u) << file;
    EXPECT_GE(segments[0], segments[1]) << file << ": a facet's ring holds all its edges, border or not";
    EXPECT_GE(segments[1], segments[2]) << file << ": merging can only remove border edges";
  }
}

// -o - streams the same bytes the file would hold to standard output, and
// the summary goes to standard error instead.
TEST_F(WireCommandTest, StandardOutputTakesTheWiresInTheNamedFormat) {
  for (const char* format : {"obj", "ply", "gltf", "glb"}) {
    const std::string file = std::string("w.") + format;
    Outcome written = Wire(folder, Quote(example) + " --mode 2 -o " + file);
    ASSERT_EQ(written.status, 0) << written.err;
    Outcome piped = Wire(folder, Quote(example) + " --mode 2 -o - --format " + format);
    ASSERT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(piped.out, ReadText(folder / file)) << format;
    // The same summary, but for the times and the memory, which vary.
    auto counts = [](const std::string& summary) { return summary.substr(0, summary.find("\ntime: ")); };
    EXPECT_EQ(counts(piped.err), counts(written.out)) << format;
    EXPECT_NE(piped.err.find("\npeak memory: "), std::string::npos) << format;
  }
  EXPECT_FALSE(fs::exists(folder / "-"));
}

// A preview drawn beside a file (while the file is written) and one drawn
// beside standard output (before it is written) show the same wires: byte for
// byte the same picture.
TEST_F(WireCommandTest, PreviewIsTheSameBesideAFileAndStandardOutput) {
  for (const char* preview : {"p.svg", "p.html", "p.png"}) {
    Outcome written = Wire(folder, Quote(example) + " --mode 1 -o w.obj --preview f-" + preview);
    ASSERT_EQ(written.status, 0) << written.err;
    Outcome piped = Wire(folder, Quote(example) + " --mode 1 -o - --format obj --preview s-" + preview);
    ASSERT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(piped.out, ReadText(folder / "w.obj"));
    const std::string picture = ReadText(folder / (std::string("f-") + preview));
    if (std::string(preview) != "p.png") {  // the header, which the PNG has as pixels
      EXPECT_NE(picture.find(" segments"), std::string::npos) << preview;
      EXPECT_EQ(picture.find(" 0 segments"), std::string::npos) << preview;
    }
    EXPECT_GT(picture.size(), 1000u) << preview;
    EXPECT_EQ(ReadText(folder / (std::string("s-") + preview)), picture) << preview;
  }
}

}  // namespace
