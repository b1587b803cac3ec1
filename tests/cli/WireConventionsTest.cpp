// `tressel wire` as a tool: a push relative to the model's size by default and
// on request, mode names, --quiet, --json, one output per input, the warnings
// for settings that wire nothing or wire badly, and the command's --version
// and unknown subcommands.
#include <gtest/gtest.h>

#include "tests/cli/RunCommand.h"

#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

namespace {

namespace fs = std::filesystem;

// The z of the first `v` line of an OBJ: a vertex of the sheet's first ring,
// which lies in z = 0 and faces +z, so z is the push.
double FirstZ(const std::string& obj) {
  std::istringstream lines(obj);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("v ", 0) != 0) continue;
    std::istringstream words(line.substr(2));
    double x, y, z;
    words >> x >> y >> z;
    return z;
  }
  return NAN;
}

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

std::string FloatHex(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, 4);
  char text[9];
  std::snprintf(text, sizeof text, "%08x", bits);
  return text;
}

class WireConventionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() / ("tressel-conventions-" + std::to_string(::getpid()) + "-" +
                                          ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::copy_file(TRESSEL_EXAMPLES_DIR "/example.obj", folder / "example.obj");
    fs::copy_file(TRESSEL_EXAMPLES_DIR "/example.mtl", folder / "example.mtl");
  }
  void TearDown() override { fs::remove_all(folder); }

  Outcome Tressel(const std::string& arguments) {
    return RunShell("cd " + Quote(folder.string()) + " && " + Quote(TRESSEL_COMMAND_PATH) + " " + arguments,
                    (folder / "stderr.txt").string());
  }

  fs::path folder;
  // The example's largest group is the 3 x 2 sheet.
  const double exampleSize = std::sqrt(13.0);
};

TEST_F(WireConventionsTest, PushIsAShareOfTheModelUnlessGivenAbsolutely) {
  Outcome plain = Tressel("wire example.obj -o plain.obj");
  ASSERT_EQ(plain.status, 0) << plain.err;
  EXPECT_FLOAT_EQ(FirstZ(ReadText(folder / "plain.obj")), float(0.01 * exampleSize)) << "1% by default";
  EXPECT_NE(plain.out.find("push 0.03606 (1% of the model's size 3.606)"), std::string::npos) << plain.out;
  EXPECT_EQ(plain.err, "");

  Outcome share = Tressel("wire example.obj -o share.obj --push 2% --scale 50%");
  ASSERT_EQ(share.status, 0) << share.err;
  EXPECT_FLOAT_EQ(FirstZ(ReadText(folder / "share.obj")), float(0.02 * exampleSize));
  EXPECT_NE(share.out.find("scale 0.5"), std::string::npos) << share.out;

  // A new scene stores the resolved distance; reading it back keeps that
  // distance rather than choosing again.
  Outcome scene = Tressel("wire example.obj --scene s.json -o s.obj");
  ASSERT_EQ(scene.status, 0) << scene.err;
  EXPECT_NE(ReadText(folder / "s.json").find("574952450001000000000000" + FloatHex(float(0.01 * exampleSize))),
            std::string::npos)
      << ReadText(folder / "s.json");
  WriteText(folder / "t.json", "{\"tressel-scene\": 1, \"meshes\": [\"example.obj\"], \"settings\": "
                               "\"574952450001000000000000412000003f8000000000000000000000\"}");
  Outcome stored = Tressel("wire --scene t.json -o t.obj");
  ASSERT_EQ(stored.status, 0) << stored.err;
  EXPECT_EQ(FirstZ(ReadText(folder / "t.obj")), 10.0) << "a scene's stored push is the scene's";
  EXPECT_EQ(Count(stored.err, "warning: the scene's push 10 is larger than the model"), 1u) << stored.err;

  Outcome far = Tressel("wire example.obj -o far.obj --push 50");
  ASSERT_EQ(far.status, 0) << far.err;
  EXPECT_EQ(FirstZ(ReadText(folder / "far.obj")), 50.0);
  EXPECT_EQ(far.err, "tressel: wire: warning: --push 50 is larger than the model (size 3.606, its largest "
                     "bounding-box diagonal): the wires will lie far from the surface; a share such as --push 1% "
                     "keeps them close\n");
  Outcome near = Tressel("wire example.obj -o near.obj --push -3");
  ASSERT_EQ(near.status, 0) << near.err;
  EXPECT_EQ(near.err, "") << "3 is inside a model of size 3.6";

  for (const char* bad : {"--push 2x%", "--push %", "--push abc", "--scale 5%%", "--push 1e39%"}) {
    Outcome refused = Tressel(std::string("wire example.obj -o bad.obj ") + bad);
    EXPECT_EQ(refused.status, 2) << bad;
    const std::string flag = std::string(bad).substr(0, std::string(bad).find(' '));
    EXPECT_NE(refused.err.find(flag + ": '"), std::string::npos) << bad << ": " << refused.err;
    EXPECT_FALSE(fs::exists(folder / "bad.obj")) << bad;
  }
}

TEST_F(WireConventionsTest, ModeNamesQuietAndJson) {
  for (auto [number, name] : {std::pair{"0", "rings"}, {"1", "borders"}, {"2", "welded"}}) {
    ASSERT_EQ(Tressel(std::string("wire example.obj -q --mode ") + number + " -o n.obj").status, 0);
    Outcome named = Tressel(std::string("wire example.obj --quiet --mode ") + name + " -o w.obj");
    ASSERT_EQ(named.status, 0) << named.err;
    EXPECT_EQ(named.out, "") << "--quiet prints no summary";
    EXPECT_EQ(ReadText(folder / "n.obj"), ReadText(folder / "w.obj")) << name;
  }
  Outcome badMode = Tressel("wire example.obj --mode ring");
  EXPECT_EQ(badMode.status, 2);
  EXPECT_NE(badMode.err.find("--mode: 'ring' is not 0, 1, 2, rings, borders or welded"), std::string::npos)
      << badMode.err;

  Outcome human = Tressel("wire example.obj --mode borders -o h.obj");
  ASSERT_EQ(human.status, 0) << human.err;
  EXPECT_TRUE(std::regex_search(human.out, std::regex("\npeak memory: [0-9.]+ (kB|MB|GB)\n$"))) << human.out;

  Outcome json = Tressel("wire example.obj --mode borders --json -o j.obj");
  ASSERT_EQ(json.status, 0) << json.err;
  nlohmann::json document = nlohmann::json::parse(json.out);
  ASSERT_EQ(document["runs"].size(), 1u);
  const nlohmann::json& run = document["runs"][0];
  EXPECT_EQ(run["outputs"], nlohmann::json::array({"j.obj"}));
  EXPECT_EQ(run["settings"]["mode_name"], "borders");
  ASSERT_EQ(run["groups"].size(), 3u);
  EXPECT_EQ(run["groups"][0]["name"], "sheet");
  EXPECT_EQ(run["groups"][0]["segments"], 10);
  EXPECT_EQ(run["groups"][2]["wires"], 2) << "the touching quads in mode 1";
  uint64_t segments = 0;
  for (const auto& group : run["groups"]) segments += group["segments"].get<uint64_t>();
  EXPECT_EQ(document["totals"]["segments"], segments);
  EXPECT_EQ(document["totals"]["groups"], 3);
  EXPECT_EQ(document["groups"], run["groups"]) << "one run: its groups at the top too";
  EXPECT_EQ(document["outputs"], run["outputs"]);
  EXPECT_GT(document["peak_memory_bytes"].get<uint64_t>(), 1000000u);
  EXPECT_GE(document["times"]["total"].get<double>(), document["times"]["module"].get<double>());
  Outcome both = Tressel("wire example.obj --json --quiet");
  EXPECT_EQ(both.status, 2);
}

TEST_F(WireConventionsTest, OneOutputPerInput) {
  fs::create_directories(folder / "sub");
  fs::create_directories(folder / "out");
  fs::copy_file(folder / "example.obj", folder / "sub" / "other.obj");
  WriteText(folder / "tri.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
  Outcome each = Tressel("wire --each example.obj sub/other.obj tri.obj -o 'out/{stem}.ply'");
  ASSERT_EQ(each.status, 0) << each.err;
  for (const char* stem : {"example", "other", "tri"}) EXPECT_TRUE(fs::exists(folder / "out" / (std::string(stem) + ".ply"))) << stem;
  EXPECT_EQ(ReadText(folder / "out/example.ply"), ReadText(folder / "out/other.ply"));
  ASSERT_EQ(Tressel("wire tri.obj -o single.ply").status, 0);
  EXPECT_EQ(ReadText(folder / "out/tri.ply"), ReadText(folder / "single.ply")) << "each input wired on its own";
  EXPECT_NE(each.out.find("input tri.obj -> out/tri.ply\n"), std::string::npos) << each.out;
  EXPECT_NE(each.out.find("total: 7 groups"), std::string::npos) << each.out;

  // {stem} alone asks for it too; without -o the names are STEM-wires.obj.
  ASSERT_EQ(Tressel("wire tri.obj example.obj -o '{stem}.glb'").status, 0);
  EXPECT_TRUE(fs::exists(folder / "tri.glb") && fs::exists(folder / "example.glb"));
  ASSERT_EQ(Tressel("wire --each tri.obj").status, 0);
  EXPECT_TRUE(fs::exists(folder / "tri-wires.obj"));

  // Names that clash, a missing {stem}, a bad field, a scene: refused before anything is written.
  fs::copy_file(folder / "tri.obj", folder / "sub" / "tri.obj");
  for (const char* clash : {"--each tri.obj sub/tri.obj -o 'x/../clash-{stem}.obj'",
                            "--each tri.obj example.obj -o clash.obj", "tri.obj -o 'clash-{stam}.obj'",
                            "--each tri.obj example.obj -o 'clash-{stem}.obj' --scene clash.json"}) {
    Outcome refused = Tressel(std::string("wire ") + clash);
    EXPECT_EQ(refused.status, 2) << clash;
    EXPECT_NE(refused.err.find("tressel: wire: "), std::string::npos) << clash;
    for (const auto& entry : fs::directory_iterator(folder))
      EXPECT_EQ(entry.path().filename().string().rfind("clash", 0), std::string::npos) << clash << ": " << entry.path();
  }

  // An input that fails does not stop the others; the status tells.
  Outcome partly = Tressel("wire --each missing.obj tri.obj -o 'part-{stem}.obj' --json");
  EXPECT_EQ(partly.status, 2);
  EXPECT_NE(partly.err.find("missing.obj"), std::string::npos) << partly.err;
  EXPECT_TRUE(fs::exists(folder / "part-tri.obj"));
  nlohmann::json document = nlohmann::json::parse(partly.out);
  ASSERT_EQ(document["runs"].size(), 2u);
  EXPECT_EQ(document["runs"][0]["status"], 2);
  EXPECT_EQ(document["runs"][1]["status"], 0);
  ASSERT_EQ(document["groups"].size(), 1u);
  EXPECT_EQ(document["groups"][0]["input"], "tri.obj");

  // The output never replaces an input.
  const std::string before = ReadText(folder / "tri.obj");
  Outcome self = Tressel("wire tri.obj -o ./tri.obj");
  EXPECT_EQ(self.status, 2);
  EXPECT_NE(self.err.find("would overwrite tri.obj, a file it reads"), std::string::npos) << self.err;
  EXPECT_EQ(ReadText(folder / "tri.obj"), before);
}

TEST_F(WireConventionsTest, WarningsForSelectionsAndSoups) {
  Outcome words = Tressel("wire example.obj -o a.obj --select abc");
  ASSERT_EQ(words.status, 0) << words.err;
  EXPECT_NE(words.err.find("--select: 'abc' is not a number, a range A-B or a step *N"), std::string::npos)
      << words.err;
  EXPECT_NE(words.err.find("--select: 'abc' names no facet"), std::string::npos) << words.err;
  Outcome beyond = Tressel("wire example.obj -o b.obj --select 7-9");
  ASSERT_EQ(beyond.status, 0) << beyond.err;
  EXPECT_EQ(beyond.err, "tressel: wire: warning: --select: '7-9': no facet it names exists (the groups have at most "
                        "6 facets to wire); nothing was wired\n");
  Outcome chains = Tressel("wire example.obj -o c.obj --mode 2 --select '2, *5'");
  ASSERT_EQ(chains.status, 0) << chains.err;
  EXPECT_NE(chains.err.find("no border chain it names exists"), std::string::npos) << chains.err;
  for (const char* fine : {"6", "*3", "1-2 x"}) {
    Outcome some = Tressel(std::string("wire example.obj -o d.obj --select '") + fine + "'");
    ASSERT_EQ(some.status, 0) << some.err;
    EXPECT_EQ(some.err.find("nothing"), std::string::npos) << fine << ": " << some.err;
  }

  // Two triangles of an STL touch along an edge, each with its own corners.
  WriteText(folder / "soup.stl",
            "solid soup\n"
            "facet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\nendloop\nendfacet\n"
            "facet normal 0 0 1\nouter loop\nvertex 1 0 0\nvertex 1 1 0\nvertex 0 1 0\nendloop\nendfacet\n"
            "endsolid soup\n");
  Outcome soup = Tressel("wire soup.stl -o s.obj --mode 1");
  ASSERT_EQ(soup.status, 0) << soup.err;
  EXPECT_NE(soup.err.find("share a corner"), std::string::npos) << soup.err;
  EXPECT_NE(soup.err.find("--mode 2 (welded)"), std::string::npos) << soup.err;
  EXPECT_NE(soup.out.find("wires 2,"), std::string::npos) << soup.out;
  Outcome welded = Tressel("wire soup.stl -o s.obj --mode 2");
  EXPECT_EQ(welded.err, "");
  EXPECT_NE(welded.out.find("wires 1,"), std::string::npos) << welded.out;
  // Of the example's groups only the two touching quads keep their corners apart.
  Outcome shared = Tressel("wire example.obj -o e.obj --mode 1");
  EXPECT_NE(shared.err.find("no two facets of 'pair' share a corner"), std::string::npos) << shared.err;
  EXPECT_EQ(Count(shared.err, "\n"), 1u) << shared.err;
}

TEST_F(WireConventionsTest, VersionAndUnknownSubcommand) {
  Outcome version = Tressel("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_TRUE(std::regex_match(version.out, std::regex("tressel [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << version.out;
  for (const char* arguments : {"bogus", "--module x.plm bogus --frobnicate", "-- bogus"}) {
    Outcome unknown = Tressel(arguments);
    EXPECT_EQ(unknown.status, 2) << arguments;
    EXPECT_EQ(unknown.err.rfind("tressel: unknown subcommand 'bogus' (subcommands: info, describe, wire, settings, "
                                "validate)\n", 0),
              0u)
        << arguments << ": " << unknown.err;
    EXPECT_EQ(unknown.out, "");
  }
}

}  // namespace
