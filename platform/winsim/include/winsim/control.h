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
// How long after CancelIo (or the closing of its handle) a cancelled read completes: 1 ms unless changed
// (until reset), so a test can watch a cancelled read that has not completed yet.
void hidSetCancelDelay(DWORD milliseconds);

// ---- windows and messages -------------------------------------------------------------------------------
// SendMessageTimeoutA with SMTO_ABORTIFHUNG counts a thread as hung when it has not looked at its queue for
// this long while not waiting for input (5000 ms, as on Windows, until changed or reset).
void setHungThreshold(DWORD milliseconds);

// ---- device notifications -------------------------------------------------------------------------------
size_t deviceNotificationCount();  // registrations not yet unregistered

}  // namespace winsim
