// Random key and hook reports, one a millisecond, while the handset is pulled out and plugged in again
// every so often. Whatever the reports say, the key callback gets only codes of the key table, the library
// keeps running, and nothing it opened stays behind. Run it under the sanitizers (the dev build).
//   bench_stress_random_reports [reports] [seed]      (10000 and 1 by default)
#include "handset/handset.h"
#include "stress_report.h"
#include "support/vocetta_library.h"

#include <windows.h>
#include <winsim/control.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>

using testsupport::KeyLog;
using Clock = std::chrono::steady_clock;

namespace {

bool IsKeyCode(int code) {
    if (code >= KEY_0 && code <= KEY_9) return true;
    static constexpr int kOthers[] = {KEY_STAR, KEY_HASH,    KEY_NO,       KEY_UP,   KEY_YES,
                                      KEY_DOWN, KEY_ON_HOOK, KEY_OFF_HOOK, KEY_MUTE, KEY_CLEAR};
    return std::find(std::begin(kOthers), std::end(kOthers), code) != std::end(kOthers);
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
        sim::Handset handset;  // with the keypad's own repeat of a held key
        handset.plug();
        const size_t handlesBeforeOpen = winsim::openHandleCount();
        int opened = -1;
        window.Run([&] {
            opened = library.Open(window.window());
            library.Bind(&testsupport::RecordKey, &testsupport::RecordPlug);
        });
        if (!report.Expect(opened == 0, "the handset opens")) return report.Finish();

        std::mt19937 random(seed);
        std::uniform_int_distribution<int> scanCode(0, 255);
        std::uniform_int_distribution<int> action(0, 99);
        int replugs = 0;
        const auto start = Clock::now();
        for (int i = 0; i < reports; ++i) {
            const int what = action(random);
            if (what < 60) {
                handset.pressScanCode(static_cast<uint8_t>(scanCode(random)));
            } else if (what < 80) {
                handset.release();
            } else if (what < 99) {
                handset.setOffHook(!handset.offHook());
            } else {
                handset.unplug();  // the next reports go nowhere until it is back
                handset.plug();
                ++replugs;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        handset.release();
        // The reader is done once a last, known key has come through.
        handset.press(sim::Key::Clear);
        report.Expect(testsupport::Eventually(
                          [] {
                              const auto codes = KeyLog().Codes();
                              return !codes.empty() && codes.back() == KEY_CLEAR;
                          },
                          std::chrono::seconds(10)),
                      "the library still reads keys at the end");
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        const auto codes = KeyLog().Codes();
        const size_t foreign = static_cast<size_t>(
            std::count_if(codes.begin(), codes.end(), [](int code) { return !IsKeyCode(code); }));
        report.Expect(foreign == 0, std::to_string(foreign) + " callbacks with a code outside the key table");
        std::printf(
            "random-reports: %d reports (seed %u) and %d replugs in %.1f s; %zu key callbacks, %zu of "
            "them outside the key table\n",
            reports, seed, replugs, seconds, codes.size(), foreign);

        window.Run([&] { library.Close(); });
        report.Expect(winsim::hidOpenHandleCount(handset.busId()) == 0, "closing closes the handset");
        report.Expect(winsim::openHandleCount() == handlesBeforeOpen, "closing leaves no handle behind");
        report.Expect(winsim::hidOutstandingPreparsedData() == 0, "closing frees the preparsed data");
        report.Expect(winsim::hidOpenDeviceInfoSets() == 0, "no device-information set left behind");
    }
    return report.Finish();
}
