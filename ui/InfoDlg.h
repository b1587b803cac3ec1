// InfoDlg: the progress indicator. Each report is a 'STAT' request; a nonzero
// host answer asks the work to stop.
//
// Indicators nest: each one becomes current on construction and restores the
// previous one on destruction, so they must be destroyed in reverse order of
// construction (they live on the stack of the operation using them). The two
// static operations act on the innermost live indicator.
#ifndef TRESSEL_UI_INFODLG_H
#define TRESSEL_UI_INFODLG_H

#include <stdint.h>

#include "base/PascalString.h"
#include "plugin/HostRecords.h"

class InfoDlg {
 public:
  // REQUIRES: a call of Main is active (the record's hostContext is taken).
  InfoDlg();
  ~InfoDlg();
  InfoDlg(const InfoDlg&) = delete;
  InfoDlg& operator=(const InfoDlg&) = delete;

  // Starts a new task on the current indicator; no reports for 40 ticks.
  static void SetIndicator(const PascalString& title, int maximum, const PascalString& text);
  // Adds units; reports when due (always for 0 units). False when the host
  // asked to stop; true otherwise, also without a current indicator.
  static bool Update(int units);

  static InfoDlg* mInstance;

  // Read-only views for tests.
  const HostStatusRec& Record() const { return record_; }
  int32_t Total() const { return total_; }

  static constexpr uint32_t kReportInterval = 40;  // ticks

 private:
  InfoDlg* previous_;
  HostStatusRec record_;
  uint32_t nextReport_;
  int32_t total_;
};

#endif  // TRESSEL_UI_INFODLG_H
