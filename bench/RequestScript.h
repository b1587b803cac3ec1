// The request sequence of one 'GENM' as runs of equal requests, recorded from
// the real module by tressel_genm_bench and replayed by the null module
// (bench/NullModule.cpp). The script is the null module's instance data.
#ifndef TRESSEL_BENCH_REQUESTSCRIPT_H
#define TRESSEL_BENCH_REQUESTSCRIPT_H

#include <stdint.h>

// `count` requests of `selector` in a row. value: 'GETG' the group index,
// 'GETV'/'GETF' the first index (the run counts up from it), 'MMAL' the byte
// count, 'MFRE' the ordinal (0-based, over the whole script) of the 'MMAL'
// whose block it releases; unused for the others.
struct CScriptRun {
  uint32_t selector;
  uint32_t count;
  int64_t value;
};

#endif  // TRESSEL_BENCH_REQUESTSCRIPT_H
