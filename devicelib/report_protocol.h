// The bytes the handset and the library exchange, with no platform call: scan codes to key codes, the output
// reports, and the 32-cell display image with its glyphs and the seven display commands.
#pragma once

#include "usbphone_codes.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace vocetta {

// Byte 1 of every report.
enum ReportClass : uint8_t {
    REPORT_CONTROL = 1,  // out: ringer, backlight; in: key and hook
    REPORT_EEPROM = 2,   // out: write, read request, read end; in: a 16-byte block
    REPORT_LCD = 3,      // out: the display image
};

// Output reports, byte by byte. Byte 0 is the report id, always 0; "-" is a byte the report leaves as the
// previous report left it.
//
//     report           byte 1   byte 2           byte 3           byte 4           byte 5
//     ringer           1        FF on, 00 off    11               -                -
//     backlight        1        11               FF on, 00 off    -                -
//     EEPROM write     2        1                device address   device address   data byte
//     EEPROM request   2        2                block start      00               -
//     EEPROM end       2        3                -                -                -
//     display          3        image cells 0 to 31 in bytes 2 to 33
//
// The ringer and the backlight share class 1: byte 2 is the ringer's and byte 3 the backlight's, and the
// command for one of them marks the other's byte as not its own.
constexpr uint8_t kControlOn = 0xFF;
constexpr uint8_t kControlOff = 0x00;
constexpr uint8_t kControlNotMine = 0x11;  // the other function's byte of a control report

// Byte 2 of a class-2 output report: what the handset's EEPROM is asked to do.
enum EepromCommand : uint8_t {
    EEPROM_WRITE_BYTE = 1,    // one data byte at a device address
    EEPROM_READ_REQUEST = 2,  // send the 16-byte block from the start address
    EEPROM_READ_END = 3,      // the exchange is over
};
constexpr uint8_t kEepromRequestFiller = 0x00;  // byte 4 of a read request

// Where an input report carries what (byte 0 is the report id, never looked at).
constexpr size_t kReportClassByte = 1;
constexpr size_t kScanCodeByte = 2;        // class 1: the key held, 0 for none
constexpr size_t kHookSwitchByte = 3;      // class 1: 0 on hook, anything else off hook
constexpr size_t kEepromAnswerOffset = 2;  // class 2: bytes 2 to 17 are the block

// How long a report must be to carry each thing (byte 0 is the report id).
constexpr size_t kControlReportSize = 4;        // ringer, backlight: bytes 1 to 3
constexpr size_t kEepromWriteReportSize = 6;    // bytes 1 to 5
constexpr size_t kEepromRequestReportSize = 5;  // bytes 1 to 4
constexpr size_t kEepromEndReportSize = 3;      // bytes 1 and 2
constexpr size_t kDisplayReportSize = 34;       // bytes 2 to 33 carry the image
constexpr size_t kKeyReportSize = 4;            // class, scan code, hook switch
constexpr size_t kEepromAnswerSize = 18;        // bytes 2 to 17 carry the block
constexpr size_t kEepromBlockSize = 16;
constexpr size_t kOutputReportSize = kDisplayReportSize;  // the longest report in each direction
constexpr size_t kInputReportSize = kEepromAnswerSize;

constexpr int KEY_NONE = 255;  // no key; never delivered

// The key code of a scan code (byte 2 of a class-1 input report), or KEY_NONE.
int KeyCodeForScanCode(uint8_t scanCode);

// The reader loop's decisions, apart from reading reports. A hook status is -1 (not known yet), 1 (on hook)
// or 0 (off hook).

// The hook code a poll takes before it reads a report: KEY_ON_HOOK when the hook status is 1 and the
// previous hook state 0, KEY_OFF_HOOK when it is neither 1 nor -1 and the previous state is not 0, else
// KEY_NONE. `previousHook` becomes the state of the code taken.
int TakeHookChange(int hookStatus, int& previousHook);

// A key and hook report (class 1): its key code, or KEY_NONE, and the hook status it reports (1 on hook when
// byte 3 is 0, else 0). Answers false, changing nothing, for a report of any other class.
bool DecodeKeyReport(const std::array<uint8_t, kInputReportSize>& report, int& keyCode, int& hookStatus);

// The repeat filter: a held key repeats its report, so only a change reaches the key callback. Answers
// whether `code` is delivered, and keeps it as the last reported code; KEY_NONE (a poll without a key)
// re-arms the filter and is never delivered.
bool PassesRepeatFilter(int code, int& lastReported);

// Output report builders. Each writes only the bytes its report owns into `report`, which holds at least
// kOutputReportSize bytes; every other byte keeps what an earlier report left there.
void BuildRingerReport(uint8_t* report, bool on);
void BuildBacklightReport(uint8_t* report, bool on);
void BuildEepromWriteReport(uint8_t* report, uint8_t deviceAddress, uint8_t data);
void BuildEepromReadRequest(uint8_t* report, uint8_t blockStart);
void BuildEepromReadEnd(uint8_t* report);

// What GetLocalTime says, as the clock needs it.
struct ClockReading {
    int month = 1;    // 1 to 12
    int day = 1;      // 1 to 31
    int weekday = 0;  // 0 Sunday to 6 Saturday
    int hour = 0;     // 0 to 23
    int minute = 0;
};

// The handset's display image, one byte per cell, as the display report carries it: cells 16 to 31 are the
// LCD (the indicator cell, an upper row of five digits and a lower row of ten), cells 0 to 15 are never
// written.
class LcdImage {
  public:
    static constexpr int kCells = 32;

    // Runs display command `mode` (LCD_CLEAR_ALL to LCD_TIME_TEXT). Answers false, changing nothing, for any
    // other mode. `text` may be null (shown as empty). `clock` is read only by LCD_CLOCK.
    bool Apply(int mode, bool iconOn, int barLevel, const char* text, bool showClock,
               const ClockReading& clock);

    // The display report: class byte and the image in bytes 2 to 33 of `report` (kDisplayReportSize bytes).
    void BuildDisplayReport(uint8_t* report) const;

    uint8_t cell(int index) const { return cells_[static_cast<size_t>(index)]; }
    const std::array<uint8_t, kCells>& cells() const { return cells_; }

  private:
    std::array<uint8_t, kCells> cells_{};
};

// The segment byte of a character: bit 7 top, 6 upper right, 5 lower right, 0 bottom, 1 lower left,
// 3 upper left, 2 middle. The table has the digits, # * + - and the space (a blank cell); any other
// character is its own segment byte, so a caller may send segment patterns of its own.
uint8_t GlyphFor(char character);

}  // namespace vocetta
