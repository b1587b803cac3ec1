// Size and connectivity checks on imported meshes (see MeshMeasures.h).
#include "cli/MeshMeasures.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace cli {

namespace {

// The box around `count` points, pointOf(v, xyz) giving point v in T; a NaN
// coordinate widens nothing.
template <typename T, typename PointOf>
void Bounds(size_t count, PointOf pointOf, T low[3], T high[3]) {
  for (int axis = 0; axis < 3; ++axis) {
    low[axis] = std::numeric_limits<T>::infinity();
    high[axis] = -std::numeric_limits<T>::infinity();
  }
  for (size_t v = 0; v < count; ++v) {
    T position[3];
    pointOf(v, position);
    for (int axis = 0; axis < 3; ++axis) {
      low[axis] = std::min(low[axis], position[axis]);
      high[axis] = std::max(high[axis], position[axis]);
    }
  }
}

}  // namespace

double BoundingDiagonal(const cliio::CImportedMesh& mesh) {
  if (mesh.VertexCount() == 0) return 0;
  double low[3], high[3];
  if (mesh.positions.Single() && mesh.positions.RowsPerValue() == 1) {
    // Float positions, held or left in their file: the float bounds widen
    // exactly to the double ones.
    float lowFloat[3], highFloat[3];
    if (const float* box = mesh.positions.FileBounds()) {
      std::memcpy(lowFloat, box, sizeof lowFloat);
      std::memcpy(highFloat, box + 3, sizeof highFloat);
    } else {
      cliio::CSingleValueReader floats(mesh.positions);
      Bounds<float>(mesh.VertexCount(), [&floats](size_t v, float xyz[3]) { std::memcpy(xyz, floats.At(v), 3 * sizeof(float)); },
                    lowFloat, highFloat);
    }
    for (int axis = 0; axis < 3; ++axis) low[axis] = lowFloat[axis], high[axis] = highFloat[axis];
  } else {
    Bounds<double>(mesh.VertexCount(), [&mesh](size_t v, double xyz[3]) { mesh.Position(v, xyz); }, low, high);
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
