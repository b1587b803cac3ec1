// Ticks on Windows: milliseconds since boot converted to sixtieths of a second
// (ms * 60 / 1000). The count comes from GetTickCount64 and the product is formed
// in 64 bits: with the 32-bit GetTickCount the product overflows after about 20
// hours of uptime and the millisecond count itself wraps after 49.7 days, and
// either would send the tick count backwards. Here it only wraps at 2^32 ticks.
#include <windows.h>

#include "platform/Platform.h"

namespace platform {
namespace {
TickSource gTickSource = nullptr;
}

uint32_t TickCount() {
  if (gTickSource) return gTickSource();
  const uint64_t milliseconds = GetTickCount64();
  return static_cast<uint32_t>(milliseconds * 60u / 1000u);
}

void SetTickSourceForTesting(TickSource clock) { gTickSource = clock; }

}  // namespace platform
