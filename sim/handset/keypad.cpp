// The keypad matrix: six columns by four rows; the scan code of a key is row * 6 + column + 1.
//
//              col 0   col 1   col 2   col 3   col 4   col 5
//   row 0        NO      3       2       1     CLEAR    --          scan codes  1 ..  6
//   row 1       YES      6       5       4     MUTE     --          scan codes  7 .. 12
//   row 2        UP      9       8       7      --      --          scan codes 13 .. 18
//   row 3       DOWN     #       0       *                          scan codes 19 .. 22
#include "handset/keypad.h"

#include <cassert>
#include <iterator>

namespace sim {
namespace {

struct KeypadEntry {
    Key key;
    uint8_t scanCode;
    std::string_view name;
};

// clang-format off
constexpr KeypadEntry kKeypad[] = {
    {Key::No,      1, "NO"},   {Key::Digit3,  2, "3"},  {Key::Digit2,  3, "2"},  {Key::Digit1,  4, "1"},
    {Key::Clear,   5, "CLEAR"},
    {Key::Yes,     7, "YES"},  {Key::Digit6,  8, "6"},  {Key::Digit5,  9, "5"},  {Key::Digit4, 10, "4"},
    {Key::Mute,   11, "MUTE"},
    {Key::Up,     13, "UP"},   {Key::Digit9, 14, "9"},  {Key::Digit8, 15, "8"},  {Key::Digit7, 16, "7"},
    {Key::Down,   19, "DOWN"}, {Key::Hash,   20, "#"},  {Key::Digit0, 21, "0"},  {Key::Star,   22, "*"},
};
// clang-format on

const KeypadEntry& entryOf(Key key) {
    for (const auto& entry : kKeypad) {
        if (entry.key == key) return entry;
    }
    assert(false && "every key is in the keypad table");
    return kKeypad[0];
}

}  // namespace

uint8_t scanCode(Key key) {
    return entryOf(key).scanCode;
}

std::optional<Key> keyForScanCode(uint8_t code) {
    for (const auto& entry : kKeypad) {
        if (entry.scanCode == code) return entry.key;
    }
    return std::nullopt;
}

Key digitKey(int digit) {
    assert(digit >= 0 && digit <= 9);
    return static_cast<Key>(static_cast<int>(Key::Digit0) + digit);
}

std::string_view keyName(Key key) {
    return entryOf(key).name;
}

}  // namespace sim
