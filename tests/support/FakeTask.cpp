#include "tests/support/FakeTask.h"

#include <stdlib.h>

#include <algorithm>
#include <stdexcept>

#include <gtest/gtest.h>

#include "plugin/HostMemory.h"
#include "plugin/PluginTask.h"
#include "tests/support/TaskEntry.h"

namespace {
FakeTask* gCurrent = nullptr;
int gContextTag;
}  // namespace

FakeTask::FakeTask(uint32_t selector) : record_(2048, 0), context_(&gContextTag) {
  if (gCurrent) throw std::logic_error("only one FakeTask at a time");
  gCurrent = this;
  Header().hostCallback = &FakeTask::Callback;
  Header().hostContext = context_;
  PushTaskEntry(selector, &Header(), static_cast<int32_t>(record_.size()));
}

FakeTask::~FakeTask() {
  PopTaskEntry();
  for (auto& block : live_) free(block.first);
  gCurrent = nullptr;
}

size_t FakeTask::Count(uint32_t selector) const {
  return static_cast<size_t>(std::count(requests.begin(), requests.end(), selector));
}

int32_t FakeTask::Callback(uint32_t selector, int32_t size, void* record) {
  return gCurrent->Serve(selector, size, record);
}

int32_t FakeTask::Serve(uint32_t selector, int32_t size, void* record) {
  requests.push_back(selector);
  if (*static_cast<void**>(record) != context_) {
    ADD_FAILURE() << "request without the host context";
    return 3;
  }
  if (selector == Request::kMemAlloc) {
    if (size != int32_t(sizeof(HostMemAllocRec))) {
      ADD_FAILURE() << "bad 'MMAL' size " << size;
      return 3;
    }
    auto* rec = static_cast<HostMemAllocRec*>(record);
    ++allocations_;
    if (allocations_ == failAt_) return 1;
    if (rec->byteCount <= 0) return 3;
    const size_t n = static_cast<size_t>(rec->byteCount);
    if (liveBytes_ + n > budget_) return 1;
    void* p = malloc(n);
    if (!p) return 1;
    live_[p] = n;
    liveBytes_ += n;
    peakBytes_ = std::max(peakBytes_, liveBytes_);
    rec->block = p;
    return 0;
  }
  if (selector == Request::kMemFree) {
    if (size != int32_t(sizeof(HostMemFreeRec))) {
      ADD_FAILURE() << "bad 'MFRE' size " << size;
      return 3;
    }
    auto* rec = static_cast<HostMemFreeRec*>(record);
    auto it = live_.find(rec->block);
    if (it == live_.end()) {
      ADD_FAILURE() << "'MFRE' of a block the host never gave";
      return 3;
    }
    liveBytes_ -= it->second;
    free(it->first);
    live_.erase(it);
    return 0;
  }
  return onRequest ? onRequest(selector, size, record) : 0;
}
