// Deciding the planned answer of each request: a count per selector and a short
// list of one-shot rules. O(rules) per request.
#include "host/FaultPlan.h"

#include "plugin/HostRecords.h"

namespace host {

void CFaultPlan::FailRequest(uint32_t selector, int nth, int32_t code) {
  if (nth < 1) return;
  mRules.push_back(Rule{selector, mSeen[selector] + size_t(nth), code});
}

void CFaultPlan::CancelStatus(int nth, int32_t code) { FailRequest(Request::kStatus, nth, code); }

void CFaultPlan::Clear() {
  mRules.clear();
  mSeen.clear();
  mCreatorCode = 0;
  mMemoryBudget = SIZE_MAX;
}

int32_t CFaultPlan::Decide(uint32_t selector) {
  size_t count = ++mSeen[selector];
  for (auto rule = mRules.begin(); rule != mRules.end(); ++rule) {
    if (rule->selector == selector && rule->at == count) {
      int32_t code = rule->code;
      mRules.erase(rule);
      return code;
    }
  }
  if (selector == Request::kCreator) return mCreatorCode;
  return 0;
}

bool CFaultPlan::MemoryAllowed(size_t liveBytes, size_t requested) const {
  return requested <= mMemoryBudget && liveBytes <= mMemoryBudget - requested;
}

}  // namespace host
