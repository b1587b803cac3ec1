// The second half of the unshared-edge output, apart from the edge search so
// that any edge list can be wired.
#ifndef TRESSEL_WIRE_UNSHAREDOUTPUT_H
#define TRESSEL_WIRE_UNSHAREDOUTPUT_H

#include "base/TVector.h"
#include "mesh/Group.h"
#include "wire/WireTag.h"

// Cuts edges (chains of unshared edges, one after another, as GetSurfEdge
// gives them) into polylines of connected edges and sends each, displaced by
// the tag's push, scaled by its scale and filtered by its selection list
// (polylines numbered from 1). A lone edge (one that connects to neither
// neighbour in the list) is sent as two points and never displaced.
// False as soon as a request fails.
// REQUIRES: every edge's vertices are vertices of group.
bool WireChains(const CWireTag& tag, const CGroup& group, const TVector<CEdge*>& edges);

#endif  // TRESSEL_WIRE_UNSHAREDOUTPUT_H
