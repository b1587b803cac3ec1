// The body of 'GENM': for each child group 1..groupCount, read it from the
// host, clean it, tell the host its old geometry goes ('DELG') and send the
// wires of the tag's mode. Linear in the groups' vertices and facets plus the
// cost of the chosen output; one group in memory at a time.
#include "mesh/Group.h"
#include "plugin/PluginTask.h"
#include "ui/InfoDlg.h"
#include "wire/WireTag.h"

namespace {

void ReleaseMaps(CGroup& group) {
  group.posMaps.Release();
  group.floatMaps.Release();
}

// Wires one group that has geometry; false means stop the whole generation.
bool WireGroup(CWireTag& tag, const HostModelGetGroupRec& rec) {
  CGroup group(&rec);
  if (!group.ReadVertices()) return false;
  // The attribute maps serve reading only: finding the UV frame quad, which
  // needs the UV map (slot 1) and reads the vector map beside it. No output
  // reads them and their per-facet lists stay empty, so without a UV map they
  // go back before the facets' block is taken, otherwise once facets are read;
  // either way before packing and edge building need memory.
  const bool uvFrameSearch = group.posMaps.count > kMapUV && group.posMaps[kMapUV];
  if (!uvFrameSearch) ReleaseMaps(group);
  if (!group.ReadFacets(kSkipPoints | kSkipLines)) return false;
  group.ChkPlanar();
  ReleaseMaps(group);
  if (group.facets.count == 0 || group.vertices.count == 0) return true;

  HostDeleteGroupRec del;
  del.hostContext = CurrentHostContext();
  del.groupRef = rec.groupRef;
  if (!Run_Host(Request::kDeleteGroup, sizeof del, &del)) return false;

  switch (tag.mode) {
    case CWireTag::kModePolygon:
      return tag.OutPolygon(group);
    case CWireTag::kModeUnshared:
      return tag.OutUnshared(group);
    case CWireTag::kModePackedUnshared:
      if (!group.PackVertices(true, nullptr)) return false;
      return tag.OutUnshared(group);
    default:
      return true;
  }
}

}  // namespace

uint32_t CWireTag::Generate() {
  InfoDlg progress;
  const int32_t groupCount = reinterpret_cast<const PluginModelGenerateRec*>(plug->record)->groupCount;

  HostModelGetGroupRec rec = {};
  rec.hostContext = CurrentHostContext();
  rec.groupRef = nullptr;
  for (int32_t index = 1; index <= groupCount; ++index) {
    rec.index = index;
    if (!Run_Host(Request::kGetGroup, sizeof rec, &rec)) {
      // A group the host cannot describe is skipped, not an error.
      plug->status = 0;
      plug->result = 0;
      continue;
    }
    if (rec.vertexCount <= 0 || rec.facetCount <= 0) continue;
    InfoDlg::SetIndicator(PascalString("Wiring"), rec.facetCount, PascalString());
    if (!WireGroup(*this, rec)) break;
  }
  return static_cast<uint32_t>(plug->status);
}
