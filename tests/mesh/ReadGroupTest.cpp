// Reading a group: transforms, attribute maps, facet filters and splits, the
// UV frame quad, progress and cancellation, and hostile host answers.
#include <string.h>

#include <gtest/gtest.h>

#include "mesh/Group.h"
#include "plugin/PluginTask.h"
#include "plugin/SetupBlock.h"
#include "tests/mesh/MeshHost.h"
#include "tests/support/FakeTask.h"
#include "ui/InfoDlg.h"

namespace {

// Setup matrices for one test; identity again afterwards.
struct ScopedSetup {
  ScopedSetup() {
    theModelSetup.Init(nullptr);
    theModelSetup.InitMatr();
  }
  ~ScopedSetup() { theModelSetup.InitMatr(); }
  double* Matrix(int k) { return theModelSetup.setup.matrices[k]; }
};

std::vector<int> Corners(const CFacet& f) { return std::vector<int>(f.vert, f.vert + f.count); }

}  // namespace

TEST(ReadGroup, PositionsAndVectorsComeIntoModelSpaceInDouble) {
  FakeTask task;
  ScopedSetup setup;
  double* pos = setup.Matrix(3);
  pos[0] = pos[5] = pos[10] = 2.0;  // scale 2, then move x by 1e8
  pos[12] = 1e8;
  setup.Matrix(4)[10] = 4.0;
  setup.Matrix(5)[13] = 10.0;
  MeshHost host(task);
  host.AddVertex(1e8 + 1.0, 4, 2);
  HostVertex& v = host.vertices[0];
  v.vectorA[2] = 8;
  v.vectorB[0] = 1, v.vectorB[1] = 11;
  v.uvw[0] = 0.25, v.uvw[1] = 3;
  const uint8_t argb[4] = {0xFF, 0xFF, 0x80, 0x00};
  memcpy(&v.color, argb, 4);
  {
    const HostModelGetGroupRec rec = host.GroupRecord(kHasVectorA | kHasUV | kHasColor | kHasVectorB);
    CGroup group(&rec);
    ASSERT_TRUE(group.ReadVertices());
    ASSERT_EQ(group.vertices.count, 1u);
    // (1e8 + 1 - 1e8) / 2: a float computation would lose the 1.
    EXPECT_FLOAT_EQ(group.vertices[0].pos.x, 0.5f);
    EXPECT_FLOAT_EQ(group.vertices[0].pos.y, 2.0f);
    EXPECT_FLOAT_EQ(group.vertices[0].pos.z, 1.0f);
    ASSERT_EQ(group.posMaps.count, 4u);
    EXPECT_FLOAT_EQ(group.posMaps[kMapVectorA]->points[0].z, 2.0f);
    EXPECT_FLOAT_EQ(group.posMaps[kMapUV]->points[0].y, 3.0f);
    EXPECT_FLOAT_EQ(group.posMaps[kMapColor]->points[0].x, 1.0f);
    EXPECT_FLOAT_EQ(group.posMaps[kMapColor]->points[0].y, 128.0f / 255.0f);
    EXPECT_FLOAT_EQ(group.posMaps[kMapVectorB]->points[0].y, 1.0f);
  }
  EXPECT_EQ(task.LiveBlocks(), 0u);
}

// The attribute maps serve only the UV frame test: a group with normals,
// colours and vectors but no UVs (a scan) keeps its vertices alone, not a
// point per vertex for each attribute besides.
TEST(ReadGroup, WithoutUVsTheReadHoldsOnlyTheVertices) {
  FakeTask task;
  MeshHost host(task);
  const int n = 600;
  for (int i = 0; i < n; ++i) {
    host.AddVertex(i, 2 * i, 0);
    host.vertices.back().vectorA[2] = 1;
    host.vertices.back().vectorB[0] = 1;
  }
  for (int i = 1; i + 2 <= n; i += 3) host.AddFacet({i, i + 1, i + 2});
  {
    const HostModelGetGroupRec rec = host.GroupRecord(kHasVectorA | kHasColor | kHasVectorB);
    CGroup group(&rec);
    const size_t before = task.LiveBytes();
    ASSERT_TRUE(group.ReadVertices());
    ASSERT_EQ(group.vertices.count, size_t(n));
    EXPECT_FLOAT_EQ(group.vertices[n - 1].pos.y, 2.0f * (n - 1));
    EXPECT_LE(task.PeakBytes() - before, n * sizeof(CVertex) + 256);
    ASSERT_TRUE(group.ReadFacets(kSkipPoints | kSkipLines));
    EXPECT_EQ(group.facets.count, size_t(n / 3));
    EXPECT_FALSE(group.hasUVFrame);
  }
  EXPECT_EQ(task.LiveBlocks(), 0u);
}

TEST(ReadGroup, FiltersAndSplitsFacets) {
  FakeTask task;
  MeshHost host(task);
  for (int i = 0; i < 14; ++i) host.AddVertex(i, i * i, 0);
  host.AddFacet({1});
  host.AddFacet({1, 2});
  host.AddFacet({1, 2, 3}, 0x01020304u);
  host.AddFacet({11, 12, 13, 14}, 0x05060708u);
  const HostModelGetGroupRec rec = host.GroupRecord();
  {
    CGroup group(&rec);
    ASSERT_TRUE(group.ReadVertices());
    ASSERT_TRUE(group.ReadFacets(kSkipPoints | kSkipLines));
    ASSERT_EQ(group.facets.count, 2u);
    EXPECT_EQ(Corners(group.facets[0]), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(group.facets[0].color, 0x01020304u);
    EXPECT_EQ(Corners(group.facets[1]), (std::vector<int>{10, 11, 12, 13}));
  }
  {
    CGroup group(&rec);
    ASSERT_TRUE(group.ReadVertices());
    ASSERT_TRUE(group.ReadFacets(kSkipPoints | kSkipLines | kSkipTriangles | kSplitQuads));
    ASSERT_EQ(group.facets.count, 2u);
    EXPECT_EQ(Corners(group.facets[0]), (std::vector<int>{10, 11, 12}));
    EXPECT_EQ(Corners(group.facets[1]), (std::vector<int>{10, 12, 13}));
    EXPECT_EQ(group.facets[1].color, 0x05060708u);
  }
  {
    CGroup group(&rec);
    ASSERT_TRUE(group.ReadVertices());
    ASSERT_TRUE(group.ReadFacets(kSkipPoints | kSkipLines | kSkipTriangles | kSplitQuads | kSplitAltDiagonal));
    ASSERT_EQ(group.facets.count, 2u);
    EXPECT_EQ(Corners(group.facets[0]), (std::vector<int>{10, 11, 13}));
    EXPECT_EQ(Corners(group.facets[1]), (std::vector<int>{11, 12, 13}));
  }
  EXPECT_EQ(task.LiveBlocks(), 0u);
}

TEST(ReadGroup, UVFrameQuadIsRecordedOnlyOnAFlatUVMap) {
  FakeTask task;
  MeshHost host(task);
  for (int i = 0; i < 4; ++i) {
    host.AddVertex(1, 2, 3);
    host.vertices.back().uvw[0] = 0.5;
    host.vertices.back().uvw[1] = 0.5;
  }
  host.AddVertex(5, 5, 5);
  host.vertices.back().uvw[0] = 0.5;
  host.vertices.back().uvw[1] = 0.5;
  host.AddFacet({1, 2, 3, 4});
  host.AddFacet({1, 2, 5});
  {
    const HostModelGetGroupRec rec = host.GroupRecord(kHasUV);
    CGroup group(&rec);
    ASSERT_TRUE(group.ReadVertices());
    ASSERT_TRUE(group.ReadFacets(kSkipPoints | kSkipLines));
    EXPECT_TRUE(group.hasUVFrame);
    ASSERT_EQ(group.facets.count, 1u);
    EXPECT_EQ(group.facets[0].count, 3);
    EXPECT_FLOAT_EQ(group.uvFrame[2].pos.y, 2.0f);
    EXPECT_FLOAT_EQ(group.uvFrame[2].uv.x, 0.5f);
    EXPECT_FLOAT_EQ(group.uvFrame[2].vec.z, 1.0f);  // no vector map
  }
  host.vertices[4].uvw[1] = 0.75;  // the UV map now spans a range in v
  {
    const HostModelGetGroupRec rec = host.GroupRecord(kHasUV);
    CGroup group(&rec);
    ASSERT_TRUE(group.ReadVertices());
    ASSERT_TRUE(group.ReadFacets(kSkipPoints | kSkipLines));
    EXPECT_FALSE(group.hasUVFrame);
    EXPECT_EQ(group.facets.count, 2u);
  }
  host.vertices[4].uvw[1] = 0.5;
  {
    const HostModelGetGroupRec rec = host.GroupRecord(0);  // no UV map
    CGroup group(&rec);
    ASSERT_TRUE(group.ReadVertices());
    ASSERT_TRUE(group.ReadFacets(kSkipPoints | kSkipLines));
    EXPECT_FALSE(group.hasUVFrame);
    EXPECT_EQ(group.facets.count, 2u);
  }
  EXPECT_EQ(task.LiveBlocks(), 0u);
}

TEST(ReadGroup, HostileFacetsAreDroppedAndNegativeCountsReadNothing) {
  FakeTask task;
  MeshHost host(task);
  for (int i = 0; i < 4; ++i) host.AddVertex(i, 0, i);
  host.AddRawFacet(5, 1, 2, 3, 4);
  host.AddRawFacet(0, 1, 2, 3, 4);
  host.AddRawFacet(-3, 1, 2, 3, 4);
  host.AddRawFacet(3, 1, 5, 2, 0);    // corner past the vertices
  host.AddRawFacet(3, 0, 1, 2, 0);    // corner 0
  host.AddRawFacet(4, 1, 2, 3, -7);   // negative corner on a quad
  host.AddRawFacet(2, 4, 1, 0, 0);    // a line; kept without filters
  host.AddRawFacet(3, 2, 3, 4, 999);  // the unused fourth corner does not matter
  {
    const HostModelGetGroupRec rec = host.GroupRecord(kHasUV);
    CGroup group(&rec);
    ASSERT_TRUE(group.ReadVertices());
    ASSERT_TRUE(group.ReadFacets(0));
    ASSERT_EQ(group.facets.count, 2u);
    EXPECT_EQ(Corners(group.facets[0]), (std::vector<int>{3, 0}));
    EXPECT_EQ(Corners(group.facets[1]), (std::vector<int>{1, 2, 3}));
  }
  {
    HostModelGetGroupRec rec = host.GroupRecord();
    rec.vertexCount = -5;
    rec.facetCount = -1;
    CGroup group(&rec);
    EXPECT_TRUE(group.ReadVertices());
    EXPECT_TRUE(group.ReadFacets(0));
    EXPECT_EQ(group.vertices.count + group.facets.count, 0u);
    EXPECT_EQ(host.vertexRequests, 4);
  }
  {
    // Facets read without their vertices can name none of them.
    const HostModelGetGroupRec rec = host.GroupRecord();
    CGroup group(&rec);
    EXPECT_TRUE(group.ReadFacets(0));
    EXPECT_EQ(group.facets.count, 0u);
  }
  EXPECT_EQ(task.LiveBlocks(), 0u);
}

TEST(ReadGroup, ProgressStepsAndCancellation) {
  FakeTask task;
  DueClock clock;
  InfoDlg indicator;
  MeshHost host(task);
  for (int i = 0; i < 450; ++i) host.AddVertex(i, 0, 0);
  for (int i = 0; i < 250; ++i) host.AddFacet({i + 1, i + 2, i + 3});
  const HostModelGetGroupRec rec = host.GroupRecord();
  {
    CGroup group(&rec);
    ASSERT_TRUE(group.ReadVertices());
    ASSERT_EQ(host.stats.size(), 2u);
    EXPECT_EQ(host.stats[0].title, "Reading vertices");
    EXPECT_EQ(host.stats[0].maximum, 450);
    EXPECT_EQ(host.stats[1].reported, 200);
    EXPECT_EQ(indicator.Total(), 400);

    host.stats.clear();
    ASSERT_TRUE(group.ReadFacets(kSkipPoints | kSkipLines));
    EXPECT_EQ(host.stats.size(), 2u);
    EXPECT_EQ(host.stats[0].title, "Reading facets");
    EXPECT_EQ(group.facets.count, 250u);
  }
  host.stats.clear();
  host.cancelAtStat = 2;
  {
    CGroup group(&rec);
    EXPECT_FALSE(group.ReadVertices());
    EXPECT_EQ(group.vertices.count, 399u);  // stopped before vertex 399
    EXPECT_EQ(plug->status, 4);
  }
  host.cancelAtStat = 0;
  host.failVertexAt = host.vertexRequests + 3;
  {
    CGroup group(&rec);
    EXPECT_FALSE(group.ReadVertices());
    EXPECT_EQ(group.vertices.count, 2u);
    EXPECT_EQ(plug->result, 9);
  }
  EXPECT_EQ(task.LiveBlocks(), 0u);
}
