#include "attached_program.h"

#include "waiting.h"

#include <algorithm>
#include <vector>

namespace winebench {
namespace {

using namespace std::chrono_literals;

constexpr auto kStartTimeout = 15s;  // the first start of a program in a fresh prefix is slow
constexpr auto kAttachTimeout = 5s;
constexpr auto kExitTimeout = 6s;  // without a shell the icon's removal takes about 2 s

}  // namespace

AttachedProgram::AttachedProgram(std::string binFolder) : binFolder_(std::move(binFolder)) {}

AttachedProgram::~AttachedProgram() {
    if (run_.running()) Close();
}

bool AttachedProgram::Start(std::string& error) {
    if (tray_.window() == nullptr) {
        error = "the notification area stand-in has no window";
        return false;
    }
    if (!skype_.start()) {
        error = "the Skype stand-in did not start";
        return false;
    }
    if (!run_.start(binFolder_ + "\\phonedock.exe", binFolder_, error)) return false;
    window_ = run_.waitForMainWindow(kStartTimeout);
    if (window_ == nullptr) {
        error = run_.running() ? "phonedock.exe made no main window within 15 s" : "phonedock.exe ended";
        return false;
    }
    const HWND window = window_;
    const bool attached = skype_.waitUntil(
        [&] {
            const std::vector<HWND> clients = skype_.attachedClients();
            return std::find(clients.begin(), clients.end(), window) != clients.end();
        },
        kAttachTimeout);
    if (!attached) {
        error = "phonedock.exe did not attach to the Skype stand-in";
        return false;
    }
    if (!WaitForTip(kTipReady, 0, kAttachTimeout)) {
        error = "the icon never said the program is ready (is the handset plugged in?)";
        return false;
    }
    return true;
}

bool AttachedProgram::Close() {
    PostMessageA(window_, WM_CLOSE, 0, 0);
    const std::optional<DWORD> code = run_.waitForExit(kExitTimeout);
    if (!code) run_.terminate();
    skype_.quit();
    return code == 0u;
}

size_t AttachedProgram::TrayCount() const {
    return tray_.messagesOf(window_).size();
}

bool AttachedProgram::WaitForTip(const char* tip, size_t from, std::chrono::milliseconds timeout) const {
    return e2e::waitFor(
        [&] {
            const std::vector<e2e::TrayMessage> messages = tray_.messagesOf(window_);
            for (size_t i = from; i < messages.size(); ++i) {
                if (messages[i].tip == tip) return true;
            }
            return false;
        },
        timeout);
}

}  // namespace winebench
