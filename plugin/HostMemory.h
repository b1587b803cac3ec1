// Host memory: the allocation hooks every container calls, and the memory
// exception.
//
// All container storage comes from the host through the current call's record
// ('MMAL' / 'MFRE'), so the hooks may only be called while a call of Main is
// active. Main points them at MAllocProc / MFreeProc on every accepted call.
#ifndef TRESSEL_PLUGIN_HOSTMEMORY_H
#define TRESSEL_PLUGIN_HOSTMEMORY_H

#include <stddef.h>

// The memory exception: this text, thrown as a character pointer. Only the
// catch-all of Main catches it (result 1).
extern const char* const kMemoryException;
[[noreturn]] void ThrowMemoryException();

// Returns a host block of n bytes, or null for n == 0. Throws the memory
// exception when the host refuses or when n does not fit a host request
// (2^31 bytes or more).
extern void* (*MAlloc)(size_t n);
// Releases a block from MAlloc; null is ignored. Never fails, never changes the
// current task's status or result.
extern void (*MFree)(void* p);

void* MAllocProc(size_t n);
void MFreeProc(void* p);

#endif  // TRESSEL_PLUGIN_HOSTMEMORY_H
