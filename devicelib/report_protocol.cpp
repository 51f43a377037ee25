#include "report_protocol.h"

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
//              16: indicator (bit 0), bar 1 (bit 4)
//     upper    17  18  19  20  21                       bit 0 marks  Tu We Th Fr Sa
//     lower    31  30  29  28  27  26  25  24  23  22   bit 4 lights b2 b3 b4 b5 b6 b7 : : Su Mo
//
// Each cell holds one digit's segments. Upper-row cells store them with their nibbles swapped; lower-row
// cells keep bit 4 for their extra segment while the digit changes. Cells 0 to 15 are never written.
constexpr uint8_t kIndicatorBit = 0x01;
constexpr uint8_t kFirstBarBit = 0x10;
constexpr uint8_t kExtraSegment = 0x10;  // bit 4 of a lower-row cell
constexpr uint8_t kWeekdayBit = 0x01;    // bit 0 of an upper-row cell

constexpr int kUpperRow[] = {17, 18, 19, 20, 21};                      // left to right
constexpr int kLowerRow[] = {22, 23, 24, 25, 26, 27, 28, 29, 30, 31};  // right to left
constexpr int kBarCells[] = {31, 30, 29, 28, 27, 26};                  // bars 2 to 7, in bit 4
constexpr int kSeparatorCells[] = {24, 25};                            // the colons, in bit 4
constexpr int kFirstBar = 1;                                           // bar 1 is in the indicator cell

// Where each weekday is marked, Sunday first.
struct WeekdayMark {
    int cell;
    uint8_t bit;
};
constexpr WeekdayMark kWeekdayMarks[] = {
    {23, kExtraSegment}, {22, kExtraSegment}, {17, kWeekdayBit}, {18, kWeekdayBit},
    {19, kWeekdayBit},   {20, kWeekdayBit},   {21, kWeekdayBit},
};

// Free text, right-aligned: its last character in the rightmost lower cell, the row filled right to left,
// then the upper row right to left.
constexpr int kTextCells[] = {22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 21, 20, 19, 18, 17};

// A time text "hh:mm:ss" on the lower row: which character goes to which cell.
struct Placement {
    size_t position;
    int cell;
};
constexpr Placement kTimeTextPlacements[] = {{0, 27}, {1, 26}, {3, 25}, {4, 24}, {6, 23}, {7, 22}};
constexpr size_t kTimeTextLength = 8;

// The clock: upper row "MM-DD", lower row "HH:MM" with one separator lit.
struct DigitPair {
    int tensCell;
    int unitsCell;
};
constexpr DigitPair kClockMonth{17, 18}, kClockDay{20, 21};
constexpr DigitPair kClockHour{25, 24}, kClockMinute{23, 22};
constexpr int kClockDashCell = 19;
constexpr int kClockSeparatorCell = 24;

constexpr int kDisplayImageOffset = 2;

constexpr bool IsBarCell(int cell) {
    for (int c : kBarCells) {
        if (c == cell) return true;
    }
    return false;
}

uint8_t SwapNibbles(uint8_t value) {
    return static_cast<uint8_t>((value << 4) | (value >> 4));
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
        case LCD_CLEAR_ALL: FillImage(0x00); return true;
        case LCD_INDICATOR:
            cells_[kIndicatorCell] =
                static_cast<uint8_t>((cells_[kIndicatorCell] & kFirstBarBit) | (iconOn ? kIndicatorBit : 0));
            return true;
        case LCD_BAR_LEVEL: SetBarLevel(barLevel); return true;
        case LCD_TEXT:
            ClearText();
            ShowText(text);
            return true;
        case LCD_CLOCK:
            ClearText();
            if (showClock) ShowClock(clock);
            return true;
        case LCD_ALL_ON: FillImage(0xFF); return true;
        case LCD_TIME_TEXT:
            ClearText();
            ShowTimeText(text);
            return true;
        default: return false;
    }
}

void LcdImage::FillImage(uint8_t value) {
    for (int c = kIndicatorCell; c < kCells; ++c) cells_[c] = value;
}

void LcdImage::SetCell(int cell, char character) {
    const uint8_t glyph = GlyphFor(character);
    if (cell >= kLowerFirst && cell <= kLowerLast) {
        cells_[cell] = static_cast<uint8_t>(glyph | (cells_[cell] & kExtraSegment));
    } else if (cell >= kUpperFirst && cell <= kUpperLast) {
        cells_[cell] = SwapNibbles(glyph);
    }
}

// Every digit, weekday mark and separator goes dark; the bars stay.
void LcdImage::ClearText() {
    for (int c : kUpperRow) cells_[c] = 0x00;
    for (int c : kLowerRow) cells_[c] &= IsBarCell(c) ? kExtraSegment : uint8_t{0x00};
}

void LcdImage::BuildDisplayReport(uint8_t* report) const {
    report[0] = 0;
    report[1] = REPORT_LCD;
    std::memcpy(report + kDisplayImageOffset, cells_.data(), cells_.size());
}

// Bar n lights when the level is at least n; any level but 0 lights bar 1.
void LcdImage::SetBarLevel(int level) {
    int bar = kFirstBar;
    for (int c : kBarCells) {
        ++bar;
        if (level >= bar) {
            cells_[c] |= kExtraSegment;
        } else {
            cells_[c] &= static_cast<uint8_t>(~kExtraSegment);
        }
    }
    cells_[kIndicatorCell] =
        static_cast<uint8_t>((cells_[kIndicatorCell] & kIndicatorBit) | (level != 0 ? kFirstBarBit : 0));
}

void LcdImage::ShowText(const char* text) {
    const size_t length = text != nullptr ? std::strlen(text) : 0;
    size_t fromEnd = 0;
    for (int cell : kTextCells) {
        SetCell(cell, fromEnd < length ? text[length - 1 - fromEnd] : '\0');
        ++fromEnd;
    }
}

// The colons are the separators. Characters the text does not have show blank.
void LcdImage::ShowTimeText(const char* text) {
    for (int c : kSeparatorCells) cells_[c] = kExtraSegment;
    const size_t length = text != nullptr ? strnlen(text, kTimeTextLength) : 0;
    for (const Placement& p : kTimeTextPlacements)
        SetCell(p.cell, p.position < length ? text[p.position] : '\0');
}

void LcdImage::SetTwoDigits(int tensCell, int unitsCell, int value) {
    SetCell(tensCell, static_cast<char>('0' + value / 10 % 10));
    SetCell(unitsCell, static_cast<char>('0' + value % 10));
}

void LcdImage::ShowClock(const ClockReading& clock) {
    SetTwoDigits(kClockMonth.tensCell, kClockMonth.unitsCell, clock.month);
    SetCell(kClockDashCell, '-');
    SetTwoDigits(kClockDay.tensCell, kClockDay.unitsCell, clock.day);
    SetTwoDigits(kClockMinute.tensCell, kClockMinute.unitsCell, clock.minute);
    cells_[kClockSeparatorCell] |= kExtraSegment;
    SetTwoDigits(kClockHour.tensCell, kClockHour.unitsCell, clock.hour);
    if (clock.weekday >= 0 && clock.weekday < static_cast<int>(std::size(kWeekdayMarks))) {
        const WeekdayMark& mark = kWeekdayMarks[clock.weekday];
        cells_[mark.cell] |= mark.bit;
    }
}

}  // namespace vocetta
