// The wire writers alone: CPU time to write synthetic wires to /dev/null in
// one format, without the module, the host or the disk. "rings": one ring of
// three corners per triangle, closed by a fourth vertex back at the first
// (what mode 0 sends for a triangle soup); "chains": long open chains of 1000
// segments (what modes 1 and 2 send). Positions are floats widened to double,
// u is k/n. Prints the best and the median of the repeats.
//
//   tressel_write_bench obj|ply|gltf|glb [rings|chains] [vertices (default 4M)] [repeats (default 5)]
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "cli/io/WireWriters.h"

namespace {

using cliio::CWireGroup;
using cliio::CWireVertex;

CWireGroup MakeWires(bool rings, size_t vertices) {
  CWireGroup group;
  group.name = "mesh 1";
  std::mt19937 random(7);
  std::uniform_real_distribution<float> coordinate(-5, 5);
  const int corners = rings ? 3 : 1000;
  while (group.vertices.size() + size_t(corners) + 1 <= vertices) {
    const int32_t base = int32_t(group.vertices.size());
    float first[3] = {coordinate(random), coordinate(random), coordinate(random)};
    for (int k = 0; k <= corners; ++k) {
      CWireVertex vertex;
      for (int i = 0; i < 3; ++i) vertex.position[i] = rings && k == corners ? first[i] : k ? coordinate(random) : first[i];
      vertex.u = float(k) / float(corners);
      group.vertices.push_back(vertex);
      if (k) group.segments.push_back({base + k - 1, base + k});
    }
  }
  return group;
}

double CpuSeconds() {
  timespec now;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

}  // namespace

int main(int argc, char** argv) {
  cliio::WireFormat format;
  if (argc < 2 || !cliio::WireFormatNamed(argv[1], &format)) {
    fprintf(stderr, "usage: tressel_write_bench obj|ply|gltf|glb [rings|chains] [vertices] [repeats]\n");
    return 2;
  }
  const bool rings = argc < 3 || std::string(argv[2]) != "chains";
  const size_t vertices = argc > 3 ? strtoull(argv[3], nullptr, 10) : 4000000;
  const int repeats = argc > 4 ? atoi(argv[4]) : 5;
  const std::vector<CWireGroup> groups = {MakeWires(rings, vertices)};
  const int sink = open("/dev/null", O_WRONLY);
  std::vector<double> seconds;
  for (int r = 0; r < repeats; ++r) {
    cliio::CDescriptorSink out(sink);
    std::string detail;
    const double start = CpuSeconds();
    if (!cliio::WriteWires(groups, format, out, &detail)) {
      fprintf(stderr, "tressel_write_bench: %s\n", detail.c_str());
      return 1;
    }
    seconds.push_back(CpuSeconds() - start);
  }
  std::sort(seconds.begin(), seconds.end());
  const double perVertex = 1e9 / double(groups[0].vertices.size());
  printf("%s %s, %zu vertices, %zu segments: best %.3f s, median %.3f s CPU (%.0f / %.0f ns per vertex)\n", argv[1],
         rings ? "rings" : "chains", groups[0].vertices.size(), groups[0].segments.size(), seconds.front(),
         seconds[seconds.size() / 2], seconds.front() * perVertex, seconds[seconds.size() / 2] * perVertex);
  return 0;
}
