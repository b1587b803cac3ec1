// The TLS slots the module's own runtime takes, given back on unload.
#ifndef TRESSEL_PLATFORM_WINDOWS_TLSSLOTS_H
#define TRESSEL_PLATFORM_WINDOWS_TLSSLOTS_H

// Frees every TLS slot that code linked into the module took with TlsAlloc.
// Only when the module is being unloaded and nothing of it runs any more that
// could use them (DllMain, process detach through FreeLibrary).
void FreeTrackedTlsSlots();

// How many slots are held now (tests).
int TrackedTlsSlotCount();

#endif  // TRESSEL_PLATFORM_WINDOWS_TLSSLOTS_H
