// The progress indicator: nested indicators, each report one 'STAT' request,
// at most one report per 40 ticks unless a caller reports 0 units.
#include "ui/InfoDlg.h"

#include <string.h>

#include "platform/Platform.h"
#include "plugin/PluginTask.h"

InfoDlg* InfoDlg::mInstance = nullptr;

namespace {
void CopyInto(uint8_t (&field)[256], const PascalString& text) { memcpy(field, text.Raw(), sizeof field); }
}  // namespace

// The first report is due at once (until SetIndicator schedules one).
InfoDlg::InfoDlg() : previous_(mInstance), nextReport_(platform::TickCount()), total_(0) {
  memset(&record_, 0, sizeof record_);
  record_.hostContext = CurrentHostContext();
  record_.fraction = 0.0f;
  CopyInto(record_.title, PascalString());
  CopyInto(record_.text, PascalString());
  record_.maximum = 100;
  record_.reported = 0;
  mInstance = this;
}

InfoDlg::~InfoDlg() { mInstance = previous_; }

void InfoDlg::SetIndicator(const PascalString& title, int maximum, const PascalString& text) {
  InfoDlg* self = mInstance;
  if (!self) return;
  self->record_.fraction = 0.0f;
  if (!text.IsEmpty()) {
    CopyInto(self->record_.text, text);
  } else {
    for (InfoDlg* outer = self->previous_; outer; outer = outer->previous_) {
      if (outer->record_.text[0] != 0) {
        memcpy(self->record_.text, outer->record_.text, sizeof self->record_.text);
        break;
      }
    }
  }
  CopyInto(self->record_.title, title);
  self->record_.maximum = maximum;
  self->record_.reported = 0;
  self->record_.zero0 = 0;
  self->record_.zero1 = 0;
  self->total_ = 0;
  self->nextReport_ = platform::TickCount() + kReportInterval;
}

bool InfoDlg::Update(int units) {
  InfoDlg* self = mInstance;
  if (!self) return true;
  self->total_ += units;
  const uint32_t now = platform::TickCount();
  // Tick counts wrap at 2^32: compare by signed distance, so a report time set
  // just before the wrap does not hold reports back for the next wrap.
  if (int32_t(now - self->nextReport_) < 0 && units != 0) return true;
  self->nextReport_ = now + kReportInterval;
  self->record_.fraction = float(self->record_.reported) / float(self->record_.maximum);
  if (!Run_Host(Request::kStatus, sizeof self->record_, &self->record_)) return false;
  self->record_.reported = self->total_;
  return true;
}
