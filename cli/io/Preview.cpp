// The still preview's shared parts and the PNG. The PNG is painted in two
// passes: straight into the image's pixels (PreviewRaster.h) a light tint
// where the mesh is, then every wire segment from the farthest to the nearest,
// nearer ones wider and in fuller colour; then cairo sets the header line and
// the legend over it. Linear in facets and segments apart from one sort of the
// segments by depth.
#include "cli/io/Preview.h"

#include <cairo.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>

#include "cli/io/AtomicFile.h"
#include "cli/io/GroupColors.h"
#include "cli/io/PreviewFont.h"
#include "cli/io/PreviewRaster.h"
#include "cli/io/PreviewScene.h"
#include "cli/io/ScratchBuffer.h"

// The text of the pictures goes through cairo's fonts and so fontconfig, whose
// process-wide caches are never freed: the leak checker of the sanitizer
// builds is told to pass over them (a hook it looks up by name; other builds
// never call it), and not to list what it passed over on standard error.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }

namespace cliio {

namespace {

constexpr double kMargin = 30;
constexpr struct {
  PreviewView view;
  const char* name;
} kViewNames[] = {{PreviewView::kIso, "iso"},   {PreviewView::kFront, "front"}, {PreviewView::kBack, "back"},
                  {PreviewView::kLeft, "left"}, {PreviewView::kRight, "right"}, {PreviewView::kTop, "top"},
                  {PreviewView::kBottom, "bottom"}};

// The shortest text that reads back as the same float: 0.3f is "0.3".
std::string Number(float value) {
  char text[32];
  auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

// A byte sequence's length if it starts a valid UTF-8 character, else 0.
size_t Utf8Length(const std::string& text, size_t at) {
  const unsigned char lead = static_cast<unsigned char>(text[at]);
  size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3
                                 : lead >= 0xF0 && lead < 0xF5   ? 4 : 0;
  if (length == 0 || at + length > text.size()) return 0;
  for (size_t i = 1; i < length; ++i)
    if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) return 0;
  const unsigned char second = static_cast<unsigned char>(text[at + 1 < text.size() ? at + 1 : at]);
  if (lead == 0xE0 && second < 0xA0) return 0;   // overlong
  if (lead == 0xED && second >= 0xA0) return 0;  // surrogates
  if (lead == 0xF0 && second < 0x90) return 0;   // overlong
  if (lead == 0xF4 && second >= 0x90) return 0;  // past U+10FFFF
  return length;
}

CPaint ToRgb(const CGroupColor& colour) { return {colour.red / 255.0, colour.green / 255.0, colour.blue / 255.0}; }

// The longest start of `text` (whole characters) that fits `width` at the
// cairo context's font, with an ellipsis when cut.
std::string Fit(cairo_t* cairo, const std::string& text, double width) {
  cairo_text_extents_t extents;
  cairo_text_extents(cairo, text.c_str(), &extents);
  if (extents.x_advance <= width) return text;
  std::string cut = text;
  while (!cut.empty()) {
    size_t end = cut.size() - 1;
    while (end > 0 && (static_cast<unsigned char>(cut[end]) & 0xC0) == 0x80) --end;
    cut.resize(end);
    const std::string candidate = cut + "\xE2\x80\xA6";
    cairo_text_extents(cairo, candidate.c_str(), &extents);
    if (extents.x_advance <= width) return candidate;
  }
  return "";
}

void DrawWires(unsigned char* pixels, int stride, const CWireSources& wires,
               const std::vector<CImportedMesh>& meshes, const CPreviewOptions& options) {
  CStopCheck stop(options.stop);
  CViewFit fit(options.view);
  for (const CImportedMesh& mesh : meshes)
    for (size_t v = 0; v < CMeshView(mesh).VertexCount() && !stop(); ++v) {
      double position[3];
      CMeshView(mesh).Position(v, position);
      fit.Include(position, false);
    }
  IncludeWires(wires, &fit, options.stop);
  fit.Settle(kPreviewWidth, kPreviewHeight, kMargin);

  CRaster raster(pixels, stride, 0, kPreviewHeaderHeight, kPreviewWidth, kPreviewHeight);
  raster.Fill({1, 1, 1});
  // The mesh: a light tint where any of its facets lies (each pixel tinted
  // once, so layers of surface do not darken into a blot), lines faintly.
  const CPaint meshColour{0.55, 0.58, 0.66};
  std::vector<double> placed;
  for (const CImportedMesh& imported : meshes) {
    const CMeshView mesh(imported);
    // Every entry is set below: only the growth is cleared.
    placed.resize(mesh.VertexCount() * 2);
    for (size_t v = 0; v < mesh.VertexCount() && !stop(); ++v) {
      double position[3];
      mesh.Position(v, position);
      fit.Place(position, &placed[2 * v], &placed[2 * v + 1]);
    }
    const int32_t count = static_cast<int32_t>(mesh.VertexCount());
    auto x = [&](int32_t corner) { return placed[2 * size_t(corner)]; };
    auto y = [&](int32_t corner) { return placed[2 * size_t(corner) + 1] + kPreviewHeaderHeight; };
    for (size_t f = 0; f < mesh.FacetCount() && !stop(); ++f) {
      const CImportedFacet facet = mesh.Facet(f);
      if (facet.count < 2 || facet.count > 4) continue;
      bool inRange = true;
      for (int32_t i = 0; i < facet.count; ++i) inRange = inRange && facet.corners[i] >= 0 && facet.corners[i] < count;
      if (!inRange) continue;
      const int32_t* c = facet.corners;
      if (facet.count == 2) {
        raster.Line(x(c[0]), y(c[0]), x(c[1]), y(c[1]), 1.0, meshColour, 0.3);
        continue;
      }
      raster.Cover(x(c[0]), y(c[0]), x(c[1]), y(c[1]), x(c[2]), y(c[2]));
      if (facet.count == 4) raster.Cover(x(c[0]), y(c[0]), x(c[2]), y(c[2]), x(c[3]), y(c[3]));
    }
  }
  raster.Tint(meshColour, 0.22);
  // The wires, far to near, nearer ones wider and in fuller colour.
  std::vector<CPaint> colours;
  for (size_t g = 0; g < wires.size(); ++g) colours.push_back(ToRgb(GroupColor(g)));
  for (const CDepthSegment& segment : SegmentsFarToNear(wires, fit, options.stop)) {
    if (stop()) break;
    const double strength = 0.3 + 0.7 * segment.nearness;
    const CPaint& full = colours[segment.group];
    const CPaint colour{1 + (full.red - 1) * strength, 1 + (full.green - 1) * strength, 1 + (full.blue - 1) * strength};
    raster.Line(segment.x0, segment.y0 + kPreviewHeaderHeight, segment.x1, segment.y1 + kPreviewHeaderHeight,
                0.8 + 0.8 * segment.nearness, colour, 1.0);
  }
}

void DrawText(cairo_t* cairo, const CWireSources& wires, const CPreviewOptions& options,
              const CPreviewLayout& layout) {
  SelectPreviewFont(cairo);
  // The header band.
  cairo_set_source_rgb(cairo, 0.94, 0.94, 0.95);
  cairo_rectangle(cairo, 0, 0, layout.width, kPreviewHeaderHeight);
  cairo_fill(cairo);
  cairo_set_source_rgb(cairo, 0.1, 0.1, 0.12);
  cairo_set_font_size(cairo, 13);
  cairo_move_to(cairo, 10, 20);
  cairo_show_text(cairo, Fit(cairo, CleanText(PreviewHeader(options.caption, wires)), layout.width - 20).c_str());
  // The view's name, bottom left.
  cairo_set_font_size(cairo, 11);
  cairo_set_source_rgb(cairo, 0.45, 0.45, 0.5);
  cairo_move_to(cairo, 10, layout.height - 10);
  cairo_show_text(cairo, (std::string("view: ") + PreviewViewName(options.view)).c_str());
  // The legend.
  const double textWidth = kLegendColumnWidth - kLegendSwatch - 18;
  if (!wires.empty()) {
    cairo_set_source_rgb(cairo, 0.85, 0.85, 0.87);
    cairo_rectangle(cairo, kPreviewWidth, kPreviewHeaderHeight, 1, kPreviewHeight);
    cairo_fill(cairo);
  }
  if (layout.noteRow) {
    cairo_set_source_rgb(cairo, 0.45, 0.1, 0.1);
    cairo_move_to(cairo, kPreviewWidth + 10, kPreviewHeaderHeight + 8 + 12);
    cairo_show_text(cairo, Fit(cairo, LegendNote(wires.size()), kLegendColumnWidth - 14).c_str());
  }
  for (size_t g = 0; g < layout.rows.size(); ++g) {
    const CLegendRow& row = layout.rows[g];
    const CGroupColor colour = GroupColor(g);
    cairo_set_source_rgb(cairo, colour.red / 255.0, colour.green / 255.0, colour.blue / 255.0);
    cairo_rectangle(cairo, row.x, row.y + 3, kLegendSwatch, kLegendSwatch);
    cairo_fill(cairo);
    cairo_set_source_rgb(cairo, 0.1, 0.1, 0.12);
    cairo_move_to(cairo, row.x + kLegendSwatch + 6, row.y + 12);
    cairo_show_text(cairo, Fit(cairo, CleanText(wires[g]->Name()), textWidth).c_str());
  }
  if (layout.unlisted > 0) {
    cairo_set_source_rgb(cairo, 0.45, 0.45, 0.5);
    cairo_move_to(cairo, layout.moreRow.x, layout.moreRow.y + 12);
    cairo_show_text(cairo, UnlistedRow(layout.unlisted).c_str());
  }
}

// The image as PNG, through libpng with fast settings: cairo's own writer
// compresses harder, which took about as long as drawing every wire while
// making the file only a little smaller.
struct CPngOutput {
  std::string* bytes;
};

// Called from libpng's C code, which no exception may cross: memory running
// out becomes libpng's own error.
void AppendPngData(png_structp png, png_bytep data, png_size_t length) {
  bool appended = true;
  try {
    static_cast<CPngOutput*>(png_get_io_ptr(png))->bytes->append(reinterpret_cast<const char*>(data), length);
  } catch (const std::bad_alloc&) {
    appended = false;
  }
  if (!appended) png_error(png, "out of memory");
}

void FlushPng(png_structp) {}

bool EncodePng(cairo_surface_t* surface, std::string* bytes, std::string* failure) {
  const int width = cairo_image_surface_get_width(surface), height = cairo_image_surface_get_height(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  const unsigned char* pixels = cairo_image_surface_get_data(surface);
  std::vector<png_byte> row(size_t(width) * 3);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info) {
    png_destroy_write_struct(&png, nullptr);
    *failure = "out of memory";
    return false;
  }
  CPngOutput output{bytes};
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    *failure = "the PNG encoder failed";
    return false;
  }
  png_set_write_fn(png, &output, AppendPngData, FlushPng);
  png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  // Rows filtered against the row above, run-length coded: the white and the
  // tint are long runs of zeros then, and zlib's fastest mode finds them.
  png_set_compression_level(png, 1);
  png_set_compression_strategy(png, Z_RLE);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) {
    const unsigned char* source = pixels + std::ptrdiff_t(y) * stride;
    for (int x = 0; x < width; ++x) {
      uint32_t pixel;
      std::memcpy(&pixel, source + 4 * x, 4);
      row[3 * size_t(x)] = png_byte(pixel >> 16);
      row[3 * size_t(x) + 1] = png_byte(pixel >> 8);
      row[3 * size_t(x) + 2] = png_byte(pixel);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

bool RenderPng(const CWireSources& wires, const std::vector<CImportedMesh>& meshes,
               const CPreviewOptions& options, std::string* bytes, std::string* failure) {
  const CPreviewLayout layout = LayoutPreview(wires.size());
  // The pixels are a scratch buffer (ScratchBuffer.h): cairo's own are a
  // new mapping, touched a small page at a time. Released however the drawing
  // ends, also by memory running out in it, the surface first.
  const int stride = cairo_format_stride_for_width(CAIRO_FORMAT_RGB24, layout.width);
  if (stride <= 0) {
    *failure = cairo_status_to_string(CAIRO_STATUS_INVALID_STRIDE);
    return false;
  }
  CScratchVector<unsigned char> pixels(size_t(stride) * size_t(layout.height));
  std::unique_ptr<cairo_surface_t, void (*)(cairo_surface_t*)> surface(
      cairo_image_surface_create_for_data(pixels.data(), CAIRO_FORMAT_RGB24, layout.width, layout.height, stride),
      cairo_surface_destroy);
  cairo_status_t status = cairo_surface_status(surface.get());
  if (status == CAIRO_STATUS_SUCCESS) {
    std::unique_ptr<cairo_t, void (*)(cairo_t*)> cairo(cairo_create(surface.get()), cairo_destroy);
    cairo_set_source_rgb(cairo.get(), 1, 1, 1);
    cairo_paint(cairo.get());
    cairo_surface_flush(surface.get());
    DrawWires(cairo_image_surface_get_data(surface.get()), cairo_image_surface_get_stride(surface.get()), wires,
              meshes, options);
    cairo_surface_mark_dirty(surface.get());
    DrawText(cairo.get(), wires, options, layout);
    status = cairo_status(cairo.get());
  }
  if (status != CAIRO_STATUS_SUCCESS) {
    *failure = cairo_status_to_string(status);
    return false;
  }
  cairo_surface_flush(surface.get());
  return EncodePng(surface.get(), bytes, failure);
}

}  // namespace

bool ParsePreviewView(const std::string& text, PreviewView* view) {
  for (const auto& entry : kViewNames)
    if (text == entry.name) {
      *view = entry.view;
      return true;
    }
  return false;
}

const char* PreviewViewName(PreviewView view) {
  for (const auto& entry : kViewNames)
    if (entry.view == view) return entry.name;
  return "iso";
}

const CProjection& ProjectionFor(PreviewView view) {
  static const double kThird = 1 / std::sqrt(3.0), kHalf = 1 / std::sqrt(2.0), kSixth = 1 / std::sqrt(6.0);
  static const CProjection kIso{{kHalf, 0, -kHalf}, {-kSixth, 2 * kSixth, -kSixth}, {kThird, kThird, kThird}};
  static const CProjection kFront{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  static const CProjection kBack{{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}};
  static const CProjection kLeft{{0, 0, 1}, {0, 1, 0}, {-1, 0, 0}};
  static const CProjection kRight{{0, 0, -1}, {0, 1, 0}, {1, 0, 0}};
  static const CProjection kTop{{1, 0, 0}, {0, 0, -1}, {0, 1, 0}};
  static const CProjection kBottom{{1, 0, 0}, {0, 0, 1}, {0, -1, 0}};
  switch (view) {
    case PreviewView::kFront: return kFront;
    case PreviewView::kBack: return kBack;
    case PreviewView::kLeft: return kLeft;
    case PreviewView::kRight: return kRight;
    case PreviewView::kTop: return kTop;
    case PreviewView::kBottom: return kBottom;
    case PreviewView::kIso: break;
  }
  return kIso;
}

void CViewFit::Settle(double width, double height, double margin) {
  mWidth = width;
  mHeight = height;
  if (!mAny) return;
  const double spanX = mHighX - mLowX, spanY = mHighY - mLowY;
  const double room = std::min((width - 2 * margin) / std::max(spanX, 1e-300), (height - 2 * margin) / std::max(spanY, 1e-300));
  mScale = (spanX > 0 || spanY > 0) && std::isfinite(room) ? room : 1.0;
  mCentreX = mLowX / 2 + mHighX / 2;
  mCentreY = mLowY / 2 + mHighY / 2;
}

void IncludeWires(const CWireSources& wires, CViewFit* fit, const std::atomic<bool>* stop) {
  // Into a copy of the fit no one else sees, so that its bounds can stay in
  // registers from vertex to vertex rather than go through memory.
  CViewFit local = *fit;
  for (const CWireSource* group : wires) {
    if (stop && stop->load(std::memory_order_relaxed)) break;
    ForEachPosition(*group, [&local](size_t, const double* position) { local.Include(position, true); });
  }
  *fit = local;
}

CDepthOrder SegmentsFarToNear(const CWireSources& wires, const CViewFit& fit, const std::atomic<bool>* stop) {
  auto stopped = [stop] { return stop && stop->load(std::memory_order_relaxed); };
  // A counting sort on the nearness in 4096 steps: linear, and finer than
  // any difference the picture can show. Equal steps keep their order. The
  // first pass counts, the second writes each segment straight into its place;
  // each reads a group's vertices once, a run at a time, and keeps only that
  // group's nearness (and, in the second, places).
  constexpr size_t kSteps = 4096;
  auto stepOf = [](float depth) { return std::min(kSteps - 1, size_t(std::max(0.0f, depth) * float(kSteps))); };
  std::vector<float> closeness;
  std::vector<size_t> start(kSteps + 1, 0);
  size_t segmentCount = 0, mostVertices = 0;
  for (const CWireSource* group : wires) mostVertices = std::max(mostVertices, group->VertexCount());
  closeness.reserve(mostVertices);
  for (const CWireSource* group : wires) {
    if (stopped()) return {};
    closeness.resize(group->VertexCount());
    ForEachPosition(*group, [&](size_t v, const double* position) { closeness[v] = float(fit.Nearness(position)); });
    segmentCount += group->SegmentCount();
    ForEachSegmentEnds(*group, [&](size_t, int32_t a, int32_t b) {
      const size_t step = stepOf((closeness[size_t(a)] + closeness[size_t(b)]) / 2);
      ++start[step + 1];
    });
  }
  for (size_t i = 1; i <= kSteps; ++i) start[i] += start[i - 1];
  CDepthOrder sorted(segmentCount);
  std::vector<float> placed;
  placed.reserve(2 * mostVertices);
  for (size_t g = 0; g < wires.size(); ++g) {
    if (stopped()) return {};  // not every segment placed
    const CWireSource& group = *wires[g];
    closeness.resize(group.VertexCount());
    placed.resize(group.VertexCount() * 2);
    ForEachPosition(group, [&](size_t v, const double* position) {
      closeness[v] = float(fit.Nearness(position));
      double x, y;
      // Every wire point was fitted into the picture; one that still lands
      // far off it (only the non-finite do) is left out.
      const bool placeable = fit.Place(position, &x, &y) && std::fabs(x) < 1e9 && std::fabs(y) < 1e9;
      placed[2 * v] = placeable ? float(x) : NAN;
      placed[2 * v + 1] = placeable ? float(y) : NAN;
    });
    ForEachSegmentEnds(group, [&](size_t, int32_t from, int32_t to) {
      const size_t a = size_t(from), b = size_t(to);
      const float depth = (closeness[a] + closeness[b]) / 2;
      const size_t step = stepOf(depth);
      const size_t at = start[step]++;
      // The step's next lines are asked for ahead of its next segments:
      // the order is new memory, and its lines are written a few at a time
      // at thousands of places.
      __builtin_prefetch(sorted.data() + std::min(at + 8, segmentCount - 1), 1);
      sorted[at] = {placed[2 * a], placed[2 * a + 1], placed[2 * b], placed[2 * b + 1], depth, uint32_t(g)};
    });
  }
  return sorted;
}

CDepthOrder SegmentsFarToNear(const std::vector<CWireGroup>& wires, const CViewFit& fit) {
  std::vector<CWireGroupSource> views;
  return SegmentsFarToNear(SourcesOf(wires, &views), fit);
}

std::string CleanText(const std::string& text) {
  std::string clean;
  clean.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    const size_t length = Utf8Length(text, at);
    if (length == 0) {
      clean += '?';
      ++at;
      continue;
    }
    const unsigned char c = static_cast<unsigned char>(text[at]);
    if (length == 1 && (c < 0x20 || c == 0x7F))
      clean += ' ';
    else
      clean.append(text, at, length);
    at += length;
  }
  return clean;
}

std::string EscapeMarkup(const std::string& text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': escaped += "&amp;"; break;
      case '<': escaped += "&lt;"; break;
      case '>': escaped += "&gt;"; break;
      case '"': escaped += "&quot;"; break;
      case '\'': escaped += "&#39;"; break;
      default: escaped += c;
    }
  }
  return escaped;
}

std::string PreviewHeader(const CPreviewCaption& caption, const std::vector<CWireGroup>& wires) {
  std::vector<CWireGroupSource> views;
  return PreviewHeader(caption, SourcesOf(wires, &views));
}

std::string PreviewHeader(const CPreviewCaption& caption, const CWireSources& wires) {
  size_t polylines = caption.wires, segments = caption.segments;
  if (!caption.hasCounts) {
    polylines = segments = 0;
    for (const CWireSource* group : wires) {
      polylines += CountPolylines(*group);
      segments += group->SegmentCount();
    }
  }
  const char* dot = " \xC2\xB7 ";
  std::string header = caption.source.empty() ? "wires" : caption.source;
  if (caption.hasFrame) header += dot + std::string("frame ") + std::to_string(caption.frame);
  if (caption.hasSettings) {
    header += dot + std::string("mode ") + std::to_string(caption.mode);
    header += dot + std::string("push ") + Number(caption.push);
    header += dot + std::string("scale ") + Number(caption.scale);
    if (!caption.selection.empty()) header += dot + std::string("select ") + caption.selection;
  }
  header += dot + std::to_string(polylines) + (polylines == 1 ? " wire" : " wires");
  header += dot + std::to_string(segments) + (segments == 1 ? " segment" : " segments");
  return header;
}

std::string LegendNote(size_t groupCount) {
  if (groupCount <= kDistinctGroupColors) return "";
  return "groups " + std::to_string(kDistinctGroupColors) + " apart share a colour";
}

std::string UnlistedRow(size_t unlisted) {
  return "\xE2\x80\xA6 and " + std::to_string(unlisted) + " more group" + (unlisted == 1 ? "" : "s");
}

CPreviewLayout LayoutPreview(size_t groupCount) {
  CPreviewLayout layout;
  if (groupCount == 0) return layout;
  layout.noteRow = !LegendNote(groupCount).empty();
  const int top = kPreviewHeaderHeight + 8;
  const size_t perColumn = size_t((kPreviewHeight - 16) / kLegendRowHeight);
  size_t slots = kLegendMaxColumns * perColumn - (layout.noteRow ? 1 : 0);
  if (groupCount > slots) --slots;  // room for the "and N more" row
  const size_t listed = std::min(groupCount, slots);
  layout.unlisted = groupCount - listed;
  size_t slot = layout.noteRow ? 1 : 0;
  auto place = [&](size_t at) {
    return CLegendRow{kPreviewWidth + 10 + int(at / perColumn) * kLegendColumnWidth,
                      top + int(at % perColumn) * kLegendRowHeight};
  };
  for (size_t g = 0; g < listed; ++g, ++slot) layout.rows.push_back(place(slot));
  if (layout.unlisted) layout.moreRow = place(slot);
  const size_t columns = (slot + (layout.unlisted ? 1 : 0) + perColumn - 1) / perColumn;
  layout.width = kPreviewWidth + int(columns) * kLegendColumnWidth;
  return layout;
}

bool WritePreview(const std::filesystem::path& file, const std::vector<CWireGroup>& wires,
                  const std::vector<CImportedMesh>& meshes, const CPreviewOptions& options, std::string* error) {
  std::vector<CWireGroupSource> views;
  return WritePreview(file, SourcesOf(wires, &views), meshes, options, error);
}

bool WritePreview(const std::filesystem::path& file, const CWireSources& wires,
                  const std::vector<CImportedMesh>& meshes, const CPreviewOptions& options, std::string* error) {
  std::string bytes;
  return RenderPreview(file, wires, meshes, options, &bytes, error) && WriteFileAtomically(file, bytes, error);
}

bool RenderPreview(const std::filesystem::path& file, const CWireSources& wires,
                   const std::vector<CImportedMesh>& meshes, const CPreviewOptions& options, std::string* bytes,
                   std::string* error) {
  std::string extension = file.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (extension != ".png" && extension != ".svg" && extension != ".html") {
    *error = file.string() + ": unknown preview format (use .png, .svg or .html)";
    return false;
  }
  std::string detail;
  if (!options.wiresChecked && !CheckWireGroups(wires, &detail)) {
    *error = file.string() + ": not drawn: " + detail;
    return false;
  }
  if (extension == ".svg") {
    *bytes = RenderSvg(wires, meshes, options);
  } else if (extension == ".html") {
    *bytes = RenderPage(wires, meshes, options);
  } else if (!RenderPng(wires, meshes, options, bytes, &detail)) {
    *error = file.string() + ": the preview could not be drawn (" + detail + ")";
    return false;
  }
  // What a stopped drawing made is a part of the picture at most.
  if (options.stop && options.stop->load()) {
    bytes->clear();
    *error = file.string() + ": not drawn: the drawing was stopped";
    return false;
  }
  return true;
}

}  // namespace cliio
