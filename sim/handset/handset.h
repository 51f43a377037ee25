// The handset stand-in on winsim's simulated HID bus: the handset model (handset_model.h, which says what
// the handset does with each report) plugged into winsim as a HID device.
//
// Every call of HandsetModel works here as on the virtual device. Only these are winsim's own: plug() with
// its bus id, busId(), devicePath(), failNextRead(), and the config's inputQueueLength.
//
// Plugging and unplugging announce the change with WM_DEVICECHANGE, which is sent to the registered
// windows: their threads must be serving messages meanwhile (or be the calling thread), and that includes an
// unplug done by the device thread for vanishWhenReadPending().
#pragma once

#include "handset/display.h"
#include "handset/handset_model.h"
#include "handset/keypad.h"

#include <windows.h>
#include <winsim/control.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace sim {

class Handset final : public HandsetModel, private HandsetBus {
  public:
    explicit Handset(HandsetConfig config = {});
    ~Handset();  // unplugs the handset and stops its device thread

    // ---- on the bus ----
    // Puts the handset on the bus (a new bus id and device path each time); answers the bus id. Plugging
    // a plugged handset changes nothing.
    winsim::HidDeviceId plug();
    void unplug();
    winsim::HidDeviceId busId() const;  // -1 while unplugged
    std::string devicePath() const;     // of the latest plug

    // ---- faults ----
    // The next read on every open handle fails with `error`.
    void failNextRead(DWORD error = ERROR_GEN_FAILURE);

  private:
    class Port;

    void sendInput(const std::vector<uint8_t>& report) override;
    size_t pendingReads() override;
    void takeOff() override;

    std::shared_ptr<Port> port_;  // what winsim holds; it may outlive the handset
    std::atomic<winsim::HidDeviceId> busId_{-1};
    mutable std::mutex pathMutex_;
    std::string path_;
};

}  // namespace sim
