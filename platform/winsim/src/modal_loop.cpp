// The modal message loop of message boxes and popup menus.
#include "modal_loop.h"

#include "window_state.h"

#include <algorithm>

namespace winsim::detail {
namespace {

bool isAnswered(const bool& answered) {
    Lock lock(bigLock());
    return answered;
}

DWORD millisecondsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<DWORD>(std::min<int64_t>(left, INFINITE - 1));
}

ModalEnd waitForEnd(const bool& answered, Clock::time_point deadline, HWND window, int& quitCode) {
    for (;;) {
        if (window != nullptr && !IsWindow(window)) return ModalEnd::WindowGone;
        MSG msg;
        const bool waiting = PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE) != FALSE;
        if ((!waiting || msg.message == WM_TIMER) && isAnswered(answered)) return ModalEnd::Answered;
        if (waiting) {
            if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.message == WM_QUIT) {
                    quitCode = static_cast<int>(msg.wParam);
                    return ModalEnd::Quit;
                }
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        } else {
            Lock lock(bigLock());
            waitForMessages(lock, millisecondsLeft(deadline), [&] { return answered; });
        }
        if (Clock::now() >= deadline && !isAnswered(answered)) return ModalEnd::TimedOut;
    }
}

}  // namespace

ModalEnd runModalLoop(const bool& answered, Clock::time_point deadline, HWND window) {
    int quitCode = 0;
    const ModalEnd end = waitForEnd(answered, deadline, window, quitCode);
    if (end == ModalEnd::Quit) PostQuitMessage(quitCode);
    return end;
}

}  // namespace winsim::detail
