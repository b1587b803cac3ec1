#include "cli/io/PreviewFont.h"

#include <cairo-ft.h>
#include <cairo.h>
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "TestFiles.h"

namespace {

using CSurface = std::unique_ptr<cairo_surface_t, void (*)(cairo_surface_t*)>;
using CContext = std::unique_ptr<cairo_t, void (*)(cairo_t*)>;

// The preview's two text sizes set on white, the way its header and legend
// are; `select` sets the face.
template <typename Select>
std::vector<unsigned char> SetText(Select select) {
  CSurface surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, 320, 40), cairo_surface_destroy);
  CContext cairo(cairo_create(surface.get()), cairo_destroy);
  cairo_set_source_rgb(cairo.get(), 1, 1, 1);
  cairo_paint(cairo.get());
  select(cairo.get());
  cairo_set_source_rgb(cairo.get(), 0.1, 0.1, 0.12);
  cairo_set_font_size(cairo.get(), 13);
  cairo_move_to(cairo.get(), 4, 16);
  cairo_show_text(cairo.get(), "part.obj \xC2\xB7 mode 2 \xC2\xB7 12 wires");
  cairo_set_font_size(cairo.get(), 11);
  cairo_move_to(cairo.get(), 4, 34);
  cairo_show_text(cairo.get(), "\xE2\x80\xA6 and 7 more groups Wg");
  EXPECT_EQ(cairo_status(cairo.get()), CAIRO_STATUS_SUCCESS);
  cairo_surface_flush(surface.get());
  const unsigned char* data = cairo_image_surface_get_data(surface.get());
  return {data, data + size_t(cairo_image_surface_get_stride(surface.get())) * 40};
}

size_t DarkPixels(const std::vector<unsigned char>& pixels) {
  size_t dark = 0;
  for (size_t at = 0; at + 4 <= pixels.size(); at += 4) dark += pixels[at] < 128 && pixels[at + 1] < 128;
  return dark;
}

void SelectByName(cairo_t* cairo) {
  cairo_select_font_face(cairo, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
}

// The family and style the name lookup gives, to know whether the files
// tried are what it would have chosen.
std::string LookedUpFace() {
  CSurface surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, 4, 4), cairo_surface_destroy);
  CContext cairo(cairo_create(surface.get()), cairo_destroy);
  SelectByName(cairo.get());
  cairo_scaled_font_t* font = cairo_get_scaled_font(cairo.get());
  FT_Face face = cairo_ft_scaled_font_lock_face(font);
  if (!face) return "";
  std::string name = std::string(face->family_name ? face->family_name : "") + " / " +
                     (face->style_name ? face->style_name : "");
  cairo_ft_scaled_font_unlock_face(font);
  return name;
}

TEST(PreviewFont, FileFaceSetsTheTextPixelForPixelAsTheLookupDoes) {
  bool present = false;
  for (const std::string& file : cliio::PreviewFontFiles()) present = present || std::ifstream(file).good();
  if (!present) GTEST_SKIP() << "none of the preview's font files is installed here";
  if (LookedUpFace() != "DejaVu Sans / Book")
    GTEST_SKIP() << "this machine's font configuration gives sans-serif as " << LookedUpFace();
  bool fromFile = false;
  const std::vector<unsigned char> direct = SetText([&](cairo_t* cairo) { fromFile = cliio::SelectPreviewFont(cairo); });
  EXPECT_TRUE(fromFile);
  const std::vector<unsigned char> lookedUp = SetText(SelectByName);
  EXPECT_GT(DarkPixels(direct), 100u);
  EXPECT_TRUE(direct == lookedUp) << "the file's face sets the text differently from the lookup";
  // Once loaded the face is kept: a second picture is set the same.
  EXPECT_TRUE(SetText([](cairo_t* cairo) { cliio::SelectPreviewFont(cairo); }) == direct);
}

TEST(PreviewFont, MissingOrBrokenFilesFallBackToTheLookupAndKeepTheText) {
  cliio_test::CScratchFolder folder;
  const std::string broken = (folder.path() / "broken.ttf").string();
  std::ofstream(broken) << "not a font at all";
  const std::string empty = (folder.path() / "empty.ttf").string();
  std::ofstream{empty};
  const std::vector<std::string> files = {(folder.path() / "absent.ttf").string(), broken, empty,
                                          folder.path().string()};
  bool fromFile = true;
  const std::vector<unsigned char> fallback =
      SetText([&](cairo_t* cairo) { fromFile = cliio::SelectPreviewFont(cairo, files); });
  EXPECT_FALSE(fromFile);
  EXPECT_GT(DarkPixels(fallback), 100u);
  EXPECT_TRUE(fallback == SetText(SelectByName));
  // No list at all is the same.
  fromFile = true;
  EXPECT_TRUE(SetText([&](cairo_t* cairo) { fromFile = cliio::SelectPreviewFont(cairo, {}); }) == fallback);
  EXPECT_FALSE(fromFile);
}

}  // namespace
