// Random key and hook reports, one a millisecond, while the handset is pulled out and plugged in again
// every so often. Every key and hook change the handset sent must reach the key callback once and in order,
// except what the repeat filter drops by its rule and what a removal drops before the reader took it; the
// library keeps running, and nothing it opened stays behind. Run it under the sanitizers (the dev build).
//   bench_stress_random_reports [reports] [seed]      (10000 and 1 by default)
#include "handset/handset.h"
#include "stress_key_stream.h"
#include "stress_report.h"
#include "support/reader_idle.h"
#include "support/vocetta_library.h"

#include <windows.h>
#include <winsim/control.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

using testsupport::KeyLog;
using Clock = std::chrono::steady_clock;

namespace {

// The reader's read ends after 100 ms without a report, which re-arms the repeat filter: two reports sent
// less than that apart cannot have such a read between them. A little less, for the grain of the clocks.
constexpr auto kQuietRead = std::chrono::milliseconds(95);
// A removal drops only what the reader had not taken yet, and the reader is never this far behind.
constexpr auto kReaderBehindAtMost = std::chrono::seconds(1);

// One opening of the handset as the bench drove it: its reader thread and the reports sent meanwhile.
struct OpeningRun {
    DWORD reader = 0;
    size_t firstReport = 0;  // index into the handset's sent reports
    size_t endReport = 0;
    bool removed = false;
    Clock::time_point removedAt;
};

struct Sending {
    Clock::time_point before;  // just before the report was asked for
    Clock::time_point after;   // once it was on its way
};

std::set<DWORD> ThreadsWaitedSoFar() {
    std::set<DWORD> threads;
    for (const auto& t : winsim::threadWakeups()) threads.insert(t.threadId);
    return threads;
}

// The reader the library started for a new opening: the one thread of the program that has waited since
// `known` was taken. It waits for its first report at once.
DWORD NewReader(const std::set<DWORD>& known) {
    DWORD reader = 0;
    testsupport::Eventually(
        [&] {
            for (const auto& t : winsim::threadWakeups()) {
                if (!t.simulator && known.count(t.threadId) == 0) reader = t.threadId;
            }
            return reader != 0;
        },
        std::chrono::seconds(5));
    return reader;
}

// Puts the runs and what the handset sent and the callbacks got together, opening by opening.
std::vector<stress::Opening> Openings(const std::vector<OpeningRun>& runs, const sim::Handset& handset,
                                      const std::vector<Sending>& sendings, std::vector<int>& strays) {
    const std::vector<sim::Handset::Report> sent = handset.sentReports();
    std::map<DWORD, size_t> byReader;
    std::vector<stress::Opening> openings(runs.size());
    for (size_t o = 0; o < runs.size(); ++o) {
        const OpeningRun& run = runs[o];
        byReader[run.reader] = o;
        openings[o].removed = run.removed;
        for (size_t r = run.firstReport; r < run.endReport && r < sent.size() && r < sendings.size(); ++r) {
            stress::SentKeyReport report;
            report.scanCode = sent[r][2];
            report.offHook = sent[r][3] != 0;
            report.afterQuiet =
                r > run.firstReport && sendings[r].after - sendings[r - 1].before >= kQuietRead;
            report.longBeforeRemoval = run.removed && run.removedAt - sendings[r].after > kReaderBehindAtMost;
            openings[o].reports.push_back(report);
        }
    }
    for (const auto& event : KeyLog().Events()) {
        auto it = byReader.find(event.threadId);
        if (it == byReader.end()) {
            strays.push_back(event.first);
        } else {
            openings[it->second].delivered.push_back(event.first);
        }
    }
    return openings;
}

// Drives the handset: random reports, each noted with when it went, and replugs, each noted with the
// reader the new opening got.
class Driver {
  public:
    Driver(sim::Handset& handset, StressReport& report, unsigned seed)
        : handset_(handset), report_(report), random_(seed) {}

    // Mostly the keypad's scan codes (a key, no key, one of no key), now and then any byte; the held key's
    // report again, as the keypad repeats it; a release; the hook switch.
    void SendRandom() {
        const int what = Percent();
        if (what < 45) {
            held_ = static_cast<uint8_t>(Percent() < 90 ? Uniform(0, 24) : Uniform(0, 255));
            Send([&] { handset_.pressScanCode(held_); });
        } else if (what < 60) {
            Send([&] { handset_.pressScanCode(held_); });
        } else if (what < 80) {
            held_ = 0;
            Send([&] { handset_.release(); });
        } else {
            Send([&] { handset_.setOffHook(!handset_.offHook()); });
        }
    }

    template <class SendOne>
    void Send(SendOne sendOne) {
        const Clock::time_point before = Clock::now();
        sendOne();
        sendings_.push_back({before, Clock::now()});
        report_.Expect(handset_.sentCount() == sendings_.size(), "each action sends one report");
    }

    // A few reports back to back, so the removal comes while the reader may still be taking them; then the
    // handset out and in again.
    void Replug() {
        for (int burst = Uniform(0, 8); burst > 0; --burst) SendRandom();
        runs_.back().removed = true;
        runs_.back().removedAt = Clock::now();
        handset_.unplug();
        runs_.back().endReport = handset_.sentCount();
        const std::set<DWORD> known = ThreadsWaitedSoFar();
        handset_.plug();
        StartOpening(known);
    }

    // A new opening, whose reader is the one thread that waited since `known` was taken.
    void StartOpening(const std::set<DWORD>& known) {
        runs_.emplace_back();
        runs_.back().reader = NewReader(known);
        runs_.back().firstReport = handset_.sentCount();
        report_.Expect(runs_.back().reader != 0, "a reader runs for each opening");
    }

    void EndLastOpening() { runs_.back().endReport = handset_.sentCount(); }

    int Percent() { return Uniform(0, 99); }
    int Uniform(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

    size_t Sent() const { return sendings_.size(); }
    size_t Replugs() const { return runs_.size() - 1; }
    const std::vector<OpeningRun>& Runs() const { return runs_; }
    const std::vector<Sending>& Sendings() const { return sendings_; }

  private:
    sim::Handset& handset_;
    StressReport& report_;
    std::mt19937 random_;
    uint8_t held_ = 0;
    std::vector<Sending> sendings_;
    std::vector<OpeningRun> runs_;
};

void PrintFigures(const stress::StreamFigures& f) {
    std::printf(
        "random-reports: %zu key and hook changes sent; %zu delivered (%zu of them again after a re-arm), "
        "%zu dropped by the repeat filter, %zu dropped by removal (at most %zu at one)\n",
        f.sent, f.delivered, f.againAfterQuiet, f.repeatFiltered, f.removalDropped, f.mostAtOneRemoval);
    std::printf("random-reports: %zu lost, %zu doubled, %zu out of order, %zu never sent (each must be 0)\n",
                f.lost, f.doubled, f.outOfOrder, f.notSent);
}

}  // namespace

int main(int argc, char** argv) {
    const int reports = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
    const unsigned seed = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 1u;
    StressReport report("random-reports");
    winsim::reset();
    {
        testsupport::VocettaLibrary library;
        if (!report.Expect(library.module != nullptr, "VOCETTA.DLL loads")) return report.Finish();
        testsupport::WindowThread window;
        // The bench sends every report itself, a held key's repeats too, so it knows when each went: a
        // keypad repeating on its own thread would leave the quiet reads between reports unknown. The
        // handle's queue keeps every report, so none is lost to it.
        sim::HandsetConfig config;
        config.repeatInterval = std::chrono::milliseconds(0);
        config.inputQueueLength = static_cast<size_t>(reports) + 16;
        sim::Handset handset(config);
        handset.plug();
        const size_t handlesBeforeOpen = winsim::openHandleCount();
        std::set<DWORD> known = ThreadsWaitedSoFar();
        known.insert(window.threadId());
        known.insert(GetCurrentThreadId());
        int opened = -1;
        window.Run([&] {
            opened = library.Open(window.window());
            library.Bind(&testsupport::RecordKey, &testsupport::RecordPlug);
        });
        if (!report.Expect(opened == 0, "the handset opens")) return report.Finish();
        Driver driver(handset, report, seed);
        driver.StartOpening(known);

        const auto start = Clock::now();
        while (driver.Sent() < static_cast<size_t>(reports)) {
            if (driver.Percent() == 0) {
                driver.Replug();
            } else {
                driver.SendRandom();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        // A last key from a released keypad, which nothing may filter.
        driver.Send([&] { handset.release(); });
        driver.Send([&] { handset.press(sim::Key::Clear); });
        report.Expect(testsupport::ReaderIdle(handset), "the reader takes every report at the end");
        driver.EndLastOpening();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();

        std::vector<int> strays;
        const std::vector<stress::Opening> openings =
            Openings(driver.Runs(), handset, driver.Sendings(), strays);
        stress::StreamFigures figures;
        figures.notSent = strays.size();  // delivered on a thread that is no reader of ours
        std::set<int> last = {stress::kNoKey};
        for (const stress::Opening& opening : openings) figures.Add(stress::CompareOpening(opening, last));
        const std::vector<int> codes = KeyLog().Codes();
        report.Expect(!codes.empty() && codes.back() == KEY_CLEAR, "the last key reaches the callback last");
        std::printf("random-reports: %zu reports (seed %u) and %zu replugs in %.1f s\n", driver.Sent(), seed,
                    driver.Replugs(), seconds);
        PrintFigures(figures);
        report.Expect(figures.lost == 0, std::to_string(figures.lost) + " key and hook changes lost");
        report.Expect(figures.doubled == 0, std::to_string(figures.doubled) + " delivered twice");
        report.Expect(figures.outOfOrder == 0,
                      std::to_string(figures.outOfOrder) + " delivered out of order");
        report.Expect(figures.notSent == 0, std::to_string(figures.notSent) + " delivered but never sent");

        window.Run([&] { library.Close(); });
        report.Expect(winsim::hidOpenHandleCount(handset.busId()) == 0, "closing closes the handset");
        report.Expect(winsim::openHandleCount() == handlesBeforeOpen, "closing leaves no handle behind");
        report.Expect(winsim::hidOutstandingPreparsedData() == 0, "closing frees the preparsed data");
        report.Expect(winsim::hidOpenDeviceInfoSets() == 0, "no device-information set left behind");
    }
    return report.Finish();
}
