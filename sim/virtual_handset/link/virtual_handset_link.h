// sim/virtual_handset/link/virtual_handset_link.h
#pragma once
#include <windows.h>
#include <cstdint>
#include <memory>
#include <vector>
namespace vhandset {
struct DeviceShape {
    uint16_t vendorId = 1204;
    uint16_t productId = 770;
    uint16_t inputReportLength = 18;  // as programs see them: report id byte included
    uint16_t outputReportLength = 34;
};
// What the bus reports about itself (see Link::QueryStatus).
struct BusStatus {
    bool plugged = false;
    int pendingReads = 0;
    int queuedInputs = 0;    // input reports waiting for the host to read
    int queuedOutputs = 0;   // output reports waiting for TakeOutput
    int droppedOutputs = 0;  // output reports lost to a full queue since the bus started
    int plugCount = 0;       // handsets plugged in since the bus started
};
// A test's side of the virtual handset: plugs it in and out of Wine's (or Windows') HID stack through the
// bus driver's control device, sends its input reports and takes the output reports the host wrote.
class Link {
  public:
    // Opens the control device; null when the drivers are not installed or not running.
    static std::unique_ptr<Link> Open();
    // The same, waiting up to boundMs for the control device to appear: the bus starts with the Wine
    // prefix's services, a moment after the first program, and again whenever Wine has stopped.
    static std::unique_ptr<Link> Open(DWORD boundMs);
    ~Link();  // releases a waiting TakeOutput, closes the control device
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;
    // Plug fails while a handset is plugged in. Straight after an Unplug it retries for a few seconds
    // while the system finishes removing the last handset. Output reports nobody took from the last
    // handset are dropped: TakeOutput then returns only what the host writes to the new one.
    bool Plug(const DeviceShape& shape);  // starts the arrival; the interface appears asynchronously
    bool Unplug();
    // One input report as programs read it, report id byte first (byte 0 is dropped on the way down).
    bool SendInput(const uint8_t* report, size_t length);
    // Waits at most timeoutMs for the next output report the host wrote, returned as programs wrote it
    // (report id byte 0 first). False on time-out, on Release(), or when the link fails.
    bool TakeOutput(std::vector<uint8_t>& report, DWORD timeoutMs);
    void Release();  // makes a TakeOutput waiting on another thread return false now, and later ones too
    // HID reads pending in the device (hidclass keeps one pending while the device is open).
    int PendingReads();
    // Everything the bus counts; false when the control device does not answer.
    bool QueryStatus(BusStatus& status);
    // The Windows error of the last call that failed on this thread.
    static DWORD LastError();

  private:
    struct State;
    explicit Link(std::unique_ptr<State> state);
    // One request on the control device, waited for.
    bool Request(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize);

    std::unique_ptr<State> state_;
};
}  // namespace vhandset
