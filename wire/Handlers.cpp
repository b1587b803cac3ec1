// The command handlers that act on an instance's settings: 'INIT', 'FINI',
// 'GENM', 'ICHN' and 'LCHN'. Each fetches the tag with Get1Wire and returns
// the task's status; host failures reach the host through `result`.
#include <string.h>

#include "plugin/PluginTask.h"
#include "plugin/SetupBlock.h"
#include "ui/InfoDlg.h"
#include "wire/WireTag.h"

int32_t PluginTask::Initialize() {
  theModelSetup.Creator();
  CWireTag::Get1Wire();
  return status;
}

int32_t PluginTask::Finish() {
  CWireTag* tag = CWireTag::Get1Wire();
  // Under a shared creator code a duplicated instance uses the tag of the
  // instance it was copied from; that tag stays with its owner.
  if (tag && tag->owner == CurrentHostContext()) CWireTag::FreeLive(tag);
  PluginRecHeader* header = record;
  if (header->instanceData && header->instanceDataSize >= int32_t(sizeof(void*)))
    memset(header->instanceData, 0, sizeof(void*));
  return status;
}

int32_t PluginTask::ModelGenerate() {
  // The outer indicator; Generate nests its own inside it. Destroyed on every
  // way out, also when the memory exception passes.
  InfoDlg progress;
  CWireTag* tag = CWireTag::Get1Wire();
  if (tag) tag->Generate();
  return status;
}

int32_t PluginTask::InitChannel() {
  CWireTag* tag = CWireTag::Get1Wire();
  if (tag) tag->InitChannels();
  return status;
}

int32_t PluginTask::LoadChannel() {
  CWireTag* tag = CWireTag::Get1Wire();
  if (tag) tag->LoadChannels();
  return status;
}
