// The body of 'GENM': for each child group 1..groupCount, read it from the
// host, clean it, tell the host its old geometry goes ('DELG') and send the
// wires of the tag's mode. Linear in the groups' vertices and facets plus the
// cost of the chosen output; one group in memory at a time.
#include "mesh/Group.h"
#include "plugin/PluginTask.h"
#include "ui/InfoDlg.h"
#include "wire/WireTag.h"

namespace {

// Wires one group that has geometry; false means stop the whole generation.
bool WireGroup(CWireTag& tag, const HostModelGetGroupRec& rec) {
  CGroup group(&rec);
  if (!group.ReadVertices()) return false;
  if (!group.ReadFacets(kSkipPoints | kSkipLines)) return false;
  group.ChkPlanar();
  // The attribute maps (made only for a group with UVs) serve reading alone:
  // finding the UV frame quad while facets are read. No output reads them, so
  // their blocks go back before packing and edge building need memory.
  group.posMaps.Release();
  group.floatMaps.Release();
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
