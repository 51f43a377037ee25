#include "keystroke_choice.h"

#include "usbphone_codes.h"

namespace phonedock {
namespace {

// Virtual keys, as the system numbers them.
constexpr uint8_t kVkReturn = 0x0D;
constexpr uint8_t kVkEscape = 0x1B;
constexpr uint8_t kVkUp = 0x26;
constexpr uint8_t kVkDown = 0x28;
constexpr uint8_t kVk3 = 0x33;
constexpr uint8_t kVk8 = 0x38;

struct Row {
    int code;
    Keystroke keystroke;
};

// Key code -> keystroke. '*' and '#' are Shift+8 and Shift+3, as on a US layout. Lifting the handset acts
// as Enter and putting it down as Escape.
constexpr Row kRows[] = {
    {KEY_STAR, {kVk8, true, kHookUnchanged}},       // '*'
    {KEY_HASH, {kVk3, true, kHookUnchanged}},       // '#'
    {KEY_NO, {kVkEscape, false, kHookUnchanged}},   // Escape
    {KEY_UP, {kVkUp, false, kHookUnchanged}},       // Up
    {KEY_YES, {kVkReturn, false, kHookUnchanged}},  // Enter
    {KEY_DOWN, {kVkDown, false, kHookUnchanged}},   // Down
    {KEY_ON_HOOK, {kVkEscape, false, HOOK_ON}},     // Escape, once per hang-up
    {KEY_OFF_HOOK, {kVkReturn, false, HOOK_OFF}},   // Enter, once per lift
};

}  // namespace

std::optional<Keystroke> ChooseKeystroke(int code, int32_t hookState) {
    if (code >= KEY_0 && code <= KEY_9)
        return Keystroke{static_cast<uint8_t>('0' + code), false, kHookUnchanged};
    for (const Row& row : kRows) {
        if (row.code != code) continue;
        if (row.keystroke.newHookState != kHookUnchanged && row.keystroke.newHookState == hookState)
            return std::nullopt;
        return row.keystroke;
    }
    return std::nullopt;
}

}  // namespace phonedock
