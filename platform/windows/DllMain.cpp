// The module's DLL entry. The module runs only on the host's calling thread, so
// it asks not to be told about other threads starting and ending. Both Windows
// modules carry it: the notifications are as useless to the 64-bit one. When
// the module is unloaded (not when the process ends) it gives back the TLS
// slots its runtime took (platform/windows/TlsSlots.cpp).
#include <windows.h>

#include "platform/windows/TlsSlots.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
  // The call fails harmlessly for a module with static TLS; the loader then keeps notifying.
  if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(module);
  // reserved is null when FreeLibrary unloads the module. What runs after this
  // (the runtime's atexit list: unwind tables deregistered, static objects
  // destroyed) takes only locks that are already made, never the TLS slot.
  if (reason == DLL_PROCESS_DETACH && reserved == nullptr) FreeTrackedTlsSlots();
  return TRUE;
}
