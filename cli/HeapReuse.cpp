// The heap settings of the command: glibc's mallopt. Separate mapping is
// switched off (M_MMAP_MAX 0) rather than given a higher threshold, so that no
// block is mapped afresh however large the mesh; when the heap cannot grow,
// glibc still maps a block as a fallback. Trimming the heap's top is switched
// off too, or a freed top block would be returned and fault in again when
// reused.
#include "cli/HeapReuse.h"

#include <stdlib.h>  // defines __GLIBC__ on glibc

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace cli {

void KeepFreedHeapForReuse() {
#if defined(__GLIBC__)
  mallopt(M_MMAP_MAX, 0);
  mallopt(M_TRIM_THRESHOLD, -1);  // as an unsigned size: never trim
#endif
}

}  // namespace cli
