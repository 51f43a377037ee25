// The LCD drawn from display images: every glyph's segments, each extra segment in its place, and a whole
// clock image as the program sends it.
#include "lcd_drawing.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

using phonedocksim::drawDigit;
using phonedocksim::drawLcd;
using Lines = std::array<std::string, 3>;

namespace {

uint8_t swapped(uint8_t glyph) {
    return static_cast<uint8_t>((glyph << 4) | (glyph >> 4));
}

// Where a lit mark shows in the first line of the drawing: each weekday's two letters.
std::string marksLine(const sim::DisplayImage& image) {
    return drawLcd(image)[0].substr(0, 20);
}

}  // namespace

TEST(LcdDrawing, EveryGlyphOfTheHandsetDrawsItsDigit) {
    struct Case {
        uint8_t glyph;
        Lines lines;
    };
    const Case cases[] = {
        {0xEB, {" _ ", "| |", "|_|"}},  // 0
        {0x60, {"   ", "  |", "  |"}},  // 1
        {0xC7, {" _ ", " _|", "|_ "}},  // 2
        {0xE5, {" _ ", " _|", " _|"}},  // 3
        {0x6C, {"   ", "|_|", "  |"}},  // 4
        {0xAD, {" _ ", "|_ ", " _|"}},  // 5
        {0xAF, {" _ ", "|_ ", "|_|"}},  // 6
        {0xE8, {" _ ", "| |", "  |"}},  // 7, with its upper-left hook
        {0xEF, {" _ ", "|_|", "|_|"}},  // 8
        {0xED, {" _ ", "|_|", " _|"}},  // 9
        {0x04, {"   ", " _ ", "   "}},  // -
        {0x23, {"   ", "   ", "|_|"}},  // #
        {0x26, {"   ", " _ ", "| |"}},  // * (and +)
        {0x00, {"   ", "   ", "   "}},  // blank
    };
    for (const auto& c : cases)
        EXPECT_EQ(drawDigit(c.glyph), c.lines) << "glyph 0x" << std::hex << int(c.glyph);
}

TEST(LcdDrawing, EachSegmentBitLightsOnePlaceAndTheExtraBitNone) {
    struct Case {
        uint8_t bit;
        int line;
        int column;
        char mark;
    };
    const Case cases[] = {{0x80, 0, 1, '_'}, {0x40, 1, 2, '|'}, {0x20, 2, 2, '|'}, {0x01, 2, 1, '_'},
                          {0x02, 2, 0, '|'}, {0x08, 1, 0, '|'}, {0x04, 1, 1, '_'}};
    for (const auto& c : cases) {
        Lines expected = {"   ", "   ", "   "};
        expected[c.line][c.column] = c.mark;
        EXPECT_EQ(drawDigit(c.bit), expected) << "bit 0x" << std::hex << int(c.bit);
        EXPECT_EQ(drawDigit(static_cast<uint8_t>(c.bit | 0x10)), expected) << "with the extra segment";
    }
    // A pattern that is no glyph (the letter A sent as its own byte) shows the segments it lights.
    EXPECT_EQ(drawDigit('A'), (Lines{"   ", "  |", " _ "}));
}

TEST(LcdDrawing, TheStartUpClockImageDrawsDateTimeMarkSeparatorAndBars) {
    // Wednesday 3 March, 09:05, six bars, as the device library builds it.
    sim::DisplayImage image{};
    image[16] = 0x10;
    image[17] = swapped(0xEB);
    image[18] = static_cast<uint8_t>(swapped(0xE5) | 0x01);
    image[19] = swapped(0x04);
    image[20] = swapped(0xEB);
    image[21] = swapped(0xE5);
    image[25] = 0xEB;
    image[24] = 0xED | 0x10;
    image[23] = 0xEB;
    image[22] = 0xAD;
    for (int cell = 27; cell <= 31; ++cell) image[cell] |= 0x10;
    const std::vector<std::string> expected = {
        ".. .. .. WE .. .. ..                        ....",
        " _   _       _   _                      #       ",
        "| |  _|  _  | |  _|               # # # #       ",
        "|_|  _|     |_|  _|           # # # # # # .     ",
        "                         _   _   _   _          ",
        "                        | | |_|.| | |_          ",
        "                        |_|  _|.|_|  _|         ",
    };
    EXPECT_EQ(drawLcd(image), expected);
}

TEST(LcdDrawing, EachWeekdayMarkLightsItsOwnName) {
    // Sunday and Monday sit in lower-row cells 23 and 22 (bit 4), Tuesday to Saturday in the upper row.
    const std::pair<int, uint8_t> marks[7] = {{23, 0x10}, {22, 0x10}, {17, 0x01}, {18, 0x01},
                                              {19, 0x01}, {20, 0x01}, {21, 0x01}};
    const char* names[7] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};
    for (int day = 0; day < 7; ++day) {
        sim::DisplayImage image{};
        image[marks[day].first] = marks[day].second;
        std::string expected = ".. .. .. .. .. .. ..";
        expected.replace(static_cast<size_t>(day * 3), 2, names[day]);
        EXPECT_EQ(marksLine(image), expected) << names[day];
        // A mark draws no digit segment.
        const auto lines = drawLcd(image);
        for (size_t line = 1; line < lines.size(); ++line) {
            const size_t digitsWidth = line <= 3 ? 20 : 40;  // the upper row has the bars beside it
            EXPECT_EQ(lines[line].substr(0, digitsWidth).find_first_not_of(' '), std::string::npos)
                << names[day];
        }
    }
}

TEST(LcdDrawing, BarsSeparatorsAndIndicatorShowWhereTheirBitsAre) {
    sim::DisplayImage image{};
    image[30] = 0x10;  // bar 3
    image[26] = 0x10;  // bar 7
    image[25] = 0x10;  // separator of cell 25
    image[16] = 0x01;  // the call indicator, without bar 1
    const auto lines = drawLcd(image);
    EXPECT_EQ(lines[1].substr(30, 14), "            # ");
    EXPECT_EQ(lines[2].substr(30, 14), "    #       # ");
    EXPECT_EQ(lines[3].substr(30, 14), ". . # . . . # ");
    EXPECT_EQ(lines[0].substr(44, 4), "CALL");
    // Cell 25's separator between lower-row columns 5 and 6; cell 24's (dark) between 7 and 8.
    EXPECT_EQ(lines[5][23], '.');
    EXPECT_EQ(lines[6][23], '.');
    EXPECT_EQ(lines[5][31], ' ');

    image[24] = 0x10;
    image[25] = 0;
    image[16] = 0x10;
    const auto other = drawLcd(image);
    EXPECT_EQ(other[5][31], '.');
    EXPECT_EQ(other[5][23], ' ');
    EXPECT_EQ(other[0].substr(44, 4), "....");
    EXPECT_EQ(other[3].substr(30, 1), "#");
}
