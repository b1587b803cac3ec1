// The fault plan: which requests the host answers with a failure on purpose.
// Counts start when a rule is set; a rule fires once.
#ifndef TRESSEL_HOST_FAULTPLAN_H
#define TRESSEL_HOST_FAULTPLAN_H

#include <stddef.h>
#include <stdint.h>

#include <map>
#include <vector>

namespace host {

class CFaultPlan {
 public:
  // Answers the n-th (1-based, counted from now) request of `selector` with code.
  void FailRequest(uint32_t selector, int nth, int32_t code);
  // Answers the n-th 'STAT' from now with code (nonzero: the user cancelled).
  void CancelStatus(int nth, int32_t code = 4);
  // Answers every 'CREA' with code (0 restores normal answers).
  void AnswerCreator(int32_t code) { mCreatorCode = code; }
  // Refuses (code 1) every 'MMAL' that would take the live bytes past budget.
  void RefuseMemoryPast(size_t budget) { mMemoryBudget = budget; }
  void Clear();

  // For the host: counts the request and returns the planned code, 0 for none.
  int32_t Decide(uint32_t selector);
  bool MemoryAllowed(size_t liveBytes, size_t requested) const;
  int32_t CreatorCode() const { return mCreatorCode; }

 private:
  struct Rule {
    uint32_t selector;
    size_t at;  // the count of `selector` at which it fires
    int32_t code;
  };
  std::vector<Rule> mRules;
  std::map<uint32_t, size_t> mSeen;
  int32_t mCreatorCode = 0;
  size_t mMemoryBudget = SIZE_MAX;
};

}  // namespace host

#endif  // TRESSEL_HOST_FAULTPLAN_H
