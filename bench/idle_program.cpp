// What the whole program costs while nothing happens: phonedock attached to the Skype stand-in, no call, the
// handset stand-in plugged in and on hook. Counts how often each thread came back from a wait and the
// processor time of the process over the stretch. The simulated clock follows real time, so the program's
// 2000 ms watchdog timer ticks meanwhile: the main thread's only periodic work.
//   bench_idle_program [seconds]      (10 by default)
#include "bench_figures.h"
#include "idle_cost.h"
#include "program_run.h"

#include <winsim/control.h>

#include <cstdlib>
#include <set>
#include <thread>

using namespace std::chrono_literals;

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::max(2.0, std::atof(argv[1])) : 10.0;
    StressReport report("idle-program");
    bench::PrintPlatform("idle-program");
    {
        std::set<DWORD> before;
        for (const auto& t : winsim::threadWakeups()) before.insert(t.threadId);
        sim::HandsetConfig config;
        config.repeatInterval = 40ms;
        bench::ProgramRun run(report, config);
        if (run.Started()) {
            std::this_thread::sleep_for(500ms);  // what attaching set going has ended
            const DWORD self = GetCurrentThreadId();
            const DWORD skype = run.Skype().threadId();
            const bench::IdleCost idle = bench::MeasureIdle(seconds);
            std::printf(
                "idle-program: phonedock attached to the Skype stand-in, no call, handset on hook, "
                "nothing happening for %.1f s (%.0f periods of the 2000 ms watchdog timer):\n",
                idle.seconds, idle.seconds * 1000.0 / 2000.0);
            bench::PrintIdleCost(idle, [&](const bench::ThreadIdleCost& t) -> std::string {
                if (t.threadId == run.MainThreadId()) return "phonedock main/window thread";
                if (t.simulator) return "winsim's own thread";
                if (t.threadId == skype) return "Skype stand-in's thread (not the product)";
                if (t.threadId == self) return t.wakeups > 0 ? "the benchmark's own thread" : "";
                if (before.contains(t.threadId)) return "";  // a thread of an earlier run
                return "phonedock/VOCETTA.DLL thread (the reader)";
            });
            std::printf("  target after the change: main thread 0.5/s (its 2000 ms timer), reader 0/s\n");
        }
    }
    return report.Finish();
}
