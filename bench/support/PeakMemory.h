#pragma once

#include <benchmark/benchmark.h>

namespace quarrelby::bench {

// Peak resident memory of this process so far, in megabytes. Run one
// benchmark per process (--benchmark_filter) when the figure matters.
[[nodiscard]] double peakMemoryMB();

// Records the peak memory as a counter of the benchmark.
void reportPeakMemory(benchmark::State &state);

} // namespace quarrelby::bench
