#include "cli/io/ScratchBuffer.h"

#include <stdint.h>

#include <cstring>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace cliio {

namespace {

constexpr size_t kLargePage = size_t(2) << 20;
// Room before a buffer for the start of the block it lies in; keeps the
// buffer aligned as operator new's blocks are.
constexpr size_t kHeader = 16;

}  // namespace

// Through the ordinary operator new, so that a program that replaces it (the
// command notes the size that failed) sees these requests too. A large
// buffer is placed on the first large-page boundary of a block a large page
// longer; the block's start is kept just before the buffer.
void* AllocateScratch(size_t bytes) {
  if (bytes > size_t(-1) - 2 * kLargePage - kHeader) throw std::bad_alloc();
  const bool large = bytes >= kLargePage;
  const size_t rounded = large ? (bytes + kLargePage - 1) / kLargePage * kLargePage : bytes;
  const size_t extra = kHeader + (large ? kLargePage : 0);
  unsigned char* block = static_cast<unsigned char*>(::operator new(rounded + extra));
  uintptr_t start = reinterpret_cast<uintptr_t>(block) + kHeader;
  if (large) start = (start + kLargePage - 1) / kLargePage * kLargePage;
  unsigned char* buffer = block + (start - reinterpret_cast<uintptr_t>(block));
  std::memcpy(buffer - sizeof block, &block, sizeof block);
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  // Only advice: where the system has no large pages to give, the memory
  // comes a small page at a time as before.
  if (large) ::madvise(buffer, rounded, MADV_HUGEPAGE);
#endif
  return buffer;
}

void FreeScratch(void* memory) noexcept {
  if (!memory) return;
  unsigned char* block;
  std::memcpy(&block, static_cast<unsigned char*>(memory) - sizeof block, sizeof block);
  ::operator delete(block);
}

}  // namespace cliio
