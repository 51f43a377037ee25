#include "keystroke_choice.h"

namespace phonedock {
namespace {

// Virtual keys, as the system numbers them.
constexpr uint8_t kVkReturn = 0x0D;
constexpr uint8_t kVkEscape = 0x1B;
constexpr uint8_t kVkUp = 0x26;
constexpr uint8_t kVkDown = 0x28;
constexpr uint8_t kVk3 = 0x33;
constexpr uint8_t kVk8 = 0x38;

constexpr int32_t kOnHook = 1;
constexpr int32_t kOffHook = 0;
constexpr int32_t kUnchanged = -1;

struct Row {
    int code;
    Keystroke keystroke;
};

// Key code -> keystroke. '*' and '#' are Shift+8 and Shift+3, as on a US layout. Lifting the handset acts
// as Enter and putting it down as Escape.
constexpr Row kRows[] = {
    {20, {kVk8, true, kUnchanged}},        // KEY_STAR
    {21, {kVk3, true, kUnchanged}},        // KEY_HASH
    {30, {kVkEscape, false, kUnchanged}},  // KEY_NO
    {40, {kVkUp, false, kUnchanged}},      // KEY_UP
    {50, {kVkReturn, false, kUnchanged}},  // KEY_YES
    {60, {kVkDown, false, kUnchanged}},    // KEY_DOWN
    {70, {kVkEscape, false, kOnHook}},     // KEY_ON_HOOK
    {80, {kVkReturn, false, kOffHook}},    // KEY_OFF_HOOK
};

}  // namespace

std::optional<Keystroke> ChooseKeystroke(int code, int32_t hookState) {
    if (code >= 0 && code <= 9) return Keystroke{static_cast<uint8_t>('0' + code), false, kUnchanged};
    for (const Row& row : kRows) {
        if (row.code != code) continue;
        if (row.keystroke.newHookState != kUnchanged && row.keystroke.newHookState == hookState)
            return std::nullopt;
        return row.keystroke;
    }
    return std::nullopt;
}

}  // namespace phonedock
