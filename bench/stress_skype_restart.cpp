// Skype crashing and starting again, a hundred times, with the whole program running: a third of the
// crashes come while a call rings, a third during a connected call. After each return a normal incoming
// call must ring the handset, show the caller, be answered with YES and end with the display back on the
// clock. Run it under the sanitizers (the dev build).
//   bench_stress_skype_restart [cycles]      (100 by default)
#include "handset/handset.h"
#include "skype/skype_process.h"
#include "stress_report.h"
#include "support/program_thread.h"

#include <windows.h>
#include <winsim/control.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

// The display's lower row when it shows the clock: the simulated time, which the ticks move on.
std::string ClockRow() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char row[24];
    std::snprintf(row, sizeof(row), "      %02d%02d", now.wHour, now.wMinute);
    return row;
}

// The watchdog's next tick, handled.
void Tick(const testsupport::ProgramThread& program) {
    winsim::advanceClock(2000);
    program.Settle();
}

// Presses YES and waits until its handling is over. Its last step (answering the call that rings at that
// moment, if one does) has no outside effect of its own, so UP follows it: keys are handled one after the
// other, and once Skype has UP's release, YES is done and cannot answer a call of the next cycle.
bool PressYes(sim::Handset& handset, const sim::SkypeClient& skype) {
    const size_t from = skype.commands().size();
    for (sim::Key key : {sim::Key::Yes, sim::Key::Up}) {
        handset.press(key);
        handset.release();
    }
    return skype.waitForCommand("BTN_RELEASED UP", 3s, from).has_value();
}

// Skype's commands from index `from` on, for a report.
std::string Since(const sim::SkypeClient& skype, size_t from) {
    const auto texts = skype.commandTexts();
    std::string joined;
    for (size_t i = from; i < texts.size(); ++i) joined += (joined.empty() ? "\"" : ", \"") + texts[i] + "\"";
    return joined;
}

}  // namespace

int main(int argc, char** argv) {
    const int cycles = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
    StressReport report("skype-restart");
    winsim::reset();
    SYSTEMTIME pinned{};
    pinned.wYear = 2027;
    pinned.wMonth = 3;
    pinned.wDay = 3;
    pinned.wDayOfWeek = 3;
    pinned.wHour = 9;
    pinned.wMinute = 5;
    winsim::setLocalTime(pinned);  // the watchdog ticks when this program moves the clock
    winsim::setPlaybackDevices({"USB Audio Device"});
    winsim::setRecordingDevices({"USB Audio Device"});
    {
        sim::HandsetConfig config;
        config.repeatInterval = 0ms;
        sim::Handset handset(config);
        handset.plug();
        sim::SimulatedSkype skype;
        const bool skypeStarted = report.Expect(skype.start(), "Skype starts");
        testsupport::ProgramThread program;
        const bool programStarted = program.Start();
        const bool attached =
            skypeStarted && report.Expect(programStarted, "the program starts") &&
            report.Expect(skype.waitForCommand("SET AUDIO_IN USB Audio Device", 5s).has_value(),
                          "it attaches");
        const size_t handles = winsim::openHandleCount();
        const auto inProgress = [&](int call) {
            const auto record = skype.call(call);
            return record && record->status == sim::CallStatus::InProgress;
        };

        // A broken cycle ends the run: the ones after it would only report what follows from it.
        std::vector<double> cycleMs;
        for (int i = 0; attached && report.Broken() == 0 && i < cycles; ++i) {
            const std::string n = " (cycle " + std::to_string(i) + ")";
            const auto start = Clock::now();
            // How Skype goes: idle, while a call rings, or during a connected call.
            if (i % 3 != 0) {
                const int call = skype.incomingCall("Ada");
                report.Expect(handset.waitUntil([&] { return handset.ringer(); }, 3s), "the call rings" + n);
                if (i % 3 == 2) {
                    report.Expect(PressYes(handset, skype), "YES is handled" + n);
                    report.Expect(skype.waitUntil([&] { return inProgress(call); }, 3s),
                                  "YES answers it" + n);
                    report.Expect(handset.waitUntil([&] { return !handset.ringer(); }, 3s),
                                  "ringing stops" + n);
                }
            }
            skype.crash();
            Tick(program);
            report.Expect(handset.waitUntil(
                              [&] {
                                  return !handset.ringer() && !handset.display().indicator &&
                                         handset.display().lower == ClockRow();
                              },
                              3s),
                          "Skype's loss ends the call on the handset" + n);

            const size_t from = skype.commands().size();
            report.Expect(skype.start(), "Skype starts again" + n);
            report.Expect(skype.waitForCommand("SET AUDIO_IN USB Audio Device", 5s, from).has_value(),
                          "it attaches again" + n);
            const int call = skype.incomingCall("0049-30-1234");
            report.Expect(
                handset.waitUntil([&] { return handset.ringer() && handset.display().lower == "49-30-1234"; },
                                  3s),
                "the next call rings and shows its caller" + n + ": " + handset.rendering() +
                    (handset.ringer() ? ", ringing" : ", silent") + "; Skype received " + Since(skype, from));
            report.Expect(PressYes(handset, skype), "YES is handled" + n);
            report.Expect(skype.waitUntil([&] { return inProgress(call); }, 3s), "YES answers it" + n);
            report.Expect(
                handset.waitUntil([&] { return !handset.ringer() && handset.display().indicator; }, 3s),
                "the call is in progress on the handset" + n);
            skype.farEndHangsUp(call);
            report.Expect(
                handset.waitUntil(
                    [&] { return !handset.display().indicator && handset.display().lower == ClockRow(); },
                    3s),
                "its end shows the clock again" + n);
            const auto texts = skype.commandTexts();
            report.Expect(
                std::none_of(texts.begin() + static_cast<long>(from), texts.end(),
                             [](const std::string& t) { return t.find("FINISHED") != std::string::npos; }),
                "no call is turned away after the return" + n);
            cycleMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        }
        std::sort(cycleMs.begin(), cycleMs.end());
        const int done = static_cast<int>(cycleMs.size());
        if (done > 0) {
            std::printf(
                "skype-restart: %d of %d crash-and-restart cycles (%d while a call rang, %d during a "
                "connected call), each followed by a call answered and ended; per cycle median %.0f ms, "
                "max %.0f ms\n",
                done, cycles, (done + 1) / 3, done / 3, cycleMs[cycleMs.size() / 2], cycleMs.back());
        }
        std::printf("skype-restart: kernel handles %zu after the first attach, %zu after the last cycle\n",
                    handles, winsim::openHandleCount());
        report.Expect(winsim::openHandleCount() <= handles, "no handle piles up across the cycles");

        program.StopOrExit();
        skype.quit();
    }
    return report.Finish();
}
