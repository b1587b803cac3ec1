// An import worker that misbehaves as $TRESSEL_FAKE_WORKER_MODE says, for
// the tests of the command's side: it is started exactly as the real one
// (TRESSEL_IMPORT_WORKER names it) and answers on descriptor 3.
//   crash       opens the stream, reports progress, then dies of SIGSEGV
//   cut         a valid answer of one mesh, cut off halfway through the mesh
//   lying       a mesh that claims 2,000,000,000 vertices and sends three
//   corner      a facet naming a vertex the mesh does not have
//   trailing    a whole answer with bytes after its end
//   silent      exits 3 without a byte
//   hang        opens the stream, reports progress, writes its pid to
//               $TRESSEL_FAKE_WORKER_PID and sleeps until killed
//   good        a whole answer of one mesh (a triangle named "fake")
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cli/io/ImportStream.h"

extern "C" const char* __asan_default_options() { return "handle_segv=0"; }

namespace {

void Send(const std::string& bytes) {
  if (::write(3, bytes.data(), bytes.size()) != ssize_t(bytes.size())) std::exit(1);
}

cliio::CImportedMesh Triangle() {
  cliio::CImportedMesh mesh;
  mesh.name = "fake";
  mesh.positions.Add(0, 0, 0);
  mesh.positions.Add(1, 0, 0);
  mesh.positions.Add(0, 1, 0);
  const int32_t corners[3] = {0, 1, 2};
  mesh.AddFacet(corners, 3);
  return mesh;
}

template <typename T>
std::string Bytes(T value) {
  return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

std::string MeshHeader(const std::string& name, uint32_t vertices, uint8_t columns, uint32_t facets) {
  return "M" + Bytes(uint32_t(name.size())) + name + Bytes(vertices) + Bytes(columns) + Bytes(facets);
}

}  // namespace

int main() {
  const char* chosen = std::getenv("TRESSEL_FAKE_WORKER_MODE");
  const std::string mode = chosen ? chosen : "";
  const std::string magic(cliio::kImportStreamMagic, sizeof cliio::kImportStreamMagic);
  const std::string progress = "P" + Bytes(0.5);
  if (mode == "silent") return 3;
  if (mode == "crash") {
    Send(magic + progress);
    ::signal(SIGSEGV, SIG_DFL);
    ::raise(SIGSEGV);
    return 0;
  }
  if (mode == "hang") {
    Send(magic + progress);
    if (const char* file = std::getenv("TRESSEL_FAKE_WORKER_PID")) {
      const std::string pid = std::to_string(::getpid());
      if (FILE* out = std::fopen(file, "w")) {
        std::fputs(pid.c_str(), out);
        std::fclose(out);
      }
    }
    for (;;) ::pause();
  }
  if (mode == "good" || mode == "cut" || mode == "trailing") {
    // A real answer through the writer, then the mode's change to it.
    int ends[2];
    if (::pipe(ends) != 0) return 1;
    {
      cliio::CImportStreamWriter writer(ends[1]);
      writer.Begin();
      writer.Mesh(Triangle());
      writer.End(1);
    }
    ::close(ends[1]);
    std::string answer;
    char buffer[4096];
    for (ssize_t got; (got = ::read(ends[0], buffer, sizeof buffer)) > 0;) answer.append(buffer, size_t(got));
    if (mode == "cut") answer.resize(answer.size() / 2);
    if (mode == "trailing") answer += "E";
    Send(answer);
    return 0;
  }
  if (mode == "lying") {
    Send(magic + MeshHeader("liar", 2000000000u, 0, 0) + std::string(3 * 12, '\0'));
    return 0;
  }
  if (mode == "corner") {
    std::string mesh = MeshHeader("bad", 3, 1, 1) + std::string(9 * sizeof(float), '\0');
    mesh += std::string(1, '\3') + Bytes(int32_t(0)) + Bytes(int32_t(1)) + Bytes(int32_t(7));
    Send(magic + mesh + "E" + Bytes(uint32_t(1)));
    return 0;
  }
  std::fprintf(stderr, "fake import worker: unknown mode '%s'\n", mode.c_str());
  return 64;
}
