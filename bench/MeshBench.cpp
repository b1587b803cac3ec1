// The mesh work of the packed unshared-edge mode (PackVertices, BuildEdges,
// GetSurfEdge) on a generated grid of w x w quads delivered as a host often
// does: every quad with its own four corner vertices (4 w^2 vertices), and a
// hole in every seventh cell so that the surface edge has many chains.
#include <benchmark/benchmark.h>

#include "bench/BenchHost.h"
#include "mesh/Group.h"

namespace {

void MakeGrid(CGroup& group, int w) {
  group.vertices.Allocate(size_t(4) * w * w);
  group.facets.Allocate(size_t(w) * w);
  for (int y = 0; y < w; ++y) {
    for (int x = 0; x < w; ++x) {
      if ((y * w + x) % 7 == 3) continue;
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
}

enum Stage { kPack, kEdges, kSurface, kAll };

void Run(benchmark::State& state, Stage stage) {
  BenchHost host;
  const int w = static_cast<int>(state.range(0));
  size_t vertexCount = 0;
  int chains = 0;
  for (auto _ : state) {
    state.PauseTiming();
    {
      CGroup group(nullptr);
      MakeGrid(group, w);
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
BENCHMARK(BM_PackVertices)->Arg(170)->Arg(540)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildEdges)->Arg(170)->Arg(540)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetSurfEdge)->Arg(170)->Arg(540)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PackBuildTrace)->Arg(170)->Arg(540)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
