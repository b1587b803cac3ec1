// The entry point: the task stack, Main and Run_Host.
#include <string.h>

#include "platform/Platform.h"
#include "plugin/HostMemory.h"
#include "plugin/PluginTask.h"
#include "plugin/ResourceFile.h"

PluginTask plugStack[PluginTask::kMaxDepth];
int32_t stackCount = 0;
PluginTask* plug = &plugStack[0];

bool Run_Host(uint32_t selector, int32_t size, void* record) {
  const int32_t answer = plug->record->hostCallback(selector, size, record);
  plug->status = answer;
  if (answer != 0) plug->result = answer;
  return answer == 0;
}

namespace {

bool GenerationActive() {
  for (int32_t i = 0; i < stackCount; ++i)
    if (plugStack[i].selector == Selector::kGenerate) return true;
  return false;
}

bool NeedsResourceFile(uint32_t selector) {
  return selector == Selector::kInitialize || selector == Selector::kInterface;
}

}  // namespace

TRESSEL_ENTRY int32_t Main(uint32_t selector, int32_t recordSize, void* record) {
  // A full stack or a generation in progress: every nested command is ignored.
  if (stackCount >= PluginTask::kMaxDepth) return 0;
  if (GenerationActive()) return 0;

  PluginTask& task = plugStack[stackCount];
  plug = &task;
  ++stackCount;
  MAlloc = MAllocProc;
  MFree = MFreeProc;
  task.selector = selector;
  task.recordSize = recordSize;
  task.record = static_cast<PluginRecHeader*>(record);
  task.status = 0;
  task.result = 0;

  int32_t answer;
  if (!record || recordSize < MinimumRecordSize(selector)) {
    task.Fail(kResultBadRecord);
    answer = kResultBadRecord;
  } else {
    bool openedHere = false;
    try {
      if (!theRF && NeedsResourceFile(selector)) {
        if (!PluginTask::OpenRFile()) {
          task.Fail(kResultNoResource);
        } else {
          openedHere = true;
        }
      }
      if (task.status == 0) task.Run();
      answer = task.result;
      // The close is under the catch-all too: whatever the host's close
      // raises answers 1 and never leaves Main.
      if (openedHere) {
        openedHere = false;
        PluginTask::CloseRFile();
      }
    } catch (...) {
      answer = kResultMemory;
    }
    // After an exception the file is still closed, so a later call never
    // finds a handle left over from a failed one.
    if (openedHere) {
      try {
        PluginTask::CloseRFile();
      } catch (...) {
        answer = kResultMemory;
      }
    }
  }

  --stackCount;
  if (stackCount > 0) plug = &plugStack[stackCount - 1];
  return answer;
}
