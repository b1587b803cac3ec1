// Writers reading wires through a source held in another form than
// CWireGroup: the same bytes in every format, and checks and counts that see
// every run of vertices and segments.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "cli/io/WireWriters.h"

namespace {

using cliio::CWireGroup;
using cliio::CWireSegment;
using cliio::CWireVertex;
using cliio::WireFormat;

// Rings of three corners computed from their index, never stored: the
// vertices of ring r are 4r .. 4r + 3, the last back at the first's place.
class CComputedRings final : public cliio::CWireSource {
 public:
  CComputedRings(std::string name, size_t rings) : mName(std::move(name)), mRings(rings) {}
  const std::string& Name() const override { return mName; }
  size_t VertexCount() const override { return 4 * mRings; }
  size_t SegmentCount() const override { return 3 * mRings; }
  CWireVertex Vertex(size_t index) const override {
    const size_t ring = index / 4, corner = index % 4 % 3;
    CWireVertex vertex;
    vertex.position[0] = float(ring) * 0.1f + float(corner);
    vertex.position[1] = float(corner * corner) / 7.0f;
    vertex.position[2] = -float(ring) / 3.0f;
    vertex.u = float(index % 4) / 3.0f;
    if (nanAt == index) vertex.u = NAN;
    return vertex;
  }
  void Vertices(size_t first, size_t count, CWireVertex* out) const override {
    for (size_t k = 0; k < count; ++k) out[k] = Vertex(first + k);
  }
  void Segments(size_t first, size_t count, CWireSegment* out) const override {
    for (size_t k = 0; k < count; ++k) {
      const int32_t ring = int32_t((first + k) / 3), side = int32_t((first + k) % 3);
      out[k] = CWireSegment{4 * ring + side, 4 * ring + side + 1};
    }
  }
  // The copy a CWireGroup would hold.
  CWireGroup Stored() const {
    CWireGroup group{mName, std::vector<CWireVertex>(VertexCount()), std::vector<CWireSegment>(SegmentCount())};
    Vertices(0, VertexCount(), group.vertices.data());
    Segments(0, SegmentCount(), group.segments.data());
    return group;
  }
  size_t nanAt = SIZE_MAX;

 private:
  std::string mName;
  size_t mRings;
};

TEST(WireSource, WritesTheSameBytesAsTheStoredGroupsInEveryFormat) {
  // More than one run of vertices and segments in the first group.
  const CComputedRings first("first", 700), second("second", 3);
  const std::vector<CWireGroup> stored = {first.Stored(), second.Stored()};
  for (WireFormat format : {WireFormat::kObj, WireFormat::kPly, WireFormat::kGltf, WireFormat::kGlb}) {
    std::string expected, got, detail;
    ASSERT_TRUE(cliio::SerializeWires(stored, format, &expected, &detail)) << detail;
    cliio::CStringSink sink(&got);
    ASSERT_TRUE(cliio::WriteWires(cliio::CWireSources{&first, &second}, format, sink, &detail)) << detail;
    EXPECT_EQ(got, expected) << int(format);
  }
  // Closed rings are closed: one `v` for three corners, four `vt` (u 1 at the end).
  std::string text, detail;
  ASSERT_TRUE(cliio::SerializeWires({first.Stored()}, WireFormat::kObj, &text, &detail)) << detail;
  size_t vLines = 0;
  for (size_t at = text.find("\nv "); at != std::string::npos; at = text.find("\nv ", at + 1)) ++vLines;
  EXPECT_EQ(vLines, 3u * 700u);
  EXPECT_NE(text.find("\nl 2100/2799 2098/2800\n"), std::string::npos) << "the last ring closes on its first vertex";
}

TEST(WireSource, ChecksAndCountsReachEveryRun) {
  CComputedRings rings("rings", 1000);
  EXPECT_EQ(cliio::CountPolylines(rings), 1000u);
  EXPECT_EQ(cliio::CountPolylines(rings), cliio::CountPolylines(rings.Stored().segments));
  std::string detail;
  EXPECT_TRUE(cliio::CheckWireGroups(cliio::CWireSources{&rings}, &detail)) << detail;
  rings.nanAt = 3001;  // in the sixth run of vertices
  EXPECT_FALSE(cliio::CheckWireGroups(cliio::CWireSources{&rings}, &detail));
  EXPECT_EQ(detail, "group 1 (rings) vertex 3001 is not finite");
  std::string bytes;
  cliio::CStringSink sink(&bytes);
  EXPECT_FALSE(cliio::WriteWires(cliio::CWireSources{&rings}, WireFormat::kPly, sink, &detail));
  EXPECT_EQ(bytes, "") << "nothing reaches the sink before the check";
}

}  // namespace
