// Vertex packing: runs, survivors, renumbering, the run-start tolerance rule,
// NaN and signed zero, the index map, cancellation and refused memory.
#include <math.h>

#include <gtest/gtest.h>

#include <map>
#include <utility>
#include <vector>

#include "mesh/Group.h"
#include "tests/mesh/MeshHost.h"
#include "tests/support/FakeTask.h"
#include "ui/InfoDlg.h"

namespace {

std::vector<int> Corners(const CFacet& f) { return std::vector<int>(f.vert, f.vert + f.count); }

std::vector<int> Values(const TVector<int>& v) { return std::vector<int>(v.items, v.items + v.count); }

}  // namespace

TEST(PackVertices, TrianglesWithOwnCornersComeToShareVertices) {
  FakeTask task;
  {
    CGroup group(nullptr);
    // A strip of three triangles over five points P0..P4, each with copies.
    const float points[5][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}, {2, 0}};
    const int strip[3][3] = {{0, 1, 2}, {2, 1, 3}, {1, 4, 3}};
    for (const auto& tri : strip) {
      const int first = static_cast<int>(group.vertices.count);
      for (int p : tri) PutVertex(group, points[p][0], points[p][1], 0);
      PutFacet(group, {first, first + 1, first + 2});
    }
    TVector<int> newToOld;
    ASSERT_TRUE(group.PackVertices(true, &newToOld));
    ASSERT_EQ(group.vertices.count, 5u);
    EXPECT_EQ(Values(newToOld), (std::vector<int>{0, 1, 2, 5, 7}));
    EXPECT_EQ(Corners(group.facets[0]), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(Corners(group.facets[1]), (std::vector<int>{2, 1, 3}));
    EXPECT_EQ(Corners(group.facets[2]), (std::vector<int>{1, 4, 3}));
    for (size_t i = 0; i < group.vertices.count; ++i) EXPECT_EQ(group.vertices[i].flags, 0u);
  }
  EXPECT_EQ(task.LiveBlocks(), 0u);
}

TEST(PackVertices, ManyDistinctPointsMeetTheirCopiesAfterTheTableGrew) {
  FakeTask task;
  {
    // 3,000 distinct points far apart (the table starts with room for a
    // few hundred and has to grow several times), then their copies in
    // reverse order, each copy in a triangle with two of the originals.
    const int n = 3000;
    CGroup group(nullptr);
    for (int i = 0; i < n; ++i) PutVertex(group, static_cast<float>(i % 61), static_cast<float>(i / 61), -1.0f);
    for (int i = n - 1; i >= 0; --i) {
      const int copy = static_cast<int>(group.vertices.count);
      PutVertex(group, static_cast<float>(i % 61), static_cast<float>(i / 61), -1.0f);
      PutFacet(group, {copy, (i + 1) % n, (i + 2) % n});
    }
    TVector<int> newToOld;
    ASSERT_TRUE(group.PackVertices(true, &newToOld));
    ASSERT_EQ(group.vertices.count, size_t(n));
    ASSERT_EQ(newToOld.count, size_t(n));
    for (int i = 0; i < n; ++i) ASSERT_EQ(newToOld[size_t(i)], i);
    for (int k = 0; k < n; ++k) {
      const int i = n - 1 - k;  // the point facet k's copy stood for
      ASSERT_EQ(Corners(group.facets[size_t(k)]), (std::vector<int>{i, (i + 1) % n, (i + 2) % n})) << k;
    }
  }
  EXPECT_EQ(task.LiveBlocks(), 0u);
}

// A soup in its facets' order, as scans and exports come: each point comes
// back a few corners later (same row of cells) and again a row later, after
// many other points. Zeros come as -0 in every other facet: the same point.
// Every point survives at its first index.
TEST(PackVertices, SoupInFacetOrderFindsEveryFirstHolder) {
  FakeTask task;
  {
    const int w = 150;
    CGroup group(nullptr);
    group.vertices.Allocate(size_t(w) * w * 6);
    group.facets.Allocate(size_t(w) * w * 2);
    auto put = [&group](int x, int y, bool negativeZero) {
      const float fx = (x == 0 && negativeZero) ? -0.0f : float(x);
      PutVertex(group, fx, float(y), negativeZero ? -0.0f : 0.0f);
    };
    for (int y = 0; y < w; ++y) {
      for (int x = 0; x < w; ++x) {
        const int cell[6][2] = {{x, y}, {x + 1, y}, {x + 1, y + 1}, {x, y}, {x + 1, y + 1}, {x, y + 1}};
        for (int t = 0; t < 2; ++t) {
          const int first = static_cast<int>(group.vertices.count);
          for (int k = 0; k < 3; ++k) put(cell[3 * t + k][0], cell[3 * t + k][1], t == 1);
          PutFacet(group, {first, first + 1, first + 2});
        }
      }
    }
    // The rule, plainly: a point's survivor is its first holder; the
    // survivors keep their order.
    std::map<std::pair<int, int>, int> firstHolder;
    std::vector<int> expectedNewToOld, pointOf;
    for (size_t v = 0; v < group.vertices.count; ++v) {
      const std::pair<int, int> point{int(group.vertices[v].pos.x), int(group.vertices[v].pos.y)};
      auto [at, fresh] = firstHolder.emplace(point, int(expectedNewToOld.size()));
      if (fresh) expectedNewToOld.push_back(int(v));
      pointOf.push_back(at->second);
    }
    ASSERT_EQ(expectedNewToOld.size(), size_t(w + 1) * (w + 1));
    const size_t facetCount = group.facets.count;
    TVector<int> newToOld;
    ASSERT_TRUE(group.PackVertices(true, &newToOld));
    ASSERT_EQ(Values(newToOld), expectedNewToOld);
    ASSERT_EQ(group.facets.count, facetCount);
    for (size_t f = 0; f < facetCount; ++f)
      ASSERT_EQ(Corners(group.facets[f]),
                (std::vector<int>{pointOf[3 * f], pointOf[3 * f + 1], pointOf[3 * f + 2]})) << f;
  }
  EXPECT_EQ(task.LiveBlocks(), 0u);
}

TEST(PackVertices, RunsAreMeasuredFromTheirFirstPoint) {
  FakeTask task;
  {
    CGroup group(nullptr);
    PutVertex(group, 0.000012f, 0, 0);
    PutVertex(group, 0, 0, 0);
    PutVertex(group, 0.000005f, 0, 0);
    ASSERT_TRUE(group.PackVertices(true, nullptr));
    ASSERT_EQ(group.vertices.count, 2u);
    EXPECT_FLOAT_EQ(group.vertices[0].pos.x, 0.000012f);
    EXPECT_FLOAT_EQ(group.vertices[1].pos.x, 0.0f);  // the survivor keeps its own position
  }
  {
    CGroup group(nullptr);
    PutVertex(group, 0, 0, 0);
    PutVertex(group, 0, 0, 0.00002f);
    ASSERT_TRUE(group.PackVertices(true, nullptr));
    EXPECT_EQ(group.vertices.count, 2u);
  }
  {
    // The second point separates the first from the third in position order.
    CGroup group(nullptr);
    PutVertex(group, 0, 0, 0);
    PutVertex(group, 0, 0.5f, 0);
    PutVertex(group, 0.000005f, 0, 0);
    TVector<int> newToOld;
    ASSERT_TRUE(group.PackVertices(true, &newToOld));
    EXPECT_EQ(group.vertices.count, 3u);
    EXPECT_EQ(Values(newToOld), (std::vector<int>{0, 1, 2}));
  }
  EXPECT_EQ(task.LiveBlocks(), 0u);
}

TEST(PackVertices, LowestOldIndexSurvivesAndCornersFollow) {
  FakeTask task;
  {
    CGroup group(nullptr);
    for (int i = 0; i < 9; ++i) PutVertex(group, static_cast<float>(i), 0, 0);
    for (int i : {2, 5, 7}) group.vertices[i].pos = Fxyz{-3, 4, 5};
    PutFacet(group, {7, 1, 5});
    PutFacet(group, {8, 2, 6});
    ASSERT_TRUE(group.PackVertices(true, nullptr));
    ASSERT_EQ(group.vertices.count, 7u);
    EXPECT_FLOAT_EQ(group.vertices[2].pos.x, -3.0f);
    // Old 0 1 2 3 4 6 8 become 0..6; 5 and 7 become 2, like 2.
    EXPECT_EQ(Corners(group.facets[0]), (std::vector<int>{2, 1, 2}));
    EXPECT_EQ(Corners(group.facets[1]), (std::vector<int>{6, 2, 5}));
  }
  {
    CGroup group(nullptr);
    PutVertex(group, 0, 0, 0);
    PutVertex(group, 0, 0, 0);
    PutFacet(group, {1, 0});
    ASSERT_TRUE(group.PackVertices(false, nullptr));  // no relink: corners untouched
    EXPECT_EQ(group.vertices.count, 1u);
    EXPECT_EQ(Corners(group.facets[0]), (std::vector<int>{1, 0}));
  }
  {
    CGroup group(nullptr);
    EXPECT_TRUE(group.PackVertices(true, nullptr));
  }
  {
    // Nothing to merge: every vertex stays as it was, flags included (the
    // flags words serve packing as scratch on the way).
    CGroup group(nullptr);
    for (int i = 0; i < 50; ++i) PutVertex(group, static_cast<float>(i % 10), static_cast<float>(i / 10), 0);
    PutFacet(group, {49, 0, 7});
    TVector<int> newToOld;
    ASSERT_TRUE(group.PackVertices(true, &newToOld));
    ASSERT_EQ(group.vertices.count, 50u);
    ASSERT_EQ(newToOld.count, 50u);
    for (int i = 0; i < 50; ++i) {
      EXPECT_EQ(newToOld[size_t(i)], i);
      EXPECT_EQ(group.vertices[size_t(i)].flags, 0u) << i;
      EXPECT_EQ(group.vertices[size_t(i)].pos.x, static_cast<float>(i % 10)) << i;
    }
    EXPECT_EQ(Corners(group.facets[0]), (std::vector<int>{49, 0, 7}));
  }
  EXPECT_EQ(task.LiveBlocks(), 0u);
}

TEST(PackVertices, NaNAndSignedZeroKeepTheOrderConsistent) {
  FakeTask task;
  {
    CGroup group(nullptr);
    // A NaN sorting first must not open an empty run: the merges after it
    // still count, and the group is still compacted.
    PutVertex(group, -1, NAN, 0);
    PutVertex(group, 0.0f, 1, 1);
    PutVertex(group, -0.0f, 1, 1);
    PutVertex(group, NAN, NAN, NAN);
    PutVertex(group, 3, 3, 3);
    PutVertex(group, NAN, 0, 0);
    for (int i = 0; i < 40; ++i) PutVertex(group, static_cast<float>(i % 5), NAN, static_cast<float>(i % 3));
    TVector<int> newToOld;
    ASSERT_TRUE(group.PackVertices(true, &newToOld));
    EXPECT_EQ(group.vertices.count, 45u);  // only +0 and -0 merged
    EXPECT_EQ(newToOld.count, 45u);
    EXPECT_EQ(newToOld[2], 3);
    for (size_t i = 0; i < group.vertices.count; ++i) EXPECT_EQ(group.vertices[i].flags, 0u);
  }
  EXPECT_EQ(task.LiveBlocks(), 0u);
}

TEST(PackVertices, CancelAndRefusedMemory) {
  FakeTask task;
  MeshHost host(task);
  DueClock clock;
  InfoDlg indicator;
  {
    CGroup group(nullptr);
    for (int i = 0; i < 3000; ++i) PutVertex(group, static_cast<float>(i / 2), 0, 0);
    host.cancelAtStat = 2;  // the walk's second report, before sorted vertex 2999
    EXPECT_FALSE(group.PackVertices(true, nullptr));
    ASSERT_EQ(host.stats.size(), 2u);
    EXPECT_EQ(host.stats[0].title, "Linking vertices");
    EXPECT_EQ(host.stats[0].maximum, 3000);
  }
  EXPECT_EQ(task.LiveBlocks(), 0u);
  host.cancelAtStat = 0;
  for (size_t refused = 1; refused <= 5; ++refused) {
    CGroup group(nullptr);
    for (int i = 0; i < 40; ++i) PutVertex(group, static_cast<float>(i % 7), 0, 0);
    // hash table (where the sort works too), histogram, index map, remap,
    // the trimmed vertices
    task.FailAllocation(refused);
    TVector<int> newToOld;
    EXPECT_THROW(group.PackVertices(true, &newToOld), const char*);
  }
  EXPECT_EQ(task.LiveBlocks(), 0u);
}
