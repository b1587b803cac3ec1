// OBJ corner numbering against a plain reference (per-vertex arrays, the rule
// written out directly) on random groups of rings, open polylines, rings that
// close out of vertex order, chained closings and repeated u; and the ranked
// set across word boundaries.
#include <gtest/gtest.h>
#include <string.h>

#include <random>
#include <vector>

#include "cli/io/ObjNumbers.h"

namespace {

using cliio::CObjNumbers;
using cliio::CRankedSet;
using cliio::CWireGroup;
using cliio::CWireSegment;
using cliio::CWireVertex;

TEST(RankedSet, CountsMembersBelowEveryIndex) {
  std::mt19937 random(5);
  for (size_t size : {1u, 63u, 64u, 65u, 1000u}) {
    CRankedSet set(size);
    std::vector<bool> members(size);
    for (size_t i = 0; i < size; ++i)
      if (random() % 3 == 0 || i == 63 || i == size - 1) {
        members[i] = true;
        set.Insert(i);
      }
    set.Seal();
    uint32_t below = 0;
    for (size_t i = 0; i < size; ++i) {
      ASSERT_EQ(set.Rank(i), below) << "size " << size << " index " << i;
      ASSERT_EQ(set.Contains(i), members[i]);
      below += members[i] ? 1 : 0;
    }
    EXPECT_EQ(set.Size(), below);
  }
}

// The rule as plain per-vertex arrays: V and Vt of every corner, kNone for
// a vertex without a line of its own.
struct CReference {
  static constexpr uint32_t kNone = UINT32_MAX;
  std::vector<int32_t> first;
  std::vector<uint32_t> v, vt;
  uint32_t vCount = 0, vtCount = 0;
  uint32_t V(size_t i) const { return first[i] < 0 ? v[i] : v[size_t(first[i])]; }
  uint32_t Vt(size_t i) const { return vt[i] != kNone ? vt[i] : vt[size_t(first[i])]; }
};

CReference Reference(const CWireGroup& group) {
  const std::vector<CWireSegment>& segments = group.segments;
  CReference numbers;
  numbers.first.assign(group.vertices.size(), -1);
  std::vector<bool> receives(group.vertices.size());
  auto samePosition = [&](int32_t a, int32_t b) {
    for (int i = 0; i < 3; ++i)
      if (group.vertices[size_t(a)].position[i] != group.vertices[size_t(b)].position[i]) return false;
    return true;
  };
  for (size_t start = 0; start < segments.size();) {
    size_t end = start;
    while (end + 1 < segments.size() && segments[end + 1].a == segments[end].b) ++end;
    const int32_t first = segments[start].a, last = segments[end].b;
    if (end - start >= 2 && last != first && segments[end].a != first && numbers.first[size_t(first)] < 0 &&
        numbers.first[size_t(last)] < 0 && !receives[size_t(last)] && samePosition(first, last)) {
      numbers.first[size_t(last)] = first;
      receives[size_t(first)] = true;
    }
    start = end + 1;
  }
  numbers.v.assign(group.vertices.size(), CReference::kNone);
  numbers.vt.assign(group.vertices.size(), CReference::kNone);
  for (size_t i = 0; i < group.vertices.size(); ++i) {
    const int32_t first = numbers.first[i];
    if (first < 0) numbers.v[i] = numbers.vCount++;
    if (first < 0 || memcmp(&group.vertices[i].u, &group.vertices[size_t(first)].u, sizeof(double)) != 0)
      numbers.vt[i] = numbers.vtCount++;
  }
  return numbers;
}

// Polylines over a small pool of places (so ends meet by chance), some closed
// on their first place, some reusing vertices of earlier polylines, with u
// from a few values (so closing u sometimes equals the first's, sometimes
// -0 against 0).
CWireGroup RandomGroup(std::mt19937& random) {
  CWireGroup group;
  const double places[][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, -0.0}, {2, 2, 2}};
  const double us[] = {0, -0.0, 0.5, 1};
  auto add = [&](size_t place) {
    CWireVertex vertex;
    memcpy(vertex.position, places[place], sizeof vertex.position);
    vertex.u = us[random() % 4];
    group.vertices.push_back(vertex);
    return int32_t(group.vertices.size() - 1);
  };
  const int polylines = 1 + int(random() % 40);
  for (int p = 0; p < polylines; ++p) {
    const size_t corners = 1 + random() % 6;
    const size_t firstPlace = random() % 5;
    int32_t previous = (!group.vertices.empty() && random() % 4 == 0) ? int32_t(random() % group.vertices.size())
                                                                       : add(firstPlace);
    for (size_t k = 1; k <= corners; ++k) {
      int32_t next;
      if (k == corners && random() % 2) next = add(firstPlace);  // back where it began
      else if (random() % 5 == 0) next = int32_t(random() % group.vertices.size());
      else next = add(random() % 5);
      group.segments.push_back({previous, next});
      previous = next;
    }
  }
  // Some groups list their vertices in another order than their rings use them.
  if (random() % 3 == 0) {
    std::vector<int32_t> order(group.vertices.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = int32_t(order.size() - 1 - i);
    std::vector<CWireVertex> moved(group.vertices.size());
    for (size_t i = 0; i < order.size(); ++i) moved[size_t(order[i])] = group.vertices[i];
    group.vertices = moved;
    for (CWireSegment& segment : group.segments) segment = {order[size_t(segment.a)], order[size_t(segment.b)]};
  }
  return group;
}

TEST(ObjNumbers, AgreeWithThePlainRuleOnRandomGroups) {
  std::mt19937 random(11);
  size_t merged = 0, sharedVt = 0;
  for (int trial = 0; trial < 3000; ++trial) {
    const CWireGroup group = RandomGroup(random);
    const CReference expected = Reference(group);
    const CObjNumbers numbers{cliio::CWireGroupSource(group)};
    ASSERT_EQ(numbers.VCount(), expected.vCount) << "trial " << trial;
    ASSERT_EQ(numbers.VtCount(), expected.vtCount) << "trial " << trial;
    for (size_t i = 0; i < group.vertices.size(); ++i) {
      ASSERT_EQ(numbers.HasV(i), expected.first[i] < 0) << "trial " << trial << " vertex " << i;
      ASSERT_EQ(numbers.HasVt(i), expected.vt[i] != CReference::kNone) << "trial " << trial << " vertex " << i;
      ASSERT_EQ(numbers.V(i), expected.V(i)) << "trial " << trial << " vertex " << i;
      ASSERT_EQ(numbers.Vt(i), expected.Vt(i)) << "trial " << trial << " vertex " << i;
      merged += expected.first[i] >= 0;
      sharedVt += expected.vt[i] == CReference::kNone;
    }
  }
  // The random groups reach every case.
  EXPECT_GT(merged, 1000u);
  EXPECT_GT(sharedVt, 100u);
  EXPECT_LT(sharedVt, merged);
}

}  // namespace
