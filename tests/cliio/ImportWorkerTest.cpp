// The library's formats read in the worker process: the same meshes as a read
// in this process, and a worker that crashes, hangs, stops short or lies is
// one error line, with the worker always waited for.
#include <gtest/gtest.h>
#include <errno.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/io/ImportWorker.h"
#include "cli/io/MeshImport.h"
#include "tests/cliio/MeshCompare.h"
#include "tests/cliio/TestFiles.h"

namespace {

using cliio::CImportedMesh;

// No child of this process is left, running or as a zombie.
void ExpectNoChild() {
  errno = 0;
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

// Sets $TRESSEL_IMPORT_WORKER (and the fake's mode) for one scope.
class CWorkerChoice {
 public:
  explicit CWorkerChoice(const std::string& mode) {
    ::setenv("TRESSEL_IMPORT_WORKER", TRESSEL_FAKE_IMPORT_WORKER, 1);
    ::setenv("TRESSEL_FAKE_WORKER_MODE", mode.c_str(), 1);
  }
  ~CWorkerChoice() {
    ::unsetenv("TRESSEL_IMPORT_WORKER");
    ::unsetenv("TRESSEL_FAKE_WORKER_MODE");
    ::unsetenv("TRESSEL_FAKE_WORKER_PID");
  }
};

// Small files of the library's formats with different columns: an AC3D
// model (two objects, materials that give only their colour: facet colours,
// a quad and a line), RAW triangles, and a glTF with normals, texture
// coordinates and two placements.
std::vector<std::filesystem::path> LibraryFiles(const cliio_test::CScratchFolder& folder) {
  const std::string ac =
      "AC3Db\n"
      "MATERIAL \"red\" rgb 1 0 0\n"
      "MATERIAL \"blue\" rgb 0 0 1\n"
      "OBJECT world\nkids 2\n"
      "OBJECT poly\nname \"square\"\nloc 1 2 3\nnumvert 4\n0 0 0\n1 0 0\n1 1 0\n0 1 0\nnumsurf 2\n"
      "SURF 0x10\nmat 0\nrefs 4\n0 0 0\n1 0 0\n2 0 0\n3 0 0\n"
      "SURF 0x12\nmat 1\nrefs 2\n0 0 0\n2 0 0\nkids 0\n"
      "OBJECT poly\nname \"tri\"\nnumvert 3\n0 0 1\n1 0 1\n0 1 1.5\nnumsurf 1\n"
      "SURF 0x10\nmat 1\nrefs 3\n0 0 0\n1 0 0\n2 0 0\nkids 0\n";
  const std::string raw = "0 0 0 1 0 0 0 1 0\n1 0 0 1 1 0 0 1 0\n0.5 0.5 2 1 1 2 0 1 2\n";
  // One triangle with normals and uvs, placed twice (base64 of the buffer).
  const std::string gltf = R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0,1]}],
"nodes":[{"mesh":0,"name":"left","translation":[-2,0,0]},{"mesh":0,"name":"right","scale":[2,2,2]}],
"meshes":[{"name":"tri","primitives":[{"attributes":{"POSITION":0,"NORMAL":1,"TEXCOORD_0":2},"indices":3}]}],
"buffers":[{"byteLength":102,"uri":"data:application/octet-stream;base64,AAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAAAAAAAAAAAAAAAIA/AAAAAAAAAAAAAIA/AAAAAAAAAAAAAIA/AAAAAAAAAAAAAIA/AAAAAAAAAAAAAIA/AAABAAIA"}],
"bufferViews":[{"buffer":0,"byteOffset":0,"byteLength":36},{"buffer":0,"byteOffset":36,"byteLength":36},{"buffer":0,"byteOffset":72,"byteLength":24},{"buffer":0,"byteOffset":96,"byteLength":6}],
"accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3","min":[0,0,0],"max":[1,1,0]},{"bufferView":1,"componentType":5126,"count":3,"type":"VEC3"},{"bufferView":2,"componentType":5126,"count":3,"type":"VEC2"},{"bufferView":3,"componentType":5123,"count":3,"type":"SCALAR"}]})";
  return {folder.Write("model.ac", ac), folder.Write("tris.raw", raw), folder.Write("twice.gltf", gltf)};
}

TEST(ImportWorker, ReadsWhatAReadInThisProcessReads) {
  cliio_test::CScratchFolder folder;
  for (const std::filesystem::path& file : LibraryFiles(folder)) {
    std::string here, there;
    cliio::SetLibraryReadInProcess(true);
    const std::vector<CImportedMesh> expected = cliio::ImportMeshFile(file, &here);
    cliio::SetLibraryReadInProcess(false);
    std::vector<double> fractions;
    cliio::CImportOptions options;
    options.progress = [&fractions](double fraction) {
      fractions.push_back(fraction);
      return true;
    };
    const std::vector<CImportedMesh> got = cliio::ImportMeshFile(file, &there, options);
    ASSERT_FALSE(expected.empty()) << file << ": " << here;
    ASSERT_EQ(got.size(), expected.size()) << file << ": " << there;
    for (size_t m = 0; m < got.size(); ++m) ExpectSameMesh(expected[m], got[m]);
    ASSERT_FALSE(fractions.empty());
    EXPECT_EQ(fractions.back(), 1.0) << file;
    ExpectNoChild();
  }
  // Bytes from memory (standard input) go to the worker as a memory file.
  std::string error;
  cliio::CImportOptions options;
  options.format = "raw";
  const auto fromBytes = cliio::ImportMeshBytes("0 0 0 1 0 0 0 1 0\n", "piped", &error, options);
  ASSERT_EQ(fromBytes.size(), 1u) << error;
  EXPECT_EQ(fromBytes[0].FacetCount(), 1u);
  // A failure keeps the library's reason and names the file once.
  const auto broken = cliio::ImportMeshFile(folder.Write("broken.ac", "AC3Db\nOBJECT poly\nnumvert 99\n"), &error);
  EXPECT_TRUE(broken.empty());
  EXPECT_EQ(error.rfind((folder.path() / "broken.ac").string() + ": ", 0), 0u) << error;
  EXPECT_EQ(error.find('\n'), std::string::npos) << error;
  ExpectNoChild();
}

TEST(ImportWorker, AWorkerThatMisbehavesIsOneLineAndIsWaitedFor) {
  cliio_test::CScratchFolder folder;
  const std::filesystem::path file = folder.Write("model.dae", "<COLLADA/>");
  struct Case {
    const char* mode;
    const char* says;
  };
  const Case cases[] = {
      {"crash", "the importer crashed on it (SIGSEGV"},
      {"cut", "the importer's answer ends early"},
      {"lying", "the importer's answer ends early"},
      {"corner", "the importer's answer is malformed at byte"},
      {"trailing", "bytes follow its closing record"},
      {"silent", "the importer stopped with exit status 3"},
  };
  for (const Case& c : cases) {
    CWorkerChoice choice(c.mode);
    std::string error;
    EXPECT_TRUE(cliio::ImportMeshFile(file, &error).empty()) << c.mode;
    EXPECT_EQ(error.rfind(file.string() + ": ", 0), 0u) << c.mode << ": " << error;
    EXPECT_NE(error.find(c.says), std::string::npos) << c.mode << ": " << error;
    ExpectNoChild();
  }
  CWorkerChoice choice("good");
  std::string error;
  const auto meshes = cliio::ImportMeshFile(file, &error);
  ASSERT_EQ(meshes.size(), 1u) << error;
  EXPECT_EQ(meshes[0].name, "fake");
  ExpectNoChild();

  ::setenv("TRESSEL_IMPORT_WORKER", (folder.path() / "missing").c_str(), 1);
  EXPECT_TRUE(cliio::ImportMeshFile(file, &error).empty());
  EXPECT_NE(error.find("is not an executable file"), std::string::npos) << error;
}

TEST(ImportWorker, CancellingKillsAWorkerThatHangs) {
  cliio_test::CScratchFolder folder;
  const std::filesystem::path file = folder.Write("model.dae", "<COLLADA/>");
  const std::filesystem::path pidFile = folder.path() / "worker.pid";
  CWorkerChoice choice("hang");
  ::setenv("TRESSEL_FAKE_WORKER_PID", pidFile.c_str(), 1);
  // The worker reports 0.5 once and then nothing: the stop is seen on the
  // wait's periodic check.
  int calls = 0;
  cliio::CImportOptions options;
  options.progress = [&calls](double fraction) { return ++calls <= 2 || fraction < 0.5; };
  std::string error;
  const auto started = std::chrono::steady_clock::now();
  EXPECT_TRUE(cliio::ImportMeshFile(file, &error, options).empty());
  EXPECT_EQ(error, file.string() + ": reading was cancelled");
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
  ExpectNoChild();
  std::ifstream in(pidFile);
  pid_t pid = 0;
  ASSERT_TRUE(in >> pid);
  EXPECT_EQ(::kill(pid, 0), -1) << "the worker is gone";
  EXPECT_EQ(errno, ESRCH);
}

}  // namespace
