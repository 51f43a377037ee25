// What a stretch of doing nothing costs: how often each simulated thread came back from a wait in that
// time (winsim's count of wake-ups), and the processor time the whole process used, as a share of one core.
#pragma once

#include "bench_figures.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace bench {

struct ThreadIdleCost {
    DWORD threadId = 0;
    bool simulator = false;  // one of winsim's own threads
    uint64_t wakeups = 0;    // in the measured stretch
    double perSecond = 0;
};

struct IdleCost {
    double seconds = 0;
    double cpuPercentOfCore = 0;
    std::vector<ThreadIdleCost> threads;  // every thread that has ever waited, in the order winsim saw them
};

// Sleeps (outside winsim, so the measuring thread adds no wake-up of its own) for `seconds` and reports
// what the process did meanwhile.
IdleCost MeasureIdle(double seconds);

// Prints one line per thread: "  <role> (thread <id>): <n> wake-ups in <s> s = <r>/s". `role` names each
// thread; threads it answers an empty name for are left out.
void PrintIdleCost(const IdleCost& cost, const std::function<std::string(const ThreadIdleCost&)>& role);

// Processor time of the whole process so far, in seconds.
double ProcessCpuSeconds();

}  // namespace bench
