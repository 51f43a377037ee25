// The handset model: key and hook reports, output report decoding, EEPROM, faults, and the device thread
// for everything timed.
#include "handset/handset_model.h"

#include <algorithm>
#include <condition_variable>
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

}  // namespace

struct HandsetModel::State {
    explicit State(const HandsetConfig& c) : config(c), eepromAnswerDelay(c.eepromAnswerDelay) {
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

    HandsetBus* bus = nullptr;  // while attached
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
    uint32_t writeError = kGenFailure;
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

    // Sends an input report from the device (requires `mutex`, which keeps the bus's order the model's).
    void sendLocked(Report report) {
        if (bus == nullptr) return;
        if (inputLengthLimit > 0 && report.size() > inputLengthLimit) report.resize(inputLengthLimit);
        bus->sendInput(report);
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

HandsetModel::HandsetModel(HandsetConfig config) : state_(std::make_unique<State>(config)) {
    deviceThread_ = std::thread([this] { runDeviceThread(); });
}

HandsetModel::~HandsetModel() {
    stopDevice();
}

void HandsetModel::stopDevice() {
    {
        std::lock_guard lock(state_->mutex);
        state_->stop = true;
        state_->deviceWorkLocked();
    }
    if (deviceThread_.joinable()) deviceThread_.join();
}

void HandsetModel::runDeviceThread() {
    State& s = *state_;
    std::unique_lock lock(s.mutex);
    while (!s.stop) {
        const auto now = Clock::now();
        if (s.repeating() && now >= s.nextRepeat) {
            s.sendKeyStateLocked();
            s.nextRepeat += s.config.repeatInterval;
            if (s.nextRepeat <= now) s.nextRepeat = now + s.config.repeatInterval;
        }
        while (!s.eepromAnswers.empty() && s.eepromAnswers.front().due <= now) {
            s.sendLocked(std::move(s.eepromAnswers.front().report));
            s.eepromAnswers.pop_front();
        }
        if (s.vanishArmed && s.bus != nullptr && s.bus->pendingReads() > 0) {
            s.vanishArmed = false;
            HandsetBus* bus = s.bus;
            lock.unlock();
            bus->takeOff();
            lock.lock();
            continue;
        }

        auto wake = Clock::time_point::max();
        if (s.repeating()) wake = std::min(wake, s.nextRepeat);
        if (!s.eepromAnswers.empty()) wake = std::min(wake, s.eepromAnswers.front().due);
        if (s.vanishArmed) wake = std::min(wake, now + std::chrono::milliseconds(1));
        const uint64_t seen = s.deviceVersion;
        const auto woken = [&] { return s.stop || s.deviceVersion != seen; };
        if (wake == Clock::time_point::max()) {
            s.deviceWake.wait(lock, woken);
        } else {
            s.deviceWake.wait_until(lock, wake, woken);
        }
    }
}

// ---- the bus's side ----

void HandsetModel::attach(HandsetBus& bus) {
    std::lock_guard lock(state_->mutex);
    state_->bus = &bus;
    state_->deviceWorkLocked();
}

bool HandsetModel::detach() {
    std::lock_guard lock(state_->mutex);
    if (state_->bus == nullptr) return false;
    state_->bus = nullptr;
    state_->eepromAnswers.clear();
    state_->deviceWorkLocked();
    return true;
}

HandsetWrite HandsetModel::outputReport(const uint8_t* report, size_t length) {
    State& s = *state_;
    std::lock_guard lock(s.mutex);
    ++s.writeAttempts;
    s.changedLocked();
    if (s.failingWrites != 0) {
        if (s.failingWrites > 0) --s.failingWrites;
        return {false, 0, s.writeError};
    }
    if (s.shortWrites != 0) {
        if (s.shortWrites > 0) --s.shortWrites;
        return {true, length > 0 ? length - 1 : 0, 0};
    }
    s.received.emplace_back(report, report + length);
    s.decodeLocked(s.received.back());
    return {true, length, 0};
}

bool HandsetModel::plugged() const {
    std::lock_guard lock(state_->mutex);
    return state_->bus != nullptr;
}

const HandsetConfig& HandsetModel::config() const {
    return state_->config;
}

// ---- keypad and hook switch ----

void HandsetModel::press(Key key) {
    pressScanCode(scanCode(key));
}

void HandsetModel::pressScanCode(uint8_t code) {
    std::lock_guard lock(state_->mutex);
    state_->heldScanCode = code;
    state_->nextRepeat = Clock::now() + state_->config.repeatInterval;
    state_->sendKeyStateLocked();
    state_->deviceWorkLocked();  // the device thread starts or stops repeating
}

void HandsetModel::release() {
    pressScanCode(0);
}

void HandsetModel::setOffHook(bool offHook) {
    std::lock_guard lock(state_->mutex);
    state_->offHook = offHook;
    state_->sendKeyStateLocked();
}

bool HandsetModel::offHook() const {
    std::lock_guard lock(state_->mutex);
    return state_->offHook;
}

void HandsetModel::sendInputReport(const Report& report) {
    std::lock_guard lock(state_->mutex);
    state_->sendLocked(report);
}

// ---- what the handset shows ----

size_t HandsetModel::ringerSwitchedOnCount() const {
    std::lock_guard lock(state_->mutex);
    return state_->ringerSwitchedOn;
}

bool HandsetModel::ringer() const {
    std::lock_guard lock(state_->mutex);
    return state_->ringer;
}

bool HandsetModel::backlight() const {
    std::lock_guard lock(state_->mutex);
    return state_->backlight;
}

DisplayImage HandsetModel::image() const {
    std::lock_guard lock(state_->mutex);
    return state_->image;
}

std::vector<DisplayImage> HandsetModel::shownImages(size_t from) const {
    std::lock_guard lock(state_->mutex);
    const auto& shown = state_->shown;
    return {shown.begin() + static_cast<std::ptrdiff_t>(std::min(from, shown.size())), shown.end()};
}

size_t HandsetModel::shownImageCount() const {
    std::lock_guard lock(state_->mutex);
    return state_->shown.size();
}

DisplayReading HandsetModel::display() const {
    return readDisplay(image());
}

std::string HandsetModel::rendering() const {
    return renderDisplay(display());
}

// ---- logs ----

std::vector<HandsetModel::Report> HandsetModel::receivedReports() const {
    std::lock_guard lock(state_->mutex);
    return state_->received;
}

size_t HandsetModel::receivedCount() const {
    std::lock_guard lock(state_->mutex);
    return state_->received.size();
}

size_t HandsetModel::writeAttempts() const {
    std::lock_guard lock(state_->mutex);
    return state_->writeAttempts;
}

std::vector<HandsetModel::Report> HandsetModel::sentReports() const {
    std::lock_guard lock(state_->mutex);
    return state_->sent;
}

size_t HandsetModel::sentCount() const {
    std::lock_guard lock(state_->mutex);
    return state_->sent.size();
}

// ---- EEPROM ----

uint8_t HandsetModel::eeprom(uint8_t address) const {
    std::lock_guard lock(state_->mutex);
    return state_->eeprom[address];
}

void HandsetModel::setEeprom(uint8_t address, uint8_t value) {
    std::lock_guard lock(state_->mutex);
    state_->eeprom[address] = value;
    state_->changedLocked();
}

std::array<uint8_t, 256> HandsetModel::eepromContents() const {
    std::lock_guard lock(state_->mutex);
    return state_->eeprom;
}

// ---- waits ----

bool HandsetModel::waitForReports(size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(state_->mutex);
    return state_->changed.wait_for(lock, timeout, [&] { return state_->received.size() >= count; });
}

bool HandsetModel::waitForSent(size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(state_->mutex);
    return state_->changed.wait_for(lock, timeout, [&] { return state_->sent.size() >= count; });
}

bool HandsetModel::waitUntil(const std::function<bool()>& condition,
                             std::chrono::milliseconds timeout) const {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        uint64_t seen;
        {
            std::lock_guard lock(state_->mutex);
            seen = state_->version;
        }
        if (condition()) return true;
        const auto now = Clock::now();
        if (now >= deadline) return false;
        std::unique_lock lock(state_->mutex);
        state_->changed.wait_until(lock, std::min(deadline, now + kPollInterval),
                                   [&] { return state_->version != seen; });
    }
}

// ---- faults ----

void HandsetModel::failWrites(int count, uint32_t error) {
    std::lock_guard lock(state_->mutex);
    state_->failingWrites = count;
    state_->writeError = error;
}

void HandsetModel::shortenWrites(int count) {
    std::lock_guard lock(state_->mutex);
    state_->shortWrites = count;
}

void HandsetModel::shortenInputReports(size_t length) {
    std::lock_guard lock(state_->mutex);
    state_->inputLengthLimit = length;
}

void HandsetModel::vanishWhenReadPending() {
    std::lock_guard lock(state_->mutex);
    state_->vanishArmed = true;
    state_->deviceWorkLocked();
}

void HandsetModel::setEepromAnswerDelay(std::chrono::milliseconds delay) {
    std::lock_guard lock(state_->mutex);
    state_->eepromAnswerDelay = delay;
}

void HandsetModel::dropEepromAnswers(int count) {
    std::lock_guard lock(state_->mutex);
    state_->droppedAnswers = count;
}

}  // namespace sim
