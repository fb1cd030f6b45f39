#include "PeakMemory.h"

#include <sys/resource.h>

namespace quarrelby::bench {

double peakMemoryMB()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0; // ru_maxrss is in kB
}

void reportPeakMemory(benchmark::State &state)
{
    state.counters["peak_MB"] = peakMemoryMB();
}

} // namespace quarrelby::bench
