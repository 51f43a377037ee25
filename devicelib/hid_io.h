// Finding the handset among the HID interfaces, opening it, moving its reports, and the device
// notifications that say it came or went. Every SetupAPI, HID and device-notification call of the library
// is behind these functions.
#pragma once

#include <windows.h>

#include "owners.h"
#include "report_protocol.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace vocetta {

constexpr USHORT kHandsetVendorId = 1204;
constexpr USHORT kHandsetProductId = 770;
constexpr DWORD kReadTimeoutMs = 100;

// The connection's one read. It is issued once and stays pending, across polls and across the threads that
// take turns reading (the reader, an EEPROM exchange), until a report or a failure completes it: waiting
// for a report never cancels it, so no report is lost to a cancel and no event is made per read. The system
// owns the OVERLAPPED and the buffer while the read is pending.
struct InputRead {
    OVERLAPPED overlapped{};
    owners::HandleOwner completion;  // manual-reset; ReadFile resets it as the read is issued
    bool pending = false;
    std::vector<uint8_t> buffer;
};

// One opened handset: its two handles and its two report buffers. The open handset's record holds it, and
// the device record and the handset's reader hold that, so the handles are closed and the buffers freed only
// when neither can touch them any more.
struct HandsetConnection {
    HandsetConnection() = default;
    HandsetConnection(const HandsetConnection&) = delete;
    HandsetConnection& operator=(const HandsetConnection&) = delete;
    // Closing the read handle ends a pending read; its buffer is freed only once the system is done with it.
    ~HandsetConnection();

    owners::HandleOwner syncHandle;        // writes, and the handle notification
    owners::HandleOwner overlappedHandle;  // reads; empty when it could not be opened
    owners::HandleOwner closing;  // set when the record lets go of it: a wait for a report gives up at once
    std::string path;             // the interface's device path, as the HID interface list gave it
    // The lengths the handset declares, report id included. The buffers are never shorter than the
    // protocol's longest report, so a handset that declares less cannot make us read or write past them.
    USHORT inputReportLength = 0;
    USHORT outputReportLength = 0;
    std::mutex readMutex;  // one reading thread at a time: the reader, or an EEPROM exchange reading itself
    std::unique_ptr<InputRead> read;  // guarded by readMutex
    std::vector<uint8_t> output;      // guarded by HandsetDevice::mutex
};

bool IsNtFamily();

// Searches the HID interfaces 0 to 126 for the first one with these ids that can carry reports, and opens
// it. Null when there is none, or when its events cannot be made; nothing it opened stays open then.
std::shared_ptr<HandsetConnection> OpenHandsetInterface(USHORT vendorId, USHORT productId);

// Writes the connection's output buffer as one report. The caller holds HandsetDevice::mutex. Answers false
// when the handset declares an output report too short for `needed` bytes, or the write fails or is short.
bool WriteOutputReport(HandsetConnection& connection, size_t needed);

enum class ReadOutcome {
    Report,   // a report of the full declared length is in `report`
    Nothing,  // no report: the time ran out, or the read completed with a failure or a short report
    GivenUp,  // one of the `giveUp` events was set, or the handset is being closed; the read stays pending
    Broken,   // the read could not be issued or waited for: the handle no longer works
};

// Events that cut a wait for a report short; null entries are none.
using GiveUpEvents = std::array<HANDLE, 2>;

// Takes the next input report into `report` (zero-padded past what the handset sends), issuing the
// connection's read if none is pending and waiting for it at most `timeoutMs` (INFINITE: until it completes
// or the wait is given up). Only a read that completes with the full declared length is a report. Reads of
// one connection are serialised.
ReadOutcome ReadInputReport(HandsetConnection& connection, const GiveUpEvents& giveUp, DWORD timeoutMs,
                            std::array<uint8_t, kInputReportSize>& report);

// A registration for device notifications, let go with UnregisterDeviceNotification.
struct DeviceNotificationTraits {
    using Handle = HDEVNOTIFY;
    static Handle Empty() { return nullptr; }
    static bool Valid(Handle h) { return h != nullptr; }
    static void Close(Handle h);
};
using DeviceNotificationOwner = owners::Owner<DeviceNotificationTraits>;

// Whether a WM_DEVICECHANGE broadcast (its lParam) is about the connection's handset: the handle
// registration's own (only the connection's handle is registered), or one naming the handset's interface.
// Windows sends both on a removal; Wine 8.0 sends only the second.
bool BroadcastConcerns(LPARAM broadcast, const HandsetConnection& connection);

// Notifications to `window` for events on the connection's handle (its removal).
DeviceNotificationOwner RegisterHandleNotification(HWND window, const HandsetConnection& connection);
// Notifications to `window` for the arrival of any HID interface.
DeviceNotificationOwner RegisterHidInterfaceNotification(HWND window);

}  // namespace vocetta
