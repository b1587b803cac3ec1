// Joins received segments into polylines and checks wire groups before they
// are written. Both are single passes over the segments and vertices.
#include "cli/io/WireData.h"

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

bool CheckWireGroups(const std::vector<CWireGroup>& groups, std::string* detail) {
  for (size_t g = 0; g < groups.size(); ++g) {
    const CWireGroup& group = groups[g];
    const std::string label = "group " + std::to_string(g + 1) + " (" + group.name + ")";
    for (size_t v = 0; v < group.vertices.size(); ++v) {
      const CWireVertex& vertex = group.vertices[v];
      bool finite = std::isfinite(vertex.u);
      for (int i = 0; i < 3; ++i) finite = finite && std::isfinite(vertex.position[i]);
      if (!finite) {
        *detail = label + " vertex " + std::to_string(v) + " is not finite";
        return false;
      }
    }
    const int64_t count = static_cast<int64_t>(group.vertices.size());
    for (size_t s = 0; s < group.segments.size(); ++s) {
      const CWireSegment& segment = group.segments[s];
      if (segment.a < 0 || segment.a >= count || segment.b < 0 || segment.b >= count) {
        *detail = label + " segment " + std::to_string(s) + " names a vertex outside its " + std::to_string(count);
        return false;
      }
    }
  }
  return true;
}

}  // namespace cliio
