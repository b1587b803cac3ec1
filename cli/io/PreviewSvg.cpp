// The SVG picture: the same layout as the PNG, written as text. Each group is
// one <g> carrying the group's name (data-name and a <title>), holding up to
// three paths, one a depth band (nearer bands wider and in fuller colour), so
// the file is also a 2D curve export of the view. Coordinates are in tenths of
// a pixel, relative within a polyline, with repeated points left out; the mesh
// is drawn only while it is small.
#include <charconv>
#include <cmath>
#include <cstdio>

#include "cli/io/GroupColors.h"
#include "cli/io/PreviewScene.h"

namespace cliio {

namespace {

constexpr double kMargin = 30;
constexpr int kBands = 3;
// Past this many facet edges the mesh is left out of the SVG (and the picture
// says so): it would dwarf the wires in bytes.
constexpr size_t kSvgMeshEdgeLimit = 20000;

// `tenths` / 10 as short SVG number text: 15 -> "1.5", -3 -> "-.3", 20 -> "2".
void AppendTenths(std::string* out, long tenths, bool separate) {
  if (separate && tenths >= 0) *out += ' ';
  if (tenths < 0) {
    *out += '-';
    tenths = -tenths;
  }
  char digits[24];
  const long whole = tenths / 10, fraction = tenths % 10;
  if (whole != 0 || fraction == 0) {
    auto end = std::to_chars(digits, digits + sizeof digits, whole).ptr;
    out->append(digits, end);
  }
  if (fraction != 0) {
    *out += '.';
    *out += char('0' + fraction);
  }
}

std::string Hex(const CGroupColor& colour, double strength) {
  auto channel = [strength](uint8_t value) { return int(std::lround(255 + (value - 255) * strength)); };
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", channel(colour.red), channel(colour.green), channel(colour.blue));
  return text;
}

// One path's "d", built a point at a time.
class CPathText {
 public:
  void MoveTo(long x, long y) {
    mText += 'M';
    AppendTenths(&mText, x, false);
    AppendTenths(&mText, y, true);
    mX = x;
    mY = y;
  }
  void LineTo(long x, long y) {
    if (x == mX && y == mY) return;
    mText += 'l';
    AppendTenths(&mText, x - mX, false);
    AppendTenths(&mText, y - mY, true);
    mX = x;
    mY = y;
  }
  void Dot() { mText += "h0"; }  // a run that collapsed to one point still shows
  void Close(long x, long y) {  // back to the subpath's start (x, y)
    mText += 'z';
    mX = x;
    mY = y;
  }
  const std::string& Text() const { return mText; }

 private:
  std::string mText;
  long mX = 0, mY = 0;
};

}  // namespace

std::string RenderSvg(const CWireSources& wires, const std::vector<CImportedMesh>& meshes,
                      const CPreviewOptions& options) {
  const CPreviewLayout layout = LayoutPreview(wires.size());
  CStopCheck stop(options.stop);
  CViewFit fit(options.view);
  size_t meshEdges = 0;
  for (const CImportedMesh& imported : meshes) {
    const CMeshView mesh(imported);
    for (size_t v = 0; v < mesh.VertexCount() && !stop(); ++v) {
      double position[3];
      mesh.Position(v, position);
      fit.Include(position, false);
    }
    for (size_t f = 0; f < mesh.FacetCount() && !stop(); ++f) {
      const int32_t corners = mesh.Facet(f).count;
      meshEdges += corners == 2 ? 1 : corners > 2 && corners <= 4 ? size_t(corners) : 0;
    }
  }
  IncludeWires(wires, &fit, options.stop);
  fit.Settle(kPreviewWidth, kPreviewHeight, kMargin);
  auto tenths = [&fit](const double position[3], long* x, long* y) {
    double px, py;
    if (!fit.Place(position, &px, &py) || std::fabs(px) > 1e8 || std::fabs(py) > 1e8) return false;
    *x = std::lround(px * 10);
    *y = std::lround(py * 10);
    return true;
  };

  const std::string width = std::to_string(layout.width), height = std::to_string(layout.height);
  const std::string header = EscapeMarkup(CleanText(PreviewHeader(options.caption, wires)));
  std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + width + "\" height=\"" + height + "\" viewBox=\"0 0 " +
         width + " " + height + "\" font-family=\"sans-serif\">\n";
  svg += "<title>" + header + "</title>\n";
  svg += "<rect width=\"" + width + "\" height=\"" + height + "\" fill=\"#fff\"/>\n";
  svg += "<rect id=\"header\" width=\"" + width + "\" height=\"" + std::to_string(kPreviewHeaderHeight) +
         "\" fill=\"#f0f0f2\"/>\n<text x=\"10\" y=\"20\" font-size=\"13\" fill=\"#1a1a1f\">" + header + "</text>\n";
  std::string footer = std::string("view: ") + PreviewViewName(options.view);
  const bool meshDrawn = meshEdges <= kSvgMeshEdgeLimit;
  if (!meshDrawn) footer += " \xC2\xB7 mesh not drawn (" + std::to_string(meshEdges) + " edges)";
  svg += "<text x=\"10\" y=\"" + std::to_string(layout.height - 10) + "\" font-size=\"11\" fill=\"#73737f\">" +
         EscapeMarkup(footer) + "</text>\n";

  svg += "<g transform=\"translate(0 " + std::to_string(kPreviewHeaderHeight) +
         ")\" fill=\"none\" stroke-linecap=\"round\" stroke-linejoin=\"round\">\n";
  if (meshDrawn && meshEdges > 0) {
    CPathText path;
    for (const CImportedMesh& imported : meshes) {
      const CMeshView mesh(imported);
      const int32_t count = int32_t(mesh.VertexCount());
      for (size_t f = 0; f < mesh.FacetCount() && !stop(); ++f) {
        const CImportedFacet facet = mesh.Facet(f);
        if (facet.count < 2 || facet.count > 4) continue;
        long x[4], y[4];
        bool drawable = true;
        for (int32_t i = 0; i < facet.count && drawable; ++i) {
          double position[3];
          drawable = facet.corners[i] >= 0 && facet.corners[i] < count;
          if (drawable) mesh.Position(size_t(facet.corners[i]), position);
          drawable = drawable && tenths(position, &x[i], &y[i]);
        }
        if (!drawable) continue;
        path.MoveTo(x[0], y[0]);
        for (int32_t i = 1; i < facet.count; ++i) path.LineTo(x[i], y[i]);
        if (facet.count > 2) path.LineTo(x[0], y[0]);
      }
    }
    svg += "<path id=\"mesh\" stroke=\"#4d5261\" stroke-opacity=\".12\" stroke-width=\"1\" d=\"" + path.Text() + "\"/>\n";
  }

  // A group's vertices once each: their nearness and place in tenths.
  struct CPoint {
    long x, y;
    float nearness;
    bool placed;
  };
  std::vector<CPoint> points;
  for (size_t g = 0; g < wires.size(); ++g) {
    const CWireSource& group = *wires[g];
    points.resize(group.VertexCount());
    ForEachVertex(group, [&](size_t v, const CWireVertex& vertex) {
      CPoint& point = points[v];
      point.nearness = float(fit.Nearness(vertex.position));
      point.placed = tenths(vertex.position, &point.x, &point.y);
      return !stop();
    });
    // The polylines of JoinPolylines, met a segment at a time: a segment is
    // drawn once the next one shows whether it ends its polyline, which a
    // ring's closing needs to know.
    CPathText bands[kBands];
    int previousBand = -1;
    long startX = 0, startY = 0;
    bool moved = false, whole = true;  // whole: one run from the polyline's start
    int32_t polylineStart = 0;         // the polyline's first vertex
    size_t drawn = 0;                  // its segments drawn so far
    auto draw = [&](const CWireSegment& segment, bool last) {
      const bool first = drawn++ == 0;
      const bool ring = last && drawn > 1 && segment.b == polylineStart;
      const CPoint& a = points[size_t(segment.a)];
      const CPoint& b = points[size_t(segment.b)];
      if (!a.placed || !b.placed) {
        previousBand = -1;
        whole = false;
      } else {
        const double near = (a.nearness + b.nearness) / 2;
        const int band = std::min(kBands - 1, int(near * kBands));
        if (band != previousBand) {
          whole = previousBand < 0 && first;
          if (previousBand >= 0 && !moved) bands[previousBand].Dot();
          bands[band].MoveTo(a.x, a.y);
          startX = a.x;
          startY = a.y;
          moved = false;
        }
        if (ring && whole)
          bands[band].Close(startX, startY);  // the ring's last segment
        else
          bands[band].LineTo(b.x, b.y);
        moved = moved || b.x != startX || b.y != startY;
        previousBand = band;
      }
      if (last) {
        if (previousBand >= 0 && !moved) bands[previousBand].Dot();
        previousBand = -1;
        moved = false;
        whole = true;
        drawn = 0;
      }
    };
    CWireSegment pending;
    ForEachSegment(group, [&](size_t s, const CWireSegment& segment) {
      if (s > 0) draw(pending, pending.b != segment.a);
      if (s == 0 || pending.b != segment.a) polylineStart = segment.a;
      pending = segment;
      return !stop();
    });
    if (group.SegmentCount() > 0) draw(pending, true);
    const std::string name = EscapeMarkup(CleanText(group.Name()));
    svg += "<g id=\"group-" + std::to_string(g + 1) + "\" data-name=\"" + name + "\"><title>" + name + "</title>\n";
    for (int band = 0; band < kBands; ++band) {
      if (bands[band].Text().empty()) continue;
      const double centre = (band + 0.5) / kBands;
      char widthText[16];
      std::snprintf(widthText, sizeof widthText, "%.2f", 0.8 + 0.8 * centre);
      svg += "<path stroke=\"" + Hex(GroupColor(g), 0.3 + 0.7 * centre) + "\" stroke-width=\"" + widthText +
             "\" d=\"" + bands[band].Text() + "\"/>\n";
    }
    svg += "</g>\n";
  }
  svg += "</g>\n";

  if (!wires.empty()) {
    svg += "<g id=\"legend\" font-size=\"11\">\n";
    svg += "<rect x=\"" + std::to_string(kPreviewWidth) + "\" y=\"" + std::to_string(kPreviewHeaderHeight) +
           "\" width=\"1\" height=\"" + std::to_string(kPreviewHeight) + "\" fill=\"#d9d9de\"/>\n";
    if (layout.noteRow)
      svg += "<text x=\"" + std::to_string(kPreviewWidth + 10) + "\" y=\"" + std::to_string(kPreviewHeaderHeight + 20) +
             "\" fill=\"#731a1a\">" + EscapeMarkup(LegendNote(wires.size())) + "</text>\n";
    for (size_t g = 0; g < layout.rows.size(); ++g) {
      const CLegendRow& row = layout.rows[g];
      svg += "<rect x=\"" + std::to_string(row.x) + "\" y=\"" + std::to_string(row.y + 3) + "\" width=\"" +
             std::to_string(kLegendSwatch) + "\" height=\"" + std::to_string(kLegendSwatch) + "\" fill=\"" +
             Hex(GroupColor(g), 1.0) + "\"/><text x=\"" + std::to_string(row.x + kLegendSwatch + 6) + "\" y=\"" +
             std::to_string(row.y + 12) + "\" fill=\"#1a1a1f\">" + EscapeMarkup(CleanText(wires[g]->Name())) + "</text>\n";
    }
    if (layout.unlisted)
      svg += "<text x=\"" + std::to_string(layout.moreRow.x) + "\" y=\"" + std::to_string(layout.moreRow.y + 12) +
             "\" fill=\"#73737f\">" + EscapeMarkup(UnlistedRow(layout.unlisted)) + "</text>\n";
    svg += "</g>\n";
  }
  svg += "</svg>\n";
  return svg;
}

}  // namespace cliio
