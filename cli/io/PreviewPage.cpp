// The interactive page: one HTML file holding the header, the legend's
// scaffold, the run's data and the bundled script (web/page.js with three.js,
// embedded at build time as kPreviewPageScript). Buffers are little-endian
// binary arrays in base64, one <script type="application/octet-stream">
// element each, so a million segments cost about 45 MB of page rather than
// text numbers several times that.
#include <stdint.h>

#include <cmath>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string_view>

#include "cli/io/GroupColors.h"
#include "cli/io/PreviewScene.h"

namespace cliio {

extern const std::string_view kPreviewPageScript;

namespace {

void AppendBase64(std::string* out, const unsigned char* data, size_t size) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  out->reserve(out->size() + (size + 2) / 3 * 4 + size / 57 + 2);
  size_t line = 0;
  for (size_t at = 0; at < size; at += 3) {
    const uint32_t a = data[at], b = at + 1 < size ? data[at + 1] : 0, c = at + 2 < size ? data[at + 2] : 0;
    const uint32_t bits = (a << 16) | (b << 8) | c;
    *out += kDigits[(bits >> 18) & 63];
    *out += kDigits[(bits >> 12) & 63];
    *out += at + 1 < size ? kDigits[(bits >> 6) & 63] : '=';
    *out += at + 2 < size ? kDigits[bits & 63] : '=';
    if (++line == 19) {  // 76 characters a line
      *out += '\n';
      line = 0;
    }
  }
}

// Little-endian bytes of plain numbers (every target of the command is
// little-endian; the page reads them through typed arrays, which use the
// browser's order, little-endian everywhere it runs).
template <typename T>
void AppendValue(std::string* bytes, T value) {
  char raw[sizeof(T)];
  std::memcpy(raw, &value, sizeof(T));
  bytes->append(raw, sizeof(T));
}

class CBuffers {
 public:
  // Adds a buffer element and returns its id.
  std::string Add(const std::string& bytes) {
    const std::string id = "b" + std::to_string(mCount++);
    mHtml += "<script type=\"application/octet-stream\" id=\"" + id + "\">";
    AppendBase64(&mHtml, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    mHtml += "</script>\n";
    return id;
  }
  const std::string& Html() const { return mHtml; }

 private:
  std::string mHtml;
  size_t mCount = 0;
};

std::string HexColour(const CGroupColor& colour) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", colour.red, colour.green, colour.blue);
  return text;
}

// JSON inside a <script> element: "<" only ever appears inside strings, where
// \u003c means the same and cannot end the element.
std::string ScriptSafe(const std::string& json) {
  std::string safe;
  safe.reserve(json.size());
  for (char c : json) {
    if (c == '<')
      safe += "\\u003c";
    else
      safe += c;
  }
  return safe;
}

constexpr const char* kStyle = R"css(
* { box-sizing: border-box; }
html, body { margin: 0; height: 100%; font: 13px sans-serif; color: #1a1a1f; background: #fff; }
body { display: grid; grid-template: auto 1fr / 1fr 250px; }
header { grid-column: 1 / 3; padding: 7px 10px; background: #f0f0f2; border-bottom: 1px solid #d9d9de;
  white-space: nowrap; overflow: hidden; text-overflow: ellipsis; }
#view { position: relative; min-height: 0; overflow: hidden; }
#view canvas { display: block; }
#help { position: absolute; left: 10px; bottom: 8px; color: #73737f; font-size: 11px; pointer-events: none; }
#failure { position: absolute; left: 10px; top: 10px; color: #a01010; }
aside { border-left: 1px solid #d9d9de; overflow: auto; padding: 8px 10px; }
aside .row { margin: 0 0 6px; }
aside button { font: inherit; padding: 1px 6px; }
#ramp-key { height: 10px; margin: 4px 0 2px;
  background: linear-gradient(to right, #213bd9, #00b8d9, #2eb833, #f2bf0d, #d91a1a); }
#ramp-ends { display: flex; justify-content: space-between; font-size: 11px; color: #73737f; }
ul { list-style: none; margin: 6px 0 0; padding: 0; }
li label { display: flex; align-items: center; gap: 5px; padding: 1px 0; cursor: pointer; }
.swatch { flex: none; width: 10px; height: 10px; }
.name { overflow: hidden; text-overflow: ellipsis; white-space: nowrap; }
)css";

}  // namespace

std::string RenderPage(const CWireSources& wires, const std::vector<CImportedMesh>& meshes,
                       const CPreviewOptions& options) {
  CStopCheck stop(options.stop);
  // Centre and radius of everything shown; positions are stored relative to
  // the centre so that float precision goes where the model is.
  double low[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL}, high[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
  auto include = [&](const double p[3]) {
    if (!std::isfinite(p[0]) || !std::isfinite(p[1]) || !std::isfinite(p[2])) return;
    for (int i = 0; i < 3; ++i) {
      low[i] = std::fmin(low[i], p[i]);
      high[i] = std::fmax(high[i], p[i]);
    }
  };
  for (const CWireSource* group : wires)
    ForEachVertex(*group, [&](size_t, const CWireVertex& vertex) {
      include(vertex.position);
      return !stop();
    });
  for (const CImportedMesh& mesh : meshes)
    for (size_t v = 0; v < CMeshView(mesh).VertexCount() && !stop(); ++v) {
      double position[3];
      CMeshView(mesh).Position(v, position);
      include(position);
    }
  double centre[3] = {0, 0, 0}, radius = 1;
  if (low[0] <= high[0]) {
    double span = 0;
    for (int i = 0; i < 3; ++i) {
      centre[i] = low[i] / 2 + high[i] / 2;
      span += (high[i] - low[i]) * (high[i] - low[i]);
    }
    radius = std::sqrt(span) / 2;
    if (!(radius > 0) || !std::isfinite(radius)) radius = 1;
  }
  auto appendPosition = [&](std::string* bytes, const double p[3]) {
    for (int i = 0; i < 3; ++i) AppendValue(bytes, float(p[i] - centre[i]));
  };

  CBuffers buffers;
  nlohmann::json data;
  data["header"] = CleanText(PreviewHeader(options.caption, wires));
  data["view"] = PreviewViewName(options.view);
  data["centre"] = {centre[0], centre[1], centre[2]};
  data["radius"] = radius;
  data["groups"] = nlohmann::json::array();
  // A group's positions and u are gathered in one pass over its vertices.
  std::string bytes, us;
  for (size_t g = 0; g < wires.size(); ++g) {
    const CWireSource& group = *wires[g];
    nlohmann::json entry;
    entry["name"] = CleanText(group.Name());
    entry["colour"] = HexColour(GroupColor(g));
    entry["wires"] = CountPolylines(group);
    entry["segments"] = group.SegmentCount();
    bytes.clear();
    us.clear();
    ForEachVertex(group, [&](size_t, const CWireVertex& vertex) {
      appendPosition(&bytes, vertex.position);
      AppendValue(&us, uint16_t(std::lround(std::fmin(1.0, std::fmax(0.0, vertex.u)) * 65535.0)));
      return !stop();
    });
    entry["positions"] = buffers.Add(bytes);
    bytes.clear();
    ForEachSegment(group, [&](size_t, const CWireSegment& segment) {
      AppendValue(&bytes, uint32_t(segment.a));
      AppendValue(&bytes, uint32_t(segment.b));
      return !stop();
    });
    entry["indices"] = buffers.Add(bytes);
    entry["u"] = buffers.Add(us);
    data["groups"].push_back(std::move(entry));
  }
  // The meshes as one set of triangles (quads split in two); points, lines,
  // corners out of range and non-finite points are left out.
  std::string positions, triangles;
  uint32_t base = 0;
  for (const CImportedMesh& imported : meshes) {
    const CMeshView mesh(imported);
    std::vector<int64_t> slot(mesh.VertexCount(), -1);
    uint32_t used = 0;
    for (size_t v = 0; v < mesh.VertexCount() && !stop(); ++v) {
      double p[3];
      mesh.Position(v, p);
      if (!std::isfinite(p[0]) || !std::isfinite(p[1]) || !std::isfinite(p[2])) continue;
      slot[v] = base + used++;
      appendPosition(&positions, p);
    }
    const int32_t count = int32_t(mesh.VertexCount());
    for (size_t f = 0; f < mesh.FacetCount() && !stop(); ++f) {
      const CImportedFacet facet = mesh.Facet(f);
      if (facet.count < 3 || facet.count > 4) continue;
      bool usable = true;
      for (int32_t i = 0; i < facet.count && usable; ++i)
        usable = facet.corners[i] >= 0 && facet.corners[i] < count && slot[size_t(facet.corners[i])] >= 0;
      if (!usable) continue;
      auto corner = [&](int i) { return uint32_t(slot[size_t(facet.corners[i])]); };
      for (int i : {0, 1, 2}) AppendValue(&triangles, corner(i));
      if (facet.count == 4)
        for (int i : {0, 2, 3}) AppendValue(&triangles, corner(i));
    }
    base += used;
  }
  if (!triangles.empty()) {
    data["mesh"] = {{"positions", buffers.Add(positions)}, {"indices", buffers.Add(triangles)}};
  } else {
    data["mesh"] = nullptr;
  }

  const std::string header = EscapeMarkup(CleanText(PreviewHeader(options.caption, wires)));
  std::string page = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
  page += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
  page += "<title>" + header + "</title>\n<style>" + std::string(kStyle) + "</style>\n</head>\n<body>\n";
  page += "<header id=\"header\">" + header + "</header>\n";
  page += "<main id=\"view\"><div id=\"help\">drag: turn \xC2\xB7 wheel: zoom \xC2\xB7 right-drag: pan</div>"
          "<div id=\"failure\" hidden></div></main>\n";
  page += "<aside>\n<div class=\"row\">view:";
  for (const char* view : {"iso", "front", "back", "left", "right", "top", "bottom"})
    page += std::string(" <button type=\"button\" data-view=\"") + view + "\">" + view + "</button>";
  page += "</div>\n<div class=\"row\"><label><input type=\"checkbox\" id=\"ramp\"> colour by u</label>"
          "<div id=\"ramp-key\" hidden></div></div>\n";
  page += "<div class=\"row\">groups: <button type=\"button\" id=\"all\">all</button> "
          "<button type=\"button\" id=\"none\">none</button></div>\n<ul id=\"groups\"></ul>\n</aside>\n";
  page += "<script type=\"application/json\" id=\"tressel-data\">" + ScriptSafe(data.dump()) + "</script>\n";
  page += buffers.Html();
  page += "<script>";
  page.append(kPreviewPageScript);
  page += "</script>\n</body>\n</html>\n";
  return page;
}

}  // namespace cliio
