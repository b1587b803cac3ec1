// Size and connectivity checks on imported meshes (see MeshMeasures.h).
#include "cli/MeshMeasures.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace cli {

double BoundingDiagonal(const cliio::CImportedMesh& mesh) {
  if (mesh.VertexCount() == 0) return 0;
  double low[3], high[3];
  for (int axis = 0; axis < 3; ++axis) {
    low[axis] = std::numeric_limits<double>::infinity();
    high[axis] = -std::numeric_limits<double>::infinity();
  }
  for (size_t v = 0; v < mesh.VertexCount(); ++v) {
    double position[3];
    mesh.Position(v, position);
    for (int axis = 0; axis < 3; ++axis) {
      low[axis] = std::min(low[axis], position[axis]);
      high[axis] = std::max(high[axis], position[axis]);
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
  std::vector<int32_t> owner(mesh.VertexCount(), -1);  // the polygon that uses the vertex first
  size_t polygons = 0;
  for (size_t f = 0; f < mesh.FacetCount(); ++f) {
    const cliio::CImportedFacet facet = mesh.Facet(f);
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
