// The 'INTF' command: runs the settings dialog over the instance's tag. OK
// stores the settings (channels, instance block) and asks for a model reset;
// anything else, a dialog that could not be made included, answers 4. The
// dialog is destroyed last.
#include "plugin/PluginTask.h"
#include "ui/WireDialog.h"
#include "wire/WireTag.h"

int32_t PluginTask::Interface() {
  CWireTag* tag = CWireTag::Get1Wire();
  // The dialog lives until the command ends: after the channel values, the
  // stored settings and the reset ('SCHN', 'ALOC', 'RSET'), on every way out.
  CWireDialog dialog(tag);
  if (!dialog.Run()) {
    Fail(kResultCancelled);
    return status;
  }
  tag->UpdateAll();
  SendModelReset();
  return status;
}
