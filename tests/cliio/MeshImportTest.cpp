#include "cli/io/MeshImport.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "TestFiles.h"

namespace {

using cliio::CImportedFacet;
using cliio::CImportedMesh;
using cliio::ImportMeshFile;
using cliio_test::CScratchFolder;

std::vector<int32_t> Corners(const CImportedFacet& facet) {
  return std::vector<int32_t>(facet.corners, facet.corners + facet.count);
}

std::vector<std::vector<int32_t>> AllCorners(const CImportedMesh& mesh) {
  std::vector<std::vector<int32_t>> all;
  for (size_t f = 0; f < mesh.FacetCount(); ++f) all.push_back(Corners(mesh.Facet(f)));
  return all;
}

std::vector<uint8_t> Argb(const uint8_t argb[4]) { return std::vector<uint8_t>(argb, argb + 4); }

const std::vector<uint8_t> kWhite = {0xFF, 0xFF, 0xFF, 0xFF};

TEST(ObjImport, GroupsKeepTheFileVertexOrderAndSharing) {
  CScratchFolder folder;
  folder.Write("colours.mtl", "newmtl red\nKd 1 0 0\nnewmtl half\nKd 0 0 1\nd 0.5\n");
  const auto file = folder.Write("shapes.obj",
                                 "mtllib colours.mtl\n"
                                 "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
                                 "v 0 1 0\n"           // coincident with v 4, kept apart
                                 "v 2 0.5 0 1 0 0\n"   // with a vertex colour
                                 "vt 0.25 0.75\nvn 0 0 1\n"
                                 "o sheet\nusemtl red\n"
                                 "f 1/1/1 2 3 4\n"
                                 "f 2 6 3 -3\n"
                                 "g other\nusemtl none\n"
                                 "f 5 4 3 2 \\\n 1\n"  // a pentagon, continued on the next line
                                 "l 1 2 3\np 6\n");
  std::string error;
  const std::vector<CImportedMesh> meshes = ImportMeshFile(file, &error);
  ASSERT_EQ(meshes.size(), 2u) << error;
  EXPECT_TRUE(error.empty());

  const CImportedMesh& sheet = meshes[0];
  EXPECT_EQ(sheet.name, "sheet");
  ASSERT_EQ(sheet.VertexCount(), 5u);  // v 1 2 3 4 6; v 5 is not used here
  EXPECT_EQ(sheet.Vertex(4).position[0], 2);
  EXPECT_EQ(AllCorners(sheet), (std::vector<std::vector<int32_t>>{{0, 1, 2, 3}, {1, 4, 2, 3}}));
  EXPECT_EQ(Argb(sheet.Facet(0).argb), (std::vector<uint8_t>{0xFF, 0xFF, 0x00, 0x00}));
  EXPECT_EQ(sheet.Vertex(0).uvw[0], 0.25);
  EXPECT_EQ(sheet.Vertex(0).uvw[1], 0.75);
  EXPECT_EQ(sheet.Vertex(0).normal[2], 1);
  EXPECT_EQ(sheet.Vertex(1).normal[2], 0);
  EXPECT_EQ(Argb(sheet.Vertex(0).argb), kWhite);
  EXPECT_EQ(Argb(sheet.Vertex(4).argb), (std::vector<uint8_t>{0xFF, 0xFF, 0x00, 0x00}));

  const CImportedMesh& other = meshes[1];
  EXPECT_EQ(other.name, "other");
  ASSERT_EQ(other.VertexCount(), 6u);
  EXPECT_EQ(other.Vertex(3).position[1], other.Vertex(4).position[1]);
  EXPECT_EQ(AllCorners(other), (std::vector<std::vector<int32_t>>{
                                   {4, 3, 2}, {4, 2, 1}, {4, 1, 0},  // the pentagon's fan
                                   {0, 1}, {1, 2},                   // the polyline's segments
                                   {5}}));
  EXPECT_EQ(Argb(other.Facet(0).argb), kWhite);
}

// A group naming few of the file's vertices and one naming all of them take
// different ways to their vertex list; both keep the file's order. CRLF line
// ends and a last line without one read as any other.
TEST(ObjImport, SmallAndLargeGroupsBothKeepTheFileVertexOrder) {
  CScratchFolder folder;
  std::string text;
  for (int i = 0; i < 40; ++i) text += "v " + std::to_string(i) + " 0 0\r\n";
  text += "o small\r\nf 30 10 20\r\no big\r\np";
  for (int i = 40; i >= 1; --i) text += " " + std::to_string(i);
  std::string error;
  const auto meshes = ImportMeshFile(folder.Write("groups.obj", text), &error);
  ASSERT_EQ(meshes.size(), 2u) << error;
  const CImportedMesh& small = meshes[0];
  ASSERT_EQ(small.VertexCount(), 3u);
  EXPECT_EQ(small.Vertex(0).position[0], 9);
  EXPECT_EQ(small.Vertex(2).position[0], 29);
  EXPECT_EQ(AllCorners(small), (std::vector<std::vector<int32_t>>{{2, 0, 1}}));
  const CImportedMesh& big = meshes[1];
  ASSERT_EQ(big.VertexCount(), 40u);
  for (int i = 0; i < 40; ++i) EXPECT_EQ(big.Vertex(size_t(i)).position[0], i);
  ASSERT_EQ(big.FacetCount(), 40u);
  EXPECT_EQ(Corners(big.Facet(0)), (std::vector<int32_t>{39}));
  EXPECT_EQ(Corners(big.Facet(39)), (std::vector<int32_t>{0}));
}

TEST(ObjImport, ElementsBeforeAnyGroupAndPointCloudsFormOneMesh) {
  CScratchFolder folder;
  std::string error;
  auto meshes = ImportMeshFile(folder.Write("plain.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n"), &error);
  ASSERT_EQ(meshes.size(), 1u) << error;
  EXPECT_EQ(meshes[0].name, "plain");
  meshes = ImportMeshFile(folder.Write("cloud.obj", "v 0 0 0\nv 1 0 0\n"), &error);
  ASSERT_EQ(meshes.size(), 1u) << error;
  EXPECT_EQ(AllCorners(meshes[0]), (std::vector<std::vector<int32_t>>{{0}, {1}}));
}

TEST(ObjImport, BadReferencesAndNumbersNameTheFileAndLine) {
  CScratchFolder folder;
  std::string error;
  const auto file = folder.Write("bad.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\n\nf 1 2 4\n");
  EXPECT_TRUE(ImportMeshFile(file, &error).empty());
  EXPECT_EQ(error, file.string() + ": line 5: vertex index 4 is out of range (3 vertices so far)");
  EXPECT_TRUE(ImportMeshFile(folder.Write("zero.obj", "v 0 0 0\nf 0 1 1\n"), &error).empty());
  EXPECT_NE(error.find("zero.obj: line 2"), std::string::npos) << error;
  EXPECT_TRUE(ImportMeshFile(folder.Write("nan.obj", "v 0 nan 0\nf 1 1 1\n"), &error).empty());
  EXPECT_NE(error.find("\"nan\" is not a finite number"), std::string::npos) << error;
  EXPECT_TRUE(ImportMeshFile(folder.Write("texture.obj", "v 0 0 0\nf 1/2 1 1\n"), &error).empty());
  EXPECT_NE(error.find("texture index 2"), std::string::npos) << error;
}

TEST(MeshImport, MissingEmptyAndGarbageFilesAreErrors) {
  CScratchFolder folder;
  std::string error;
  const auto missing = folder.path() / "missing.stl";
  EXPECT_TRUE(ImportMeshFile(missing, &error).empty());
  EXPECT_EQ(error, missing.string() + ": no such file");
  EXPECT_TRUE(ImportMeshFile(folder.path(), &error).empty());
  EXPECT_NE(error.find("is a folder"), std::string::npos);
  const auto text = folder.Write("words.obj", "this is not a mesh\n");
  EXPECT_TRUE(ImportMeshFile(text, &error).empty());
  EXPECT_EQ(error, text.string() + ": holds no meshes");
  std::string noise(4096, '\0');
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 7919u + 13u) % 251u);
  for (const char* name : {"noise.obj", "noise.off", "noise.stl", "noise.ply", "noise.gltf", "noise.bin"}) {
    const auto file = folder.Write(name, noise);
    EXPECT_TRUE(ImportMeshFile(file, &error).empty()) << name;
    EXPECT_EQ(error.rfind(file.string() + ": ", 0), 0u) << error;
  }
}

TEST(StlImport, EveryFacetKeepsItsOwnThreeCorners) {
  CScratchFolder folder;
  const auto file = folder.Write("pair.stl",
                                 "solid pair\n"
                                 "facet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\nvertex 1 1 0\nendloop\nendfacet\n"
                                 "facet normal 0 1 0\nouter loop\nvertex 0 0 0\nvertex 1 1 0\nvertex 0 1 0\nendloop\nendfacet\n"
                                 "endsolid pair\n");
  std::string error;
  const auto meshes = ImportMeshFile(file, &error);
  ASSERT_EQ(meshes.size(), 1u) << error;
  EXPECT_EQ(meshes[0].VertexCount(), 6u);
  EXPECT_EQ(AllCorners(meshes[0]), (std::vector<std::vector<int32_t>>{{0, 1, 2}, {3, 4, 5}}));
  EXPECT_EQ(meshes[0].Vertex(3).position[0], 0);
  EXPECT_EQ(meshes[0].Vertex(5).position[1], 1);
  // Each corner reads its own facet's normal.
  EXPECT_EQ(meshes[0].Vertex(2).normal[2], 1);
  EXPECT_EQ(meshes[0].Vertex(3).normal[1], 1);
  EXPECT_EQ(meshes[0].Vertex(5).normal[2], 0);
}

TEST(OffImport, KeepsNumberingFansPolygonsAndReadsColours) {
  CScratchFolder folder;
  const auto file = folder.Write("strip.off",
                                 "COFF\n# six corners\n6 3 0\n"
                                 "0 0 0 255 0 0\n1 0 0 0 255 0\n2 0 0 0 0 255\n"
                                 "2 1 0 1 1 1 0.5\n1 1 0 0 0 0\n0 1 0 0 0 0\n"
                                 "5 0 1 2 3 4 0 128 255\n"
                                 "4 0 4 5 1\n"
                                 "2 0 3\n");
  std::string error;
  const auto meshes = ImportMeshFile(file, &error);
  ASSERT_EQ(meshes.size(), 1u) << error;
  const CImportedMesh& mesh = meshes[0];
  EXPECT_EQ(mesh.name, "strip");
  ASSERT_EQ(mesh.VertexCount(), 6u);
  EXPECT_EQ(AllCorners(mesh), (std::vector<std::vector<int32_t>>{{0, 1, 2}, {0, 2, 3}, {0, 3, 4}, {0, 4, 5, 1}, {0, 3}}));
  EXPECT_EQ(Argb(mesh.Vertex(1).argb), (std::vector<uint8_t>{0xFF, 0x00, 0xFF, 0x00}));
  EXPECT_EQ(Argb(mesh.Vertex(3).argb), (std::vector<uint8_t>{0x80, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(Argb(mesh.Facet(0).argb), (std::vector<uint8_t>{0xFF, 0x00, 0x80, 0xFF}));
  EXPECT_EQ(Argb(mesh.Facet(3).argb), kWhite);
}

TEST(OffImport, HeadersThatPromiseMoreThanTheFileHoldsAreRefused) {
  CScratchFolder folder;
  std::string error;
  EXPECT_TRUE(ImportMeshFile(folder.Write("huge.off", "OFF\n1347917086 6 0\n0 0 0\n3 0 0 0\n"), &error).empty());
  EXPECT_NE(error.find("declares 1347917086 vertices"), std::string::npos) << error;
  EXPECT_TRUE(ImportMeshFile(folder.Write("range.off", "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 3\n"), &error).empty());
  EXPECT_NE(error.find("line 6: face 0 names vertex 3 of 3"), std::string::npos) << error;
  EXPECT_TRUE(ImportMeshFile(folder.Write("short.off", "OFF\n3 1 0\n0 0\n1 0 0\n0 1 0\n3 0 1 2\n"), &error).empty());
  EXPECT_NE(error.find("vertex 0 has 2 values"), std::string::npos) << error;
}

TEST(PlyImport, KeepsTheFileVertexNumbering) {
  CScratchFolder folder;
  const auto file = folder.Write("quadtri.ply",
                                 "ply\nformat ascii 1.0\nelement vertex 5\nproperty float x\nproperty float y\n"
                                 "property float z\nelement face 2\nproperty list uchar int vertex_indices\nend_header\n"
                                 "0 0 0\n1 0 0\n1 1 0\n0 1 0\n2 0 0\n4 0 1 2 3\n3 1 4 2\n");
  std::string error;
  const auto meshes = ImportMeshFile(file, &error);
  ASSERT_EQ(meshes.size(), 1u) << error;
  EXPECT_EQ(meshes[0].VertexCount(), 5u);
  EXPECT_EQ(AllCorners(meshes[0]), (std::vector<std::vector<int32_t>>{{0, 1, 2, 3}, {1, 4, 2}}));
  EXPECT_EQ(meshes[0].Vertex(4).position[0], 2);
}

std::string Base64(const std::string& data) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t i = 0; i < data.size(); i += 3) {
    uint32_t chunk = static_cast<uint8_t>(data[i]) << 16;
    if (i + 1 < data.size()) chunk |= static_cast<uint8_t>(data[i + 1]) << 8;
    if (i + 2 < data.size()) chunk |= static_cast<uint8_t>(data[i + 2]);
    out += kAlphabet[(chunk >> 18) & 63];
    out += kAlphabet[(chunk >> 12) & 63];
    out += i + 1 < data.size() ? kAlphabet[(chunk >> 6) & 63] : '=';
    out += i + 2 < data.size() ? kAlphabet[chunk & 63] : '=';
  }
  return out;
}

TEST(GltfImport, KeepsIndexingAndPlacesTheMeshByItsNode) {
  const float positions[] = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
  const uint16_t indices[] = {0, 1, 2, 0, 2, 3};
  std::string buffer(reinterpret_cast<const char*>(positions), sizeof positions);
  buffer.append(reinterpret_cast<const char*>(indices), sizeof indices);
  const nlohmann::json document = {
      {"asset", {{"version", "2.0"}}},
      {"scene", 0},
      {"scenes", {{{"nodes", {0}}}}},
      {"nodes", {{{"mesh", 0}, {"name", "moved"}, {"translation", {10, 0, 0}}}}},
      {"meshes", {{{"name", "square"}, {"primitives", {{{"attributes", {{"POSITION", 0}}}, {"indices", 1}}}}}}},
      {"buffers", {{{"byteLength", buffer.size()}, {"uri", "data:application/octet-stream;base64," + Base64(buffer)}}}},
      {"bufferViews", {{{"buffer", 0}, {"byteOffset", 0}, {"byteLength", sizeof positions}},
                       {{"buffer", 0}, {"byteOffset", sizeof positions}, {"byteLength", sizeof indices}}}},
      {"accessors", {{{"bufferView", 0}, {"componentType", 5126}, {"count", 4}, {"type", "VEC3"},
                      {"min", {0, 0, 0}}, {"max", {1, 1, 0}}},
                     {{"bufferView", 1}, {"componentType", 5123}, {"count", 6}, {"type", "SCALAR"}}}}};
  CScratchFolder folder;
  std::string error;
  const auto meshes = ImportMeshFile(folder.Write("square.gltf", document.dump()), &error);
  ASSERT_EQ(meshes.size(), 1u) << error;
  EXPECT_EQ(meshes[0].name, "square");
  EXPECT_EQ(meshes[0].VertexCount(), 4u);
  EXPECT_EQ(AllCorners(meshes[0]), (std::vector<std::vector<int32_t>>{{0, 1, 2}, {0, 2, 3}}));
  EXPECT_EQ(meshes[0].Vertex(2).position[0], 11);
  EXPECT_EQ(meshes[0].Vertex(2).position[1], 1);
}

TEST(ExampleImport, TheBundledExampleHasItsThreeGroups) {
  std::string error;
  const auto meshes = ImportMeshFile(std::filesystem::path(TRESSEL_EXAMPLES_DIR) / "example.obj", &error);
  ASSERT_EQ(meshes.size(), 3u) << error;
  EXPECT_EQ(meshes[0].name, "sheet");
  EXPECT_EQ(meshes[0].VertexCount(), 12u);
  EXPECT_EQ(meshes[0].FacetCount(), 6u);
  EXPECT_EQ(meshes[1].name, "box");
  EXPECT_EQ(meshes[1].VertexCount(), 8u);
  EXPECT_EQ(meshes[1].FacetCount(), 5u);
  EXPECT_EQ(Argb(meshes[1].Facet(0).argb), (std::vector<uint8_t>{0xFF, 230, 179, 128}));
  const CImportedMesh& pair = meshes[2];
  EXPECT_EQ(pair.name, "pair");
  ASSERT_EQ(pair.VertexCount(), 8u);
  EXPECT_EQ(AllCorners(pair), (std::vector<std::vector<int32_t>>{{0, 1, 2, 3}, {4, 7, 6, 5}}));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(pair.Vertex(1).position[i], pair.Vertex(4).position[i]);
}

// Real-world files from Debian's assimp-testmodels, when it is installed.
const std::filesystem::path kModels = "/usr/share/assimp/models";

TEST(RealWorldImport, TestModelsReadWithTheirOwnIndexing) {
  if (!std::filesystem::exists(kModels)) GTEST_SKIP() << "assimp-testmodels is not installed";
  std::string error;
  auto meshes = ImportMeshFile(kModels / "OFF/Cube.off", &error);
  ASSERT_EQ(meshes.size(), 1u) << error;
  EXPECT_EQ(meshes[0].VertexCount(), 8u);
  EXPECT_EQ(meshes[0].FacetCount(), 6u);
  meshes = ImportMeshFile(kModels / "PLY/cube.ply", &error);
  ASSERT_EQ(meshes.size(), 1u) << error;
  EXPECT_EQ(meshes[0].VertexCount(), 8u);
  meshes = ImportMeshFile(kModels / "OBJ/box.obj", &error);
  ASSERT_EQ(meshes.size(), 1u) << error;
  EXPECT_EQ(meshes[0].VertexCount(), 8u);  // the library alone would give 24
  EXPECT_EQ(meshes[0].FacetCount(), 6u);
  meshes = ImportMeshFile(kModels / "STL/Spider_binary.stl", &error);
  ASSERT_FALSE(meshes.empty()) << error;
  for (const CImportedMesh& mesh : meshes) EXPECT_EQ(mesh.VertexCount(), 3 * mesh.FacetCount());
  meshes = ImportMeshFile(kModels / "STL/triangle_with_two_solids.stl", &error);
  EXPECT_EQ(meshes.size(), 2u) << error;
  meshes = ImportMeshFile(kModels / "glTF2/BoxTextured-glTF/BoxTextured.gltf", &error);
  ASSERT_EQ(meshes.size(), 1u) << error;
  EXPECT_EQ(meshes[0].VertexCount(), 24u);
  EXPECT_EQ(meshes[0].FacetCount(), 12u);
  meshes = ImportMeshFile(kModels / "OBJ/spider.obj", &error);
  EXPECT_GT(meshes.size(), 1u) << error;
}

TEST(RealWorldImport, BrokenTestModelsGiveErrors) {
  if (!std::filesystem::exists(kModels)) GTEST_SKIP() << "assimp-testmodels is not installed";
  for (const char* name : {"invalid/empty.obj", "invalid/malformed.obj", "invalid/OutOfMemory.off", "invalid/empty.ply",
                           "invalid/readme.txt", "OBJ/box_UTF16BE.obj",
                           "glTF2/BoxWithInfinites-glTF-Binary/BoxWithInfinites.glb"}) {
    std::string error;
    EXPECT_TRUE(ImportMeshFile(kModels / name, &error).empty()) << name;
    EXPECT_EQ(error.rfind((kModels / name).string() + ": ", 0), 0u) << error;
  }
}

}  // namespace
