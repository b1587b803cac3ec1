// tressel_conformance: what one build of the module makes of fixed inputs, as
// files another build's output can be compared with.
//
//   tressel_conformance MODULE block IN OUT   'INIT' on an instance whose data
//       block is the bytes of IN ("-": this build's slot and the example
//       stream); OUT receives the block as the module left it.
//   tressel_conformance MODULE wires OUT      every mode on the fixed groups;
//       OUT lists each received vertex and segment, numbers in %.17g.
//   tressel_conformance MODULE corpus EXAMPLE OUT [CASE]   every case of the
//       corpus (tests/conformance/Corpus.h; EXAMPLE is examples/example.obj),
//       or the one named: OUT receives the exact text of everything sent.
//   tressel_conformance MODULE hashes EXAMPLE OUT   the same run; OUT receives
//       one line per case, "<hash> <case>". The stored golden hashes
//       (tests/conformance/golden-hashes.txt) are this output.
// Exit status: 0 done, 1 the module failed a command, 2 usage or load error,
// 3 a protocol violation or leak.
#include <stdio.h>
#include <string.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <memory>

#include "host/FileService.h"
#include "host/Host.h"
#include "tests/conformance/Corpus.h"

namespace {

void PutBig32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(v >> shift));
}

uint32_t FloatBits(float f) {
  uint32_t bits;
  memcpy(&bits, &f, 4);
  return bits;
}

// The stored settings stream, big-endian in every build.
std::vector<uint8_t> SettingsStream(int32_t mode, float push, float scale, const std::string& list) {
  std::vector<uint8_t> out = {0x57, 0x49, 0x52, 0x45};
  PutBig32(out, 0x00010000u);
  PutBig32(out, uint32_t(mode));
  PutBig32(out, FloatBits(push));
  PutBig32(out, FloatBits(scale));
  PutBig32(out, list.empty() ? 0u : 1u);
  PutBig32(out, uint32_t(list.size()));
  out.insert(out.end(), list.begin(), list.end());
  return out;
}

std::vector<uint8_t> NativeBlock(const std::vector<uint8_t>& stream) {
  std::vector<uint8_t> block(sizeof(void*), 0);
  block.insert(block.end(), stream.begin(), stream.end());
  return block;
}

host::CHostVertex Vertex(double x, double y, double z) {
  host::CHostVertex v;
  v.position = {x, y, z};
  v.vectorA = {0, 0, 1};
  v.vectorB = {x, y, z};
  v.uvw = {x, y, 0};
  return v;
}

// An open 3x2 sheet of quads.
host::CChildGroup Sheet() {
  host::CChildGroup group;
  for (int j = 0; j <= 2; ++j)
    for (int i = 0; i <= 3; ++i) group.vertices.push_back(Vertex(i, j * 0.75, 0.1 * i * j));
  for (int j = 0; j < 2; ++j)
    for (int i = 0; i < 3; ++i) {
      const int a = j * 4 + i + 1;
      group.facets.push_back(host::Facet({a, a + 1, a + 5, a + 4}));
    }
  return group;
}

// A unit box without its top.
host::CChildGroup OpenBox() {
  host::CChildGroup group;
  for (int k = 0; k < 8; ++k) group.vertices.push_back(Vertex(k & 1, (k >> 1) & 1, (k >> 2) & 1));
  group.facets = {host::Facet({1, 3, 4, 2}), host::Facet({1, 2, 6, 5}), host::Facet({2, 4, 8, 6}),
                  host::Facet({4, 3, 7, 8}), host::Facet({3, 1, 5, 7})};
  return group;
}

// Two triangles touching along an edge through separate, coincident vertices.
host::CChildGroup TouchingTriangles() {
  host::CChildGroup group;
  group.vertices = {Vertex(0, 0, 0), Vertex(1, 0, 0), Vertex(0, 1, 0),
                    Vertex(1, 0, 0), Vertex(1, 1, 0), Vertex(0, 1, 0)};
  group.facets = {host::Facet({1, 2, 3}), host::Facet({4, 5, 6})};
  return group;
}

void ApplySetup(host::CHost& h) {
  // Non-trivial matrices 3, 4 and 5, so the transforms are compared as well.
  double m3[16] = {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 1, -2, 3, 1};
  double m4[16] = {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  double m5[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0.5, 0.25, 0.125, 1};
  memcpy(h.Setup().matrices[3], m3, sizeof m3);
  memcpy(h.Setup().matrices[4], m4, sizeof m4);
  memcpy(h.Setup().matrices[5], m5, sizeof m5);
  h.Setup().setupTime = 7;
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
  return bool(out);
}

int Finish(host::CHost& h, int status) {
  if (!h.Clean()) {
    fprintf(stderr, "%s\n", h.ViolationReport().c_str());
    return 3;
  }
  return status;
}

int RunBlock(host::CHost& h, const std::string& in, const std::string& out) {
  std::vector<uint8_t> block;
  if (in == "-") {
    block = NativeBlock(SettingsStream(1, 2.5f, 0.75f, "1-3"));
  } else {
    std::ifstream file(in, std::ios::binary);
    if (!file) {
      fprintf(stderr, "%s: cannot read\n", in.c_str());
      return 2;
    }
    block.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  h.SetInstanceData(0, block);
  const int32_t answer = h.Send(Selector::kInitialize);
  const std::vector<uint8_t> result = h.InstanceData(0);
  h.Send(Selector::kFinish);
  if (!WriteFile(out, std::string(result.begin(), result.end()))) return 2;
  return Finish(h, answer == 0 ? 0 : 1);
}

int RunWires(host::CHost& h, const std::string& out) {
  h.AddGroup(Sheet());
  h.AddGroup(OpenBox());
  h.AddGroup(TouchingTriangles());
  ApplySetup(h);
  std::string text;
  char line[512];
  int status = 0;
  for (int mode = 0; mode <= 2; ++mode) {
    h.SetInstanceData(0, NativeBlock(SettingsStream(mode, 0.5f, 0.8f, "")));
    if (h.Send(Selector::kInitialize) != 0 || h.Send(Selector::kModelSetup) != 0 ||
        h.Send(Selector::kGenerate) != 0)
      status = 1;
    for (int g = 0; g < h.GroupCount(); ++g) {
      const host::CReceivedGeometry& received = h.Received(g);
      snprintf(line, sizeof line, "mode %d group %d vertices %zu segments %zu\n", mode, g, received.vertices.size(),
               received.facets.size());
      text += line;
      for (const host::CReceivedVertex& v : received.vertices) {
        const host::CHostVertex& p = v.vertex;
        snprintf(line, sizeof line, "v %.17g %.17g %.17g %.17g %.17g %.17g %.17g %.17g %.17g %.17g\n",
                 p.position.x, p.position.y, p.position.z, p.vectorA.x, p.vectorA.y, p.vectorA.z, p.vectorB.x,
                 p.vectorB.y, p.vectorB.z, p.uvw.x);
        text += line;
      }
      for (const host::CReceivedFacet& f : received.facets) {
        snprintf(line, sizeof line, "s %d %d\n", f.first, f.second);
        text += line;
      }
    }
    h.Send(Selector::kFinish);
  }
  if (!WriteFile(out, text)) return 2;
  return Finish(h, status);
}

// One host per group set, loaded when a case needs a different set than the
// one before it.
class CCorpusRun {
 public:
  CCorpusRun(std::string module, std::string example) : mModule(std::move(module)), mExample(std::move(example)) {}

  // The dump of one case; false (with *error) when the host cannot be set up
  // or the module broke the protocol.
  bool Run(const conformance::CCase& c, std::string* text, std::string* error) {
    if (!mHost || mGroups != c.groups) {
      if (!Finish(error)) return false;
      std::vector<host::CChildGroup> groups;
      if (!conformance::CorpusGroups(c.groups, mExample, &groups, error)) return false;
      mHost.reset(new host::CHost);
      if (!mHost->LoadModule(mModule, error)) return false;
      for (host::CChildGroup& g : groups) mHost->AddGroup(std::move(g));
      mGroups = c.groups;
    }
    host::CHost& h = *mHost;
    conformance::ApplySetup(h.Setup(), c.setup);
    for (int g = 0; g < h.GroupCount(); ++g) h.Group(g).received = host::CReceivedGeometry();
    h.SetInstanceData(0, NativeBlock(conformance::SettingsStream(c.mode, c.push, c.scale, c.useExclude, c.list)));
    const int32_t init = h.Send(Selector::kInitialize);
    const int32_t setup = h.Send(Selector::kModelSetup);
    const int32_t generate = h.Send(Selector::kGenerate);
    const int32_t finish = h.Send(Selector::kFinish);
    char line[256];
    snprintf(line, sizeof line, "case %s\nanswers %d %d %d %d\n", c.name.c_str(), int(init), int(setup),
             int(generate), int(finish));
    *text += line;
    for (int g = 0; g < h.GroupCount(); ++g) {
      snprintf(line, sizeof line, "group %d ", g + 1);
      *text += line;
      conformance::DumpReceived(h.Received(g), text);
    }
    if (!h.Violations().empty()) {
      *error = c.name + ": " + h.ViolationReport();
      return false;
    }
    return true;
  }

  // Checks the current host for leaks and unloads it.
  bool Finish(std::string* error) {
    if (!mHost) return true;
    const bool clean = mHost->Clean();
    if (!clean) *error = mHost->ViolationReport();
    mHost.reset();
    return clean;
  }

 private:
  std::string mModule, mExample;
  std::unique_ptr<host::CHost> mHost;
  int mGroups = -1;
};

int RunCorpus(const std::string& module, const std::string& example, const std::string& out, bool hashes,
              const std::string& only) {
  CCorpusRun run(module, example);
  std::string text, error;
  bool found = false;
  for (const conformance::CCase& c : conformance::CorpusCases()) {
    if (!only.empty() && c.name != only) continue;
    found = true;
    std::string dump;
    if (!run.Run(c, &dump, &error)) {
      fprintf(stderr, "%s\n", error.c_str());
      return 3;
    }
    text += hashes ? conformance::Hash(dump) + " " + c.name + "\n" : dump;
  }
  if (!run.Finish(&error)) {
    fprintf(stderr, "%s\n", error.c_str());
    return 3;
  }
  if (!found) {
    fprintf(stderr, "no case named %s\n", only.c_str());
    return 2;
  }
  return WriteFile(out, text) ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv) {
  static const char kUsage[] =
      "usage: tressel_conformance MODULE block IN OUT | MODULE wires OUT |\n"
      "       MODULE corpus EXAMPLE OUT [CASE] | MODULE hashes EXAMPLE OUT\n";
  if (argc < 4) {
    fputs(kUsage, stderr);
    return 2;
  }
  const std::string command = argv[2];
  if (command == "corpus" && (argc == 5 || argc == 6)) return RunCorpus(argv[1], argv[3], argv[4], false, argc == 6 ? argv[5] : "");
  if (command == "hashes" && argc == 5) return RunCorpus(argv[1], argv[3], argv[4], true, "");
  host::CFileService::Instance().Reset();
  host::CHost h;
  std::string error;
  if (!h.LoadModule(argv[1], &error)) {
    fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }
  if (command == "block" && argc == 5) return RunBlock(h, argv[3], argv[4]);
  if (command == "wires" && argc == 4) return RunWires(h, argv[3]);
  fputs(kUsage, stderr);
  return 2;
}
