// The command's replacement of the ordinary operator new: the same behaviour
// (malloc, the new-handler loop, std::bad_alloc) plus a note of the size that
// failed. It also makes allocation failures reach the command as
// std::bad_alloc in the sanitizer builds, whose own operator new would end the
// process instead. The aligned forms are left to the library.
#include "cli/OutOfMemory.h"

#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <atomic>
#include <cstring>
#include <new>

namespace cli {
namespace {

std::atomic<size_t> gLastFailed{0};
// Each thread has a phase of its own: a preview drawn while the wires are
// written is "drawing", not "writing".
thread_local std::string gPhase;

// A test aid: $TRESSEL_ALLOCATION_LIMIT=PHASE:BYTES refuses every request
// larger than BYTES while the thread's phase begins with PHASE, as an
// exhausted machine would. The sanitizer builds cannot run under an address
// space limit, and there the host's own buffers would otherwise fail first.
thread_local size_t gLimit = 0;
thread_local bool gLimitActive = false;

void* Allocate(size_t size) {
  if (size == 0) size = 1;
  for (;;) {
    void* block = gLimitActive && size > gLimit ? nullptr : ::malloc(size);
    if (block) return block;
    std::new_handler handler = std::get_new_handler();
    if (!handler) {
      gLastFailed.store(size, std::memory_order_relaxed);
      throw std::bad_alloc();
    }
    handler();
  }
}

void* AllocateOrNull(size_t size) noexcept {
  try {
    return Allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace

size_t LastFailedAllocation() { return gLastFailed.load(std::memory_order_relaxed); }

std::string ByteCount(size_t bytes) {
  static const char* const kUnits[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
  if (bytes < 1024) return std::to_string(bytes) + " bytes";
  double value = double(bytes) / 1024;
  int unit = 0;
  while (value >= 1024 && unit < 5) {
    value /= 1024;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
  return text;
}

void SetPhase(std::string phase) {
  gPhase = std::move(phase);
  const char* limit = std::getenv("TRESSEL_ALLOCATION_LIMIT");
  const char* colon = limit ? std::strrchr(limit, ':') : nullptr;
  gLimitActive = colon && gPhase.compare(0, size_t(colon - limit), limit, size_t(colon - limit)) == 0;
  if (gLimitActive) gLimit = std::strtoull(colon + 1, nullptr, 10);
}

std::string OutOfMemoryLine() {
  std::string line = "out of memory while " + (gPhase.empty() ? std::string("running") : gPhase);
  if (const size_t failed = LastFailedAllocation()) line += " (a request for " + ByteCount(failed) + " failed)";
  return line;
}

}  // namespace cli

void* operator new(size_t size) { return cli::Allocate(size); }
void* operator new[](size_t size) { return cli::Allocate(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return cli::AllocateOrNull(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return cli::AllocateOrNull(size); }
void operator delete(void* block) noexcept { ::free(block); }
void operator delete[](void* block) noexcept { ::free(block); }
void operator delete(void* block, size_t) noexcept { ::free(block); }
void operator delete[](void* block, size_t) noexcept { ::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { ::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { ::free(block); }
