// CFuzzHost: the host side of one model instance for the fuzz targets, without
// a test framework, so that the same shim links into libFuzzer and into the
// corpus replay programs.
//
// It owns one command record (header + room for any body) whose hostCallback
// is served here: 'MMAL'/'MFRE' from a counting allocator with a budget,
// 'RSET' (accepted), 'ALOC' by resizing the instance data block to exactly the size asked for
// (so a read past the block is an ASan report), 'CREA', 'STAT' (optionally
// cancelling), and everything else through `onRequest`. Every request is
// checked for the instance's hostContext; a violation aborts with its name.
// Only one CFuzzHost may be alive at a time.
#ifndef TRESSEL_FUZZ_FUZZHOST_H
#define TRESSEL_FUZZ_FUZZHOST_H

#include <stddef.h>
#include <stdint.h>

#include <functional>
#include <map>
#include <vector>

#include "plugin/HostRecords.h"

// Aborts (a finding for libFuzzer, a failure for the replay) when cond is false.
#define FUZZ_CHECK(cond) ((cond) ? (void)0 : FuzzFail(__FILE__, __LINE__, #cond))
[[noreturn]] void FuzzFail(const char* file, int line, const char* what);

class CFuzzHost {
 public:
  CFuzzHost();
  ~CFuzzHost();
  CFuzzHost(const CFuzzHost&) = delete;
  CFuzzHost& operator=(const CFuzzHost&) = delete;

  // Makes the record the current call of `selector`, as Main would (task
  // stack entry, allocation hooks), for calling module functions directly.
  // Leave() pops it; the destructor pops it if still entered.
  void Enter(uint32_t selector);
  void Leave();
  // Calls the module's entry point with the record.
  int32_t Call(uint32_t selector);

  // The instance data block: a copy of [bytes, bytes + n), exactly n bytes on
  // the heap; n == 0 leaves no block.
  void SetBlock(const uint8_t* bytes, size_t n);
  const std::vector<uint8_t>& Block() const { return block_; }

  PluginRecHeader& Header() { return *reinterpret_cast<PluginRecHeader*>(record_.data()); }
  void* Context() const { return context_; }

  // Requests other than those served here; returning nonzero fails them.
  std::function<int32_t(uint32_t selector, int32_t size, void* record)> onRequest;

  size_t LiveBlocks() const { return live_.size(); }
  size_t memoryBudget = size_t(64) << 20;  // 'MMAL' past this many live bytes answers 1
  int32_t cancelAtStatus = 0;              // n > 0: the n-th 'STAT' answers 1 (cancel)
  int32_t allocateAnswer = 0;              // nonzero: 'ALOC' refused with it

 private:
  static int32_t Callback(uint32_t selector, int32_t size, void* record);
  int32_t Serve(uint32_t selector, int32_t size, void* record);
  void SyncHeader();

  std::vector<uint8_t> record_;
  void* context_;
  bool entered_ = false;
  std::vector<uint8_t> block_;  // allocated at exactly its size
  bool hasBlock_ = false;
  std::map<void*, size_t> live_;
  size_t liveBytes_ = 0;
  int32_t statusCount_ = 0;
};

#endif  // TRESSEL_FUZZ_FUZZHOST_H
