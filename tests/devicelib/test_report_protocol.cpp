// The report protocol on its own: scan codes, report bytes, and the display image of every command.
#include <gtest/gtest.h>

#include "report_protocol.h"

#include <array>
#include <cstdint>

using namespace vocetta;

namespace {

const ClockReading kNoClock{};

// Upper-row cells hold glyphs with swapped nibbles.
uint8_t Upper(char c) {
    const uint8_t g = GlyphFor(c);
    return static_cast<uint8_t>((g << 4) | (g >> 4));
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
    EXPECT_EQ(image.cell(17), 0xBE);
    EXPECT_EQ(image.cell(18), 0x5F);  // '3' with the Wednesday mark
    EXPECT_EQ(image.cell(19), 0x40);
    EXPECT_EQ(image.cell(20), Upper('0'));
    EXPECT_EQ(image.cell(21), Upper('3'));
    EXPECT_EQ(image.cell(25), 0xEB);
    EXPECT_EQ(image.cell(24), 0xFD);  // '9' with the separator
    EXPECT_EQ(image.cell(23), GlyphFor('0'));
    EXPECT_EQ(image.cell(22), 0xAD);

    // Sunday and Monday are marked in the lower row; showClock off leaves the text cleared.
    ASSERT_TRUE(image.Apply(4, false, 0, nullptr, true, ClockReading{12, 31, 0, 23, 59}));
    EXPECT_EQ(image.cell(23), GlyphFor('5') | 0x10);
    ASSERT_TRUE(image.Apply(4, false, 0, nullptr, true, ClockReading{12, 31, 1, 23, 59}));
    EXPECT_EQ(image.cell(22), GlyphFor('9') | 0x10);
    EXPECT_EQ(image.cell(23), GlyphFor('5'));
    ASSERT_TRUE(image.Apply(4, false, 0, nullptr, false, ClockReading{12, 31, 1, 23, 59}));
    for (int c = 17; c <= 31; ++c) EXPECT_EQ(image.cell(c), 0) << c;
}

TEST(Display, TextIsRightAlignedOverBothRows) {
    LcdImage image;
    ShowText(image, "12345678901234567");
    const char upper[] = "34567";
    for (int i = 0; i < 5; ++i) EXPECT_EQ(image.cell(17 + i), Upper(upper[i])) << i;
    const char lower[] = "8901234567";  // cells 31 down to 22
    for (int i = 0; i < 10; ++i) EXPECT_EQ(image.cell(31 - i), GlyphFor(lower[i])) << i;

    ShowText(image, "+49");
    EXPECT_EQ(image.cell(22), GlyphFor('9'));
    EXPECT_EQ(image.cell(23), GlyphFor('4'));
    EXPECT_EQ(image.cell(24), 0x26);
    for (int c = 25; c <= 31; ++c) EXPECT_EQ(image.cell(c), 0) << c;
    for (int c = 17; c <= 21; ++c) EXPECT_EQ(image.cell(c), 0) << c;

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
    EXPECT_EQ(image.cell(27), GlyphFor('1'));
    EXPECT_EQ(image.cell(26), GlyphFor('2'));
    EXPECT_EQ(image.cell(25), GlyphFor('3') | 0x10);
    EXPECT_EQ(image.cell(24), GlyphFor('4') | 0x10);
    EXPECT_EQ(image.cell(23), GlyphFor('5'));
    EXPECT_EQ(image.cell(22), GlyphFor('6'));

    // A short text: only what it has is shown, the separators stay.
    const char shortText[3] = {'0', '7', '\0'};
    ASSERT_TRUE(image.Apply(6, false, 0, shortText, false, kNoClock));
    EXPECT_EQ(image.cell(27), GlyphFor('0'));
    EXPECT_EQ(image.cell(26), GlyphFor('7'));
    EXPECT_EQ(image.cell(25), 0x10);
    EXPECT_EQ(image.cell(22), 0);
    ASSERT_TRUE(image.Apply(6, false, 0, nullptr, false, kNoClock));
    EXPECT_EQ(image.cell(27), 0);
    EXPECT_EQ(image.cell(24), 0x10);
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
