// The per-platform pieces, behind one interface. The build picks one
// implementation file per function (platform/posix or platform/windows).
#ifndef TRESSEL_PLATFORM_PLATFORM_H
#define TRESSEL_PLATFORM_PLATFORM_H

#include <stdint.h>

#if defined(_WIN32)
// The module definition file (cmake/Tressel.def) exports the entry as "main";
// a dllexport here would export "Main" beside it.
#define TRESSEL_ENTRY extern "C"
#else
#define TRESSEL_ENTRY extern "C" __attribute__((visibility("default")))
#endif

namespace platform {

// Address of a function exported by the host executable under `name`, or null.
// Never finds the module's own (hidden) functions.
void* LookupHostFunction(const char* name);

// Test seam: while set, LookupHostFunction asks `resolver` instead of the
// host executable (in-process tests cannot export the host's names, which the
// module's own forwarders already define).
typedef void* (*HostFunctionResolver)(const char* name);
void SetHostFunctionResolverForTesting(HostFunctionResolver resolver);

// Ticks: sixtieths of a second from a monotonic clock.
uint32_t TickCount();

// Test seam: while set, TickCount() returns what `clock` returns.
typedef uint32_t (*TickSource)();
void SetTickSourceForTesting(TickSource clock);

// Keyboard modifier bits (Shift 0x0001, Command/Control 0x0006, Option 0x0008,
// Space 0x0100) as read at the moment of the call. No keys are read on Linux.
uint16_t ModifierKeys();

}  // namespace platform

#endif  // TRESSEL_PLATFORM_PLATFORM_H
