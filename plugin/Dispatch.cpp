// Command dispatch: the selector table (minimum record sizes of this build's
// record layout) and the handlers that need nothing beyond the entry point.
#include <stdint.h>

#include "plugin/PluginTask.h"
#include "plugin/SetupBlock.h"

namespace {

enum class Handler { kNone, kAbout, kDescribe, kFinish, kGenerate, kInitChannel, kInformation,
                     kInitialize, kInterface, kLoadChannel, kExtra, kModelSetup };

struct SelectorEntry {
  uint32_t selector;
  int32_t minimumSize;
  Handler handler;
};

// Each minimum is the record's size in this build's layout; HostRecords.h
// asserts those sizes for every ABI (macOS 40-byte header, Win64 48, Win32 24).
const SelectorEntry kSelectors[] = {
    {Selector::kAbout, sizeof(PluginRecHeader), Handler::kAbout},
    {Selector::kBuildMap, sizeof(PluginMapRec), Handler::kNone},
    {Selector::kCheck, sizeof(PluginCheckRec), Handler::kNone},
    {Selector::kDescribe, sizeof(PluginDescribeRec), Handler::kDescribe},
    {Selector::kFreeChannel, sizeof(PluginRecHeader), Handler::kNone},
    {Selector::kFinish, sizeof(PluginRecHeader), Handler::kFinish},
    {Selector::kGetAttribute, sizeof(PluginMapRec), Handler::kNone},
    {Selector::kGetBlur, sizeof(PluginMapRec), Handler::kNone},
    {Selector::kGenerate, sizeof(PluginModelGenerateRec), Handler::kGenerate},
    {Selector::kGetInfo, sizeof(PluginMapRec), Handler::kNone},
    {Selector::kInitChannel, sizeof(PluginChannelRec), Handler::kInitChannel},
    {Selector::kInformation, sizeof(PluginInfoRec), Handler::kInformation},
    {Selector::kInitialize, sizeof(PluginRecHeader), Handler::kInitialize},
    {Selector::kInterface, sizeof(PluginRecHeader), Handler::kInterface},
    {Selector::kLoadChannel, sizeof(PluginLoadChannelRec), Handler::kLoadChannel},
    {Selector::kExtraCommand, sizeof(PluginExtraRec), Handler::kExtra},
    {Selector::kRenderMap, sizeof(PluginMapRec), Handler::kNone},
    {Selector::kModelSetup, sizeof(PluginModelSetupRec), Handler::kModelSetup},
    {Selector::kTextureMap, sizeof(PluginMapRec), Handler::kNone},
    {Selector::kUpdateChannel, sizeof(PluginChannelRec), Handler::kNone},
};

const SelectorEntry* Find(uint32_t selector) {
  for (const SelectorEntry& entry : kSelectors)
    if (entry.selector == selector) return &entry;
  return nullptr;
}

}  // namespace

int32_t MinimumRecordSize(uint32_t selector) {
  const SelectorEntry* entry = Find(selector);
  return entry ? entry->minimumSize : INT32_MAX;
}

int32_t PluginTask::Run() {
  const SelectorEntry* entry = Find(selector);
  if (!entry) return DoXCommand();
  switch (entry->handler) {
    case Handler::kNone: break;
    case Handler::kAbout: About(); break;
    case Handler::kDescribe: Describe(); break;
    case Handler::kFinish: Finish(); break;
    case Handler::kGenerate: ModelGenerate(); break;
    case Handler::kInitChannel: InitChannel(); break;
    case Handler::kInformation: Information(); break;
    case Handler::kInitialize: Initialize(); break;
    case Handler::kInterface: Interface(); break;
    case Handler::kLoadChannel: LoadChannel(); break;
    case Handler::kExtra: DoXCommand(); break;
    case Handler::kModelSetup: ModelSetup(); break;
  }
  return status;
}

int32_t PluginTask::About() { return status; }

int32_t PluginTask::DoXCommand() {
  Fail(kResultUnsupported);
  return status;
}

int32_t PluginTask::ModelSetup() {
  theModelSetup.Init(reinterpret_cast<PluginModelSetupRec*>(record));
  SendModelReset();
  return status;
}
