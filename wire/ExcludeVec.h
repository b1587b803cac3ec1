// CExcludeVec: the selection list, the set of item numbers (1-based facet or
// polyline numbers) that a list text such as "1, 3-5, *4" names.
#ifndef TRESSEL_WIRE_EXCLUDEVEC_H
#define TRESSEL_WIRE_EXCLUDEVEC_H

#include <stdint.h>

#include "base/PascalString.h"
#include "base/TVector.h"

// An inclusive range of item numbers; lo <= hi.
struct CRange {
  int32_t lo;
  int32_t hi;
};

// Storage comes from the host allocator: use only while a call of Main is
// active. Neither copied nor assigned.
class CExcludeVec {
 public:
  TVector<CRange> ranges;  // in text order
  TVector<int> steps;      // the divisors written "*d", in text order; never 0

  CExcludeVec() = default;
  ~CExcludeVec() = default;
  CExcludeVec(const CExcludeVec&) = delete;
  CExcludeVec& operator=(const CExcludeVec&) = delete;

  // Replaces the set by the one the text names. Words that do not parse, and
  // a step of 0, are skipped; nothing is reported.
  void Init(PascalString text);
  // True when some range holds n or some step divides n.
  bool Inside(int n) const;
};

#endif  // TRESSEL_WIRE_EXCLUDEVEC_H
