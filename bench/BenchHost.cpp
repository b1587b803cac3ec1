#include "bench/BenchHost.h"

#include <stdlib.h>
#include <string.h>

#include "plugin/HostMemory.h"
#include "plugin/PluginTask.h"

namespace {

int gContextTag;

int32_t Serve(uint32_t selector, int32_t, void* record) {
  if (selector == Request::kMemAlloc) {
    auto* rec = static_cast<HostMemAllocRec*>(record);
    rec->block = malloc(static_cast<size_t>(rec->byteCount));
    return rec->block ? 0 : 1;
  }
  if (selector == Request::kMemFree) {
    free(static_cast<HostMemFreeRec*>(record)->block);
    return 0;
  }
  return 0;
}

}  // namespace

BenchHost::BenchHost() {
  memset(&header_, 0, sizeof header_);
  header_.hostCallback = Serve;
  header_.hostContext = &gContextTag;
  PluginTask& task = plugStack[stackCount];
  memset(&task, 0, sizeof task);
  task.selector = Selector::kGenerate;
  task.recordSize = sizeof header_;
  task.record = &header_;
  plug = &task;
  ++stackCount;
  MAlloc = MAllocProc;
  MFree = MFreeProc;
}

BenchHost::~BenchHost() {
  --stackCount;
  plug = stackCount > 0 ? &plugStack[stackCount - 1] : nullptr;
}
