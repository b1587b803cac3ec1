// What the command checks about the imported meshes before the module runs:
// their size (for a push given as a share of it) and whether their facets
// share any corner (mode 1 on a triangle soup gives one ring per facet).
#ifndef TRESSEL_CLI_MESHMEASURES_H
#define TRESSEL_CLI_MESHMEASURES_H

#include <vector>

#include "cli/io/MeshData.h"

namespace cli {

// The diagonal of the mesh's axis-aligned bounding box over all its vertices,
// as the file gives them; 0 without vertices. Linear in the vertices.
double BoundingDiagonal(const cliio::CImportedMesh& mesh);

// The model's size: the largest BoundingDiagonal of its meshes (0 for none).
double ModelSize(const std::vector<cliio::CImportedMesh>& meshes);

// True when the mesh has at least two polygons (3 or 4 corners) and no vertex
// is a corner of two of them, as in an STL file where every facet carries its
// own corners: then no edge is shared either and every facet is its own
// border. Linear in the corners; one int32 per vertex of scratch.
bool PolygonsShareNoCorner(const cliio::CImportedMesh& mesh);

}  // namespace cli

#endif  // TRESSEL_CLI_MESHMEASURES_H
