// Between the command's files and the host's scene: an imported mesh becomes
// a child group the host describes, and what a group received becomes wires.
#ifndef TRESSEL_CLI_WIREGROUPS_H
#define TRESSEL_CLI_WIREGROUPS_H

#include <string>
#include <utility>

#include "cli/io/MeshData.h"
#include "cli/io/WireData.h"
#include "host/Scene.h"

namespace cli {

// The group as the host reports it: every vertex with its colour, normal
// (vectorA), position, a zero vectorB and uvw; every facet with its colour and
// 1-based corners. The flags claim colour when any vertex has a colour other
// than opaque white (the others are served white all the same), vectorA when
// any vertex has a non-zero normal, UV when any has a non-zero uvw, and never
// vectorB (no format the importer reads carries it): a module then keeps no
// per-vertex copy of an attribute the file does not carry. The group reads the
// mesh's columns in place.
// REQUIRES: `mesh` outlives the group and is not changed while it is in use.
host::CChildGroup ChildGroupFor(const cliio::CImportedMesh& mesh);

// How many facets the module will not wire: points and lines (it skips them
// while reading) and facets that collapse to a line or a point once corners
// repeating the next one's position are removed (to within 0.00001 on each
// axis, in single precision, as the module compares them). Positions are taken
// as the file gives them, which is what the module sees under identity setup
// matrices.
int DroppedFacets(const cliio::CImportedMesh& mesh);

// The wires a group holds: its received vertices (position, u = uvw.x) and
// its segments, or none when the latest 'GENM' gave it no 'DELG'.
cliio::CWireGroup WiresOf(const std::string& name, const host::CReceivedGeometry& received);

// The same wires read in place, for the writers: no copy of them is made.
// REQUIRES: `received` outlives the view and does not change while it is read.
class CReceivedWires final : public cliio::CWireSource {
 public:
  CReceivedWires(std::string name, const host::CReceivedGeometry& received)
      : mName(std::move(name)), mReceived(received) {}
  const std::string& Name() const override { return mName; }
  size_t VertexCount() const override { return mReceived.deleted ? mReceived.vertices.size() : 0; }
  size_t SegmentCount() const override { return mReceived.deleted ? mReceived.facets.size() : 0; }
  cliio::CWireVertex Vertex(size_t index) const override;
  void Vertices(size_t first, size_t count, cliio::CWireVertex* out) const override;
  void Segments(size_t first, size_t count, cliio::CWireSegment* out) const override;
  const float* SingleRun(size_t first, size_t wanted, size_t* count) const override {
    return mReceived.vertices.PointRun(first, wanted, count);
  }
  const int32_t* SegmentRun(size_t first, size_t wanted, size_t* count, size_t* stride) const override;

 private:
  std::string mName;
  const host::CReceivedGeometry& mReceived;
};

}  // namespace cli

#endif  // TRESSEL_CLI_WIREGROUPS_H
