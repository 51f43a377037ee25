// How long a key takes from the handset to Skype through the whole program: phonedock with VOCETTA.DLL,
// the handset stand-in and the Skype stand-in, attached, no call, the handset on hook. A digit press makes
// phonedock send FOCUS, then BTN_PRESSED <digit> (held 10 ms), BTN_RELEASED <digit>, then play the digit's
// tone and show it. Two runs:
//   one press at a time, each once the one before has been handled, after a random pause: press to the
//   first command Skype receives for it and to its BTN_PRESSED;
//   typing at 8 keys a second, each key held 30-100 ms while the handset repeats its report every 40 ms as
//   the real keypad does: press to its BTN_PRESSED, and every key must come through once, in order.
//   bench_key_to_skype [presses] [typed keys]      (600 presses, at least 500; 96 typed keys)
#include "bench_figures.h"
#include "program_run.h"

#include <winsim/control.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using bench::Clock;

namespace {

constexpr auto kWait = 3s;
// Past this many digits phonedock's dial buffer is nearly full; NO empties it.
constexpr int kDigitsBeforeClearing = 400;

std::string Digit(int digit) {
    return std::string(1, static_cast<char>('0' + digit));
}

// Commands from `from` on, as one line for a report.
std::string Commands(const bench::SkypeTap& tap, size_t from) {
    std::string line;
    for (const auto& a : tap.Since(from)) line += (line.empty() ? "\"" : ", \"") + a.text + "\"";
    return line.empty() ? "none" : line;
}

// NO empties the dial buffer and Skype's field and sends Skype's window to the tray, the last step of its
// handling.
void ClearDialled(bench::ProgramRun& run, StressReport& report) {
    sim::Handset& handset = run.Handset();
    bench::SkypeTap& tap = run.Tap();
    const size_t mark = tap.Count();
    handset.press(sim::Key::No);
    report.Expect(tap.WaitFor("BTN_PRESSED NO", mark, kWait).has_value(), "NO reaches Skype");
    handset.release();
    report.Expect(tap.WaitFor("BTN_RELEASED NO", mark, kWait).has_value(), "NO is released at Skype");
    report.Expect(
        run.Skype().waitUntil(
            [&] { return run.Skype().mainWindowView().show == sim::MainWindowShow::Hidden; }, kWait),
        "NO sends Skype's window to the tray");
    std::this_thread::sleep_for(20ms);  // the key thread returns from its last post
}

void OnePressAtATime(bench::ProgramRun& run, StressReport& report, int presses) {
    sim::Handset& handset = run.Handset();
    bench::SkypeTap& tap = run.Tap();
    // Without a playback device no tone plays: each press is handled in about the 10 ms that phonedock
    // holds Skype's button, and hundreds of presses take seconds.
    winsim::setPlaybackDevices({});
    std::mt19937 random(3032027);
    bench::Latencies toFirst, toPressed;
    int previous = -1;
    for (int i = 0; i < presses; ++i) {
        if (i > 0 && i % kDigitsBeforeClearing == 0) ClearDialled(run, report);
        int digit;
        do {
            digit = static_cast<int>(random() % 10);
        } while (digit == previous);
        previous = digit;
        const std::string n = " (press " + std::to_string(i) + ", digit " + Digit(digit) + ")";
        const size_t mark = tap.Count();
        const size_t reports = handset.receivedCount();
        const auto pressed = Clock::now();
        handset.press(sim::digitKey(digit));
        if (!report.Expect(tap.WaitForCount(mark + 1, kWait), "the press reaches Skype" + n)) break;
        toFirst.Add(tap.At(mark).at - pressed);
        const auto button = tap.WaitFor("BTN_PRESSED " + Digit(digit), mark, kWait);
        handset.release();
        if (!report.Expect(button.has_value(), "BTN_PRESSED reaches Skype" + n)) break;
        toPressed.Add(tap.At(*button).at - pressed);
        report.Expect(tap.WaitFor("BTN_RELEASED " + Digit(digit), mark, kWait).has_value(),
                      "BTN_RELEASED reaches Skype" + n);
        // The digit on the display ends the key's handling.
        report.Expect(handset.waitUntil(
                          [&] {
                              return handset.receivedCount() > reports &&
                                     handset.display().lower.back() == Digit(digit)[0];
                          },
                          kWait),
                      "the display shows the digit" + n);
        const std::string commands = Commands(tap, mark);
        report.Expect(commands == "\"FOCUS\", \"BTN_PRESSED " + Digit(digit) + "\", \"BTN_RELEASED " +
                                      Digit(digit) + "\"",
                      "Skype receives FOCUS, BTN_PRESSED, BTN_RELEASED once" + n + ", not " + commands);
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 20000));
    }
    std::printf(
        "key-to-skype: %zu digit presses, each once the one before was handled, after a random pause "
        "of 0-20 ms (no playback device: no tone)\n",
        toFirst.Count());
    std::printf("  press to the first Skype command (FOCUS): %s\n", toFirst.Summary().c_str());
    std::printf("  press to its BTN_PRESSED:                 %s\n", toPressed.Summary().c_str());
    std::printf("  target after the change: p99 <= 3 ms to the first command\n");
    winsim::setPlaybackDevices({bench::ProgramRun::kAudioDevice});
}

void Typing(bench::ProgramRun& run, StressReport& report, int keys) {
    sim::Handset& handset = run.Handset();
    bench::SkypeTap& tap = run.Tap();
    ClearDialled(run, report);
    std::mt19937 random(20041118);
    const size_t mark = tap.Count();
    const size_t sentBefore = handset.sentCount();
    std::vector<int> typed;
    std::vector<Clock::time_point> pressedAt;
    const auto start = Clock::now() + 50ms;
    for (int i = 0; i < keys; ++i) {
        const int digit =
            static_cast<int>(random() % 10);  // the same digit twice running too, as people type
        const auto hold = std::chrono::milliseconds(30 + random() % 71);
        std::this_thread::sleep_until(start + i * 125ms);
        pressedAt.push_back(Clock::now());
        handset.press(sim::digitKey(digit));
        typed.push_back(digit);
        std::this_thread::sleep_until(pressedAt.back() + hold);
        handset.release();
    }
    const size_t repeats = handset.sentCount() - sentBefore - 2 * static_cast<size_t>(keys);
    // Every key's release reaches Skype, then a doubled key would come within a key's handling time.
    size_t releases = 0;
    const auto deadline = Clock::now() + 5s;
    while (releases < typed.size() && Clock::now() < deadline) {
        std::this_thread::sleep_for(5ms);
        releases = 0;
        for (const auto& a : tap.Since(mark)) releases += a.text.starts_with("BTN_RELEASED ") ? 1 : 0;
    }
    std::this_thread::sleep_for(300ms);

    std::vector<bench::SkypeTap::Arrival> buttons;
    for (const auto& a : tap.Since(mark)) {
        if (a.text.starts_with("BTN_PRESSED ")) buttons.push_back(a);
    }
    std::string typedText, received;
    for (int digit : typed) typedText += Digit(digit);
    for (const auto& b : buttons) received += b.text.substr(std::string("BTN_PRESSED ").size());
    report.Expect(received == typedText, "Skype receives every typed key once, in order: typed " + typedText +
                                             ", BTN_PRESSED for " + received);
    bench::Latencies latency;
    for (size_t k = 0; k < buttons.size() && k < pressedAt.size(); ++k) {
        if (received[k] == typedText[k]) latency.Add(buttons[k].at - pressedAt[k]);
    }
    std::printf(
        "key-to-skype: typing %d digits at 8 keys a second, each held 30-100 ms, the handset repeating "
        "a held key's report every 40 ms (%zu repeats sent), the digits' tones playing\n",
        keys, repeats);
    std::printf("  keys received by Skype: %zu BTN_PRESSED for %d typed (%s)\n", buttons.size(), keys,
                received == typedText ? "each once, in order" : "LOST, DOUBLED OR OUT OF ORDER");
    std::printf("  press to its BTN_PRESSED:                 %s\n", latency.Summary().c_str());
    std::printf("  target after the change: no key waits more than 5 ms\n");
}

}  // namespace

int main(int argc, char** argv) {
    const int presses = argc > 1 ? std::max(500, std::atoi(argv[1])) : 600;
    // The typed digits stay in the dial buffer, so no more than it holds.
    const int keys = argc > 2 ? std::clamp(std::atoi(argv[2]), 1, kDigitsBeforeClearing) : 96;
    StressReport report("key-to-skype");
    bench::PrintPlatform("key-to-skype");
    std::printf(
        "key-to-skype: phonedock, VOCETTA.DLL, the handset stand-in and the Skype stand-in; attached, "
        "no call, handset on hook\n");
    {
        sim::HandsetConfig config;
        config.repeatInterval = 40ms;
        bench::ProgramRun run(report, config);
        if (run.Started()) {
            OnePressAtATime(run, report, presses);
            Typing(run, report, keys);
        }
    }
    return report.Finish();
}
