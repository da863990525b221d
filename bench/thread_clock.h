// The clock the benchmarks time their ratios with.
#pragma once

#include <ctime>

namespace bench {

// CPU time of the calling thread: steadier than wall time on a shared machine.
inline double threadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

}  // namespace bench
