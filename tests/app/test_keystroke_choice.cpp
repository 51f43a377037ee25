// The keystrokes the handset types while Skype is not attached.
#include <gtest/gtest.h>

#include "handset/keystroke_choice.h"

using phonedock::ChooseKeystroke;

TEST(KeystrokeChoice, KeysBecomeKeystrokesAndHookChangesMoveTheHookState) {
    for (int digit = 0; digit <= 9; ++digit) {
        const auto k = ChooseKeystroke(digit, -1);
        ASSERT_TRUE(k.has_value());
        EXPECT_EQ(k->virtualKey, '0' + digit);
        EXPECT_FALSE(k->shift);
    }
    EXPECT_EQ(ChooseKeystroke(20, -1)->virtualKey, 0x38);  // '*' = Shift+8
    EXPECT_TRUE(ChooseKeystroke(20, -1)->shift);
    EXPECT_EQ(ChooseKeystroke(21, -1)->virtualKey, 0x33);  // '#' = Shift+3
    EXPECT_TRUE(ChooseKeystroke(21, -1)->shift);
    EXPECT_EQ(ChooseKeystroke(30, -1)->virtualKey, 0x1B);
    EXPECT_EQ(ChooseKeystroke(40, -1)->virtualKey, 0x26);
    EXPECT_EQ(ChooseKeystroke(50, -1)->virtualKey, 0x0D);
    EXPECT_EQ(ChooseKeystroke(60, -1)->virtualKey, 0x28);

    // The first hook change after start acts either way; one that would not change the state types nothing.
    EXPECT_EQ(ChooseKeystroke(80, -1)->virtualKey, 0x0D);
    EXPECT_EQ(ChooseKeystroke(80, -1)->newHookState, 0);
    EXPECT_FALSE(ChooseKeystroke(80, 0).has_value());
    EXPECT_EQ(ChooseKeystroke(70, 0)->virtualKey, 0x1B);
    EXPECT_EQ(ChooseKeystroke(70, 0)->newHookState, 1);
    EXPECT_FALSE(ChooseKeystroke(70, 1).has_value());

    // Codes without a row type nothing (they would otherwise press unrelated keys).
    for (int code : {100, 110, 10, 19, 255, -1}) EXPECT_FALSE(ChooseKeystroke(code, -1).has_value()) << code;
}
