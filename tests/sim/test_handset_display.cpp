// Reading the handset's display image back, and the keypad's scan codes.
#include "handset/display.h"
#include "handset/keypad.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using sim::DisplayImage;

TEST(HandsetDisplay, ReadsTheClockOfWednesdayThirdOfMarchAtFivePastNine) {
    DisplayImage image{};
    image[17] = 0xBE;  // '0'
    image[18] = 0x5F;  // '3' with the Wednesday mark
    image[19] = 0x40;  // '-'
    image[20] = 0xBE;  // '0'
    image[21] = 0x5E;  // '3'
    image[25] = 0xEB;  // '0'
    image[24] = 0xFD;  // '9' with the separator
    image[23] = 0xEB;  // '0'
    image[22] = 0xAD;  // '5'
    const auto reading = sim::readDisplay(image);
    EXPECT_EQ(reading.upper, "03-03");
    EXPECT_EQ(reading.lower, "      0905");
    EXPECT_TRUE(reading.days[3]);
    EXPECT_TRUE(reading.separator24);
    EXPECT_EQ(reading.barLevel(), 0);
    EXPECT_EQ(sim::renderDisplay(reading),
              "upper \"03-03\" lower \"      0905\" sep:24 days:Wed bars:0 icon:off");
}

TEST(HandsetDisplay, EverySegmentOnShowsEightsAndEveryMark) {
    DisplayImage image{};
    for (int cell = 16; cell < 32; ++cell) image[cell] = 0xFF;
    EXPECT_EQ(
        sim::renderDisplay(sim::readDisplay(image)),
        "upper \"88888\" lower \"8888888888\" sep:24,25 days:Sun,Mon,Tue,Wed,Thu,Fri,Sat bars:7 icon:on");
    // Cells 0 to 15 are not part of the LCD.
    DisplayImage hidden{};
    for (int cell = 0; cell < 16; ++cell) hidden[cell] = 0xFF;
    EXPECT_EQ(sim::renderDisplay(sim::readDisplay(hidden)),
              "upper \"     \" lower \"          \" sep:- days:- bars:0 icon:off");
}

TEST(HandsetDisplay, DigitSegmentsUndoTheUpperRowsSwapAndDropTheExtraSegment) {
    DisplayImage image{};
    image[18] = 0x5F;         // '3' in the upper row, Wednesday's mark lit
    image[24] = 0xED | 0x10;  // '9' in the lower row, its separator lit
    image[22] = 0x41;         // the letter A sent as its own byte: no glyph, its segments all the same
    image[23] = 0xEE | 0x10;  // the seven-segment A, Sunday's mark lit
    const auto reading = sim::readDisplay(image);
    EXPECT_EQ(reading.upperSegments[1], 0xE5);
    EXPECT_EQ(reading.lowerSegments[7], 0xED);
    EXPECT_EQ(reading.lowerSegments[9], 0x41);
    EXPECT_EQ(reading.lower[9], '?');
    EXPECT_EQ(reading.lower[8], 'A');
    EXPECT_EQ(reading.upperSegments[0], 0);
}

TEST(HandsetDisplay, ExtraSegmentsAreReadApartFromTheGlyphs) {
    DisplayImage image{};
    image[22] = 0xED | 0x10;  // '9' with the Monday mark
    image[23] = 0x6C;         // '4'
    image[24] = 0x26;         // '+' and '*' share a glyph
    image[31] = 0x41 | 0x10;  // a letter used as its own segment byte, with bar 2
    image[27] = 0x10;         // bar 6 alone
    image[16] = 0x01;         // indicator without bar 1
    const auto reading = sim::readDisplay(image);
    EXPECT_EQ(reading.lower, "?      *49");
    EXPECT_EQ(reading.barLevel(), -1);
    EXPECT_EQ(sim::renderDisplay(reading),
              "upper \"     \" lower \"?      *49\" sep:- days:Mon bars:2,6 icon:on");
}

TEST(HandsetKeypad, EveryKeyHasItsOwnScanCodeAndSomeCodesHaveNoKey) {
    std::set<uint8_t> codes;
    for (int k = 0; k <= static_cast<int>(sim::Key::Clear); ++k) {
        const auto key = static_cast<sim::Key>(k);
        codes.insert(sim::scanCode(key));
        EXPECT_EQ(sim::keyForScanCode(sim::scanCode(key)), key) << sim::keyName(key);
    }
    EXPECT_EQ(codes.size(), 18u);
    EXPECT_EQ(sim::scanCode(sim::digitKey(0)), 21);
    EXPECT_EQ(sim::scanCode(sim::Key::Star), 22);
    for (int unused : {0, 6, 12, 17, 18, 23})
        EXPECT_FALSE(sim::keyForScanCode(static_cast<uint8_t>(unused))) << unused;
}

}  // namespace
