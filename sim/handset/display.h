// The handset's segment LCD read back from the 32-byte display image that a class-3 output report carries
// (report bytes 2 to 33 are image cells 0 to 31; the LCD shows cells 16 to 31).
//
// Rendering, one line, fields always in this order:
//   upper "03-03" lower "      0905" sep:24 days:Wed bars:0 icon:off
//   upper  the five cells of the upper row, left to right
//   lower  the ten cells of the lower row, left to right
//          a cell shows '0'-'9', '-', '#', '*' (also what '+' gives), a letter that seven segments draw
//          (A b C d E F G H I J L N o P q r t U y), ' ' when dark, '?' for any other segment pattern
//   sep    lit separators by cell: "24", "25", "24,25" or "-" for none
//   days   lit weekday marks, Sunday first: "Sun,Mon", or "-" for none
//   bars   the bar level when the lit bars are bar 1 up to bar N (0 for none), otherwise the lit bars
//          listed: "bars:2,5"
//   icon   the call indicator, "on" or "off"
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace sim {

using DisplayImage = std::array<uint8_t, 32>;

struct DisplayReading {
    std::string upper;  // cells 17..21
    std::string lower;  // cells 31..22
    // What each digit of the two rows lights, left to right, in glyph bits (7 top, 6 upper right,
    // 5 lower right, 0 bottom, 1 lower left, 3 upper left, 2 middle) with the extra segment removed: also
    // the patterns that are none of the handset's glyphs.
    std::array<uint8_t, 5> upperSegments{};
    std::array<uint8_t, 10> lowerSegments{};
    std::array<bool, 7> days{};  // weekday marks, [0] Sunday .. [6] Saturday
    bool separator24 = false;
    bool separator25 = false;
    std::array<bool, 7> bars{};  // [0] bar 1 (cell 16) .. [6] bar 7 (cell 26)
    bool indicator = false;      // cell 16 bit 0

    // N when exactly bars 1..N are lit (0: none), -1 when the lit bars are not such a run.
    int barLevel() const;
};

DisplayReading readDisplay(const DisplayImage& image);
std::string renderDisplay(const DisplayReading& reading);

// The character a segment pattern shows ('?' when it is none of the handset's glyphs).
char glyphCharacter(uint8_t glyph);

}  // namespace sim
