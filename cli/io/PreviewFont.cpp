#include "cli/io/PreviewFont.h"

#if __has_include(<cairo-ft.h>)
#include <cairo-ft.h>
#endif

#include <map>
#include <mutex>

namespace cliio {

namespace {

#if defined(CAIRO_HAS_FT_FONT)
// A face per file, made once and kept for the process (cairo keeps faces it
// has drawn with in its caches anyway); nullptr for a file that did not load,
// so it is not tried again.
cairo_font_face_t* FaceFromFile(const std::string& file) {
  static std::mutex guard;
  static FT_Library library = nullptr;
  static bool libraryFailed = false;
  static std::map<std::string, cairo_font_face_t*> faces;
  std::lock_guard<std::mutex> lock(guard);
  const auto known = faces.find(file);
  if (known != faces.end()) return known->second;
  if (!library && !libraryFailed) libraryFailed = FT_Init_FreeType(&library) != 0;
  cairo_font_face_t* made = nullptr;
  FT_Face face = nullptr;
  if (library && FT_New_Face(library, file.c_str(), 0, &face) == 0) {
    made = cairo_ft_font_face_create_for_ft_face(face, 0);
    if (cairo_font_face_status(made) != CAIRO_STATUS_SUCCESS) {
      cairo_font_face_destroy(made);
      FT_Done_Face(face);
      made = nullptr;
    }
  }
  faces.emplace(file, made);
  return made;
}
#endif

}  // namespace

const std::vector<std::string>& PreviewFontFiles() {
  // Where the distributions put the face their configuration gives for
  // "sans-serif" when nothing else is installed.
  static const std::vector<std::string> kFiles = {
      "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
      "/usr/share/fonts/TTF/DejaVuSans.ttf",
      "/usr/share/fonts/dejavu/DejaVuSans.ttf",
      "/usr/share/fonts/dejavu-sans-fonts/DejaVuSans.ttf",
  };
  return kFiles;
}

bool SelectPreviewFont(cairo_t* cairo, const std::vector<std::string>& files) {
#if defined(CAIRO_HAS_FT_FONT)
  for (const std::string& file : files) {
    cairo_font_face_t* face = FaceFromFile(file);
    if (!face) continue;
    cairo_set_font_face(cairo, face);
    // What the stock configuration gives the face through the lookup:
    // greyscale antialiasing, slight hinting.
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
    cairo_set_font_options(cairo, options);
    cairo_font_options_destroy(options);
    return true;
  }
#else
  (void)files;
#endif
  cairo_select_font_face(cairo, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  return false;
}

}  // namespace cliio
