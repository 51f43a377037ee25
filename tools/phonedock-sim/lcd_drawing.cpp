// Drawing the LCD: cell positions, segment placement, marks and bars.
#include "lcd_drawing.h"

namespace phonedocksim {
namespace {

constexpr uint8_t kTop = 0x80;
constexpr uint8_t kUpperRight = 0x40;
constexpr uint8_t kLowerRight = 0x20;
constexpr uint8_t kUpperLeft = 0x08;
constexpr uint8_t kMiddle = 0x04;
constexpr uint8_t kLowerLeft = 0x02;
constexpr uint8_t kBottom = 0x01;

constexpr int kCellWidth = 4;  // three columns of segments and one between cells for a separator
constexpr int kUpperRowLine = 1;
constexpr int kLowerRowLine = 4;
constexpr int kLowerRowColumn = 0;
constexpr int kUpperRowColumn = 0;
constexpr int kBarsColumn = 30;
constexpr int kIndicatorColumn = 44;
// Bars rise from left to right like a signal meter: bar 1 is the lowest.
constexpr int kBarHeights[7] = {1, 1, 2, 2, 2, 3, 3};
constexpr const char* kDayMarks[7] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};

bool lit(uint8_t segments, uint8_t bit) {
    return (segments & bit) != 0;
}

void put(std::vector<std::string>& lines, int line, int column, const std::string& text) {
    lines[line].replace(static_cast<size_t>(column), text.size(), text);
}

template <size_t N>
void drawRow(std::vector<std::string>& lines, const std::array<uint8_t, N>& segments, int line, int column) {
    for (size_t i = 0; i < N; ++i) {
        const auto digit = drawDigit(segments[i]);
        for (int row = 0; row < 3; ++row)
            put(lines, line + row, column + static_cast<int>(i) * kCellWidth, digit[row]);
    }
}

// A separator sits in the gap to the left of lower-row column `column`.
void drawSeparator(std::vector<std::string>& lines, int column) {
    const int x = kLowerRowColumn + column * kCellWidth - 1;
    put(lines, kLowerRowLine + 1, x, ".");
    put(lines, kLowerRowLine + 2, x, ".");
}

}  // namespace

std::array<std::string, 3> drawDigit(uint8_t s) {
    std::array<std::string, 3> d;
    d[0] = std::string(" ") + (lit(s, kTop) ? '_' : ' ') + ' ';
    d[1] = std::string() + (lit(s, kUpperLeft) ? '|' : ' ') + (lit(s, kMiddle) ? '_' : ' ') +
           (lit(s, kUpperRight) ? '|' : ' ');
    d[2] = std::string() + (lit(s, kLowerLeft) ? '|' : ' ') + (lit(s, kBottom) ? '_' : ' ') +
           (lit(s, kLowerRight) ? '|' : ' ');
    return d;
}

std::vector<std::string> drawLcd(const sim::DisplayImage& image) {
    std::vector<std::string> lines(kLcdHeight, std::string(kLcdWidth, ' '));
    const sim::DisplayReading reading = sim::readDisplay(image);

    for (int day = 0; day < 7; ++day) put(lines, 0, day * 3, reading.days[day] ? kDayMarks[day] : "..");
    put(lines, 0, kIndicatorColumn, reading.indicator ? "CALL" : "....");

    drawRow(lines, reading.upperSegments, kUpperRowLine, kUpperRowColumn);
    drawRow(lines, reading.lowerSegments, kLowerRowLine, kLowerRowColumn);
    // Cell 25's separator sits left of it (column 6), cell 24's right of it (left of column 8): "hh:mm:ss"
    // in cells 27..22 lights both, the clock "hh:mm" in cells 25..22 only cell 24's.
    if (reading.separator25) drawSeparator(lines, 6);
    if (reading.separator24) drawSeparator(lines, 8);

    for (int bar = 0; bar < 7; ++bar) {
        const int x = kBarsColumn + bar * 2;
        if (!reading.bars[bar]) {
            put(lines, kUpperRowLine + 2, x, ".");
            continue;
        }
        for (int h = 0; h < kBarHeights[bar]; ++h) put(lines, kUpperRowLine + 2 - h, x, "#");
    }
    return lines;
}

}  // namespace phonedocksim
