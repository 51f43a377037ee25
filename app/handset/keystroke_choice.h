// Which keystroke a handset key becomes while Skype is not attached, with no platform call.
#pragma once

#include <cstdint>
#include <optional>

namespace phonedock {

constexpr int32_t kHookUnchanged = -1;

struct Keystroke {
    uint8_t virtualKey;
    bool shift;            // the left Shift key is held around it
    int32_t newHookState;  // what the hook state becomes, or kHookUnchanged
};

// The keystroke for key code `code` given the current hook state, or none: codes without a row (the mute
// and delete keys) and hook changes that would not change the hook state type nothing.
std::optional<Keystroke> ChooseKeystroke(int code, int32_t hookState);

}  // namespace phonedock
