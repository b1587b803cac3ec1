// Renders wires and meshes with cairo in an orthographic three-quarter view:
// turned 30 degrees about the vertical (y) axis and seen from 25 degrees above
// (the camera looks along -z before turning), fitted to the projected bounds with a margin on a white 800x600
// image. Meshes are faint grey outlines under the wires, one colour per group.
// Linear in the number of facets and segments.
#include "cli/io/Preview.h"

#include <cairo-svg.h>
#include <cairo.h>

#include <algorithm>
#include <cctype>
#include <cmath>

#include "cli/io/AtomicFile.h"

namespace cliio {

namespace {

constexpr double kMargin = 40;
constexpr double kTurn = 30.0 * M_PI / 180.0;
constexpr double kTilt = 25.0 * M_PI / 180.0;

struct CScreenPoint {
  double x, y;
};

// Screen coordinates with y pointing up; false for a non-finite point.
bool Project(const double position[3], CScreenPoint* point) {
  const double x = position[0] * std::cos(kTurn) + position[2] * std::sin(kTurn);
  const double depth = -position[0] * std::sin(kTurn) + position[2] * std::cos(kTurn);
  const double y = position[1] * std::cos(kTilt) - depth * std::sin(kTilt);
  point->x = x;
  point->y = y;
  return std::isfinite(x) && std::isfinite(y);
}

class CFit {
 public:
  void Include(const double position[3]) {
    CScreenPoint point;
    if (!Project(position, &point)) return;
    mLow.x = std::min(mLow.x, point.x);
    mLow.y = std::min(mLow.y, point.y);
    mHigh.x = std::max(mHigh.x, point.x);
    mHigh.y = std::max(mHigh.y, point.y);
    mAny = true;
  }

  void Settle() {
    if (!mAny) return;
    const double width = mHigh.x - mLow.x, height = mHigh.y - mLow.y;
    const double room = std::min((kPreviewWidth - 2 * kMargin) / std::max(width, 1e-300),
                                 (kPreviewHeight - 2 * kMargin) / std::max(height, 1e-300));
    mScale = (width > 0 || height > 0) && std::isfinite(room) ? room : 1.0;
    mCentre = {(mLow.x + mHigh.x) / 2, (mLow.y + mHigh.y) / 2};
  }

  bool Place(const double position[3], CScreenPoint* pixel) const {
    CScreenPoint point;
    if (!Project(position, &point)) return false;
    pixel->x = kPreviewWidth / 2.0 + (point.x - mCentre.x) * mScale;
    pixel->y = kPreviewHeight / 2.0 - (point.y - mCentre.y) * mScale;
    return std::isfinite(pixel->x) && std::isfinite(pixel->y);
  }

 private:
  bool mAny = false;
  CScreenPoint mLow{HUGE_VAL, HUGE_VAL}, mHigh{-HUGE_VAL, -HUGE_VAL};
  CScreenPoint mCentre{0, 0};
  double mScale = 1;
};

void Draw(cairo_t* cairo, const std::vector<CWireGroup>& wires, const std::vector<CImportedMesh>& meshes) {
  CFit fit;
  for (const CImportedMesh& mesh : meshes)
    for (size_t v = 0; v < mesh.VertexCount(); ++v) {
      double position[3];
      mesh.Position(v, position);
      fit.Include(position);
    }
  for (const CWireGroup& group : wires)
    for (const CWireVertex& vertex : group.vertices) fit.Include(vertex.position);
  fit.Settle();

  cairo_set_source_rgb(cairo, 1, 1, 1);
  cairo_paint(cairo);
  cairo_set_line_join(cairo, CAIRO_LINE_JOIN_ROUND);
  cairo_set_line_cap(cairo, CAIRO_LINE_CAP_ROUND);

  cairo_set_source_rgba(cairo, 0.35, 0.35, 0.4, 0.25);
  cairo_set_line_width(cairo, 0.7);
  for (const CImportedMesh& mesh : meshes) {
    const int32_t vertexCount = static_cast<int32_t>(mesh.VertexCount());
    for (size_t f = 0; f < mesh.FacetCount(); ++f) {
      const CImportedFacet facet = mesh.Facet(f);
      if (facet.count < 2 || facet.count > 4) continue;
      CScreenPoint corners[4];
      bool drawable = true;
      for (int32_t i = 0; i < facet.count && drawable; ++i) {
        double position[3];
        drawable = facet.corners[i] >= 0 && facet.corners[i] < vertexCount;
        if (drawable) mesh.Position(size_t(facet.corners[i]), position);
        drawable = drawable && fit.Place(position, &corners[i]);
      }
      if (!drawable) continue;
      cairo_move_to(cairo, corners[0].x, corners[0].y);
      for (int32_t i = 1; i < facet.count; ++i) cairo_line_to(cairo, corners[i].x, corners[i].y);
      if (facet.count > 2) cairo_close_path(cairo);
    }
    cairo_stroke(cairo);
  }

  static const double kPalette[][3] = {{0.80, 0.10, 0.10}, {0.05, 0.35, 0.80}, {0.05, 0.55, 0.20},
                                       {0.60, 0.20, 0.70}, {0.85, 0.45, 0.00}, {0.00, 0.50, 0.55}};
  cairo_set_line_width(cairo, 1.6);
  for (size_t g = 0; g < wires.size(); ++g) {
    const double* colour = kPalette[g % (sizeof kPalette / sizeof kPalette[0])];
    cairo_set_source_rgb(cairo, colour[0], colour[1], colour[2]);
    const CWireGroup& group = wires[g];
    for (const std::vector<int32_t>& polyline : JoinPolylines(group.segments)) {
      bool drawing = false;
      for (int32_t index : polyline) {
        CScreenPoint pixel;
        if (!fit.Place(group.vertices[index].position, &pixel)) {
          drawing = false;
          continue;
        }
        if (drawing)
          cairo_line_to(cairo, pixel.x, pixel.y);
        else
          cairo_move_to(cairo, pixel.x, pixel.y);
        drawing = true;
      }
    }
    cairo_stroke(cairo);
  }
}

cairo_status_t AppendToString(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

}  // namespace

bool WritePreview(const std::filesystem::path& file, const std::vector<CWireGroup>& wires,
                  const std::vector<CImportedMesh>& meshes, std::string* error) {
  std::string extension = file.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (extension != ".png" && extension != ".svg") {
    *error = file.string() + ": unknown preview format (use .png or .svg)";
    return false;
  }
  std::string detail;
  if (!CheckWireGroups(wires, &detail)) {
    *error = file.string() + ": not drawn: " + detail;
    return false;
  }
  std::string bytes;
  cairo_surface_t* surface =
      extension == ".png"
          ? cairo_image_surface_create(CAIRO_FORMAT_RGB24, kPreviewWidth, kPreviewHeight)
          : cairo_svg_surface_create_for_stream(AppendToString, &bytes, kPreviewWidth, kPreviewHeight);
  cairo_t* cairo = cairo_create(surface);
  Draw(cairo, wires, meshes);
  cairo_status_t status = cairo_status(cairo);
  cairo_destroy(cairo);
  if (status == CAIRO_STATUS_SUCCESS && extension == ".png")
    status = cairo_surface_write_to_png_stream(surface, AppendToString, &bytes);
  cairo_surface_finish(surface);
  if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_status(surface);
  cairo_surface_destroy(surface);
  if (status != CAIRO_STATUS_SUCCESS) {
    *error = file.string() + ": the preview could not be drawn (" + cairo_status_to_string(status) + ")";
    return false;
  }
  return WriteFileAtomically(file, bytes, error);
}

}  // namespace cliio
