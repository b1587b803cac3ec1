// MeshHost: a small host for white-box tests of the mesh model, on top of
// FakeTask. It serves one in-test child group ('GETV', 'GETF'), answers
// 'STAT' (optionally cancelling at the n-th report), and checks every request
// strictly: size argument, group reference, 1-based index in range.
//
// Also: a tick source that makes every progress update due, and builders that
// fill a CGroup directly for the algorithm tests.
#ifndef TRESSEL_TESTS_MESH_MESHHOST_H
#define TRESSEL_TESTS_MESH_MESHHOST_H

#include <stdint.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "mesh/Group.h"
#include "plugin/HostRecords.h"
#include "tests/support/FakeTask.h"

struct HostVertex {
  double position[3] = {0, 0, 0};
  uint32_t color = 0;
  double vectorA[3] = {0, 0, 0};
  double vectorB[3] = {0, 0, 0};
  double uvw[3] = {0, 0, 0};
};

struct HostFacet {
  int16_t count = 0;
  int32_t corners[4] = {0, 0, 0, 0};  // 1-based, as the host sends them
  uint32_t color = 0;
};

struct StatReport {
  std::string title;
  int32_t maximum;
  int32_t reported;
};

class MeshHost {
 public:
  // Installs itself as task.onRequest for its lifetime.
  explicit MeshHost(FakeTask& task);
  ~MeshHost();

  std::vector<HostVertex> vertices;
  std::vector<HostFacet> facets;

  // Returns the 1-based number of the new vertex.
  int AddVertex(double x, double y, double z);
  // corners are 1-based host numbers; any count (also hostile ones).
  void AddFacet(std::initializer_list<int> corners, uint32_t color = 0);
  void AddRawFacet(int16_t count, int32_t c0, int32_t c1, int32_t c2, int32_t c3);

  // The group record a 'GETG' would answer; counts from the mesh unless given.
  HostModelGetGroupRec GroupRecord(uint32_t flags = 0) const;

  int cancelAtStat = 0;    // the n-th 'STAT' (1-based) answers 4
  int failVertexAt = 0;    // the n-th 'GETV' answers 9
  int vertexRequests = 0;
  std::vector<StatReport> stats;

 private:
  int32_t Serve(uint32_t selector, int32_t size, void* record);
  FakeTask& task_;
};

// While alive, every call of the tick count advances 40 ticks, so every
// InfoDlg::Update reports.
class DueClock {
 public:
  DueClock();
  ~DueClock();
};

// Direct builders for the algorithm tests (no host requests).
void PutVertex(CGroup& group, float x, float y, float z);
void PutFacet(CGroup& group, std::initializer_list<int> corners);  // 0-based
// An edge's ends in its direction, for readable expectations.
std::vector<int> EdgeEnds(const CEdge& edge);
// The chains of open edges (edge numbers) as the tracing loop finds them when
// written plainly over the public LookSecond, the reference for GetSurfEdge.
// REQUIRES: a complete BuildEdges of the group.
std::vector<std::vector<int>> ReferenceChains(const CGroup& group);

#endif  // TRESSEL_TESTS_MESH_MESHHOST_H
