// Reading the display image back: the glyph table, the cell table, and a rendering for test messages.
#include "handset/display.h"

#include <iterator>

namespace sim {
namespace {

// Segment bits of a glyph: 7 top, 6 upper right, 5 lower right, 0 bottom, 1 lower left, 3 upper left,
// 2 middle bar. Bit 4 belongs to no digit segment; each cell uses it for its extra segment.
struct GlyphEntry {
    char character;
    uint8_t glyph;
};
// The handset's own glyphs, then the letters that seven segments can draw, read in the case their shape
// has (an S is the shape of 5 and reads as 5; N is the arch over two legs).
// clang-format off
constexpr GlyphEntry kGlyphs[] = {
    {' ', 0x00}, {'#', 0x23}, {'*', 0x26}, {'-', 0x04},
    {'0', 0xEB}, {'1', 0x60}, {'2', 0xC7}, {'3', 0xE5}, {'4', 0x6C},
    {'5', 0xAD}, {'6', 0xAF}, {'7', 0xE8}, {'8', 0xEF}, {'9', 0xED},
    {'A', 0xEE}, {'b', 0x2F}, {'C', 0x8B}, {'d', 0x67}, {'E', 0x8F}, {'F', 0x8E}, {'G', 0xAB},
    {'H', 0x6E}, {'I', 0x0A}, {'J', 0x63}, {'L', 0x0B}, {'N', 0xEA}, {'o', 0x27}, {'P', 0xCE},
    {'q', 0xEC}, {'r', 0x06}, {'t', 0x0F}, {'U', 0x6B}, {'y', 0x6D},
};
// clang-format on

enum class Row { Upper, Lower };
enum class Extra { Sunday, Monday, Tuesday, Wednesday, Thursday, Friday, Saturday, Separator, Bar };

// The digit cells. The upper row stores glyphs with their nibbles swapped, so its extra segment (the
// weekday mark) is bit 0; the lower row stores them as they are, its extra segment in bit 4.
struct CellEntry {
    int cell;
    Row row;
    int column;  // left to right
    Extra extra;
    int bar;  // for Extra::Bar: bar number 2..7
};
// clang-format off
constexpr CellEntry kCells[] = {
    //cell  row         column  extra segment     bar
    {17,    Row::Upper, 0,      Extra::Tuesday,   0},
    {18,    Row::Upper, 1,      Extra::Wednesday, 0},
    {19,    Row::Upper, 2,      Extra::Thursday,  0},
    {20,    Row::Upper, 3,      Extra::Friday,    0},
    {21,    Row::Upper, 4,      Extra::Saturday,  0},
    {22,    Row::Lower, 9,      Extra::Monday,    0},
    {23,    Row::Lower, 8,      Extra::Sunday,    0},
    {24,    Row::Lower, 7,      Extra::Separator, 0},
    {25,    Row::Lower, 6,      Extra::Separator, 0},
    {26,    Row::Lower, 5,      Extra::Bar,       7},
    {27,    Row::Lower, 4,      Extra::Bar,       6},
    {28,    Row::Lower, 3,      Extra::Bar,       5},
    {29,    Row::Lower, 2,      Extra::Bar,       4},
    {30,    Row::Lower, 1,      Extra::Bar,       3},
    {31,    Row::Lower, 0,      Extra::Bar,       2},
};
// clang-format on

// Cell 16 has no digit: bit 0 is the call indicator, bit 4 bar 1.
constexpr int kIndicatorCell = 16;
constexpr uint8_t kIndicatorBit = 0x01;
constexpr uint8_t kFirstBarBit = 0x10;

constexpr const char* kDayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

uint8_t swapNibbles(uint8_t value) {
    return static_cast<uint8_t>((value << 4) | (value >> 4));
}

std::string orDash(const std::string& items) {
    return items.empty() ? "-" : items;
}

void append(std::string& list, const std::string& item) {
    if (!list.empty()) list += ',';
    list += item;
}

}  // namespace

char glyphCharacter(uint8_t glyph) {
    for (const auto& entry : kGlyphs) {
        if (entry.glyph == glyph) return entry.character;
    }
    return '?';
}

int DisplayReading::barLevel() const {
    int level = 0;
    while (level < 7 && bars[level]) ++level;
    for (int i = level; i < 7; ++i) {
        if (bars[i]) return -1;
    }
    return level;
}

DisplayReading readDisplay(const DisplayImage& image) {
    DisplayReading reading;
    reading.upper.assign(5, ' ');
    reading.lower.assign(10, ' ');
    for (const auto& entry : kCells) {
        const uint8_t stored = image[entry.cell];
        bool extraLit;
        if (entry.row == Row::Upper) {
            extraLit = (stored & 0x01) != 0;
            reading.upperSegments[entry.column] = swapNibbles(stored & 0xFE);
            reading.upper[entry.column] = glyphCharacter(reading.upperSegments[entry.column]);
        } else {
            extraLit = (stored & 0x10) != 0;
            reading.lowerSegments[entry.column] = stored & 0xEF;
            reading.lower[entry.column] = glyphCharacter(reading.lowerSegments[entry.column]);
        }
        switch (entry.extra) {
            case Extra::Separator:
                (entry.cell == 24 ? reading.separator24 : reading.separator25) = extraLit;
                break;
            case Extra::Bar: reading.bars[entry.bar - 1] = extraLit; break;
            default: reading.days[static_cast<int>(entry.extra)] = extraLit; break;
        }
    }
    reading.indicator = (image[kIndicatorCell] & kIndicatorBit) != 0;
    reading.bars[0] = (image[kIndicatorCell] & kFirstBarBit) != 0;
    return reading;
}

std::string renderDisplay(const DisplayReading& reading) {
    std::string separators;
    if (reading.separator24) append(separators, "24");
    if (reading.separator25) append(separators, "25");
    std::string days;
    for (int day = 0; day < 7; ++day) {
        if (reading.days[day]) append(days, kDayNames[day]);
    }
    std::string bars;
    if (const int level = reading.barLevel(); level >= 0) {
        bars = std::to_string(level);
    } else {
        for (int bar = 0; bar < 7; ++bar) {
            if (reading.bars[bar]) append(bars, std::to_string(bar + 1));
        }
    }
    return "upper \"" + reading.upper + "\" lower \"" + reading.lower + "\" sep:" + orDash(separators) +
           " days:" + orDash(days) + " bars:" + bars + " icon:" + (reading.indicator ? "on" : "off");
}

}  // namespace sim
