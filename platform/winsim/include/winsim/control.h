// winsim's control API: how tests, the stand-ins and the simulator drive the simulated system and read
// what happened in it. Product code never includes this header.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace winsim {

// Puts the whole simulated system back to its state at start: no windows, classes, queues, devices,
// notifications or handles; NT platform; clock following real time. Threads that tests started must have
// ended before this is called.
void reset();

// ---- platform -------------------------------------------------------------------------------------------
// GetVersionExA reports the NT family (true, the default) or the older Windows 95 family (false).
void setNtPlatform(bool nt);

// ---- kernel ---------------------------------------------------------------------------------------------
// Number of kernel handles currently open (events, threads, files, device-information sets), for leak checks.
size_t openHandleCount();

// How often each thread came back from a wait inside winsim (a wait satisfied, timed out, or woken for
// nothing; Sleep too), since the thread first waited. `simulator` marks winsim's own threads (the completion
// of cancelled reads, the playback clock), which are not part of the program under test. `timedWaits` counts
// the waits with a time-out that the thread went into (Sleep too), as each begins: a thread that sits in a
// wait without one wakes only when something it waits for happens.
struct ThreadWakeups {
    DWORD threadId = 0;
    bool simulator = false;
    uint64_t wakeups = 0;
    uint64_t timedWaits = 0;
};
std::vector<ThreadWakeups> threadWakeups();

// Waits until the thread sits blocked in a wait inside winsim (WaitForSingleObject, GetMessageA,
// GetOverlappedResult...): all it did before that wait is done, and it stays there until something wakes it.
// False when the time ran out first.
bool waitUntilBlocked(DWORD threadId, DWORD milliseconds);

// Waits until the thread that owns `window` sits in GetMessageA with nothing sent, posted or due for it:
// everything given to it so far has been handled. False when the window is gone or the time ran out.
bool waitUntilIdle(HWND window, DWORD milliseconds);

// LoadLibraryA of this file name fails with ERROR_MOD_NOT_FOUND, as if the file were not in the program's
// folder.
void setModuleMissing(const char* fileName);

// Makes the calling thread, and the threads it creates from now on, part of another simulated process (the
// program under test is process 1000). Stand-ins for other programs run their threads this way, so
// GetWindowThreadProcessId tells their windows apart from the program's.
void setCurrentProcessId(DWORD processId);

// ---- clock ----------------------------------------------------------------------------------------------
// GetLocalTime and timers read a simulated clock. By default it follows real time; a test can pin it to a
// date and then move it on by hand.
void setLocalTime(const SYSTEMTIME& time);
void advanceClock(DWORD milliseconds);
void followRealTime();

// ---- HID bus --------------------------------------------------------------------------------------------
// What a device does with the output reports written to it. Runs on the writing thread, outside every winsim
// lock, so it may call back into winsim (hidInputReport and so on).
struct HidWriteOutcome {
    bool ok = true;          // false: WriteFile fails with `error`
    DWORD bytesWritten = 0;  // on success, how many bytes the device took (less than asked = a short write)
    DWORD error = ERROR_GEN_FAILURE;
};

using HidDeviceId = int;

// The bus releases its models at reset() with winsim locked: a model's destructor must not call winsim.
class HidDeviceModel {
  public:
    virtual ~HidDeviceModel() = default;
    virtual HidWriteOutcome onOutputReport(const uint8_t* report, size_t length) = 0;
    // hidPlug tells the model its bus id once the device is on the bus and before its arrival is announced,
    // outside every winsim lock, so a device can produce input reports as soon as a program opens it.
    virtual void onPlugged(HidDeviceId) {}
};

struct HidDeviceDesc {
    std::string path;  // device interface path handed out by SetupAPI; unique on the bus
                       // (empty: hidPlug makes one up from the ids)
    USHORT vendorId = 0;
    USHORT productId = 0;
    USHORT versionNumber = 0x0100;
    USHORT inputReportLength = 0;   // HIDP_CAPS.InputReportByteLength
    USHORT outputReportLength = 0;  // HIDP_CAPS.OutputReportByteLength
    bool readWriteAccess = true;  // false: opening for read/write fails with ERROR_ACCESS_DENIED (keyboards)
    bool preparsedDataFails = false;  // HidD_GetPreparsedData fails
    bool capsFail = false;            // HidP_GetCaps answers HIDP_STATUS_INVALID_PREPARSED_DATA
    size_t inputQueueLength = 32;     // reports each open handle keeps while no read is pending
    USHORT usagePage = 0xFF00;        // HIDP_CAPS.UsagePage and Usage of the top-level collection
    USHORT usage = 0x0001;
};

// Adds a device at the end of the interface list and announces its arrival (WM_DEVICECHANGE,
// DBT_DEVICEARRIVAL, sent to every window with an interface notification for the HID class). The model
// may be null: the device then takes every write whole. Answers -1 (and plugs nothing) when the path
// already names a device on the bus. Ids are never reused, not even across reset().
HidDeviceId hidPlug(const HidDeviceDesc& desc, std::shared_ptr<HidDeviceModel> model);

// Removes the device: every pending and later I/O on its handles fails with ERROR_DEVICE_NOT_CONNECTED, then
// DBT_DEVICEREMOVECOMPLETE is sent to the interface registrations and to the handle registrations of its
// open handles. Unknown or already removed ids are ignored.
void hidUnplug(HidDeviceId device);

// The device produces an input report: it completes a pending read on each open handle of the device, or
// waits in that handle's queue (the oldest report is dropped when the queue is full). A report shorter
// than the declared input length completes the read short; a longer one is cut to that length. A device
// that is not on the bus produces nothing.
void hidInputReport(HidDeviceId device, const std::vector<uint8_t>& report);

// The next read on each open handle of the device fails with `error` (a queued failure, in order with the
// reports).
void hidInputFailure(HidDeviceId device, DWORD error);

bool hidPresent(HidDeviceId device);
size_t hidOpenHandleCount(HidDeviceId device);   // handles of this device not yet closed
size_t hidPendingReadCount(HidDeviceId device);  // reads issued and not yet completed (cancelled ones too,
                                                 // until their cancellation has completed)
size_t hidOutstandingPreparsedData();            // HidD_GetPreparsedData results not yet freed
size_t hidOpenDeviceInfoSets();                  // SetupDiGetClassDevsA results not yet destroyed
// Highest interface index that SetupDiEnumDeviceInterfaces was asked for since reset (-1: none).
int hidHighestEnumeratedIndex();
// How long after CancelIo (or the closing of its handle) a cancelled read completes. 0 until changed (until
// reset): it completes inside that call. Longer, it completes afterwards on a thread of winsim's, so a test
// can watch a cancelled read that has not completed yet.
void hidSetCancelDelay(DWORD milliseconds);

// ---- windows and messages -------------------------------------------------------------------------------
// SendMessageTimeoutA with SMTO_ABORTIFHUNG counts a thread as hung when it has not looked at its queue for
// this long while not waiting for input (5000 ms, as on Windows, until changed or reset).
void setHungThreshold(DWORD milliseconds);

// ---- device notifications -------------------------------------------------------------------------------
size_t deviceNotificationCount();  // registrations not yet unregistered
// Until reset, as Wine 8.0 does: handle registrations are accepted but a removal is never sent to them, and
// interface arrivals and removals carry their name in UTF-16 although the window registered as ANSI.
void withholdHandleNotifications(bool withhold);
void sendWideInterfaceNames(bool wide);

// ---- timers, registry, shell, message boxes, multimedia devices (timer.cpp, registry.cpp, shell.cpp, ----
// ---- winmm.cpp) -----------------------------------------------------------------------------------------
// Timers follow the simulated clock: with the clock pinned, advanceClock makes them fall due (and wakes the
// threads waiting for them); a timer has at most one tick waiting, however far the clock moved.
size_t timerCount();  // timers alive, of every window and thread

// Registry paths start at a root: "HKEY_CURRENT_USER\\Software\\Zentary" or "HKCU\\Software\\Zentary" (also
// HKEY_LOCAL_MACHINE / HKLM, HKEY_CLASSES_ROOT / HKCR, HKEY_USERS / HKU). Key and value names ignore case; an
// empty value name is the key's default value. Open keys count in openHandleCount().
struct RegistryValue {
    bool exists = false;
    DWORD type = 0;             // REG_SZ, REG_DWORD, REG_BINARY...
    std::vector<uint8_t> data;  // the bytes as stored: a string's terminator only if the writer gave it
};
// Writes a value, creating the key and the keys above it as needed. registrySetString stores a REG_SZ with
// its terminator.
void registrySetValue(const std::string& keyPath, const std::string& valueName, DWORD type,
                      const std::vector<uint8_t>& data);
void registrySetString(const std::string& keyPath, const std::string& valueName, const std::string& text);
RegistryValue registryGetValue(const std::string& keyPath, const std::string& valueName);
// A REG_SZ or REG_EXPAND_SZ value's text, up to its first NUL; empty when missing or of another type.
std::string registryGetString(const std::string& keyPath, const std::string& valueName);
bool registryKeyExists(const std::string& keyPath);

// Fault injection, until reset: the operation on exactly this key fails with `error` (a Win32 error code).
// Create: RegCreateKeyA/RegCreateKeyExA naming the key (whether or not it exists). Open: RegOpenKeyExA
// naming it. SetValue: RegSetValueExA through any handle to it.
enum class RegistryOperation { Create, Open, SetValue };
void registryRefuse(RegistryOperation operation, const std::string& keyPath,
                    LONG error = ERROR_ACCESS_DENIED);

// Notification area (Shell_NotifyIconA): the icons, in the order they were added. Icons are the HICONs the
// program gave; `flags` tells which of icon, tip and callback message were ever set (NIF_ICON, NIF_TIP,
// NIF_MESSAGE).
struct NotifyIcon {
    HWND owner = nullptr;
    UINT id = 0;
    HICON icon = nullptr;
    std::string tip;
    UINT callbackMessage = 0;
    UINT flags = 0;
};
std::vector<NotifyIcon> notificationArea();
// Every Shell_NotifyIconA call since reset, oldest first, with what it carried and whether it succeeded.
struct NotifyIconCall {
    DWORD message = 0;  // NIM_ADD, NIM_MODIFY, NIM_DELETE...
    HWND owner = nullptr;
    UINT id = 0;
    UINT flags = 0;
    HICON icon = nullptr;
    std::string tip;
    UINT callbackMessage = 0;
    bool succeeded = false;
};
std::vector<NotifyIconCall> notifyIconCalls();
// The shell restarts, as when Explorer is restarted: every icon is forgotten, then the registered message
// "TaskbarCreated" is posted to every top-level window.
void restartShell();
// While refused (until reset), NIM_ADD fails with ERROR_TIMEOUT, as when the shell does not answer.
void refuseNotifyIconAdd(bool refuse);
// The user does something with the mouse on an icon: the shell posts the icon's callback message to its
// owner with wParam = the icon's id and lParam = `mouseMessage` (WM_LBUTTONDBLCLK, WM_RBUTTONUP...). False
// when there is no such icon or it has no callback message.
bool clickNotifyIcon(HWND owner, UINT id, UINT mouseMessage);

// WinExec: every call since reset, oldest first; and what it answers (33 until reset; 31 or less is a
// failure, such as ERROR_FILE_NOT_FOUND).
struct WinExecCall {
    std::string commandLine;
    UINT show = 0;
};
std::vector<WinExecCall> winExecCalls();
void setWinExecResult(UINT result);

// Where GetCursorPos finds the cursor (0, 0 until reset).
void setCursorPosition(LONG x, LONG y);
// The windows that SetForegroundWindow brought to the front since reset, oldest first.
std::vector<HWND> foregroundRequests();

// Message boxes. MessageBoxA stays open, running a message loop on its thread (timers, posted and sent
// messages are handled meanwhile), until it gets an answer: a scripted one, which it takes as it opens and
// delivers like the user's click (after the sent and posted messages already waiting, before timer ticks),
// or one given by answerMessageBox from another thread. Unanswered, it returns IDCANCEL after the time-out
// (10000 ms of real time until changed or reset) and counts as timed out. WM_QUIT closes it with IDOK,
// whatever its buttons, and is posted again for the outer loop, as modal loops do.
struct MessageBoxCall {
    HWND owner = nullptr;
    std::string text;
    std::string caption;
    UINT type = 0;
    bool open = false;      // still on screen
    int result = 0;         // what MessageBoxA returned (0 while open)
    bool timedOut = false;  // nobody answered in time
};
std::vector<MessageBoxCall> messageBoxes();  // every box since reset, oldest first
void scriptMessageBoxAnswer(int answer);  // queued: each box that opens takes the oldest (IDOK, IDCANCEL...)
bool answerMessageBox(int answer);        // answers the newest open box; false when none is open
bool waitForMessageBox(DWORD milliseconds);  // until a box is open (real time); false when none opened
void setMessageBoxTimeout(DWORD milliseconds);

// Multimedia devices: the playback (waveOut) and recording (waveIn) devices, by product name, device 0 first
// (none until set). Names longer than 31 characters are cut, as szPname holds 31 and a NUL. Setting a list
// clears the failures of that list.
void setPlaybackDevices(const std::vector<std::string>& productNames);
void setRecordingDevices(const std::vector<std::string>& productNames);
// The device's capabilities query fails with `error` (an MMSYSERR_ code; 6 is MMSYSERR_NODRIVER).
void failPlaybackDeviceCaps(UINT device, UINT error = 6);
void failRecordingDeviceCaps(UINT device, UINT error = 6);

// ---- resources, menus, dialogs, accelerators (resource.cpp, menu.cpp, dialog.cpp) ----------------------
// (also icon.cpp and accelerator.cpp)
// The program's own resources: the bytes of a compiled resource file (.res), which the build embeds in the
// program and hands over before the program's entry runs (cmake/Resources.cmake). FindResourceA and the
// loaders find them in the program's module (GetModuleHandleA(nullptr), or a null module); no other module
// has resources. The bytes are copied. A later call replaces the set; what was handed out from the earlier
// one stays readable. They belong to the program, not to the simulated system: reset() keeps them. False,
// and nothing replaced, when the bytes are not a well-formed resource file; no bytes at all: no resources.
bool registerProgramResources(const void* data, size_t size);

// What LoadIconA made an icon from: the group icon's resource id in the program (-1 when it was named by a
// string), or the system icon's id (32512 for IDI_APPLICATION...), and the image chosen from the group.
// Unknown handles: known false.
struct IconSource {
    bool known = false;
    bool systemIcon = false;
    int resourceId = -1;
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
};
IconSource iconSource(HICON icon);
int iconResourceId(HICON icon);  // iconSource(icon).resourceId: -1 for a handle LoadIconA did not make

// Popup menus. TrackPopupMenuEx shows nothing: it stays open, running a message loop on its thread (timers,
// posted and sent messages are handled meanwhile), until it gets an answer: a scripted one, which it takes
// as it opens and delivers like the user's click (after the sent and posted messages already waiting,
// before timer ticks), or one given from another thread while it is open. Choosing an item that the menu
// does not offer (no such command, a separator, a popup, a grayed or disabled item) dismisses it. An
// unanswered menu is dismissed after the time-out (10000 ms of real time until changed or reset), as a
// click elsewhere would. WM_QUIT dismisses it and is posted again for the outer loop.
struct PopupMenuCall {
    HMENU menu = nullptr;
    UINT flags = 0;
    int x = 0;
    int y = 0;
    HWND window = nullptr;
    bool hasParams = false;  // a TPMPARAMS was given: its cbSize and exclusion rectangle follow
    UINT paramsSize = 0;
    RECT exclude{};
    bool succeeded = false;  // false: the call failed at once (no such menu or window, a menu already open)
    bool open = false;       // still tracking
    UINT chosen = 0;         // the command chosen; 0 while open or when dismissed
    bool timedOut = false;   // nobody answered in time
};
std::vector<PopupMenuCall> popupMenuCalls();  // every TrackPopupMenuEx since reset, oldest first
void scriptPopupMenuChoice(UINT commandId);   // queued: the next menu that opens chooses this item...
void scriptPopupMenuDismissal();              // ...or is dismissed
bool choosePopupMenuItem(UINT commandId);     // answers the newest open menu; false when none is open
bool dismissPopupMenu();
bool waitForPopupMenu(DWORD milliseconds);  // until a menu is open (real time); false when none opened
void setPopupMenuTimeout(DWORD milliseconds);

// Dialogs: the modal dialogs open now (from DialogBoxParamA until it returns), oldest first.
struct DialogControl {
    HWND window = nullptr;
    WORD id = 0;  // as the template holds it (a control id of -1 is 0xFFFF)
    std::string className;
    DWORD style = 0;
    std::string text;      // the control's text now
    int iconId = -1;       // an icon named by ordinal in the template (SS_ICON statics), else -1
    HICON icon = nullptr;  // that icon as the control loaded it (null if it could not)
    short x = 0, y = 0, cx = 0, cy = 0;  // dialog units
};
struct DialogInfo {
    HWND window = nullptr;
    int templateId = -1;  // the DIALOG resource's id (-1 when named by a string)
    HWND owner = nullptr;
    DWORD style = 0;
    std::string caption;
    std::string fontName;  // DS_SETFONT
    WORD fontPointSize = 0;
    short x = 0, y = 0, cx = 0, cy = 0;   // dialog units
    bool running = false;                 // its modal loop runs (WM_INITDIALOG has been handled)
    std::vector<DialogControl> controls;  // in template order
};
std::vector<DialogInfo> openDialogs();
bool waitForDialog(DWORD milliseconds);  // until a dialog's modal loop runs (real time)

// What the user does to a dialog. Button: a click on the button with that id (WM_COMMAND with BN_CLICKED
// from the button). Enter and Escape: the keys, as the dialog manager handles them (the default push
// button's id or IDOK; IDCANCEL). Close: the close box (WM_SYSCOMMAND SC_CLOSE, which dialogs turn into
// IDCANCEL).
struct DialogInput {
    enum class Kind { Button, Enter, Escape, Close } kind = Kind::Enter;
    int controlId = 0;  // Button only
};
// Delivered by the dialog's own modal loop, on its thread, after the sent and posted messages already
// waiting and before timer ticks. False when `dialog` is not an open dialog, or has no such button.
bool sendDialogInput(HWND dialog, DialogInput input);
// Queued for dialogs yet to come: a modal loop with nothing else to do takes the oldest and delivers it to
// its dialog.
void scriptDialogInput(DialogInput input);

// ---- keystrokes, wave-out playback (input.cpp, waveout.cpp) ---------------------------------------------
// The keystrokes injected with keybd_event since reset (or the last clearKeyboardInput), oldest first.
struct KeyboardInput {
    BYTE virtualKey = 0;
    BYTE scanCode = 0;
    DWORD flags = 0;  // KEYEVENTF_KEYUP, KEYEVENTF_EXTENDEDKEY...
    ULONG_PTR extraInfo = 0;
    DWORD time = 0;      // GetTickCount() when it was injected
    DWORD threadId = 0;  // the injecting thread
};
std::vector<KeyboardInput> keyboardInput();
void clearKeyboardInput();
// Waits (real time) until the log holds at least `count` keystrokes; false when the time ran out first.
bool waitForKeyboardInput(size_t count, DWORD milliseconds);

// Every buffer written with waveOutWrite since reset, in the order written.
enum class PlaybackEnd {
    Pending,      // still queued or playing
    PlayedToEnd,  // played its whole length (every loop) and was returned done
    Reset,        // waveOutReset returned it before its end
};
struct WaveOutPlayback {
    UINT deviceId = 0;  // the device number it was opened on
    WORD formatTag = 0;
    WORD channels = 0;
    DWORD samplesPerSecond = 0;
    DWORD avgBytesPerSecond = 0;
    WORD blockAlign = 0;
    WORD bitsPerSample = 0;
    DWORD bytes = 0;                  // dwBufferLength
    std::vector<uint8_t> firstBytes;  // the first 16 bytes of the samples (all of them when fewer)
    uint64_t hash = 0;                // FNV-1a (64-bit) over all the bytes
    DWORD loops = 1;                  // how often it was to play (0xFFFFFFFF: until reset)
    bool started = false;             // it began to play (a buffer queued behind another may not have)
    DWORD startTime = 0;              // GetTickCount() when it began to play
    DWORD endTime = 0;                // GetTickCount() when it was returned done
    PlaybackEnd end = PlaybackEnd::Pending;
};
std::vector<WaveOutPlayback> waveOutPlaybacks();
// Waits (real time) until at least `count` buffers were written and none of them is pending any more.
bool waitForWaveOutPlaybacks(size_t count, DWORD milliseconds);
size_t openWaveOutCount();  // wave-out handles opened and not yet closed, for leak checks
// Until reset: waveOutOpen on this device fails with `error` (an MMSYSERR_ code; 4 is MMSYSERR_ALLOCATED,
// the device is in use; 0 lets it open again).
void failPlaybackDeviceOpen(UINT device, UINT error = 4);
// Until reset: the device never finishes a buffer, as one that was unplugged: what it plays stays queued,
// and nothing is signalled, until waveOutReset. It takes effect on buffers already playing too.
void stallPlaybackDevice(UINT device, bool stalled = true);

}  // namespace winsim
