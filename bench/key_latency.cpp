// Measures, on the simulated platform, how long a key press takes from the handset's input report to the
// key callback, and what an open, idle handset costs in processor time. Prints its figures.
#include <windows.h>
#include <winsim/control.h>

#include "usbphone.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<int> lastKey{-1};
std::atomic<Clock::rep> keyTime{0};

void CALLBACK OnKey(int keyCode) {
    keyTime = Clock::now().time_since_epoch().count();
    lastKey = keyCode;
}

double ProcessCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
    const int presses = argc > 1 ? std::max(200, std::atoi(argv[1])) : 300;
    winsim::reset();
    HMODULE library = LoadLibraryA("VOCETTA.DLL");
    if (library == nullptr) {
        std::fprintf(stderr, "VOCETTA.DLL did not load\n");
        return 1;
    }
    UsbPhoneEntryPoints phone;
    ResolveUsbPhoneEntryPoints(library, phone);

    winsim::HidDeviceDesc desc;
    desc.path = "\\\\?\\hid#vid_04b4&pid_0302#bench";
    desc.vendorId = 1204;
    desc.productId = 770;
    desc.inputReportLength = 18;
    desc.outputReportLength = 34;
    const winsim::HidDeviceId device = winsim::hidPlug(desc, nullptr);
    if (phone.Open(nullptr) != 0) {
        std::fprintf(stderr, "the handset did not open\n");
        return 1;
    }
    phone.Bind(&OnKey, nullptr);

    // Digit keys alternate so that each press is a new key for the repeat filter; between presses the key
    // is released and the reader is given time to see the release.
    const uint8_t scanCodes[] = {4, 3};
    std::vector<double> latenciesMs;
    for (int i = 0; i < presses; ++i) {
        const uint8_t scan = scanCodes[i % 2];
        const int expected = scan == 4 ? 1 : 2;
        lastKey = -1;
        std::vector<uint8_t> report(18, 0);
        report[1] = 1;
        report[2] = scan;
        // Spread the presses over the reader's cycle: sometimes it waits in a read, sometimes it pauses.
        std::this_thread::sleep_for(std::chrono::microseconds(3000 + (i * 7919) % 25000));
        const auto sent = Clock::now();
        winsim::hidInputReport(device, report);
        while (lastKey != expected) {
            if (Clock::now() - sent > std::chrono::seconds(2)) {
                std::fprintf(stderr, "press %d was not delivered\n", i);
                return 1;
            }
            std::this_thread::yield();
        }
        const auto delivered = Clock::time_point(Clock::duration(keyTime.load()));
        latenciesMs.push_back(std::chrono::duration<double, std::milli>(delivered - sent).count());
        report[2] = 0;
        winsim::hidInputReport(device, report);
    }
    std::sort(latenciesMs.begin(), latenciesMs.end());
    auto percentile = [&](double p) {
        return latenciesMs[std::min(latenciesMs.size() - 1,
                                    static_cast<size_t>(p * static_cast<double>(latenciesMs.size())))];
    };

    // An open handset with nothing happening.
    const double idleSeconds = 5.0;
    const double cpuBefore = ProcessCpuSeconds();
    std::this_thread::sleep_for(std::chrono::duration<double>(idleSeconds));
    const double idleCpu = ProcessCpuSeconds() - cpuBefore;

    phone.Close();
    FreeLibrary(library);
    winsim::reset();

    std::printf("simulated platform (winsim), %zu key presses, report arrival to key callback:\n",
                latenciesMs.size());
    std::printf("  median %.3f ms, 99th percentile %.3f ms, max %.3f ms\n", percentile(0.5), percentile(0.99),
                latenciesMs.back());
    std::printf("open idle handset: %.2f%% of one core over %.0f s\n", 100.0 * idleCpu / idleSeconds,
                idleSeconds);
    return 0;
}
