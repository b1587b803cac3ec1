// The 'INTF' command. The settings dialog is not built yet, so the command
// says so instead of pretending a dialog ran.
#include "plugin/PluginTask.h"

int32_t PluginTask::Interface() {
  Fail(kResultNotSupported);
  return status;
}
