// How the command's heap hands memory back to the system. A run allocates a
// few blocks of tens to hundreds of megabytes (the imported mesh, the module's
// vertex, facet and edge blocks, the received wires), frees them and allocates
// others of like size. By default the C library maps each such block afresh
// and unmaps it when freed, so every page of the next block faults in again:
// at 10M triangles that was half the run's time in the kernel.
#ifndef TRESSEL_CLI_HEAPREUSE_H
#define TRESSEL_CLI_HEAPREUSE_H

namespace cli {

// Serves every block from the one growing heap and keeps freed memory in it
// for the next block instead of returning it. The process's peak stays what
// its live blocks need (the heap is reused, not grown for each block); the
// pages go back to the system when the process exits. Call once, first thing
// in main, before any large allocation. Does nothing where the C library has
// no such settings.
void KeepFreedHeapForReuse();

}  // namespace cli

#endif  // TRESSEL_CLI_HEAPREUSE_H
