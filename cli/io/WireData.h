// The wires `tressel wire` receives: per child group, the vertices the module
// added ('ADDV') and its two-corner facets ('ADDF') as segments, in the order
// they arrived.
#ifndef TRESSEL_CLI_IO_WIREDATA_H
#define TRESSEL_CLI_IO_WIREDATA_H

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

// Joins runs of consecutive segments where one's b is the next one's a into
// polylines (vertex index lists of 2 or more), in order; every segment lands
// in exactly one polyline. A closed ring stays one polyline that ends where it
// began. Linear in the number of segments.
std::vector<std::vector<int32_t>> JoinPolylines(const std::vector<CWireSegment>& segments);
// How many polylines JoinPolylines makes, without making them.
size_t CountPolylines(const std::vector<CWireSegment>& segments);

// Checks what the writers rely on: every segment index names a vertex of its
// group and every coordinate and u is finite. False with *detail naming the
// first offending group and item.
bool CheckWireGroups(const std::vector<CWireGroup>& groups, std::string* detail);

}  // namespace cliio

#endif
