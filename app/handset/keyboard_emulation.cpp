#include "keyboard_emulation.h"

#include "handset/keystroke_choice.h"
#include "foundation/shared_state.h"

#include <windows.h>

namespace phonedock {
namespace {

constexpr DWORD kKeyHoldMs = 10;

}  // namespace

void EmulateKeystroke(int code) {
    const auto keystroke = ChooseKeystroke(code, hookState);
    if (!keystroke) return;
    if (keystroke->newHookState != kHookUnchanged) hookState = keystroke->newHookState;
    if (keystroke->shift) keybd_event(VK_LSHIFT, 0, 0, 0);
    keybd_event(keystroke->virtualKey, 0, 0, 0);
    Sleep(kKeyHoldMs);
    keybd_event(keystroke->virtualKey, 0, KEYEVENTF_KEYUP, 0);
    if (keystroke->shift) keybd_event(VK_LSHIFT, 0, KEYEVENTF_KEYUP, 0);
}

}  // namespace phonedock
