// bench_wine_stress.exe: the real phonedock.exe and VOCETTA.DLL under Wine with the virtual handset, pulled
// out and plugged in again 200 times with one digit key after each (the digits in turn). Every key must
// reach Skype once and in order, and the program must hold as many handles after the cycles as before.
// Prints the handle counts, the time a cycle takes, and every broken expectation; exits non-zero when one
// broke.
//
//   bench_wine_stress.exe [BIN_FOLDER] [CYCLES]   BIN_FOLDER holds phonedock.exe and VOCETTA.DLL (default:
//                                                 this program's folder); the handset's drivers must be
//                                                 installed in the prefix
#include "button_texts.h"
#include "../bench_figures.h"
#include "../stress_report.h"
#include "attached_program.h"
#include "handle_count.h"
#include "handset_plugging.h"
#include "waiting.h"
#include "wine_facts.h"
#include "workspace.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace std::chrono_literals;
using winebench::Button;
using winebench::Clock;
using winebench::Digit;

namespace {

constexpr int kDefaultCycles = 200;
constexpr auto kKeyTimeout = 3s;
// The handles settle once the program has handled a re-plug completely; allow it this long to.
constexpr auto kHandleSettle = 3s;

// The digits of every BTN_PRESSED among Skype's commands from `from` on, in the order received.
std::string PressedDigits(const sim::SkypeClient& skype, size_t from) {
    std::string digits;
    const std::vector<std::string> texts = skype.commandTexts();
    for (size_t i = from; i < texts.size(); ++i) {
        if (texts[i].rfind("BTN_PRESSED ", 0) == 0 && texts[i].size() == 13) digits += texts[i][12];
    }
    return digits;
}

// One digit from the handset to Skype: its press and its release.
bool KeyReachesSkype(winebench::AttachedProgram& program, sim::VirtualHandset& handset, int digit,
                     bench::Latencies& latency) {
    sim::SkypeClient& skype = program.Skype();
    const size_t mark = skype.commands().size();
    const auto pressed = Clock::now();
    handset.press(sim::digitKey(digit));
    const auto button = skype.waitForCommand(Button("BTN_PRESSED", digit), kKeyTimeout, mark);
    handset.release();
    if (!button) return false;
    latency.Add(skype.commands()[*button].receivedAt - pressed);
    return skype.waitForCommand(Button("BTN_RELEASED", digit), kKeyTimeout, mark).has_value();
}

}  // namespace

int main(int argc, char** argv) {
    winebench::PrintOrigin("bench_wine_stress");
    const std::string bin = argc > 1 ? argv[1] : e2e::driverFolder();
    const int cycles = argc > 2 ? std::max(1, std::atoi(argv[2])) : kDefaultCycles;
    StressReport report("bench_wine_stress");

    const std::unique_ptr<sim::VirtualHandset> handset = sim::VirtualHandset::open();
    if (!report.Expect(handset != nullptr, "the virtual handset's drivers answer")) return report.Finish();
    if (!report.Expect(e2e::plugAndWaitForInterface(*handset), "the handset is plugged in and listed"))
        return report.Finish();

    winebench::AttachedProgram program(bin);
    std::string error;
    if (!report.Expect(program.Start(error), "phonedock.exe starts attached with the handset: " + error))
        return report.Finish();
    const HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, program.ProcessId());
    if (!report.Expect(process != nullptr, "the program's process opens for its handle count (error " +
                                               std::to_string(GetLastError()) + ")"))
        return report.Finish();

    // One key before counting, so what the first key sets up for good is in both counts.
    bench::Latencies keyLatency;
    sim::SkypeClient& skype = program.Skype();
    const size_t firstCommand = skype.commands().size();
    std::string expected;
    report.Expect(KeyReachesSkype(program, *handset, 0, keyLatency), "a first key reaches Skype");
    expected += '0';
    Sleep(static_cast<DWORD>(std::chrono::milliseconds(kHandleSettle).count()));
    const DWORD processId = program.ProcessId();
    const winebench::HandleCount counted = winebench::CountHandles(process, processId);
    const long before = counted.count;
    std::printf("bench_wine_stress: phonedock.exe holds %ld handles before the cycles (counted by %s)\n",
                before, counted.source);
    std::fflush(stdout);

    bench::Latencies cycleTime;
    keyLatency = {};
    int failedInARow = 0;
    for (int i = 0; i < cycles && failedInARow < 5; ++i) {
        const int digit = (i + 1) % 10;
        const std::string n = " (cycle " + std::to_string(i + 1) + ")";
        const auto start = Clock::now();
        size_t trayFrom = program.TrayCount();
        bool ok = report.Expect(e2e::unplugAndWaitForInterface(*handset), "the handset is pulled out" + n);
        ok = report.Expect(program.WaitForTip(winebench::kTipNoHandset, trayFrom, e2e::kPlugTimeout),
                           "the icon says the handset is away" + n) &&
             ok;
        trayFrom = program.TrayCount();
        ok = report.Expect(e2e::plugAndWaitForInterface(*handset), "the handset is plugged in again" + n) &&
             ok;
        ok = report.Expect(program.WaitForTip(winebench::kTipReady, trayFrom, e2e::kPlugTimeout),
                           "the icon says the program is ready again" + n) &&
             ok;
        expected += Digit(digit);
        ok = report.Expect(KeyReachesSkype(program, *handset, digit, keyLatency),
                           "digit " + Digit(digit) + " reaches Skype" + n) &&
             ok;
        cycleTime.Add(Clock::now() - start);
        failedInARow = ok ? 0 : failedInARow + 1;
        if ((i + 1) % 50 == 0) {
            std::printf("bench_wine_stress: %d cycles, phonedock.exe holds %ld handles\n", i + 1,
                        winebench::CountHandles(process, processId).count);
            std::fflush(stdout);
        }
    }
    report.Expect(failedInARow < 5, "the cycles go on (five failed in a row: stopped)");

    // A doubled key would come within a key's handling time of the last one.
    Sleep(500);
    const std::string pressed = PressedDigits(skype, firstCommand);
    report.Expect(pressed == expected, "every key reaches Skype once, in order: expected " +
                                           std::to_string(expected.size()) + " keys \"" + expected +
                                           "\", Skype received " + std::to_string(pressed.size()) + " \"" +
                                           pressed + "\"");
    Sleep(static_cast<DWORD>(std::chrono::milliseconds(kHandleSettle).count()));
    const long after = winebench::CountHandles(process, processId).count;
    std::printf("bench_wine_stress: %zu cycles of unplug, re-plug and one key\n", cycleTime.Count());
    std::printf("  per cycle:                 %s\n", cycleTime.Summary().c_str());
    std::printf("  key to its BTN_PRESSED:    %s\n", keyLatency.Summary().c_str());
    std::printf("  BTN_PRESSED at Skype:      %zu of %zu keys, %s\n", pressed.size(), expected.size(),
                pressed == expected ? "each once, in order" : "NOT each once in order");
    std::printf("  phonedock.exe handles:     %ld before, %ld after\n", before, after);
    report.Expect(before > 0 && after > 0, "the system counts the program's handles");
    report.Expect(after <= before, "the program holds no more handles after the cycles than before (" +
                                       std::to_string(before) + " before, " + std::to_string(after) +
                                       " after)");
    CloseHandle(process);
    program.Close();
    e2e::unplugAndWaitForInterface(*handset);
    return report.Finish();
}
