// Helpers over vectors of mesh records: removal of facets (and of the per-facet
// entries of attribute maps) by flag bits, and release of a vector of owned
// maps. Each is one pass over the vector, linear in its count; kept elements
// are moved down in order, and no block is shrunk or moved.
//
// Templates, so that base/ does not depend on the mesh records:
//   - Facet: a plain record with a `uint32_t flags` member (its first field).
//   - Map: a record with a `facets` member (a TVector of per-facet entries,
//     entry i belonging to facet i) and a `Free()` that releases the map's own
//     blocks.
#ifndef TRESSEL_BASE_VECTOROPS_H
#define TRESSEL_BASE_VECTOROPS_H

#include <stddef.h>
#include <stdint.h>

#include "base/TVector.h"
#include "plugin/HostMemory.h"

// The removal rule shared by both forms of DelFlag: a facet goes exactly when
// "all bits of mask are set" equals flag. So flag = true removes facets that
// carry every bit of mask, flag = false those that lack any of them; a mask of
// 0 with flag = true removes everything, with flag = false nothing.
inline bool DelFlagRemoves(uint32_t flags, uint32_t mask, bool flag) {
  return ((flags & mask) == mask) == flag;
}

// Removes the facets selected by the rule above, keeping the order of the rest.
template <typename Facet>
void DelFlag(TVector<Facet>& facets, uint32_t mask, bool flag) {
  const size_t total = facets.count;
  size_t kept = 0;
  for (size_t i = 0; i < total; ++i) {
    if (DelFlagRemoves(facets.items[i].flags, mask, flag)) continue;
    if (kept != i) facets.items[kept] = facets.items[i];
    ++kept;
  }
  facets.ElemDel(kept, static_cast<int>(total - kept));
}

// Removes map entry i exactly when DelFlag would remove facet i, keeping the
// order of the rest. Entries past the end of facets have no facet to decide
// and are kept.
// REQUIRES: the map is compacted before the facets themselves, i.e. its
// entries still run parallel to `facets`.
template <typename Map, typename Facet>
void DelFlag(Map& map, const TVector<Facet>& facets, uint32_t mask, bool flag) {
  auto& entries = map.facets;
  const size_t total = entries.count;
  size_t kept = 0;
  for (size_t i = 0; i < total; ++i) {
    if (i < facets.count && DelFlagRemoves(facets.items[i].flags, mask, flag)) continue;
    if (kept != i) entries.items[kept] = entries.items[i];
    ++kept;
  }
  entries.ElemDel(kept, static_cast<int>(total - kept));
}

// For each non-null map: Free() its blocks, then return the map record itself
// to the host allocator, and clear the slot so that a second call cannot free
// it again. The vector's own block and count are left for the caller.
// REQUIRES: every non-null entry was obtained with MAlloc.
template <typename Map>
void FreeVecPtr(TVector<Map*>& maps) {
  for (size_t i = 0; i < maps.count; ++i) {
    Map* map = maps.items[i];
    if (!map) continue;
    map->Free();
    MFree(map);
    maps.items[i] = nullptr;
  }
}

#endif  // TRESSEL_BASE_VECTOROPS_H
