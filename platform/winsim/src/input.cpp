// Keystroke injection: keybd_event appends to the recorded input log that the control API reads. There is
// no focus and no key state, so nothing turns a keystroke into a window message.
#include "internal.h"

#include <winsim/control.h>

namespace winsim::detail {
namespace {

std::vector<KeyboardInput>& inputLog() {
    static auto& log = *new std::vector<KeyboardInput>;
    return log;
}

ResetHook inputReset([] { inputLog().clear(); });

}  // namespace
}  // namespace winsim::detail

using namespace winsim::detail;

namespace winsim {

std::vector<KeyboardInput> keyboardInput() {
    Lock lock(bigLock());
    return inputLog();
}

void clearKeyboardInput() {
    Lock lock(bigLock());
    inputLog().clear();
}

bool waitForKeyboardInput(size_t count, DWORD milliseconds) {
    Lock lock(bigLock());
    return waitLocked(lock, {}, false, milliseconds, [count] { return inputLog().size() >= count; }) !=
           WAIT_TIMEOUT;
}

}  // namespace winsim

extern "C" {

void WINAPI keybd_event(BYTE bVk, BYTE bScan, DWORD dwFlags, ULONG_PTR dwExtraInfo) {
    const DWORD now = GetTickCount();
    Lock lock(bigLock());
    inputLog().push_back(winsim::KeyboardInput{bVk, bScan, dwFlags, dwExtraInfo, now, currentThreadId()});
    stateChanged().notify_all();
}

}  // extern "C"
