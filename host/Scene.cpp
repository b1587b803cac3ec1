// The scene's small pieces: identity setup matrices, facet construction and a
// channel's value at a time (piecewise linear over its keys, O(log keys)).
#include "host/Scene.h"

#include <algorithm>

namespace host {

CModelSetup::CModelSetup() {
  for (int m = 0; m < 6; ++m) SetIdentity(m);
}

void CModelSetup::SetIdentity(int matrix) {
  for (int i = 0; i < 16; ++i) matrices[matrix][i] = (i % 5 == 0) ? 1.0 : 0.0;
}

CHostFacet Facet(std::initializer_list<int32_t> corners, uint32_t color) {
  CHostFacet facet;
  facet.color = color;
  facet.count = int16_t(corners.size());
  int k = 0;
  for (int32_t corner : corners) {
    if (k == 4) break;
    facet.corners[k++] = corner;
  }
  return facet;
}

double CChannel::ValueAt(int32_t time) const {
  if (keys.empty()) return initial;
  auto after = keys.lower_bound(time);
  if (after == keys.end()) return std::prev(after)->second;
  if (after->first == time || after == keys.begin()) return after->second;
  auto before = std::prev(after);
  // In double: keys may lie at both ends of the 32-bit range, whose distance
  // does not fit an int32_t. The share t stays within 0..1, so the value lies
  // between the two keys' values (both finite: no overflow beyond them).
  const double t = (double(time) - double(before->first)) / (double(after->first) - double(before->first));
  return before->second + (after->second - before->second) * t;
}

}  // namespace host
