// The OBJ numbers of one wire group's corners: which vertices get a `v` and a
// `vt` line of their own, and which `v` and `vt` each corner names, with
// closed rings closed on their first vertex.
#ifndef TRESSEL_CLI_IO_OBJNUMBERS_H
#define TRESSEL_CLI_IO_OBJNUMBERS_H

#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "cli/io/WireData.h"

namespace cliio {

// Set bits of a word. (The portable build has no popcount instruction, and
// the library call it would make instead costs more than these few steps.)
inline uint32_t CountBits(uint64_t word) {
  word = word - ((word >> 1) & 0x5555555555555555u);
  word = (word & 0x3333333333333333u) + ((word >> 2) & 0x3333333333333333u);
  word = (word + (word >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
  return uint32_t((word * 0x0101010101010101u) >> 56);
}

// A set of a group's vertex indices that also tells, in constant time, how
// many members lie below an index: a bit per index and a count per 64 of them.
class CRankedSet {
 public:
  explicit CRankedSet(size_t size) : mWords((size + 63) / 64, 0) {}
  void Insert(size_t index) { mWords[index >> 6] |= uint64_t(1) << (index & 63); }
  bool Contains(size_t index) const { return (mWords[index >> 6] >> (index & 63)) & 1; }
  // Counts the members. REQUIRES: no Insert afterwards; Rank and Size only after.
  void Seal();
  // Members below `index`. REQUIRES: index < the size given.
  uint32_t Rank(size_t index) const {
    const uint64_t below = mWords[index >> 6] & ((uint64_t(1) << (index & 63)) - 1);
    return mBelow[index >> 6] + CountBits(below);
  }
  uint32_t Size() const { return mSize; }

 private:
  std::vector<uint64_t> mWords;
  std::vector<uint32_t> mBelow;
  uint32_t mSize = 0;
};

// A polyline (a run of segments where each begins where the one before
// ended) of three or more segments is a closed ring when its last vertex lies
// exactly where its first does. Its last vertex is then merged onto its first
// (the closing vertex gets no `v` of its own, and no `vt` when its u is the
// first's, bit for bit), unless that would give a segment from a vertex to
// itself or chain merges (a merged vertex never receives another, a vertex
// receiving one is never merged itself). Numbers are 0-based within the group.
// Linear in the vertices and segments; about 3 bits per vertex and 4 bytes
// per closed ring (12 while numbering).
class CObjNumbers {
 public:
  // REQUIRES: CheckWireGroups accepts `group`.
  explicit CObjNumbers(const CWireSource& group);

  bool HasV(size_t vertex) const { return !mClosing.Contains(vertex); }
  bool HasVt(size_t vertex) const { return !mSharesVt.Contains(vertex); }
  uint32_t V(size_t vertex) const {
    const size_t own = mClosing.Contains(vertex) ? FirstOf(vertex) : vertex;
    return uint32_t(own) - mClosing.Rank(own);
  }
  uint32_t Vt(size_t vertex) const {
    const size_t own = mSharesVt.Contains(vertex) ? FirstOf(vertex) : vertex;
    return uint32_t(own) - mSharesVt.Rank(own);
  }
  uint32_t VCount() const { return mCount - mClosing.Size(); }
  uint32_t VtCount() const { return mCount - mSharesVt.Size(); }

 private:
  // The ring's first vertex. REQUIRES: mClosing.Contains(vertex).
  size_t FirstOf(size_t vertex) const { return mFirsts[mClosing.Rank(vertex)]; }

  uint32_t mCount;
  CRankedSet mClosing;             // vertices merged onto their ring's first
  CRankedSet mSharesVt;            // those of them that share its `vt` too
  std::vector<uint32_t> mFirsts;   // the first vertex of each, in index order
};

}  // namespace cliio

#endif  // TRESSEL_CLI_IO_OBJNUMBERS_H
