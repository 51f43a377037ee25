// Everything the library remembers from one call to the next, in one record: the open handset with its
// connection, its reader, the turn at reading its input reports and the EEPROM answer handed to the read
// waiting for it; the owner window with its callbacks and device notifications; the readers still ending;
// what the poll remembers about keys and the hook. There is one record per process, reached through
// Library() alone.
#pragma once

#include <windows.h>

#include "hid_io.h"
#include "owners.h"
#include "report_protocol.h"
#include "usbphone.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace vocetta {

// One reader thread. Its events are shared with the thread, which holds the record until it returns.
struct Reader {
    owners::HandleOwner thread;
    DWORD threadId = 0;
    owners::HandleOwner stopEvent;
    owners::HandleOwner wakeEvent;
};

// Where the reader hands over an EEPROM answer to the exchange waiting for it. The window is open from the
// moment the request has gone out until the exchange gives up or takes its answer; a class-2 report read
// while it is closed is nobody's answer.
struct EepromMailbox {
    std::mutex exchange;  // one exchange at a time
    std::mutex mutex;
    std::condition_variable arrived;
    bool waiting = false;
    bool filled = false;
    std::array<uint8_t, kEepromBlockSize> block{};
};

// The turn at reading and routing the next input report, which the reader and an EEPROM read share (see
// report_intake.h for how they take turns).
class Intake {
  public:
    // `wake` is set when an exchange asks for the intake while the reader holds it.
    void EnterForReader(HANDLE wake);
    void EnterForExchange();
    void Leave();

  private:
    std::mutex mutex_;
    std::condition_variable free_;
    bool held_ = false;
    int exchangesWaiting_ = 0;
    HANDLE readerWake_ = nullptr;  // while the reader holds the intake
};

// The handset from its opening to its closing: its connection and everything that reads it. Its reader
// reads this connection only, and a handset plugged in again is another record with a reader of its own.
// The device record holds it while it is open; the reader, and an EEPROM read, only while they use it.
struct Handset {
    explicit Handset(std::shared_ptr<HandsetConnection> opened) : connection(std::move(opened)) {}
    Handset(const Handset&) = delete;
    Handset& operator=(const Handset&) = delete;

    const std::shared_ptr<HandsetConnection> connection;
    // Set before the record is shared and never changed; null when its thread could not be started, which
    // leaves the handset open for the commands.
    std::shared_ptr<Reader> reader;
    Intake intake;
    // Key and hook reports read and not yet taken by the reader (an EEPROM read reading on its own thread
    // meets them on its way to the answer). Guarded by the intake.
    std::deque<std::array<uint8_t, kInputReportSize>> keyReports;
    EepromMailbox mailbox;
};

// The handset as the commands see it: its display image and the open handset.
struct HandsetDevice {
    // Guards the display image, the open handset and every output report from building to writing.
    std::mutex mutex;
    LcdImage lcdImage;
    std::shared_ptr<Handset> handset;  // null while no handset is open
    // Reads off hook before a handset was ever opened.
    std::atomic<int32_t> hookStatus{HOOK_OFF};

    std::shared_ptr<Handset> OpenHandset() {
        std::lock_guard<std::mutex> lock(mutex);
        return handset;
    }
};

// Readers told to stop that had not ended within the stop's wait; closing the library waits for them.
struct EndingReaders {
    std::mutex mutex;
    std::vector<std::shared_ptr<Reader>> readers;
};

// The owner window the library stands in front of, what it tells the program, and its device
// notifications. The window thread (its messages) and the program's threads (the exports) both use it.
struct OwnerBinding {
    std::mutex bindMutex;  // one USBPhone_Bind at a time
    std::atomic<HWND> owner{nullptr};
    std::atomic<HWND> subclassed{nullptr};
    std::atomic<WNDPROC> savedProc{nullptr};
    std::atomic<PlugCallback> plugCallback{nullptr};
    // Whether a handset is taken up; only the arrival and removal handlers decide by it.
    std::atomic<bool> handsetOpen{false};
    // Held here as plain handles so either thread can take one away; each is let go through its owner.
    std::atomic<HDEVNOTIFY> interfaceNotification{nullptr};
    std::atomic<HDEVNOTIFY> handleNotification{nullptr};
};

// What the poll keeps between passes.
struct KeyState {
    std::atomic<KeyEventCallback> callback{nullptr};
    // The hook state the poll compares the hook status against; on hook each time the handset is opened.
    std::atomic<int> previousHook{HOOK_ON};
    // The repeat filter's last code. A reader told to stop may still be finishing its poll while the next
    // one starts.
    std::atomic<int> lastReported{KEY_NONE};
};

struct LibraryState {
    HandsetDevice device;
    OwnerBinding binding;
    std::atomic<int> lastError{USBPHONE_ERR_NONE};  // what USBPhone_GetLastError answers next
    EndingReaders ending;
    KeyState keys;
};

LibraryState& Library();

// Closes the open handset, then takes up the first HID interface with the handset's ids that can carry
// reports and starts its reader. The new handset's hook status is not known yet, and the poll compares the
// first one it learns against on hook. Answers whether one was found.
bool FindHandset();
// Stops the open handset's reader and lets go of the handset. A read in progress gives up at once and lets
// go of it then.
void CloseHandset();

}  // namespace vocetta
