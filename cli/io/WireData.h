// The wires `tressel wire` receives: per child group, the vertices the module
// added ('ADDV') and its two-corner facets ('ADDF') as segments, in the order
// they arrived.
#ifndef TRESSEL_CLI_IO_WIREDATA_H
#define TRESSEL_CLI_IO_WIREDATA_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

namespace cliio {

// Values as the module sent them: single-precision numbers widened to double
// under identity setup matrices, any double otherwise.
struct CWireVertex {
  double position[3] = {0, 0, 0};
  double u = 0;  // 0 to 1 along the wire
};

// 0-based indices into the group's vertices.
struct CWireSegment {
  int32_t a = 0;
  int32_t b = 0;
};

struct CWireGroup {
  std::string name;
  std::vector<CWireVertex> vertices;
  std::vector<CWireSegment> segments;
};

// One group's wires as the writers read them: its name and counts, and its
// vertices and segments one at a time or a run at a time. Wires held in
// another form (the host's received geometry) are written through it without
// a second copy of them. Indices are 0-based.
class CWireSource {
 public:
  virtual ~CWireSource() = default;
  virtual const std::string& Name() const = 0;
  virtual size_t VertexCount() const = 0;
  virtual size_t SegmentCount() const = 0;
  // REQUIRES: index < VertexCount().
  virtual CWireVertex Vertex(size_t index) const = 0;
  // Copy [first, first + count) to `out`.
  // REQUIRES: first + count <= VertexCount() (SegmentCount()).
  virtual void Vertices(size_t first, size_t count, CWireVertex* out) const = 0;
  virtual void Segments(size_t first, size_t count, CWireSegment* out) const = 0;
  // Where the group holds its positions as single-precision numbers (the
  // doubles Vertices gives are them widened), the vertices from `first` on
  // that lie side by side, read in place: x, y, z and one more float, four
  // floats a vertex, *count vertices (1 to `wanted`). Null where it holds
  // them otherwise, then for every `first`: read them through Vertices.
  // REQUIRES: wanted > 0; first + wanted <= VertexCount().
  virtual const float* SingleRun(size_t /*first*/, size_t /*wanted*/, size_t* /*count*/) const { return nullptr; }
  // The segments from `first` on that lie side by side, read in place: a
  // segment's a and b are the first two of its *stride int32s, *count
  // segments (1 to `wanted`). Null where they are held otherwise, then for
  // every `first`: read them through Segments.
  // REQUIRES: wanted > 0; first + wanted <= SegmentCount().
  virtual const int32_t* SegmentRun(size_t /*first*/, size_t /*wanted*/, size_t* /*count*/,
                                    size_t* /*stride*/) const {
    return nullptr;
  }
};

// A CWireGroup read in place. REQUIRES: the group outlives the view and does
// not change while it is read.
class CWireGroupSource final : public CWireSource {
 public:
  explicit CWireGroupSource(const CWireGroup& group) : mGroup(group) {}
  const std::string& Name() const override { return mGroup.name; }
  size_t VertexCount() const override { return mGroup.vertices.size(); }
  size_t SegmentCount() const override { return mGroup.segments.size(); }
  CWireVertex Vertex(size_t index) const override { return mGroup.vertices[index]; }
  void Vertices(size_t first, size_t count, CWireVertex* out) const override;
  void Segments(size_t first, size_t count, CWireSegment* out) const override;

 private:
  const CWireGroup& mGroup;
};

// Groups to write, in order; the pointers are borrowed.
using CWireSources = std::vector<const CWireSource*>;

// Calls visit(index, vertex) (visit(index, segment)) for each vertex
// (segment) of `group` in order, reading them a run at a time, until visit
// returns false. Returns whether it went through to the end.
template <typename TVisit>
bool ForEachVertex(const CWireSource& group, TVisit&& visit);
template <typename TVisit>
bool ForEachSegment(const CWireSource& group, TVisit&& visit);
// Calls visit(index, position) with each vertex's position (double[3], as
// Vertices gives it) in order, read in place where the group offers
// single-precision runs (no copy of every vertex to pass over).
template <typename TVisit>
void ForEachPosition(const CWireSource& group, TVisit&& visit);
// Calls visit(index, a, b) with each segment's ends in order, read in place
// where the group offers runs of them.
template <typename TVisit>
void ForEachSegmentEnds(const CWireSource& group, TVisit&& visit);

// Joins runs of consecutive segments where one's b is the next one's a into
// polylines (vertex index lists of 2 or more), in order; every segment lands
// in exactly one polyline. A closed ring stays one polyline that ends where it
// began. Linear in the number of segments.
std::vector<std::vector<int32_t>> JoinPolylines(const std::vector<CWireSegment>& segments);
// How many polylines JoinPolylines makes, without making them.
size_t CountPolylines(const std::vector<CWireSegment>& segments);
size_t CountPolylines(const CWireSource& group);

// Checks what the writers rely on: every segment index names a vertex of its
// group and every coordinate and u is finite. False with *detail naming the
// first offending group and item.
bool CheckWireGroups(const std::vector<CWireGroup>& groups, std::string* detail);
bool CheckWireGroups(const CWireSources& groups, std::string* detail);

// Views of `groups` for the functions that take sources; `views` keeps them.
CWireSources SourcesOf(const std::vector<CWireGroup>& groups, std::vector<CWireGroupSource>* views);

// --- implementation

// Items ForEachVertex and ForEachSegment read at a time (16 KiB of vertices).
constexpr size_t kWireRun = 512;

// Reads `count` items through read(first, length, run) in runs of kWireRun
// and visits each with its index; false as soon as a visit is.
template <typename TItem, typename TRead, typename TVisit>
bool ForEachInRuns(size_t count, TRead&& read, TVisit&& visit) {
  TItem run[kWireRun];
  for (size_t first = 0; first < count; first += kWireRun) {
    const size_t length = count - first < kWireRun ? count - first : kWireRun;
    read(first, length, run);
    for (size_t k = 0; k < length; ++k)
      if (!visit(first + k, run[k])) return false;
  }
  return true;
}

template <typename TVisit>
bool ForEachVertex(const CWireSource& group, TVisit&& visit) {
  return ForEachInRuns<CWireVertex>(
      group.VertexCount(), [&group](size_t first, size_t length, CWireVertex* run) { group.Vertices(first, length, run); },
      visit);
}

template <typename TVisit>
bool ForEachSegment(const CWireSource& group, TVisit&& visit) {
  return ForEachInRuns<CWireSegment>(
      group.SegmentCount(),
      [&group](size_t first, size_t length, CWireSegment* run) { group.Segments(first, length, run); }, visit);
}

template <typename TVisit>
void ForEachPosition(const CWireSource& group, TVisit&& visit) {
  const size_t total = group.VertexCount();
  size_t count = 0;
  if (total == 0) return;
  if (group.SingleRun(0, total, &count) == nullptr) {
    ForEachVertex(group, [&visit](size_t index, const CWireVertex& vertex) {
      visit(index, static_cast<const double*>(vertex.position));
      return true;
    });
    return;
  }
  for (size_t first = 0; first < total; first += count) {
    const float* at = group.SingleRun(first, total - first, &count);
    for (size_t k = 0; k < count; ++k, at += 4) {
      const double position[3] = {at[0], at[1], at[2]};
      visit(first + k, static_cast<const double*>(position));
    }
  }
}

template <typename TVisit>
void ForEachSegmentEnds(const CWireSource& group, TVisit&& visit) {
  const size_t total = group.SegmentCount();
  size_t count = 0, stride = 0;
  if (total == 0) return;
  if (group.SegmentRun(0, total, &count, &stride) == nullptr) {
    ForEachSegment(group, [&visit](size_t index, const CWireSegment& segment) {
      visit(index, segment.a, segment.b);
      return true;
    });
    return;
  }
  for (size_t first = 0; first < total; first += count) {
    const int32_t* at = group.SegmentRun(first, total - first, &count, &stride);
    for (size_t k = 0; k < count; ++k, at += stride) visit(first + k, at[0], at[1]);
  }
}

}  // namespace cliio

#endif
