#include "tests/mesh/MeshHost.h"

#include <string.h>

#include <algorithm>
#include <deque>

#include <gtest/gtest.h>

#include "platform/Platform.h"

namespace {
int gGroupTag;
uint32_t gTicks = 0;
uint32_t AdvancingTicks() { return gTicks += 40; }
}  // namespace

MeshHost::MeshHost(FakeTask& task) : task_(task) {
  task_.onRequest = [this](uint32_t selector, int32_t size, void* record) {
    return Serve(selector, size, record);
  };
}

MeshHost::~MeshHost() { task_.onRequest = nullptr; }

int MeshHost::AddVertex(double x, double y, double z) {
  HostVertex v;
  v.position[0] = x;
  v.position[1] = y;
  v.position[2] = z;
  vertices.push_back(v);
  return static_cast<int>(vertices.size());
}

void MeshHost::AddFacet(std::initializer_list<int> corners, uint32_t color) {
  HostFacet f;
  f.count = static_cast<int16_t>(corners.size());
  int k = 0;
  for (int c : corners) {
    if (k < 4) f.corners[k] = c;
    ++k;
  }
  f.color = color;
  facets.push_back(f);
}

void MeshHost::AddRawFacet(int16_t count, int32_t c0, int32_t c1, int32_t c2, int32_t c3) {
  HostFacet f;
  f.count = count;
  f.corners[0] = c0;
  f.corners[1] = c1;
  f.corners[2] = c2;
  f.corners[3] = c3;
  facets.push_back(f);
}

HostModelGetGroupRec MeshHost::GroupRecord(uint32_t flags) const {
  HostModelGetGroupRec rec;
  memset(&rec, 0, sizeof rec);
  rec.hostContext = task_.HostContext();
  rec.index = 1;
  rec.groupRef = &gGroupTag;
  rec.flags = flags;
  rec.vertexCount = static_cast<int32_t>(vertices.size());
  rec.facetCount = static_cast<int32_t>(facets.size());
  return rec;
}

int32_t MeshHost::Serve(uint32_t selector, int32_t size, void* record) {
  if (selector == Request::kGetVertex) {
    auto* rec = static_cast<HostModelGetVertexRec*>(record);
    EXPECT_EQ(size, int32_t(sizeof(HostModelGetVertexRec))) << "'GETV' size";
    EXPECT_EQ(rec->groupRef, &gGroupTag) << "'GETV' group reference";
    if (rec->index < 1 || rec->index > int32_t(vertices.size())) {
      ADD_FAILURE() << "'GETV' index " << rec->index << " out of range";
      return 3;
    }
    if (++vertexRequests == failVertexAt) return 9;
    const HostVertex& v = vertices[rec->index - 1];
    rec->color = v.color;
    memcpy(rec->position, v.position, sizeof rec->position);
    memcpy(rec->vectorA, v.vectorA, sizeof rec->vectorA);
    memcpy(rec->vectorB, v.vectorB, sizeof rec->vectorB);
    memcpy(rec->uvw, v.uvw, sizeof rec->uvw);
    return 0;
  }
  if (selector == Request::kGetFacet) {
    auto* rec = static_cast<HostModelGetFacetRec*>(record);
    EXPECT_EQ(size, int32_t(sizeof(HostModelGetFacetRec))) << "'GETF' size";
    EXPECT_EQ(rec->groupRef, &gGroupTag) << "'GETF' group reference";
    if (rec->index < 1 || rec->index > int32_t(facets.size())) {
      ADD_FAILURE() << "'GETF' index " << rec->index << " out of range";
      return 3;
    }
    const HostFacet& f = facets[rec->index - 1];
    rec->color = f.color;
    rec->count = f.count;
    memcpy(rec->corners, f.corners, sizeof rec->corners);
    return 0;
  }
  if (selector == Request::kStatus) {
    auto* rec = static_cast<HostStatusRec*>(record);
    EXPECT_EQ(size, int32_t(sizeof(HostStatusRec))) << "'STAT' size";
    stats.push_back(StatReport{std::string(reinterpret_cast<const char*>(rec->title + 1), rec->title[0]),
                               rec->maximum, rec->reported});
    return static_cast<int>(stats.size()) == cancelAtStat ? 4 : 0;
  }
  ADD_FAILURE() << "unexpected request " << std::hex << selector;
  return 2;
}

DueClock::DueClock() { platform::SetTickSourceForTesting(AdvancingTicks); }
DueClock::~DueClock() { platform::SetTickSourceForTesting(nullptr); }

void PutVertex(CGroup& group, float x, float y, float z) {
  CVertex* v = group.vertices.ElemNew();
  ASSERT_NE(v, nullptr);
  v->flags = 0;
  v->pos = Fxyz{x, y, z};
}

void PutFacet(CGroup& group, std::initializer_list<int> corners) {
  CFacet* f = group.facets.ElemNew();
  ASSERT_NE(f, nullptr);
  f->count = static_cast<int32_t>(corners.size());
  int k = 0;
  for (int c : corners) f->vert[k++] = c;
}

std::vector<int> EdgeEnds(const CEdge& edge) { return {edge.ver[0], edge.ver[1]}; }

// The tracing loop written plainly over the public LookSecond (linear scans
// over taken entries), as the reference for the traced chains.
std::vector<std::vector<int>> ReferenceChains(const CGroup& group) {
  TVector<CEdge*> open;
  for (size_t f = 0; f < group.facets.count; ++f) {
    const CFacet& facet = group.facets[f];
    if (facet.count < 3) continue;  // no edges
    for (int k = 0; k < facet.count; ++k) {
      CEdge* e = group.edges.items + facet.edge[k];
      const int other = e->fac[0] == static_cast<int>(f) ? e->fac[1] : e->fac[0];
      if (other < 0) *open.ElemNew() = e;
    }
  }
  std::sort(open.items, open.items + open.count, [](const CEdge* a, const CEdge* b) {
    const int c = a->Compare(*b);
    return c != 0 ? c < 0 : a < b;
  });
  std::vector<std::vector<int>> chains;
  const int n = static_cast<int>(open.count);
  for (int cur = 0; cur < n; ++cur) {
    if (!open[cur]) continue;
    std::deque<int> chain;
    const CEdge* start = open[cur];
    int a = start->ver[0], b = start->ver[1], fac = start->fac[0];
    chain.push_back(static_cast<int>(start - group.edges.items));
    open[cur] = nullptr;
    for (int pos = cur, j; (j = LookSecond(open, pos, b, fac)) >= 0; pos = j) {
      chain.push_back(static_cast<int>(open[j] - group.edges.items));
      b = open[j]->ver[0] == b ? open[j]->ver[1] : open[j]->ver[0];
      open[j] = nullptr;
    }
    for (int pos = cur, j; (j = LookSecond(open, pos, a, fac)) >= 0; pos = j) {
      chain.push_front(static_cast<int>(open[j] - group.edges.items));
      a = open[j]->ver[0] == a ? open[j]->ver[1] : open[j]->ver[0];
      open[j] = nullptr;
    }
    chains.emplace_back(chain.begin(), chain.end());
  }
  return chains;
}
