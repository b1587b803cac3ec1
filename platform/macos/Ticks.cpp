// Ticks on macOS: the toolbox's TickCount (sixtieths of a second since start
// up), found in the host process like GetKeys; a host without it gets the same
// unit from the monotonic clock.
#include <dlfcn.h>
#include <time.h>

#include "platform/Platform.h"

namespace platform {
namespace {
TickSource gTickSource = nullptr;

uint32_t MonotonicTicks() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  const uint64_t nanoseconds = uint64_t(now.tv_sec) * 1000000000u + uint64_t(now.tv_nsec);
  return static_cast<uint32_t>(nanoseconds / 1000000000u * 60u + nanoseconds % 1000000000u * 60u / 1000000000u);
}
}  // namespace

uint32_t TickCount() {
  if (gTickSource) return gTickSource();
  typedef uint32_t (*TickCountFunction)();
  static TickCountFunction toolbox = reinterpret_cast<TickCountFunction>(dlsym(RTLD_DEFAULT, "TickCount"));
  return toolbox ? toolbox() : MonotonicTicks();
}

void SetTickSourceForTesting(TickSource clock) { gTickSource = clock; }

}  // namespace platform
