// The meshes `tressel wire` reads: one CImportedMesh per child group, holding
// exactly what the host will describe for that group through 'GETV'/'GETF'.
#ifndef TRESSEL_CLI_IO_MESHDATA_H
#define TRESSEL_CLI_IO_MESHDATA_H

#include <stdint.h>

#include <string>
#include <vector>

namespace cliio {

// Colours are the bytes A, R, G, B in that order, as the host records carry them.
constexpr uint8_t kOpaqueWhite[4] = {0xFF, 0xFF, 0xFF, 0xFF};

struct CImportedVertex {
  double position[3] = {0, 0, 0};
  double normal[3] = {0, 0, 0};  // sent as vectorA; zero when the file has none
  double uvw[3] = {0, 0, 0};
  uint8_t argb[4] = {0xFF, 0xFF, 0xFF, 0xFF};
};

// A facet of 1 to 4 corners: 1 is a point, 2 a line, 3 and 4 polygons as the
// file gave them. Corners are 0-based indices into the mesh's vertices and are
// always in range once the importer has returned.
struct CImportedFacet {
  int32_t count = 0;
  int32_t corners[4] = {0, 0, 0, 0};
  uint8_t argb[4] = {0xFF, 0xFF, 0xFF, 0xFF};
};

struct CImportedMesh {
  std::string name;  // never empty
  std::vector<CImportedVertex> vertices;
  std::vector<CImportedFacet> facets;
};

}  // namespace cliio

#endif
