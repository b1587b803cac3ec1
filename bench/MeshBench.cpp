// The mesh work of the packed unshared-edge mode (PackVertices, BuildEdges,
// GetSurfEdge) on a generated grid of w x w quads delivered as a host often
// does: every quad with its own four corner vertices (4 w^2 vertices), and a
// hole in every seventh cell so that the surface edge has many chains. The
// second argument orders the quads row by row (0) or shuffled (1); the
// vertices always follow the quads, as in a file of unshared facets.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#include "bench/BenchHost.h"
#include "mesh/Group.h"

namespace {

void MakeGrid(CGroup& group, int w, bool shuffled) {
  std::vector<int> cells;
  for (int cell = 0; cell < w * w; ++cell)
    if (cell % 7 != 3) cells.push_back(cell);
  if (shuffled) std::shuffle(cells.begin(), cells.end(), std::mt19937(12345));
  group.vertices.Allocate(size_t(4) * cells.size());
  group.facets.Allocate(cells.size());
  for (int cell : cells) {
    const int x = cell % w, y = cell / w;
    const int first = static_cast<int>(group.vertices.count);
    const float corners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (const auto& c : corners) {
      CVertex* v = group.vertices.ElemNew();
      v->flags = 0;
      v->pos = Fxyz{(x + c[0]) * 0.01f, (y + c[1]) * 0.01f, 0.0f};
    }
    CFacet* f = group.facets.ElemNew();
    f->count = 4;
    for (int k = 0; k < 4; ++k) f->vert[k] = first + k;
  }
}

enum Stage { kPack, kEdges, kSurface, kAll };

void Run(benchmark::State& state, Stage stage) {
  BenchHost host;
  const int w = static_cast<int>(state.range(0));
  const bool shuffled = state.range(1) != 0;
  size_t vertexCount = 0;
  int chains = 0;
  for (auto _ : state) {
    state.PauseTiming();
    {
      CGroup group(nullptr);
      MakeGrid(group, w, shuffled);
      vertexCount = group.vertices.count;
      if (stage != kPack && stage != kAll) group.PackVertices(true, nullptr);
      if (stage == kSurface) group.BuildEdges();
      TVector<CEdge*> out;
      state.ResumeTiming();
      if (stage == kPack || stage == kAll) group.PackVertices(true, nullptr);
      if (stage == kEdges || stage == kAll) group.BuildEdges();
      if (stage == kSurface || stage == kAll) chains = group.GetSurfEdge(out);
      state.PauseTiming();
    }
    state.ResumeTiming();
  }
  state.counters["vertices"] = static_cast<double>(vertexCount);
  if (stage == kSurface || stage == kAll) state.counters["chains"] = chains;
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(vertexCount));
}

void BM_PackVertices(benchmark::State& state) { Run(state, kPack); }
void BM_BuildEdges(benchmark::State& state) { Run(state, kEdges); }
void BM_GetSurfEdge(benchmark::State& state) { Run(state, kSurface); }
void BM_PackBuildTrace(benchmark::State& state) { Run(state, kAll); }

// w = 170: about 100k vertices; w = 540: about 1M (six cells in seven kept).
#define TRESSEL_MESH_SIZES ArgsProduct({{170, 540}, {0, 1}})->Unit(benchmark::kMillisecond)
BENCHMARK(BM_PackVertices)->TRESSEL_MESH_SIZES;
BENCHMARK(BM_BuildEdges)->TRESSEL_MESH_SIZES;
BENCHMARK(BM_GetSurfEdge)->TRESSEL_MESH_SIZES;
BENCHMARK(BM_PackBuildTrace)->TRESSEL_MESH_SIZES;

}  // namespace

BENCHMARK_MAIN();
