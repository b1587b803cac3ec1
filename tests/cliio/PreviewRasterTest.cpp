#include "cli/io/PreviewRaster.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cli/io/PreviewScene.h"

namespace {

// A white picture with a clip rectangle inside it and a border outside it
// that drawing must never touch.
class CCanvas {
 public:
  static constexpr int kWidth = 200, kHeight = 120, kBorder = 8;
  CCanvas() : pixels(size_t(kStride) * kHeight, 0x5A) {
    raster.Fill({1, 1, 1});
  }
  uint32_t At(int x, int y) const {
    uint32_t pixel;
    std::memcpy(&pixel, &pixels[size_t(y) * kStride + size_t(x) * 4], 4);
    return pixel;
  }
  bool BorderUntouched() const {
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        const bool inside = x >= kBorder && x < kWidth - kBorder && y >= kBorder && y < kHeight - kBorder;
        if (!inside && At(x, y) != 0x5A5A5A5Au) return false;
      }
    return true;
  }
  static constexpr int kStride = kWidth * 4;
  std::vector<unsigned char> pixels;
  cliio::CRaster raster{pixels.data(), kStride, kBorder, kBorder, kWidth - 2 * kBorder, kHeight - 2 * kBorder};
};

// A fixed pseudo-random sequence for a seed, numbers in [0, 1).
class CRandom {
 public:
  explicit CRandom(uint32_t seed) : mState(seed) {}
  double operator()() {
    mState = mState * 1664525u + 1013904223u;
    return double(mState >> 8) / double(1u << 24);
  }

 private:
  uint32_t mState;
};

int ChannelGap(uint32_t a, uint32_t b) {
  int gap = 0;
  for (int shift = 0; shift <= 16; shift += 8)
    gap = std::max(gap, std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
  return gap;
}

// Lines with room around them take the row-by-row way, lines at the clip
// rectangle's edge the clipped walk; a line moved by whole pixels covers the
// same pixels, so both ways must paint the same pattern. Catches a row bound
// that leaves out pixels the stroke reaches and a wrong four-pixel blend.
TEST(PreviewRaster, LinesWithAndWithoutRoomPaintAlike) {
  struct CCase {
    double x0, y0, x1, y1, width, opacity;
  };
  const CCase cases[] = {
      {0.3, 0.2, 17.6, 5.1, 1.2, 1.0},   {0.5, 0.5, 0.5, 14.5, 1.6, 1.0},  {0.1, 3.7, 19.9, 3.7, 0.8, 1.0},
      {2.2, 2.9, 2.6, 3.1, 1.0, 0.3},    {4.0, 4.0, 4.0, 4.0, 1.4, 1.0},   {0.7, 12.3, 12.9, 0.4, 1.0, 0.6},
      {1.25, 0.5, 3.75, 17.5, 0.9, 1.0}, {0.0, 0.0, 9.0, 9.0, 1.6, 1.0},   {6.0, 0.2, 6.001, 15.8, 1.1, 1.0},
      // A point on a column of pixel centres: a dot, not a bar across it.
      {4.5, 4.2, 4.5, 4.2, 1.0, 1.0},    {3.5, 7.5, 3.5, 7.5, 1.3, 1.0}};
  const cliio::CPaint colour{0.1, 0.6, 0.9};
  for (const CCase& line : cases) {
    SCOPED_TRACE(std::to_string(line.x0) + "," + std::to_string(line.y0) + " " + std::to_string(line.x1) + "," +
                 std::to_string(line.y1));
    CCanvas roomy, tight;
    // Well inside; and with the line's leftmost reach just inside the clip
    // rectangle's left edge and its top a pixel below the top edge.
    const int roomX = 60, roomY = 40, tightX = CCanvas::kBorder + 2, tightY = CCanvas::kBorder + 2;
    roomy.raster.Line(line.x0 + roomX, line.y0 + roomY, line.x1 + roomX, line.y1 + roomY, line.width, colour,
                      line.opacity);
    tight.raster.Line(line.x0 + tightX, line.y0 + tightY, line.x1 + tightX, line.y1 + tightY, line.width, colour,
                      line.opacity);
    int painted = 0, worst = 0;
    for (int dy = -4; dy < 26; ++dy)
      for (int dx = -4; dx < 26; ++dx) {
        const int ty = tightY + dy, tx = tightX + dx;
        const bool tightInside = tx >= CCanvas::kBorder && ty >= CCanvas::kBorder;
        const uint32_t a = roomy.At(roomX + dx, roomY + dy);
        const uint32_t b = tightInside ? tight.At(tx, ty) : 0xFFFFFF;
        worst = std::max(worst, ChannelGap(a, b));
        painted += (a & 0xFFFFFF) != 0xFFFFFF;
      }
    EXPECT_GT(painted, 0);
    // The two ways differ only in float against double arithmetic.
    EXPECT_LE(worst, 2);
    EXPECT_TRUE(roomy.BorderUntouched());
    EXPECT_TRUE(tight.BorderUntouched());
  }
}

// Strokes less than four pixels wide, short ones (the bulk of a dense
// model's picture) and long steep ones, are painted as one four-pixel step a
// row over a fixed window: at every offset within a pixel, direction, width
// and opacity they must paint what the clipped walk paints, with nothing cut
// off at the window's edges.
TEST(PreviewRaster, NarrowStrokesPaintLikeTheWalk) {
  CRandom next(12345);
  const cliio::CPaint colour{0.8, 0.2, 0.1};
  int worst = 0;
  for (int trial = 0; trial < 400; ++trial) {
    const bool steep = trial % 2 == 1;
    const double x0 = next() * 2, y0 = next() * 2, width = 0.8 + next() * 0.8, opacity = 0.2 + next() * 0.8;
    // Short: any direction. Steep: up to 15 pixels down and 3 across, so
    // that bounding boxes run from under to over four pixels wide.
    const double angle = next() * 6.2832, length = next() * 1.2;
    const double x1 = steep ? x0 + (next() - 0.5) * 6 : x0 + length * std::cos(angle);
    const double y1 = steep ? y0 + 2 + next() * 13 : y0 + length * std::sin(angle);
    CCanvas roomy, tight;
    // Tight: the stroke's left reach just inside the clip rectangle's edge.
    const int roomX = 60, roomY = 40, tightX = CCanvas::kBorder + 5, tightY = CCanvas::kBorder + 2;
    roomy.raster.Line(x0 + roomX, y0 + roomY, x1 + roomX, y1 + roomY, width, colour, opacity);
    tight.raster.Line(x0 + tightX, y0 + tightY, x1 + tightX, y1 + tightY, width, colour, opacity);
    int painted = 0;
    for (int dy = -2; dy < 20; ++dy)
      for (int dx = -5; dx < 8; ++dx) {
        const uint32_t a = roomy.At(roomX + dx, roomY + dy), b = tight.At(tightX + dx, tightY + dy);
        worst = std::max(worst, ChannelGap(a, b));
        painted += (a & 0xFFFFFF) != 0xFFFFFF;
      }
    EXPECT_GE(painted, steep ? 3 : 1) << "trial " << trial;
  }
  EXPECT_LE(worst, 2);
}

// Eight pixels a step (where the processor has AVX2) must paint byte for
// byte what four a step paint: thousands of overlapping strokes, short and
// long, narrow and wide, flat and steep, some ending at the clip rectangle's
// right edge, so that a step that pairs the wrong rows or columns, blends a
// pixel twice or not at all, or reaches past the edge shows. Where the
// processor lacks AVX2 both pictures take four a step.
TEST(PreviewRaster, WideStepsPaintLikeFourPixelSteps) {
  CRandom next(777);
  CCanvas wide, four;
  four.raster.UseWideSteps(false);
  for (int stroke = 0; stroke < 4000; ++stroke) {
    // At the edge: flat strokes whose reach ends just short of the room that
    // takes them the row-by-row way, so that rows' last steps start within
    // eight pixels of the edge.
    const bool atEdge = stroke % 7 == 0;
    const double width = 0.8 + next() * 2.5, reach = width / 2 + 0.5;
    const double x0 = atEdge ? CCanvas::kWidth - CCanvas::kBorder - 6.5 - reach + next() * 0.45 : 20 + next() * 140;
    const double y0 = 20 + next() * 80;
    const double length = stroke % 3 == 0 ? next() * 1.5 : next() * 30, angle = next() * 6.2832;
    const double x1 = atEdge ? x0 - 10 - next() * 10 : x0 + length * std::cos(angle);
    const double y1 = atEdge ? y0 + (next() - 0.5) * 6 : y0 + length * std::sin(angle);
    const double opacity = stroke % 5 == 0 ? 0.3 + next() * 0.7 : 1.0;
    const cliio::CPaint colour{next(), next(), next()};
    wide.raster.Line(x0, y0, x1, y1, width, colour, opacity);
    four.raster.Line(x0, y0, x1, y1, width, colour, opacity);
  }
  int painted = 0;
  for (int y = 0; y < CCanvas::kHeight; ++y)
    for (int x = 0; x < CCanvas::kWidth; ++x) {
      ASSERT_EQ(wide.At(x, y), four.At(x, y)) << x << "," << y;
      painted += (wide.At(x, y) & 0xFFFFFF) != 0xFFFFFF;
    }
  EXPECT_GT(painted, 5000);
  EXPECT_TRUE(wide.BorderUntouched());
}

// A wide stroke: the centre is the full colour, a pixel at the reach is
// untouched, and the colour's unused top byte stays zero as cairo's RGB24
// expects of what it reads back.
TEST(PreviewRaster, StrokeCoverage) {
  CCanvas canvas;
  // Pixel centres are .5 away from the line on either side, then 1.5 and
  // 2.5; the reach is the half width 1.5 and half a pixel.
  canvas.raster.Line(40.5, 60, 140.5, 60, 3.0, {1, 0, 0}, 1.0);
  EXPECT_EQ(canvas.At(90, 59), 0xFF0000u);
  EXPECT_EQ(canvas.At(90, 60), 0xFF0000u);
  EXPECT_EQ(canvas.At(90, 61), 0xFF8080u);  // half covered
  EXPECT_EQ(canvas.At(90, 58), 0xFF8080u);
  EXPECT_EQ(canvas.At(90, 62), 0xFFFFFFu);
  EXPECT_EQ(canvas.At(38, 60), 0xFFFFFFu);  // past the round end
  EXPECT_NE(canvas.At(39, 60), 0xFFFFFFu);
  EXPECT_EQ(canvas.At(141, 59), canvas.At(39, 59)) << "both ends alike";
}

// The mesh's mask: pixel centres inside a facet, each tinted once however
// many facets cover it; far-off and degenerate facets mark nothing and never
// reach past the clip rectangle.
TEST(PreviewRaster, CoverMarksPixelCentresOnce) {
  CCanvas canvas;
  // Two facets over the square [20, 30) x [20, 30): each pixel centre inside.
  canvas.raster.Cover(20, 20, 30, 20, 30, 30);
  canvas.raster.Cover(20, 20, 30, 30, 20, 30);
  canvas.raster.Cover(20, 20, 30, 20, 20, 30);  // a third layer over half of it
  canvas.raster.Cover(-1e300, -1e300, 1e300, 5, 7, 1e300);
  canvas.raster.Cover(50, 50, 50, 50, 50, 50);
  canvas.raster.Cover(60, 70, 80, 70, 70, 70);  // flat
  canvas.raster.Cover(100.2, 100.2, 100.4, 100.3, 100.3, 100.4);  // between pixel centres
  canvas.raster.Tint({0, 0, 0}, 0.5);
  const uint32_t half = canvas.At(25, 25);
  EXPECT_EQ(half, 0x808080u);
  EXPECT_EQ(canvas.At(20, 20), half);
  EXPECT_EQ(canvas.At(29, 29), half);
  EXPECT_EQ(canvas.At(21, 28), half);
  EXPECT_EQ(canvas.At(19, 25), half) << "the huge facet covers the whole clip rectangle";
  EXPECT_TRUE(canvas.BorderUntouched());

  CCanvas square;
  square.raster.Cover(20, 20, 30, 20, 30, 30);
  square.raster.Cover(20, 20, 30, 30, 20, 30);
  square.raster.Cover(50, 50, 50, 50, 50, 50);
  square.raster.Cover(100.2, 100.2, 100.4, 100.3, 100.3, 100.4);
  // Rows that hold no pixel centre mark nothing, also over a covered span and
  // beyond either side of the clip rectangle on the square's rows.
  square.raster.Cover(25.1, 18, 25.4, 18, 25.3, 33);
  square.raster.Cover(-50, 20, -10, 22, -30, 30);
  square.raster.Cover(300, 20, 400, 22, 350, 30);
  square.raster.Cover(2, 20, 7.9, 25, 3, 30);
  square.raster.Tint({0, 0, 0}, 0.5);
  int tinted = 0;
  for (int y = CCanvas::kBorder; y < CCanvas::kHeight - CCanvas::kBorder; ++y)
    for (int x = CCanvas::kBorder; x < CCanvas::kWidth - CCanvas::kBorder; ++x) tinted += square.At(x, y) != 0xFFFFFFu;
  EXPECT_EQ(tinted, 100);
  EXPECT_EQ(square.At(19, 25), 0xFFFFFFu);
  EXPECT_EQ(square.At(30, 25), 0xFFFFFFu);
}

// Spans of the mask that start, end or run across the 64-pixel words it is
// kept in, up to the clip rectangle's last column: exactly the pixels whose
// centres are inside, counted from the clip rectangle's left edge.
TEST(PreviewRaster, CoverSpansAcrossMaskWords) {
  const int inner = CCanvas::kWidth - 2 * CCanvas::kBorder;
  const int spans[][2] = {{60, 64}, {63, 65}, {64, 64}, {64, 128}, {0, 129}, {127, 128}, {100, inner}, {0, inner}, {1, 2}};
  for (const auto& span : spans) {
    SCOPED_TRACE(std::to_string(span[0]) + "-" + std::to_string(span[1]));
    CCanvas canvas;
    const double left = CCanvas::kBorder + span[0], right = CCanvas::kBorder + span[1], top = 30, bottom = 33;
    canvas.raster.Cover(left, top, right, top, right, bottom);
    canvas.raster.Cover(left, top, right, bottom, left, bottom);
    canvas.raster.Tint({0, 0, 0}, 1.0);
    for (int y = 28; y < 35; ++y)
      for (int x = CCanvas::kBorder; x < CCanvas::kWidth - CCanvas::kBorder; ++x) {
        const int column = x - CCanvas::kBorder;
        const bool inside = y >= 30 && y < 33 && column >= span[0] && column < span[1];
        ASSERT_EQ(canvas.At(x, y), inside ? 0u : 0xFFFFFFu) << x << "," << y;
      }
    EXPECT_TRUE(canvas.BorderUntouched());
  }
}

// Facets covered four rows a step (where the processor has AVX2) mark the
// very pixels that row by row does: random facets of every kind, small sets
// at a time so that one way's stray or missing pixel is not hidden under
// another facet.
TEST(PreviewRaster, FacetsFourRowsAStepCoverLikeRowByRow) {
  CRandom next(4242);
  const double inf = INFINITY, nan = NAN;
  int differing = 0, marked = 0, rounds = 0;
  for (int round = 0; round < 300; ++round, ++rounds) {
    CCanvas fours, rows;
    rows.raster.UseWideSteps(false);
    for (int facet = 0; facet < 12; ++facet) {
      double p[6];
      const double cx = next() * CCanvas::kWidth, cy = next() * CCanvas::kHeight;
      const int kind = (round * 12 + facet) % 9;
      // Sizes from under a pixel to well past the clip rectangle, so that
      // facets lie inside it, across its edges and around it.
      const double size = kind == 0 ? next() * 1.5 : kind == 1 ? 300 : next() * 40;
      for (int k = 0; k < 6; k += 2) {
        p[k] = cx + (next() - 0.5) * size;
        p[k + 1] = cy + (next() - 0.5) * size;
      }
      switch (kind) {
        case 2:  // points on pixel edges and centres: the ties of every rounding
          for (double& value : p) value = std::round(value * 2) / 2;
          break;
        case 3:  // a sliver: one point a hair off the line of the other two, or above it
          p[4] = (p[0] + p[2]) / 2 + (round % 2 ? 1e-9 : 0);
          p[5] = (p[1] + p[3]) / 2 + (round % 3 ? 1e-300 : 0);
          break;
        case 4:  // an edge across the rows (the flat top or bottom) or a point twice
          if (round % 2) p[3] = p[1]; else { p[2] = p[0]; p[3] = p[1]; }
          break;
        case 5:  // steep and nearly flat edges: a tiny step in y under a wide one in x
          p[3] = p[1] + 1e-12 * (next() - 0.5);
          p[2] = p[0] + 500 * (next() - 0.5);
          break;
        case 6:  // far off, some not finite at all
          p[facet % 6] = facet % 3 == 0 ? nan : facet % 3 == 1 ? inf : -1e300;
          break;
        case 7:  // the middle point on a row's centre, and on a column's: the short edges meet there
          p[3] = std::floor(p[3]) + 0.5;
          p[2] = std::floor(p[2]) + 0.5;
          break;
        case 8:  // thinner than any slope: two points on a row's centre, one the next number up and a world away
          p[1] = p[5] = std::floor(p[1]) + 0.5;
          p[3] = std::nextafter(p[1], inf);
          p[2] = round % 2 ? 1e300 : -1e300;
          break;
        default:
          break;
      }
      fours.raster.Cover(p[0], p[1], p[2], p[3], p[4], p[5]);
      rows.raster.Cover(p[0], p[1], p[2], p[3], p[4], p[5]);
    }
    fours.raster.Tint({0, 0, 0}, 1.0);
    rows.raster.Tint({0, 0, 0}, 1.0);
    for (int y = 0; y < CCanvas::kHeight; ++y)
      for (int x = 0; x < CCanvas::kWidth; ++x) {
        differing += fours.At(x, y) != rows.At(x, y);
        marked += rows.At(x, y) == 0;
      }
    ASSERT_EQ(differing, 0) << "round " << round;
    ASSERT_TRUE(fours.BorderUntouched()) << "round " << round;
  }
  // Neither nothing nor everything: the comparison had pixels of both kinds.
  const int inner = (CCanvas::kWidth - 2 * CCanvas::kBorder) * (CCanvas::kHeight - 2 * CCanvas::kBorder);
  EXPECT_GT(marked, rounds * inner / 10);
  EXPECT_LT(marked, rounds * inner * 9 / 10);
}

// The PNG's paint order: every segment once, farthest first, carrying its
// ends' places and its group; a group's segments keep their order within a
// depth.
TEST(PreviewScene, SegmentsFarToNear) {
  std::vector<cliio::CWireGroup> wires(2);
  auto vertex = [](double x, double y, double z) {
    cliio::CWireVertex v;
    v.position[0] = x;
    v.position[1] = y;
    v.position[2] = z;
    return v;
  };
  wires[0].vertices = {vertex(0, 0, 2), vertex(1, 0, 2), vertex(1, 1, 0), vertex(0, 1, 0)};
  wires[0].segments = {{0, 1}, {2, 3}, {1, 2}};
  wires[1].vertices = {vertex(0, 0, 1), vertex(1, 1, 1), vertex(2, 2, NAN)};
  wires[1].segments = {{0, 1}, {1, 2}};
  cliio::CViewFit fit(cliio::PreviewView::kFront);
  for (const auto& group : wires)
    for (const auto& v : group.vertices) fit.Include(v.position, true);
  fit.Settle(100, 100, 10);
  const auto order = cliio::SegmentsFarToNear(wires, fit);
  ASSERT_EQ(order.size(), 5u);
  // z 0 (group 0's second), with the segment to a non-finite point, which
  // has no depth and counts as farthest, its far end unplaced; then z 1 with
  // z 0-2 (group 0's third, group 1's first, in group order); then z 2.
  EXPECT_EQ(order[0].group, 0u);
  EXPECT_FLOAT_EQ(order[0].nearness, 0);
  EXPECT_EQ(order[1].group, 1u);
  EXPECT_TRUE(std::isnan(order[1].x1));
  EXPECT_FALSE(std::isnan(order[1].x0));
  EXPECT_EQ(order[2].group, 0u);
  EXPECT_FLOAT_EQ(order[2].nearness, 0.5f);
  EXPECT_EQ(order[3].group, 1u);
  EXPECT_FLOAT_EQ(order[3].nearness, 0.5f);
  EXPECT_EQ(order[4].group, 0u);
  EXPECT_FLOAT_EQ(order[4].nearness, 1);
  // Group 0's first segment, (0, 0) to (1, 0): the bottom edge of the fitted
  // square, y down.
  double x, y;
  fit.Place(wires[0].vertices[0].position, &x, &y);
  EXPECT_FLOAT_EQ(order[4].x0, float(x));
  EXPECT_FLOAT_EQ(order[4].y0, float(y));
  fit.Place(wires[0].vertices[1].position, &x, &y);
  EXPECT_FLOAT_EQ(order[4].x1, float(x));
  EXPECT_FLOAT_EQ(order[4].y1, float(y));
  EXPECT_GT(order[4].x1, order[4].x0);
}

// A sort asked to stop gives no segment rather than an order partly placed,
// whose unplaced entries are not even cleared.
TEST(PreviewScene, AStoppedSortGivesNoSegment) {
  std::vector<cliio::CWireGroup> wires(1);
  for (int k = 0; k < 100; ++k) {
    cliio::CWireVertex v;
    v.position[0] = k;
    v.position[2] = k % 7;
    wires[0].vertices.push_back(v);
    if (k > 0) wires[0].segments.push_back({k - 1, k});
  }
  cliio::CViewFit fit(cliio::PreviewView::kFront);
  for (const auto& v : wires[0].vertices) fit.Include(v.position, true);
  fit.Settle(100, 100, 10);
  std::vector<cliio::CWireGroupSource> views;
  const cliio::CWireSources sources = cliio::SourcesOf(wires, &views);
  std::atomic<bool> stop{false};
  EXPECT_EQ(cliio::SegmentsFarToNear(sources, fit, &stop).size(), 99u);
  stop = true;
  EXPECT_TRUE(cliio::SegmentsFarToNear(sources, fit, &stop).empty());
}

}  // namespace
