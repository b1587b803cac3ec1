// Joins received segments into polylines and checks wire groups before they
// are written. Both are single passes over the segments and vertices.
#include "cli/io/WireData.h"

#include <algorithm>
#include <cmath>

namespace cliio {

std::vector<std::vector<int32_t>> JoinPolylines(const std::vector<CWireSegment>& segments) {
  std::vector<std::vector<int32_t>> polylines;
  for (size_t i = 0; i < segments.size(); ++i) {
    if (i == 0 || segments[i - 1].b != segments[i].a) polylines.push_back({segments[i].a});
    polylines.back().push_back(segments[i].b);
  }
  return polylines;
}

size_t CountPolylines(const std::vector<CWireSegment>& segments) {
  size_t count = 0;
  for (size_t i = 0; i < segments.size(); ++i)
    if (i == 0 || segments[i - 1].b != segments[i].a) ++count;
  return count;
}

size_t CountPolylines(const CWireSource& group) {
  size_t count = 0;
  int32_t previousEnd = 0;
  ForEachSegment(group, [&](size_t index, const CWireSegment& segment) {
    if (index == 0 || previousEnd != segment.a) ++count;
    previousEnd = segment.b;
    return true;
  });
  return count;
}

void CWireGroupSource::Vertices(size_t first, size_t count, CWireVertex* out) const {
  std::copy_n(mGroup.vertices.begin() + std::ptrdiff_t(first), count, out);
}

void CWireGroupSource::Segments(size_t first, size_t count, CWireSegment* out) const {
  std::copy_n(mGroup.segments.begin() + std::ptrdiff_t(first), count, out);
}

CWireSources SourcesOf(const std::vector<CWireGroup>& groups, std::vector<CWireGroupSource>* views) {
  views->clear();
  views->reserve(groups.size());
  CWireSources sources;
  for (const CWireGroup& group : groups) {
    views->emplace_back(group);
    sources.push_back(&views->back());
  }
  return sources;
}

bool CheckWireGroups(const std::vector<CWireGroup>& groups, std::string* detail) {
  std::vector<CWireGroupSource> views;
  return CheckWireGroups(SourcesOf(groups, &views), detail);
}

bool CheckWireGroups(const CWireSources& groups, std::string* detail) {
  for (size_t g = 0; g < groups.size(); ++g) {
    const CWireSource& group = *groups[g];
    auto label = [&] { return "group " + std::to_string(g + 1) + " (" + group.Name() + ")"; };
    const bool finite = ForEachVertex(group, [&](size_t v, const CWireVertex& vertex) {
      bool ok = std::isfinite(vertex.u);
      for (int i = 0; i < 3; ++i) ok = ok && std::isfinite(vertex.position[i]);
      if (!ok) *detail = label() + " vertex " + std::to_string(v) + " is not finite";
      return ok;
    });
    if (!finite) return false;
    const int64_t count = static_cast<int64_t>(group.VertexCount());
    const bool inside = ForEachSegment(group, [&](size_t s, const CWireSegment& segment) {
      if (segment.a >= 0 && segment.a < count && segment.b >= 0 && segment.b < count) return true;
      *detail = label() + " segment " + std::to_string(s) + " names a vertex outside its " + std::to_string(count);
      return false;
    });
    if (!inside) return false;
  }
  return true;
}

}  // namespace cliio
