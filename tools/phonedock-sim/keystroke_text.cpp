// Reading injected keystrokes as typed text.
#include "keystroke_text.h"

#include <cstdio>

namespace phonedocksim {
namespace {

constexpr uint8_t kShift = 0x10;
constexpr uint8_t kLeftShift = 0xA0;
constexpr uint8_t kRightShift = 0xA1;
constexpr uint8_t kReturn = 0x0D;
constexpr uint8_t kEscape = 0x1B;
constexpr uint8_t kUp = 0x26;
constexpr uint8_t kDown = 0x28;
constexpr uint8_t kLeft = 0x25;
constexpr uint8_t kRight = 0x27;

// What Shift with a digit types on a US layout.
constexpr char kShiftedDigits[] = ")!@#$%^&*(";

}  // namespace

std::optional<std::string> KeystrokeReader::feed(uint8_t virtualKey, bool keyUp) {
    if (virtualKey == kLeftShift || virtualKey == kShift) {
        leftShift_ = !keyUp;
        return std::nullopt;
    }
    if (virtualKey == kRightShift) {
        rightShift_ = !keyUp;
        return std::nullopt;
    }
    if (keyUp) return std::nullopt;
    const bool shifted = leftShift_ || rightShift_;
    if (virtualKey >= '0' && virtualKey <= '9') {
        const int digit = virtualKey - '0';
        return std::string(1, shifted ? kShiftedDigits[digit] : static_cast<char>(virtualKey));
    }
    switch (virtualKey) {
        case kReturn: return "<Enter>";
        case kEscape: return "<Esc>";
        case kUp: return "<Up>";
        case kDown: return "<Down>";
        case kLeft: return "<Left>";
        case kRight: return "<Right>";
        default: break;
    }
    if (virtualKey >= 'A' && virtualKey <= 'Z') {
        return std::string(
            1, shifted ? static_cast<char>(virtualKey) : static_cast<char>(virtualKey - 'A' + 'a'));
    }
    char name[16];
    std::snprintf(name, sizeof name, "<key 0x%02X>", virtualKey);
    return std::string(name);
}

}  // namespace phonedocksim
