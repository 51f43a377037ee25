#include "report_protocol.h"

#include <algorithm>
#include <cstring>

namespace vocetta {
namespace {

// Scan codes (byte 2 of a key report) and the key codes they become, six scan codes to a row:
//
//     scan code   +0       +1      +2      +3      +4       +5
//     1           NO       3       2       1       CLEAR    -
//     7           YES      6       5       4       MUTE     -
//     13          UP       9       8       7       -        -
//     19          DOWN     #       0       *
//
// Scan code 0 means no key is held; the codes marked - and those above 22 belong to no key. A digit is its
// own key code.
constexpr int kN = KEY_NONE;
constexpr int kKeyCodeByScanCode[] = {
    kN,                                              // 0: no key
    KEY_NO,   3,        2, 1,        KEY_CLEAR, kN,  // 1 to 6
    KEY_YES,  6,        5, 4,        KEY_MUTE,  kN,  // 7 to 12
    KEY_UP,   9,        8, 7,        kN,        kN,  // 13 to 18
    KEY_DOWN, KEY_HASH, 0, KEY_STAR,                 // 19 to 22
};

struct Glyph {
    char character;
    uint8_t segments;
};

//  bit 7 top            -7-
//  bit 3 upper left    3   6
//  bit 6 upper right    -2-
//  bit 1 lower left    1   5
//  bit 5 lower right    -0-
//  bit 2 middle, bit 0 bottom; bit 4 is never part of a glyph.
// A space is a blank cell: as its own byte it would light the lower right segment.
constexpr Glyph kGlyphs[] = {
    {'\0', 0x00}, {' ', 0x00}, {'#', 0x23}, {'*', 0x26}, {'+', 0x26}, {'-', 0x04}, {'0', 0xEB}, {'1', 0x60},
    {'2', 0xC7},  {'3', 0xE5}, {'4', 0x6C}, {'5', 0xAD}, {'6', 0xAF}, {'7', 0xE8}, {'8', 0xEF}, {'9', 0xED},
};

// The display as the handset shows it, with the number of the cell behind each position:
//
//              16: indicator, bar 1
//     upper    17  18  19  20  21
//     lower    31  30  29  28  27  26  25  24  23  22
//
// Cells 0 to 15 are never written. Each digit cell holds one digit's segments and one extra segment of its
// own (a weekday mark, a separator or a bar); the indicator cell holds the indicator in place of a digit,
// and bar 1.
//
// How a row stores its cells. A glyph written into an upper-row cell has its nibbles swapped, which leaves
// the extra segment in bit 0; the lower row keeps glyphs as they are and the extra segment in bit 4. A new
// digit keeps the extra segment, and a change of the extra segment keeps the digit's bits; in the indicator
// cell that is the indicator alone.
struct Row {
    int lineStart;      // where the row's leftmost cell stands on the line of digits (below); -1: no digit
    bool swapsNibbles;  // how a glyph is stored
    uint8_t extraBit;   // the extra segment
    uint8_t digitBits;  // what a change of the extra segment keeps
};
// clang-format off
//                             lineStart  swapsNibbles  extraBit  digitBits
constexpr Row kIndicatorRow = {-1,        false,        0x10,     0x01};
constexpr Row kUpperRow =     { 0,        true,         0x01,     0xFE};
constexpr Row kLowerRow =     { 5,        false,        0x10,     0xEF};
// clang-format on

// What an extra segment lights, and which of its kind it is: the bar's number, the weekday (0 Sunday), or
// the separator's number.
enum class Extra : uint8_t { Bar, Weekday, Separator };
enum Weekday : int { kSunday, kMonday, kTuesday, kWednesday, kThursday, kFriday, kSaturday };
constexpr int kClockSeparator = 1;  // the one between the clock's hour and minute
constexpr int kFirstBar = 1;

struct Cell {
    size_t index;  // in the image
    const Row* row;
    int column;  // left to right within the row
    Extra extra;
    int which;
};
// clang-format off
constexpr Cell kCells[] = {
    //cell  row             column  extra segment
    {16,    &kIndicatorRow, 0,      Extra::Bar,       1},
    {17,    &kUpperRow,     0,      Extra::Weekday,   kTuesday},
    {18,    &kUpperRow,     1,      Extra::Weekday,   kWednesday},
    {19,    &kUpperRow,     2,      Extra::Weekday,   kThursday},
    {20,    &kUpperRow,     3,      Extra::Weekday,   kFriday},
    {21,    &kUpperRow,     4,      Extra::Weekday,   kSaturday},
    {22,    &kLowerRow,     9,      Extra::Weekday,   kMonday},
    {23,    &kLowerRow,     8,      Extra::Weekday,   kSunday},
    {24,    &kLowerRow,     7,      Extra::Separator, kClockSeparator},
    {25,    &kLowerRow,     6,      Extra::Separator, 2},
    {26,    &kLowerRow,     5,      Extra::Bar,       7},
    {27,    &kLowerRow,     4,      Extra::Bar,       6},
    {28,    &kLowerRow,     3,      Extra::Bar,       5},
    {29,    &kLowerRow,     2,      Extra::Bar,       4},
    {30,    &kLowerRow,     1,      Extra::Bar,       3},
    {31,    &kLowerRow,     0,      Extra::Bar,       2},
};
// clang-format on

// The fifteen digits read as one line: the upper row, then the lower row, each left to right. Text, time
// and clock are each laid out on such a line; a NUL is a blank digit.
constexpr size_t kLineLength = 15;
using Line = std::array<char, kLineLength>;

// A time text "hh:mm:ss": its six digits end the line, and the separators take the place of its colons.
constexpr size_t kTimeTextLength = 8;
constexpr size_t kTimeDigits = 6;

using Image = std::array<uint8_t, LcdImage::kCells>;

constexpr int kDisplayImageOffset = 2;

uint8_t SwapNibbles(uint8_t value) {
    return static_cast<uint8_t>((value << 4) | (value >> 4));
}

// A cell's digit (or the indicator) changes; its extra segment stays.
void SetDigit(Image& image, const Cell& cell, uint8_t segments) {
    uint8_t& stored = image[cell.index];
    stored = static_cast<uint8_t>(segments | (stored & cell.row->extraBit));
}

// Lights or darkens the extra segment of each cell of one kind, as `lit` decides by its number.
template <typename Decide>
void SetExtras(Image& image, Extra extra, Decide lit) {
    for (const Cell& cell : kCells) {
        if (cell.extra != extra) continue;
        uint8_t& stored = image[cell.index];
        stored =
            static_cast<uint8_t>((stored & cell.row->digitBits) | (lit(cell.which) ? cell.row->extraBit : 0));
    }
}

void Fill(Image& image, uint8_t value) {
    for (const Cell& cell : kCells) image[cell.index] = value;
}

void ShowIndicator(Image& image, bool on) {
    for (const Cell& cell : kCells) {
        if (cell.row == &kIndicatorRow) SetDigit(image, cell, on ? kIndicatorRow.digitBits : 0);
    }
}

// Bar n lights when the level is at least n; any level but 0 lights bar 1.
void ShowBarLevel(Image& image, int level) {
    SetExtras(image, Extra::Bar, [level](int bar) { return bar == kFirstBar ? level != 0 : level >= bar; });
}

void ShowLine(Image& image, const Line& line) {
    for (const Cell& cell : kCells) {
        if (cell.row->lineStart < 0) continue;
        const uint8_t glyph = GlyphFor(line[static_cast<size_t>(cell.row->lineStart + cell.column)]);
        SetDigit(image, cell, cell.row->swapsNibbles ? SwapNibbles(glyph) : glyph);
    }
}

// Every digit, weekday mark and separator goes dark; the bars stay.
void ClearText(Image& image) {
    ShowLine(image, Line{});
    SetExtras(image, Extra::Weekday, [](int) { return false; });
    SetExtras(image, Extra::Separator, [](int) { return false; });
}

// Free text is right-aligned: its last character rightmost on the lower row, the ones before it leftwards
// and on up into the upper row. Earlier characters are not shown.
void ShowText(Image& image, const char* text) {
    const size_t length = text != nullptr ? std::strlen(text) : 0;
    const size_t shown = std::min(length, kLineLength);
    Line line{};
    std::copy_n(text + (length - shown), shown, line.end() - static_cast<std::ptrdiff_t>(shown));
    ShowLine(image, line);
}

// Characters the text does not have show blank.
void ShowTimeText(Image& image, const char* text) {
    const size_t length = text != nullptr ? strnlen(text, kTimeTextLength) : 0;
    Line line{};
    size_t digit = kLineLength - kTimeDigits;
    for (size_t i = 0; i < kTimeTextLength; ++i) {
        if (i % 3 == 2) continue;  // a colon
        line[digit++] = i < length ? text[i] : '\0';
    }
    ShowLine(image, line);
    SetExtras(image, Extra::Separator, [](int) { return true; });
}

// Tens first, with a leading '0' below 10.
void PutTwoDigits(Line& line, size_t position, int value) {
    line[position] = static_cast<char>('0' + value / 10 % 10);
    line[position + 1] = static_cast<char>('0' + value % 10);
}

// "MM-DD" fills the upper row and "hhmm" ends the lower row, with the clock's separator and the day's
// mark lit.
void ShowClock(Image& image, const ClockReading& clock) {
    Line line{};
    PutTwoDigits(line, 0, clock.month);
    line[2] = '-';
    PutTwoDigits(line, 3, clock.day);
    PutTwoDigits(line, kLineLength - 4, clock.hour);
    PutTwoDigits(line, kLineLength - 2, clock.minute);
    ShowLine(image, line);
    SetExtras(image, Extra::Separator, [](int separator) { return separator == kClockSeparator; });
    SetExtras(image, Extra::Weekday, [&clock](int day) { return day == clock.weekday; });
}

}  // namespace

int KeyCodeForScanCode(uint8_t scanCode) {
    return scanCode < std::size(kKeyCodeByScanCode) ? kKeyCodeByScanCode[scanCode] : KEY_NONE;
}

int TakeHookChange(int hookStatus, int& previousHook) {
    if (hookStatus == HOOK_UNKNOWN) return KEY_NONE;
    if (hookStatus == HOOK_ON && previousHook == HOOK_OFF) {
        previousHook = HOOK_ON;
        return KEY_ON_HOOK;
    }
    if (hookStatus != HOOK_ON && previousHook != HOOK_OFF) {
        previousHook = HOOK_OFF;
        return KEY_OFF_HOOK;
    }
    return KEY_NONE;
}

bool DecodeKeyReport(const std::array<uint8_t, kInputReportSize>& report, int& keyCode, int& hookStatus) {
    if (report[kReportClassByte] != REPORT_CONTROL) return false;
    keyCode = KeyCodeForScanCode(report[kScanCodeByte]);
    hookStatus = report[kHookSwitchByte] == 0 ? HOOK_ON : HOOK_OFF;
    return true;
}

bool PassesRepeatFilter(int code, int& lastReported) {
    if (code != KEY_NONE && code == lastReported) return false;
    lastReported = code;
    return code != KEY_NONE;
}

uint8_t GlyphFor(char character) {
    for (const Glyph& glyph : kGlyphs) {
        if (glyph.character == character) return glyph.segments;
    }
    return static_cast<uint8_t>(character);
}

void BuildRingerReport(uint8_t* report, bool on) {
    report[0] = 0;
    report[1] = REPORT_CONTROL;
    report[2] = on ? kControlOn : kControlOff;
    report[3] = kControlNotMine;
}

void BuildBacklightReport(uint8_t* report, bool on) {
    report[0] = 0;
    report[1] = REPORT_CONTROL;
    report[2] = kControlNotMine;
    report[3] = on ? kControlOn : kControlOff;
}

void BuildEepromWriteReport(uint8_t* report, uint8_t deviceAddress, uint8_t data) {
    report[0] = 0;
    report[1] = REPORT_EEPROM;
    report[2] = EEPROM_WRITE_BYTE;
    report[3] = deviceAddress;
    report[4] = deviceAddress;
    report[5] = data;
}

void BuildEepromReadRequest(uint8_t* report, uint8_t blockStart) {
    report[0] = 0;
    report[1] = REPORT_EEPROM;
    report[2] = EEPROM_READ_REQUEST;
    report[3] = blockStart;
    report[4] = kEepromRequestFiller;
}

void BuildEepromReadEnd(uint8_t* report) {
    report[0] = 0;
    report[1] = REPORT_EEPROM;
    report[2] = EEPROM_READ_END;
}

bool LcdImage::Apply(int mode, bool iconOn, int barLevel, const char* text, bool showClock,
                     const ClockReading& clock) {
    switch (mode) {
        case LCD_CLEAR_ALL: Fill(cells_, 0x00); return true;
        case LCD_INDICATOR: ShowIndicator(cells_, iconOn); return true;
        case LCD_BAR_LEVEL: ShowBarLevel(cells_, barLevel); return true;
        case LCD_TEXT:
            ClearText(cells_);
            ShowText(cells_, text);
            return true;
        case LCD_CLOCK:
            ClearText(cells_);
            if (showClock) ShowClock(cells_, clock);
            return true;
        case LCD_ALL_ON: Fill(cells_, 0xFF); return true;
        case LCD_TIME_TEXT:
            ClearText(cells_);
            ShowTimeText(cells_, text);
            return true;
        default: return false;
    }
}

void LcdImage::BuildDisplayReport(uint8_t* report) const {
    report[0] = 0;
    report[1] = REPORT_LCD;
    std::memcpy(report + kDisplayImageOffset, cells_.data(), cells_.size());
}

}  // namespace vocetta
