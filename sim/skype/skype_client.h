// The Skype stand-in: Skype's side of the desktop API, as another program, on a thread of its own with its
// own message loop. Written in plain Win32 so the same source runs on winsim and on Windows.
//
// Its windows: a hidden top-level API window, which answers "SkypeControlAPIDiscover" with
// "SkypeControlAPIAttach" and takes commands as WM_COPYDATA, and a main window (by default visible, of class
// "tSkMainForm.UnicodeClass", titled "Skype - <user>") holding an "Edit" child, the field where Skype
// collects a number or name. The edit field takes WM_SETTEXT and WM_CHAR (backspace deletes the last
// character, other printable characters are appended), in the ANSI form, or, when `unicodeEditField` makes
// it a Unicode window (as in Skype versions whose field is one), in the wide form as well; it keeps its text
// in ASCII, a wide character beyond that counting as '?'. The main window hides itself on WM_CLOSE and on
// WM_SYSCOMMAND with SC_CLOSE, as Skype goes to the tray: it keeps running. FOCUS and the SKYPE button bring
// it back: out of the tray or its minimised state, and to the front (SetForegroundWindow).
//
// Attach: when it starts it broadcasts the Attach message with status 0x8001 (API available). A Discover
// (wParam = the client's window) is answered after `attachDelay` with the Attach message to that window,
// wParam = the API window, lParam = `attachStatus`; status 0 makes the window an attached client.
//
// Transport: commands are recorded with their sender; only those of attached clients are carried out (see
// skype_commands.h). Texts go out as WM_COPYDATA (dwData 0, the text with its NUL) with wParam = the API
// window, through SendMessageTimeoutA with SMTO_ABORTIFHUNG and `sendTimeout`, so the stand-in never waits
// for ever on a client. What a command causes is sent while the command is still being handled (from inside
// its WM_COPYDATA), so the client's sending thread gets it re-entrantly; what control calls and delays cause
// is sent later from the stand-in's own thread.
//
// Records: every command received and every text sent is numbered in one sequence, in the order they
// happened: a command when it arrives, a text when its send begins (so a command that arrives while a text
// is on its way comes after that text). A text's record is complete once its send has returned.
//
// Control calls are thread-safe. Those that change the stand-in run on its thread and return once the
// change is made, before its texts are delivered. Every wait of a control call is bounded and keeps
// serving messages sent to the calling thread's windows, so the calling thread may own a client window.
//
// Simplification: the API window and the main window are ANSI windows ("tSkMainForm.UnicodeClass" is only a
// name here). "In front" is the stand-in's own account of what it asked for: the system may refuse a
// background program the foreground.
#pragma once

#include "skype/skype_calls.h"

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace sim {

enum class MainWindowShow { Normal, Minimized, Hidden };

struct SkypeConfig {
    std::string user = "echo123";
    std::string mainWindowClass = "tSkMainForm.UnicodeClass";
    std::string mainWindowTitle;  // empty: "Skype - <user>"
    MainWindowShow mainWindowShow = MainWindowShow::Normal;
    bool unicodeEditField = false;  // the edit field is a Unicode window

    LPARAM attachStatus = 0;  // the answer to Discover: 0 attached, 1 pending, 2 refused, or any other
    std::chrono::milliseconds attachDelay{0};
    bool attachByPost = false;  // answer Discover with PostMessageA instead of SendMessageTimeoutA

    // The contact list, in the order shown; UP and DOWN move the selection in it.
    std::vector<std::string> contacts = {"echo123", "anna.lindqvist", "tomas.brenner"};

    int firstCallId = 101;                                       // ids count up from here
    std::chrono::milliseconds routingDelay{20};                  // a placed call: ROUTING -> RINGING
    std::optional<std::chrono::milliseconds> farEndAnswerDelay;  // then RINGING -> INPROGRESS by itself

    std::chrono::milliseconds sendTimeout{3000};     // every send toward a client
    std::chrono::milliseconds controlTimeout{8000};  // every wait of a control call

    // Runs first on the stand-in's thread each time it starts (the winsim launcher makes the thread
    // another simulated process here).
    std::function<void()> onThreadStart;
};

struct SkypeCommand {
    uint64_t sequence = 0;  // among commands and notifications, from 0
    // When the WM_COPYDATA reached the API window's procedure, for timing a client from outside it.
    std::chrono::steady_clock::time_point receivedAt;
    HWND sender = nullptr;            // the WM_COPYDATA's wParam
    std::string text;                 // up to the first NUL or the end of the data
    DWORD byteCount = 0;              // cbData
    bool terminated = false;          // a NUL lies within the byteCount bytes
    bool fromAttachedClient = false;  // only these are carried out
};

struct SkypeNotification {
    uint64_t sequence = 0;  // among commands and notifications, taken as the send began
    HWND target = nullptr;
    std::string text;
    bool delivered = false;  // the client's window procedure took it in time
};

// One record of either kind, for reading both in their common order.
struct SkypeRecord {
    bool isCommand = false;
    SkypeCommand command;            // isCommand
    SkypeNotification notification;  // otherwise
    uint64_t sequence() const { return isCommand ? command.sequence : notification.sequence; }
};

// What the user sees of the main window.
struct MainWindowView {
    MainWindowShow show = MainWindowShow::Hidden;  // Hidden: in the tray (also: no window, not running)
    bool inFront = false;  // brought to the front and neither hidden nor minimised since
    size_t raised = 0;     // times FOCUS or the SKYPE button brought it to the front, over every run
};

class SkypeClient {
  public:
    explicit SkypeClient(SkypeConfig config = {});
    ~SkypeClient();  // quits if running
    SkypeClient(const SkypeClient&) = delete;
    SkypeClient& operator=(const SkypeClient&) = delete;

    // ---- life ----
    // Starts the thread, creates the windows and announces 0x8001; answers once the windows exist. Each
    // start is a fresh Skype (new windows, no calls, not muted, no attached client); the records and the
    // audio devices stay. False when already running or the windows could not be made.
    bool start();
    // Destroys the windows cleanly and ends the thread.
    void quit();
    // Ends the thread at once: the windows vanish without a message to anyone.
    void crash();
    bool restart();  // quit (when running), then start
    bool running() const;

    // ---- windows ----
    HWND apiWindow() const;  // null while not running
    HWND mainWindow() const;
    HWND editField() const;
    DWORD threadId() const;
    bool showMainWindow(MainWindowShow show);
    size_t mainWindowCloseCount() const;  // WM_CLOSE and SC_CLOSE taken (the window hid)
    MainWindowView mainWindowView() const;
    bool setEditText(const std::string& text);
    std::string editText() const;

    // ---- attach ----
    std::vector<HWND> discoveries() const;  // the client windows of every Discover, in order
    std::vector<HWND> attachedClients() const;
    // Answers `client` with the Attach message and `status` now (for example 0 after a pending answer).
    bool answerAttach(HWND client, LPARAM status);

    // ---- calls ----
    int incomingCall(const std::string& name, const std::string& handle = "");  // RINGING; 0: not running
    // The user calls `target` from Skype's own window, whatever else goes on: ROUTING, then the far end
    // rings after the routing delay; it answers only through farEndAnswers. 0: not running.
    int placeCall(const std::string& target);
    bool farEndAnswers(int callId);  // an outgoing call that routes or rings goes INPROGRESS
    bool farEndHangsUp(int callId);  // FINISHED, or MISSED for a ringing incoming call
    std::vector<SkypeCall> calls() const;
    std::optional<SkypeCall> call(int callId) const;

    // ---- settings and buttons ----
    bool muted() const;
    std::string audioOut() const;
    std::string audioIn() const;
    bool hookOff() const;                 // the latest HOOK command was HOOK OFF (reset by each start)
    std::string heldButton() const;       // pressed and not released yet, in upper case; empty: none
    std::string selectedContact() const;  // moved by UP and DOWN; empty: none selected

    // ---- records ----
    std::vector<SkypeCommand> commands() const;
    std::vector<std::string> commandTexts() const;
    std::vector<SkypeNotification> notifications() const;  // texts whose send has returned
    // The records numbered from `from` on, in order, up to the first text still on its way: every number
    // below from + size() has been given and its record is complete.
    std::vector<SkypeRecord> records(uint64_t from = 0) const;
    // The number the next record will get: a mark for what happens outside, which comes before every
    // record numbered from it on.
    uint64_t nextSequence() const;
    // Wait until a command from index `from` on matches; answer its index.
    std::optional<size_t> waitForCommand(const std::string& text, std::chrono::milliseconds timeout,
                                         size_t from = 0) const;
    std::optional<size_t> waitForCommand(const std::function<bool(const SkypeCommand&)>& match,
                                         std::chrono::milliseconds timeout, size_t from = 0) const;
    // Waits until `condition` holds; it runs without the stand-in's lock, every few milliseconds and after
    // every message served, so it may call the accessors above.
    bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) const;

    struct Core;

  private:
    std::shared_ptr<Core> core_;
    std::thread thread_;
};

}  // namespace sim
