// Whole generations over in-test meshes: the rings of mode 0, the border
// polylines of modes 1 and 2, the selection list, failures and the
// non-finite cases.
#include <float.h>
#include <math.h>
#include <string.h>

#include <vector>

#include <gtest/gtest.h>

#include "plugin/PluginTask.h"
#include "plugin/SetupBlock.h"
#include "tests/wire/WireHost.h"
#include "ui/InfoDlg.h"
#include "wire/UnsharedOutput.h"
#include "wire/WireOutput.h"
#include "wire/WireTag.h"

namespace {

TestMesh Quad(float z = 0.0f) { return TestMesh{{{0, 0, z}, {1, 0, z}, {1, 1, z}, {0, 1, z}}, {{0, 1, 2, 3}}}; }

TestMesh Triangles(int count) {
  TestMesh mesh;
  for (int t = 0; t < count; ++t) {
    const float x = 10.0f * float(t);
    const int base = int(mesh.vertices.size());
    mesh.vertices.insert(mesh.vertices.end(), {{x, 0, 0}, {x + 1, 0, 0}, {x, 1, 0}});
    mesh.facets.push_back({base, base + 1, base + 2});
  }
  return mesh;
}

void ExpectAt(const AddedVertex& v, double x, double y, double z) {
  EXPECT_NEAR(v.position[0], x, 1e-6);
  EXPECT_NEAR(v.position[1], y, 1e-6);
  EXPECT_NEAR(v.position[2], z, 1e-6);
}

bool AllFinite(const WireHost& host) {
  for (const AddedVertex& v : host.vertices)
    for (int c = 0; c < 3; ++c)
      if (!isfinite(v.position[c]) || !isfinite(v.direction[c]) || !isfinite(v.positionB[c])) return false;
  return true;
}

class WireOutput : public ::testing::Test {
 protected:
  CWireTag* Tag(int32_t mode, float push, float scale, const char* list = nullptr) {
    CWireTag* tag = CWireTag::Get1Wire();
    tag->mode = mode;
    tag->push = push;
    tag->scale = scale;
    tag->useExclude = list != nullptr;
    if (list) tag->excludeText = list;
    return tag;
  }
  void TearDown() override {
    host.Command(Selector::kFinish);
    EXPECT_EQ(CWireTag::LiveCount(), 0u);
    EXPECT_EQ(host.task.LiveBlocks(), 0u);
  }
  WireHost host;
};

}  // namespace

TEST_F(WireOutput, QuadAndTriangleRingsOnTheirCorners) {
  TestMesh mesh = Quad();
  mesh.vertices.insert(mesh.vertices.end(), {{0, 0, 5}, {2, 0, 5}, {0, 2, 5}});
  mesh.facets.push_back({4, 5, 6});
  host.groups = {mesh};
  Tag(0, 0.0f, 1.0f);
  EXPECT_EQ(host.Generate(), 0);
  EXPECT_EQ(host.deletedGroups, std::vector<int>{1});

  const std::vector<Polyline> rings = host.Polylines();
  ASSERT_EQ(rings.size(), 2u);
  ASSERT_EQ(rings[0].points.size(), 5u);
  ASSERT_EQ(rings[1].points.size(), 4u);
  ASSERT_EQ(host.segments.size(), 7u);
  const double quadU[] = {0, 0.25, 0.5, 0.75, 1};
  const int quadCorner[] = {0, 1, 2, 3, 0};
  for (int i = 0; i < 5; ++i) {
    const Fxyz& c = mesh.vertices[size_t(quadCorner[i])];
    ExpectAt(rings[0].points[size_t(i)], c.x, c.y, c.z);
    EXPECT_FLOAT_EQ(float(rings[0].points[size_t(i)].u), float(quadU[i]));
    EXPECT_EQ(rings[0].points[size_t(i)].direction[2], 1.0);
  }
  EXPECT_FLOAT_EQ(float(rings[1].points[1].u), 1.0f / 3.0f);
  ExpectAt(rings[1].points[3], 0, 0, 5);
  EXPECT_EQ(rings[1].points[3].u, 1.0);
  // Segments follow the host's vertex numbers, one after each vertex but the first.
  EXPECT_EQ(host.segments[0], std::make_pair(rings[0].points[0].index, rings[0].points[1].index));
  EXPECT_EQ(host.segments[4], std::make_pair(rings[1].points[0].index, rings[1].points[1].index));
}

TEST_F(WireOutput, PushAndScaleMoveTheRing) {
  host.groups = {Quad()};
  CWireTag* tag = Tag(0, 2.0f, 0.0f);
  host.Generate();
  ASSERT_EQ(host.vertices.size(), 5u);
  for (const AddedVertex& v : host.vertices) ExpectAt(v, 0.5, 0.5, 2.0);  // collapsed on the moved centre
  EXPECT_EQ(host.segments.size(), 4u);

  host.vertices.clear();
  tag->push = -1.0f;
  tag->scale = -1.0f;
  host.Generate();
  ASSERT_EQ(host.vertices.size(), 5u);
  ExpectAt(host.vertices[0], 1, 1, -1);  // corner 0 mirrored through (0.5, 0.5, -1)
  ExpectAt(host.vertices[1], 0, 1, -1);
  EXPECT_EQ(host.vertices[0].direction[2], 1.0);  // the unit normal, not the push
}

TEST_F(WireOutput, VerticesGoThroughSetupMatricesThreeFourAndFive) {
  // Make the block usable first (as reading a group does), so the matrices
  // set below are the stored setup and not replaced by identity.
  theModelSetup.Init(nullptr);
  theModelSetup.setup.matrices[3][12] = 100.0;  // translation row
  theModelSetup.setup.matrices[4][0] = 2.0;
  theModelSetup.setup.matrices[5][13] = -7.0;
  int id = -1;
  ASSERT_TRUE(OutVer(Fxyz{1, 2, 3}, Fxyz{1, 0, 0}, 0.5f, &id));
  EXPECT_EQ(id, 500);
  ExpectAt(host.vertices[0], 101, 2, 3);
  EXPECT_EQ(host.vertices[0].direction[0], 2.0);
  EXPECT_EQ(host.vertices[0].positionB[1], -5.0);
  EXPECT_EQ(host.vertices[0].u, 0.5);

  theModelSetup.setup.matrices[3][0] = 1e300;  // finite, but the product overflows
  EXPECT_FALSE(OutVer(Fxyz{1e30f, 2, 3}, Fxyz{1, 0, 0}, 0.5f, &id));
  EXPECT_EQ(plug->result, kResultNotSupported);
  EXPECT_EQ(host.vertices.size(), 1u);
  EXPECT_EQ(id, 500);
}

TEST_F(WireOutput, TheIdentitySetupSendsTheNumbersItsProductsGive) {
  // The identity skips the products. With -0 in place of its zeros (the
  // translation row aside) a setup is no longer bitwise the identity and the
  // products are taken, which must give the same bits: signed zeros, the
  // smallest and largest floats.
  const Fxyz points[] = {{-0.0f, 0.0f, -0.0f}, {1e-45f, -3.5f, FLT_MAX}, {-FLT_MAX, 1e30f, -1e-38f}};
  const Fxyz directions[] = {{-0.0f, -0.0f, 1.0f}, {0.6f, -0.8f, 0.0f}, {0.0f, 0.0f, -1.0f}};
  std::vector<AddedVertex> sent[2];
  for (int products = 0; products < 2; ++products) {
    theModelSetup.Init(nullptr);
    theModelSetup.InitMatr();
    for (int m = 3; products && m <= 5; ++m)
      for (int i = 0; i < 12; ++i)
        if (i % 5 != 0) theModelSetup.setup.matrices[m][i] = -0.0;
    host.vertices.clear();
    for (int k = 0; k < 3; ++k) {
      int id = -1;
      ASSERT_TRUE(OutVer(points[k], directions[k], 0.25f * float(k), &id)) << products << " " << k;
    }
    sent[products] = host.vertices;
  }
  ASSERT_EQ(sent[0].size(), 3u);
  ASSERT_EQ(sent[1].size(), 3u);
  for (size_t k = 0; k < 3; ++k) {
    const AddedVertex& fast = sent[0][k];
    const AddedVertex& full = sent[1][k];
    EXPECT_EQ(memcmp(fast.position, full.position, sizeof fast.position), 0) << k;
    EXPECT_EQ(memcmp(fast.direction, full.direction, sizeof fast.direction), 0) << k;
    EXPECT_EQ(memcmp(fast.positionB, full.positionB, sizeof fast.positionB), 0) << k;
    EXPECT_EQ(fast.u, full.u) << k;
  }
  EXPECT_FALSE(signbit(sent[0][0].position[0]));  // -0 comes out +0, as x * 1 + ... + 0 does
  EXPECT_EQ(sent[0][1].position[2], double(FLT_MAX));

  // Non-finite numbers are refused on the fast road too.
  theModelSetup.InitMatr();
  int id = -1;
  EXPECT_FALSE(OutVer(Fxyz{INFINITY, 0, 0}, Fxyz{0, 0, 1}, 0.0f, &id));
  EXPECT_FALSE(OutVer(Fxyz{0, 0, 0}, Fxyz{0, NAN, 1}, 0.0f, &id));
  EXPECT_EQ(host.vertices.size(), 3u);
}

TEST_F(WireOutput, SelectionListPicksFacetsPerGroup) {
  host.groups = {Triangles(3), Triangles(2)};
  Tag(0, 0.0f, 1.0f, "1");
  host.Generate();
  ASSERT_EQ(host.Polylines().size(), 2u);  // the first facet of each group
  ExpectAt(host.vertices[0], 0, 0, 0);
  ExpectAt(host.vertices[4], 0, 0, 0);

  host.vertices.clear();
  host.deletedGroups.clear();
  CWireTag::FindLive(host.Slot())->excludeText = "";
  host.Generate();
  EXPECT_TRUE(host.vertices.empty());
  EXPECT_EQ(host.deletedGroups, (std::vector<int>{1, 2}));  // the groups are still emptied
}

TEST_F(WireOutput, CollinearFacetIsNotDisplaced) {
  host.groups = {TestMesh{{{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}, {{0, 1, 2}}}};
  Tag(0, 5.0f, 1.0f);
  EXPECT_EQ(host.Generate(), 0);
  ASSERT_EQ(host.vertices.size(), 4u);
  EXPECT_TRUE(AllFinite(host));
  ExpectAt(host.vertices[2], 2, 0, 0);
  EXPECT_EQ(host.vertices[2].direction[2], -1.0);

  host.vertices.clear();
  CWireTag::FindLive(host.Slot())->mode = 1;
  EXPECT_EQ(host.Generate(), 0);
  EXPECT_EQ(host.vertices.size(), 4u);
  EXPECT_TRUE(AllFinite(host));
  for (const AddedVertex& v : host.vertices) EXPECT_EQ(v.position[2], 0.0);
}

TEST_F(WireOutput, OpenQuadIsOneClosedPolylinePushedAlongItsNormal) {
  host.groups = {Quad()};
  Tag(1, 0.5f, 1.0f);
  host.Generate();
  const std::vector<Polyline> lines = host.Polylines();
  ASSERT_EQ(lines.size(), 1u);
  ASSERT_EQ(lines[0].points.size(), 5u);
  for (const AddedVertex& v : lines[0].points) {
    EXPECT_NEAR(v.position[2], 0.5, 1e-6);
    EXPECT_EQ(v.direction[2], -1.0);
  }
  ExpectAt(lines[0].points[4], lines[0].points[0].position[0], lines[0].points[0].position[1], 0.5);
  EXPECT_EQ(lines[0].points[4].u, 1.0);
  EXPECT_EQ(lines[0].points[2].u, 0.5);
}

TEST_F(WireOutput, TouchingFacetsShareTheirEdgeOnlyAfterPacking) {
  // Two triangles along the diagonal of the unit square, each with its own vertices.
  host.groups = {TestMesh{{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{0, 1, 2}, {3, 4, 5}}}};
  Tag(1, 0.0f, 1.0f);
  host.Generate();
  std::vector<Polyline> lines = host.Polylines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].points.size(), 4u);
  EXPECT_EQ(lines[1].points.size(), 4u);

  host.vertices.clear();
  host.segments.clear();
  CWireTag::FindLive(host.Slot())->mode = 2;
  host.Generate();
  lines = host.Polylines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].points.size(), 5u);  // the square's rim; the diagonal is not wired
}

TEST_F(WireOutput, PolylinesAreNumberedForTheSelectionList) {
  host.groups = {Triangles(2)};
  CWireTag* tag = Tag(1, 0.0f, 1.0f, "2");
  host.Generate();
  std::vector<Polyline> lines = host.Polylines();
  ASSERT_EQ(lines.size(), 1u);
  ASSERT_EQ(lines[0].points.size(), 4u);
  for (const AddedVertex& v : lines[0].points) EXPECT_GE(v.position[0], 10.0);

  host.vertices.clear();
  host.groups = {Triangles(5)};
  tag->excludeText = "*2";
  host.Generate();
  lines = host.Polylines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].points[0].position[0] >= 10.0 && lines[0].points[0].position[0] < 20.0, true);
  EXPECT_GE(lines[1].points[0].position[0], 30.0);
}

TEST_F(WireOutput, ScaleZeroCollapsesEachPolylineOnItsCentre) {
  host.groups = {Quad()};
  Tag(1, 0.0f, 0.0f);
  host.Generate();
  ASSERT_EQ(host.vertices.size(), 5u);
  for (const AddedVertex& v : host.vertices) ExpectAt(v, 0.5, 0.5, 0);  // the closing point counted once
  EXPECT_EQ(host.segments.size(), 4u);
}

TEST_F(WireOutput, CancellingNormalsNeverGiveNaN) {
  // Two triangles meeting at vertex 0, facing opposite ways: the rim passes
  // through vertex 0 from one to the other, where the normals cancel.
  host.groups = {TestMesh{{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {-1, 0, 0}, {-1, -1, 0}}, {{0, 1, 2}, {0, 4, 3}}}};
  Tag(1, 1.0f, 1.0f);
  EXPECT_EQ(host.Generate(), 0);
  ASSERT_FALSE(host.vertices.empty());
  EXPECT_TRUE(AllFinite(host));
  for (const AddedVertex& v : host.vertices) EXPECT_NEAR(fabs(v.position[2]), 1.0, 1e-6);
}

TEST_F(WireOutput, FailingGroupIsSkippedAndOtherModesAddNothing) {
  host.groups = {Quad(), Quad(1), Quad(2)};
  host.failingGroups = {2};
  Tag(0, 0.0f, 1.0f);
  EXPECT_EQ(host.Generate(), 0);
  EXPECT_EQ(host.deletedGroups, (std::vector<int>{1, 3}));
  ASSERT_EQ(host.vertices.size(), 10u);
  EXPECT_EQ(host.vertices[5].position[2], 2.0);

  host.vertices.clear();
  host.deletedGroups.clear();
  host.failingGroups.clear();
  CWireTag::FindLive(host.Slot())->mode = 7;
  EXPECT_EQ(host.Generate(), 0);
  EXPECT_EQ(host.deletedGroups, (std::vector<int>{1, 2, 3}));
  EXPECT_TRUE(host.vertices.empty());
}

TEST_F(WireOutput, RefusedVertexStopsTheGeneration) {
  host.groups = {Quad(), Quad(1)};
  Tag(1, 0.0f, 1.0f);
  host.addVertexAnswer = 21;
  EXPECT_EQ(host.Generate(), 21);
  EXPECT_EQ(host.deletedGroups, std::vector<int>{1});
  EXPECT_EQ(host.task.Count(Request::kAddFacet), 0u);
}

TEST_F(WireOutput, LoneEdgeIsSentUndisplacedAndJoinedChainsAsOnePolyline) {
  CGroup group(nullptr);
  const Fxyz positions[] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {5, 1, 0}, {5, 0, 0}, {7, 0, 0}};
  for (const Fxyz& p : positions) group.vertices.ElemNew()->pos = p;
  const int corners[][3] = {{0, 1, 2}, {5, 6, 4}};
  for (const auto& c : corners) {
    CFacet* facet = group.facets.ElemNew();
    facet->count = 3;
    for (int k = 0; k < 3; ++k) facet->vert[k] = c[k];
  }
  CEdge links[] = {{0, {0, -1}, {0, 1}}, {0, {0, -1}, {1, 2}}, {0, {1, -1}, {5, 6}},
                   {0, {0, -1}, {2, 3}}, {0, {0, -1}, {3, 0}}};
  TVector<CEdge*> edges;
  for (int i : {0, 1, 2}) *edges.ElemNew() = &links[i];

  CWireTag tag = *Tag(1, 1.0f, 2.0f);
  ASSERT_TRUE(WireChains(tag, group, edges));
  std::vector<Polyline> lines = host.Polylines();
  ASSERT_EQ(lines.size(), 2u);
  ASSERT_EQ(lines[0].points.size(), 3u);
  ExpectAt(lines[0].points[0], -2.0 / 3.0, -1.0 / 3.0, 1.0);  // pushed, then scaled about (2/3, 1/3, 1)
  ASSERT_EQ(lines[1].points.size(), 2u);
  ExpectAt(lines[1].points[0], 4, 0, 0);  // not pushed, scaled about its midpoint
  ExpectAt(lines[1].points[1], 8, 0, 0);
  EXPECT_EQ(lines[1].points[1].u, 1.0);

  // A chain that starts where the one before it ends continues its polyline,
  // and counts once for the selection list.
  host.vertices.clear();
  host.segments.clear();
  edges.SetCount(0);
  for (int i : {0, 1, 3, 4}) *edges.ElemNew() = &links[i];
  tag.scale = 1.0f;
  tag.useExclude = 1;
  tag.excludeText = "1";
  ASSERT_TRUE(WireChains(tag, group, edges));
  lines = host.Polylines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].points.size(), 5u);
}

TEST_F(WireOutput, MemoryFailureAnywhereReleasesEverything) {
  host.groups = {Triangles(2), Quad()};
  Tag(2, 1.0f, 0.5f, "1-9");
  // Fail the n-th allocation of a generation, for every n until one succeeds.
  size_t failures = 0;
  for (size_t n = 1;; ++n) {
    host.task.FailAllocation(n);
    bool thrown = false;
    try {
      host.Generate();
    } catch (const char* text) {
      EXPECT_STREQ(text, "mem");
      thrown = true;
      ++failures;
    }
    EXPECT_EQ(InfoDlg::mInstance, nullptr) << n;
    EXPECT_EQ(host.task.LiveBlocks(), 0u) << n;
    host.task.FailAllocation(SIZE_MAX / 2);
    if (!thrown) break;
    ASSERT_LT(n, 1000u);
  }
  EXPECT_GT(failures, 5u);
}

// A wire that would carry a non-finite number is left out whole; the other
// wires of the group and the groups after it are sent, and 'GENM' succeeds.
TEST_F(WireOutput, WiresWithNonFiniteNumbersAreLeftOutAndTheRestGoesOn) {
  // A quad whose centre overflows float arithmetic, beside an ordinary triangle.
  const TestMesh huge{{{3.0e38f, 0, 0}, {3.4e38f, 0, 0}, {3.4e38f, 3.0e38f, 0}, {3.0e38f, 3.0e38f, 0},
                       {0, 0, 0}, {1, 0, 0}, {0, 1, 0}},
                      {{0, 1, 2, 3}, {4, 5, 6}}};
  host.groups = {Quad(), huge, Quad(2)};
  CWireTag* tag = Tag(0, 1.0f, 0.5f);
  for (int32_t mode : {0, 1, 2}) {
    tag->mode = mode;
    host.vertices.clear();
    host.segments.clear();
    host.deletedGroups.clear();
    EXPECT_EQ(host.Generate(), 0) << mode;
    EXPECT_EQ(plug->result, 0) << mode;
    EXPECT_EQ(host.deletedGroups, (std::vector<int>{1, 2, 3})) << mode;
    EXPECT_TRUE(AllFinite(host)) << mode;
    // Both quads' rings and the triangle's; the huge quad's is left out.
    const std::vector<Polyline> wires = host.Polylines();
    ASSERT_EQ(wires.size(), 3u) << mode;
    EXPECT_EQ(wires[0].points.size(), 5u) << mode;
    EXPECT_EQ(wires[1].points.size(), 4u) << mode;
    EXPECT_NEAR(wires[2].points[0].position[2], 3.0, 1e-6) << mode;  // Quad(2) pushed by 1
    EXPECT_EQ(host.segments.size(), 4u + 3u + 4u) << mode;
  }
}

TEST_F(WireOutput, ASingularSetupSendsNothingAndSucceeds) {
  theModelSetup.Init(nullptr);
  theModelSetup.setup.matrices[3][10] = 0.0;  // flattens z: no inverse
  host.groups = {Quad(), Quad(2)};
  CWireTag* tag = Tag(0, 0.25f, 0.5f);
  for (int32_t mode : {0, 1, 2}) {
    tag->mode = mode;
    host.deletedGroups.clear();
    EXPECT_EQ(host.Generate(), 0) << mode;
    EXPECT_EQ(host.deletedGroups, (std::vector<int>{1, 2})) << mode;
    EXPECT_TRUE(host.vertices.empty()) << mode;
    EXPECT_TRUE(host.segments.empty()) << mode;
  }
}

TEST_F(WireOutput, EachGenerationUsesTheSetupOfItsOwnTime) {
  // The matrices are copied once per output pass: a setup changed between two
  // generations must reach the second one's vertices, in every mode.
  host.groups = {Quad()};
  CWireTag* tag = Tag(0, 0.0f, 1.0f);
  for (int32_t mode : {0, 1, 2}) {
    tag->mode = mode;
    theModelSetup.Init(nullptr);
    theModelSetup.InitMatr();
    host.vertices.clear();
    ASSERT_EQ(host.Generate(), 0) << mode;
    ASSERT_FALSE(host.vertices.empty()) << mode;
    const AddedVertex before = host.vertices[0];

    // Reading goes through the inverse of matrix 3, so the point comes back
    // where it was while the copy through matrix 5 keeps the shift.
    theModelSetup.setup.matrices[3][12] = 10.0;
    theModelSetup.setup.matrices[4][13] = 3.0;
    theModelSetup.setup.matrices[5][14] = -4.0;
    host.vertices.clear();
    ASSERT_EQ(host.Generate(), 0) << mode;
    ASSERT_FALSE(host.vertices.empty()) << mode;
    const AddedVertex& after = host.vertices[0];
    EXPECT_EQ(after.position[0], before.position[0]) << mode;
    EXPECT_EQ(after.direction[1], before.direction[1] + 3.0) << mode;
    EXPECT_EQ(after.positionB[0], before.positionB[0] - 10.0) << mode;
    EXPECT_EQ(after.positionB[2], before.positionB[2] - 4.0) << mode;
    EXPECT_EQ(after.u, before.u) << mode;
  }
  theModelSetup.InitMatr();
}
