// The streaming writers: closed rings in OBJ, numbers that read back exactly,
// outputs larger than the buffer, progress and cancel, failing sinks, group
// colours, and OBJ read back in full by the command's own reader and assimp.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <charconv>
#include <cmath>
#include <set>
#include <sstream>

#include "TestFiles.h"
#include "cli/io/GroupColors.h"
#include "cli/io/MeshReaders.h"
#include "cli/io/WireColours.h"
#include "cli/io/WireWriters.h"

namespace {

using cliio::CWireGroup;
using cliio::CWireVertex;
using cliio::WireFormat;
using cliio_test::CScratchFolder;
using cliio_test::Lines;
using cliio_test::ReadAll;
using cliio_test::Vertex;

// A ring as the module sends it: corners in single precision, u from 0 to 1,
// the first position sent again at the end.
CWireGroup Ring(const std::string& name, float x, size_t corners) {
  CWireGroup group;
  group.name = name;
  for (size_t k = 0; k <= corners; ++k) {
    const size_t at = k % corners;
    group.vertices.push_back(Vertex(x + 0.1f * float(at), 0.2f * float(at * at), -0.3f, float(k) / float(corners)));
    if (k) group.segments.push_back({int32_t(k - 1), int32_t(k)});
  }
  return group;
}

std::string Serialize(const std::vector<CWireGroup>& groups, WireFormat format) {
  std::string bytes, detail;
  EXPECT_TRUE(cliio::SerializeWires(groups, format, &bytes, &detail)) << detail;
  return bytes;
}

std::vector<std::string> Keyed(const std::string& text, const std::string& keyword) {
  std::vector<std::string> found;
  for (const std::string& line : Lines(text))
    if (line.rfind(keyword + " ", 0) == 0) found.push_back(line.substr(keyword.size() + 1));
  return found;
}

TEST(ObjRings, AClosedRingReusesItsFirstVertexWithItsOwnTextureCoordinate) {
  std::vector<CWireGroup> groups = {Ring("first", 0, 3), Ring("second", 5, 4)};
  // A ring whose end comes back with the same u shares the first vt too.
  CWireGroup sameU = Ring("same u", 9, 3);
  sameU.vertices.back().u = 0;
  groups.push_back(sameU);
  const std::string text = Serialize(groups, WireFormat::kObj);
  EXPECT_EQ(Keyed(text, "v").size(), 3u + 4u + 3u);
  EXPECT_EQ(Keyed(text, "vt").size(), 4u + 5u + 3u);
  EXPECT_EQ(Keyed(text, "l"), (std::vector<std::string>{"1/1 2/2", "2/2 3/3", "3/3 1/4",                 //
                                                        "4/5 5/6", "5/6 6/7", "6/7 7/8", "7/8 4/9",  //
                                                        "8/10 9/11", "9/11 10/12", "10/12 8/10"}));
  EXPECT_EQ(Keyed(text, "vt")[3], "1 0");
}

TEST(ObjRings, OnlyTrueRingsAreClosed) {
  // Ends apart, too short a run (there and back), and a run that already ends
  // on its first vertex keep every vertex.
  CWireGroup open = Ring("open", 0, 3);
  open.vertices.back().position[2] = 1;
  CWireGroup thereAndBack{"back", {Vertex(0, 0, 0, 0), Vertex(1, 0, 0, 0.5), Vertex(0, 0, 0, 1)}, {{0, 1}, {1, 2}}};
  CWireGroup byIndex{"index", {Vertex(0, 0, 0, 0), Vertex(1, 0, 0, 0.5), Vertex(1, 1, 0, 1)}, {{0, 1}, {1, 2}, {2, 0}}};
  // A closing vertex that a later run names again is written as the first
  // vertex there too (same place), keeping its own u.
  CWireGroup chained{"chained",
                     {Vertex(0, 0, 0, 0), Vertex(1, 0, 0, 0), Vertex(1, 1, 0, 0), Vertex(0, 0, 0, 1), Vertex(2, 0, 0, 0),
                      Vertex(2, 2, 0, 0), Vertex(0, 0, 0, 1)},
                     {{0, 1}, {1, 2}, {2, 3}, {4, 5}, {5, 3}}};
  for (const CWireGroup& group : {open, thereAndBack, byIndex}) {
    const std::string text = Serialize({group}, WireFormat::kObj);
    EXPECT_EQ(Keyed(text, "v").size(), group.vertices.size()) << group.name;
    EXPECT_EQ(Keyed(text, "l").size(), group.segments.size()) << group.name;
  }
  const std::string text = Serialize({chained}, WireFormat::kObj);
  EXPECT_EQ(Keyed(text, "l"), (std::vector<std::string>{"1/1 2/2", "2/2 3/3", "3/3 1/4", "4/5 5/6", "5/6 1/4"}));
  EXPECT_EQ(Keyed(text, "v").size(), 6u);
}

// What std::to_chars gives as the shortest text of a float or a double.
template <typename T>
std::string Shortest(T value) {
  char text[40];
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

TEST(Numbers, FloatsWidenedToDoubleAreWrittenAsThoseFloatsAndOthersAsDoubles) {
  const float floats[] = {0.1f, 1.0f / 3.0f, -0.0f, 1e-45f, 3.4028235e38f, 16777217.0f, 0.009999999f, -123.456f};
  const double doubles[] = {0.1, 1.0 / 3.0, 4.9e-324, 1e300, 0.1 + 1e-17, 16777217.0, -2.5e-310};
  CWireGroup group{"numbers", {}, {}};
  for (float f : floats) group.vertices.push_back(Vertex(f, f, f, f));
  for (double d : doubles) group.vertices.push_back(Vertex(d, d, d, 0.5));
  for (WireFormat format : {WireFormat::kObj, WireFormat::kPly}) {
    const std::string text = Serialize({group}, format);
    std::vector<std::string> rows;
    if (format == WireFormat::kObj) {
      rows = Keyed(text, "v");
    } else {
      const std::vector<std::string> lines = Lines(text);
      for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i] == "end_header") rows.assign(lines.begin() + long(i) + 1, lines.end());
      EXPECT_NE(text.find("property double x"), std::string::npos) << "not every value is a float";
    }
    ASSERT_GE(rows.size(), group.vertices.size());
    for (size_t i = 0; i < group.vertices.size(); ++i) {
      std::istringstream fields(rows[i]);
      std::string x;
      fields >> x;
      if (i < std::size(floats)) {
        EXPECT_EQ(x, Shortest(floats[i]));
        EXPECT_EQ(std::strtof(x.c_str(), nullptr), floats[i]);
        EXPECT_EQ(std::signbit(std::strtof(x.c_str(), nullptr)), std::signbit(floats[i]));
      } else {
        const double d = doubles[i - std::size(floats)];
        EXPECT_EQ(x, Shortest(d));
        EXPECT_EQ(std::strtod(x.c_str(), nullptr), d);
      }
    }
  }
  // All values floats: the PLY declares floats, which read back exactly.
  EXPECT_NE(Serialize({Ring("r", 0, 3)}, WireFormat::kPly).find("property float x\n"), std::string::npos);
}

// A sink that takes `room` bytes and then fails.
class CShortSink final : public cliio::CByteSink {
 public:
  explicit CShortSink(size_t room) : mRoom(room) {}
  bool Put(std::string_view bytes, std::string* error) override {
    if (bytes.size() > mRoom) {
      *error = "no room";
      return false;
    }
    mRoom -= bytes.size();
    taken += bytes.size();
    return true;
  }
  size_t taken = 0;

 private:
  size_t mRoom;
};

std::vector<CWireGroup> ManyRings(size_t rings) {
  std::vector<CWireGroup> groups(2);
  for (size_t g = 0; g < 2; ++g) {
    groups[g].name = "rings " + std::to_string(g);
    for (size_t r = 0; r < rings; ++r) {
      const CWireGroup ring = Ring("", float(r), 3);
      const int32_t base = int32_t(groups[g].vertices.size());
      groups[g].vertices.insert(groups[g].vertices.end(), ring.vertices.begin(), ring.vertices.end());
      for (const cliio::CWireSegment& s : ring.segments) groups[g].segments.push_back({base + s.a, base + s.b});
    }
  }
  return groups;
}

TEST(Streaming, LargeOutputsStreamThroughTheBufferWithProgressAndCancel) {
  const std::vector<CWireGroup> groups = ManyRings(20000);  // about 2.5 MB of OBJ
  for (WireFormat format : {WireFormat::kObj, WireFormat::kPly, WireFormat::kGltf, WireFormat::kGlb}) {
    std::vector<double> reports;
    std::string bytes, detail;
    cliio::CStringSink sink(&bytes);
    ASSERT_TRUE(cliio::WriteWires(groups, format, sink, &detail, [&](double f) {
      reports.push_back(f);
      return true;
    })) << detail;
    ASSERT_GE(reports.size(), 3u) << "several buffers handed on";
    EXPECT_EQ(reports.front(), 0.0);
    EXPECT_EQ(reports.back(), 1.0);
    for (size_t i = 1; i < reports.size(); ++i) EXPECT_LE(reports[i - 1], reports[i]);
    EXPECT_EQ(bytes, Serialize(groups, format)) << "the same bytes with or without progress";

    // Stopping at the second report stops the write.
    std::string partial;
    cliio::CStringSink partialSink(&partial);
    int calls = 0;
    EXPECT_FALSE(cliio::WriteWires(groups, format, partialSink, &detail, [&](double) { return ++calls < 2; }));
    EXPECT_EQ(detail, cliio::kWriteCancelled);
    EXPECT_EQ(calls, 2);
    EXPECT_LT(partial.size(), bytes.size() / 2);

    CShortSink full(100000);
    EXPECT_FALSE(cliio::WriteWires(groups, format, full, &detail));
    EXPECT_EQ(detail, "no room");
    EXPECT_LE(full.taken, 100000u);
  }
  // The OBJ reads back whole: 20000 rings of 3 segments in each group.
  const std::string text = Serialize(groups, WireFormat::kObj);
  EXPECT_EQ(Keyed(text, "l").size(), 120000u);
  EXPECT_EQ(Keyed(text, "v").size(), 120000u);
}

TEST(Streaming, ACancelledOrFailedFileWriteKeepsTheOldFileAndLeavesNoTemporary) {
  CScratchFolder folder;
  const auto file = folder.Write("wires.obj", "old contents\n");
  const std::vector<CWireGroup> groups = ManyRings(20000);
  std::string error;
  EXPECT_FALSE(cliio::WriteWireFile(file, groups, &error, [](double f) { return f < 0.5; }));
  EXPECT_EQ(error, file.string() + ": not written: " + cliio::kWriteCancelled);
  EXPECT_EQ(ReadAll(file), "old contents\n");
  EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"wires.obj"}));

  rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  void (*previous)(int) = signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 300000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool written = cliio::WriteWireFile(file, groups, &error);
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, previous);
  EXPECT_FALSE(written);
  EXPECT_EQ(error.rfind(file.string() + ": could not be written completely (", 0), 0u) << error;
  EXPECT_EQ(ReadAll(file), "old contents\n");
  EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"wires.obj"}));
}

TEST(ObjReaders, TheCommandsReaderAndAssimpReadEverySegment) {
  CScratchFolder folder;
  std::string error;
  std::vector<CWireGroup> groups = {Ring("quad", 0, 4), Ring("triangle", 3, 3)};
  groups.push_back(CWireGroup{"open", {Vertex(0, 0, 0, 0), Vertex(1, 0, 0, 0.5), Vertex(2, 0, 0, 1)}, {{0, 1}, {1, 2}}});
  const auto file = folder.path() / "wires.obj";
  ASSERT_TRUE(cliio::WriteWireFile(file, groups, &error)) << error;
  for (bool assimp : {false, true}) {
    std::vector<cliio::CImportedMesh> meshes;
    std::string detail;
    const std::string bytes = ReadAll(file);
    const std::function<bool(double)> never;
    cliio::CReadProgress progress(&never, bytes.size());
    cliio::CReadInput input;
    input.progress = &progress;
    input.bytes = bytes;
    input.stem = "wires";
    input.folder = folder.path();
    input.path = file;
    ASSERT_TRUE(assimp ? cliio::ReadWithAssimp(input, "obj", &meshes, &detail) : cliio::ReadObj(input, &meshes, &detail))
        << detail;
    ASSERT_EQ(meshes.size(), 3u) << (assimp ? "assimp" : "own reader");
    const size_t vertices[] = {4, 3, 3};
    for (size_t g = 0; g < 3; ++g) {
      ASSERT_EQ(meshes[g].FacetCount(), groups[g].segments.size()) << g;
      std::set<std::vector<double>> places;
      for (size_t f = 0; f < meshes[g].FacetCount(); ++f) {
        const cliio::CImportedFacet facet = meshes[g].Facet(f);
        EXPECT_EQ(facet.count, 2);
        for (int k = 0; k < 2; ++k) {
          double p[3];
          meshes[g].Position(size_t(facet.corners[k]), p);
          places.insert({p[0], p[1], p[2]});
        }
      }
      EXPECT_EQ(places.size(), vertices[g]) << "ring corners, the closing one at the first's place";
      if (!assimp) {
        EXPECT_EQ(meshes[g].VertexCount(), vertices[g]);
      }
    }
  }
}

TEST(GroupColours, AllDifferentAndStable) {
  const std::vector<cliio::CRgb> colours = cliio::GroupColours(5000);
  std::set<uint32_t> seen;
  for (const cliio::CRgb& c : colours) seen.insert(uint32_t(c.red) << 16 | uint32_t(c.green) << 8 | c.blue);
  EXPECT_EQ(seen.size(), colours.size());
  // The files colour the first groups as the previews do.
  for (size_t g = 0; g < cliio::kDistinctGroupColors; ++g) {
    const cliio::CGroupColor shared = cliio::GroupColor(g);
    EXPECT_TRUE((colours[g] == cliio::CRgb{shared.red, shared.green, shared.blue})) << g;
  }
  const std::vector<cliio::CRgb> again = cliio::GroupColours(3);
  ASSERT_EQ(again.size(), 3u);
  for (size_t i = 0; i < 3; ++i) EXPECT_TRUE(again[i] == colours[i]);
  EXPECT_DOUBLE_EQ(cliio::LinearFromSrgb(255), 1.0);
  EXPECT_DOUBLE_EQ(cliio::LinearFromSrgb(0), 0.0);
  EXPECT_NEAR(cliio::LinearFromSrgb(188), 0.5, 0.01);
}

TEST(WireFormats, NamesAndExtensions) {
  WireFormat format;
  EXPECT_TRUE(cliio::WireFormatNamed("GLB", &format));
  EXPECT_EQ(format, WireFormat::kGlb);
  EXPECT_TRUE(cliio::WireFormatFor("a/b.Ply", &format));
  EXPECT_EQ(format, WireFormat::kPly);
  EXPECT_FALSE(cliio::WireFormatNamed("stl", &format));
  EXPECT_FALSE(cliio::WireFormatFor("wires", &format));
  EXPECT_FALSE(cliio::WireFormatFor("wires.", &format));
}

}  // namespace
