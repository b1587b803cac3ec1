// Ticks on POSIX: sixtieths of a second from CLOCK_MONOTONIC, wrapping at 2^32.
#include <time.h>

#include "platform/Platform.h"

namespace platform {
namespace {
TickSource gTickSource = nullptr;
}

uint32_t TickCount() {
  if (gTickSource) return gTickSource();
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  const uint64_t nanoseconds = uint64_t(now.tv_sec) * 1000000000u + uint64_t(now.tv_nsec);
  const uint64_t ticks = nanoseconds / 1000000000u * 60u + nanoseconds % 1000000000u * 60u / 1000000000u;
  return static_cast<uint32_t>(ticks);
}

void SetTickSourceForTesting(TickSource clock) { gTickSource = clock; }

}  // namespace platform
