// The handset pulled out and plugged in again and again, with a key pressed after each return. Every key
// must reach the callback once, in order, and nothing the library opened may stay behind: handles, device
// notifications, preparsed data, device-information sets. Run it under the sanitizers (the dev build).
//   bench_stress_replug [cycles]      (1000 by default)
#include "handset/handset.h"
#include "stress_report.h"
#include "support/vocetta_library.h"

#include <windows.h>
#include <winsim/control.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using testsupport::KeyLog;
using testsupport::PlugLog;
using Clock = std::chrono::steady_clock;

int main(int argc, char** argv) {
    const int cycles = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
    StressReport report("replug");
    winsim::reset();
    {
        testsupport::VocettaLibrary library;
        if (!report.Expect(library.module != nullptr, "VOCETTA.DLL loads")) return report.Finish();
        testsupport::WindowThread window;
        sim::HandsetConfig config;
        config.repeatInterval = std::chrono::milliseconds(0);  // one report a press: every key is counted
        sim::Handset handset(config);
        handset.plug();
        const size_t handlesBeforeOpen = winsim::openHandleCount();
        int opened = -1;
        window.Run([&] {
            opened = library.Open(window.window());
            library.Bind(&testsupport::RecordKey, &testsupport::RecordPlug);
        });
        report.Expect(opened == 0, "the handset opens");

        const size_t handles = winsim::openHandleCount();
        const size_t notifications = winsim::deviceNotificationCount();
        const size_t preparsed = winsim::hidOutstandingPreparsedData();
        std::vector<int> expected;
        size_t leftOpen = 0;
        const auto start = Clock::now();
        for (int i = 0; i < cycles; ++i) {
            const winsim::HidDeviceId gone = handset.busId();
            handset.unplug();
            report.Expect(PlugLog().WaitFor(2 * i + 1), "removal " + std::to_string(i) + " is told");
            report.Expect(testsupport::Eventually([&] { return winsim::hidOpenHandleCount(gone) == 0; }),
                          "the handles of the removed handset " + std::to_string(i) + " close");
            leftOpen += winsim::hidOpenHandleCount(gone);
            handset.plug();
            report.Expect(PlugLog().WaitFor(2 * i + 2), "arrival " + std::to_string(i) + " is told");
            handset.press(sim::digitKey(i % 10));
            handset.release();
            expected.push_back(i % 10);
            report.Expect(KeyLog().WaitFor(expected.size()), "key " + std::to_string(i) + " arrives");
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        const std::vector<int> codes = KeyLog().Codes();
        const auto mismatch = std::mismatch(expected.begin(), expected.end(), codes.begin(), codes.end());
        report.Expect(codes == expected, "the keys arrive once each, in order (first difference at " +
                                             std::to_string(mismatch.first - expected.begin()) + ")");
        // Each removal and each arrival told once, in turn: a doubled one would satisfy the waits above.
        const auto plugs = PlugLog().Events();
        bool alternating = plugs.size() == 2 * static_cast<size_t>(cycles);
        for (size_t i = 0; alternating && i < plugs.size(); ++i)
            alternating = plugs[i].first == (i % 2 == 0 ? 0 : 1);
        report.Expect(alternating, "each removal and arrival is told once, in turn (" +
                                       std::to_string(plugs.size()) + " told for " + std::to_string(cycles) +
                                       " cycles)");
        // Each connection holds the same handles (two of the handset, its closing and read events).
        report.Expect(winsim::openHandleCount() == handles,
                      "no handle piles up: " + std::to_string(handles) + " at the first cycle, " +
                          std::to_string(winsim::openHandleCount()) + " after the last");
        report.Expect(winsim::deviceNotificationCount() == notifications,
                      "no device notification left behind");
        report.Expect(winsim::hidOutstandingPreparsedData() == preparsed, "no preparsed data left behind");
        report.Expect(winsim::hidOpenDeviceInfoSets() == 0, "no device-information set left behind");
        std::printf(
            "replug: %d cycles in %.1f s (%.1f ms each), %zu keys sent, %zu received, %zu handles of "
            "removed handsets left open\n",
            cycles, seconds, 1000.0 * seconds / cycles, expected.size(), codes.size(), leftOpen);
        std::printf(
            "replug: kernel handles %zu at the first cycle, %zu after the last; device notifications "
            "%zu / %zu; preparsed data %zu / %zu\n",
            handles, winsim::openHandleCount(), notifications, winsim::deviceNotificationCount(), preparsed,
            winsim::hidOutstandingPreparsedData());

        window.Run([&] { library.Close(); });
        report.Expect(winsim::hidOutstandingPreparsedData() == 0, "closing frees the preparsed data");
        report.Expect(winsim::hidOpenHandleCount(handset.busId()) == 0, "closing closes the handset");
        report.Expect(winsim::openHandleCount() == handlesBeforeOpen, "closing leaves no handle behind");
        std::printf("replug: kernel handles %zu before the library opened the handset, %zu after it closed\n",
                    handlesBeforeOpen, winsim::openHandleCount());
    }
    return report.Finish();
}
