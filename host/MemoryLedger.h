// The ledger of host memory handed out through 'MMAL' and taken back through
// 'MFRE'. Blocks are ordinary heap blocks filled with kFreshByte, so a module
// that relies on zeroed memory shows it.
#ifndef TRESSEL_HOST_MEMORYLEDGER_H
#define TRESSEL_HOST_MEMORYLEDGER_H

#include <stddef.h>
#include <stdint.h>

#include <map>

namespace host {

class CMemoryLedger {
 public:
  static constexpr uint8_t kFreshByte = 0xA5;
  static constexpr uint64_t kNoCommand = 0;  // owner of blocks already reported as leaked

  CMemoryLedger() = default;
  ~CMemoryLedger();  // releases every block still live
  CMemoryLedger(const CMemoryLedger&) = delete;
  CMemoryLedger& operator=(const CMemoryLedger&) = delete;

  // A new block of `bytes` (> 0) charged to command `owner`; null when the heap refuses.
  void* Allocate(size_t bytes, uint64_t owner);
  // False (and nothing done) when block is not live.
  bool Release(void* block);
  bool IsLive(void* block) const { return mBlocks.count(block) != 0; }

  // Blocks (and their bytes) still charged to `owner`; they are then charged to
  // no command, so each leak is counted once.
  size_t TakeLeaks(uint64_t owner, size_t* bytes);

  size_t LiveBlocks() const { return mBlocks.size(); }
  size_t LiveBytes() const { return mLiveBytes; }
  size_t PeakBytes() const { return mPeakBytes; }
  size_t Allocations() const { return mAllocations; }
  size_t Releases() const { return mReleases; }

 private:
  struct Block {
    size_t bytes;
    uint64_t owner;
  };
  std::map<void*, Block> mBlocks;
  size_t mLiveBytes = 0;
  size_t mPeakBytes = 0;
  size_t mAllocations = 0;
  size_t mReleases = 0;
};

}  // namespace host

#endif  // TRESSEL_HOST_MEMORYLEDGER_H
