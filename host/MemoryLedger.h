// The ledger of host memory handed out through 'MMAL' and taken back through
// 'MFRE'. Blocks are ordinary heap blocks. Where faults are looked for (the
// tests, `tressel validate`) each new block is filled with kFreshByte, so a
// module that relies on zeroed memory shows it; the fill can be turned off
// where only the result matters (`tressel wire`), and the books (live blocks,
// live and peak bytes, the owner of each block) are kept either way.
#ifndef TRESSEL_HOST_MEMORYLEDGER_H
#define TRESSEL_HOST_MEMORYLEDGER_H

#include <stddef.h>
#include <stdint.h>

#include <vector>

namespace host {

class CMemoryLedger {
 public:
  static constexpr uint8_t kFreshByte = 0xA5;
  static constexpr uint64_t kNoCommand = 0;  // owner of blocks already reported as leaked

  CMemoryLedger() = default;
  ~CMemoryLedger();  // releases every block still live
  CMemoryLedger(const CMemoryLedger&) = delete;
  CMemoryLedger& operator=(const CMemoryLedger&) = delete;

  // Whether new blocks are filled with kFreshByte (on by default).
  void SetFill(bool on) { mFill = on; }
  bool Fills() const { return mFill; }

  // A new block of `bytes` (> 0) charged to command `owner`; null when the heap
  // refuses (the books then stay as they were).
  void* Allocate(size_t bytes, uint64_t owner);
  // False (and nothing done) when block is not live.
  bool Release(void* block);
  bool IsLive(void* block) const { return block && Find(block) != kAbsent; }

  // Blocks (and their bytes) still charged to `owner`; they are then charged to
  // no command, so each leak is counted once. O(table size).
  size_t TakeLeaks(uint64_t owner, size_t* bytes);

  size_t LiveBlocks() const { return mLiveBlocks; }
  size_t LiveBytes() const { return mLiveBytes; }
  size_t PeakBytes() const { return mPeakBytes; }
  size_t Allocations() const { return mAllocations; }
  size_t Releases() const { return mReleases; }

 private:
  // The live blocks in an open-addressing table (linear probing, deletion by
  // backward shift): an empty slot has a null block. The table is a power of
  // two in size and at most half full, so a lookup is O(1) expected with no
  // allocation per block.
  struct Slot {
    void* block;
    size_t bytes;
    uint64_t owner;
  };
  static constexpr size_t kAbsent = SIZE_MAX;
  size_t Home(const void* block) const;
  size_t Find(const void* block) const;
  // Makes room for one more entry; false when the heap refuses the bigger table.
  bool Reserve();
  void Insert(const Slot& slot);

  std::vector<Slot> mSlots;
  size_t mLiveBlocks = 0;
  size_t mLiveBytes = 0;
  size_t mPeakBytes = 0;
  size_t mAllocations = 0;
  size_t mReleases = 0;
  bool mFill = true;
};

}  // namespace host

#endif  // TRESSEL_HOST_MEMORYLEDGER_H
