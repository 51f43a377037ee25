#include "idle_cost.h"

#include <winsim/control.h>

#include <ctime>
#include <thread>

namespace bench {

double ProcessCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

IdleCost MeasureIdle(double seconds) {
    const std::vector<winsim::ThreadWakeups> before = winsim::threadWakeups();
    const double cpuBefore = ProcessCpuSeconds();
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const std::vector<winsim::ThreadWakeups> after = winsim::threadWakeups();
    const double cpu = ProcessCpuSeconds() - cpuBefore;
    IdleCost cost;
    cost.seconds = Seconds(Clock::now() - start);
    cost.cpuPercentOfCore = 100.0 * cpu / cost.seconds;
    for (const winsim::ThreadWakeups& t : after) {
        uint64_t earlier = 0;  // a thread that first waited during the stretch counts from zero
        for (const winsim::ThreadWakeups& b : before) {
            if (b.threadId == t.threadId) earlier = b.wakeups;
        }
        ThreadIdleCost c;
        c.threadId = t.threadId;
        c.simulator = t.simulator;
        c.wakeups = t.wakeups - earlier;
        c.perSecond = static_cast<double>(c.wakeups) / cost.seconds;
        cost.threads.push_back(c);
    }
    return cost;
}

void PrintIdleCost(const IdleCost& cost, const std::function<std::string(const ThreadIdleCost&)>& role) {
    for (const ThreadIdleCost& t : cost.threads) {
        const std::string name = role(t);
        if (name.empty()) continue;
        std::printf("  %-58s %6llu wake-ups in %.1f s = %8.1f/s\n",
                    (name + " (thread " + std::to_string(t.threadId) + ")").c_str(),
                    static_cast<unsigned long long>(t.wakeups), cost.seconds, t.perSecond);
    }
    std::printf(
        "  (a thread that has not once come back from a wait has no count yet and is not listed: 0/s)\n");
    std::printf("  processor time of the whole process: %.2f%% of one core\n", cost.cpuPercentOfCore);
}

}  // namespace bench
