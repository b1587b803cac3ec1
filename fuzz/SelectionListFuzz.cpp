// Fuzz target: any text of up to 254 bytes (NUL bytes included) as a
// selection list. Parsing and membership must never fail, overflow or
// divide by zero (UBSan), every range must be ordered, no step may be 0,
// parsing again must give the same set, and membership must agree with the
// entries parsed.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "fuzz/FuzzHost.h"
#include "plugin/PluginTask.h"
#include "wire/ExcludeVec.h"

namespace {

bool Member(const CExcludeVec& list, int64_t n) {
  for (size_t i = 0; i < list.ranges.count; ++i)
    if (list.ranges[i].lo <= n && n <= list.ranges[i].hi) return true;
  for (size_t i = 0; i < list.steps.count; ++i)
    if (n % int64_t(list.steps[i]) == 0) return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > PascalString::kMaxLength) return -1;  // not a text the dialog can hold
  PascalString text;
  memcpy(text.Raw() + 1, data, size);
  text.SetLen(static_cast<uint8_t>(size));

  CFuzzHost host;
  host.Enter(Selector::kGenerate);
  {
    CExcludeVec list;
    list.Init(text);
    for (size_t i = 0; i < list.ranges.count; ++i) FUZZ_CHECK(list.ranges[i].lo <= list.ranges[i].hi);
    for (size_t i = 0; i < list.steps.count; ++i) FUZZ_CHECK(list.steps[i] != 0);

    const int probes[] = {0, 1, -1, 2, 3, 4, 5, 7, 12, 100, 65536, INT32_MIN, INT32_MIN + 1, INT32_MAX, INT32_MAX - 1};
    for (int n : probes) FUZZ_CHECK(list.Inside(n) == Member(list, n));
    // Every number a range names from its ends, and one beyond each.
    for (size_t i = 0; i < list.ranges.count; ++i) {
      const CRange r = list.ranges[i];
      FUZZ_CHECK(list.Inside(r.lo) && list.Inside(r.hi));
      if (r.lo > INT32_MIN) FUZZ_CHECK(list.Inside(r.lo - 1) == Member(list, r.lo - 1));
      if (r.hi < INT32_MAX) FUZZ_CHECK(list.Inside(r.hi + 1) == Member(list, r.hi + 1));
    }
    for (size_t i = 0; i < list.steps.count; ++i) FUZZ_CHECK(list.Inside(list.steps[i]));

    CExcludeVec again;
    again.Init(text);
    FUZZ_CHECK(again.ranges.count == list.ranges.count && again.steps.count == list.steps.count);
    for (size_t i = 0; i < list.ranges.count; ++i)
      FUZZ_CHECK(again.ranges[i].lo == list.ranges[i].lo && again.ranges[i].hi == list.ranges[i].hi);
    for (size_t i = 0; i < list.steps.count; ++i) FUZZ_CHECK(again.steps[i] == list.steps[i]);

    // Re-initialising replaces the set rather than adding to it.
    list.Init(text);
    FUZZ_CHECK(list.ranges.count == again.ranges.count && list.steps.count == again.steps.count);
  }
  host.Leave();
  FUZZ_CHECK(host.LiveBlocks() == 0);
  return 0;
}
