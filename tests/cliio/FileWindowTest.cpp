// A binary STL whose positions and normals stay in the file: what the host is
// served must be what a held copy gives, in any order of reading, and a file
// changed under the run must be noticed rather than served as if imported.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TestFiles.h"
#include "cli/io/MeshImport.h"

namespace {

using cliio::CImportedMesh;
using cliio_test::CScratchFolder;

// `facets` facets whose every value differs (so an offset off by one record,
// corner or axis reads another number).
std::string NumberedStl(uint32_t facets) {
  std::string bytes(80, ' ');
  bytes.append(reinterpret_cast<const char*>(&facets), 4);
  for (uint32_t f = 0; f < facets; ++f) {
    float values[12];
    for (int k = 0; k < 12; ++k) values[k] = float(f) * 16.0f + float(k) + 0.25f;
    bytes.append(reinterpret_cast<const char*>(values), sizeof values);
    bytes.append(2, '\0');
  }
  return bytes;
}

CImportedMesh ImportOne(const std::filesystem::path& file) {
  std::string error;
  std::vector<CImportedMesh> meshes = cliio::ImportMeshFile(file, &error);
  EXPECT_EQ(meshes.size(), 1u) << error;
  return meshes.empty() ? CImportedMesh() : std::move(meshes[0]);
}

void ExpectSameVertex(const CImportedMesh& a, const CImportedMesh& b, size_t v) {
  const cliio::CImportedVertex x = a.Vertex(v), y = b.Vertex(v);
  for (int axis = 0; axis < 3; ++axis) {
    ASSERT_EQ(x.position[axis], y.position[axis]) << "vertex " << v << " axis " << axis;
    ASSERT_EQ(x.normal[axis], y.normal[axis]) << "vertex " << v << " axis " << axis;
  }
}

TEST(StlFromFile, ServesWhatAHeldCopyHoldsInAnyOrder) {
  CScratchFolder folder;
  // About 1 MB: several windows' worth of records.
  const std::string bytes = NumberedStl(20000);
  const auto file = folder.Write("numbered.stl", bytes);
  const CImportedMesh fromFile = ImportOne(file);
  cliio::CImportOptions options;
  options.format = "stl";
  std::string error;
  const std::vector<CImportedMesh> held = cliio::ImportMeshBytes(bytes, "held", &error, options);
  ASSERT_EQ(held.size(), 1u) << error;
  ASSERT_EQ(fromFile.VertexCount(), 60000u);
  ASSERT_EQ(held[0].VertexCount(), 60000u);
  // Vertex 4 is facet 1's corner 1: record values 3 + 3 + 1 (its y) and 2 (the normal's z).
  EXPECT_EQ(fromFile.Vertex(4).position[1], 16 + 7 + 0.25);
  EXPECT_EQ(fromFile.Vertex(4).normal[2], 16 + 2 + 0.25);
  // The file keeps the values, the copy holds them.
  EXPECT_EQ(fromFile.positions.Bytes() + fromFile.normals.Bytes(), 0u);
  EXPECT_GT(held[0].positions.Bytes(), 0u);

  for (size_t v = 0; v < 60000; ++v) ExpectSameVertex(fromFile, held[0], v);  // forward
  for (size_t v = 60000; v-- > 0;) ExpectSameVertex(fromFile, held[0], v);    // backward
  for (size_t v = 7, step = 0; step < 60000; ++step, v = (v * 7919 + 13) % 60000) ExpectSameVertex(fromFile, held[0], v);
  // Read a run at a time, forward and then backward (a refill each step).
  cliio::CSingleValueReader runs(fromFile.positions);
  const float* heldFloats = held[0].positions.SingleValues();
  for (size_t v = 0; v < 60000; ++v) ASSERT_EQ(std::memcmp(runs.At(v), heldFloats + 3 * v, 12), 0) << "vertex " << v;
  for (size_t v = 60000; v-- > 59000;) ASSERT_EQ(std::memcmp(runs.At(v), heldFloats + 3 * v, 12), 0) << "vertex " << v;
  EXPECT_FALSE(fromFile.SourceChanged());
}

TEST(StlFromFile, AChangedFileIsNoticedAndAReplacedOneIsNotRead) {
  CScratchFolder folder;
  const std::string bytes = NumberedStl(20000);
  {
    // Replaced by another file under its name: the one imported is still read.
    const auto file = folder.Write("replaced.stl", bytes);
    const CImportedMesh mesh = ImportOne(file);
    const double before = mesh.Vertex(59999).position[2];
    folder.Write("other.stl", NumberedStl(3));
    std::filesystem::rename(folder.path() / "other.stl", file);
    EXPECT_EQ(mesh.Vertex(59999).position[2], before);
    EXPECT_FALSE(mesh.SourceChanged());
  }
  {
    // Cut short in place: what it no longer holds reads as zeros, and the
    // change is told.
    const auto file = folder.Write("truncated.stl", bytes);
    const CImportedMesh mesh = ImportOne(file);
    EXPECT_NE(mesh.Vertex(59999).position[0], 0);
    ASSERT_EQ(::truncate(file.c_str(), 84 + 50 * 10), 0);
    EXPECT_TRUE(mesh.SourceChanged());
    EXPECT_EQ(mesh.Vertex(0).position[0], 3.25);  // still in the file
    EXPECT_EQ(mesh.Vertex(59999).position[0], 0);
  }
  {
    // Rewritten in place at the same size: the modification time tells.
    const auto file = folder.Write("rewritten.stl", bytes);
    const CImportedMesh mesh = ImportOne(file);
    EXPECT_FALSE(mesh.SourceChanged());
    const int descriptor = ::open(file.c_str(), O_WRONLY);
    ASSERT_GE(descriptor, 0);
    const float zero = 0;
    ASSERT_EQ(::pwrite(descriptor, &zero, sizeof zero, 84 + 12), ssize_t(sizeof zero));
    const timespec later[2] = {{0, UTIME_OMIT}, {1, 0}};  // an mtime surely not the import's
    ASSERT_EQ(::futimens(descriptor, later), 0);
    ::close(descriptor);
    EXPECT_TRUE(mesh.SourceChanged());
  }
}

}  // namespace
