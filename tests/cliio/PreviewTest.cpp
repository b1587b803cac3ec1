#include "cli/io/Preview.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include "TestFiles.h"

namespace {

using cliio_test::CScratchFolder;
using cliio_test::ReadAll;

std::vector<cliio::CWireGroup> Square() {
  cliio::CWireGroup group;
  group.name = "square";
  const double corners[4][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
  for (const auto& corner : corners) {
    cliio::CWireVertex vertex;
    std::copy(corner, corner + 3, vertex.position);
    group.vertices.push_back(vertex);
  }
  group.segments = {{0, 1}, {1, 2}, {2, 3}, {3, 0}};
  return {group};
}

std::vector<cliio::CImportedMesh> SquareMesh() {
  cliio::CImportedMesh mesh;
  mesh.name = "square";
  const auto wires = Square();
  for (const auto& vertex : wires[0].vertices) {
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

TEST(Preview, PngIsAnImageWithTheWiresOnWhite) {
  CScratchFolder folder;
  const auto file = folder.path() / "preview.png";
  std::string error;
  ASSERT_TRUE(cliio::WritePreview(file, Square(), SquareMesh(), &error)) << error;
  EXPECT_EQ(ReadAll(file).substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  cairo_surface_t* image = cairo_image_surface_create_from_png(file.c_str());
  ASSERT_EQ(cairo_surface_status(image), CAIRO_STATUS_SUCCESS);
  EXPECT_EQ(cairo_image_surface_get_width(image), cliio::kPreviewWidth);
  EXPECT_EQ(cairo_image_surface_get_height(image), cliio::kPreviewHeight);
  cairo_surface_flush(image);
  const unsigned char* data = cairo_image_surface_get_data(image);
  const int stride = cairo_image_surface_get_stride(image);
  size_t white = 0, strong = 0;
  for (int y = 0; y < cliio::kPreviewHeight; ++y)
    for (int x = 0; x < cliio::kPreviewWidth; ++x) {
      uint32_t pixel;
      memcpy(&pixel, data + y * stride + 4 * x, 4);
      const int red = (pixel >> 16) & 0xFF, green = (pixel >> 8) & 0xFF, blue = pixel & 0xFF;
      if (red == 255 && green == 255 && blue == 255) ++white;
      if (red > 150 && green < 80 && blue < 80) ++strong;  // the first group's colour
    }
  cairo_surface_destroy(image);
  EXPECT_GT(white, 400000u);
  EXPECT_GT(strong, 500u);  // a fitted square's outline is over a thousand pixels long
}

TEST(Preview, SvgAndErrors) {
  CScratchFolder folder;
  std::string error;
  const auto svg = folder.path() / "preview.SVG";
  ASSERT_TRUE(cliio::WritePreview(svg, Square(), {}, &error)) << error;
  const std::string text = ReadAll(svg);
  EXPECT_EQ(text.rfind("<?xml", 0), 0u);
  EXPECT_NE(text.find("<svg"), std::string::npos);
  EXPECT_NE(text.find("</svg>"), std::string::npos);
  EXPECT_TRUE(cliio::WritePreview(folder.path() / "empty.png", {}, {}, &error)) << error;

  const auto jpeg = folder.path() / "preview.jpg";
  EXPECT_FALSE(cliio::WritePreview(jpeg, Square(), {}, &error));
  EXPECT_EQ(error, jpeg.string() + ": unknown preview format (use .png or .svg)");
  auto broken = Square();
  broken[0].segments.push_back({0, 4});
  EXPECT_FALSE(cliio::WritePreview(folder.path() / "broken.png", broken, {}, &error));
  EXPECT_NE(error.find("segment 4 names a vertex outside its 4"), std::string::npos) << error;
  EXPECT_FALSE(cliio::WritePreview(folder.path() / "missing" / "p.png", Square(), {}, &error));
  EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"empty.png", "preview.SVG"}));
}

}  // namespace
