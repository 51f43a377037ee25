// The handset model on the virtual USB HID device that the Windows build meets under Wine: the device's two
// drivers only carry reports and plug state, and this side drives them through their link.
//
// Every call of HandsetModel works here as on winsim's bus, with one difference: the host's writes have
// completed by the time the handset sees them, so failWrites() and shortenWrites() only make the handset
// ignore the reports. There is no bus id, device path or read failure to ask for.
#pragma once

#include "handset/handset_model.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace vhandset {
class Link;
}

namespace sim {

class VirtualHandset final : public HandsetModel, private HandsetBus {
  public:
    // The handset on a link of its own; null when the device's drivers are not installed or not running.
    static std::unique_ptr<VirtualHandset> open(HandsetConfig config = {});

    VirtualHandset(std::unique_ptr<vhandset::Link> link, HandsetConfig config = {});
    ~VirtualHandset();  // unplugs the handset, stops taking output reports and stops its device thread

    // Starts the device's arrival (its interface appears on the host a little later); answers whether the
    // drivers took it. Plugging a plugged handset changes nothing.
    bool plug();
    void unplug();

  private:
    void sendInput(const std::vector<uint8_t>& report) override;
    size_t pendingReads() override;
    void takeOff() override;
    void runOutputThread();

    std::unique_ptr<vhandset::Link> link_;
    std::mutex plugMutex_;  // one plug or unplug at a time, so the drivers see them in order
    std::mutex stopMutex_;
    std::condition_variable stopWake_;
    std::atomic<bool> stopping_{false};
    std::thread outputThread_;
};

}  // namespace sim
