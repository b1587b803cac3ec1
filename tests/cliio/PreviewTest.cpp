#include "cli/io/Preview.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <atomic>

#include <cmath>
#include <cstring>
#include <nlohmann/json.hpp>

#include "TestFiles.h"
#include "cli/io/GroupColors.h"
#include "cli/io/PreviewScene.h"

namespace {

using cliio_test::CScratchFolder;
using cliio_test::ReadAll;

// A closed polyline through the given corners.
cliio::CWireGroup Ring(const std::string& name, std::vector<std::array<double, 3>> corners) {
  cliio::CWireGroup group;
  group.name = name;
  for (size_t i = 0; i < corners.size(); ++i) {
    cliio::CWireVertex vertex;
    std::copy(corners[i].begin(), corners[i].end(), vertex.position);
    vertex.u = double(i) / double(corners.size());
    group.vertices.push_back(vertex);
    group.segments.push_back({int32_t(i), int32_t((i + 1) % corners.size())});
  }
  return group;
}

std::vector<cliio::CWireGroup> Square() { return {Ring("square", {{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}})}; }

std::vector<cliio::CImportedMesh> SquareMesh() {
  cliio::CImportedMesh mesh;
  mesh.name = "square";
  const auto square = Square();
  for (const auto& vertex : square[0].vertices) {
    cliio::CImportedVertex imported;
    std::copy(vertex.position, vertex.position + 3, imported.position);
    mesh.AddVertex(imported);
  }
  int32_t corners[4] = {0, 1, 2, 3};
  mesh.AddFacet(corners, 4);
  corners[3] = 99;  // out of range: left out, not drawn from stray memory
  mesh.AddFacet(corners, 4);
  return {mesh};
}

// A decoded PNG's pixels as 0xRRGGBB.
class CImage {
 public:
  explicit CImage(const std::filesystem::path& file) {
    cairo_surface_t* image = cairo_image_surface_create_from_png(file.c_str());
    if (cairo_surface_status(image) == CAIRO_STATUS_SUCCESS) {
      cairo_surface_flush(image);
      width = cairo_image_surface_get_width(image);
      height = cairo_image_surface_get_height(image);
      const unsigned char* data = cairo_image_surface_get_data(image);
      const int stride = cairo_image_surface_get_stride(image);
      pixels.resize(size_t(width) * size_t(height));
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
          uint32_t pixel;
          std::memcpy(&pixel, data + y * stride + 4 * x, 4);
          pixels[size_t(y) * size_t(width) + size_t(x)] = pixel & 0xFFFFFF;
        }
    }
    cairo_surface_destroy(image);
  }
  uint32_t At(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
  // Pixels in the rectangle within `tolerance` of `colour` in every channel.
  size_t Count(uint32_t colour, int tolerance, int left, int top, int right, int bottom) const {
    size_t count = 0;
    for (int y = top; y < bottom; ++y)
      for (int x = left; x < right; ++x) {
        const uint32_t pixel = At(x, y);
        bool near = true;
        for (int shift = 0; shift <= 16; shift += 8)
          near = near && std::abs(int((pixel >> shift) & 0xFF) - int((colour >> shift) & 0xFF)) <= tolerance;
        count += near;
      }
    return count;
  }
  size_t Ink(int left, int top, int right, int bottom) const {  // dark pixels, as text leaves
    size_t count = 0;
    for (int y = top; y < bottom; ++y)
      for (int x = left; x < right; ++x) count += ((At(x, y) >> 8) & 0xFF) < 128;
    return count;
  }
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
};

uint32_t Packed(const cliio::CGroupColor& colour) {
  return (uint32_t(colour.red) << 16) | (uint32_t(colour.green) << 8) | colour.blue;
}

TEST(GroupColors, DistinctDarkEnoughAndCycling) {
  for (size_t i = 0; i < cliio::kDistinctGroupColors; ++i) {
    const cliio::CGroupColor a = cliio::GroupColor(i);
    const double luminance = (0.2126 * a.red + 0.7152 * a.green + 0.0722 * a.blue) / 255;
    EXPECT_LT(luminance, 0.65) << "colour " << i << " is too light for a white background";
    for (size_t j = 0; j < i; ++j) {
      const cliio::CGroupColor b = cliio::GroupColor(j);
      const int distance = std::abs(a.red - b.red) + std::abs(a.green - b.green) + std::abs(a.blue - b.blue);
      EXPECT_GT(distance, 60) << "colours " << j << " and " << i;
    }
  }
  EXPECT_EQ(cliio::GroupColor(cliio::kDistinctGroupColors + 5), cliio::GroupColor(5));
}

TEST(PreviewViews, NamesAndAxes) {
  for (const char* name : {"iso", "front", "back", "left", "right", "top", "bottom"}) {
    cliio::PreviewView view;
    ASSERT_TRUE(cliio::ParsePreviewView(name, &view)) << name;
    EXPECT_STREQ(cliio::PreviewViewName(view), name);
    // Orthonormal and right-handed: right x up = toward the viewer.
    const cliio::CProjection& p = cliio::ProjectionFor(view);
    const double cross[3] = {p.right[1] * p.up[2] - p.right[2] * p.up[1], p.right[2] * p.up[0] - p.right[0] * p.up[2],
                             p.right[0] * p.up[1] - p.right[1] * p.up[0]};
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(cross[i], p.toward[i], 1e-12) << name;
    EXPECT_NEAR(p.right[0] * p.up[0] + p.right[1] * p.up[1] + p.right[2] * p.up[2], 0, 1e-12) << name;
  }
  cliio::PreviewView view;
  EXPECT_FALSE(cliio::ParsePreviewView("Front", &view));
  EXPECT_FALSE(cliio::ParsePreviewView("", &view));
  // From the front, +x is to the right and +y up; from the top, -z is up.
  cliio::CViewFit front(cliio::PreviewView::kFront), top(cliio::PreviewView::kTop);
  const double low[3] = {0, 0, 0}, high[3] = {1, 1, 1};
  for (cliio::CViewFit* fit : {&front, &top}) {
    fit->Include(low, true);
    fit->Include(high, true);
    fit->Settle(100, 100, 10);
  }
  const double px[3] = {1, 0, 0}, py[3] = {0, 1, 0}, pz[3] = {0, 0, -1};
  double x0, y0, x1, y1;
  front.Place(low, &x0, &y0);
  front.Place(px, &x1, &y1);
  EXPECT_GT(x1, x0);
  front.Place(py, &x1, &y1);
  EXPECT_LT(y1, y0);  // picture y runs down
  top.Place(pz, &x1, &y1);
  EXPECT_LT(y1, y0);
  EXPECT_DOUBLE_EQ(front.Nearness(high), 1.0);
  EXPECT_DOUBLE_EQ(front.Nearness(low), 0.0);
  EXPECT_DOUBLE_EQ(top.Nearness(py), 1.0);
}

TEST(Preview, HeaderLine) {
  cliio::CPreviewCaption caption;
  caption.source = "engine.glb";
  caption.hasSettings = true;
  caption.push = 0.5;
  caption.scale = 2;
  auto wires = Square();
  wires.push_back(Ring("tri", {{{0, 0, 1}, {1, 0, 1}, {0, 1, 1}}}));
  EXPECT_EQ(cliio::PreviewHeader(caption, wires),
            "engine.glb \xC2\xB7 mode 0 \xC2\xB7 push 0.5 \xC2\xB7 scale 2 \xC2\xB7 2 wires \xC2\xB7 7 segments");
  caption.hasSettings = false;
  caption.hasFrame = true;
  caption.frame = -3;
  EXPECT_EQ(cliio::PreviewHeader(caption, cliio::CWireSources{}), "engine.glb \xC2\xB7 frame -3 \xC2\xB7 0 wires \xC2\xB7 0 segments");
  // Totals the caller already has are taken as they are.
  caption.hasCounts = true;
  caption.wires = 1;
  caption.segments = 3;
  EXPECT_EQ(cliio::PreviewHeader(caption, wires), "engine.glb \xC2\xB7 frame -3 \xC2\xB7 1 wire \xC2\xB7 3 segments");
}

// The legend of the PNG, row by row: each listed group has a swatch in its
// colour and a name beside it, and nothing follows the last row.
TEST(Preview, PngLegendRowsMatchTheGroups) {
  CScratchFolder folder;
  std::vector<cliio::CWireGroup> wires;
  for (int g = 0; g < 5; ++g) {
    const double x = 1.5 * g, z = g;  // side by side from the front, group 4 nearest
    wires.push_back(Ring("group " + std::to_string(g), {{{x, 0, z}, {x + 1, 0, z}, {x + 1, 1, z}, {x, 1, z}}}));
  }
  const auto file = folder.path() / "legend.png";
  std::string error;
  cliio::CPreviewOptions options;
  options.view = cliio::PreviewView::kFront;
  ASSERT_TRUE(cliio::WritePreview(file, wires, {}, options, &error)) << error;
  const CImage image(file);
  const cliio::CPreviewLayout layout = cliio::LayoutPreview(wires.size());
  ASSERT_EQ(image.width, layout.width);
  ASSERT_EQ(image.height, layout.height);
  EXPECT_EQ(layout.width, cliio::kPreviewWidth + cliio::kLegendColumnWidth);
  ASSERT_EQ(layout.rows.size(), wires.size());
  for (size_t g = 0; g < layout.rows.size(); ++g) {
    const cliio::CLegendRow& row = layout.rows[g];
    const int swatchX = row.x + cliio::kLegendSwatch / 2, swatchY = row.y + 3 + cliio::kLegendSwatch / 2;
    EXPECT_EQ(image.At(swatchX, swatchY), Packed(cliio::GroupColor(g))) << "row " << g;
    const int textLeft = row.x + cliio::kLegendSwatch + 4;
    EXPECT_GT(image.Ink(textLeft, row.y, textLeft + 60, row.y + cliio::kLegendRowHeight), 20u) << "row " << g;
  }
  const cliio::CLegendRow& last = layout.rows.back();
  EXPECT_EQ(image.Ink(last.x, last.y + cliio::kLegendRowHeight, last.x + 150, last.y + 3 * cliio::kLegendRowHeight), 0u);
  // The header band carries text; every group's colour is in the view, the
  // nearest at full strength.
  EXPECT_GT(image.Ink(0, 0, 300, cliio::kPreviewHeaderHeight), 50u);
  const int view[4] = {0, cliio::kPreviewHeaderHeight, cliio::kPreviewWidth, cliio::kPreviewHeaderHeight + cliio::kPreviewHeight};
  EXPECT_GT(image.Count(Packed(cliio::GroupColor(4)), 2, view[0], view[1], view[2], view[3]), 100u);
  EXPECT_EQ(image.Count(Packed(cliio::GroupColor(0)), 2, view[0], view[1], view[2], view[3]), 0u)
      << "the farthest group is drawn faded";
  EXPECT_GT(image.Count(0xFFFFFF, 0, view[0], view[1], view[2], view[3]), 400000u);
  EXPECT_LT(image.Count(0xFFFFFF, 0, view[0], view[1], 200, view[3]), size_t(200 * cliio::kPreviewHeight) - 100)
      << "the farthest group is drawn at all";
}

TEST(Preview, ManyGroupsShareColoursAndOverflowTheLegend) {
  const cliio::CPreviewLayout few = cliio::LayoutPreview(cliio::kDistinctGroupColors);
  EXPECT_FALSE(few.noteRow);
  EXPECT_EQ(few.rows.size(), cliio::kDistinctGroupColors);
  EXPECT_TRUE(cliio::LegendNote(cliio::kDistinctGroupColors).empty());
  const cliio::CPreviewLayout many = cliio::LayoutPreview(1000);
  EXPECT_TRUE(many.noteRow);
  EXPECT_EQ(many.rows.size() + many.unlisted, 1000u);
  EXPECT_GT(many.unlisted, 0u);
  EXPECT_EQ(many.width, cliio::kPreviewWidth + int(cliio::kLegendMaxColumns) * cliio::kLegendColumnWidth);
  // No two rows, nor the note's and the summary's, overlap; all lie in the picture.
  std::vector<std::pair<int, int>> taken;
  for (const auto& row : many.rows) taken.push_back({row.x, row.y});
  taken.push_back({many.moreRow.x, many.moreRow.y});
  taken.push_back({cliio::kPreviewWidth + 10, cliio::kPreviewHeaderHeight + 8});  // the note
  std::sort(taken.begin(), taken.end());
  EXPECT_EQ(std::adjacent_find(taken.begin(), taken.end()), taken.end());
  for (const auto& [x, y] : taken) {
    EXPECT_LE(x + cliio::kLegendColumnWidth - 10, many.width);
    EXPECT_LE(y + cliio::kLegendRowHeight, many.height);
  }
  EXPECT_EQ(cliio::LayoutPreview(0).width, cliio::kPreviewWidth);
}

TEST(Preview, SvgGroupsCarryTheirNames) {
  CScratchFolder folder;
  auto wires = Square();
  wires.push_back(Ring("a<b> & \"c\" \x01\xFF", {{{0, 0, 1}, {1, 0, 1}, {0, 1, 1}}}));
  const auto svg = folder.path() / "preview.SVG";
  std::string error;
  cliio::CPreviewOptions options;
  options.caption.source = "model.obj";
  options.view = cliio::PreviewView::kFront;
  ASSERT_TRUE(cliio::WritePreview(svg, wires, SquareMesh(), options, &error)) << error;
  const std::string text = ReadAll(svg);
  // From the front the square is one depth band: one subpath, closed, with
  // relative steps of whole pixels (540 px a side: the view's height less margins).
  const size_t square = text.find("<g id=\"group-1\"");
  const std::string squarePath = text.substr(square, text.find("</g>", square) - square);
  EXPECT_NE(squarePath.find("M130 570l540 0l0-540"), std::string::npos) << squarePath;
  EXPECT_NE(squarePath.find("z\"/>"), std::string::npos) << squarePath;
  EXPECT_EQ(std::count(squarePath.begin(), squarePath.end(), 'M'), 1) << squarePath;
  EXPECT_EQ(text.rfind("<?xml", 0), 0u);
  EXPECT_NE(text.find("<g id=\"group-1\" data-name=\"square\"><title>square</title>"), std::string::npos);
  EXPECT_NE(text.find("data-name=\"a&lt;b&gt; &amp; &quot;c&quot;  ?\""), std::string::npos) << text;
  EXPECT_NE(text.find(">model.obj \xC2\xB7 2 wires \xC2\xB7 7 segments</text>"), std::string::npos);
  EXPECT_NE(text.find("<path id=\"mesh\""), std::string::npos);
  EXPECT_NE(text.find("fill=\"#d62728\"/><text"), std::string::npos);  // the first legend swatch
  EXPECT_EQ(text.find("not drawn"), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 7), "</svg>\n");

  // Past the size limit the mesh is left out, and the picture says so.
  cliio::CImportedMesh big = SquareMesh()[0];
  const cliio::CImportedFacet first = big.Facet(0);
  while (big.FacetCount() < 6000) big.AddFacet(first.corners, first.count, cliio::ColorWord(first.argb));
  ASSERT_TRUE(cliio::WritePreview(svg, wires, {big}, options, &error)) << error;
  const std::string without = ReadAll(svg);
  EXPECT_EQ(without.find("<path id=\"mesh\""), std::string::npos);
  EXPECT_NE(without.find("mesh not drawn (24000 edges)"), std::string::npos);
}

// The SVG joins segments into polylines as it reads them a run at a time:
// a polyline that ends on a run's last segment, a ring that starts on the
// next run's first, and a there-and-back pair (a ring of two segments) each
// come out as one subpath, the rings closed.
TEST(Preview, SvgJoinsPolylinesAcrossReadRuns) {
  ASSERT_EQ(cliio::kWireRun, 512u);
  cliio::CWireGroup group;
  group.name = "runs";
  auto add = [&group](double x, double y) {
    cliio::CWireVertex vertex;
    vertex.position[0] = x;
    vertex.position[1] = y;
    group.vertices.push_back(vertex);
    return int32_t(group.vertices.size() - 1);
  };
  int32_t previous = add(0, 0);
  for (int i = 1; i <= 512; ++i) {  // open, segments 0 to 511
    const int32_t next = add(i, i % 2 * 4);
    group.segments.push_back({previous, next});
    previous = next;
  }
  const int32_t ringStart = add(200, 300);
  previous = ringStart;
  for (int i = 1; i < 300; ++i) {  // segments 512 to 811
    const int32_t next = add(200 + 100 * std::sin(i * 0.021), 300 - 100 * std::cos(i * 0.021));
    group.segments.push_back({previous, next});
    previous = next;
  }
  group.segments.push_back({previous, ringStart});
  const int32_t there = add(400, 0), back = add(450, 50);
  group.segments.push_back({there, back});
  group.segments.push_back({back, there});

  CScratchFolder folder;
  const auto svg = folder.path() / "runs.svg";
  cliio::CPreviewOptions options;
  options.view = cliio::PreviewView::kFront;  // one depth band
  std::string error;
  ASSERT_TRUE(cliio::WritePreview(svg, {group}, {}, options, &error)) << error;
  const std::string text = ReadAll(svg);
  const size_t at = text.find("<g id=\"group-1\"");
  ASSERT_NE(at, std::string::npos);
  const size_t d = text.find(" d=\"", at) + 4;
  const std::string path = text.substr(d, text.find('"', d) - d);
  std::vector<std::string> subpaths;
  for (size_t start = 0; start < path.size();) {
    const size_t end = path.find('M', start + 1);
    subpaths.push_back(path.substr(start, end - start));
    start = end == std::string::npos ? path.size() : end;
  }
  ASSERT_EQ(subpaths.size(), 3u) << path;
  EXPECT_EQ(subpaths[0].find('z'), std::string::npos) << subpaths[0];
  EXPECT_EQ(std::count(subpaths[0].begin(), subpaths[0].end(), 'l'), 512);
  EXPECT_EQ(subpaths[1].back(), 'z');
  EXPECT_EQ(std::count(subpaths[1].begin(), subpaths[1].end(), 'l'), 299);
  EXPECT_EQ(subpaths[2].back(), 'z');
  EXPECT_EQ(std::count(subpaths[2].begin(), subpaths[2].end(), 'l'), 1);
}

std::vector<uint8_t> Base64(const std::string& text) {
  std::vector<uint8_t> bytes;
  uint32_t bits = 0;
  int count = 0;
  for (char c : text) {
    const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const char* at = std::strchr(digits, c);
    if (!at || c == '\0') continue;
    bits = (bits << 6) | uint32_t(at - digits);
    if (++count == 4) {
      bytes.push_back(uint8_t(bits >> 16));
      bytes.push_back(uint8_t(bits >> 8));
      bytes.push_back(uint8_t(bits));
      bits = 0;
      count = 0;
    }
  }
  if (count == 3) {
    bytes.push_back(uint8_t(bits >> 10));
    bytes.push_back(uint8_t(bits >> 2));
  } else if (count == 2) {
    bytes.push_back(uint8_t(bits >> 4));
  }
  return bytes;
}

std::string ElementText(const std::string& page, const std::string& id) {
  const std::string open = "id=\"" + id + "\">";
  const size_t start = page.find(open);
  if (start == std::string::npos) return "";
  const size_t from = start + open.size();
  return page.substr(from, page.find("</script>", from) - from);
}

// The page's data decodes back to the wires and the mesh: positions less the
// centre, segments, u; a name that looks like markup stays text.
TEST(PreviewPage, DataRoundTrips) {
  CScratchFolder folder;
  auto wires = Square();
  wires.push_back(Ring("</script><b>", {{{0, 0, 3}, {2, 0, 3}, {0, 2, 3}}}));
  const auto file = folder.path() / "page.html";
  std::string error;
  ASSERT_TRUE(cliio::WritePreview(file, wires, SquareMesh(), {}, &error)) << error;
  const std::string page = ReadAll(file);
  EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u);
  EXPECT_EQ(page.find("<script src"), std::string::npos);  // nothing to fetch
  EXPECT_EQ(page.find("</script><b>"), std::string::npos);
  const auto data = nlohmann::json::parse(ElementText(page, "tressel-data"));
  EXPECT_EQ(data["view"], "iso");
  ASSERT_EQ(data["groups"].size(), 2u);
  EXPECT_EQ(data["groups"][1]["name"], "</script><b>");
  EXPECT_EQ(data["groups"][1]["colour"], "#1f5fc4");
  const double centre[3] = {1, 1, 1.5};
  for (size_t g = 0; g < 2; ++g) {
    const auto& group = data["groups"][g];
    const std::vector<uint8_t> positions = Base64(ElementText(page, group["positions"]));
    const std::vector<uint8_t> indices = Base64(ElementText(page, group["indices"]));
    const std::vector<uint8_t> u = Base64(ElementText(page, group["u"]));
    ASSERT_EQ(positions.size(), wires[g].vertices.size() * 12);
    ASSERT_EQ(indices.size(), wires[g].segments.size() * 8);
    ASSERT_EQ(u.size(), wires[g].vertices.size() * 2);
    for (size_t v = 0; v < wires[g].vertices.size(); ++v) {
      float xyz[3];
      std::memcpy(xyz, &positions[12 * v], 12);
      for (int i = 0; i < 3; ++i) EXPECT_FLOAT_EQ(xyz[i], float(wires[g].vertices[v].position[i] - centre[i]));
      uint16_t stored;
      std::memcpy(&stored, &u[2 * v], 2);
      EXPECT_NEAR(stored / 65535.0, wires[g].vertices[v].u, 1e-4);
    }
    for (size_t s = 0; s < wires[g].segments.size(); ++s) {
      uint32_t ends[2];
      std::memcpy(ends, &indices[8 * s], 8);
      EXPECT_EQ(ends[0], uint32_t(wires[g].segments[s].a));
      EXPECT_EQ(ends[1], uint32_t(wires[g].segments[s].b));
    }
  }
  // The quad with a corner out of range is left out; the other is two triangles.
  EXPECT_EQ(Base64(ElementText(page, data["mesh"]["indices"])).size(), 6u * 4);
}

TEST(Preview, Errors) {
  CScratchFolder folder;
  std::string error;
  EXPECT_TRUE(cliio::WritePreview(folder.path() / "empty.png", cliio::CWireSources{}, {}, {}, &error)) << error;
  const auto jpeg = folder.path() / "preview.jpg";
  EXPECT_FALSE(cliio::WritePreview(jpeg, Square(), {}, {}, &error));
  EXPECT_EQ(error, jpeg.string() + ": unknown preview format (use .png, .svg or .html)");
  auto broken = Square();
  broken[0].segments.push_back({0, 4});
  for (const char* name : {"broken.png", "broken.svg", "broken.html"}) {
    EXPECT_FALSE(cliio::WritePreview(folder.path() / name, broken, {}, {}, &error));
    EXPECT_NE(error.find("segment 4 names a vertex outside its 4"), std::string::npos) << error;
  }
  EXPECT_FALSE(cliio::WritePreview(folder.path() / "missing" / "p.png", Square(), {}, {}, &error));
  EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"empty.png"}));
}

// A drawing asked to stop gives no picture and says so, in every format; the
// same options without the request draw it.
TEST(Preview, StoppedDrawingGivesNoPicture) {
  std::vector<cliio::CWireGroupSource> views;
  const auto wires = Square();
  const cliio::CWireSources sources = cliio::SourcesOf(wires, &views);
  std::atomic<bool> stop{true};
  cliio::CPreviewOptions options;
  options.stop = &stop;
  for (const char* name : {"p.png", "p.svg", "p.html"}) {
    std::string bytes = "old", error;
    EXPECT_FALSE(cliio::RenderPreview(name, sources, SquareMesh(), options, &bytes, &error)) << name;
    EXPECT_EQ(error, std::string(name) + ": not drawn: the drawing was stopped");
    EXPECT_TRUE(bytes.empty()) << name;
    stop = false;
    EXPECT_TRUE(cliio::RenderPreview(name, sources, SquareMesh(), options, &bytes, &error)) << error;
    EXPECT_GT(bytes.size(), 500u) << name;
    stop = true;
  }
}

}  // namespace
