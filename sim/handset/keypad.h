// The handset's keypad as the device sees it: each key and the scan code it reports in byte 2 of a class-1
// input report.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace sim {

enum class Key {
    Digit0,
    Digit1,
    Digit2,
    Digit3,
    Digit4,
    Digit5,
    Digit6,
    Digit7,
    Digit8,
    Digit9,
    Star,
    Hash,
    No,
    Up,
    Yes,
    Down,
    Mute,
    Clear,
};

// Scan code of a key (never 0: 0 means "no key held").
uint8_t scanCode(Key key);

// The key that reports `scanCode`, if any (6, 12, 17, 18 and everything above 22 belong to no key).
std::optional<Key> keyForScanCode(uint8_t scanCode);

// The digit key for 0 to 9.
Key digitKey(int digit);

// A short name for messages: "0".."9", "*", "#", "NO", "UP", "YES", "DOWN", "MUTE", "CLEAR".
std::string_view keyName(Key key);

}  // namespace sim
