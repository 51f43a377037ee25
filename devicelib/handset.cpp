#include "handset.h"

#include "hid_io.h"
#include "reader.h"
#include "report_protocol.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>

namespace vocetta {
namespace {

constexpr DWORD kEepromAnswerDelayMs = 300;
constexpr int kHookOn = 1;
constexpr int kHookOff = 0;

std::atomic<KeyEventCallback> keyCallback{nullptr};
std::atomic<int> previousHookState{kHookOn};
// A reader told to stop may still be finishing its poll while the next one starts.
std::atomic<int> lastReportedCode{KEY_NONE};

// Where the reader hands over an EEPROM answer to the exchange waiting for it.
struct EepromMailbox {
    std::mutex exchange;  // one exchange at a time
    std::mutex mutex;
    std::condition_variable arrived;
    bool waiting = false;
    bool filled = false;
    std::array<uint8_t, kEepromBlockSize> block{};
};

EepromMailbox& Mailbox() {
    static EepromMailbox mailbox;
    return mailbox;
}

// Offers a class-2 report to a waiting exchange. Answers whether one took it. A report too short to carry
// a whole block is no answer.
bool HandOverEepromAnswer(const std::array<uint8_t, kInputReportSize>& report, size_t length) {
    if (length < kEepromAnswerSize) return false;
    EepromMailbox& mailbox = Mailbox();
    std::lock_guard<std::mutex> lock(mailbox.mutex);
    if (!mailbox.waiting || mailbox.filled) return false;
    std::memcpy(mailbox.block.data(), report.data() + 2, kEepromBlockSize);
    mailbox.filled = true;
    mailbox.arrived.notify_all();
    return true;
}

// Builds one output report with `build` and writes it, all under the device lock.
template <class Build>
bool SendReport(size_t needed, Build build) {
    HandsetDevice& device = Device();
    std::lock_guard<std::mutex> lock(device.mutex);
    if (!device.connection) return false;
    build(device.connection->output.data());
    return WriteOutputReport(*device.connection, needed);
}

// The code of this poll: a pending hook change first, else the key of one input report.
int NextCode(HANDLE stopEvent) {
    HandsetDevice& device = Device();
    const int hook = device.hookStatus;
    if (hook != -1) {
        if (hook == kHookOn && previousHookState == kHookOff) {
            previousHookState = kHookOn;
            return KEY_ON_HOOK;
        }
        if (hook != kHookOn && previousHookState != kHookOff) {
            previousHookState = kHookOff;
            return KEY_OFF_HOOK;
        }
    }
    auto connection = device.CurrentConnection();
    std::array<uint8_t, kInputReportSize> report{};
    const size_t length = connection ? ReadInputReport(*connection, stopEvent, kReadTimeoutMs, report) : 0;
    if (length == 0) return KEY_NONE;
    if (report[1] == REPORT_EEPROM) {
        HandOverEepromAnswer(report, length);
        return KEY_NONE;
    }
    if (report[1] != REPORT_CONTROL) return KEY_NONE;
    device.hookStatus = report[3] == 0 ? kHookOn : kHookOff;
    return KeyCodeForScanCode(report[2]);
}

}  // namespace

void SetKeyCallback(KeyEventCallback callback) {
    keyCallback = callback;
}
bool KeyCallbackBound() {
    return keyCallback.load() != nullptr;
}
void ResetPreviousHookState() {
    previousHookState = kHookOn;
}

void PollOnce(HANDLE stopEvent) {
    const KeyEventCallback callback = keyCallback;
    if (callback == nullptr) return;
    const int code = NextCode(stopEvent);
    // A held key repeats its report: only a change reaches the caller. A poll without a key (no report,
    // or scan code 0) re-arms the filter.
    if (code != KEY_NONE && code == lastReportedCode) return;
    lastReportedCode = code;
    // A reader told to stop (the handset was pulled out, or the library is closing) delivers nothing more.
    if (code != KEY_NONE && WaitForSingleObject(stopEvent, 0) != WAIT_OBJECT_0) callback(code);
}

bool SendRinger(bool on) {
    return SendReport(kControlReportSize, [on](uint8_t* r) { BuildRingerReport(r, on); });
}

bool SendBacklight(bool on) {
    return SendReport(kControlReportSize, [on](uint8_t* r) { BuildBacklightReport(r, on); });
}

bool SendEepromWrite(uint8_t deviceAddress, uint8_t data) {
    return SendReport(kEepromWriteReportSize,
                      [=](uint8_t* r) { BuildEepromWriteReport(r, deviceAddress, data); });
}

bool ReadEepromBlock(uint8_t blockStart, uint8_t* destination) {
    EepromMailbox& mailbox = Mailbox();
    std::lock_guard<std::mutex> exchange(mailbox.exchange);
    {
        std::lock_guard<std::mutex> lock(mailbox.mutex);
        mailbox.waiting = true;
        mailbox.filled = false;
    }
    auto finish = [&mailbox](bool ok) {
        std::lock_guard<std::mutex> lock(mailbox.mutex);
        mailbox.waiting = false;
        return ok;
    };
    if (!SendReport(kEepromRequestReportSize, [=](uint8_t* r) { BuildEepromReadRequest(r, blockStart); })) {
        return finish(false);
    }
    Sleep(kEepromAnswerDelayMs);

    // The running reader takes up every input report and hands the answer over; without one, or when this is
    // the reader's own thread (a key callback reading the EEPROM), read it here.
    bool answered;
    if (ReaderTakesReports()) {
        std::unique_lock<std::mutex> lock(mailbox.mutex);
        answered = mailbox.arrived.wait_for(lock, std::chrono::milliseconds(kReadTimeoutMs),
                                            [&mailbox] { return mailbox.filled; });
    } else {
        {
            std::lock_guard<std::mutex> lock(mailbox.mutex);
            answered = mailbox.filled;
        }
        std::array<uint8_t, kInputReportSize> report{};
        auto connection = Device().CurrentConnection();
        if (!answered && connection) {
            const size_t length = ReadInputReport(*connection, nullptr, kReadTimeoutMs, report);
            answered = length > 0 && report[1] == REPORT_EEPROM && HandOverEepromAnswer(report, length);
        }
    }
    if (answered) {
        std::lock_guard<std::mutex> lock(mailbox.mutex);
        std::memcpy(destination, mailbox.block.data(), kEepromBlockSize);
    }
    SendReport(kEepromEndReportSize, [](uint8_t* r) { BuildEepromReadEnd(r); });
    return finish(answered);
}

void RunDisplayCommand(int mode, bool iconOn, int barLevel, const char* text, bool showClock) {
    ClockReading clock;
    if (mode == LCD_CLOCK && showClock) {
        SYSTEMTIME now;
        GetLocalTime(&now);
        clock = {now.wMonth, now.wDay, now.wDayOfWeek, now.wHour, now.wMinute};
    }
    HandsetDevice& device = Device();
    std::lock_guard<std::mutex> lock(device.mutex);
    if (!device.lcdImage.Apply(mode, iconOn, barLevel, text, showClock, clock)) return;
    if (!device.connection) return;
    device.lcdImage.BuildDisplayReport(device.connection->output.data());
    WriteOutputReport(*device.connection, kDisplayReportSize);
}

}  // namespace vocetta
