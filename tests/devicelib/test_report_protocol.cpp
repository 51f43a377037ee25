// The report protocol on its own: scan codes, report bytes, and the display image of every command.
#include <gtest/gtest.h>

#include "report_protocol.h"

#include <array>
#include <cstdint>
#include <vector>

using namespace vocetta;

namespace {

const ClockReading kNoClock{};

using Cells = std::vector<uint8_t>;

// The two rows as the handset shows them, left to right: the upper row is cells 17 to 21, the lower row
// cells 31 down to 22. Expected bytes are the handset's glyphs: '0' EB, '1' 60, '2' C7, '3' E5, '4' 6C,
// '5' AD, '6' AF, '7' E8, '8' EF, '9' ED, '#' 23, '*' and '+' 26, '-' 04; the upper row stores them with
// their nibbles swapped ('0' BE), and bit 4 of a lower cell and bit 0 of an upper cell is its extra segment.
Cells UpperRow(const LcdImage& image) {
    Cells row;
    for (int c = 17; c <= 21; ++c) row.push_back(image.cell(c));
    return row;
}

Cells LowerRow(const LcdImage& image) {
    Cells row;
    for (int c = 31; c >= 22; --c) row.push_back(image.cell(c));
    return row;
}

void ShowText(LcdImage& image, const char* text) {
    ASSERT_TRUE(image.Apply(3, false, 0, text, false, kNoClock));
}

}  // namespace

TEST(ScanCodes, KeypadMatrixGivesKeyCodesAndUnwiredPositionsGiveNone) {
    const std::array<int, 10> digitScan = {21, 4, 3, 2, 10, 9, 8, 16, 15, 14};
    for (int digit = 0; digit < 10; ++digit)
        EXPECT_EQ(KeyCodeForScanCode(static_cast<uint8_t>(digitScan[digit])), digit);
    EXPECT_EQ(KeyCodeForScanCode(22), 20);   // *
    EXPECT_EQ(KeyCodeForScanCode(20), 21);   // #
    EXPECT_EQ(KeyCodeForScanCode(1), 30);    // NO
    EXPECT_EQ(KeyCodeForScanCode(13), 40);   // UP
    EXPECT_EQ(KeyCodeForScanCode(7), 50);    // YES
    EXPECT_EQ(KeyCodeForScanCode(19), 60);   // DOWN
    EXPECT_EQ(KeyCodeForScanCode(11), 100);  // MUTE
    EXPECT_EQ(KeyCodeForScanCode(5), 110);   // CLEAR
    for (int scan : {0, 6, 12, 17, 18, 23, 24, 100, 255}) {
        EXPECT_EQ(KeyCodeForScanCode(static_cast<uint8_t>(scan)), KEY_NONE) << scan;
    }
}

TEST(OutputReports, EachReportWritesOnlyItsOwnBytes) {
    std::array<uint8_t, kOutputReportSize> r{};
    r.fill(0xAA);
    BuildRingerReport(r.data(), true);
    EXPECT_EQ(r[0], 0);
    EXPECT_EQ(r[1], 0x01);
    EXPECT_EQ(r[2], 0xFF);
    EXPECT_EQ(r[3], 0x11);
    EXPECT_EQ(r[4], 0xAA);  // kept

    BuildBacklightReport(r.data(), false);
    EXPECT_EQ(r[2], 0x11);
    EXPECT_EQ(r[3], 0x00);

    BuildEepromWriteReport(r.data(), 201, 0x5A);
    EXPECT_EQ((std::array<uint8_t, 6>{r[0], r[1], r[2], r[3], r[4], r[5]}),
              (std::array<uint8_t, 6>{0, 0x02, 0x01, 201, 201, 0x5A}));
    BuildEepromReadRequest(r.data(), 17);
    EXPECT_EQ((std::array<uint8_t, 6>{r[0], r[1], r[2], r[3], r[4], r[5]}),
              (std::array<uint8_t, 6>{0, 0x02, 0x02, 17, 0x00, 0x5A}));  // byte 5 kept from the write
    BuildEepromReadEnd(r.data());
    EXPECT_EQ((std::array<uint8_t, 5>{r[0], r[1], r[2], r[3], r[4]}),
              (std::array<uint8_t, 5>{0, 0x02, 0x03, 17, 0}));
    EXPECT_EQ(r[33], 0xAA);
}

TEST(Display, ClockShowsDateTimeSeparatorAndWeekday) {
    LcdImage image;
    // Wednesday 3 March, 09:05.
    ASSERT_TRUE(image.Apply(4, false, 0, nullptr, true, ClockReading{3, 3, 3, 9, 5}));
    // "03-03" with the Wednesday mark on the second '3'; "0905" with the separator on the '9'.
    EXPECT_EQ(UpperRow(image), (Cells{0xBE, 0x5F, 0x40, 0xBE, 0x5E}));
    EXPECT_EQ(LowerRow(image), (Cells{0, 0, 0, 0, 0, 0, 0xEB, 0xFD, 0xEB, 0xAD}));

    // Sunday and Monday are marked in the lower row; showClock off leaves the text cleared.
    ASSERT_TRUE(image.Apply(4, false, 0, nullptr, true, ClockReading{12, 31, 0, 23, 59}));
    EXPECT_EQ(UpperRow(image), (Cells{0x06, 0x7C, 0x40, 0x5E, 0x06}));              // "12-31", no mark
    EXPECT_EQ(LowerRow(image), (Cells{0, 0, 0, 0, 0, 0, 0xC7, 0xF5, 0xBD, 0xED}));  // '5' with Sunday
    ASSERT_TRUE(image.Apply(4, false, 0, nullptr, true, ClockReading{12, 31, 1, 23, 59}));
    EXPECT_EQ(UpperRow(image), (Cells{0x06, 0x7C, 0x40, 0x5E, 0x06}));
    EXPECT_EQ(LowerRow(image), (Cells{0, 0, 0, 0, 0, 0, 0xC7, 0xF5, 0xAD, 0xFD}));  // '9' with Monday
    ASSERT_TRUE(image.Apply(4, false, 0, nullptr, false, ClockReading{12, 31, 1, 23, 59}));
    for (int c = 17; c <= 31; ++c) EXPECT_EQ(image.cell(c), 0) << c;
}

TEST(Display, TextIsRightAlignedOverBothRows) {
    LcdImage image;
    ShowText(image, "12345678901234567");
    // "34567" above, "8901234567" below.
    EXPECT_EQ(UpperRow(image), (Cells{0x5E, 0xC6, 0xDA, 0xFA, 0x8E}));
    EXPECT_EQ(LowerRow(image), (Cells{0xEF, 0xED, 0xEB, 0x60, 0xC7, 0xE5, 0x6C, 0xAD, 0xAF, 0xE8}));

    ShowText(image, "+49");
    EXPECT_EQ(UpperRow(image), Cells(5, 0));
    EXPECT_EQ(LowerRow(image), (Cells{0, 0, 0, 0, 0, 0, 0, 0x26, 0x6C, 0xED}));

    ShowText(image, "*#-");
    EXPECT_EQ(LowerRow(image), (Cells{0, 0, 0, 0, 0, 0, 0, 0x26, 0x23, 0x04}));

    // A space is a blank cell; any other character outside the glyph table is its own segment byte.
    ShowText(image, "A \x8B");
    EXPECT_EQ(image.cell(22), 0x8B);
    EXPECT_EQ(image.cell(23), 0x00);
    EXPECT_EQ(image.cell(24), 'A');
}

TEST(Display, EmptyOrNullTextBlanksTheDigitsAndKeepsBarsAndIndicator) {
    LcdImage image;
    ASSERT_TRUE(image.Apply(5, false, 0, nullptr, false, kNoClock));
    ShowText(image, "");
    EXPECT_EQ(image.cell(16), 0xFF);
    for (int c = 17; c <= 25; ++c) EXPECT_EQ(image.cell(c), 0) << c;
    for (int c = 26; c <= 31; ++c) EXPECT_EQ(image.cell(c), 0x10) << c;  // bars survive, digits go
    ShowText(image, nullptr);
    for (int c = 26; c <= 31; ++c) EXPECT_EQ(image.cell(c), 0x10) << c;
}

TEST(Display, BarLevelLightsBarsFromTheLeftAndCell16ForAnyNonzeroLevel) {
    LcdImage image;
    auto bars = [&] {
        int lit = 0;
        for (int c = 26; c <= 31; ++c) lit += (image.cell(c) & 0x10) != 0;
        return lit;
    };
    ASSERT_TRUE(image.Apply(1, true, 0, nullptr, false, kNoClock));
    ASSERT_TRUE(image.Apply(2, false, 1, nullptr, false, kNoClock));
    EXPECT_EQ(image.cell(16), 0x11);  // indicator kept
    EXPECT_EQ(bars(), 0);
    ASSERT_TRUE(image.Apply(2, false, 3, nullptr, false, kNoClock));
    EXPECT_EQ(bars(), 2);
    EXPECT_NE(image.cell(31) & 0x10, 0);
    EXPECT_NE(image.cell(30) & 0x10, 0);
    ASSERT_TRUE(image.Apply(2, false, 0, nullptr, false, kNoClock));
    EXPECT_EQ(image.cell(16), 0x01);
    EXPECT_EQ(bars(), 0);
    ASSERT_TRUE(image.Apply(2, false, -3, nullptr, false, kNoClock));
    EXPECT_EQ(image.cell(16), 0x11);
    EXPECT_EQ(bars(), 0);
    ASSERT_TRUE(image.Apply(2, false, 100, nullptr, false, kNoClock));
    EXPECT_EQ(bars(), 6);
    ASSERT_TRUE(image.Apply(1, false, 0, nullptr, false, kNoClock));
    EXPECT_EQ(image.cell(16), 0x10);  // bar kept
}

TEST(Display, TimeTextUsesTheLowerRowAndBlanksWhatIsMissing) {
    LcdImage image;
    ASSERT_TRUE(image.Apply(6, false, 0, "12:34:56", false, kNoClock));
    // "123456" with both separators lit, on the '3' and the '4'.
    EXPECT_EQ(LowerRow(image), (Cells{0, 0, 0, 0, 0x60, 0xC7, 0xF5, 0x7C, 0xAD, 0xAF}));
    EXPECT_EQ(UpperRow(image), Cells(5, 0));

    // A short text: only what it has is shown, the separators stay.
    const char shortText[3] = {'0', '7', '\0'};
    ASSERT_TRUE(image.Apply(6, false, 0, shortText, false, kNoClock));
    EXPECT_EQ(LowerRow(image), (Cells{0, 0, 0, 0, 0xEB, 0xE8, 0x10, 0x10, 0, 0}));
    ASSERT_TRUE(image.Apply(6, false, 0, nullptr, false, kNoClock));
    EXPECT_EQ(LowerRow(image), (Cells{0, 0, 0, 0, 0, 0, 0x10, 0x10, 0, 0}));
}

TEST(Display, ClearAllAllOnAndUnknownModes) {
    LcdImage image;
    ASSERT_TRUE(image.Apply(5, false, 0, nullptr, false, kNoClock));
    for (int c = 16; c <= 31; ++c) EXPECT_EQ(image.cell(c), 0xFF);
    for (int c = 0; c < 16; ++c) EXPECT_EQ(image.cell(c), 0);  // never written
    const auto before = image.cells();
    EXPECT_FALSE(image.Apply(7, true, 3, "1", true, kNoClock));
    EXPECT_FALSE(image.Apply(-1, true, 3, "1", true, kNoClock));
    EXPECT_EQ(image.cells(), before);
    ASSERT_TRUE(image.Apply(0, false, 0, nullptr, false, kNoClock));
    for (int c = 16; c <= 31; ++c) EXPECT_EQ(image.cell(c), 0);

    std::array<uint8_t, kDisplayReportSize> report{};
    ShowText(image, "5");
    image.BuildDisplayReport(report.data());
    EXPECT_EQ(report[1], 0x03);
    EXPECT_EQ(report[24], 0xAD);  // cell 22 travels in byte 24
    for (int b = 2; b < 18; ++b) EXPECT_EQ(report[b], 0);
}
