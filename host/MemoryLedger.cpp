// Bookkeeping of live host blocks: allocation, release and the per-command leak
// count. Each operation is O(log live blocks); TakeLeaks is O(live blocks).
#include "host/MemoryLedger.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace host {

CMemoryLedger::~CMemoryLedger() {
  for (auto& entry : mBlocks) std::free(entry.first);
}

void* CMemoryLedger::Allocate(size_t bytes, uint64_t owner) {
  void* block = std::malloc(bytes);
  if (!block) return nullptr;
  std::memset(block, kFreshByte, bytes);
  mBlocks[block] = Block{bytes, owner};
  mLiveBytes += bytes;
  mPeakBytes = std::max(mPeakBytes, mLiveBytes);
  ++mAllocations;
  return block;
}

bool CMemoryLedger::Release(void* block) {
  auto found = mBlocks.find(block);
  if (found == mBlocks.end()) return false;
  mLiveBytes -= found->second.bytes;
  mBlocks.erase(found);
  std::free(block);
  ++mReleases;
  return true;
}

size_t CMemoryLedger::TakeLeaks(uint64_t owner, size_t* bytes) {
  size_t count = 0;
  size_t total = 0;
  for (auto& entry : mBlocks) {
    if (entry.second.owner != owner || owner == kNoCommand) continue;
    ++count;
    total += entry.second.bytes;
    entry.second.owner = kNoCommand;
  }
  if (bytes) *bytes = total;
  return count;
}

}  // namespace host
