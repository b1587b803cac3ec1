// The fault plan: which requests the host answers with a failure on purpose.
// Counts start when a rule is set; a rule fires once.
//
// Deciding costs one counter increment per request while no rule is set; with
// rules, O(rules) for a request of a kind that has one.
#ifndef TRESSEL_HOST_FAULTPLAN_H
#define TRESSEL_HOST_FAULTPLAN_H

#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "host/RequestKinds.h"

namespace host {

class CFaultPlan {
 public:
  // Answers the n-th (1-based, counted from now) request of `selector` with
  // code. A selector that is no request never fires.
  void FailRequest(uint32_t selector, int nth, int32_t code);
  // Answers the n-th 'STAT' from now with code (nonzero: the user cancelled).
  void CancelStatus(int nth, int32_t code = 4);
  // Answers every 'CREA' with code (0 restores normal answers).
  void AnswerCreator(int32_t code) { mCreatorCode = code; }
  // Refuses (code 1) every 'MMAL' that would take the live bytes past budget.
  void RefuseMemoryPast(size_t budget) { mMemoryBudget = budget; }
  void Clear();

  // For the host: counts the request and returns the planned code, 0 for none.
  int32_t Decide(uint32_t selector) {
    const int kind = RequestKind(selector);
    if (kind == kNotARequest) return 0;
    const size_t count = ++mSeen[kind];
    if (mRulesOfKind[kind]) return DecideByRules(kind, count);
    return selector == Request::kCreator ? mCreatorCode : 0;
  }
  bool MemoryAllowed(size_t liveBytes, size_t requested) const {
    return requested <= mMemoryBudget && liveBytes <= mMemoryBudget - requested;
  }
  int32_t CreatorCode() const { return mCreatorCode; }

 private:
  struct Rule {
    int kind;
    size_t at;  // the count of its kind at which it fires
    int32_t code;
  };
  int32_t DecideByRules(int kind, size_t count);

  std::vector<Rule> mRules;
  size_t mSeen[kRequestKinds] = {};
  int mRulesOfKind[kRequestKinds] = {};  // rules waiting in mRules, per kind
  int32_t mCreatorCode = 0;
  size_t mMemoryBudget = SIZE_MAX;
};

}  // namespace host

#endif  // TRESSEL_HOST_FAULTPLAN_H
