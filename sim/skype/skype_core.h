// What the Skype stand-in's files share: the state behind a SkypeClient and the operations that run on its
// thread. Nothing here is called with `mutex` held except where a comment says so, and no platform call is
// ever made with it held (a window procedure of the stand-in may run inside any platform call and take it).
#pragma once

#include "skype/skype_client.h"
#include "skype/skype_commands.h"

#include <windows.h>

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace sim {

using SkypeCore = SkypeClient::Core;
using SteadyClock = std::chrono::steady_clock;

// The Attach status that announces a Skype that has just started.
constexpr LPARAM kApiAvailable = 0x8001;

struct SkypeClient::Core {
    explicit Core(SkypeConfig c) : config(std::move(c)), state(config.firstCallId, config.contacts) {}

    const SkypeConfig config;

    // ---- shared with the control threads, under `mutex` ----
    enum class Phase { Stopped, Starting, Running };
    struct Request {
        std::function<int()> apply;  // runs on the stand-in's thread, without `mutex`
        int result = 0;
        bool applied = false;
        bool done = false;  // applied, or dropped because the thread ended
    };

    mutable std::mutex mutex;
    Phase phase = Phase::Stopped;
    DWORD threadId = 0;
    HWND apiWindow = nullptr;
    HWND mainWindow = nullptr;
    HWND editField = nullptr;
    SkypeState state;
    std::vector<HWND> attached;  // clients whose Discover was answered with status 0
    std::vector<HWND> discoveries;
    std::vector<SkypeCommand> commands;
    std::vector<SkypeNotification> notifications;
    // Every record by its number; empty while a text's send is still going on.
    std::vector<std::optional<SkypeRecord>> records;
    size_t mainWindowCloses = 0;
    size_t mainWindowRaises = 0;
    bool mainWindowInFront = false;
    std::deque<std::shared_ptr<Request>> requests;

    // ---- the stand-in's thread only ----
    struct Outgoing {
        HWND target;  // null: every attached client
        std::string text;
    };
    struct Timed {
        SteadyClock::time_point due;
        std::function<void()> action;
    };
    UINT msgAttach = 0;
    UINT msgDiscover = 0;
    WNDPROC editFieldClassProc = nullptr;  // the Edit class's procedure, behind the stand-in's own
    std::deque<Outgoing> outbox;
    std::vector<Timed> timed;
    bool quitting = false;
    bool crashing = false;
};

// ---- skype_client.cpp: the thread ----
// Runs `action` on the stand-in's thread after `delay`, from its message loop.
void schedule(SkypeCore& core, std::chrono::milliseconds delay, std::function<void()> action);

// ---- skype_windows.cpp: the windows (stand-in's thread) ----
// Registers the two API messages and the classes, creates the API window, the main window and its edit
// field, and shows the main window as configured. False when a window could not be made.
bool createSkypeWindows(SkypeCore& core);
void destroySkypeWindows(SkypeCore& core);
void showSkypeMainWindow(SkypeCore& core, MainWindowShow show);
// FOCUS and the SKYPE button: out of the tray or the minimised state, and to the front.
void bringSkypeMainWindowToFront(SkypeCore& core);
void setEditFieldText(SkypeCore& core, const std::string& text);
void typeIntoEditField(SkypeCore& core, const std::string& characters);

// ---- skype_transport.cpp: attach, commands and notifications (stand-in's thread) ----
void announceApiAvailable(SkypeCore& core);
void onDiscover(SkypeCore& core, HWND client);
void answerAttach(SkypeCore& core, HWND client, LPARAM status);
// The WM_COPYDATA of the API window: records the command and carries it out, texts sent before it returns.
void receiveCommand(SkypeCore& core, HWND sender, const COPYDATASTRUCT* data);
// The user calls `target` from the main window: ROUTING now, the far end rings after the routing delay
// and answers only when told to. Answers the call's id.
int placeCallFromMainWindow(SkypeCore& core, const std::string& target);
// Queues status notifications for every attached client; sendQueuedTexts delivers them.
void queueEvents(SkypeCore& core, const CallModel::Texts& events);
void sendQueuedTexts(SkypeCore& core);

}  // namespace sim
