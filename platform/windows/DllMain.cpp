// The module's DLL entry. The module runs only on the host's calling thread, so
// it asks not to be told about other threads starting and ending. Both Windows
// modules carry it: the notifications are as useless to the 64-bit one.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  // The call fails harmlessly for a module with static TLS; the loader then keeps notifying.
  if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(module);
  return TRUE;
}
