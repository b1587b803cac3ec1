#include "fuzz/FuzzHost.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include "plugin/HostMemory.h"
#include "plugin/PluginTask.h"
#include "tests/support/TaskEntry.h"

namespace {
CFuzzHost* mCurrent = nullptr;
int mContextTag;

}  // namespace

void FuzzFail(const char* file, int line, const char* what) {
  fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, what);
  fflush(stderr);
  abort();
}

CFuzzHost::CFuzzHost() : record_(2048, 0), context_(&mContextTag) {
  FUZZ_CHECK(mCurrent == nullptr);
  mCurrent = this;
  Header().hostCallback = &CFuzzHost::Callback;
  Header().hostContext = context_;
  SyncHeader();
}

CFuzzHost::~CFuzzHost() {
  if (entered_) Leave();
  for (auto& block : live_) free(block.first);
  mCurrent = nullptr;
}

void CFuzzHost::Enter(uint32_t selector) {
  FUZZ_CHECK(!entered_ && stackCount < PluginTask::kMaxDepth);
  PushTaskEntry(selector, &Header(), static_cast<int32_t>(record_.size()));
  entered_ = true;
}

void CFuzzHost::Leave() {
  FUZZ_CHECK(entered_);
  PopTaskEntry();
  entered_ = false;
}

int32_t CFuzzHost::Call(uint32_t selector) {
  return Main(selector, static_cast<int32_t>(record_.size()), &Header());
}

void CFuzzHost::SetBlock(const uint8_t* bytes, size_t n) {
  block_ = std::vector<uint8_t>(bytes, bytes + n);
  hasBlock_ = n > 0;
  SyncHeader();
}

void CFuzzHost::SyncHeader() {
  Header().instanceData = hasBlock_ ? block_.data() : nullptr;
  Header().instanceDataSize = hasBlock_ ? int32_t(block_.size()) : 0;
}

int32_t CFuzzHost::Callback(uint32_t selector, int32_t size, void* record) {
  FUZZ_CHECK(mCurrent != nullptr);
  return mCurrent->Serve(selector, size, record);
}

int32_t CFuzzHost::Serve(uint32_t selector, int32_t size, void* record) {
  FUZZ_CHECK(record != nullptr);
  FUZZ_CHECK(*static_cast<void**>(record) == context_);
  const int32_t expected = RequestRecordSize(selector);
  FUZZ_CHECK(expected == 0 || size == expected);

  switch (selector) {
    case Request::kMemAlloc: {
      auto* rec = static_cast<HostMemAllocRec*>(record);
      FUZZ_CHECK(rec->byteCount > 0);
      const size_t n = static_cast<size_t>(rec->byteCount);
      if (liveBytes_ + n > memoryBudget) return 1;
      void* p = malloc(n);
      if (!p) return 1;
      live_[p] = n;
      liveBytes_ += n;
      rec->block = p;
      return 0;
    }
    case Request::kMemFree: {
      auto* rec = static_cast<HostMemFreeRec*>(record);
      auto it = live_.find(rec->block);
      FUZZ_CHECK(it != live_.end());  // only blocks this host handed out
      liveBytes_ -= it->second;
      free(it->first);
      live_.erase(it);
      return 0;
    }
    case Request::kAllocate: {
      auto* rec = static_cast<HostAllocateRec*>(record);
      if (allocateAnswer) return allocateAnswer;
      FUZZ_CHECK(rec->instanceDataSize >= 0);
      FUZZ_CHECK(static_cast<void*>(rec->instanceData) == (hasBlock_ ? block_.data() : nullptr));
      // A fresh block of exactly the new size, the old bytes kept as far as they go.
      std::vector<uint8_t> resized(size_t(rec->instanceDataSize));
      std::copy_n(block_.begin(), std::min(block_.size(), resized.size()), resized.begin());
      block_.swap(resized);
      hasBlock_ = !block_.empty();
      rec->instanceData = hasBlock_ ? block_.data() : nullptr;
      return 0;
    }
    case Request::kCreator:
      static_cast<HostCreatorRec*>(record)->creator = FourCC("FUZZ");
      return 0;
    case Request::kModelReset:
      return 0;
    case Request::kStatus:
      ++statusCount_;
      return cancelAtStatus > 0 && statusCount_ == cancelAtStatus ? 1 : 0;
    default:
      return onRequest ? onRequest(selector, size, record) : 2;
  }
}
