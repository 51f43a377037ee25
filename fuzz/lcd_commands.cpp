// The display commands with any mode, arguments and text: cells 0 to 15 stay dark, an unknown mode changes
// nothing, each command keeps the segments it does not own, and the display report carries the image.
#include "report_protocol.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

using namespace vocetta;

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

constexpr uint8_t kBar = 0x10;
constexpr int kFirstLcdCell = 16;  // the cells before it are never written

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    LcdImage image;
    while (input.remaining_bytes() > 0) {
        const int mode =
            input.ConsumeBool() ? input.ConsumeIntegralInRange<int>(-1, 7) : input.ConsumeIntegral<int>();
        const bool iconOn = input.ConsumeBool();
        const int barLevel = input.ConsumeIntegral<int>();
        const bool showClock = input.ConsumeBool();
        ClockReading clock;
        clock.month = input.ConsumeIntegral<int>();
        clock.day = input.ConsumeIntegral<int>();
        clock.weekday = input.ConsumeIntegral<int>();
        clock.hour = input.ConsumeIntegral<int>();
        clock.minute = input.ConsumeIntegral<int>();
        // The caller's text ends at its terminator, however long: an exact copy, so nothing past it is read.
        const bool noText = input.ConsumeIntegralInRange<int>(0, 15) == 0;
        const std::string bytes = input.ConsumeRandomLengthString(64);
        auto text = std::make_unique<char[]>(bytes.size() + 1);
        std::memcpy(text.get(), bytes.c_str(), bytes.size() + 1);

        const std::array<uint8_t, LcdImage::kCells> before = image.cells();
        const bool known =
            image.Apply(mode, iconOn, barLevel, noText ? nullptr : text.get(), showClock, clock);
        const std::array<uint8_t, LcdImage::kCells>& after = image.cells();
        Require(known == (mode >= 0 && mode <= 6));
        if (!known) Require(after == before);
        for (int c = 0; c < kFirstLcdCell; ++c) Require(after[c] == 0);
        if (mode == 1 || mode == 2) {
            // The indicator and the bars share cell 16; neither touches the digits.
            for (int c = 17; c <= 25; ++c) Require(after[c] == before[c]);
        }
        if (mode == 1)
            Require((after[16] & kBar) == (before[16] & kBar) && (after[16] & 1) == (iconOn ? 1 : 0));
        if (mode == 3 || mode == 4 || mode == 6) {
            // Text and clock keep the indicator and the bars (a character outside the glyph table is its own
            // segment byte and may light a bar too).
            Require(after[16] == before[16]);
            for (int c = 26; c <= 31; ++c) {
                Require((after[c] & kBar) >= (before[c] & kBar));
                if (mode == 4) Require((after[c] & kBar) == (before[c] & kBar));
            }
        }
        if (mode == 3) {
            const size_t length = noText ? 0 : std::strlen(text.get());
            const uint8_t last = length > 0 ? GlyphFor(text[length - 1]) : 0;
            Require((after[22] & ~kBar) == (last & ~kBar));
        }
        std::array<uint8_t, kDisplayReportSize> report{};
        image.BuildDisplayReport(report.data());
        Require(report[0] == 0 && report[1] == REPORT_LCD);
        Require(std::memcmp(report.data() + 2, after.data(), after.size()) == 0);
    }
    return 0;
}
