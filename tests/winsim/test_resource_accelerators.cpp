// Accelerator tables: loading one from the program's resources, and TranslateAcceleratorA turning the
// matching key and character messages into WM_COMMAND for the window.
#include "support/winsim_fixture.h"
#include "test_message_support.h"
#include "ui_resource_ids.h"

using namespace winsim_test;

namespace {

constexpr LPARAM kAltDown = static_cast<LPARAM>(KF_ALTDOWN) << 16;
constexpr WPARAM kF1 = 0x70;
constexpr WPARAM kF2 = 0x71;

class AcceleratorTest : public WinsimTest {
  protected:
    void SetUp() override {
        WinsimTest::SetUp();
        messageLog().clear();
        registerClass("AcceleratorTarget", recordingProc);
        window = makeWindow("AcceleratorTarget");
        table = LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(TEST_ACCELERATORS));
        ASSERT_NE(table, nullptr);
    }

    // The commands the window received, as (command, from an accelerator).
    std::vector<std::pair<WORD, WORD>> commands() const {
        std::vector<std::pair<WORD, WORD>> seen;
        for (const Seen& s : messageLog().only(WM_COMMAND))
            seen.emplace_back(LOWORD(s.wParam), HIWORD(s.wParam));
        return seen;
    }

    int translate(UINT message, WPARAM key, LPARAM lParam) {
        MSG msg{window, message, key, lParam, 0, {0, 0}};
#ifdef _WIN32
        // Windows takes Alt from the thread's keyboard state, which a real keystroke sets along with
        // KF_ALTDOWN in the message; winsim keeps no keyboard state and reads the message.
        BYTE keys[256] = {};
        keys[VK_MENU] = static_cast<BYTE>((HIWORD(lParam) & KF_ALTDOWN) != 0 ? 0x80 : 0);
        SetKeyboardState(keys);
#endif
        return TranslateAcceleratorA(window, table, &msg);
    }

    HWND window = nullptr;
    HACCEL table = nullptr;
};

}  // namespace

TEST_F(AcceleratorTest, TheTableReadsBackAsLoaded) {
    EXPECT_EQ(LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(TEST_ACCELERATORS)), table);
    ASSERT_EQ(CopyAcceleratorTableA(table, nullptr, 0), 4);
    ACCEL entries[4]{};
    EXPECT_EQ(CopyAcceleratorTableA(table, entries, 4), 4);
    EXPECT_EQ(entries[0].fVirt, FALT);
    EXPECT_EQ(entries[0].key, '?');
    EXPECT_EQ(entries[0].cmd, CMD_HELP);
    EXPECT_EQ(entries[1].fVirt, 0);
    EXPECT_EQ(entries[2].fVirt, FVIRTKEY);
    EXPECT_EQ(entries[3].fVirt, FVIRTKEY | FALT);
    EXPECT_EQ(entries[3].cmd, CMD_ALT_F2);
}

TEST_F(AcceleratorTest, CharacterEntriesMatchTheCharacterWithTheSameAltState) {
    EXPECT_EQ(translate(WM_SYSCHAR, '?', kAltDown), 1);
    EXPECT_EQ(translate(WM_CHAR, '?', 0), 0);  // Alt is part of the entry
    EXPECT_EQ(translate(WM_CHAR, 'a', 0), 1);
    EXPECT_EQ(translate(WM_SYSCHAR, 'a', kAltDown), 0);
    EXPECT_EQ(translate(WM_CHAR, 'A', 0), 0);  // characters are compared exactly
    // The command is sent at once, marked as coming from an accelerator.
    EXPECT_EQ(commands(), (std::vector<std::pair<WORD, WORD>>{{CMD_HELP, 1}, {CMD_LETTER, 1}}));
}

TEST_F(AcceleratorTest, VirtualKeyEntriesMatchKeyDownsWithTheirModifiers) {
    EXPECT_EQ(translate(WM_KEYDOWN, kF1, 0), 1);
    EXPECT_EQ(translate(WM_KEYUP, kF1, 0), 0);
    EXPECT_EQ(translate(WM_CHAR, kF1, 0), 0);
    EXPECT_EQ(translate(WM_KEYDOWN, kF2, 0), 0);
    EXPECT_EQ(translate(WM_SYSKEYDOWN, kF2, kAltDown), 1);
    // A character entry with Alt also answers the key with that code pressed with Alt.
    EXPECT_EQ(translate(WM_SYSKEYDOWN, '?', kAltDown), 1);
    EXPECT_EQ(commands(), (std::vector<std::pair<WORD, WORD>>{{CMD_F1, 1}, {CMD_ALT_F2, 1}, {CMD_HELP, 1}}));
}

TEST_F(AcceleratorTest, BadTablesAndWindowsTranslateNothing) {
    MSG msg{window, WM_SYSCHAR, '?', kAltDown, 0, {0, 0}};
    EXPECT_EQ(TranslateAcceleratorA(window, reinterpret_cast<HACCEL>(0x99), &msg), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_ACCEL_HANDLE));
    EXPECT_EQ(TranslateAcceleratorA(reinterpret_cast<HWND>(0x5550), table, &msg), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_TRUE(commands().empty());

    ACCEL made[] = {{FVIRTKEY | FCONTROL, 'S', 77}};
    HACCEL created = CreateAcceleratorTableA(made, 1);
    ASSERT_NE(created, nullptr);
    // Winsim keeps no keyboard state: Ctrl counts as up, so a Ctrl entry never matches.
    MSG keyS{window, WM_KEYDOWN, 'S', 0, 0, {0, 0}};
    EXPECT_EQ(TranslateAcceleratorA(window, created, &keyS), 0);
    EXPECT_TRUE(DestroyAcceleratorTable(created));
    EXPECT_FALSE(DestroyAcceleratorTable(created));
    EXPECT_EQ(CopyAcceleratorTableA(created, nullptr, 0), 0);
}
