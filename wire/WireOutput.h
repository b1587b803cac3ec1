// How wire geometry reaches the host: one 'ADDV' per wire vertex, one 'ADDF'
// (a two-corner facet) per segment.
#ifndef TRESSEL_WIRE_WIREOUTPUT_H
#define TRESSEL_WIRE_WIREOUTPUT_H

#include "base/Fxyz.h"

// Adds the vertex `point` (setup matrices 3 and 5) with the direction
// `direction` (matrix 4) and u = t. On success *index receives the host's
// vertex index. On failure *index is unchanged and the code is in the current
// task. A vertex whose record would carry a non-finite number is never sent
// (it fails with kResultNotSupported); the outputs check with VertexFits first.
bool OutVer(const Fxyz& point, const Fxyz& direction, float t, int* index);
// True when OutVer's record for this point and direction would hold finite
// numbers only. A wire with a vertex that does not fit (a coordinate that
// overflows, a singular setup) is left out whole; the other wires go on.
bool VertexFits(const Fxyz& point, const Fxyz& direction);
// Adds the segment a-b (vertex indices from OutVer).
bool OutLine(int a, int b);

// A direction for a vertex without a defined normal.
constexpr Fxyz kNoDirection = {0.0f, 0.0f, -1.0f};

// True when all three components are finite.
bool IsFinite(const Fxyz& v);

#endif  // TRESSEL_WIRE_WIREOUTPUT_H
