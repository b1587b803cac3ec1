// FakeTask: a current call for white-box tests of the module's code.
//
// Pushes one entry on the module's task stack whose record's hostCallback is
// served here: 'MMAL'/'MFRE' from a counting allocator (with an optional
// budget), every other request handed to `onRequest` (default: answer 0).
// The hooks MAlloc/MFree are pointed at the module's procs, as Main does.
// Only one FakeTask may be alive at a time.
#ifndef TRESSEL_TESTS_SUPPORT_FAKETASK_H
#define TRESSEL_TESTS_SUPPORT_FAKETASK_H

#include <stddef.h>
#include <stdint.h>

#include <functional>
#include <map>
#include <vector>

#include "plugin/HostRecords.h"

class FakeTask {
 public:
  explicit FakeTask(uint32_t selector = Selector::kGenerate);
  ~FakeTask();
  FakeTask(const FakeTask&) = delete;
  FakeTask& operator=(const FakeTask&) = delete;

  // Requests other than memory. Returning nonzero fails the request.
  std::function<int32_t(uint32_t selector, int32_t size, void* record)> onRequest;

  // Memory: blocks handed out and not yet released.
  size_t LiveBlocks() const { return live_.size(); }
  size_t LiveBytes() const { return liveBytes_; }
  size_t PeakBytes() const { return peakBytes_; }
  size_t Allocations() const { return allocations_; }
  // Refuse (answer 1) every 'MMAL' that would pass this many live bytes.
  void SetMemoryBudget(size_t bytes) { budget_ = bytes; }
  // Refuse the n-th 'MMAL' from now (1-based), once.
  void FailAllocation(size_t n) { failAt_ = allocations_ + n; }

  // Every request selector seen, in order (memory requests included).
  std::vector<uint32_t> requests;
  size_t Count(uint32_t selector) const;

  // The record the task carries (header + room for any body).
  PluginRecHeader& Header() { return *reinterpret_cast<PluginRecHeader*>(record_.data()); }
  void* HostContext() const { return context_; }

 private:
  static int32_t Callback(uint32_t selector, int32_t size, void* record);
  int32_t Serve(uint32_t selector, int32_t size, void* record);

  std::vector<uint8_t> record_;
  void* context_;
  std::map<void*, size_t> live_;
  size_t liveBytes_ = 0;
  size_t peakBytes_ = 0;
  size_t allocations_ = 0;
  size_t budget_ = SIZE_MAX;
  size_t failAt_ = 0;
};

#endif  // TRESSEL_TESTS_SUPPORT_FAKETASK_H
