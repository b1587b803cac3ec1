// The importer's bounds and its newer readers: binary STL, the column storage,
// placements of one mesh, files that are not regular, nesting and declared
// sizes beyond what a file holds, standard input and the progress callback.
#include <stdint.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "TestFiles.h"
#include "cli/io/MeshImport.h"

namespace {

using cliio::CImportedMesh;
using cliio::ImportMeshFile;
using cliio_test::CScratchFolder;

std::string BinaryStl(const std::string& header, const std::vector<std::vector<float>>& facets,
                      const std::vector<uint16_t>& attributes) {
  std::string bytes = header;
  bytes.resize(80, ' ');
  const uint32_t count = uint32_t(facets.size());
  bytes.append(reinterpret_cast<const char*>(&count), 4);
  for (size_t f = 0; f < facets.size(); ++f) {
    bytes.append(reinterpret_cast<const char*>(facets[f].data()), 48);
    bytes.append(reinterpret_cast<const char*>(&attributes[f]), 2);
  }
  return bytes;
}

std::string ErrorOf(const std::filesystem::path& file) {
  std::string error;
  EXPECT_TRUE(ImportMeshFile(file, &error).empty()) << file;
  EXPECT_EQ(error.rfind(file.string() + ": ", 0), 0u) << error;
  return error;
}

TEST(StlImport, BinaryKeepsFloatsNormalsAndFacetColours) {
  CScratchFolder folder;
  const std::vector<float> first = {0, 0, 1, 0.1f, 0.2f, 0.3f, 1, 0, 0, 1, 1, 0};
  const std::vector<float> second = {0, 0, -1, 0, 0, 0, 1, 1, 0, 0, 1, 0};
  // The second facet's attribute: colour bit set, R = 31 in bits 10..14.
  const auto file = folder.Write("two.stl", BinaryStl("solid but binary", {first, second}, {0, 0x8000 | (31 << 10)}));
  std::string error;
  const auto meshes = ImportMeshFile(file, &error);
  ASSERT_EQ(meshes.size(), 1u) << error;
  const CImportedMesh& mesh = meshes[0];
  EXPECT_EQ(mesh.name, "mesh 1");
  ASSERT_EQ(mesh.VertexCount(), 6u);
  EXPECT_EQ(mesh.FacetCount(), 2u);
  EXPECT_EQ(mesh.Vertex(0).position[0], double(0.1f));  // the float, widened exactly
  EXPECT_EQ(mesh.Vertex(2).normal[2], 1);
  EXPECT_EQ(mesh.Vertex(5).normal[2], -1);
  EXPECT_EQ(mesh.normals.RowsPerValue(), 3u);  // one normal a facet
  EXPECT_TRUE(mesh.CornersInRun());
  EXPECT_EQ(mesh.Corner(1, 0), 3);
  // Once a facet is coloured every corner is: the others light grey.
  const uint8_t grey[4] = {153, 153, 153, 153};
  const uint8_t red[4] = {255, 255, 0, 0};
  EXPECT_EQ(std::memcmp(mesh.Vertex(0).argb, grey, 4), 0);
  EXPECT_EQ(std::memcmp(mesh.Vertex(4).argb, red, 4), 0);

  const std::string zero = BinaryStl("", {}, {});
  EXPECT_NE(ErrorOf(folder.Write("none.stl", zero)).find("counts no facets"), std::string::npos);
  std::vector<float> infinite = first;
  infinite[4] = HUGE_VALF;
  EXPECT_NE(ErrorOf(folder.Write("inf.stl", BinaryStl("", {infinite}, {0}))).find("facet 0 has a value that is not a finite"),
            std::string::npos);
}

TEST(StlImport, AsciiErrorsNameTheLine) {
  CScratchFolder folder;
  const std::string facet = "facet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\n";
  EXPECT_NE(ErrorOf(folder.Write("short.stl", "solid s\n" + facet + "endloop\nendfacet\nendsolid s\n")).find("2 vertices"),
            std::string::npos);
  EXPECT_NE(ErrorOf(folder.Write("word.stl", "solid s\n" + facet + "vertex 1 x 0\nendloop\nendfacet\nendsolid\n"))
                .find("line 6: \"x\" is not a finite"),
            std::string::npos);
  EXPECT_NE(ErrorOf(folder.Write("words.stl", "hello there\n")).find("neither binary STL"), std::string::npos);
}

TEST(ImportedMesh, ColumnsSwitchToOffsetsAndColoursOnlyWhenNeeded) {
  CImportedMesh mesh;
  cliio::CImportedVertex vertex;
  for (int i = 0; i < 4; ++i) {
    vertex.position[0] = i;
    mesh.AddVertex(vertex);
  }
  EXPECT_TRUE(mesh.colors.empty());
  EXPECT_TRUE(mesh.normals.Empty());
  vertex.normal[1] = 1;
  vertex.argb[1] = 0;
  mesh.AddVertex(vertex);
  ASSERT_EQ(mesh.normals.Size(), 5u);
  EXPECT_EQ(mesh.Vertex(0).normal[1], 0);
  EXPECT_EQ(mesh.Vertex(4).normal[1], 1);
  EXPECT_EQ(mesh.Vertex(0).argb[1], 0xFF);
  EXPECT_EQ(mesh.Vertex(4).argb[1], 0);

  const int32_t triangle[3] = {0, 1, 2}, quad[4] = {0, 1, 2, 3}, point[1] = {4};
  mesh.AddFacet(triangle, 3);
  mesh.AddFacet(triangle, 3, 0x11223344u);
  mesh.AddFacet(quad, 4);
  mesh.AddFacet(point, 1);
  ASSERT_EQ(mesh.FacetCount(), 4u);
  EXPECT_EQ(mesh.CornerCount(1), 3);
  EXPECT_EQ(mesh.CornerCount(2), 4);
  EXPECT_EQ(mesh.Corner(2, 3), 3);
  EXPECT_EQ(mesh.Corner(3, 0), 4);
  EXPECT_EQ(mesh.FacetColor(0), cliio::kOpaqueWhiteWord);
  EXPECT_EQ(mesh.FacetColor(1), 0x11223344u);
  EXPECT_EQ(mesh.FacetColor(3), cliio::kOpaqueWhiteWord);
}

TEST(ImportedMesh, ValuesSharedByRunsOfRows) {
  cliio::CVectorColumn column(true);
  column.SetRowsPerValue(3);
  const float up[3] = {0, 0, 1}, down[3] = {0, 0, -1};
  column.AddFloats(up);
  column.AddFloats(down);
  ASSERT_EQ(column.Size(), 6u);
  double value[3];
  column.Get(2, value);
  EXPECT_EQ(value[2], 1);
  column.Get(3, value);
  EXPECT_EQ(value[2], -1);
  column.Set(4, 0, 1, 0);  // the value of rows 3 to 5
  column.Get(5, value);
  EXPECT_EQ(value[1], 1);
  EXPECT_EQ(value[2], 0);
  column.Get(0, value);
  EXPECT_EQ(value[2], 1);
  EXPECT_LT(column.Bytes(), 6 * 3 * sizeof(float));  // two values stored, not six
  // A partial run is a whole value: row 7 exists, and is zero.
  column.Resize(8);
  EXPECT_EQ(column.Size(), 9u);
  column.Get(7, value);
  EXPECT_EQ(value[0] + value[1] + value[2], 0);
}

TEST(ImportedMesh, SoupCornersAreCountedUntilAFacetBreaksTheRun) {
  CImportedMesh soup;
  const int32_t first[3] = {0, 1, 2}, second[3] = {3, 4, 5}, third[3] = {6, 7, 8};
  soup.AddFacet(first, 3);
  soup.AddFacet(second, 3, 0x11223344u);
  soup.AddFacet(third, 3);
  EXPECT_TRUE(soup.CornersInRun());
  ASSERT_EQ(soup.FacetCount(), 3u);
  EXPECT_EQ(soup.Corner(2, 1), 7);
  EXPECT_EQ(soup.FacetColor(1), 0x11223344u);
  EXPECT_EQ(soup.FacetColor(2), cliio::kOpaqueWhiteWord);

  // A repeated corner ends the run; every earlier corner is kept as it was.
  CImportedMesh broken = soup;
  broken.AddFacet(third, 3);
  EXPECT_FALSE(broken.CornersInRun());
  ASSERT_EQ(broken.FacetCount(), 4u);
  for (int32_t k = 0; k < 3; ++k) {
    EXPECT_EQ(broken.Corner(1, k), 3 + k);
    EXPECT_EQ(broken.Corner(3, k), 6 + k);
  }
  // So does another corner count: the facets then have offsets.
  const int32_t quad[4] = {9, 10, 11, 12};
  soup.AddFacet(quad, 4);
  EXPECT_FALSE(soup.CornersInRun());
  ASSERT_EQ(soup.FacetCount(), 4u);
  EXPECT_EQ(soup.CornerCount(2), 3);
  EXPECT_EQ(soup.Corner(2, 2), 8);
  EXPECT_EQ(soup.CornerCount(3), 4);
  EXPECT_EQ(soup.Corner(3, 3), 12);

  // A mesh whose first facet does not begin at vertex 0 is never a run.
  CImportedMesh indexed;
  indexed.AddFacet(second, 3);
  indexed.AddFacet(first, 3);
  EXPECT_FALSE(indexed.CornersInRun());
  EXPECT_EQ(indexed.Corner(0, 0), 3);
  EXPECT_EQ(indexed.Corner(1, 2), 2);
}

// One mesh placed by three nodes (one of them a child of another): three
// groups, each under its node's world transform, told apart by node name.
TEST(Instances, EveryPlacementIsAGroupOfItsOwn) {
  const float positions[] = {0, 0, 0, 1, 0, 0, 1, 1, 0};
  const uint16_t indices[] = {0, 1, 2};
  std::string buffer(reinterpret_cast<const char*>(positions), sizeof positions);
  buffer.append(reinterpret_cast<const char*>(indices), sizeof indices);
  buffer.append(2, '\0');
  std::string base64;
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (size_t i = 0; i < buffer.size(); i += 3) {
    uint32_t chunk = uint32_t(uint8_t(buffer[i])) << 16;
    if (i + 1 < buffer.size()) chunk |= uint32_t(uint8_t(buffer[i + 1])) << 8;
    if (i + 2 < buffer.size()) chunk |= uint8_t(buffer[i + 2]);
    base64 += kAlphabet[(chunk >> 18) & 63];
    base64 += kAlphabet[(chunk >> 12) & 63];
    base64 += i + 1 < buffer.size() ? kAlphabet[(chunk >> 6) & 63] : '=';
    base64 += i + 2 < buffer.size() ? kAlphabet[chunk & 63] : '=';
  }
  const nlohmann::json document = {
      {"asset", {{"version", "2.0"}}},
      {"scene", 0},
      {"scenes", {{{"nodes", {0, 1}}}}},
      {"nodes",
       {{{"mesh", 0}, {"name", "left"}, {"translation", {10, 0, 0}}},
        {{"mesh", 0}, {"name", "up"}, {"translation", {0, 5, 0}}, {"children", {2}}},
        {{"mesh", 0}, {"name", "twice"}, {"scale", {2, 2, 2}}}}},
      {"meshes", {{{"name", "tri"}, {"primitives", {{{"attributes", {{"POSITION", 0}}}, {"indices", 1}}}}}}},
      {"buffers", {{{"byteLength", buffer.size()}, {"uri", "data:application/octet-stream;base64," + base64}}}},
      {"bufferViews", {{{"buffer", 0}, {"byteOffset", 0}, {"byteLength", sizeof positions}},
                       {{"buffer", 0}, {"byteOffset", sizeof positions}, {"byteLength", sizeof indices}}}},
      {"accessors", {{{"bufferView", 0}, {"componentType", 5126}, {"count", 3}, {"type", "VEC3"},
                      {"min", {0, 0, 0}}, {"max", {1, 1, 0}}},
                     {{"bufferView", 1}, {"componentType", 5123}, {"count", 3}, {"type", "SCALAR"}}}}};
  CScratchFolder folder;
  std::string error;
  const auto meshes = ImportMeshFile(folder.Write("three.gltf", document.dump()), &error);
  ASSERT_EQ(meshes.size(), 3u) << error;
  EXPECT_EQ(meshes[0].name, "tri @ left");
  EXPECT_EQ(meshes[1].name, "tri @ up");
  EXPECT_EQ(meshes[2].name, "tri @ twice");
  EXPECT_EQ(meshes[0].Vertex(1).position[0], 11);
  EXPECT_EQ(meshes[1].Vertex(2).position[1], 6);
  EXPECT_EQ(meshes[2].Vertex(2).position[0], 2);  // scaled 2, then moved up 5 by its parent
  EXPECT_EQ(meshes[2].Vertex(2).position[1], 7);
}

TEST(ImportBounds, OnlyRegularFilesAreRead) {
  CScratchFolder folder;
  const auto fifo = folder.path() / "pipe.obj";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_NE(ErrorOf(fifo).find("is a pipe (FIFO)"), std::string::npos);  // refused at once, not waited on
  const auto loop = folder.path() / "a.obj";
  std::filesystem::create_symlink("b.obj", loop);
  std::filesystem::create_symlink("a.obj", folder.path() / "b.obj");
  EXPECT_NE(ErrorOf(loop).find("loop"), std::string::npos);
  EXPECT_NE(ErrorOf("/dev/null").find("device"), std::string::npos);

  // A material library that is a device is named in a warning; the mesh reads.
  std::vector<std::string> warnings;
  std::string error;
  const auto meshes = ImportMeshFile(folder.Write("zero.obj", "mtllib /dev/zero\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n"), &error,
                                     {"", nullptr, &warnings});
  ASSERT_EQ(meshes.size(), 1u) << error;
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("/dev/zero: is a device"), std::string::npos) << warnings[0];
}

TEST(ImportBounds, TextQuirksAndOutOfRangeValues) {
  CScratchFolder folder;
  std::string error;
  // A byte-order mark and a backslash ending the file do not cost a line.
  auto meshes = ImportMeshFile(folder.Write("bom.obj", "\xEF\xBB\xBFv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3 \\"), &error);
  ASSERT_EQ(meshes.size(), 1u) << error;
  EXPECT_EQ(meshes[0].FacetCount(), 1u);
  EXPECT_NE(ErrorOf(folder.Write("big.obj", "v 0 0 0\nv 1e39 0 0\nv 0 1 0\nf 1 2 3\n")).find("line 2: \"1e39\" is beyond single precision"),
            std::string::npos);
  EXPECT_NE(ErrorOf(folder.Write("big.off", "OFF\n3 1 0\n0 0 0\n0 -4e38 0\n0 1 0\n3 0 1 2\n")).find("line 4: \"-4e38\""),
            std::string::npos);
  const std::string header = "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\nproperty float z\n"
                             "element face 1\nproperty list uchar int vertex_indices\nend_header\n0 0 0\n1 0 0\n0 1 0\n";
  EXPECT_NE(ErrorOf(folder.Write("negative.ply", header + "3 0 1 -7\n")).find("names vertex -7 (a negative index)"),
            std::string::npos);
  // Names and errors are printable: control characters escaped.
  meshes = ImportMeshFile(folder.Write("escape.obj", "o \x1b[31mred\nv 0 0 0\nf 1 1 1\n"), &error);
  ASSERT_EQ(meshes.size(), 1u) << error;
  EXPECT_EQ(cliio::Printable(meshes[0].name), "\\e[31mred");
  EXPECT_EQ(ErrorOf(folder.Write("bell.obj", "v 0 \x07 0\n")).find('\x07'), std::string::npos);
}

TEST(ImportBounds, NestingAndDeclaredSizesBeyondTheFileAreRefusedAtOnce) {
  CScratchFolder folder;
  EXPECT_NE(ErrorOf(folder.Write("noend.ply", "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\n")).find("no end_header"),
            std::string::npos);
  EXPECT_NE(ErrorOf(folder.Write("many.ply", "ply\nformat binary_little_endian 1.0\nelement vertex 4000000000\nproperty float x\n"
                                             "end_header\n" + std::string(24, '\0')))
                .find("declares 4000000000 vertex elements"),
            std::string::npos);
  std::string glb = "glTF";
  const uint32_t words[] = {2, 200, 0xFFFFFFF0u, 0x4E4F534Au};
  glb.append(reinterpret_cast<const char*>(words), sizeof words);
  glb.resize(200, ' ');
  EXPECT_NE(ErrorOf(folder.Write("huge.glb", glb)).find("declares 4294967280 bytes"), std::string::npos);

  const std::string deep(20000, '[');
  EXPECT_NE(ErrorOf(folder.Write("deep.gltf", "{\"asset\":{\"version\":\"2.0\"},\"x\":" + deep + "}")).find("levels deep"),
            std::string::npos);
  nlohmann::json nodes = nlohmann::json::array();
  for (int n = 0; n + 1 < 5000; ++n) nodes.push_back({{"children", {n + 1}}});
  nodes.push_back(nlohmann::json::object());
  const nlohmann::json chain = {{"asset", {{"version", "2.0"}}}, {"scenes", {{{"nodes", {0}}}}}, {"nodes", nodes}};
  EXPECT_NE(ErrorOf(folder.Write("chain.gltf", chain.dump())).find("nests nodes more than 512 levels"), std::string::npos);
  const nlohmann::json cycle = {{"asset", {{"version", "2.0"}}},
                                {"scenes", {{{"nodes", {0}}}}},
                                {"nodes", {{{"children", {1}}}, {{"children", {0}}}}}};
  EXPECT_NE(ErrorOf(folder.Write("cycle.gltf", cycle.dump())).find("cycle"), std::string::npos);
  std::string xml = "<?xml version=\"1.0\"?><COLLADA>";
  for (int i = 0; i < 5000; ++i) xml += "<node>";
  EXPECT_NE(ErrorOf(folder.Write("deep.dae", xml)).find("nests XML elements"), std::string::npos);
  // A data array without its count made the library read past it (a fuzzer's
  // find); with the count the same triangle reads.
  auto collada = [](const std::string& arrayAttributes) {
    return "<?xml version=\"1.0\"?>\n<COLLADA xmlns=\"http://www.collada.org/2005/11/COLLADASchema\" version=\"1.4.1\">\n"
           "<library_geometries><geometry id=\"g\"><mesh><source id=\"p\">\n<float_array id=\"pa\"" +
           arrayAttributes +
           ">0 0 0 1 0 0 0 1 0</float_array><technique_common><accessor source=\"#pa\" count=\"3\" stride=\"3\">"
           "<param name=\"X\" type=\"float\"/><param name=\"Y\" type=\"float\"/><param name=\"Z\" type=\"float\"/>"
           "</accessor></technique_common></source><vertices id=\"v\"><input semantic=\"POSITION\" source=\"#p\"/></vertices>"
           "<triangles count=\"1\"><input semantic=\"VERTEX\" source=\"#v\" offset=\"0\"/><p>0 1 2</p></triangles>"
           "</mesh></geometry></library_geometries></COLLADA>\n";
  };
  EXPECT_NE(ErrorOf(folder.Write("uncounted.dae", collada(" c7ount=\"9\""))).find("line 4: a COLLADA float_array without its count"),
            std::string::npos);
  std::string error;
  EXPECT_NO_THROW(ImportMeshFile(folder.Write("counted.dae", collada(" count=\"9\"")), &error));
  EXPECT_EQ(error.find("without its count"), std::string::npos) << error;
  // An index that is not a whole number made the library's index array grow
  // without end (hundreds of MB within seconds): refused, naming it.
  std::string exponent = collada(" count=\"9\"");
  exponent.replace(exponent.find("<p>0 1 2</p>"), 12, "<p>0\n1 2e9</p>");
  EXPECT_NE(ErrorOf(folder.Write("exponent.dae", exponent)).find("line 5: a COLLADA p list holds \"2e9\", not a whole number"),
            std::string::npos)
      << ErrorOf(folder.Write("exponent.dae", exponent));
}

TEST(Instances, TheEngineIsPlacedSixtySevenTimes) {
  const std::filesystem::path engine = "/usr/share/assimp/models/glTF2/2CylinderEngine-glTF-Binary/2CylinderEngine.glb";
  if (!std::filesystem::exists(engine)) GTEST_SKIP() << "assimp-testmodels is not installed";
  std::string error;
  const auto meshes = ImportMeshFile(engine, &error);
  ASSERT_EQ(meshes.size(), 67u) << error;
  std::vector<std::string> names;
  for (const CImportedMesh& mesh : meshes) names.push_back(mesh.name);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end()) << "two placements share a name";
}

// '-' reads standard input, in the format the options name.
TEST(StandardInput, ReadsTheFormatItIsTold) {
  CScratchFolder folder;
  const auto file = folder.Write("in.off", "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n");
  const int saved = ::dup(STDIN_FILENO);
  ASSERT_GE(saved, 0);
  auto readAs = [&](const std::string& format, std::string* error) {
    FILE* in = std::fopen(file.c_str(), "rb");
    ::dup2(::fileno(in), STDIN_FILENO);
    std::fclose(in);
    auto meshes = ImportMeshFile(cliio::kStandardInputName, error, {format, nullptr, nullptr});
    ::dup2(saved, STDIN_FILENO);
    return meshes;
  };
  std::string error;
  const auto meshes = readAs("off", &error);
  ASSERT_EQ(meshes.size(), 1u) << error;
  EXPECT_EQ(meshes[0].name, "stdin");
  EXPECT_EQ(meshes[0].FacetCount(), 1u);
  EXPECT_TRUE(readAs("", &error).empty());
  EXPECT_EQ(error, "standard input: needs --input-format to say what it holds");
  ::close(saved);
}

TEST(ImportProgress, ReportsRiseToOneAndFalseCancels) {
  std::string text;
  for (int i = 0; i < 200000; ++i) text += "v " + std::to_string(i) + " 0 0\n";
  text += "p 1\n";
  std::vector<double> seen;
  std::string error;
  cliio::CImportOptions options;
  options.format = "obj";
  options.progress = [&seen](double fraction) {
    seen.push_back(fraction);
    return true;
  };
  const auto meshes = cliio::ImportMeshBytes(text, "bytes", &error, options);
  ASSERT_EQ(meshes.size(), 1u) << error;
  ASSERT_GT(seen.size(), 3u);
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  EXPECT_EQ(seen.back(), 1.0);
  EXPECT_EQ(std::count(seen.begin(), seen.end(), 1.0), 1);

  int calls = 0;
  options.progress = [&calls](double) { return ++calls < 3; };
  EXPECT_TRUE(cliio::ImportMeshBytes(text, "bytes", &error, options).empty());
  EXPECT_EQ(error, "bytes: reading was cancelled");
  EXPECT_EQ(calls, 3);
}

}  // namespace

namespace {

// The same quad and triangle in every PLY encoding the dedicated reader takes.
std::string PlyFile(const std::string& format, bool bigEndian) {
  std::string text = "ply\nformat " + format + " 1.0\ncomment two faces\nelement vertex 4\nproperty float x\n"
                     "property float y\nproperty double z\nproperty uchar red\nproperty uchar green\nproperty uchar blue\n"
                     "element face 2\nproperty list uchar int vertex_indices\nend_header\n";
  const double rows[4][6] = {{0, 0, 0.5, 255, 0, 0}, {1, 0, 0, 0, 255, 0}, {1, 1, 0, 0, 0, 255}, {0, 1, 0, 10, 20, 30}};
  const std::vector<std::vector<int32_t>> faces = {{0, 1, 2, 3}, {1, 3, 2}};
  if (format == "ascii") {
    for (const auto& row : rows)
      text += std::to_string(row[0]) + " " + std::to_string(row[1]) + " " + std::to_string(row[2]) + " " +
              std::to_string(int(row[3])) + " " + std::to_string(int(row[4])) + " " + std::to_string(int(row[5])) + "\n";
    text += "4 0 1 2 3\n3 1 3 2\n";
    return text;
  }
  auto put = [&](const void* value, size_t size) {
    std::string bytes(static_cast<const char*>(value), size);
    if (bigEndian) std::reverse(bytes.begin(), bytes.end());
    text += bytes;
  };
  for (const auto& row : rows) {
    const float x = float(row[0]), y = float(row[1]);
    put(&x, 4), put(&y, 4), put(&row[2], 8);
    for (int c = 3; c < 6; ++c) text += char(uint8_t(row[c]));
  }
  for (const auto& face : faces) {
    text += char(face.size());
    for (int32_t index : face) put(&index, 4);
  }
  return text;
}

}  // namespace

TEST(PlyImport, EveryEncodingReadsTheSame) {
  CScratchFolder folder;
  for (const auto& [format, big] : std::vector<std::pair<std::string, bool>>{
           {"ascii", false}, {"binary_little_endian", false}, {"binary_big_endian", true}}) {
    std::string error;
    const auto meshes = ImportMeshFile(folder.Write(format + ".ply", PlyFile(format, big)), &error);
    ASSERT_EQ(meshes.size(), 1u) << format << ": " << error;
    const CImportedMesh& mesh = meshes[0];
    EXPECT_EQ(mesh.name, "mesh 1");
    ASSERT_EQ(mesh.VertexCount(), 4u) << format;
    ASSERT_EQ(mesh.FacetCount(), 2u) << format;
    EXPECT_EQ(mesh.CornerCount(0), 4);
    EXPECT_EQ(mesh.Corner(1, 1), 3) << format;
    EXPECT_EQ(mesh.Vertex(0).position[2], 0.5) << format;
    EXPECT_EQ(mesh.Vertex(3).argb[1], 10) << format;
    EXPECT_EQ(mesh.Vertex(3).argb[3], 30) << format;
    EXPECT_EQ(mesh.Vertex(0).argb[0], 255) << format;
  }
  // Cut short, and a lying count: errors, not reads past the end.
  std::string cut = PlyFile("binary_little_endian", false);
  cut.resize(cut.size() - 3);
  EXPECT_NE(ErrorOf(folder.Write("cut.ply", cut)).find("face 1 is cut short"), std::string::npos);
  std::string lying = PlyFile("binary_little_endian", false);
  lying.replace(lying.find("vertex 4"), 8, "vertex 400000");
  EXPECT_NE(ErrorOf(folder.Write("lying.ply", lying)).find("declares 400000 vertices"), std::string::npos);
}
