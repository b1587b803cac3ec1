// Mode 0: every facet of the group (optionally only those the selection list
// names) becomes a closed ring of n + 1 vertices and n segments, moved by
// `push` along the facet's unit normal and scaled by `scale` about the moved
// centre; a ring that would carry a non-finite number is left out. Linear in
// the number of corners; two requests per corner, each vertex record filled
// once (its finiteness checked on the record that is then sent).
#include "mesh/Group.h"
#include "wire/ExcludeVec.h"
#include "wire/WireOutput.h"
#include "wire/WireTag.h"

bool CWireTag::OutPolygon(CGroup& group) {
  CExcludeVec selection;
  if (useExclude) selection.Init(excludeText);
  const CWireFrame frame;

  for (size_t f = 0; f < group.facets.count; ++f) {
    const CFacet& facet = group.facets[f];
    const int n = facet.count;
    if (n <= 2 || n > 4) continue;  // a facet has at most four corners
    if (useExclude && !selection.Inside(static_cast<int>(f + 1))) continue;

    Fxyz normal;
    group.FacNrml(static_cast<int>(f), normal);
    // Collinear corners have no normal: such a ring stays in the facet's line
    // (no displacement) and carries the default direction.
    const bool defined = IsFinite(normal);
    const Fxyz direction = defined ? normal : kNoDirection;
    Fxyz offset = defined ? normal : Fxyz{0.0f, 0.0f, 0.0f};
    offset.x *= push;
    offset.y *= push;
    offset.z *= push;

    Fxyz centre;
    group.FacCntr(static_cast<int>(f), centre);
    centre.x += offset.x;
    centre.y += offset.y;
    centre.z += offset.z;

    const float step = 1.0f / static_cast<float>(n);
    HostAddVertexRec ring[5];
    bool fits = true;
    for (int i = 0; i <= n; ++i) {
      const Fxyz& corner = group.vertices[facet.vert[i < n ? i : 0]].pos;  // the last closes the ring
      const Fxyz point = {centre.x + ((corner.x + offset.x) - centre.x) * scale,
                          centre.y + ((corner.y + offset.y) - centre.y) * scale,
                          centre.z + ((corner.z + offset.z) - centre.z) * scale};
      fits = frame.Prepare(point, direction, static_cast<float>(i) * step, ring[i]) && fits;
    }
    if (!fits) continue;  // a ring with a non-finite vertex is left out whole
    int ids[5] = {0, 0, 0, 0, 0};
    for (int i = 0; i <= n; ++i) {
      if (!CWireFrame::Send(ring[i], &ids[i])) return false;
      if (i > 0 && !OutLine(ids[i - 1], ids[i])) return false;
    }
  }
  return true;
}
