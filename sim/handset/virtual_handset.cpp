// The handset model on the virtual device: plug state and input reports go to the drivers through the link,
// and a thread of its own takes the output reports the host wrote and hands them to the model.
#include "handset/virtual_handset.h"

#include "virtual_handset/link/virtual_handset_link.h"

#include <algorithm>
#include <chrono>

namespace sim {
namespace {

using Clock = std::chrono::steady_clock;

// How long one wait for an output report lasts: the thread looks for the end at least this often, even if
// a release went astray.
constexpr DWORD kTakeTimeoutMs = 250;
// A link that has failed answers at once; the thread then waits this long before asking again rather than
// spinning on it.
constexpr auto kFailedLinkPause = std::chrono::milliseconds(50);

}  // namespace

std::unique_ptr<VirtualHandset> VirtualHandset::open(HandsetConfig config) {
    std::unique_ptr<vhandset::Link> link = vhandset::Link::Open();
    if (!link) return nullptr;
    return std::make_unique<VirtualHandset>(std::move(link), config);
}

VirtualHandset::VirtualHandset(std::unique_ptr<vhandset::Link> link, HandsetConfig config)
    : HandsetModel(config), link_(std::move(link)) {
    outputThread_ = std::thread([this] { runOutputThread(); });
}

VirtualHandset::~VirtualHandset() {
    unplug();
    {
        std::lock_guard lock(stopMutex_);
        stopping_ = true;
    }
    stopWake_.notify_all();
    link_->Release();
    outputThread_.join();
    stopDevice();
}

bool VirtualHandset::plug() {
    std::lock_guard lock(plugMutex_);
    if (plugged()) return true;
    const HandsetConfig& c = config();
    vhandset::DeviceShape shape;
    shape.vendorId = c.vendorId;
    shape.productId = c.productId;
    shape.inputReportLength = c.inputReportLength;
    shape.outputReportLength = c.outputReportLength;
    if (!link_->Plug(shape)) return false;
    attach(*this);
    return true;
}

void VirtualHandset::unplug() {
    std::lock_guard lock(plugMutex_);
    if (!detach()) return;
    link_->Unplug();
}

void VirtualHandset::runOutputThread() {
    std::vector<uint8_t> report;
    while (!stopping_) {
        const auto asked = Clock::now();
        if (link_->TakeOutput(report, kTakeTimeoutMs)) {
            // The host's write has completed already: what the handset makes of it changes nothing there.
            outputReport(report.data(), report.size());
            continue;
        }
        if (Clock::now() - asked < std::chrono::milliseconds(kTakeTimeoutMs) / 2) {
            std::unique_lock lock(stopMutex_);
            stopWake_.wait_for(lock, kFailedLinkPause, [&] { return stopping_.load(); });
        }
    }
}

// ---- the bus, as the model sees it ----

void VirtualHandset::sendInput(const std::vector<uint8_t>& report) {
    // A report the drivers refuse is lost, as on a device whose host stopped listening.
    link_->SendInput(report.data(), report.size());
}

size_t VirtualHandset::pendingReads() {
    return static_cast<size_t>(std::max(0, link_->PendingReads()));
}

void VirtualHandset::takeOff() {
    unplug();
}

}  // namespace sim
