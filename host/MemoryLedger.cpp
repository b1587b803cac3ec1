// Bookkeeping of live host blocks in a flat hash table keyed by the block's
// address: allocation, release and lookup are O(1) expected; TakeLeaks is
// O(table size), once per command.
#include "host/MemoryLedger.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace host {

CMemoryLedger::~CMemoryLedger() {
  for (const Slot& slot : mSlots)
    if (slot.block) std::free(slot.block);
}

size_t CMemoryLedger::Home(const void* block) const {
  // Fibonacci hashing of the address; malloc's low bits carry no information.
  const uint64_t key = uint64_t(reinterpret_cast<uintptr_t>(block)) >> 4;
  return size_t((key * 0x9E3779B97F4A7C15ull) >> 32) & (mSlots.size() - 1);
}

size_t CMemoryLedger::Find(const void* block) const {
  if (mSlots.empty()) return kAbsent;
  const size_t mask = mSlots.size() - 1;
  for (size_t at = Home(block);; at = (at + 1) & mask) {
    if (mSlots[at].block == block) return at;
    if (!mSlots[at].block) return kAbsent;
  }
}

void CMemoryLedger::Insert(const Slot& slot) {
  const size_t mask = mSlots.size() - 1;
  size_t at = Home(slot.block);
  while (mSlots[at].block) at = (at + 1) & mask;
  mSlots[at] = slot;
}

bool CMemoryLedger::Reserve() {
  if (2 * (mLiveBlocks + 1) <= mSlots.size()) return true;
  std::vector<Slot> old;
  try {
    old.assign(std::max<size_t>(64, 2 * mSlots.size()), Slot{nullptr, 0, 0});
  } catch (const std::bad_alloc&) {
    return false;
  }
  old.swap(mSlots);
  for (const Slot& slot : old)
    if (slot.block) Insert(slot);
  return true;
}

void* CMemoryLedger::Allocate(size_t bytes, uint64_t owner) {
  if (!Reserve()) return nullptr;
  void* block = std::malloc(bytes);
  if (!block) return nullptr;
  if (mFill) std::memset(block, kFreshByte, bytes);
  Insert(Slot{block, bytes, owner});
  ++mLiveBlocks;
  mLiveBytes += bytes;
  mPeakBytes = std::max(mPeakBytes, mLiveBytes);
  ++mAllocations;
  return block;
}

bool CMemoryLedger::Release(void* block) {
  size_t hole = block ? Find(block) : kAbsent;
  if (hole == kAbsent) return false;
  mLiveBytes -= mSlots[hole].bytes;
  --mLiveBlocks;
  ++mReleases;
  std::free(block);
  // Backward-shift deletion: move later entries of the probe run into the
  // hole when their home does not lie strictly between the hole and them.
  const size_t mask = mSlots.size() - 1;
  for (size_t at = (hole + 1) & mask; mSlots[at].block; at = (at + 1) & mask) {
    const size_t home = Home(mSlots[at].block);
    const bool stays = hole <= at ? (hole < home && home <= at) : (hole < home || home <= at);
    if (stays) continue;
    mSlots[hole] = mSlots[at];
    hole = at;
  }
  mSlots[hole] = Slot{nullptr, 0, 0};
  return true;
}

size_t CMemoryLedger::TakeLeaks(uint64_t owner, size_t* bytes) {
  size_t count = 0;
  size_t total = 0;
  if (owner != kNoCommand) {
    for (Slot& slot : mSlots) {
      if (!slot.block || slot.owner != owner) continue;
      ++count;
      total += slot.bytes;
      slot.owner = kNoCommand;
    }
  }
  if (bytes) *bytes = total;
  return count;
}

}  // namespace host
