// The wires the host received, read in place for the writers: the same
// values and the same file as the copy WiresOf makes, a vertex the host keeps
// in full (a double that is not a float) included, and nothing for a group
// the latest run did not wire.
#include <gtest/gtest.h>
#include <string.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "cli/WireGroups.h"
#include "cli/io/PreviewScene.h"
#include "cli/io/WireWriters.h"

namespace {

host::CHostVertex Sent(double x, double y, double z, double u) {
  host::CHostVertex vertex;
  vertex.position = host::CVec3{x, y, z};
  vertex.vectorB = vertex.position;
  vertex.uvw = host::CVec3{u, 0, 0};
  return vertex;
}

// Two rings of three corners, the second with one coordinate that is no float.
host::CReceivedGeometry TwoRings() {
  host::CReceivedGeometry received;
  received.deleted = true;
  const double corners[3][3] = {{0, 0, 0}, {1, 0, 0.5f}, {0, 1, -0.25f}};
  for (int ring = 0; ring < 2; ++ring) {
    const int32_t first = int32_t(received.vertices.size());
    for (int k = 0; k <= 3; ++k) {
      const double* at = corners[k % 3];
      received.vertices.Add(Sent(at[0] + ring, at[1], ring == 1 && k == 1 ? 0.1 : at[2], float(k) / 3.0f), first + k);
      if (k) received.facets.push_back(host::CReceivedFacet{0, first + k - 1, first + k});
    }
  }
  return received;
}

TEST(ReceivedWires, ReadTheHostsGeometryAsTheCopyHoldsIt) {
  const host::CReceivedGeometry received = TwoRings();
  ASSERT_EQ(received.vertices.FullCount(), 1u);
  const cli::CReceivedWires view("rings", received);
  const cliio::CWireGroup copy = cli::WiresOf("rings", received);
  ASSERT_EQ(view.VertexCount(), 8u);
  ASSERT_EQ(view.SegmentCount(), 6u);
  ASSERT_EQ(copy.vertices.size(), 8u);
  for (size_t i = 0; i < 8; ++i) {
    const cliio::CWireVertex vertex = view.Vertex(i);
    EXPECT_EQ(memcmp(&vertex, &copy.vertices[i], sizeof vertex), 0) << i;
    EXPECT_EQ(vertex.u, received.vertices.U(i));
  }
  EXPECT_EQ(view.Vertex(5).position[2], 0.1);
  cliio::CWireSegment segments[6];
  view.Segments(0, 6, segments);
  for (size_t s = 0; s < 6; ++s) {
    EXPECT_EQ(segments[s].a, received.facets[s].first);
    EXPECT_EQ(segments[s].b, received.facets[s].second);
  }
  for (cliio::WireFormat format : {cliio::WireFormat::kObj, cliio::WireFormat::kPly, cliio::WireFormat::kGlb}) {
    std::string fromView, fromCopy, detail;
    cliio::CStringSink sink(&fromView);
    ASSERT_TRUE(cliio::WriteWires(cliio::CWireSources{&view}, format, sink, &detail)) << detail;
    ASSERT_TRUE(cliio::SerializeWires({copy}, format, &fromCopy, &detail)) << detail;
    EXPECT_EQ(fromView, fromCopy);
  }
}

TEST(ReceivedWires, RunsReadInBulkMatchVertexByVertexAcrossBlocks) {
  // Enough compact vertices to fill more than two of the store's blocks, read
  // in runs that straddle block ends; then once more with one kept in full.
  host::CReceivedGeometry received;
  received.deleted = true;
  for (int32_t i = 0; i < 20000; ++i)
    received.vertices.Add(Sent(float(i) * 0.5f, -float(i), 1.0f / float(i + 1), float(i % 7) / 7.0f), i);
  for (int pass = 0; pass < 2; ++pass) {
    if (pass == 1) received.vertices.Add(Sent(0.1, 2, 3, 0.3), 20000);
    ASSERT_EQ(received.vertices.FullCount(), size_t(pass));
    const cli::CReceivedWires view("many", received);
    for (size_t first : {size_t(0), size_t(8000), size_t(16380), view.VertexCount() - 5}) {
      const size_t count = std::min<size_t>(500, view.VertexCount() - first);
      std::vector<cliio::CWireVertex> run(count);
      view.Vertices(first, count, run.data());
      for (size_t k = 0; k < count; ++k) {
        const cliio::CWireVertex one = view.Vertex(first + k);
        EXPECT_EQ(memcmp(&one, &run[k], sizeof one), 0) << pass << " " << first + k;
      }
    }
  }
  EXPECT_EQ(cli::WiresOf("many", received).vertices.back().position[0], 0.1);
}

// The preview reads compact vertices and the segments in place, a block's
// run at a time: the same positions and ends, so the same depth order to the
// byte, as the copy gives; with a vertex kept in full there are no runs of
// points and it reads them copied.
TEST(ReceivedWires, ThePreviewReadsTheWiresInPlaceAsTheCopyHoldsThem) {
  host::CReceivedGeometry received;
  received.deleted = true;
  for (int32_t i = 0; i < 20000; ++i) {
    const float turn = float(i) * 0.01f;
    received.vertices.Add(Sent(std::cos(turn) * 3.0f, float(i) * 1e-3f, std::sin(turn) / 3.0f, 0.5f), i);
    if (i) received.facets.push_back(host::CReceivedFacet{0, i - 1, i});
  }
  for (int pass = 0; pass < 2; ++pass) {
    if (pass == 1) received.vertices.Add(Sent(0.1, 2, 3, 0.3), 20000);
    const cli::CReceivedWires view("many", received);
    size_t count = 0;
    const float* run = view.SingleRun(8000, 500, &count);
    ASSERT_EQ(run == nullptr, pass == 1);
    if (run) {
      EXPECT_EQ(count, 192u);  // up to the end of the first block
      for (size_t k = 0; k < count; ++k)
        for (int axis = 0; axis < 3; ++axis) ASSERT_EQ(double(run[4 * k + axis]), view.Vertex(8000 + k).position[axis]);
    }
    size_t stride = 0;
    const int32_t* ends = view.SegmentRun(8100, 300, &count, &stride);
    ASSERT_NE(ends, nullptr);
    EXPECT_EQ(count, 92u);
    for (size_t k = 0; k < count; ++k, ends += stride) {
      ASSERT_EQ(ends[0], received.facets[8100 + k].first);
      ASSERT_EQ(ends[1], received.facets[8100 + k].second);
    }
    const cliio::CWireGroup copy = cli::WiresOf("many", received);
    cliio::CViewFit fit(cliio::PreviewView::kIso);
    cliio::IncludeWires(cliio::CWireSources{&view}, &fit);
    fit.Settle(800, 600, 30);
    cliio::CViewFit fitOfCopy(cliio::PreviewView::kIso);
    for (const cliio::CWireVertex& vertex : copy.vertices) fitOfCopy.Include(vertex.position, true);
    fitOfCopy.Settle(800, 600, 30);
    const cliio::CDepthOrder inPlace = cliio::SegmentsFarToNear(cliio::CWireSources{&view}, fit);
    const cliio::CDepthOrder copied = cliio::SegmentsFarToNear(std::vector<cliio::CWireGroup>{copy}, fitOfCopy);
    ASSERT_EQ(inPlace.size(), received.facets.size());
    ASSERT_EQ(copied.size(), inPlace.size());
    EXPECT_EQ(memcmp(inPlace.data(), copied.data(), inPlace.size() * sizeof inPlace[0]), 0) << pass;
  }
}

TEST(ReceivedWires, AGroupTheLatestRunDidNotWireHasNone) {
  host::CReceivedGeometry received = TwoRings();
  received.deleted = false;
  const cli::CReceivedWires view("kept", received);
  EXPECT_EQ(view.VertexCount(), 0u);
  EXPECT_EQ(view.SegmentCount(), 0u);
  EXPECT_TRUE(cli::WiresOf("kept", received).vertices.empty());
  // A segment end a later 'DELG' dropped (-1) is refused before writing.
  received.deleted = true;
  received.facets.push_back(host::CReceivedFacet{0, 7, -1});
  std::string bytes, detail;
  cliio::CStringSink sink(&bytes);
  EXPECT_FALSE(cliio::WriteWires(cliio::CWireSources{&view}, cliio::WireFormat::kObj, sink, &detail));
  EXPECT_EQ(detail, "group 1 (kept) segment 6 names a vertex outside its 8");
}

}  // namespace
