// The handset's LCD drawn as text, from the display image the handset received: seven-segment digits three
// lines tall, the weekday marks, the two separators, the seven bars and the call indicator.
//
//   .. .. .. WE .. .. ..                        ....  marks: lit ones named, dark ones ".."; CALL
//    _   _       _   _                      #         upper row (five cells) and, beside it, the
//   | |  _|  _  | |  _|               # # # #         seven bars (lit "#", dark ".")
//   |_|  _|     |_|  _|           # # # # # # .
//                            _   _   _   _            lower row (ten cells), a separator "." in
//                           | | |_|.| | |_            the gap beside its cell
//                           |_|  _|.|_|  _|
//   (Wednesday 3 March, 09:05, six bars: the clock as the program shows it)
//
// Segments are drawn from the cell's bits, not from a table of characters, so a pattern that is none of
// the handset's glyphs (a letter sent as its own byte) shows as the segments it really lights.
#pragma once

#include "handset/display.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace phonedocksim {

// One digit cell, three lines of three columns. `segments` uses the glyph bits: 7 top, 6 upper right,
// 5 lower right, 0 bottom, 1 lower left, 3 upper left, 2 middle; bit 4 is ignored.
std::array<std::string, 3> drawDigit(uint8_t segments);

constexpr int kLcdWidth = 48;  // every line of drawLcd is this wide
constexpr int kLcdHeight = 7;

std::vector<std::string> drawLcd(const sim::DisplayImage& image);

}  // namespace phonedocksim
