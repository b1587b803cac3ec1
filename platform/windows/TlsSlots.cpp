// TLS slots taken by the runtime linked into the module, given back on unload.
//
// The threads library linked into the module (libwinpthread) takes one TLS
// slot with TlsAlloc the first time it is used and never frees it: it has no
// TlsFree at all. In the 32-bit module that happens while the module loads,
// since the runtime registers the module's unwind tables through pthread_once;
// in either module it happens on the first thrown exception (the exception
// globals live in emulated TLS). A process has 1,088 slots, so a host that
// loaded and unloaded the module about 1,084 times found them all taken, and
// the library's next TlsAlloc failure called abort().
//
// Every TlsAlloc call linked into the module goes through TrackedTlsAlloc: the
// import's address slot is defined here, so the linker takes it in place of
// KERNEL32's. The slots are noted and freed by FreeTrackedTlsSlots. Nothing
// here may use the C++ runtime's locks or statics with guards: the runtime's
// own start-up calls in before any constructor has run.
#include "platform/windows/TlsSlots.h"

#include <windows.h>

namespace {

using TlsAllocProc = DWORD(WINAPI*)();

constexpr LONG kMaxSlots = 16;  // the runtime takes one; room to spare
DWORD gSlots[kMaxSlots];
volatile LONG gSlotCount = 0;

DWORD WINAPI TrackedTlsAlloc() {
  // Looked up on every call (a handful per load): no lazy static to guard.
  const FARPROC found = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "TlsAlloc");
  const TlsAllocProc real = reinterpret_cast<TlsAllocProc>(reinterpret_cast<void*>(found));
  if (!real) return TLS_OUT_OF_INDEXES;
  const DWORD slot = real();
  if (slot == TLS_OUT_OF_INDEXES) return slot;
  const LONG n = InterlockedIncrement(&gSlotCount) - 1;
  if (n < kMaxSlots) {
    gSlots[n] = slot;
  } else {
    InterlockedDecrement(&gSlotCount);  // not noted: kept, as before
  }
  return slot;
}

}  // namespace

// The address slot through which the module's code calls TlsAlloc (the
// decorated name of the import differs between the two Windows targets).
// A constant initialiser: the pointer is in place before any code runs.
extern "C" {
#if defined(__i386__)
TlsAllocProc gTlsAllocImport __asm__("__imp__TlsAlloc@0") = TrackedTlsAlloc;
#else
TlsAllocProc gTlsAllocImport __asm__("__imp_TlsAlloc") = TrackedTlsAlloc;
#endif
}

void FreeTrackedTlsSlots() {
  const LONG count = gSlotCount < kMaxSlots ? gSlotCount : kMaxSlots;
  for (LONG i = 0; i < count; ++i) TlsFree(gSlots[i]);
  gSlotCount = 0;
}

int TrackedTlsSlotCount() { return int(gSlotCount); }
