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
// Scan code 0 means no key is held; the codes marked - and those above 22 belong to no key.
constexpr int kN = KEY_NONE;
constexpr int kKeyCodeByScanCode[] = {
    kN,                      // 0: no key
    30, 3,  2, 1,  110, kN,  // 1 to 6: NO 3 2 1 CLEAR
    50, 6,  5, 4,  100, kN,  // 7 to 12: YES 6 5 4 MUTE
    40, 9,  8, 7,  kN,  kN,  // 13 to 18: UP 9 8 7
    60, 21, 0, 20,           // 19 to 22: DOWN # 0 *
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
constexpr Glyph kGlyphs[] = {
    {'\0', 0x00}, {'#', 0x23}, {'*', 0x26}, {'+', 0x26}, {'-', 0x04}, {'0', 0xEB}, {'1', 0x60}, {'2', 0xC7},
    {'3', 0xE5},  {'4', 0x6C}, {'5', 0xAD}, {'6', 0xAF}, {'7', 0xE8}, {'8', 0xEF}, {'9', 0xED},
};

constexpr uint8_t kExtraSegment = 0x10;  // bit 4 of a lower-row cell, of cell 16 (first bar)
constexpr uint8_t kUpperRowMark = 0x01;  // bit 0 of an upper-row cell (weekday), of cell 16 (indicator)
constexpr int kSeparatorCells[] = {24, 25};
constexpr int kDisplayImageOffset = 2;

// Where each weekday is marked, Sunday first.
struct WeekdayMark {
    int cell;
    uint8_t bit;
};
constexpr WeekdayMark kWeekdayMarks[] = {
    {23, kExtraSegment}, {22, kExtraSegment}, {17, kUpperRowMark}, {18, kUpperRowMark},
    {19, kUpperRowMark}, {20, kUpperRowMark}, {21, kUpperRowMark},
};

uint8_t SwapNibbles(uint8_t value) {
    return static_cast<uint8_t>((value << 4) | (value >> 4));
}

}  // namespace

int KeyCodeForScanCode(uint8_t scanCode) {
    return scanCode < std::size(kKeyCodeByScanCode) ? kKeyCodeByScanCode[scanCode] : KEY_NONE;
}

int TakeHookChange(int hookStatus, int& previousHook) {
    constexpr int kHookUnknown = -1, kHookOn = 1, kHookOff = 0;
    if (hookStatus == kHookUnknown) return KEY_NONE;
    if (hookStatus == kHookOn && previousHook == kHookOff) {
        previousHook = kHookOn;
        return kKeyOnHook;
    }
    if (hookStatus != kHookOn && previousHook != kHookOff) {
        previousHook = kHookOff;
        return kKeyOffHook;
    }
    return KEY_NONE;
}

bool DecodeKeyReport(const std::array<uint8_t, kInputReportSize>& report, int& keyCode, int& hookStatus) {
    if (report[1] != REPORT_CONTROL) return false;
    keyCode = KeyCodeForScanCode(report[2]);
    hookStatus = report[3] == 0 ? 1 : 0;
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
    report[2] = on ? 0xFF : 0x00;
    report[3] = 0x11;
}

void BuildBacklightReport(uint8_t* report, bool on) {
    report[0] = 0;
    report[1] = REPORT_CONTROL;
    report[2] = 0x11;
    report[3] = on ? 0xFF : 0x00;
}

void BuildEepromWriteReport(uint8_t* report, uint8_t deviceAddress, uint8_t data) {
    report[0] = 0;
    report[1] = REPORT_EEPROM;
    report[2] = 0x01;
    report[3] = deviceAddress;
    report[4] = deviceAddress;
    report[5] = data;
}

void BuildEepromReadRequest(uint8_t* report, uint8_t blockStart) {
    report[0] = 0;
    report[1] = REPORT_EEPROM;
    report[2] = 0x02;
    report[3] = blockStart;
    report[4] = 0x00;
}

void BuildEepromReadEnd(uint8_t* report) {
    report[0] = 0;
    report[1] = REPORT_EEPROM;
    report[2] = 0x03;
}

bool LcdImage::Apply(int mode, bool iconOn, int barLevel, const char* text, bool showClock,
                     const ClockReading& clock) {
    switch (mode) {
        case 0:
            for (int c = kIndicatorCell; c <= kLowerLast; ++c) cells_[c] = 0x00;
            return true;
        case 1:
            cells_[kIndicatorCell] =
                static_cast<uint8_t>((cells_[kIndicatorCell] & kExtraSegment) | (iconOn ? kUpperRowMark : 0));
            return true;
        case 2: SetBarLevel(barLevel); return true;
        case 3:
            ClearText();
            ShowText(text);
            return true;
        case 4:
            ClearText();
            if (showClock) ShowClock(clock);
            return true;
        case 5:
            for (int c = kIndicatorCell; c <= kLowerLast; ++c) cells_[c] = 0xFF;
            return true;
        case 6:
            ClearText();
            ShowTimeText(text);
            return true;
        default: return false;
    }
}

void LcdImage::SetCell(int cell, char character) {
    const uint8_t glyph = GlyphFor(character);
    if (cell >= kLowerFirst && cell <= kLowerLast) {
        cells_[cell] = static_cast<uint8_t>(glyph | (cells_[cell] & kExtraSegment));
    } else if (cell >= kUpperFirst && cell <= kUpperLast) {
        cells_[cell] = SwapNibbles(glyph);
    }
}

void LcdImage::ClearText() {
    for (int c = kUpperFirst; c <= 25; ++c) cells_[c] = 0x00;
    for (int c = 26; c <= kLowerLast; ++c) cells_[c] &= kExtraSegment;  // the bars stay
}

void LcdImage::BuildDisplayReport(uint8_t* report) const {
    report[0] = 0;
    report[1] = REPORT_LCD;
    std::memcpy(report + kDisplayImageOffset, cells_.data(), cells_.size());
}

// Bars 2 to 7 are the extra segments of cells 31 down to 26; bar 1 is in cell 16.
void LcdImage::SetBarLevel(int level) {
    for (int c = 26; c <= kLowerLast; ++c) {
        const int threshold = kLowerLast + 1 - c;  // cell 26 lights above 6, cell 31 above 1
        if (level > threshold) {
            cells_[c] |= kExtraSegment;
        } else {
            cells_[c] &= static_cast<uint8_t>(~kExtraSegment);
        }
    }
    cells_[kIndicatorCell] =
        static_cast<uint8_t>((cells_[kIndicatorCell] & kUpperRowMark) | (level != 0 ? kExtraSegment : 0));
}

// Right-aligned: the last ten characters fill the lower row, the five before them the upper row.
void LcdImage::ShowText(const char* text) {
    const size_t length = text != nullptr ? std::strlen(text) : 0;
    for (size_t i = 0; i < 15; ++i) {
        const int cell = i < 10 ? kLowerFirst + static_cast<int>(i) : kLowerLast - static_cast<int>(i);
        SetCell(cell, i < length ? text[length - 1 - i] : '\0');
    }
}

// A text of the form hh:mm:ss on the lower row; the colons are the separators. Characters the text does not
// have show blank.
void LcdImage::ShowTimeText(const char* text) {
    for (int c : kSeparatorCells) cells_[c] = kExtraSegment;
    const size_t length = text != nullptr ? strnlen(text, 8) : 0;
    struct Placement {
        size_t position;
        int cell;
    };
    constexpr Placement kPlacements[] = {{0, 27}, {1, 26}, {3, 25}, {4, 24}, {6, 23}, {7, 22}};
    for (const Placement& p : kPlacements) SetCell(p.cell, p.position < length ? text[p.position] : '\0');
}

void LcdImage::SetTwoDigits(int tensCell, int unitsCell, int value) {
    SetCell(tensCell, static_cast<char>('0' + value / 10 % 10));
    SetCell(unitsCell, static_cast<char>('0' + value % 10));
}

// Upper row "MM-DD", lower row "HH MM" with the separator lit, and the weekday's mark.
void LcdImage::ShowClock(const ClockReading& clock) {
    SetTwoDigits(17, 18, clock.month);
    SetCell(19, '-');
    SetTwoDigits(20, 21, clock.day);
    SetTwoDigits(23, 22, clock.minute);
    cells_[24] |= kExtraSegment;
    SetTwoDigits(25, 24, clock.hour);
    if (clock.weekday >= 0 && clock.weekday < 7) {
        const WeekdayMark& mark = kWeekdayMarks[clock.weekday];
        cells_[mark.cell] |= mark.bit;
    }
}

}  // namespace vocetta
