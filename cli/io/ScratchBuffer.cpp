#include "cli/io/ScratchBuffer.h"

#include <stdlib.h>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace cliio {

namespace {

constexpr size_t kLargePage = size_t(2) << 20;

}  // namespace

void* AllocateScratch(size_t bytes) {
  void* memory = nullptr;
  if (bytes >= kLargePage && bytes <= size_t(-1) - kLargePage) {
    const size_t rounded = (bytes + kLargePage - 1) / kLargePage * kLargePage;
    memory = ::aligned_alloc(kLargePage, rounded);
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    // Only advice: where the system has no large pages to give, the memory
    // comes a small page at a time as before.
    if (memory) ::madvise(memory, rounded, MADV_HUGEPAGE);
#endif
  } else {
    memory = ::malloc(bytes ? bytes : 1);
  }
  if (!memory) throw std::bad_alloc();
  return memory;
}

void FreeScratch(void* memory) noexcept { ::free(memory); }

}  // namespace cliio
