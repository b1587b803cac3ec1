// Size and connectivity checks on imported meshes (see MeshMeasures.h).
#include "cli/MeshMeasures.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace cli {

double BoundingDiagonal(const cliio::CImportedMesh& mesh) {
  if (mesh.vertices.empty()) return 0;
  double low[3], high[3];
  for (int axis = 0; axis < 3; ++axis) {
    low[axis] = std::numeric_limits<double>::infinity();
    high[axis] = -std::numeric_limits<double>::infinity();
  }
  for (const cliio::CImportedVertex& vertex : mesh.vertices) {
    for (int axis = 0; axis < 3; ++axis) {
      low[axis] = std::min(low[axis], vertex.position[axis]);
      high[axis] = std::max(high[axis], vertex.position[axis]);
    }
  }
  return std::hypot(high[0] - low[0], high[1] - low[1], high[2] - low[2]);
}

double ModelSize(const std::vector<cliio::CImportedMesh>& meshes) {
  double size = 0;
  for (const cliio::CImportedMesh& mesh : meshes) size = std::max(size, BoundingDiagonal(mesh));
  return size;
}

bool PolygonsShareNoCorner(const cliio::CImportedMesh& mesh) {
  std::vector<int32_t> owner(mesh.vertices.size(), -1);  // the polygon that uses the vertex first
  size_t polygons = 0;
  for (size_t f = 0; f < mesh.facets.size(); ++f) {
    const cliio::CImportedFacet& facet = mesh.facets[f];
    if (facet.count < 3) continue;
    ++polygons;
    for (int32_t k = 0; k < facet.count; ++k) {
      int32_t& first = owner[size_t(facet.corners[k])];
      if (first < 0) first = int32_t(f);
      else if (first != int32_t(f)) return false;
    }
  }
  return polygons >= 2;
}

}  // namespace cli
