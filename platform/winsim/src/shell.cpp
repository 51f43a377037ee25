// The shell and the bits of the desktop a tray program touches: the notification area (Shell_NotifyIconA),
// WinExec, the cursor position, SetForegroundWindow, system cursors and message boxes. Nothing is shown;
// everything is recorded for the control API, and message boxes are answered through it.
#include "modal_loop.h"
#include "window_state.h"

#include <shellapi.h>
#include <winsim/control.h>

#include <cstring>
#include <deque>

namespace winsim::detail {
namespace {

constexpr UINT kWinExecSuccess = 33;  // anything above 31 means the program started
constexpr DWORD kDefaultMessageBoxTimeout = 10000;
constexpr DWORD kResourceNameNotFound = 1814;  // ERROR_RESOURCE_NAME_NOT_FOUND

struct Box {
    MessageBoxCall record;
    bool answered = false;
    int answer = 0;
};

struct ShellState {
    std::vector<NotifyIcon> icons;
    std::vector<NotifyIconCall> iconCalls;
    bool refuseIconAdd = false;
    std::vector<WinExecCall> execCalls;
    UINT execResult = kWinExecSuccess;
    POINT cursor{0, 0};
    std::vector<HWND> foreground;
    std::vector<std::shared_ptr<Box>> boxes;  // every box, oldest first
    std::deque<int> scriptedAnswers;
    DWORD messageBoxTimeout = kDefaultMessageBoxTimeout;
};

ShellState& state() {
    static ShellState& s = *new ShellState;
    return s;
}

ResetHook shellReset([] { state() = ShellState{}; });

std::vector<NotifyIcon>::iterator findIcon(HWND owner, UINT id) {
    auto& icons = state().icons;
    return std::find_if(icons.begin(), icons.end(),
                        [&](const NotifyIcon& icon) { return icon.owner == owner && icon.id == id; });
}

// What a Shell_NotifyIconA call carries, read only as far as the caller's structure version goes: the first
// version ends after a 64-byte tooltip, later ones have 128 bytes. A tooltip that fills its field is cut
// to leave room for the terminator, as the shell does.
NotifyIconCall readCall(DWORD message, const NOTIFYICONDATAA& data) {
    NotifyIconCall call;
    call.message = message;
    call.owner = data.hWnd;
    call.id = data.uID;
    call.flags = data.uFlags;
    if ((data.uFlags & NIF_ICON) != 0) call.icon = data.hIcon;
    if ((data.uFlags & NIF_MESSAGE) != 0) call.callbackMessage = data.uCallbackMessage;
    if ((data.uFlags & NIF_TIP) != 0) {
        const size_t field = data.cbSize >= static_cast<DWORD>(FIELD_OFFSET(NOTIFYICONDATAA, dwState))
                                 ? sizeof(data.szTip)
                                 : NOTIFYICONDATAA_V1_SIZE - FIELD_OFFSET(NOTIFYICONDATAA, szTip);
        call.tip.assign(data.szTip, strnlen(data.szTip, field - 1));
    }
    return call;
}

void apply(NotifyIcon& icon, const NotifyIconCall& call) {
    if ((call.flags & NIF_ICON) != 0) icon.icon = call.icon;
    if ((call.flags & NIF_TIP) != 0) icon.tip = call.tip;
    if ((call.flags & NIF_MESSAGE) != 0) icon.callbackMessage = call.callbackMessage;
    icon.flags |= call.flags & (NIF_MESSAGE | NIF_ICON | NIF_TIP);
}

// Carries out one call on the notification area (bigLock held).
bool notifyIcon(const NotifyIconCall& call) {
    auto icon = findIcon(call.owner, call.id);
    const bool exists = icon != state().icons.end();
    switch (call.message) {
        case NIM_ADD:
            if (state().refuseIconAdd) {
                SetLastError(ERROR_TIMEOUT);
                return false;
            }
            if (exists) return false;
            state().icons.push_back(NotifyIcon{call.owner, call.id, nullptr, {}, 0, 0});
            apply(state().icons.back(), call);
            return true;
        case NIM_MODIFY:
            if (!exists) return false;
            apply(*icon, call);
            return true;
        case NIM_DELETE:
            if (!exists) return false;
            state().icons.erase(icon);
            return true;
        case NIM_SETFOCUS:
        case NIM_SETVERSION: return exists;
        default: SetLastError(ERROR_INVALID_PARAMETER); return false;
    }
}

bool unansweredBoxOpen() {
    for (const auto& box : state().boxes) {
        if (box->record.open && !box->answered) return true;
    }
    return false;
}

// The system cursors that LoadCursorA(nullptr, IDC_...) knows: IDC_ARROW to IDC_UPARROW, IDC_SIZE to
// IDC_HELP. Their handles are fixed values, far from every window handle.
HCURSOR systemCursor(LPCSTR name) {
    const auto id = reinterpret_cast<uintptr_t>(name);
    if (id > 0xFFFF) return nullptr;
    if ((id >= 32512 && id <= 32516) || (id >= 32640 && id <= 32651)) {
        return reinterpret_cast<HCURSOR>(0x00C00000u + id);
    }
    return nullptr;
}

}  // namespace
}  // namespace winsim::detail

using namespace winsim::detail;
using winsim::NotifyIconCall;
using winsim::WinExecCall;

namespace winsim {

std::vector<NotifyIcon> notificationArea() {
    Lock lock(bigLock());
    return state().icons;
}

std::vector<NotifyIconCall> notifyIconCalls() {
    Lock lock(bigLock());
    return state().iconCalls;
}

void restartShell() {
    {
        Lock lock(bigLock());
        state().icons.clear();
    }
    PostMessageA(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
}

void refuseNotifyIconAdd(bool refuse) {
    Lock lock(bigLock());
    state().refuseIconAdd = refuse;
}

bool clickNotifyIcon(HWND owner, UINT id, UINT mouseMessage) {
    UINT callbackMessage = 0;
    {
        Lock lock(bigLock());
        auto icon = findIcon(owner, id);
        if (icon == state().icons.end() || (icon->flags & NIF_MESSAGE) == 0) return false;
        callbackMessage = icon->callbackMessage;
    }
    return PostMessageA(owner, callbackMessage, id, static_cast<LPARAM>(mouseMessage)) != FALSE;
}

std::vector<WinExecCall> winExecCalls() {
    Lock lock(bigLock());
    return state().execCalls;
}

void setWinExecResult(UINT result) {
    Lock lock(bigLock());
    state().execResult = result;
}

void setCursorPosition(LONG x, LONG y) {
    Lock lock(bigLock());
    state().cursor = POINT{x, y};
}

std::vector<HWND> foregroundRequests() {
    Lock lock(bigLock());
    return state().foreground;
}

std::vector<MessageBoxCall> messageBoxes() {
    Lock lock(bigLock());
    std::vector<MessageBoxCall> records;
    for (const auto& box : state().boxes) records.push_back(box->record);
    return records;
}

void scriptMessageBoxAnswer(int answer) {
    Lock lock(bigLock());
    state().scriptedAnswers.push_back(answer);
}

bool answerMessageBox(int answer) {
    Lock lock(bigLock());
    auto& boxes = state().boxes;
    for (auto it = boxes.rbegin(); it != boxes.rend(); ++it) {
        Box& box = **it;
        if (!box.record.open || box.answered) continue;
        box.answered = true;
        box.answer = answer;
        stateChanged().notify_all();
        return true;
    }
    return false;
}

bool waitForMessageBox(DWORD milliseconds) {
    Lock lock(bigLock());
    return waitLocked(lock, {}, false, milliseconds, [] { return unansweredBoxOpen(); }) != WAIT_TIMEOUT;
}

void setMessageBoxTimeout(DWORD milliseconds) {
    Lock lock(bigLock());
    state().messageBoxTimeout = milliseconds;
}

}  // namespace winsim

extern "C" {

BOOL WINAPI Shell_NotifyIconA(DWORD dwMessage, PNOTIFYICONDATAA lpData) {
    if (lpData == nullptr || lpData->cbSize < NOTIFYICONDATAA_V1_SIZE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    NotifyIconCall call = readCall(dwMessage, *lpData);
    Lock lock(bigLock());
    call.succeeded = notifyIcon(call);
    state().iconCalls.push_back(call);
    return call.succeeded ? TRUE : FALSE;
}

UINT WINAPI WinExec(LPCSTR lpCmdLine, UINT uCmdShow) {
    Lock lock(bigLock());
    state().execCalls.push_back(WinExecCall{lpCmdLine != nullptr ? lpCmdLine : "", uCmdShow});
    if (lpCmdLine == nullptr || *lpCmdLine == '\0') return ERROR_FILE_NOT_FOUND;
    return state().execResult;
}

BOOL WINAPI GetCursorPos(LPPOINT lpPoint) {
    if (lpPoint == nullptr) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    Lock lock(bigLock());
    *lpPoint = state().cursor;
    return TRUE;
}

BOOL WINAPI SetForegroundWindow(HWND hWnd) {
    Lock lock(bigLock());
    if (!findWindow(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    state().foreground.push_back(hWnd);
    return TRUE;
}

// Simplification: a program's own cursor resources are not loaded (a non-null instance finds nothing).
HCURSOR WINAPI LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName) {
    HCURSOR cursor = hInstance == nullptr ? systemCursor(lpCursorName) : nullptr;
    if (cursor == nullptr) SetLastError(kResourceNameNotFound);
    return cursor;
}

// The box runs its own message loop, as a real one does, until the answer comes (see winsim/control.h).
// WM_QUIT ends it with IDOK whatever its buttons: the box is a dialog that keeps IDOK in its result's place
// until a button ends it.
int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
    auto box = std::make_shared<Box>();
    Clock::time_point deadline;
    {
        Lock lock(bigLock());
        if (hWnd != nullptr && !findWindow(hWnd)) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        box->record.owner = hWnd;
        box->record.text = lpText != nullptr ? lpText : "";
        box->record.caption = lpCaption != nullptr ? lpCaption : "Error";  // Windows' caption for none
        box->record.type = uType;
        box->record.open = true;
        if (!state().scriptedAnswers.empty()) {
            box->answered = true;
            box->answer = state().scriptedAnswers.front();
            state().scriptedAnswers.pop_front();
        }
        state().boxes.push_back(box);
        deadline = deadlineAfter(state().messageBoxTimeout);
        stateChanged().notify_all();
    }

    const ModalEnd end = runModalLoop(box->answered, deadline, nullptr);

    Lock lock(bigLock());
    box->record.open = false;
    box->record.result = end == ModalEnd::Answered ? box->answer : end == ModalEnd::Quit ? IDOK : IDCANCEL;
    box->record.timedOut = end == ModalEnd::TimedOut;
    stateChanged().notify_all();
    return box->record.result;
}

}  // extern "C"
