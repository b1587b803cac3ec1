// Fuzz target: hostile child groups served to a whole 'GENM' through the
// module's entry point, in every mode. The input decodes into settings and up
// to three groups whose announced vertex and facet counts may be negative or
// beyond the data, whose facets may have corner counts outside 1..4 and
// corners out of range, and whose positions may be NaN, infinite or -0; the
// host may also cancel at some progress report, and a 'SETM' with matrices
// of any shape (singular ones too) may come first. Invariants: no crash, UB or
// leak (host blocks and live tags), every request in range, every 'ADDV'
// finite, every 'ADDF' a segment between the two vertices sent just before
// it, and with bounded finite input no refusal for non-finite output.
#include <math.h>
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <set>
#include <vector>

#include "fuzz/FuzzHost.h"
#include "mesh/Group.h"
#include "plugin/PluginTask.h"
#include "plugin/SetupBlock.h"
#include "wire/WireTag.h"

namespace {

constexpr int32_t kMissingAnswer = 13;  // 'GETV'/'GETF' past the data, when the host fails them
constexpr int32_t kNoGroupAnswer = 9;
constexpr int kFirstVertexIndex = 1000;  // host numbering of added vertices

class CInput {
 public:
  CInput(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
  uint8_t Byte() { return p_ < end_ ? *p_++ : 0; }
  uint32_t Word() {
    uint32_t w = 0;
    for (int i = 0; i < 4; ++i) w = w << 8 | Byte();
    return w;
  }
  float Float() {
    const uint32_t bits = Word();
    float f;
    memcpy(&f, &bits, sizeof f);
    return f;
  }
  double Double() {
    const uint64_t bits = uint64_t(Word()) << 32 | Word();
    double d;
    memcpy(&d, &bits, sizeof d);
    return d;
  }

 private:
  const uint8_t* p_;
  const uint8_t* end_;
};

struct FuzzVertex {
  double position[3], vectorA[3], vectorB[3], uvw[3];
  uint32_t color;
};

struct FuzzFacet {
  int16_t count;
  int32_t corners[4];
};

struct FuzzGroup {
  uint32_t flags = 0;
  bool failing = false;  // 'GETG' refuses it
  int32_t vertexCount = 0, facetCount = 0;  // as announced
  std::vector<FuzzVertex> vertices;
  std::vector<FuzzFacet> facets;
};

// Mostly a coarse grid (coincident points, shared edges), sometimes the
// values that break naive geometry.
double Coordinate(CInput& in) {
  const uint8_t b = in.Byte();
  if (b < 0xE0) return ((b % 16) - 8) * 0.5;
  switch (b) {
    case 0xE0: return NAN;
    case 0xE1: return INFINITY;
    case 0xE2: return -INFINITY;
    case 0xE3: return -0.0;
    case 0xE4: return in.Double();
    case 0xE5: return 1e30;
    case 0xE6: return 5e-324;
    case 0xE7: return 1e-6;
    case 0xE8: return -1e-6;
    default: return in.Float();
  }
}

int32_t Announced(CInput& in, int32_t actual) {
  const uint8_t b = in.Byte();
  switch (b % 12) {
    case 4: return actual + 1 + in.Byte();
    case 5: return -int32_t(in.Byte());
    case 6: return INT32_MAX;
    case 7: return INT32_MIN;
    case 8: return 0;
    case 9: return actual > 0 ? actual - 1 : 0;
    default: return actual;
  }
}

int32_t Corner(CInput& in, int32_t vertices) {
  const uint8_t b = in.Byte();
  if (b < 0xF0) return 1 + b % (vertices > 0 ? vertices : 1);
  switch (b) {
    case 0xF0: return 0;
    case 0xF1: return -1;
    case 0xF2: return vertices + 1;
    case 0xF3: return INT32_MAX;
    case 0xF4: return INT32_MIN;
    default: return int32_t(in.Word());
  }
}

int16_t CornerCount(CInput& in) {
  static const int16_t kCounts[] = {3, 4, 3, 4, 3, 4, 1, 2, 0, 5, -1, INT16_MIN, INT16_MAX, 4, 3, 4};
  return kCounts[in.Byte() % 16];
}

FuzzGroup DecodeGroup(CInput& in) {
  FuzzGroup g;
  const uint8_t flags = in.Byte();
  g.flags = uint32_t(flags & 0xF0) << 24;  // the attribute bits
  g.failing = (flags & 0x0F) == 0x0F;
  const int nv = in.Byte() % 33, nf = in.Byte() % 33;
  g.vertexCount = Announced(in, nv);
  g.facetCount = Announced(in, nf);
  for (int i = 0; i < nv; ++i) {
    FuzzVertex v;
    for (double& c : v.position) c = Coordinate(in);
    for (int k = 0; k < 3; ++k) v.vectorA[k] = (g.flags & kHasVectorA) ? Coordinate(in) : 0.0;
    for (int k = 0; k < 3; ++k) v.vectorB[k] = (g.flags & kHasVectorB) ? Coordinate(in) : 0.0;
    for (int k = 0; k < 3; ++k) v.uvw[k] = (g.flags & kHasUV) ? Coordinate(in) : 0.0;
    v.color = (g.flags & kHasColor) ? in.Word() : 0;
    g.vertices.push_back(v);
  }
  for (int i = 0; i < nf; ++i) {
    FuzzFacet f;
    f.count = CornerCount(in);
    for (int32_t& c : f.corners) c = Corner(in, nv);
    g.facets.push_back(f);
  }
  return g;
}

void PutBig32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(v >> shift));
}

uint32_t FloatBits(float f) {
  uint32_t bits;
  memcpy(&bits, &f, sizeof bits);
  return bits;
}

bool AllFinite(const void* field) {
  double v[3];
  memcpy(v, field, sizeof v);
  return isfinite(v[0]) && isfinite(v[1]) && isfinite(v[2]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CInput in(data, size);

  // Settings, stored as the instance's stream after an empty slot.
  const uint8_t modeByte = in.Byte();
  const int32_t mode = (modeByte & 3) == 3 ? int32_t(in.Word()) : int32_t(modeByte & 3);
  const uint8_t options = in.Byte();
  const bool useExclude = options & 1;
  const bool failMissing = options & 2;
  static const float kPushes[] = {10.0f, 0.0f, -3.5f, 0.0f};
  static const float kScales[] = {1.0f, 0.5f, 0.0f, 0.0f};
  float push = kPushes[(options >> 3) & 3];
  float scale = kScales[(options >> 5) & 3];
  if (((options >> 3) & 3) == 3) push = in.Float();
  if (((options >> 5) & 3) == 3) scale = in.Float();
  const int32_t cancelAt = (options & 4) ? 1 + in.Byte() % 16 : 0;
  const bool refuseVertices = (options & 0x80) && (in.Byte() & 1);
  std::vector<uint8_t> text;
  const size_t textLength = in.Byte() % 24;
  for (size_t i = 0; i < textLength; ++i) text.push_back(in.Byte());

  std::vector<uint8_t> block(sizeof(void*), 0);
  PutBig32(block, CWireTag::kMagic);
  PutBig32(block, CWireTag::kVersion);
  PutBig32(block, uint32_t(mode));
  PutBig32(block, FloatBits(push));
  PutBig32(block, FloatBits(scale));
  PutBig32(block, useExclude ? 1 : 0);
  PutBig32(block, uint32_t(text.size()));
  block.insert(block.end(), text.begin(), text.end());

  // Matrices 3, 4 and 5 map generated points and directions; ReadGroup
  // inverts them. Entries from a small set, so singular ones are common.
  const bool sendSetup = in.Byte() == 0x5E;
  double matrices[6][16];
  for (auto& m : matrices)
    for (int k = 0; k < 16; ++k) m[k] = sendSetup ? Coordinate(in) : (k % 5 == 0 ? 1.0 : 0.0);

  const uint8_t groupsByte = in.Byte();
  std::vector<FuzzGroup> groups(size_t(1 + groupsByte % 3));
  const int32_t groupCount = int32_t(groups.size()) + ((groupsByte >> 4) & 1);
  for (FuzzGroup& g : groups) g = DecodeGroup(in);

  CFuzzHost host;
  theModelSetup.creatorCode = kCreatorUnknown;
  theModelSetup.InitMatr();
  theModelSetup.initialized = true;
  host.SetBlock(block.data(), block.size());
  host.cancelAtStatus = cancelAt;

  std::set<int32_t> added;
  int32_t lastAdded = 0, beforeLast = 0;
  int deletions = 0;
  host.onRequest = [&](uint32_t selector, int32_t, void* record) -> int32_t {
    switch (selector) {
      case Request::kGetGroup: {
        auto* rec = static_cast<HostModelGetGroupRec*>(record);
        FUZZ_CHECK(rec->index >= 1 && rec->index <= groupCount);
        if (size_t(rec->index) > groups.size()) return kNoGroupAnswer;
        const FuzzGroup& g = groups[size_t(rec->index - 1)];
        if (g.failing) return 7;
        rec->groupRef = const_cast<FuzzGroup*>(&g);
        rec->flags = g.flags;
        rec->vertexCount = g.vertexCount;
        rec->facetCount = g.facetCount;
        return 0;
      }
      case Request::kGetVertex: {
        auto* rec = static_cast<HostModelGetVertexRec*>(record);
        const FuzzGroup* g = static_cast<const FuzzGroup*>(rec->groupRef);
        FUZZ_CHECK(g >= groups.data() && g < groups.data() + groups.size());
        FUZZ_CHECK(rec->index >= 1 && rec->index <= g->vertexCount);
        if (size_t(rec->index) > g->vertices.size()) {
          if (failMissing) return kMissingAnswer;
          memset(rec->position, 0, sizeof rec->position);
          return 0;
        }
        const FuzzVertex& v = g->vertices[size_t(rec->index - 1)];
        memcpy(rec->position, v.position, sizeof v.position);
        memcpy(rec->vectorA, v.vectorA, sizeof v.vectorA);
        memcpy(rec->vectorB, v.vectorB, sizeof v.vectorB);
        memcpy(rec->uvw, v.uvw, sizeof v.uvw);
        rec->color = v.color;
        return 0;
      }
      case Request::kGetFacet: {
        auto* rec = static_cast<HostModelGetFacetRec*>(record);
        const FuzzGroup* g = static_cast<const FuzzGroup*>(rec->groupRef);
        FUZZ_CHECK(g >= groups.data() && g < groups.data() + groups.size());
        FUZZ_CHECK(rec->index >= 1 && rec->index <= g->facetCount);
        if (size_t(rec->index) > g->facets.size()) {
          if (failMissing) return kMissingAnswer;
          rec->count = 0;
          return 0;
        }
        const FuzzFacet& f = g->facets[size_t(rec->index - 1)];
        rec->color = 0xFF808080u;
        rec->count = f.count;
        memcpy(rec->corners, f.corners, sizeof f.corners);
        return 0;
      }
      case Request::kDeleteGroup: {
        const FuzzGroup* g = static_cast<const FuzzGroup*>(static_cast<HostDeleteGroupRec*>(record)->groupRef);
        FUZZ_CHECK(g >= groups.data() && g < groups.data() + groups.size());
        ++deletions;
        return 0;
      }
      case Request::kAddVertex: {
        auto* rec = static_cast<HostAddVertexRec*>(record);
        FUZZ_CHECK(deletions > 0);
        FUZZ_CHECK(AllFinite(rec->position) && AllFinite(rec->vectorA) && AllFinite(rec->vectorB) &&
                   AllFinite(rec->uvw));
        FUZZ_CHECK(uint32_t(rec->color) == 0xFFFFFFFFu);
        if (refuseVertices) return 14;
        const int32_t index = kFirstVertexIndex + int32_t(added.size());
        added.insert(index);
        beforeLast = lastAdded;
        lastAdded = index;
        rec->vertexIndex = index;
        return 0;
      }
      case Request::kAddFacet: {
        auto* rec = static_cast<HostAddFacetRec*>(record);
        FUZZ_CHECK(int(rec->corners) == 2 && rec->vert[2] == 0 && rec->vert[3] == 0);
        FUZZ_CHECK(added.count(rec->vert[0]) && added.count(rec->vert[1]));
        FUZZ_CHECK(rec->vert[1] == lastAdded && rec->vert[0] == beforeLast);
        return 0;
      }
      default:
        return 2;
    }
  };

  if (sendSetup) {
    std::vector<uint8_t> setup(sizeof(PluginModelSetupRec), 0);
    memcpy(setup.data(), &host.Header(), sizeof(PluginRecHeader));
    memcpy(setup.data() + offsetof(PluginModelSetupRec, matrices), matrices, sizeof matrices);
    memcpy(&host.Header(), setup.data(), setup.size());
    FUZZ_CHECK(host.Call(Selector::kModelSetup) == 0);
  }

  PluginModelGenerateRec& rec = *reinterpret_cast<PluginModelGenerateRec*>(&host.Header());
  rec.groupCount = groupCount;
  const int32_t result = host.Call(Selector::kGenerate);
  FUZZ_CHECK(stackCount == 0);
  FUZZ_CHECK(host.LiveBlocks() == 0);
  // A wire that would overflow is left out; the generation never answers
  // "unsupported", whatever the input.
  FUZZ_CHECK(result != kResultNotSupported);

  host.cancelAtStatus = 0;
  FUZZ_CHECK(host.Call(Selector::kFinish) == 0);
  FUZZ_CHECK(CWireTag::LiveCount() == 0);
  FUZZ_CHECK(host.LiveBlocks() == 0);
  return 0;
}
