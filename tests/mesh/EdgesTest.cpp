// Edge building and surface edge tracing: numbering, directions, pairing of
// three or more facets, self-sides after packing, chains, cancellation, and
// refused memory.
#include <algorithm>
#include <random>

#include <gtest/gtest.h>

#include "mesh/Group.h"
#include "plugin/HostMemory.h"
#include "tests/mesh/MeshHost.h"
#include "tests/support/FakeTask.h"
#include "ui/InfoDlg.h"

namespace {

std::vector<int> EdgeFields(const CFacet& f) { return std::vector<int>(f.edge, f.edge + f.count); }

std::vector<int> Indices(const CGroup& group, const TVector<CEdge*>& out) {
  std::vector<int> result;
  for (size_t i = 0; i < out.count; ++i) result.push_back(static_cast<int>(out[i] - group.edges.items));
  return result;
}

// Traces the surface edge into `out` and compares it with the reference
// tracer: the same number of chains and the same edges in the same order.
::testing::AssertionResult SurfaceEdgeIsReference(CGroup& group, TVector<CEdge*>& out) {
  const std::vector<std::vector<int>> expected = ReferenceChains(group);
  const int chains = group.GetSurfEdge(out);
  if (chains != static_cast<int>(expected.size()))
    return ::testing::AssertionFailure() << chains << " chains, the reference traces " << expected.size();
  std::vector<int> flat;
  for (const auto& chain : expected) flat.insert(flat.end(), chain.begin(), chain.end());
  if (Indices(group, out) != flat) return ::testing::AssertionFailure() << "the chains' edges differ from the reference's";
  return ::testing::AssertionSuccess();
}

int gNullAfter = 0;
void* NullingAlloc(size_t n) { return --gNullAfter == 0 ? nullptr : MAllocProc(n); }

}  // namespace

TEST(BuildEdges, TwoTrianglesInBothWindings) {
  FakeTask task;
  for (bool sameDirection : {false, true}) {
    CGroup group(nullptr);
    for (int i = 0; i < 4; ++i) PutVertex(group, static_cast<float>(i), 0, 0);
    PutFacet(group, {0, 1, 2});
    if (sameDirection) {
      PutFacet(group, {1, 2, 3});
    } else {
      PutFacet(group, {2, 1, 3});
    }
    ASSERT_TRUE(group.BuildEdges());
    ASSERT_EQ(group.edges.count, 5u);
    EXPECT_EQ(EdgeEnds(group.edges[0]), (std::vector<int>{0, 1}));
    EXPECT_EQ(EdgeEnds(group.edges[1]), (std::vector<int>{1, 2}));
    EXPECT_EQ(EdgeEnds(group.edges[2]), (std::vector<int>{2, 0}));
    EXPECT_EQ(group.edges[1].fac[0], 0);
    EXPECT_EQ(group.edges[1].fac[1], 1);
    for (int e : {0, 2, 3, 4}) EXPECT_EQ(group.edges[e].fac[1], -1) << e;
    if (sameDirection) {
      EXPECT_EQ(EdgeFields(group.facets[1]), (std::vector<int>{1, 3, 4}));
      EXPECT_EQ(EdgeEnds(group.edges[3]), (std::vector<int>{2, 3}));
    } else {
      EXPECT_EQ(EdgeFields(group.facets[1]), (std::vector<int>{1, 3, 4}));
      EXPECT_EQ(EdgeEnds(group.edges[3]), (std::vector<int>{1, 3}));
      EXPECT_EQ(EdgeEnds(group.edges[4]), (std::vector<int>{3, 2}));
    }
  }
  EXPECT_EQ(task.LiveBlocks(), 0u);
}

TEST(BuildEdges, ThreeOrMoreFacetsOnOnePairPairUpInOrder) {
  FakeTask task;
  {
    CGroup group(nullptr);
    for (int i = 0; i < 6; ++i) PutVertex(group, static_cast<float>(i), 0, 0);
    PutFacet(group, {0, 1, 2});
    PutFacet(group, {1, 0, 3});
    PutFacet(group, {0, 1, 4});
    PutFacet(group, {1, 0, 5});
    PutFacet(group, {0, 1});  // takes part in nothing
    for (size_t f = 0; f < group.facets.count; ++f) group.facets[f].color = 7;
    ASSERT_TRUE(group.BuildEdges());
    EXPECT_EQ(group.facets[0].edge[0], 0);
    EXPECT_EQ(group.facets[1].edge[0], 0);
    const int third = group.facets[2].edge[0];
    EXPECT_NE(third, 0);
    EXPECT_EQ(group.facets[3].edge[0], third);
    EXPECT_EQ(group.edges[third].fac[0], 2);
    EXPECT_EQ(group.edges[third].fac[1], 3);
    EXPECT_EQ(group.facets[0].color, RedFacetColor());
    EXPECT_EQ(group.facets[1].color, RedFacetColor());
    EXPECT_EQ(group.facets[2].color, 7u);
    EXPECT_EQ(group.facets[3].color, 7u);
    EXPECT_EQ(group.edges.count, 2u + 2 * 4);
  }
  {
    CGroup group(nullptr);
    for (int i = 0; i < 3; ++i) PutVertex(group, static_cast<float>(i), 0, 0);
    PutFacet(group, {0, 1});
    PutFacet(group, {1, 2});
    EXPECT_TRUE(group.BuildEdges());
    EXPECT_EQ(group.edges.count, 0u);
  }
  EXPECT_EQ(task.LiveBlocks(), 0u);
}

TEST(BuildEdges, SideFromAVertexToItselfGetsItsOwnEdge) {
  FakeTask task;
  {
    CGroup group(nullptr);
    PutVertex(group, 0, 0, 0);
    PutVertex(group, 1, 0, 0);
    PutVertex(group, 1, 0, 0);  // packs into vertex 1
    PutVertex(group, 0, 1, 0);
    PutFacet(group, {0, 1, 2, 3});
    PutFacet(group, {3, 2, 1});  // after packing two sides on one vertex
    ASSERT_TRUE(group.PackVertices(true, nullptr));
    ASSERT_TRUE(group.BuildEdges());
    ASSERT_EQ(group.facets[0].count, 4);
    const CEdge& self = group.edges[group.facets[0].edge[1]];
    EXPECT_EQ(EdgeEnds(self), (std::vector<int>{1, 1}));
    EXPECT_EQ(self.fac[0], 0);
    EXPECT_EQ(self.fac[1], -1);
    // The second facet's self-side is not joined to the first one's.
    EXPECT_NE(group.facets[1].edge[1], group.facets[0].edge[1]);
    TVector<CEdge*> out;
    EXPECT_GE(group.GetSurfEdge(out), 1);
  }
  EXPECT_EQ(task.LiveBlocks(), 0u);
}

TEST(SurfaceEdge, QuadBoxAndSeparateTriangles) {
  FakeTask task;
  {
    CGroup group(nullptr);
    for (int i = 0; i < 4; ++i) PutVertex(group, static_cast<float>(i), 0, 0);
    PutFacet(group, {0, 1, 2, 3});
    ASSERT_TRUE(group.BuildEdges());
    TVector<CEdge*> out;
    EXPECT_EQ(group.GetSurfEdge(out), 1);
    EXPECT_EQ(Indices(group, out), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(EdgeEnds(*out[3]), (std::vector<int>{3, 0}));
  }
  {
    CGroup group(nullptr);
    for (int i = 0; i < 8; ++i) PutVertex(group, float(i & 1), float((i >> 1) & 1), float(i >> 2));
    PutFacet(group, {0, 2, 3, 1});
    PutFacet(group, {4, 5, 7, 6});
    PutFacet(group, {0, 1, 5, 4});
    PutFacet(group, {2, 6, 7, 3});
    PutFacet(group, {0, 4, 6, 2});
    PutFacet(group, {1, 3, 7, 5});
    ASSERT_TRUE(group.BuildEdges());
    EXPECT_EQ(group.edges.count, 12u);
    TVector<CEdge*> out;
    EXPECT_EQ(group.GetSurfEdge(out), 0);
    EXPECT_EQ(out.count, 0u);
  }
  {
    CGroup group(nullptr);
    for (int i = 0; i < 6; ++i) PutVertex(group, static_cast<float>(i), 0, 0);
    PutFacet(group, {0, 1, 2});
    PutFacet(group, {3, 4, 5});
    ASSERT_TRUE(group.BuildEdges());
    TVector<CEdge*> out;
    EXPECT_EQ(group.GetSurfEdge(out), 2);
    EXPECT_EQ(Indices(group, out), (std::vector<int>{0, 1, 2, 3, 4, 5}));
  }
  EXPECT_EQ(task.LiveBlocks(), 0u);
}

TEST(SurfaceEdge, ChainsMatchThePlainSearchOnAHoledScrambledGrid) {
  FakeTask task;
  {
    // A 12 x 12 grid of cells with holes (two touching at a corner), vertices
    // numbered in a shuffled order so that the sorted open list is not local.
    const int n = 13;
    std::vector<int> number(n * n);
    for (int i = 0; i < n * n; ++i) number[i] = i;
    std::mt19937 random(7);
    std::shuffle(number.begin(), number.end(), random);
    CGroup group(nullptr);
    for (int i = 0; i < n * n; ++i) PutVertex(group, 0, 0, 0);
    for (int y = 0; y + 1 < n; ++y) {
      for (int x = 0; x + 1 < n; ++x) {
        const bool hole = (x == 3 && y == 3) || (x == 4 && y == 4) || (x >= 7 && x <= 9 && y == 6);
        if (hole) continue;
        const int a = number[y * n + x], b = number[y * n + x + 1];
        const int c = number[(y + 1) * n + x + 1], d = number[(y + 1) * n + x];
        if ((x + y) % 3 == 0) {
          PutFacet(group, {a, b, c});
          PutFacet(group, {a, c, d});
        } else {
          PutFacet(group, {a, b, c, d});
        }
      }
    }
    ASSERT_TRUE(group.BuildEdges());
    TVector<CEdge*> out;
    ASSERT_TRUE(SurfaceEdgeIsReference(group, out));
    EXPECT_EQ(out.count, 4u * 12 + 4 + 4 + 8);  // rim and the holes' borders
  }
  EXPECT_EQ(task.LiveBlocks(), 0u);
}

// Sheets of up to 60 x 60 cells with random holes, vertex numbers scattered
// (shuffled, or spread over a few far apart bands), some facets repeated or
// reversed, some with a repeated corner (self sides), and fans of extra
// triangles on a few vertices (many open edges at one end): the traced chains
// are those of the plain search, facet by facet and edge by edge.
TEST(SurfaceEdge, ChainsMatchThePlainSearchOnRandomHoledSheets) {
  FakeTask task;
  std::mt19937 random(23);
  size_t traced = 0, rounds = 0;
  for (int round = 0; round < 24; ++round) {
    const int n = 4 + static_cast<int>(random() % 57);  // points per side
    std::vector<int> number(size_t(n) * n);
    for (size_t i = 0; i < number.size(); ++i) number[i] = static_cast<int>(i);
    switch (round % 3) {
      case 0: std::shuffle(number.begin(), number.end(), random); break;
      case 1:  // interleaved rows: neighbours far apart in number
        for (size_t i = 0; i < number.size(); ++i) number[i] = static_cast<int>((i % 4) * (number.size() / 4 + 1) + i / 4);
        break;
      default: break;  // grid order
    }
    const int vertexCount = *std::max_element(number.begin(), number.end()) + 1;
    CGroup group(nullptr);
    for (int i = 0; i < vertexCount; ++i) PutVertex(group, 0, 0, 0);
    const unsigned holeChance = 2 + random() % 6;
    for (int y = 0; y + 1 < n; ++y) {
      for (int x = 0; x + 1 < n; ++x) {
        if (random() % holeChance == 0) continue;
        const int a = number[size_t(y * n + x)], b = number[size_t(y * n + x + 1)];
        const int c = number[size_t((y + 1) * n + x + 1)], d = number[size_t((y + 1) * n + x)];
        const unsigned kind = random() % 16;
        if (kind < 6) {
          PutFacet(group, {a, b, c});
          PutFacet(group, {a, c, d});
        } else if (kind == 6) {
          PutFacet(group, {a, b, c, d});
          PutFacet(group, {d, c, b, a});  // the same cell reversed
        } else if (kind == 7) {
          PutFacet(group, {a, a, b});  // a side from a to itself
          PutFacet(group, {a, b, c, d});
        } else {
          PutFacet(group, {a, b, c, d});
        }
      }
    }
    for (int fan = 0; fan < 3; ++fan) {  // loose triangles around one vertex
      const int hub = number[random() % number.size()];
      for (int k = 0; k < 6; ++k) {
        const int p = number[random() % number.size()], q = number[random() % number.size()];
        if (p != hub && q != hub && p != q) PutFacet(group, {hub, p, q});
      }
    }
    if (group.facets.count == 0) continue;
    ASSERT_TRUE(group.BuildEdges());
    TVector<CEdge*> out;
    ASSERT_TRUE(SurfaceEdgeIsReference(group, out)) << round;
    traced += out.count;
    ++rounds;
  }
  EXPECT_GT(rounds, 20u);
  EXPECT_GT(traced, 5000u);  // the rounds were not trivially small
  EXPECT_EQ(task.LiveBlocks(), 0u);
}

// One vertex at the low end of many open edges (more than a handful: the
// entries of one lower end are ordered by a general sort), with pairs that
// three facets share (the third makes a second open edge on the same pair,
// equal in the order but for its number) and self sides: the same chains as
// the plain search.
TEST(SurfaceEdge, BusyVertexWithRepeatedPairsMatchesThePlainSearch) {
  FakeTask task;
  {
    CGroup group(nullptr);
    for (int i = 0; i < 90; ++i) PutVertex(group, 0, 0, 0);
    for (int i = 1; i < 80; i += 2) {
      PutFacet(group, {0, i, i + 1});
      if (i % 3 == 0) {
        PutFacet(group, {i + 1, i, 0});
        PutFacet(group, {0, i, i + 1});
      }
      if (i % 7 == 0) {
        PutFacet(group, {i, i, i + 1, 0});
        PutFacet(group, {0, i, i, i + 1});
        PutFacet(group, {0, 0, i + 1, i});
      }
    }
    ASSERT_TRUE(group.BuildEdges());
    TVector<CEdge*> out;
    ASSERT_TRUE(SurfaceEdgeIsReference(group, out));
    size_t fromHub = 0;
    for (size_t e = 0; e < group.edges.count; ++e)
      fromHub += group.edges[e].fac[1] < 0 && (group.edges[e].ver[0] == 0 || group.edges[e].ver[1] == 0);
    EXPECT_GT(fromHub, 40u);
  }
  EXPECT_EQ(task.LiveBlocks(), 0u);
}

TEST(EdgesProgress, CancelStopsAtTheGivenStep) {
  FakeTask task;
  MeshHost host(task);
  DueClock clock;
  InfoDlg indicator;
  {
    CGroup group(nullptr);
    for (int f = 0; f < 600; ++f) {
      for (int k = 0; k < 3; ++k) PutVertex(group, static_cast<float>(f), static_cast<float>(k), 0);
      PutFacet(group, {3 * f, 3 * f + 1, 3 * f + 2});
    }
    host.cancelAtStat = 1;
    EXPECT_FALSE(group.BuildEdges());  // before the 500th facet
    EXPECT_EQ(group.edges.count, 499u * 3);
    EXPECT_EQ(host.stats.at(0).title, "Building edges");

    host.cancelAtStat = 0;
    ASSERT_TRUE(group.BuildEdges());
    EXPECT_EQ(group.edges.count, 600u * 3);
    host.stats.clear();
    host.cancelAtStat = 1;
    TVector<CEdge*> out;
    EXPECT_EQ(group.GetSurfEdge(out), -1);
    EXPECT_EQ(out.count, 0u);
    EXPECT_EQ(host.stats.at(0).title, "Looking for surface edge");
  }
  EXPECT_EQ(task.LiveBlocks(), 0u);
}

// Each block of the trace itself (list, sort, index, chains) refused in turn
// after a complete edge build: the memory exception, nothing left allocated,
// and once every block is granted the same chains as without refusals.
TEST(EdgesMemory, EveryTraceBlockRefusedInTurn) {
  FakeTask task;
  {
    CGroup group(nullptr);
    for (int i = 0; i < 64; ++i) PutVertex(group, 0, 0, 0);
    for (int y = 0; y < 7; ++y) {
      for (int x = 0; x < 7; ++x) {
        if ((x == 2 && y == 2) || (x == 5 && y == 4)) continue;
        const int a = (y * 8 + x) * 37 % 64, b = (y * 8 + x + 1) * 37 % 64;  // scattered numbers
        const int c = ((y + 1) * 8 + x + 1) * 37 % 64, d = ((y + 1) * 8 + x) * 37 % 64;
        PutFacet(group, {a, b, c, d});
      }
    }
    ASSERT_TRUE(group.BuildEdges());
    const std::vector<std::vector<int>> expected = ReferenceChains(group);
    std::vector<int> flat;
    for (const auto& chain : expected) flat.insert(flat.end(), chain.begin(), chain.end());
    int refused = 1;
    for (;; ++refused) {
      ASSERT_LT(refused, 40);
      const size_t before = task.LiveBlocks();
      task.FailAllocation(size_t(refused));
      TVector<CEdge*> out;
      try {
        ASSERT_EQ(group.GetSurfEdge(out), static_cast<int>(expected.size()));
        EXPECT_EQ(Indices(group, out), flat);
        break;
      } catch (const char* e) {
        EXPECT_STREQ(e, kMemoryException);
      }
      out.Free();
      EXPECT_EQ(task.LiveBlocks(), before) << "block " << refused;
    }
    // offsets by lower end, open list, output, offsets by higher end, order
    // by higher end, taken flags, tree, the two halves of a chain: nine
    // blocks refused
    EXPECT_GE(refused, 10);
  }
  EXPECT_EQ(task.LiveBlocks(), 0u);
}

TEST(EdgesMemory, RefusedBlocksEndWithTheMemoryException) {
  FakeTask task;
  auto build = [](CGroup& group) {
    for (int i = 0; i < 30; ++i) PutVertex(group, float(i % 6), float(i / 6), 0);
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 5; ++x) PutFacet(group, {y * 6 + x, y * 6 + x + 1, y * 6 + x + 7, y * 6 + x + 6});
    }
  };
  // Refused by the host, then yielded as null by the hook, at each block of
  // the build and of the trace in turn.
  for (int refused = 1; refused <= 8; ++refused) {
    for (bool asNull : {false, true}) {
      CGroup group(nullptr);
      build(group);
      if (asNull) {
        gNullAfter = refused;
        MAlloc = NullingAlloc;
      } else {
        task.FailAllocation(refused);
      }
      bool threw = false;
      try {
        TVector<CEdge*> out;
        if (group.BuildEdges()) group.GetSurfEdge(out);
      } catch (const char* e) {
        EXPECT_STREQ(e, kMemoryException);
        threw = true;
      }
      EXPECT_TRUE(threw) << "block " << refused << (asNull ? " (null)" : "");
      MAlloc = MAllocProc;
      gNullAfter = 0;
    }
    EXPECT_EQ(task.LiveBlocks(), 0u);
  }
}
