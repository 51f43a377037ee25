// Skype's notifications, one a line, any bytes, through the program's own transport and call tracker on
// winsim, with no handset library. A line starting with '!' comes from a window other than Skype's (the '!'
// is not sent); an empty line is a WM_COPYDATA without data. A notification is copied without a terminator
// of its own. After each: nothing changed for a foreign sender; at most one command, for the notification's
// own call; a display name fills the DialBuffer, cut to 999 characters; the shared state stays in range.
#include "foundation/dial_buffer.h"
#include "foundation/shared_state.h"
#include "skype/call_tracker.h"
#include "skype/notification.h"
#include "skype/skype_inbox.h"
#include "skype/skype_link.h"
#include "skype_window.h"

#include <windows.h>

#include <cstring>
#include <memory>
#include <string>
#include <string_view>

using namespace phonedock;
using fuzz::Require;

namespace {

struct Observed {
    int32_t ringing, dtmf, mute;
    bool inCall;
    std::string dialled;
    bool operator==(const Observed&) const = default;
};

Observed Observe() {
    const DialBuffer::Snapshot shown = dialBuffer.Copy();
    Require(shown.length >= 0 && shown.length <= DialBuffer::kMaxLength && shown.text[shown.length] == '\0');
    const Observed o{ringingCallId, dtmfCallId, muteState, inCall, std::string(shown.text, shown.length)};
    Require(o.ringing >= 0 && o.dtmf >= 0 && o.mute >= MUTE_UNKNOWN && o.mute <= MUTE_OFF);
    return o;
}

void Deliver(HWND program, HWND sender, std::string_view line) {
    auto bytes = std::make_unique<char[]>(line.size());
    if (!line.empty()) std::memcpy(bytes.get(), line.data(), line.size());
    COPYDATASTRUCT data{};
    data.cbData = static_cast<DWORD>(line.size());
    data.lpData = line.empty() ? nullptr : bytes.get();
    Require(SendMessageA(program, WM_COPYDATA, reinterpret_cast<WPARAM>(sender),
                         reinterpret_cast<LPARAM>(&data)) == 1);
    HandleQueuedSkypeEvents();
    MSG message;
    while (PeekMessageA(&message, program, 0, 0, PM_REMOVE)) {
    }
}

LRESULT CALLBACK ProgramProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA) {
        return OnSkypeCopyData(window, reinterpret_cast<HWND>(wParam),
                               reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

struct Windows {
    fuzz::SkypeWindow skype;
    HWND program = nullptr;
    HWND foreign = nullptr;
    Windows() {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = ProgramProcedure;
        windowClass.lpszClassName = "FuzzProgram";
        RegisterClassA(&windowClass);
        program = CreateWindowExA(0, "FuzzProgram", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        foreign = CreateWindowExA(0, "FuzzProgram", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        Require(program != nullptr && foreign != nullptr);
        mainWindow = program;
        skypeApiWindow = skype.handle();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Windows windows;
    ForgetSkypeCalls();  // every input starts with no call known
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    while (!rest.empty()) {
        const size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        const bool foreign = line.starts_with('!');
        if (foreign) line.remove_prefix(1);

        const Observed before = Observe();
        fuzz::SkypeWindow::Commands().clear();
        Deliver(windows.program, foreign ? windows.foreign : windows.skype.handle(), line);
        const Observed after = Observe();
        const std::vector<std::string>& commands = fuzz::SkypeWindow::Commands();
        if (foreign) {
            Require(after == before && commands.empty());
            continue;
        }
        // The text as the tracker reads it: up to its first NUL.
        const Notification n = ParseNotification(line.substr(0, line.find('\0')));
        Require(commands.size() <= 1);
        if (!commands.empty()) {
            const std::string id = std::to_string(n.callId);
            Require(n.status == CallStatus::Ringing);
            Require(commands[0] == "GET CALL " + id + " PARTNER_DISPNAME" ||
                    commands[0] == "SET CALL " + id + " STATUS FINISHED");
        }
        if (n.kind == Notification::Kind::Call && n.callId > 0 && n.hasDisplayName) {
            Require(after.dialled == n.displayName.substr(0, DialBuffer::kMaxLength));
        }
        const bool noStatus =
            n.status == CallStatus::None || n.status == CallStatus::OnHold || n.status == CallStatus::Busy;
        if (n.kind != Notification::Kind::Call || n.callId <= 0 || (!n.hasDisplayName && noStatus)) {
            const bool muteOnly =
                n.kind == Notification::Kind::MuteOn || n.kind == Notification::Kind::MuteOff;
            Observed expected = before;
            if (muteOnly) expected.mute = n.kind == Notification::Kind::MuteOn ? MUTE_ON : MUTE_OFF;
            Require(after == expected && commands.empty());
        }
        Require(after.ringing == 0 || after.ringing == before.ringing || after.ringing == n.callId);
    }
    return 0;
}
