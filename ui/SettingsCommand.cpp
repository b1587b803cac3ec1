// The 'INTF' command: runs the settings dialog over the instance's tag. OK
// stores the settings (channels, instance block) and asks for a model reset;
// anything else, a dialog that could not be made included, answers 4.
#include "plugin/PluginTask.h"
#include "ui/WireDialog.h"
#include "wire/WireTag.h"

int32_t PluginTask::Interface() {
  CWireTag* tag = CWireTag::Get1Wire();
  bool confirmed = false;
  {
    CWireDialog dialog(tag);
    confirmed = dialog.Run();
  }
  if (!confirmed) {
    Fail(kResultCancelled);
    return status;
  }
  tag->UpdateAll();
  SendModelReset();
  return status;
}
