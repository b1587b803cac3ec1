// Pushing and popping one entry of the module's task stack, as Main does, for
// the in-process test hosts (FakeTask, the fuzz host). No test framework here.
#ifndef TRESSEL_TESTS_SUPPORT_TASKENTRY_H
#define TRESSEL_TESTS_SUPPORT_TASKENTRY_H

#include <stdint.h>

#include "plugin/HostMemory.h"
#include "plugin/PluginTask.h"

// REQUIRES: stackCount < PluginTask::kMaxDepth; record lives until PopTaskEntry.
inline void PushTaskEntry(uint32_t selector, PluginRecHeader* record, int32_t recordSize) {
  PluginTask& task = plugStack[stackCount];
  task.selector = selector;
  task.recordSize = recordSize;
  task.record = record;
  task.status = 0;
  task.result = 0;
  plug = &task;
  ++stackCount;
  MAlloc = MAllocProc;
  MFree = MFreeProc;
}

// REQUIRES: an entry pushed with PushTaskEntry is the topmost.
inline void PopTaskEntry() {
  --stackCount;
  if (stackCount > 0) plug = &plugStack[stackCount - 1];
}

#endif  // TRESSEL_TESTS_SUPPORT_TASKENTRY_H
