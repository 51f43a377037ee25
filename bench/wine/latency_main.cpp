// bench_wine_latency.exe: how long a key takes on Wine's real HID stack, in real time, from the moment the
// virtual handset's input report is injected (its press) to:
//   the event of a bare overlapped ReadFile kept pending on the same device (the floor: the HID stack alone);
//   the key callback of VOCETTA.DLL, loaded and opened by this program;
//   the first Skype command the Skype stand-in (in this process) receives from the real phonedock.exe, and
//   the key's BTN_PRESSED.
// Each over the same number of presses, one at a time, the digits in turn, with a random pause between; the
// handset does not repeat a held key here. Every time stamp is taken in this process on one clock. Exits
// non-zero when a key was lost; a figure that misses its target does not fail it.
//
//   bench_wine_latency.exe [BIN_FOLDER] [PRESSES]   BIN_FOLDER holds phonedock.exe and VOCETTA.DLL
//                                                   (default: this program's folder); 500 presses
#include "button_texts.h"
#include "../bench_figures.h"
#include "../stress_report.h"
#include "attached_program.h"
#include "bare_read.h"
#include "handset_plugging.h"
#include "library_keys.h"
#include "wine_facts.h"
#include "workspace.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

using namespace std::chrono_literals;
using winebench::Button;
using winebench::Clock;
using winebench::Digit;

namespace {

constexpr int kDefaultPresses = 500;
constexpr auto kWait = 3s;
// Past this many digits phonedock's dial buffer is nearly full; NO empties it.
constexpr int kDigitsBeforeClearing = 400;
constexpr double kFloorMarginMs = 0.3;
constexpr double kFirstCommandP99Ms = 3.0;

std::mt19937 pauses(20041118);

// Between presses, so that a press never lands in step with anything periodic.
void Pause() {
    Sleep(5 + static_cast<DWORD>(pauses() % 16));
}

bench::Latencies MeasureBareRead(sim::VirtualHandset& handset, int presses, StressReport& report) {
    bench::Latencies latency;
    winebench::BareRead read(e2e::handsetInterfacePath());
    if (!report.Expect(read.Ok(), "the handset's interface opens for a bare read")) return latency;
    Sleep(200);  // the read is pending
    const winebench::Arrivals& reports = read.Reports();
    for (int i = 0; i < presses; ++i) {
        const size_t mark = reports.Count();
        const auto injected = Clock::now();
        handset.press(sim::digitKey(i % 10));
        const auto arrival = reports.WaitFor(mark, kWait);
        handset.release();
        if (!report.Expect(arrival.has_value(), "bare read: press " + std::to_string(i) + " arrives")) break;
        latency.Add(arrival->at - injected);
        report.Expect(arrival->value != 0, "bare read: press " + std::to_string(i) + " carries its key");
        report.Expect(reports.WaitFor(mark + 1, kWait).has_value(),
                      "bare read: release " + std::to_string(i) + " arrives");
        Pause();
    }
    report.Expect(read.Failures() == 0,
                  "bare read: no read failed (" + std::to_string(read.Failures()) + ")");
    return latency;
}

bench::Latencies MeasureLibrary(sim::VirtualHandset& handset, int presses, StressReport& report) {
    bench::Latencies latency;
    winebench::LibraryKeys keys;
    std::string error;
    if (!report.Expect(keys.Open(error), "VOCETTA.DLL opens the handset: " + error)) return latency;
    Sleep(200);  // the reader has its read pending
    for (int i = 0; i < presses; ++i) {
        const size_t mark = keys.Keys().Count();
        const auto injected = Clock::now();
        handset.press(sim::digitKey(i % 10));
        const bool came = keys.WaitForKeys(mark + 1, kWait);
        handset.release();
        if (!report.Expect(came, "library: key " + std::to_string(i) + " reaches the callback")) break;
        latency.Add(keys.Keys().At(mark)->at - injected);
        Pause();
    }
    Sleep(100);
    report.Expect(keys.Keys().Count() == latency.Count(),
                  "library: each key once (" + std::to_string(keys.Keys().Count()) + " callbacks for " +
                      std::to_string(latency.Count()) + " keys)");
    return latency;
}

// NO empties the dial buffer and Skype's field and sends Skype's window to the tray. Hiding a window that
// was shown takes Wine up to 2 s on an X display without a window manager (it waits for one to confirm the
// window's state), and Skype's thread is busy meanwhile: the next key would wait for it at its FOCUS. So the
// clearing ends with a round trip to Skype's thread, and answers how long that took (ms).
double ClearDialled(winebench::AttachedProgram& program, sim::VirtualHandset& handset, StressReport& report) {
    sim::SkypeClient& skype = program.Skype();
    const size_t mark = skype.commands().size();
    handset.press(sim::Key::No);
    report.Expect(skype.waitForCommand("BTN_PRESSED NO", kWait, mark).has_value(), "NO reaches Skype");
    handset.release();
    report.Expect(skype.waitForCommand("BTN_RELEASED NO", kWait, mark).has_value(),
                  "NO is released at Skype");
    report.Expect(
        skype.waitUntil([&] { return skype.mainWindowView().show == sim::MainWindowShow::Hidden; }, kWait),
        "NO sends Skype's window to the tray");
    const auto asked = Clock::now();
    report.Expect(skype.setEditText(""), "Skype's thread answers after NO");
    const double busy = bench::Milliseconds(Clock::now() - asked);
    Sleep(50);
    return busy;
}

struct ProgramFigures {
    bench::Latencies toFirst;
    bench::Latencies toPressed;
    std::string firstCommand;
    std::vector<double> firstByPress;      // ms, in press order, to name the slowest
    std::vector<double> skypeBusyAfterNo;  // ms, each clearing
};

// The `count` slowest presses, as "press 0: 1958.987 ms, press 17: 3.1 ms".
std::string Slowest(const std::vector<double>& byPress, size_t count) {
    std::vector<size_t> order(byPress.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return byPress[a] > byPress[b]; });
    std::string text;
    char item[64];
    for (size_t i = 0; i < std::min(count, order.size()); ++i) {
        std::snprintf(item, sizeof(item), "%spress %zu: %.3f ms", text.empty() ? "" : ", ", order[i],
                      byPress[order[i]]);
        text += item;
    }
    return text.empty() ? "none" : text;
}

ProgramFigures MeasureProgram(const std::string& bin, sim::VirtualHandset& handset, int presses,
                              StressReport& report) {
    ProgramFigures figures;
    winebench::AttachedProgram program(bin);
    std::string error;
    if (!report.Expect(program.Start(error), "phonedock.exe starts attached with the handset: " + error))
        return figures;
    sim::SkypeClient& skype = program.Skype();
    for (int i = 0; i < presses; ++i) {
        if (i > 0 && i % kDigitsBeforeClearing == 0)
            figures.skypeBusyAfterNo.push_back(ClearDialled(program, handset, report));
        const int digit = i % 10;
        const std::string n = " (press " + std::to_string(i) + ", digit " + Digit(digit) + ")";
        const size_t mark = skype.commands().size();
        const size_t reports = handset.receivedCount();
        const auto injected = Clock::now();
        handset.press(sim::digitKey(digit));
        const auto first = skype.waitForCommand([](const sim::SkypeCommand&) { return true; }, kWait, mark);
        const auto button = skype.waitForCommand(Button("BTN_PRESSED", digit), kWait, mark);
        handset.release();
        if (!report.Expect(first.has_value() && button.has_value(), "BTN_PRESSED reaches Skype" + n)) break;
        const std::vector<sim::SkypeCommand> commands = skype.commands();
        figures.toFirst.Add(commands[*first].receivedAt - injected);
        figures.firstByPress.push_back(bench::Milliseconds(commands[*first].receivedAt - injected));
        figures.toPressed.Add(commands[*button].receivedAt - injected);
        if (figures.firstCommand.empty()) figures.firstCommand = commands[*first].text;
        report.Expect(skype.waitForCommand(Button("BTN_RELEASED", digit), kWait, mark).has_value(),
                      "BTN_RELEASED reaches Skype" + n);
        // The digit on the display ends the key's handling.
        report.Expect(handset.waitUntil(
                          [&] {
                              return handset.receivedCount() > reports && !handset.display().lower.empty() &&
                                     handset.display().lower.back() == Digit(digit)[0];
                          },
                          kWait),
                      "the display shows the digit" + n);
        Pause();
    }
    report.Expect(program.Close(), "phonedock.exe ends on WM_CLOSE with exit code 0");
    return figures;
}

const char* Met(bool met) {
    return met ? "met" : "NOT met";
}

}  // namespace

int main(int argc, char** argv) {
    winebench::PrintOrigin("bench_wine_latency");
    const std::string bin = argc > 1 ? argv[1] : e2e::driverFolder();
    const int presses = argc > 2 ? std::max(1, std::atoi(argv[2])) : kDefaultPresses;
    StressReport report("bench_wine_latency");

    sim::HandsetConfig config;
    config.repeatInterval = 0ms;  // one report per press and one per release
    std::unique_ptr<sim::VirtualHandset> handset = sim::VirtualHandset::open(config);
    if (!report.Expect(handset != nullptr, "the virtual handset's drivers answer")) return report.Finish();
    if (!report.Expect(e2e::plugAndWaitForInterface(*handset), "the handset is plugged in and listed"))
        return report.Finish();

    const bench::Latencies floor = MeasureBareRead(*handset, presses, report);
    const bench::Latencies callback = MeasureLibrary(*handset, presses, report);
    const ProgramFigures program = MeasureProgram(bin, *handset, presses, report);
    e2e::unplugAndWaitForInterface(*handset);

    const std::string first = program.firstCommand.empty() ? "none" : program.firstCommand;
    std::printf("bench_wine_latency: %d presses each, one at a time, digits in turn, 5-20 ms apart\n",
                presses);
    std::printf("  injection to a bare overlapped read's event (floor): %s\n", floor.Summary().c_str());
    std::printf("  injection to VOCETTA.DLL's key callback:             %s\n", callback.Summary().c_str());
    std::printf("  injection to phonedock's first Skype command (%s): %s\n", first.c_str(),
                program.toFirst.Summary().c_str());
    std::printf("  injection to its BTN_PRESSED at Skype:               %s\n",
                program.toPressed.Summary().c_str());
    std::printf("  the slowest to the first command: %s\n", Slowest(program.firstByPress, 3).c_str());
    for (const double busy : program.skypeBusyAfterNo) {
        std::printf(
            "  NO every %d presses sent Skype's window to the tray: Skype's thread was busy %.1f ms more\n",
            kDigitsBeforeClearing, busy);
    }
    const double floorMedian = floor.Percentile(0.5);
    const double firstMedian = program.toFirst.Percentile(0.5);
    const double firstP99 = program.toFirst.Percentile(0.99);
    std::printf("  target: first command median %.3f ms <= floor median + %.1f ms = %.3f ms: %s\n",
                firstMedian, kFloorMarginMs, floorMedian + kFloorMarginMs,
                Met(program.toFirst.Count() > 0 && firstMedian <= floorMedian + kFloorMarginMs));
    std::printf("  target: first command p99 %.3f ms <= %.1f ms: %s\n", firstP99, kFirstCommandP99Ms,
                Met(program.toFirst.Count() > 0 && firstP99 <= kFirstCommandP99Ms));
    return report.Finish();
}
