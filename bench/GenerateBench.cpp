// tressel_genm_bench: the in-process time of 'GENM' against the protocol's
// floor. The mesh file is imported as `tressel wire` imports it; the real
// module generates in the chosen mode (median of the runs, CPU and wall of
// the 'GENM' command alone); one more traced run records its request sequence,
// which the null module (bench/NullModule.cpp) then replays on a host of its
// own with the same groups. Both hosts serve as `tressel wire` does (no fill,
// no trace while timed). The request counts of both must agree.
//   usage: tressel_genm_bench MESH MODE MODULE NULL_MODULE [RUNS]
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/RequestScript.h"
#include "cli/StoredSettings.h"
#include "cli/WireGroups.h"
#include "cli/io/MeshImport.h"
#include "host/FileService.h"
#include "host/Host.h"

namespace {

constexpr size_t kTagSlotBytes = sizeof(void*);

struct CTiming {
  double cpu = 0, wall = 0;
};

double CpuSeconds() {
  rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) + 1e-6 * double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

CTiming TimeGenerate(host::CHost& host, int32_t* result) {
  const double cpu = CpuSeconds();
  const auto wall = std::chrono::steady_clock::now();
  *result = host.Send(Selector::kGenerate);
  CTiming timing;
  timing.cpu = CpuSeconds() - cpu;
  timing.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count();
  return timing;
}

CTiming Median(std::vector<CTiming> runs) {
  auto middle = [&runs](double CTiming::*field) {
    std::vector<double> values;
    for (const CTiming& run : runs) values.push_back(run.*field);
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
  };
  return CTiming{middle(&CTiming::cpu), middle(&CTiming::wall)};
}

// Runs of equal requests from the trace of one 'GENM'.
std::vector<CScriptRun> ScriptOf(const std::vector<host::CTraceEntry>& trace) {
  std::vector<CScriptRun> runs;
  std::vector<const void*> blocks;  // by 'MMAL' ordinal
  for (const host::CTraceEntry& entry : trace) {
    if (entry.depth != 1) continue;
    int64_t value = 0;
    bool counting = false;  // a run of indices counting up by one
    switch (entry.selector) {
      case Request::kGetGroup: value = entry.value; break;
      case Request::kGetVertex:
      case Request::kGetFacet: value = entry.value; counting = true; break;
      case Request::kMemAlloc: value = entry.value; blocks.push_back(entry.ref); break;
      case Request::kMemFree: {
        auto found = std::find(blocks.rbegin(), blocks.rend(), entry.ref);
        value = found == blocks.rend() ? -1 : int64_t(blocks.rend() - found - 1);
        break;
      }
      default: break;
    }
    CScriptRun* last = runs.empty() ? nullptr : &runs.back();
    const bool extends = last && last->selector == entry.selector &&
                         (counting ? last->value + last->count == value
                                   : (entry.selector != Request::kMemAlloc && entry.selector != Request::kMemFree &&
                                      entry.selector != Request::kGetGroup));
    if (extends)
      ++last->count;
    else
      runs.push_back(CScriptRun{entry.selector, 1, value});
  }
  return runs;
}

bool Prepare(host::CHost& host, const std::vector<cliio::CImportedMesh>& meshes, const char* module) {
  std::string error;
  if (!host.LoadModule(module, &error)) {
    std::fprintf(stderr, "tressel_genm_bench: %s\n", error.c_str());
    return false;
  }
  host.FillFreshBlocks(false);
  for (const cliio::CImportedMesh& mesh : meshes) host.AddGroup(cli::ChildGroupFor(mesh));
  return true;
}

const uint32_t kKinds[] = {Request::kGetGroup, Request::kGetVertex, Request::kGetFacet, Request::kDeleteGroup,
                           Request::kAddVertex, Request::kAddFacet, Request::kMemAlloc, Request::kMemFree,
                           Request::kStatus, Request::kCreator};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5 && argc != 6) {
    std::fprintf(stderr, "usage: tressel_genm_bench MESH MODE MODULE NULL_MODULE [RUNS]\n");
    return 2;
  }
  const int32_t mode = std::atoi(argv[2]);
  const int runs = argc == 6 ? std::max(1, std::atoi(argv[5])) : 3;
  std::string error;
  std::vector<cliio::CImportedMesh> meshes = cliio::ImportMeshFile(argv[1], &error);
  if (meshes.empty()) {
    std::fprintf(stderr, "tressel_genm_bench: %s\n", error.empty() ? "no mesh" : error.c_str());
    return 1;
  }

  host::CHost real;
  if (!Prepare(real, meshes, argv[3])) return 1;
  cli::CStoredSettings settings;
  settings.mode = mode;
  std::vector<uint8_t> block(kTagSlotBytes, 0);
  std::vector<uint8_t> stream = cli::EncodeSettings(settings);
  block.insert(block.end(), stream.begin(), stream.end());
  real.SetInstanceData(0, block);
  int32_t result = real.Send(Selector::kInitialize);
  result = result ? result : real.Send(Selector::kModelSetup);
  std::vector<CTiming> realRuns;
  for (int k = 0; k < runs && result == 0; ++k) realRuns.push_back(TimeGenerate(real, &result));
  if (result != 0 || !real.Clean()) {
    std::fprintf(stderr, "tressel_genm_bench: the module answered %d\n%s", result, real.ViolationReport().c_str());
    return 1;
  }
  std::vector<int> before;
  for (uint32_t kind : kKinds) before.push_back(real.RequestCount(kind));
  real.EnableTrace(true);
  real.Send(Selector::kGenerate);
  real.EnableTrace(false);
  const std::vector<CScriptRun> script = ScriptOf(real.Trace());
  real.ClearTrace();
  real.Send(Selector::kFinish);

  host::CHost floor;
  if (!Prepare(floor, meshes, argv[4])) return 1;
  std::vector<uint8_t> scriptBytes(script.size() * sizeof(CScriptRun));
  if (!script.empty()) std::memcpy(scriptBytes.data(), script.data(), scriptBytes.size());
  floor.SetInstanceData(0, scriptBytes);
  std::vector<CTiming> floorRuns;
  std::vector<int> floorBefore;
  for (int k = 0; k < runs && result == 0; ++k) {
    if (k == runs - 1)
      for (uint32_t kind : kKinds) floorBefore.push_back(floor.RequestCount(kind));
    floorRuns.push_back(TimeGenerate(floor, &result));
  }
  if (result != 0 || !floor.Clean()) {
    std::fprintf(stderr, "tressel_genm_bench: the null module answered %d\n%s", result, floor.ViolationReport().c_str());
    return 1;
  }
  long long requests = 0;
  for (size_t k = 0; k < std::size(kKinds); ++k) {
    const int ofReal = real.RequestCount(kKinds[k]) - before[k];
    const int ofFloor = floor.RequestCount(kKinds[k]) - floorBefore[k];
    if (ofReal != ofFloor) {
      std::fprintf(stderr, "tressel_genm_bench: %s: module %d, null module %d\n", host::CodeText(kKinds[k]).c_str(),
                   ofReal, ofFloor);
      return 1;
    }
    requests += ofReal;
  }
  const CTiming module = Median(realRuns), protocol = Median(floorRuns);
  std::printf("GENM mode %d: requests %lld; module cpu %.3f s wall %.3f s; null module cpu %.3f s wall %.3f s;"
              " ratio cpu %.2f; floor %.0f ns/request\n",
              int(mode), requests, module.cpu, module.wall, protocol.cpu, protocol.wall,
              protocol.cpu > 0 ? module.cpu / protocol.cpu : 0.0, requests ? 1e9 * protocol.cpu / double(requests) : 0.0);
  return 0;
}
