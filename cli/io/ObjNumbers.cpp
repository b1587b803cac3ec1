// OBJ corner numbering: one streaming pass over the segments finds the closed
// rings (reading two vertices per polyline), then the merges are put in vertex
// order and counted. Linear; the rare group whose rings close out of vertex
// order costs a sort of its merges.
#include "cli/io/ObjNumbers.h"

#include <string.h>

#include <algorithm>
#include <utility>

namespace cliio {

void CRankedSet::Seal() {
  mBelow.resize(mWords.size());
  uint32_t count = 0;
  for (size_t k = 0; k < mWords.size(); ++k) {
    mBelow[k] = count;
    count += CountBits(mWords[k]);
  }
  mSize = count;
}

namespace {

bool SamePosition(const CWireVertex& a, const CWireVertex& b) {
  return a.position[0] == b.position[0] && a.position[1] == b.position[1] && a.position[2] == b.position[2];
}

bool SameBits(double a, double b) { return memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

CObjNumbers::CObjNumbers(const CWireSource& group)
    : mCount(uint32_t(group.VertexCount())), mClosing(mCount), mSharesVt(mCount) {
  std::vector<std::pair<uint32_t, uint32_t>> merges;  // (closing vertex, first vertex), as found
  {
    CRankedSet receives(mCount);
    // The run being followed: its first segment's index and start, and its
    // latest segment.
    size_t runStart = 0;
    int32_t runFirst = 0;
    CWireSegment latest;
    auto close = [&](size_t end) {
      const int32_t first = runFirst, last = latest.b;
      if (end - runStart >= 2 && last != first && latest.a != first && !mClosing.Contains(size_t(first)) &&
          !mClosing.Contains(size_t(last)) && !receives.Contains(size_t(last)) &&
          SamePosition(group.Vertex(size_t(first)), group.Vertex(size_t(last)))) {
        mClosing.Insert(size_t(last));
        receives.Insert(size_t(first));
        merges.emplace_back(uint32_t(last), uint32_t(first));
      }
    };
    ForEachSegment(group, [&](size_t index, const CWireSegment& segment) {
      if (index > 0 && segment.a != latest.b) {
        close(index - 1);
        runStart = index;
      }
      if (index == runStart) runFirst = segment.a;
      latest = segment;
      return true;
    });
    if (group.SegmentCount() > 0) close(group.SegmentCount() - 1);
  }
  if (!std::is_sorted(merges.begin(), merges.end())) std::sort(merges.begin(), merges.end());
  mClosing.Seal();
  mFirsts.reserve(merges.size());
  for (const auto& [closing, first] : merges) {
    if (SameBits(group.Vertex(closing).u, group.Vertex(first).u)) mSharesVt.Insert(closing);
    mFirsts.push_back(first);
  }
  mSharesVt.Seal();
}

}  // namespace cliio
