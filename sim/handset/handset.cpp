// The handset model on winsim's HID bus: plugging with a new device path each time, unplugging, the input
// reports and read failures handed to winsim, and the port that passes winsim's writes to the model.
#include "handset/handset.h"

#include <cstdio>

namespace sim {
namespace {

static_assert(HandsetModel::kGenFailure == ERROR_GEN_FAILURE);

std::atomic<unsigned> nextInstance{1};

}  // namespace

// winsim keeps the device's model until its own reset, and a write that started before an unplug may still
// arrive after it, so the port it holds lets go of the handset when the handset goes. The mutex makes the
// handset's destructor wait for a write in flight.
class Handset::Port final : public winsim::HidDeviceModel {
  public:
    explicit Port(Handset& handset) : handset_(&handset) {}

    void close() {
        std::lock_guard lock(mutex_);
        handset_ = nullptr;
    }

    winsim::HidWriteOutcome onOutputReport(const uint8_t* report, size_t length) override {
        std::lock_guard lock(mutex_);
        if (handset_ == nullptr) return {false, 0, ERROR_DEVICE_NOT_CONNECTED};
        const HandsetWrite write = handset_->outputReport(report, length);
        return {write.ok, static_cast<DWORD>(write.taken), write.error};
    }

    // Before the arrival is announced, so the handset can send as soon as a program opens it.
    void onPlugged(winsim::HidDeviceId id) override {
        std::lock_guard lock(mutex_);
        if (handset_ == nullptr) return;
        handset_->busId_ = id;
        handset_->attach(*handset_);
    }

  private:
    std::mutex mutex_;
    Handset* handset_;
};

Handset::Handset(HandsetConfig config) : HandsetModel(config), port_(std::make_shared<Port>(*this)) {}

Handset::~Handset() {
    unplug();
    stopDevice();
    port_->close();
}

winsim::HidDeviceId Handset::plug() {
    if (plugged()) return busId_;
    const HandsetConfig& c = config();
    winsim::HidDeviceDesc desc;
    char path[128];
    std::snprintf(path, sizeof(path),
                  "\\\\?\\hid#vid_%04x&pid_%04x#8&%x&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}",
                  c.vendorId, c.productId, nextInstance.fetch_add(1));
    desc.path = path;
    desc.vendorId = c.vendorId;
    desc.productId = c.productId;
    desc.inputReportLength = c.inputReportLength;
    desc.outputReportLength = c.outputReportLength;
    desc.inputQueueLength = c.inputQueueLength;
    {
        std::lock_guard lock(pathMutex_);
        path_ = desc.path;
    }
    // Port::onPlugged attaches the model before the arrival is announced.
    return winsim::hidPlug(desc, port_);
}

void Handset::unplug() {
    if (!detach()) return;
    winsim::hidUnplug(busId_.exchange(-1));
}

winsim::HidDeviceId Handset::busId() const {
    return busId_;
}

std::string Handset::devicePath() const {
    std::lock_guard lock(pathMutex_);
    return path_;
}

void Handset::failNextRead(DWORD error) {
    const winsim::HidDeviceId id = busId_;
    if (id >= 0) winsim::hidInputFailure(id, error);
}

// ---- the bus, as the model sees it ----

void Handset::sendInput(const std::vector<uint8_t>& report) {
    // winsim never calls into a device model with its own lock held, so calling it under the model's lock
    // cannot deadlock.
    winsim::hidInputReport(busId_, report);
}

size_t Handset::pendingReads() {
    return winsim::hidPendingReadCount(busId_);
}

void Handset::takeOff() {
    unplug();
}

}  // namespace sim
