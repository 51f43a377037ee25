// The handset stand-in: key and hook reports, output report decoding, EEPROM, faults, and the device
// thread for everything timed.
#include "handset/handset.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>

namespace sim {
namespace {

using Clock = std::chrono::steady_clock;

// Report classes (byte 1) and their sub-commands.
constexpr uint8_t kClassControl = 1;
constexpr uint8_t kClassEeprom = 2;
constexpr uint8_t kClassDisplay = 3;
constexpr uint8_t kControlOther = 0x11;  // "not mine" in the other function's byte of a control report
constexpr uint8_t kControlOn = 0xFF;
constexpr uint8_t kEepromWrite = 1;
constexpr uint8_t kEepromReadRequest = 2;
constexpr uint8_t kEepromReadEnd = 3;
constexpr size_t kEepromBlock = 16;
constexpr size_t kImageOffset = 2;  // display image byte 0 is report byte 2

// How often waitUntil looks at a condition that the handset cannot announce.
constexpr auto kPollInterval = std::chrono::milliseconds(2);

std::atomic<unsigned> nextInstance{1};

}  // namespace

struct Handset::Core final : winsim::HidDeviceModel {
    explicit Core(const HandsetConfig& c) : config(c), eepromAnswerDelay(c.eepromAnswerDelay) {
        eeprom.fill(0xFF);
    }

    const HandsetConfig config;
    mutable std::mutex mutex;
    mutable std::condition_variable changed;  // after every change, for waitUntil
    uint64_t version = 0;                     // counts changes, for waitUntil
    // Only for what the device thread acts on (repeating, EEPROM answers, vanishing, plugging, the end), so
    // the stream of output reports a program writes does not wake it.
    std::condition_variable deviceWake;
    uint64_t deviceVersion = 0;

    winsim::HidDeviceId busId = -1;
    bool plugged = false;
    std::string path;
    bool stop = false;

    uint8_t heldScanCode = 0;
    bool offHook = false;
    Clock::time_point nextRepeat;

    bool ringer = false;
    size_t ringerSwitchedOn = 0;
    bool backlight = false;
    DisplayImage image{};
    std::vector<DisplayImage> shown;  // every image a display report brought, in order
    std::array<uint8_t, 256> eeprom{};
    struct Answer {
        Clock::time_point due;
        Report report;
    };
    std::deque<Answer> eepromAnswers;  // sent in order, each once it is due
    std::chrono::milliseconds eepromAnswerDelay;
    int droppedAnswers = 0;

    std::vector<Report> received;
    std::vector<Report> sent;
    size_t writeAttempts = 0;

    int failingWrites = 0;
    DWORD writeError = ERROR_GEN_FAILURE;
    int shortWrites = 0;
    size_t inputLengthLimit = 0;
    bool vanishArmed = false;

    // Requires `mutex`.
    void changedLocked() {
        ++version;
        changed.notify_all();
    }
    // A change the device thread acts on (requires `mutex`).
    void deviceWorkLocked() {
        ++deviceVersion;
        deviceWake.notify_all();
        changedLocked();
    }

    // Sends an input report from the device (requires `mutex`; winsim never calls into a device model
    // with its own lock held, so taking winsim's lock here cannot deadlock).
    void sendLocked(Report report) {
        if (!plugged) return;
        if (inputLengthLimit > 0 && report.size() > inputLengthLimit) report.resize(inputLengthLimit);
        winsim::hidInputReport(busId, report);
        sent.push_back(std::move(report));
        changedLocked();
    }

    void sendKeyStateLocked() {
        Report report(config.inputReportLength, 0);
        report.resize(std::max<size_t>(report.size(), 4));
        report[1] = kClassControl;
        report[2] = heldScanCode;
        report[3] = offHook ? 1 : 0;
        sendLocked(std::move(report));
    }

    bool repeating() const { return heldScanCode != 0 && config.repeatInterval.count() > 0; }

    void onPlugged(winsim::HidDeviceId id) override {
        std::lock_guard lock(mutex);
        busId = id;
        plugged = true;
        deviceWorkLocked();
    }

    winsim::HidWriteOutcome onOutputReport(const uint8_t* report, size_t length) override {
        std::lock_guard lock(mutex);
        ++writeAttempts;
        changedLocked();
        if (failingWrites != 0) {
            if (failingWrites > 0) --failingWrites;
            return {false, 0, writeError};
        }
        if (shortWrites != 0) {
            if (shortWrites > 0) --shortWrites;
            return {true, static_cast<DWORD>(length > 0 ? length - 1 : 0), ERROR_SUCCESS};
        }
        received.emplace_back(report, report + length);
        decodeLocked(received.back());
        return {true, static_cast<DWORD>(length), ERROR_SUCCESS};
    }

    void decodeLocked(const Report& report) {
        const auto byte = [&](size_t i) -> uint8_t { return i < report.size() ? report[i] : 0; };
        switch (byte(1)) {
            case kClassControl:
                if (byte(3) == kControlOther) {
                    ringer = byte(2) == kControlOn;
                    if (ringer) ++ringerSwitchedOn;
                }
                if (byte(2) == kControlOther) backlight = byte(3) == kControlOn;
                break;
            case kClassEeprom:
                switch (byte(2)) {
                    case kEepromWrite: eeprom[byte(3)] = byte(5); break;
                    case kEepromReadRequest: queueEepromAnswerLocked(byte(3)); break;
                    case kEepromReadEnd: break;  // nothing to undo: the answer was a single report
                    default: break;
                }
                break;
            case kClassDisplay:
                for (size_t cell = 0; cell < image.size(); ++cell) image[cell] = byte(kImageOffset + cell);
                shown.push_back(image);
                break;
            default: break;
        }
    }

    void queueEepromAnswerLocked(uint8_t start) {
        if (droppedAnswers != 0) {
            if (droppedAnswers > 0) --droppedAnswers;
            return;
        }
        Report answer(std::max<size_t>(config.inputReportLength, 2 + kEepromBlock), 0);
        answer[1] = kClassEeprom;
        for (size_t i = 0; i < kEepromBlock; ++i) {
            const size_t address = start + i;
            answer[2 + i] = address < eeprom.size() ? eeprom[address] : 0xFF;
        }
        eepromAnswers.push_back({Clock::now() + eepromAnswerDelay, std::move(answer)});
        deviceWorkLocked();
    }
};

Handset::Handset(HandsetConfig config) : core_(std::make_shared<Core>(config)) {
    deviceThread_ = std::thread([this] { runDeviceThread(); });
}

Handset::~Handset() {
    unplug();
    {
        std::lock_guard lock(core_->mutex);
        core_->stop = true;
        core_->deviceWorkLocked();
    }
    deviceThread_.join();
}

void Handset::runDeviceThread() {
    Core& c = *core_;
    std::unique_lock lock(c.mutex);
    while (!c.stop) {
        const auto now = Clock::now();
        if (c.repeating() && now >= c.nextRepeat) {
            c.sendKeyStateLocked();
            c.nextRepeat += c.config.repeatInterval;
            if (c.nextRepeat <= now) c.nextRepeat = now + c.config.repeatInterval;
        }
        while (!c.eepromAnswers.empty() && c.eepromAnswers.front().due <= now) {
            c.sendLocked(std::move(c.eepromAnswers.front().report));
            c.eepromAnswers.pop_front();
        }
        if (c.vanishArmed && c.plugged && winsim::hidPendingReadCount(c.busId) > 0) {
            c.vanishArmed = false;
            lock.unlock();
            unplug();
            lock.lock();
            continue;
        }

        auto wake = Clock::time_point::max();
        if (c.repeating()) wake = std::min(wake, c.nextRepeat);
        if (!c.eepromAnswers.empty()) wake = std::min(wake, c.eepromAnswers.front().due);
        if (c.vanishArmed) wake = std::min(wake, now + std::chrono::milliseconds(1));
        const uint64_t seen = c.deviceVersion;
        const auto woken = [&] { return c.stop || c.deviceVersion != seen; };
        if (wake == Clock::time_point::max()) {
            c.deviceWake.wait(lock, woken);
        } else {
            c.deviceWake.wait_until(lock, wake, woken);
        }
    }
}

// ---- on the bus ----

winsim::HidDeviceId Handset::plug() {
    winsim::HidDeviceDesc desc;
    {
        std::lock_guard lock(core_->mutex);
        if (core_->plugged) return core_->busId;
        char path[128];
        std::snprintf(path, sizeof(path),
                      "\\\\?\\hid#vid_%04x&pid_%04x#8&%x&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}",
                      core_->config.vendorId, core_->config.productId, nextInstance.fetch_add(1));
        core_->path = path;
        desc.path = path;
    }
    desc.vendorId = core_->config.vendorId;
    desc.productId = core_->config.productId;
    desc.inputReportLength = core_->config.inputReportLength;
    desc.outputReportLength = core_->config.outputReportLength;
    desc.inputQueueLength = core_->config.inputQueueLength;
    // Core::onPlugged records the id before the arrival is announced.
    return winsim::hidPlug(desc, core_);
}

void Handset::unplug() {
    winsim::HidDeviceId id;
    {
        std::lock_guard lock(core_->mutex);
        if (!core_->plugged) return;
        id = core_->busId;
        core_->plugged = false;
        core_->busId = -1;
        core_->eepromAnswers.clear();
        core_->deviceWorkLocked();
    }
    winsim::hidUnplug(id);
}

bool Handset::plugged() const {
    std::lock_guard lock(core_->mutex);
    return core_->plugged;
}

winsim::HidDeviceId Handset::busId() const {
    std::lock_guard lock(core_->mutex);
    return core_->busId;
}

std::string Handset::devicePath() const {
    std::lock_guard lock(core_->mutex);
    return core_->path;
}

const HandsetConfig& Handset::config() const {
    return core_->config;
}

// ---- keypad and hook switch ----

void Handset::press(Key key) {
    pressScanCode(scanCode(key));
}

void Handset::pressScanCode(uint8_t code) {
    std::lock_guard lock(core_->mutex);
    core_->heldScanCode = code;
    core_->nextRepeat = Clock::now() + core_->config.repeatInterval;
    core_->sendKeyStateLocked();
    core_->deviceWorkLocked();  // the device thread starts or stops repeating
}

void Handset::release() {
    pressScanCode(0);
}

void Handset::setOffHook(bool offHook) {
    std::lock_guard lock(core_->mutex);
    core_->offHook = offHook;
    core_->sendKeyStateLocked();
}

bool Handset::offHook() const {
    std::lock_guard lock(core_->mutex);
    return core_->offHook;
}

void Handset::sendInputReport(const Report& report) {
    std::lock_guard lock(core_->mutex);
    core_->sendLocked(report);
}

// ---- what the handset shows ----

size_t Handset::ringerSwitchedOnCount() const {
    std::lock_guard lock(core_->mutex);
    return core_->ringerSwitchedOn;
}

bool Handset::ringer() const {
    std::lock_guard lock(core_->mutex);
    return core_->ringer;
}

bool Handset::backlight() const {
    std::lock_guard lock(core_->mutex);
    return core_->backlight;
}

DisplayImage Handset::image() const {
    std::lock_guard lock(core_->mutex);
    return core_->image;
}

std::vector<DisplayImage> Handset::shownImages(size_t from) const {
    std::lock_guard lock(core_->mutex);
    const auto& shown = core_->shown;
    return {shown.begin() + static_cast<long>(std::min(from, shown.size())), shown.end()};
}

size_t Handset::shownImageCount() const {
    std::lock_guard lock(core_->mutex);
    return core_->shown.size();
}

DisplayReading Handset::display() const {
    return readDisplay(image());
}

std::string Handset::rendering() const {
    return renderDisplay(display());
}

// ---- logs ----

std::vector<Handset::Report> Handset::receivedReports() const {
    std::lock_guard lock(core_->mutex);
    return core_->received;
}

size_t Handset::receivedCount() const {
    std::lock_guard lock(core_->mutex);
    return core_->received.size();
}

size_t Handset::writeAttempts() const {
    std::lock_guard lock(core_->mutex);
    return core_->writeAttempts;
}

std::vector<Handset::Report> Handset::sentReports() const {
    std::lock_guard lock(core_->mutex);
    return core_->sent;
}

size_t Handset::sentCount() const {
    std::lock_guard lock(core_->mutex);
    return core_->sent.size();
}

// ---- EEPROM ----

uint8_t Handset::eeprom(uint8_t address) const {
    std::lock_guard lock(core_->mutex);
    return core_->eeprom[address];
}

void Handset::setEeprom(uint8_t address, uint8_t value) {
    std::lock_guard lock(core_->mutex);
    core_->eeprom[address] = value;
    core_->changedLocked();
}

std::array<uint8_t, 256> Handset::eepromContents() const {
    std::lock_guard lock(core_->mutex);
    return core_->eeprom;
}

// ---- waits ----

bool Handset::waitForReports(size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(core_->mutex);
    return core_->changed.wait_for(lock, timeout, [&] { return core_->received.size() >= count; });
}

bool Handset::waitForSent(size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(core_->mutex);
    return core_->changed.wait_for(lock, timeout, [&] { return core_->sent.size() >= count; });
}

bool Handset::waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) const {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        uint64_t seen;
        {
            std::lock_guard lock(core_->mutex);
            seen = core_->version;
        }
        if (condition()) return true;
        const auto now = Clock::now();
        if (now >= deadline) return false;
        std::unique_lock lock(core_->mutex);
        core_->changed.wait_until(lock, std::min(deadline, now + kPollInterval),
                                  [&] { return core_->version != seen; });
    }
}

// ---- faults ----

void Handset::failWrites(int count, DWORD error) {
    std::lock_guard lock(core_->mutex);
    core_->failingWrites = count;
    core_->writeError = error;
}

void Handset::shortenWrites(int count) {
    std::lock_guard lock(core_->mutex);
    core_->shortWrites = count;
}

void Handset::failNextRead(DWORD error) {
    std::lock_guard lock(core_->mutex);
    if (core_->plugged) winsim::hidInputFailure(core_->busId, error);
}

void Handset::shortenInputReports(size_t length) {
    std::lock_guard lock(core_->mutex);
    core_->inputLengthLimit = length;
}

void Handset::vanishWhenReadPending() {
    std::lock_guard lock(core_->mutex);
    core_->vanishArmed = true;
    core_->deviceWorkLocked();
}

void Handset::setEepromAnswerDelay(std::chrono::milliseconds delay) {
    std::lock_guard lock(core_->mutex);
    core_->eepromAnswerDelay = delay;
}

void Handset::dropEepromAnswers(int count) {
    std::lock_guard lock(core_->mutex);
    core_->droppedAnswers = count;
}

}  // namespace sim
