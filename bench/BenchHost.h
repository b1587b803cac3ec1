// BenchHost: the current call for benchmarks of the module's code. Pushes one
// task entry whose host serves 'MMAL'/'MFRE' from malloc/free and answers
// every other request with 0. No checks and no bookkeeping, so it costs what
// the allocator costs. Only one may be alive at a time.
#ifndef TRESSEL_BENCH_BENCHHOST_H
#define TRESSEL_BENCH_BENCHHOST_H

#include "plugin/HostRecords.h"

class BenchHost {
 public:
  BenchHost();
  ~BenchHost();
  BenchHost(const BenchHost&) = delete;
  BenchHost& operator=(const BenchHost&) = delete;

 private:
  PluginRecHeader header_;
};

#endif  // TRESSEL_BENCH_BENCHHOST_H
