// How long a key press takes from the handset's input report to the key callback, straight on VOCETTA.DLL,
// and what an open handset with nothing happening costs. Every press follows a release and differs from the
// key before it, so the repeat filter lets each one through once; some come right behind the release (the
// two reports back to back), the others after a random pause. Fails when a key is lost or doubled.
//   bench_key_latency [presses] [idle seconds]      (600 presses, at least 500; 3 s)
#include "bench_figures.h"
#include "handset/keypad.h"
#include "idle_cost.h"
#include "stress_report.h"

#include <windows.h>
#include <winsim/control.h>

#include "usbphone.h"

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using namespace std::chrono_literals;
using bench::Clock;

namespace {

constexpr size_t kInputReportLength = 18;

// Every key callback, in order, with the moment it came.
struct Callbacks {
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<std::pair<int, Clock::time_point>> keys;
};
Callbacks callbacks;

void CALLBACK OnKey(int keyCode) {
    const auto now = Clock::now();
    std::lock_guard<std::mutex> lock(callbacks.mutex);
    callbacks.keys.emplace_back(keyCode, now);
    callbacks.arrived.notify_all();
}

// The callback for press `index`, once it has come; nothing when it did not come in time.
std::optional<std::pair<int, Clock::time_point>> WaitForCallback(size_t index) {
    std::unique_lock<std::mutex> lock(callbacks.mutex);
    if (!callbacks.arrived.wait_for(lock, 2s, [&] { return callbacks.keys.size() > index; })) return {};
    return callbacks.keys[index];
}

void SendKeyReport(winsim::HidDeviceId device, uint8_t scanCode) {
    std::vector<uint8_t> report(kInputReportLength, 0);
    report[1] = 1;  // a key report, on hook
    report[2] = scanCode;
    winsim::hidInputReport(device, report);
}

}  // namespace

int main(int argc, char** argv) {
    const int presses = argc > 1 ? std::max(500, std::atoi(argv[1])) : 600;
    const double idleSeconds = argc > 2 ? std::max(1.0, std::atof(argv[2])) : 3.0;
    StressReport report("key-latency");
    bench::PrintPlatform("key-latency");
    winsim::reset();
    HMODULE library = LoadLibraryA("VOCETTA.DLL");
    if (!report.Expect(library != nullptr, "VOCETTA.DLL loads")) return report.Finish();
    UsbPhoneEntryPoints phone;
    ResolveUsbPhoneEntryPoints(library, phone);

    winsim::HidDeviceDesc desc;
    desc.path = "\\\\?\\hid#vid_04b4&pid_0302#bench";
    desc.vendorId = 1204;
    desc.productId = 770;
    desc.inputReportLength = kInputReportLength;
    desc.outputReportLength = 34;
    const winsim::HidDeviceId device = winsim::hidPlug(desc, nullptr);
    std::set<DWORD> threadsBeforeOpen;
    for (const auto& t : winsim::threadWakeups()) threadsBeforeOpen.insert(t.threadId);
    if (!report.Expect(phone.Open(nullptr) == 0, "the handset opens")) return report.Finish();
    phone.Bind(&OnKey, nullptr);

    std::mt19937 random(20270303);
    bench::Latencies all, queued, spread;
    std::vector<int> expected;
    int previousDigit = -1;
    for (int i = 0; i < presses; ++i) {
        int digit;
        do {
            digit = static_cast<int>(random() % 10);
        } while (digit == previousDigit);
        previousDigit = digit;
        const bool behindRelease = i > 0 && random() % 3 == 0;
        if (i > 0) SendKeyReport(device, 0);
        if (!behindRelease) std::this_thread::sleep_for(std::chrono::microseconds(1000 + random() % 29000));
        const auto sent = Clock::now();
        SendKeyReport(device, sim::scanCode(sim::digitKey(digit)));
        expected.push_back(digit);
        const auto callback = WaitForCallback(expected.size() - 1);
        if (!report.Expect(callback.has_value(), "press " + std::to_string(i) + " (digit " +
                                                     std::to_string(digit) + ") reaches the callback")) {
            break;
        }
        report.Expect(callback->first == digit, "press " + std::to_string(i) + " is digit " +
                                                    std::to_string(digit) + ", the callback had " +
                                                    std::to_string(callback->first));
        all.Add(callback->second - sent);
        (behindRelease ? queued : spread).Add(callback->second - sent);
    }
    SendKeyReport(device, 0);
    // A doubled key would come right behind its first delivery; the reader's slowest round is far shorter.
    std::this_thread::sleep_for(300ms);
    {
        std::lock_guard<std::mutex> lock(callbacks.mutex);
        report.Expect(callbacks.keys.size() == expected.size(),
                      std::to_string(expected.size()) + " presses gave " +
                          std::to_string(callbacks.keys.size()) + " key callbacks");
    }

    std::printf("key-latency: %zu key presses straight on VOCETTA.DLL, report arrival to key callback\n",
                all.Count());
    std::printf("  every press:                              %s\n", all.Summary().c_str());
    std::printf("  right behind a release (no wait between): %s\n", queued.Summary().c_str());
    std::printf("  after a random pause of 1-30 ms:          %s\n", spread.Summary().c_str());
    std::printf("  target after the change: p99 <= 2 ms\n");

    const DWORD self = GetCurrentThreadId();
    const bench::IdleCost idle = bench::MeasureIdle(idleSeconds);
    std::printf("key-latency: an open handset with nothing happening, over %.1f s:\n", idle.seconds);
    bench::PrintIdleCost(idle, [&](const bench::ThreadIdleCost& t) -> std::string {
        if (t.simulator) return "winsim's own thread";
        if (t.threadId == self) return "";
        if (!threadsBeforeOpen.contains(t.threadId)) return "VOCETTA.DLL's thread (reader)";
        return "other thread";
    });
    std::printf("  target after the change: reader 0 wake-ups/s\n");

    phone.Close();
    FreeLibrary(library);
    winsim::reset();
    return report.Finish();
}
