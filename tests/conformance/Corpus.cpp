#include "tests/conformance/Corpus.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>

namespace conformance {
namespace {

host::CHostVertex Vertex(double x, double y, double z) {
  host::CHostVertex v;
  v.position = {x, y, z};
  v.vectorA = {0, 0, 1};
  v.vectorB = {x, y, z};
  v.uvw = {x, y, 0};
  return v;
}

// Corners are 0-based here, 1-based for the host.
host::CHostFacet F(std::initializer_list<int32_t> corners) {
  std::vector<int32_t> oneBased;
  for (int32_t c : corners) oneBased.push_back(c + 1);
  host::CHostFacet facet;
  facet.count = int16_t(oneBased.size());
  for (size_t i = 0; i < oneBased.size() && i < 4; ++i) facet.corners[i] = oneBased[i];
  return facet;
}

// The groups of an OBJ file as the command's importer makes them: one group a
// named object, holding the `v` lines its faces name, in file order.
bool ReadExample(const std::string& path, std::vector<host::CChildGroup>* out, std::string* error) {
  std::ifstream in(path);
  if (!in) {
    *error = path + ": cannot read";
    return false;
  }
  std::vector<host::CVec3> positions;
  std::vector<std::vector<std::vector<int32_t>>> faces;  // per object, 1-based file indices
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    std::string kind;
    words >> kind;
    if (kind == "v") {
      host::CVec3 p;
      words >> p.x >> p.y >> p.z;
      positions.push_back(p);
    } else if (kind == "o") {
      faces.emplace_back();
    } else if (kind == "f") {
      if (faces.empty()) faces.emplace_back();
      std::vector<int32_t> face;
      for (std::string corner; words >> corner;) face.push_back(int32_t(strtol(corner.c_str(), nullptr, 10)));
      faces.back().push_back(face);
    }
  }
  for (const auto& object : faces) {
    std::map<int32_t, int32_t> local;  // file index -> 1-based group index, in file order
    for (const auto& face : object)
      for (int32_t c : face) local[c] = 0;
    host::CChildGroup group;
    for (auto& entry : local) {
      if (entry.first < 1 || size_t(entry.first) > positions.size()) {
        *error = path + ": face names a missing vertex";
        return false;
      }
      const host::CVec3& p = positions[size_t(entry.first - 1)];
      group.vertices.push_back(Vertex(p.x, p.y, p.z));
      entry.second = int32_t(group.vertices.size());
    }
    for (const auto& face : object) {
      host::CHostFacet facet;
      facet.count = int16_t(std::min<size_t>(face.size(), 4));
      for (size_t i = 0; i < size_t(facet.count); ++i) facet.corners[i] = local[face[i]];
      group.facets.push_back(facet);
    }
    out->push_back(group);
  }
  if (out->empty()) {
    *error = path + ": no faces";
    return false;
  }
  return true;
}

// A height field of w x h cells; some cells are left out (holes), some split
// into two triangles, the rest are (mostly non-planar) quads.
host::CChildGroup Grid(int w, int h, int holeModulus, double dx) {
  host::CChildGroup group;
  for (int j = 0; j <= h; ++j)
    for (int i = 0; i <= w; ++i)
      group.vertices.push_back(
          Vertex(i * dx + ((i * j) % 5) / 64.0, j * 0.75, ((i * i + 3 * j) % 13) / 16.0 - 0.25));
  auto at = [w](int i, int j) { return j * (w + 1) + i; };
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i) {
      if ((i * i + j * 11 + 3) % holeModulus == 0) continue;
      const int a = at(i, j), b = at(i + 1, j), c = at(i + 1, j + 1), d = at(i, j + 1);
      if ((i * 7 + j * 3) % 5 == 0) {
        group.facets.push_back(F({a, b, c}));
        group.facets.push_back(F({a, c, d}));
      } else {
        group.facets.push_back(F({a, b, c, d}));
      }
    }
  return group;
}

// Open boxes (no top) of side s at (x, y, z), each with its own vertices.
void AddOpenBox(host::CChildGroup& g, double x, double y, double z, double s) {
  const int base = int(g.vertices.size());
  for (int k = 0; k < 8; ++k) g.vertices.push_back(Vertex(x + s * (k & 1), y + s * ((k >> 1) & 1), z + s * ((k >> 2) & 1)));
  const int b = base;
  g.facets.push_back(F({b + 0, b + 2, b + 3, b + 1}));
  g.facets.push_back(F({b + 0, b + 1, b + 5, b + 4}));
  g.facets.push_back(F({b + 1, b + 3, b + 7, b + 5}));
  g.facets.push_back(F({b + 3, b + 2, b + 6, b + 7}));
  g.facets.push_back(F({b + 2, b + 0, b + 4, b + 6}));
}

// Parts that touch through separate, coincident vertices: two boxes sharing
// an edge, a third touching at a corner, and a strip meeting two cells along
// one long edge (a T-junction).
host::CChildGroup Touching() {
  host::CChildGroup g;
  AddOpenBox(g, 0, 0, 0, 1);
  AddOpenBox(g, 1, 1, 0, 1);
  AddOpenBox(g, 2, 2, 1, 1);
  const int b = int(g.vertices.size());
  for (double x : {4.0, 5.0, 6.0}) {
    g.vertices.push_back(Vertex(x, 0, 0));
    g.vertices.push_back(Vertex(x, 1, 0));
  }
  g.facets.push_back(F({b + 0, b + 2, b + 3, b + 1}));
  g.facets.push_back(F({b + 2, b + 4, b + 5, b + 3}));
  const int t = int(g.vertices.size());
  g.vertices.push_back(Vertex(4, 1, 0));
  g.vertices.push_back(Vertex(6, 1, 0));
  g.vertices.push_back(Vertex(6, 2.5, 0.5));
  g.vertices.push_back(Vertex(4, 2.5, 0.5));
  g.facets.push_back(F({t + 0, t + 1, t + 2, t + 3}));
  return g;
}

// An edge shared by three facets, a bow-tie through one vertex, and two
// facets sharing an edge in the same direction (inconsistent winding).
host::CChildGroup NonManifold() {
  host::CChildGroup g;
  g.vertices = {Vertex(0, 0, 0), Vertex(0, 0, 1), Vertex(1, 0, 0.5), Vertex(-1, 0.5, 0.5), Vertex(0, -1, 0.5)};
  g.facets = {F({0, 1, 2}), F({1, 0, 3}), F({0, 1, 4})};
  const int b = int(g.vertices.size());
  g.vertices.push_back(Vertex(3, 0, 0));
  g.vertices.push_back(Vertex(4, 0, 0));
  g.vertices.push_back(Vertex(4, 1, 0));
  g.vertices.push_back(Vertex(5, 1, 0.25));
  g.vertices.push_back(Vertex(5, 0, 0.25));
  g.facets.push_back(F({b + 0, b + 1, b + 2}));
  g.facets.push_back(F({b + 1, b + 4, b + 3}));
  const int w = int(g.vertices.size());
  g.vertices.push_back(Vertex(7, 0, 0));
  g.vertices.push_back(Vertex(8, 0, 0));
  g.vertices.push_back(Vertex(8, 1, 0));
  g.vertices.push_back(Vertex(7, -1, 0.5));
  g.facets.push_back(F({w + 0, w + 1, w + 2}));
  g.facets.push_back(F({w + 0, w + 1, w + 3}));
  return g;
}

// Facets whose corners are collinear or repeated, among ordinary ones.
host::CChildGroup Collinear() {
  host::CChildGroup g;
  g.vertices = {Vertex(0, 0, 0),   Vertex(1, 0, 0),    Vertex(2, 0, 0),   Vertex(2, 1, 0),
                Vertex(0, 1, 0),   Vertex(0.5, 0.5, 0.5), Vertex(1, 1, 1), Vertex(1.5, 1.5, 1.5),
                Vertex(3, 0, 0),   Vertex(3, 0, 0),    Vertex(4, 0, 0),   Vertex(3, 1, 0)};
  g.facets = {
      F({0, 1, 2}),      // three corners on a line
      F({0, 2, 3, 4}),   // an ordinary quad whose first side holds corner 1's line
      F({4, 5, 6, 7}),   // four corners, three on a line through space
      F({5, 6, 7}),      // a line in space
      F({8, 8, 10, 11}), // a repeated corner
      F({9, 10, 11}),    // corner 9 coincides with 8
      F({10, 10, 10}),   // one point three times
      F({1, 3, 1, 3}),   // two points twice
  };
  return g;
}

// N-gons as a host sends them (facets of at most four corners), mixed with
// one-corner points and two-corner lines; decimal coordinates.
host::CChildGroup NGons() {
  host::CChildGroup g;
  // A pentagon and a hexagon, split into a quad plus a triangle or two quads.
  g.vertices = {Vertex(0.1, 0.2, 0.3), Vertex(1.3, 0.1, 0.3), Vertex(1.7, 1.1, 0.35), Vertex(0.9, 1.9, 0.3),
                Vertex(-0.2, 1.2, 0.3)};
  g.facets = {F({0, 1, 2, 3}), F({0, 3, 4})};
  const int h = int(g.vertices.size());
  const double hexagon[6][2] = {{3.0, 0.0}, {4.1, 0.3}, {4.7, 1.0}, {4.1, 1.7}, {3.0, 2.0}, {2.3, 1.0}};
  for (const auto& p : hexagon) g.vertices.push_back(Vertex(p[0], p[1], 0.7 + p[0] * 0.1));
  g.facets.push_back(F({h + 0, h + 1, h + 2, h + 3}));
  g.facets.push_back(F({h + 0, h + 3, h + 4, h + 5}));
  // An octagon fanned into triangles.
  const int o = int(g.vertices.size());
  const double octagon[8][2] = {{7, 0}, {8, 0}, {8.7, 0.7}, {8.7, 1.7}, {8, 2.4}, {7, 2.4}, {6.3, 1.7}, {6.3, 0.7}};
  for (const auto& p : octagon) g.vertices.push_back(Vertex(p[0], p[1], -0.3));
  for (int i = 1; i < 7; ++i) g.facets.push_back(F({o, o + i, o + i + 1}));
  // Points and lines: read past, never wired.
  g.facets.push_back(F({1}));
  g.facets.push_back(F({2, 3}));
  g.facets.push_back(F({h + 1, o + 2}));
  return g;
}

// Three parts; the middle one lies where float arithmetic overflows (its
// coordinates are finite doubles, its centre and pushed corners are not).
std::vector<host::CChildGroup> Hostile() {
  std::vector<host::CChildGroup> groups;
  host::CChildGroup before;
  before.vertices = {Vertex(0, 0, 0), Vertex(1, 0, 0), Vertex(1, 1, 0.5), Vertex(0, 1, 0)};
  before.facets = {F({0, 1, 2, 3})};
  groups.push_back(before);
  host::CChildGroup huge;
  huge.vertices = {Vertex(3.0e38, 0, 0), Vertex(3.4e38, 0, 0), Vertex(3.4e38, 3.0e38, 0), Vertex(3.0e38, 3.0e38, 0),
                   Vertex(0, 0, 0), Vertex(1, 0, 0), Vertex(0, 1, 0), Vertex(1e39, 0, 0)};
  huge.facets = {F({0, 1, 2, 3}), F({4, 5, 6}), F({4, 5, 7})};
  groups.push_back(huge);
  host::CChildGroup after;
  after.vertices = {Vertex(5, 0, 0), Vertex(6, 0, 0), Vertex(6, 1, 0), Vertex(5, 1, 1), Vertex(7, 1, 1)};
  after.facets = {F({0, 1, 2}), F({0, 2, 3}), F({1, 4, 2})};
  groups.push_back(after);
  return groups;
}

void PutBig32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(v >> shift));
}

uint32_t FloatBits(float f) {
  uint32_t bits;
  memcpy(&bits, &f, 4);
  return bits;
}

void PutNumber(std::string* text, double v) {
  char buffer[64];
  const std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, v);
  text->push_back(' ');
  text->append(buffer, r.ptr);
}

}  // namespace

bool CorpusGroups(int groups, const std::string& exampleObj, std::vector<host::CChildGroup>* out,
                  std::string* error) {
  out->clear();
  if (groups == kHostileGroups) {
    *out = Hostile();
    return true;
  }
  if (!ReadExample(exampleObj, out, error)) return false;
  out->push_back(Grid(9, 7, 17, 1.0));  // a sheet with holes
  out->push_back(Touching());
  out->push_back(NonManifold());
  out->push_back(Collinear());
  out->push_back(NGons());
  out->push_back(Grid(48, 40, 41, 0.5));  // medium: a few thousand facets
  return true;
}

std::vector<CCase> CorpusCases() {
  std::vector<CCase> cases;
  const char* setupNames[] = {"identity", "general", "singular"};
  struct List {
    const char* name;
    int32_t use;
    const char* text;
  };
  const List lists[] = {{"all", 0, "2"}, {"1-3", 1, "1-3"}, {"every2", 1, "*2"}, {"mixed", 1, "2, 5-7 *3"}};
  char name[160];
  for (int setup : {kIdentity, kGeneral})
    for (int32_t mode = 0; mode <= 2; ++mode)
      for (float push : {0.0f, 0.25f, 10.0f})
        for (float scale : {0.5f, 1.0f})
          for (const List& list : lists) {
            snprintf(name, sizeof name, "%s-m%d-p%g-s%g-%s", setupNames[setup], int(mode), double(push),
                     double(scale), list.name);
            cases.push_back({name, mode, push, scale, list.use, list.text, setup, kCleanGroups});
          }
  // Inputs that make non-finite values: overflowing coordinates, a singular
  // setup, a non-finite stored push or scale; and a list past 32 bits.
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Hostile {
    const char* name;
    float push, scale;
    int setup, groups;
    const char* list;
  };
  const Hostile hostile[] = {
      {"overflow", 10.0f, 1.0f, kIdentity, kHostileGroups, ""},
      {"overflow-scaled", 0.25f, 0.5f, kIdentity, kHostileGroups, ""},
      {"singular", 0.25f, 0.5f, kSingular, kCleanGroups, ""},
      {"push-nan", nan, 1.0f, kIdentity, kCleanGroups, ""},
      {"push-inf", inf, 0.5f, kIdentity, kCleanGroups, ""},
      {"scale-nan", 0.25f, nan, kIdentity, kCleanGroups, ""},
      {"scale-inf", 0.0f, -inf, kIdentity, kCleanGroups, ""},
      {"list-past-32-bits", 0.25f, 0.5f, kIdentity, kCleanGroups, "1-99999999999"},
  };
  for (const Hostile& h : hostile)
    for (int32_t mode = 0; mode <= 2; ++mode) {
      snprintf(name, sizeof name, "%s-m%d", h.name, int(mode));
      cases.push_back({name, mode, h.push, h.scale, h.list[0] ? 1 : 0, h.list, h.setup, h.groups});
    }
  return cases;
}

void ApplySetup(host::CModelSetup& setup, int which) {
  for (int m = 0; m < 6; ++m) setup.SetIdentity(m);
  setup.setupTime = 7;
  if (which == kIdentity) return;
  // Rotations (0.6/0.8 about z, 0.28/0.96 about x), scales, a shear and
  // translations: every matrix different, none of them trivial to invert.
  const double general[6][16] = {
      {0.6, 0.8, 0, 0, -0.8, 0.6, 0, 0, 0, 0, 1, 0, 1.5, -2, 0.25, 1},
      {2, 0, 0, 0, 0, 0.5, 0, 0, 0, 0, 3, 0, 0.1, 0.2, 0.3, 1},
      {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1},
      {1.2, 1.6, 0, 0, -1.6, 1.2, 0, 0, 0, 0, 2.5, 0, 10.1, -3.3, 7.7, 1},
      {1, 0, 0, 0, 0, 0.28, 0.96, 0, 0, -0.96, 0.28, 0, 0, 0, 0, 1},
      {0.7, 0.1, 0.2, 0, 0.3, 1.1, -0.4, 0, 0.05, 0.2, 0.9, 0, -1.25, 0.5, 3.0, 1},
  };
  if (which == kGeneral) {
    for (int m = 0; m < 6; ++m) memcpy(setup.matrices[m], general[m], sizeof general[m]);
    return;
  }
  // Singular: matrix 3 flattens z (its inverse has no finite value).
  memcpy(setup.matrices[3], general[3], sizeof general[3]);
  setup.matrices[3][10] = 0;
}

std::vector<uint8_t> SettingsStream(int32_t mode, float push, float scale, int32_t useExclude,
                                    const std::string& list) {
  std::vector<uint8_t> out = {0x57, 0x49, 0x52, 0x45};
  PutBig32(out, 0x00010000u);
  PutBig32(out, uint32_t(mode));
  PutBig32(out, FloatBits(push));
  PutBig32(out, FloatBits(scale));
  PutBig32(out, uint32_t(useExclude));
  PutBig32(out, uint32_t(list.size()));
  out.insert(out.end(), list.begin(), list.end());
  return out;
}

void DumpReceived(const host::CReceivedGeometry& received, std::string* text) {
  char line[160];
  snprintf(line, sizeof line, "deleted %d vertices %zu segments %zu\n", int(received.deleted),
           received.vertices.size(), received.facets.size());
  *text += line;
  for (const host::CReceivedVertex& rv : received.vertices) {
    const host::CHostVertex& v = rv.vertex;
    snprintf(line, sizeof line, "v %08x", unsigned(v.color));
    *text += line;
    for (const host::CVec3* p : {&v.position, &v.vectorA, &v.vectorB, &v.uvw}) {
      PutNumber(text, p->x);
      PutNumber(text, p->y);
      PutNumber(text, p->z);
    }
    *text += '\n';
  }
  for (const host::CReceivedFacet& f : received.facets) {
    snprintf(line, sizeof line, "s %08x %d %d %d\n", unsigned(f.color), int(f.corners), f.first, f.second);
    *text += line;
  }
}

std::string Hash(const std::string& text) {
  uint64_t h = 0xcbf29ce484222325ull;
  for (unsigned char c : text) {
    h ^= c;
    h *= 0x100000001b3ull;
  }
  char out[17];
  snprintf(out, sizeof out, "%016llx", static_cast<unsigned long long>(h));
  return out;
}

}  // namespace conformance
