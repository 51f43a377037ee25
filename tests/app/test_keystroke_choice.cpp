// The keystrokes the handset types while Skype is not attached.
#include <gtest/gtest.h>

#include <windows.h>

#include "handset/keystroke_choice.h"
#include "usbphone_codes.h"

#include <optional>
#include <ostream>

using phonedock::ChooseKeystroke;

namespace {

// What a key types: the virtual key, and whether Shift is held around it.
struct Typed {
    int virtualKey;
    bool shift;
    bool operator==(const Typed&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Typed& typed) {
    return out << (typed.shift ? "Shift+" : "") << "0x" << std::hex << typed.virtualKey;
}

std::optional<Typed> Types(int code, int32_t hookState = HOOK_UNKNOWN) {
    const auto keystroke = ChooseKeystroke(code, hookState);
    if (!keystroke) return std::nullopt;
    return Typed{keystroke->virtualKey, keystroke->shift};
}

}  // namespace

TEST(KeystrokeChoice, KeysBecomeKeystrokesAndHookChangesMoveTheHookState) {
    for (int digit = 0; digit <= 9; ++digit) EXPECT_EQ(Types(KEY_0 + digit), (Typed{'0' + digit, false}));
    EXPECT_EQ(Types(KEY_STAR), (Typed{'8', true}));  // '*' on a US layout
    EXPECT_EQ(Types(KEY_HASH), (Typed{'3', true}));  // '#'
    EXPECT_EQ(Types(KEY_NO), (Typed{VK_ESCAPE, false}));
    EXPECT_EQ(Types(KEY_UP), (Typed{VK_UP, false}));
    EXPECT_EQ(Types(KEY_YES), (Typed{VK_RETURN, false}));
    EXPECT_EQ(Types(KEY_DOWN), (Typed{VK_DOWN, false}));
    for (int code : {KEY_0, KEY_STAR, KEY_NO, KEY_YES}) {
        EXPECT_EQ(ChooseKeystroke(code, HOOK_OFF)->newHookState, phonedock::kHookUnchanged) << code;
    }

    // The first hook change after start acts either way; one that would not change the state types nothing.
    EXPECT_EQ(Types(KEY_OFF_HOOK, HOOK_UNKNOWN), (Typed{VK_RETURN, false}));
    EXPECT_EQ(ChooseKeystroke(KEY_OFF_HOOK, HOOK_UNKNOWN)->newHookState, HOOK_OFF);
    EXPECT_EQ(Types(KEY_OFF_HOOK, HOOK_OFF), std::nullopt);
    EXPECT_EQ(Types(KEY_ON_HOOK, HOOK_OFF), (Typed{VK_ESCAPE, false}));
    EXPECT_EQ(ChooseKeystroke(KEY_ON_HOOK, HOOK_OFF)->newHookState, HOOK_ON);
    EXPECT_EQ(Types(KEY_ON_HOOK, HOOK_ON), std::nullopt);

    // Codes without a row type nothing (they would otherwise press unrelated keys), nor do numbers that are
    // no key code at all.
    for (int code : {static_cast<int>(KEY_MUTE), static_cast<int>(KEY_CLEAR), 10, 19, 255, -1}) {
        EXPECT_EQ(Types(code), std::nullopt) << code;
    }
}
