// Memory exhaustion as a clear error: the size of the request that failed is
// kept, and each phase of a run turns std::bad_alloc into one line naming the
// phase and that size.
#ifndef TRESSEL_CLI_OUTOFMEMORY_H
#define TRESSEL_CLI_OUTOFMEMORY_H

#include <stddef.h>

#include <string>

namespace cli {

// The size of the last allocation through operator new that failed (0 when
// none has). The command's operator new records it before it throws.
size_t LastFailedAllocation();

// What the run is doing now, for OutOfMemoryLine: "importing big.stl",
// "writing out.obj". Each step of a run sets it as it begins; it is not
// restored on the way out, so a failure is reported under the step it hit.
// Each thread has its own (a thread that has set none is "running").
void SetPhase(std::string phase);

// "out of memory while PHASE (a request for 1.5 GB failed)". The phase is
// what the user knows the run was doing: "importing big.stl", "writing
// out.obj".
std::string OutOfMemoryLine();

// Sizes for people: "512 bytes", "3.4 MB", "1.5 GB" (powers of 1024).
std::string ByteCount(size_t bytes);

}  // namespace cli

#endif  // TRESSEL_CLI_OUTOFMEMORY_H
