// Packing, edge building and tracing against plain re-statements of their
// rules (a comparison sort of vertex pointers and per-run address sorts; per
// vertex link lists searched from the newest link) on random meshes full of
// coincident and near-coincident corners, signed zeros, NaNs, duplicate,
// non-manifold and degenerate facets. Also the working memory per vertex.
#include <math.h>

#include <algorithm>
#include <list>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "mesh/Group.h"
#include "tests/mesh/MeshHost.h"
#include "tests/support/FakeTask.h"

namespace {

struct CPlainMesh {
  std::vector<Fxyz> positions;
  std::vector<std::vector<int>> facets;
};

float RandomCoordinate(std::mt19937& random) {
  static const float kOffsets[] = {0.0f, 0.0f, 3e-6f, -4e-6f, 7e-6f, 9.9e-6f, 1.01e-5f, 1.2e-5f, 2e-5f};
  const int cell = static_cast<int>(random() % 7) - 3;
  float value = static_cast<float>(cell) * 0.5f + kOffsets[random() % 9];
  if (value == 0.0f && random() % 2) value = -0.0f;
  if (random() % 200 == 0) value = NAN;
  return value;
}

CPlainMesh RandomMesh(std::mt19937& random, int vertexCount, int facetCount) {
  CPlainMesh mesh;
  for (int i = 0; i < vertexCount; ++i) {
    mesh.positions.push_back(Fxyz{RandomCoordinate(random), RandomCoordinate(random), RandomCoordinate(random)});
  }
  for (int f = 0; f < facetCount; ++f) {
    if (!mesh.facets.empty() && random() % 6 == 0) {  // the same corners again, maybe reversed
      std::vector<int> again = mesh.facets[random() % mesh.facets.size()];
      if (random() % 2) std::reverse(again.begin(), again.end());
      mesh.facets.push_back(again);
      continue;
    }
    std::vector<int> corners(2 + random() % 3);  // 2 to 4 corners
    for (int& c : corners) c = static_cast<int>(random() % unsigned(vertexCount));
    mesh.facets.push_back(corners);
  }
  return mesh;
}

void Fill(CGroup& group, const CPlainMesh& mesh) {
  for (const Fxyz& p : mesh.positions) PutVertex(group, p.x, p.y, p.z);
  for (const std::vector<int>& corners : mesh.facets) {
    CFacet* f = group.facets.ElemNew();
    f->count = static_cast<int32_t>(corners.size());
    for (size_t k = 0; k < corners.size(); ++k) f->vert[k] = corners[k];
    f->color = 7;
  }
}

// Packing as first written: pointers sorted by CompVerPos, runs measured from
// their first pointer, each run resolved by SortRange.
void PlainPack(CPlainMesh& mesh, std::vector<int>& newToOld) {
  const int n = static_cast<int>(mesh.positions.size());
  std::vector<CVertex> vertices(mesh.positions.size());
  for (int i = 0; i < n; ++i) vertices[size_t(i)] = CVertex{0, mesh.positions[size_t(i)]};
  std::vector<CVertex*> sorted;
  for (CVertex& v : vertices) sorted.push_back(&v);
  std::sort(sorted.begin(), sorted.end(), [](CVertex* a, CVertex* b) { return CompVerPos(&a, &b) < 0; });
  TVector<int> remap;
  remap.Allocate(size_t(n));
  remap.SetCount(size_t(n));
  auto near = [](const Fxyz& p, const Fxyz& q) {
    return fabsf(p.x - q.x) < 1e-5 && fabsf(p.y - q.y) < 1e-5 && fabsf(p.z - q.z) < 1e-5;
  };
  int start = 0;
  for (int i = 1; i <= n; ++i) {
    if (i < n && near(sorted[size_t(i)]->pos, sorted[size_t(start)]->pos)) continue;
    SortRange(sorted.data(), vertices.data(), remap, start, i);
    start = i;
  }
  std::vector<int> newIndex(mesh.positions.size());
  std::vector<Fxyz> kept;
  for (int j = 0; j < n; ++j) {
    if (remap[size_t(j)] == j) {
      newIndex[size_t(j)] = static_cast<int>(kept.size());
      newToOld.push_back(j);
      kept.push_back(vertices[size_t(j)].pos);
    } else {
      newIndex[size_t(j)] = newIndex[size_t(remap[size_t(j)])];
    }
  }
  for (std::vector<int>& corners : mesh.facets)
    for (int& c : corners) c = newIndex[size_t(c)];
  mesh.positions = kept;
}

// Edge building as first written: per vertex lists of (other end, edge),
// newest first; a side a-b looks in b's list for the newest link to a.
struct CPlainEdges {
  std::vector<CEdge> edges;
  std::vector<std::vector<int>> edgeOf;
  std::vector<bool> red;
};

CPlainEdges PlainEdges(const CPlainMesh& mesh) {
  CPlainEdges result;
  struct CLink {
    int ver;
    int* edge;
  };
  std::vector<std::list<CLink>> heads(mesh.positions.size());
  std::list<int> edgeSlots;
  result.edgeOf.resize(mesh.facets.size());
  result.red.assign(mesh.facets.size(), false);
  for (size_t i = 0; i < mesh.facets.size(); ++i) {
    const std::vector<int>& corners = mesh.facets[i];
    const int count = static_cast<int>(corners.size());
    if (count <= 2) continue;
    for (int k = 0; k < count; ++k) {
      const int a = corners[size_t(k)], b = corners[size_t((k + 1) % count)];
      edgeSlots.push_back(-1);
      int* side = &edgeSlots.back();
      heads[size_t(a)].push_front(CLink{b, side});
      int match = -2;
      for (const CLink& link : heads[size_t(b)]) {
        if (link.ver == a) {
          match = *link.edge;
          break;
        }
      }
      if (match >= 0 && result.edges[size_t(match)].fac[1] < 0) {
        result.edges[size_t(match)].fac[1] = static_cast<int>(i);
        *side = match;
      } else {
        if (match >= 0) {
          result.red[size_t(result.edges[size_t(match)].fac[0])] = true;
          result.red[size_t(result.edges[size_t(match)].fac[1])] = true;
        }
        *side = static_cast<int>(result.edges.size());
        result.edges.push_back(CEdge{0, {static_cast<int>(i), -1}, {a, b}});
        edgeSlots.push_back(*side);
        heads[size_t(b)].push_front(CLink{a, &edgeSlots.back()});
      }
      result.edgeOf[i].push_back(*side);
    }
  }
  return result;
}

}  // namespace

TEST(MeshReference, PackingAndEdgesAgreeWithThePlainRulesOnRandomMeshes) {
  FakeTask task;
  std::mt19937 random(11);
  // What the rounds went through, so that the comparison covers every rule.
  size_t merged = 0, red = 0, selfSides = 0;
  for (int round = 0; round < 60; ++round) {
    CPlainMesh mesh = RandomMesh(random, 5 + round * 7, 3 + round * 9);
    CGroup group(nullptr);
    Fill(group, mesh);
    const bool pack = round % 4 != 3;
    TVector<int> newToOld;
    std::vector<int> plainNewToOld;
    if (pack) {
      ASSERT_TRUE(group.PackVertices(true, &newToOld));
      merged += mesh.positions.size();
      PlainPack(mesh, plainNewToOld);
      merged -= mesh.positions.size();
      ASSERT_EQ(std::vector<int>(newToOld.items, newToOld.items + newToOld.count), plainNewToOld) << round;
      ASSERT_EQ(group.vertices.count, mesh.positions.size());
      for (size_t f = 0; f < mesh.facets.size(); ++f) {
        ASSERT_EQ(std::vector<int>(group.facets[f].vert, group.facets[f].vert + group.facets[f].count),
                  mesh.facets[f]);
      }
    }

    ASSERT_TRUE(group.BuildEdges());
    const CPlainEdges plain = PlainEdges(mesh);
    ASSERT_EQ(group.edges.count, plain.edges.size()) << round;
    for (size_t e = 0; e < plain.edges.size(); ++e) {
      const CEdge& got = group.edges[e];
      EXPECT_EQ(got.flags, 0);
      EXPECT_EQ(std::vector<int>(got.fac, got.fac + 2), std::vector<int>(plain.edges[e].fac, plain.edges[e].fac + 2));
      EXPECT_EQ(EdgeEnds(got), EdgeEnds(plain.edges[e]));
    }
    for (const CEdge& e : plain.edges) selfSides += e.ver[0] == e.ver[1];
    red += size_t(std::count(plain.red.begin(), plain.red.end(), true));
    for (size_t f = 0; f < mesh.facets.size(); ++f) {
      const CFacet& facet = group.facets[f];
      EXPECT_EQ(facet.color, plain.red[f] ? RedFacetColor() : 7u) << round << " facet " << f;
      if (facet.count > 2) {
        EXPECT_EQ(std::vector<int>(facet.edge, facet.edge + facet.count), plain.edgeOf[f]);
      }
    }
    TVector<CEdge*> out;
    ASSERT_GE(group.GetSurfEdge(out), 0);
    std::vector<int> chains;
    for (size_t i = 0; i < out.count; ++i) chains.push_back(static_cast<int>(out[i] - group.edges.items));
    std::vector<int> plainChains;
    for (const std::vector<int>& chain : ReferenceChains(group))
      plainChains.insert(plainChains.end(), chain.begin(), chain.end());
    EXPECT_EQ(chains, plainChains) << round;
  }
  EXPECT_GT(merged, 100u);
  EXPECT_GT(red, 20u);
  EXPECT_GT(selfSides, 5u);
  EXPECT_EQ(task.LiveBlocks(), 0u);
}

// Triangles on the cells of a grid of (w + 1)^2 points, the same one three
// times on each cell (so pairs of sides meet three times), with their own
// corners or sharing the grid's; storage reserved
// exactly, so the task's peak is the algorithm's.
void GridTriangles(CGroup& group, int w, int triangles, bool ownCorners) {
  group.vertices.Allocate(ownCorners ? size_t(triangles) * 3 : size_t(w + 1) * (w + 1));
  group.facets.Allocate(size_t(triangles));
  if (!ownCorners) {
    for (int y = 0; y <= w; ++y)
      for (int x = 0; x <= w; ++x) PutVertex(group, float(x), float(y), 0);
  }
  for (int t = 0; t < triangles; ++t) {
    const int cell = (t * 7919) % (w * w), x = cell % w, y = cell / w;
    if (ownCorners) {
      const int first = static_cast<int>(group.vertices.count);
      PutVertex(group, float(x), float(y), 0);
      PutVertex(group, float(x + 1), float(y), 0);
      PutVertex(group, float(x), float(y + 1), 0);
      PutFacet(group, {first, first + 1, first + 2});
    } else {
      const int a = y * (w + 1) + x;
      PutFacet(group, {a, a + 1, a + w + 1});
    }
  }
}

TEST(MeshReference, WorkingMemoryPerVertexAndSide) {
  {
    FakeTask task;
    CGroup group(nullptr);
    GridTriangles(group, 100, 30000, true);
    const size_t vertices = group.vertices.count;
    const size_t held = task.LiveBytes();
    ASSERT_EQ(task.PeakBytes(), held);
    ASSERT_TRUE(group.PackVertices(true, nullptr));
    EXPECT_EQ(group.vertices.count, 101u * 101 - 1);  // every grid point but the far corner
    // An index per vertex and 16-byte hash slots (one per 3 vertices here),
    // in which the distinct points are then sorted.
    EXPECT_LE(task.PeakBytes() - held, vertices * 11);
  }
  {
    FakeTask task;
    CGroup group(nullptr);
    GridTriangles(group, 100, 30000, false);
    const size_t held = task.LiveBytes();
    ASSERT_TRUE(group.BuildEdges());
    const size_t sides = 30000 * 3;
    // 8 bytes per side and 4 per vertex, then the edges, allocated once.
    EXPECT_LE(task.PeakBytes() - held, sides * 8 + group.vertices.count * 4 + group.edges.count * sizeof(CEdge));
  }
}
