// What the whole program costs while nothing happens: phonedock attached to the Skype stand-in, no call, the
// handset stand-in plugged in and on hook. Counts how often each thread came back from a wait and the
// processor time of the process over the stretch. The simulated clock follows real time, so the program's
// 2000 ms watchdog timer ticks meanwhile: the main thread's only periodic work.
//
// winsim counts a thread from its first return from a wait, and a reader that waits for reports without a
// time-out may not have returned once since it started. So before the stretch the handset sends one report
// with no key held, which the program takes and ignores: the thread that wakes for it is the reader.
//   bench_idle_program [seconds]      (10 by default)
#include "bench_figures.h"
#include "idle_cost.h"
#include "program_run.h"

#include <winsim/control.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <thread>

using namespace std::chrono_literals;

namespace {

// The wake-ups so far of every thread but winsim's own.
std::map<DWORD, uint64_t> Wakeups() {
    std::map<DWORD, uint64_t> counts;
    for (const auto& t : winsim::threadWakeups()) {
        if (!t.simulator) counts[t.threadId] = t.wakeups;
    }
    return counts;
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::max(2.0, std::atof(argv[1])) : 10.0;
    StressReport report("idle-program");
    bench::PrintPlatform("idle-program");
    {
        sim::HandsetConfig config;
        config.repeatInterval = 40ms;
        bench::ProgramRun run(report, config);
        if (run.Started()) {
            const DWORD self = GetCurrentThreadId();
            const DWORD skype = run.Skype().threadId();
            const auto others = [&](DWORD id) {
                return id != self && id != skype && id != run.MainThreadId();
            };

            // The reader: a thread of the program's that wakes for the handset's report.
            const std::map<DWORD, uint64_t> before = Wakeups();
            run.Handset().release();
            std::set<DWORD> woken;
            const auto deadline = bench::Clock::now() + 2s;
            while (woken.empty() && bench::Clock::now() < deadline) {
                std::this_thread::sleep_for(1ms);
                for (const auto& [id, count] : Wakeups()) {
                    const auto earlier = before.find(id);
                    if (others(id) && (earlier == before.end() || earlier->second < count)) {
                        woken.insert(id);
                    }
                }
            }
            report.Expect(!woken.empty(), "a thread of the program wakes for the handset's report");
            std::this_thread::sleep_for(500ms);  // what attaching and the report set going has ended

            const bench::IdleCost idle = bench::MeasureIdle(seconds);
            std::printf(
                "idle-program: phonedock attached to the Skype stand-in, no call, handset on hook, "
                "nothing happening for %.1f s (%.0f periods of the 2000 ms watchdog timer):\n",
                idle.seconds, idle.seconds * 1000.0 / 2000.0);
            bench::PrintIdleCost(idle, [&](const bench::ThreadIdleCost& t) -> std::string {
                if (t.threadId == run.MainThreadId()) return "phonedock main/window thread";
                if (t.simulator) return "winsim's own thread";
                if (t.threadId == skype) return "Skype stand-in's thread (not the product)";
                if (woken.contains(t.threadId)) {
                    return woken.size() == 1 ? "VOCETTA.DLL reader" : "a thread that woke for the report";
                }
                if (t.threadId == self) return t.wakeups > 0 ? "the benchmark's own thread" : "";
                return t.wakeups > 0 ? "other thread" : "";
            });
            std::printf("  target after the change: main thread 0.5/s (its 2000 ms timer), reader 0/s\n");
        }
    }
    return report.Finish();
}
