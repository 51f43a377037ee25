// How many Skype notifications phonedock takes a second, end to end: bursts of 5,000, 9,000 and 20,000 sent
// one right after another as the Skype stand-in's API window, of two kinds:
//   display names  "CALL 7 PARTNER_DISPNAME <name>" during call 7 in progress: phonedock puts each name on
//                  the handset's display, so the handset stand-in sees every one;
//   ringing calls  "CALL <id> STATUS RINGING", each a new call: phonedock rings the handset and asks Skype
//                  for the caller with "GET CALL <id> PARTNER_DISPNAME", which the Skype stand-in receives
//                  (and answers with an error, as it knows no such call).
// The rate runs from the moment the first was sent to the moment the last was seen handled from outside:
// its name on the display (looked at every millisecond) or its GET at the Skype stand-in (stamped as it
// arrived). Every notification must be handled, in order. The display shows 10 digits, so the names are 10
// digits: the burst's number, then the notification's.
//   bench_notification_burst [burst sizes...]      (5000 9000 20000)
#include "bench_figures.h"
#include "handset/display.h"
#include "program_run.h"

#include <winsim/control.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

using namespace std::chrono_literals;
using bench::Clock;

namespace {

constexpr int kCallInProgress = 7;
// How long a burst may still take once its last notification was sent.
constexpr auto kHandlingBound = 20s;

struct Outcome {
    bench::SkypeTap::Burst burst;
    bool handled = false;
    Clock::time_point lastHandled;
};

// Sends `texts` from a thread of Skype's process while this thread watches for `isHandled`, every
// millisecond, until the bound after the last send.
template <class Handled>
Outcome SendWatching(bench::ProgramRun& run, const std::vector<std::string>& texts, Handled isHandled) {
    Outcome outcome;
    std::atomic<bool> sent{false};
    std::atomic<Clock::rep> sentAt{0};
    std::thread sender([&] {
        outcome.burst = run.Tap().Send(run.MainWindow(), texts);
        sentAt = Clock::now().time_since_epoch().count();
        sent = true;
    });
    for (;;) {
        if (const auto at = isHandled()) {
            outcome.handled = true;
            outcome.lastHandled = *at;
            break;
        }
        if (sent && Clock::now() > Clock::time_point(Clock::duration(sentAt.load())) + kHandlingBound) break;
        std::this_thread::sleep_for(1ms);
    }
    sender.join();
    return outcome;
}

void Inject(bench::ProgramRun& run, const std::string& text) {
    run.Tap().Send(run.MainWindow(), {text});
    run.Settle();
}

void PrintRate(const char* kind, size_t count, const Outcome& o, const std::string& verdict) {
    const double sendSeconds = bench::Seconds(o.burst.lastReturned - o.burst.firstSent);
    std::printf("  %-13s %6zu: sent in %.3f s (%.0f/s)", kind, count, sendSeconds,
                static_cast<double>(count) / sendSeconds);
    if (o.handled) {
        const double seconds = bench::Seconds(o.lastHandled - o.burst.firstSent);
        std::printf("; the last handled %.3f s after the first was sent: %.0f/s end to end; %s\n", seconds,
                    static_cast<double>(count) / seconds, verdict.c_str());
    } else {
        std::printf("; the last was NOT handled within %lld s; %s\n",
                    static_cast<long long>(kHandlingBound.count()), verdict.c_str());
    }
}

// The burst's names on the display (those starting with its digit) in the order the handset was shown them,
// from image `from` on; a redraw of the same name (each tick of the watchdog redraws) counts once.
std::vector<std::string> NamesShown(const sim::Handset& handset, size_t from, char burstDigit) {
    std::vector<std::string> shown;
    for (const sim::DisplayImage& image : handset.shownImages(from)) {
        const std::string lower = sim::readDisplay(image).lower;
        if (lower.empty() || lower[0] != burstDigit) continue;
        if (shown.empty() || shown.back() != lower) shown.push_back(lower);
    }
    return shown;
}

std::string FirstDifference(const std::vector<std::string>& expected, const std::vector<std::string>& seen) {
    size_t i = 0;
    while (i < expected.size() && i < seen.size() && expected[i] == seen[i]) ++i;
    return "first difference at " + std::to_string(i) + ": expected " +
           (i < expected.size() ? expected[i] : "nothing more") + ", saw " +
           (i < seen.size() ? seen[i] : "nothing more");
}

void DisplayNames(bench::ProgramRun& run, StressReport& report, size_t count, int burst) {
    sim::Handset& handset = run.Handset();
    Inject(run, "CALL " + std::to_string(kCallInProgress) + " STATUS INPROGRESS");
    std::vector<std::string> names, texts;
    for (size_t i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof(name), "%d%09zu", burst % 10, i);
        names.push_back(name);
        texts.push_back("CALL " + std::to_string(kCallInProgress) + " PARTNER_DISPNAME " + name);
    }
    const size_t from = handset.shownImageCount();
    const std::string last = names.back();
    const Outcome o = SendWatching(run, texts, [&]() -> std::optional<Clock::time_point> {
        if (handset.display().lower == last) return Clock::now();
        return std::nullopt;
    });
    run.Settle();
    const std::vector<std::string> shown = NamesShown(handset, from, names.front()[0]);
    const bool inOrder = shown == names;
    const std::unordered_set<std::string> shownSet(shown.begin(), shown.end());
    const size_t lost = static_cast<size_t>(std::count_if(
        names.begin(), names.end(), [&](const std::string& n) { return !shownSet.contains(n); }));
    report.Expect(o.burst.delivered == count, std::to_string(count - o.burst.delivered) + " of " +
                                                  std::to_string(count) + " display names were not taken");
    report.Expect(inOrder, "every display name is shown once, in order (" + std::to_string(lost) +
                               " never shown; " + FirstDifference(names, shown) + ")");
    PrintRate("display names", count, o,
              inOrder ? "every name shown, in order"
                      : "NAMES LOST OR OUT OF ORDER (" + std::to_string(lost) + " never shown)");
    Inject(run, "CALL " + std::to_string(kCallInProgress) + " STATUS FINISHED");
}

void RingingCalls(bench::ProgramRun& run, StressReport& report, size_t count, int burst) {
    bench::SkypeTap& tap = run.Tap();
    std::vector<std::string> texts, gets;
    for (size_t i = 0; i < count; ++i) {
        const std::string id = std::to_string(100000 * (burst + 1) + static_cast<int>(i));
        texts.push_back("CALL " + id + " STATUS RINGING");
        gets.push_back("GET CALL " + id + " PARTNER_DISPNAME");
    }
    const size_t mark = tap.Count();
    const std::string last = gets.back();
    size_t scanned = mark;
    const Outcome o = SendWatching(run, texts, [&]() -> std::optional<Clock::time_point> {
        const auto arrivals = tap.Since(scanned);
        for (const auto& a : arrivals) {
            if (a.text == last) return a.at;
        }
        scanned += arrivals.size();
        return std::nullopt;
    });
    run.Settle();
    std::vector<std::string> seen, others;
    for (const auto& a : tap.Since(mark)) (a.text.starts_with("GET CALL ") ? seen : others).push_back(a.text);
    const bool inOrder = seen == gets;
    report.Expect(o.burst.delivered == count, std::to_string(count - o.burst.delivered) + " of " +
                                                  std::to_string(count) + " ringing calls were not taken");
    report.Expect(inOrder, "every ringing call draws its GET once, in order (" + std::to_string(seen.size()) +
                               " GETs for " + std::to_string(count) + " calls; " +
                               FirstDifference(gets, seen) + ")");
    report.Expect(others.empty(), std::to_string(others.size()) +
                                      " other commands during the burst, the first " +
                                      (others.empty() ? std::string() : others.front()));
    PrintRate("ringing calls", count, o,
              inOrder ? "every call's GET received, in order"
                      : "GETS LOST OR OUT OF ORDER (" + std::to_string(seen.size()) + " received)");
    Inject(run,
           "CALL " + std::to_string(100000 * (burst + 1) + static_cast<int>(count) - 1) + " STATUS MISSED");
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<size_t> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(static_cast<size_t>(std::max(1, std::atoi(argv[i]))));
    if (sizes.empty()) sizes = {5000, 9000, 20000};
    StressReport report("notification-burst");
    bench::PrintPlatform("notification-burst");
    {
        sim::HandsetConfig config;
        config.repeatInterval = 0ms;
        bench::ProgramRun run(report, config);
        if (run.Started()) {
            std::printf(
                "notification-burst: phonedock attached to the Skype stand-in; each burst sent back to "
                "back as the stand-in's API window from a thread of its process\n");
            int burst = 0;
            for (size_t count : sizes) DisplayNames(run, report, count, burst++);
            for (size_t count : sizes) RingingCalls(run, report, count, burst++);
            std::printf("  target after the change: >= 50,000 display names/s, none lost at 20,000\n");
        }
    }
    return report.Finish();
}
