// Processor time of this process in milliseconds, as Lua's os.clock measures it: the
// statement benchmarks compare the two.
#pragma once

#include <time.h>

namespace qx::bench {

inline double CpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

}  // namespace qx::bench
