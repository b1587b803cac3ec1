// The planned answers: one-shot rules, scanned only for a request of a kind
// that has one waiting.
#include "host/FaultPlan.h"

namespace host {

void CFaultPlan::FailRequest(uint32_t selector, int nth, int32_t code) {
  const int kind = RequestKind(selector);
  if (nth < 1 || kind == kNotARequest) return;
  mRules.push_back(Rule{kind, mSeen[kind] + size_t(nth), code});
  ++mRulesOfKind[kind];
}

void CFaultPlan::CancelStatus(int nth, int32_t code) { FailRequest(Request::kStatus, nth, code); }

void CFaultPlan::Clear() {
  mRules.clear();
  for (int kind = 0; kind < kRequestKinds; ++kind) {
    mSeen[kind] = 0;
    mRulesOfKind[kind] = 0;
  }
  mCreatorCode = 0;
  mMemoryBudget = SIZE_MAX;
}

int32_t CFaultPlan::DecideByRules(int kind, size_t count) {
  for (auto rule = mRules.begin(); rule != mRules.end(); ++rule) {
    if (rule->kind == kind && rule->at == count) {
      const int32_t code = rule->code;
      mRules.erase(rule);
      --mRulesOfKind[kind];
      return code;
    }
  }
  return kind == RequestKind(Request::kCreator) ? mCreatorCode : 0;
}

}  // namespace host
