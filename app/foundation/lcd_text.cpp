#include "foundation/lcd_text.h"

#include <cstdint>

namespace phonedock {
namespace {

// The segments, as the device library lays them out in a cell's byte; bit 4 is the cell's extra segment
// and never part of a letter.
//
//      -top-
//     UL    UR
//      -mid-
//     LL    LR
//      -bot-
constexpr uint8_t kTop = 0x80, kUR = 0x40, kLR = 0x20, kUL = 0x08, kMid = 0x04, kLL = 0x02, kBot = 0x01;

// Each letter's one form, whichever its case. N takes the arch (the lower-case n is the handset's own
// glyph for * and +); S is the shape of 5 and cannot be anything else. 0 means the letter has no form.
constexpr uint8_t kLetterForms[26] = {
    kTop | kUR | kLR | kUL | kLL | kMid,  // A
    kUL | kLL | kMid | kLR | kBot,        // b
    kTop | kUL | kLL | kBot,              // C
    kUR | kLR | kMid | kLL | kBot,        // d
    kTop | kUL | kMid | kLL | kBot,       // E
    kTop | kUL | kMid | kLL,              // F
    kTop | kUL | kLL | kBot | kLR,        // G
    kUL | kUR | kMid | kLL | kLR,         // H
    kUL | kLL,                            // I, on the left: on the right it would read as 1
    kUR | kLR | kBot | kLL,               // J
    0,                                    // K
    kUL | kLL | kBot,                     // L
    0,                                    // M
    kTop | kUL | kUR | kLL | kLR,         // N
    kMid | kLL | kLR | kBot,              // o
    kTop | kUL | kUR | kMid | kLL,        // P
    kTop | kUL | kUR | kMid | kLR,        // q
    kMid | kLL,                           // r
    kTop | kUL | kMid | kLR | kBot,       // S
    kUL | kMid | kLL | kBot,              // t
    kUL | kUR | kLL | kLR | kBot,         // U
    0,                                    // V
    0,                                    // W
    0,                                    // X
    kUL | kUR | kMid | kLR | kBot,        // y
    0,                                    // Z
};

constexpr char kBlank = ' ';

bool DrawnByTheLibrary(char c) {
    return (c >= '0' && c <= '9') || c == '#' || c == '*' || c == '+' || c == '-';
}

bool IsUtf8Continuation(uint8_t byte) {
    return (byte & 0xC0) == 0x80;
}

}  // namespace

std::string LcdText(std::string_view text) {
    std::string cells;
    cells.reserve(text.size());
    bool inSequence = false;  // the bytes after a lead byte of a UTF-8 sequence belong to its one blank
    for (const char c : text) {
        const auto byte = static_cast<uint8_t>(c);
        if (inSequence && IsUtf8Continuation(byte)) continue;
        inSequence = byte >= 0xC0;
        if (DrawnByTheLibrary(c)) {
            cells += c;
        } else if (const char upper = static_cast<char>(byte & ~0x20); upper >= 'A' && upper <= 'Z') {
            const uint8_t form = kLetterForms[upper - 'A'];
            cells += form != 0 ? static_cast<char>(form) : kBlank;
        } else {
            cells += kBlank;
        }
    }
    return cells;
}

}  // namespace phonedock
