#include "cli/io/WireWriters.h"

#include <float.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cmath>
#include <set>
#include <nlohmann/json.hpp>

#include "TestFiles.h"
#include "cli/io/AtomicFile.h"
#include "cli/io/FramePattern.h"

namespace {

using cliio::CWireGroup;
using cliio::CWireSegment;
using cliio::CWireVertex;
using cliio_test::CScratchFolder;
using cliio_test::Lines;
using cliio_test::ReadAll;
using cliio_test::Vertex;

// A triangle ring plus a separate segment, and a second group whose numbers
// must be offset in formats that number across the file.
std::vector<CWireGroup> SampleWires() {
  CWireGroup ring;
  ring.name = "ring";
  ring.vertices = {Vertex(0.1, 1.0 / 3.0, -0.0, 0), Vertex(123456789.123456789, 4.9e-324, 2.5, 1.0 / 3.0),
                   Vertex(-1e300, 1e-7, 7, 2.0 / 3.0), Vertex(1, 2, 3, 0), Vertex(4, 5, 6, 1)};
  ring.segments = {{0, 1}, {1, 2}, {2, 0}, {3, 4}};
  CWireGroup second;
  second.name = "second\nline";
  second.vertices = {Vertex(9, 8, 7, 0), Vertex(6, 5, 4, 1)};
  second.segments = {{0, 1}};
  return {ring, second};
}

uint64_t Bits(double value) {
  uint64_t bits;
  memcpy(&bits, &value, sizeof bits);
  return bits;
}

TEST(Polylines, JoinOnlyConsecutiveSegmentsThatMeet) {
  const std::vector<CWireSegment> segments = {{0, 1}, {1, 2}, {2, 0}, {3, 4}, {5, 6}, {6, 5}, {4, 3}};
  EXPECT_EQ(cliio::JoinPolylines(segments),
            (std::vector<std::vector<int32_t>>{{0, 1, 2, 0}, {3, 4}, {5, 6, 5}, {4, 3}}));
  EXPECT_TRUE(cliio::JoinPolylines({}).empty());
  EXPECT_EQ(cliio::CountPolylines(segments), 4u);
  EXPECT_EQ(cliio::CountPolylines({}), 0u);
}

TEST(ObjWriter, WritesGroupsPolylinesAndExactDoubles) {
  CScratchFolder folder;
  std::string error;
  const auto file = folder.path() / "wires.obj";
  const auto groups = SampleWires();
  ASSERT_TRUE(cliio::WriteWireFile(file, groups, &error)) << error;

  std::vector<std::string> objects, polylines;
  std::vector<std::vector<double>> positions, textures;
  for (const std::string& line : Lines(ReadAll(file))) {
    std::istringstream fields(line);
    std::string keyword;
    fields >> keyword;
    if (keyword == "o") {
      objects.push_back(line.substr(2));
    } else if (keyword == "v" || keyword == "vt") {
      std::vector<double> values;
      std::string token;
      while (fields >> token) values.push_back(strtod(token.c_str(), nullptr));
      (keyword == "v" ? positions : textures).push_back(values);
    } else if (keyword == "l") {
      polylines.push_back(line.substr(2));
    }
  }
  EXPECT_EQ(objects, (std::vector<std::string>{"ring", "second line"}));
  // One segment per `l`; the ring 0-1-2-0 is closed by its indices already.
  EXPECT_EQ(polylines, (std::vector<std::string>{"1/1 2/2", "2/2 3/3", "3/3 1/1", "4/4 5/5", "6/6 7/7"}));
  ASSERT_EQ(positions.size(), 7u);
  ASSERT_EQ(textures.size(), 7u);
  size_t at = 0;
  for (const CWireGroup& group : groups) {
    for (const CWireVertex& vertex : group.vertices) {
      ASSERT_EQ(positions[at].size(), 3u);
      for (int i = 0; i < 3; ++i) EXPECT_EQ(Bits(positions[at][i]), Bits(vertex.position[i])) << at << " " << i;
      EXPECT_EQ(textures[at], (std::vector<double>{vertex.u, 0}));
      ++at;
    }
  }
}

TEST(PlyWriter, WritesVerticesWithUAndEdgesNumberedAcrossGroups) {
  CScratchFolder folder;
  std::string error;
  const auto file = folder.path() / "wires.PLY";
  const auto groups = SampleWires();
  ASSERT_TRUE(cliio::WriteWireFile(file, groups, &error)) << error;
  const std::vector<std::string> lines = Lines(ReadAll(file));
  ASSERT_GT(lines.size(), 2u);
  EXPECT_EQ(lines[0], "ply");
  EXPECT_EQ(lines[1], "format ascii 1.0");
  size_t vertexCount = 0, edgeCount = 0, body = 0;
  std::vector<std::string> properties;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (sscanf(lines[i].c_str(), "element vertex %zu", &vertexCount) == 1) continue;
    if (sscanf(lines[i].c_str(), "element edge %zu", &edgeCount) == 1) continue;
    if (lines[i].rfind("property ", 0) == 0) properties.push_back(lines[i]);
    if (lines[i] == "end_header") {
      body = i + 1;
      break;
    }
  }
  // Not every value is a float: the coordinates are declared double.
  EXPECT_EQ(properties, (std::vector<std::string>{"property double x", "property double y", "property double z",
                                                  "property double u", "property uchar red", "property uchar green",
                                                  "property uchar blue", "property int vertex1",
                                                  "property int vertex2"}));
  ASSERT_EQ(vertexCount, 7u);
  ASSERT_EQ(edgeCount, 5u);
  ASSERT_EQ(lines.size(), body + vertexCount + edgeCount);
  std::istringstream third(lines[body + 2]);
  double x, y, z, u;
  third >> x >> y >> z >> u;
  EXPECT_EQ(Bits(x), Bits(-1e300));
  EXPECT_EQ(Bits(u), Bits(2.0 / 3.0));
  // Every vertex carries its group's colour, a different one per group.
  std::vector<std::string> colours;
  for (size_t v = 0; v < vertexCount; ++v) {
    std::istringstream fields(lines[body + v]);
    std::string skip, red, green, blue;
    fields >> skip >> skip >> skip >> skip >> red >> green >> blue;
    colours.push_back(red + " " + green + " " + blue);
  }
  for (size_t v = 1; v < 5; ++v) EXPECT_EQ(colours[v], colours[0]);
  EXPECT_EQ(colours[6], colours[5]);
  EXPECT_NE(colours[5], colours[0]);
  std::vector<std::string> edges(lines.begin() + body + vertexCount, lines.end());
  EXPECT_EQ(edges, (std::vector<std::string>{"0 1", "1 2", "2 0", "3 4", "5 6"}));
}

std::string DecodeBase64(const std::string& text) {
  std::string out;
  uint32_t chunk = 0;
  int bits = 0;
  for (char c : text) {
    const char* found = strchr("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/", c);
    if (c == '=' || !found || !c) break;
    chunk = (chunk << 6) | static_cast<uint32_t>(found - "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/");
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<char>((chunk >> bits) & 0xFF));
    }
  }
  return out;
}

uint32_t Uint32At(const std::string& bytes, size_t offset) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<uint8_t>(bytes.at(offset + i));
  return value;
}

float FloatAt(const std::string& bytes, size_t offset) {
  const uint32_t bits = Uint32At(bytes, offset);
  float value;
  memcpy(&value, &bits, sizeof value);
  return value;
}

std::vector<CWireGroup> GltfSample() {
  auto groups = SampleWires();
  groups[0].vertices[2].position[0] = -1e30;  // -1e300 has no float
  groups.push_back(CWireGroup{"empty", {}, {}});
  groups.push_back(CWireGroup{"points", {Vertex(1, 1, 1, 0)}, {}});
  return groups;
}

// Checks one document against SampleWires() plus an empty and a point-only group.
void CheckGltf(const nlohmann::json& document, const std::string& buffer) {
  EXPECT_EQ(document["asset"]["version"], "2.0");
  ASSERT_EQ(document["nodes"].size(), 4u);
  EXPECT_EQ(document["nodes"][1]["name"], "second\nline");
  EXPECT_FALSE(document["nodes"][2].contains("mesh"));
  EXPECT_EQ(document["scenes"][0]["nodes"], nlohmann::json({0, 1, 2, 3}));
  ASSERT_EQ(document["buffers"][0]["byteLength"].get<size_t>(), buffer.size());
  const auto groups = GltfSample();
  auto view = [&](int accessor, size_t* count) {
    const nlohmann::json& entry = document["accessors"][accessor];
    const nlohmann::json& bufferView = document["bufferViews"][entry["bufferView"].get<int>()];
    *count = entry["count"];
    return bufferView["byteOffset"].get<size_t>() + entry.value("byteOffset", 0);
  };
  for (size_t g = 0; g < 2; ++g) {
    const nlohmann::json& mesh = document["meshes"][document["nodes"][g]["mesh"].get<int>()];
    const nlohmann::json& primitive = mesh["primitives"][0];
    EXPECT_EQ(primitive["mode"], 1);
    size_t count = 0;
    const int positionAccessor = primitive["attributes"]["POSITION"];
    EXPECT_EQ(document["accessors"][positionAccessor]["componentType"], 5126);
    size_t offset = view(positionAccessor, &count);
    ASSERT_EQ(count, groups[g].vertices.size());
    float low[3] = {FLT_MAX, FLT_MAX, FLT_MAX}, high[3] = {-FLT_MAX, -FLT_MAX, -FLT_MAX};
    for (size_t v = 0; v < count; ++v)
      for (int i = 0; i < 3; ++i) {
        const float value = FloatAt(buffer, offset + 12 * v + 4 * i);
        EXPECT_EQ(value, static_cast<float>(groups[g].vertices[v].position[i]));
        low[i] = std::min(low[i], value);
        high[i] = std::max(high[i], value);
      }
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(document["accessors"][positionAccessor]["min"][i].get<float>(), low[i]);
      EXPECT_EQ(document["accessors"][positionAccessor]["max"][i].get<float>(), high[i]);
    }
    offset = view(primitive["attributes"]["TEXCOORD_0"], &count);
    for (size_t v = 0; v < count; ++v) {
      EXPECT_EQ(FloatAt(buffer, offset + 8 * v), static_cast<float>(groups[g].vertices[v].u));
      EXPECT_EQ(FloatAt(buffer, offset + 8 * v + 4), 0.0f);
    }
    offset = view(primitive["indices"], &count);
    ASSERT_EQ(count, 2 * groups[g].segments.size());
    for (size_t s = 0; s < groups[g].segments.size(); ++s) {
      EXPECT_EQ(Uint32At(buffer, offset + 8 * s), static_cast<uint32_t>(groups[g].segments[s].a));
      EXPECT_EQ(Uint32At(buffer, offset + 8 * s + 4), static_cast<uint32_t>(groups[g].segments[s].b));
    }
  }
  // A material per group with a mesh, each its own colour.
  ASSERT_EQ(document["materials"].size(), 3u);
  std::set<std::vector<double>> colours;
  for (size_t g : {0, 1, 3}) {
    const nlohmann::json& primitive = document["meshes"][document["nodes"][g]["mesh"].get<int>()]["primitives"][0];
    const nlohmann::json& material = document["materials"][primitive["material"].get<int>()];
    EXPECT_EQ(material["name"], groups[g].name);
    colours.insert(material["pbrMetallicRoughness"]["baseColorFactor"].get<std::vector<double>>());
  }
  EXPECT_EQ(colours.size(), 3u);
  const nlohmann::json& points = document["meshes"][document["nodes"][3]["mesh"].get<int>()]["primitives"][0];
  EXPECT_EQ(points["mode"], 0);
  EXPECT_FALSE(points.contains("indices"));
}

TEST(GltfWriter, EmbedsTheBufferAsADataUri) {
  CScratchFolder folder;
  std::string error;
  const auto file = folder.path() / "wires.gltf";
  ASSERT_TRUE(cliio::WriteWireFile(file, GltfSample(), &error)) << error;
  const nlohmann::json document = nlohmann::json::parse(ReadAll(file));
  const std::string uri = document["buffers"][0]["uri"];
  const std::string prefix = "data:application/octet-stream;base64,";
  ASSERT_EQ(uri.rfind(prefix, 0), 0u);
  CheckGltf(document, DecodeBase64(uri.substr(prefix.size())));
}

TEST(GltfWriter, GlbCarriesJsonAndBinaryChunks) {
  CScratchFolder folder;
  std::string error;
  const auto file = folder.path() / "wires.glb";
  ASSERT_TRUE(cliio::WriteWireFile(file, GltfSample(), &error)) << error;
  const std::string bytes = ReadAll(file);
  ASSERT_GE(bytes.size(), 28u);
  EXPECT_EQ(bytes.substr(0, 4), "glTF");
  EXPECT_EQ(Uint32At(bytes, 4), 2u);
  EXPECT_EQ(Uint32At(bytes, 8), bytes.size());
  const uint32_t jsonLength = Uint32At(bytes, 12);
  EXPECT_EQ(jsonLength % 4, 0u);
  EXPECT_EQ(bytes.substr(16, 4), std::string("JSON"));
  const nlohmann::json document = nlohmann::json::parse(bytes.substr(20, jsonLength));
  EXPECT_FALSE(document["buffers"][0].contains("uri"));
  const size_t binAt = 20 + jsonLength;
  const uint32_t binLength = Uint32At(bytes, binAt);
  EXPECT_EQ(binLength % 4, 0u);
  EXPECT_EQ(bytes.substr(binAt + 4, 4), std::string("BIN\0", 4));
  EXPECT_EQ(binAt + 8 + binLength, bytes.size());
  CheckGltf(document, bytes.substr(binAt + 8, document["buffers"][0]["byteLength"].get<size_t>()));
}

TEST(GltfWriter, RefusesCoordinatesBeyondFloatRange) {
  std::string bytes, detail;
  std::vector<CWireGroup> groups = {CWireGroup{"far", {Vertex(1e39, 0, 0, 0)}, {}}};
  EXPECT_FALSE(cliio::SerializeWires(groups, cliio::WireFormat::kGlb, &bytes, &detail));
  EXPECT_NE(detail.find("32-bit"), std::string::npos) << detail;
  EXPECT_TRUE(cliio::SerializeWires(groups, cliio::WireFormat::kObj, &bytes, &detail)) << detail;
}

TEST(WireFile, BadWiresAndUnknownFormatsLeaveAnExistingFileAlone) {
  CScratchFolder folder;
  const auto file = folder.Write("wires.obj", "old contents\n");
  std::string error;
  auto groups = SampleWires();
  groups[1].segments.push_back({1, 2});
  EXPECT_FALSE(cliio::WriteWireFile(file, groups, &error));
  EXPECT_EQ(error, file.string() + ": not written: group 2 (second\nline) segment 1 names a vertex outside its 2");
  groups = SampleWires();
  groups[0].vertices[1].u = NAN;
  EXPECT_FALSE(cliio::WriteWireFile(file, groups, &error));
  EXPECT_NE(error.find("group 1 (ring) vertex 1 is not finite"), std::string::npos) << error;
  EXPECT_FALSE(cliio::WriteWireFile(folder.path() / "wires.stl", SampleWires(), &error));
  EXPECT_EQ(error, (folder.path() / "wires.stl").string() + ": unknown output format (use .obj, .ply, .gltf or .glb)");
  EXPECT_EQ(ReadAll(file), "old contents\n");
  EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"wires.obj"}));
}

TEST(AtomicFile, AFolderInTheWayOrAMissingFolderFailsCleanly) {
  CScratchFolder folder;
  std::filesystem::create_directory(folder.path() / "taken.obj");
  folder.Write("taken.obj/keep", "x");
  std::string error;
  EXPECT_FALSE(cliio::WriteWireFile(folder.path() / "taken.obj", SampleWires(), &error));
  EXPECT_EQ(error.rfind((folder.path() / "taken.obj").string() + ": ", 0), 0u) << error;
  EXPECT_EQ(ReadAll(folder.path() / "taken.obj/keep"), "x");
  EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"taken.obj"}));
  const auto nowhere = folder.path() / "no-such-folder" / "wires.obj";
  EXPECT_FALSE(cliio::WriteFileAtomically(nowhere, "data", &error));
  EXPECT_EQ(error.rfind(nowhere.string() + ": cannot be written (", 0), 0u) << error;
}

// A file-size limit makes the write itself fail part way, for root as well.
TEST(AtomicFile, AWriteThatFailsPartWayKeepsTheOldFileAndLeavesNoTemporary) {
  CScratchFolder folder;
  const auto file = folder.Write("wires.ply", "old contents\n");
  rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  void (*previous)(int) = signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  std::string error;
  const bool written = cliio::WriteFileAtomically(file, std::string(100000, 'w'), &error);
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, previous);
  EXPECT_FALSE(written);
  EXPECT_EQ(error.rfind(file.string() + ": could not be written completely (", 0), 0u) << error;
  EXPECT_EQ(ReadAll(file), "old contents\n");
  EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"wires.ply"}));
}

TEST(AtomicFile, ReplacingKeepsTheFilePermissions) {
  CScratchFolder folder;
  const auto file = folder.Write("wires.obj", "old");
  std::filesystem::permissions(file, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                                         std::filesystem::perms::group_read);
  std::string error;
  ASSERT_TRUE(cliio::WriteFileAtomically(file, "new", &error)) << error;
  EXPECT_EQ(ReadAll(file), "new");
  EXPECT_EQ(std::filesystem::status(file).permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write | std::filesystem::perms::group_read);
  ASSERT_TRUE(cliio::WriteFileAtomically(folder.path() / "fresh.obj", "", &error)) << error;
  EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"fresh.obj", "wires.obj"}));
}

TEST(FramePattern, AcceptsOneIntegerConversion) {
  struct {
    const char* pattern;
    int frame;
    const char* name;
  } cases[] = {{"wires%d.obj", 7, "wires7.obj"},       {"out/f%04d.glb", 12, "out/f0012.glb"},
               {"%3i.ply", 5, "  5.ply"},              {"100%%-%02d.obj", 3, "100%-03.obj"},
               {"neg%04d.obj", -5, "neg-005.obj"},     {"%d", 123456, "123456"}};
  for (const auto& c : cases) {
    cliio::CFramePattern pattern;
    std::string error;
    ASSERT_TRUE(cliio::CFramePattern::Parse(c.pattern, &pattern, &error)) << c.pattern << ": " << error;
    EXPECT_EQ(pattern.NameFor(c.frame), c.name);
  }
}

TEST(FramePattern, RefusesEverythingElse) {
  for (const char* text : {"wires.obj", "100%%.obj", "%d-%d.obj", "%s.obj", "%x.obj", "%.obj", "wires%", "%-4d.obj",
                           "%99d.obj", "%ld.obj", "%n.obj"}) {
    cliio::CFramePattern pattern;
    std::string error;
    EXPECT_FALSE(cliio::CFramePattern::Parse(text, &pattern, &error)) << text;
    EXPECT_EQ(error.rfind(std::string("the output pattern \"") + text + "\" ", 0), 0u) << error;
  }
}

}  // namespace

namespace {

// The file goes through the same staged temporary as the command's outputs:
// a link keeps being a link to the new contents, and something that is not a
// regular file is refused, not replaced.
TEST(WireFile, WritesThroughALinkAndRefusesWhatIsNotARegularFile) {
  CScratchFolder folder;
  const auto target = folder.Write("real.obj", "old contents\n");
  const auto link = folder.path() / "link.obj";
  std::filesystem::create_symlink("real.obj", link);
  std::string error;
  ASSERT_TRUE(cliio::WriteWireFile(link, SampleWires(), &error)) << error;
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadAll(target).rfind("# wires written by tressel wire\n", 0), 0u);

  const auto pipe = folder.path() / "pipe.obj";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_FALSE(cliio::WriteWireFile(pipe, SampleWires(), &error));
  EXPECT_EQ(error, pipe.string() + ": cannot be written: it is not a regular file");
  EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"link.obj", "pipe.obj", "real.obj"}));
}

}  // namespace
