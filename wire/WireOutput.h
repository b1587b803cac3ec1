// How wire geometry reaches the host: one 'ADDV' per wire vertex, one 'ADDF'
// (a two-corner facet) per segment.
#ifndef TRESSEL_WIRE_WIREOUTPUT_H
#define TRESSEL_WIRE_WIREOUTPUT_H

#include <math.h>

#include "base/Fxyz.h"
#include "plugin/HostRecords.h"

// The three setup matrices a wire vertex goes through (3: point, 4:
// direction, 5: point again), copied once for one output pass instead of
// once per vertex. A frame holds while the setup does not change, and the
// setup cannot change during a 'GENM': Main refuses every command nested in
// one, 'SETM' included. So an output routine makes one frame per call.
class CWireFrame {
 public:
  // Copies the matrices of theModelSetup (identity until the first 'SETM').
  CWireFrame();

  // Fills rec for the vertex `point` with `direction` and u = t; true when
  // every number of the record is finite (a vertex that is not is never sent).
  bool Prepare(const Fxyz& point, const Fxyz& direction, float t, HostAddVertexRec& rec) const;
  // Sends a record from Prepare; on success *index receives the host's vertex
  // index, on failure it is unchanged and the code is in the current task.
  // REQUIRES: Prepare answered true for rec.
  static bool Send(HostAddVertexRec& rec, int* index);

 private:
  double point_[16];
  double direction_[16];
  double pointB_[16];
  // All three are the identity (as they are until a 'SETM' says otherwise): a
  // finite point then goes through them unchanged but for -0 becoming +0,
  // exactly what the products and sums would give.
  bool identity_;
};

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
inline bool IsFinite(const Fxyz& v) { return isfinite(v.x) && isfinite(v.y) && isfinite(v.z); }

#endif  // TRESSEL_WIRE_WIREOUTPUT_H
