// Input reports, any bytes, in any order, through the reader loop's decisions: only key codes of the table
// reach the callback, a held key once, the hook switch as alternating 80 and 70 starting with 80 after each
// open of the handset.
#include "report_protocol.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cstdlib>

using namespace vocetta;

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

bool IsKeyCode(int code) {
    constexpr int kCodes[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 20, 21, 30, 40, 50, 60, 100, 110};
    return std::find(std::begin(kCodes), std::end(kCodes), code) != std::end(kCodes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    // The state the reader keeps: the library starts with no code reported, each open with the hook status
    // unknown and the handset taken as resting.
    int lastReported = KEY_NONE;
    int hookStatus = -1;
    int previousHook = 1;
    int lastDelivered = KEY_NONE;
    int lastHookCode = KEY_ON_HOOK;
    while (input.remaining_bytes() > 0) {
        const uint8_t what = input.ConsumeIntegral<uint8_t>();
        if (what < 8) {  // the handset was opened again
            hookStatus = -1;
            previousHook = 1;
            lastHookCode = KEY_ON_HOOK;
            continue;
        }
        int code = TakeHookChange(hookStatus, previousHook);
        const bool hookCode = code != KEY_NONE;
        if (!hookCode && what >= 32) {  // a report arrived; otherwise the read timed out
            std::array<uint8_t, kInputReportSize> report{};
            const auto bytes = input.ConsumeBytes<uint8_t>(report.size());
            std::copy(bytes.begin(), bytes.end(), report.begin());
            int reported = 0;
            if (DecodeKeyReport(report, code, reported)) {
                Require(report[1] == REPORT_CONTROL);
                hookStatus = reported;
            } else {
                Require(code == KEY_NONE);
            }
        }
        if (hookCode) {
            Require(code != lastHookCode);  // the switch alternates
            Require((code == KEY_ON_HOOK) == (hookStatus == 1));
            lastHookCode = code;
        }
        if (!PassesRepeatFilter(code, lastReported)) {
            Require(code == KEY_NONE || code == lastDelivered);
            if (code == KEY_NONE) lastDelivered = KEY_NONE;
            continue;
        }
        Require(code != lastDelivered);
        Require(hookCode || IsKeyCode(code));
        lastDelivered = code;
    }
    return 0;
}
