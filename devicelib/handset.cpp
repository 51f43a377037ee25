#include "handset.h"

#include "hid_io.h"
#include "reader.h"
#include "report_protocol.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>

namespace vocetta {
namespace {

constexpr DWORD kEepromAnswerDelayMs = 300;
constexpr int kHookOn = 1;

std::atomic<KeyEventCallback> keyCallback{nullptr};
std::atomic<int> previousHookState{kHookOn};
// A reader told to stop may still be finishing its poll while the next one starts.
std::atomic<int> lastReportedCode{KEY_NONE};

// Where the reader hands over an EEPROM answer to the exchange waiting for it. The window is open from the
// moment the request has gone out until the exchange gives up or takes its answer; a class-2 report read
// while it is closed is nobody's answer.
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

void SetEepromWindow(bool open) {
    EepromMailbox& mailbox = Mailbox();
    std::lock_guard<std::mutex> lock(mailbox.mutex);
    mailbox.waiting = open;
    mailbox.filled = false;
}

// Key and hook reports that an EEPROM exchange read on its way to the answer. The reader decodes them before
// it reads the handle again, as if it had read them itself; they belong to the connection they came from.
// As many as the handle's own queue keeps: past that the oldest goes, as it would there.
constexpr size_t kHeldReportLimit = 32;

struct HeldReports {
    std::weak_ptr<HandsetConnection> connection;
    std::deque<std::array<uint8_t, kInputReportSize>> reports;
};

// Taking the next input report, from the held ones or the handle, happens while holding the intake, and so
// does an exchange's emptying of the handle's queue before its request: a report is then decoded in the
// order the handset sent it, and a stale answer read by the reader cannot reach a window opened meanwhile.
// The reader holds the intake while it waits for a report, without a time-out when it has nothing else to
// wait for; an exchange that asks for the intake cuts that wait short (the read stays pending) and gets the
// intake before the reader's next wait.
class Intake {
  public:
    // `wake` is set when an exchange asks for the intake while the reader holds it.
    void EnterForReader(HANDLE wake) {
        std::unique_lock<std::mutex> lock(mutex_);
        free_.wait(lock, [this] { return !held_ && exchangesWaiting_ == 0; });
        held_ = true;
        readerWake_ = wake;
    }
    void EnterForExchange() {
        std::unique_lock<std::mutex> lock(mutex_);
        ++exchangesWaiting_;
        if (readerWake_ != nullptr) SetEvent(readerWake_);
        free_.wait(lock, [this] { return !held_; });
        --exchangesWaiting_;
        held_ = true;
    }
    void Leave() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            held_ = false;
            readerWake_ = nullptr;
        }
        free_.notify_all();
    }

  private:
    std::mutex mutex_;
    std::condition_variable free_;
    bool held_ = false;
    int exchangesWaiting_ = 0;
    HANDLE readerWake_ = nullptr;  // while the reader holds the intake
};

Intake& TheIntake() {
    static Intake intake;
    return intake;
}

// Holds the intake for the reader, or for an exchange, while it lives.
class IntakeHold {
  public:
    explicit IntakeHold(HANDLE readerWake) { TheIntake().EnterForReader(readerWake); }
    IntakeHold() { TheIntake().EnterForExchange(); }
    IntakeHold(const IntakeHold&) = delete;
    IntakeHold& operator=(const IntakeHold&) = delete;
    ~IntakeHold() { TheIntake().Leave(); }
};

// Guarded by the intake.
HeldReports& Held() {
    static HeldReports held;
    return held;
}

bool SameConnection(const std::weak_ptr<HandsetConnection>& a, const std::shared_ptr<HandsetConnection>& b) {
    return !a.owner_before(b) && !b.owner_before(a);
}

// Requires the intake.
void HoldKeyReport(const std::shared_ptr<HandsetConnection>& connection,
                   const std::array<uint8_t, kInputReportSize>& report) {
    HeldReports& held = Held();
    if (!SameConnection(held.connection, connection)) {
        held.reports.clear();
        held.connection = connection;
    }
    if (held.reports.size() >= kHeldReportLimit) held.reports.pop_front();
    held.reports.push_back(report);
}

// Requires the intake. The oldest held report of `connection`, if any; reports of an earlier connection
// are dropped.
bool TakeHeldReport(const std::shared_ptr<HandsetConnection>& connection,
                    std::array<uint8_t, kInputReportSize>& report) {
    HeldReports& held = Held();
    if (held.reports.empty()) return false;
    if (!SameConnection(held.connection, connection)) {
        held.reports.clear();
        return false;
    }
    report = held.reports.front();
    held.reports.pop_front();
    return true;
}

// What an exchange does with a report it reads itself: a key or hook report is held for the reader, a
// class-2 report is offered to the window (answers whether it was taken), anything else is dropped.
// Requires the intake.
bool TakeUpForExchange(const std::shared_ptr<HandsetConnection>& connection,
                       const std::array<uint8_t, kInputReportSize>& report, size_t length) {
    if (report[1] == REPORT_CONTROL) HoldKeyReport(connection, report);
    return report[1] == REPORT_EEPROM && HandOverEepromAnswer(report, length);
}

// How much of an input report of this connection is kept.
size_t KeptLength(const HandsetConnection& connection) {
    return std::min<size_t>(connection.inputReportLength, kInputReportSize);
}

// Empties the handle's queue before a request goes out: an answer found there came before the request, so
// it answers an earlier one that was given up. Requires the intake and a closed window.
void DiscardQueuedAnswers(const std::shared_ptr<HandsetConnection>& connection) {
    // A queued report completes a read at once; the short wait only lets its completion arrive.
    constexpr DWORD kQueuedReportWaitMs = 5;
    constexpr int kMostReports = 2 * static_cast<int>(kHeldReportLimit);  // a handset that never stops
    std::array<uint8_t, kInputReportSize> report{};
    for (int i = 0; i < kMostReports; ++i) {
        if (ReadInputReport(*connection, {}, kQueuedReportWaitMs, report) != ReadOutcome::Report) return;
        TakeUpForExchange(connection, report, KeptLength(*connection));
    }
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

struct PollStep {
    int code = KEY_NONE;
    ReadOutcome outcome = ReadOutcome::Nothing;
};

// The code of this poll: a pending hook change first, else the key of one input report. While the repeat
// filter is re-armed the read waits for as long as it takes; while it holds a key, at most the read time-out,
// whose passing without a report re-arms it.
PollStep NextCode(const ReaderEvents& events) {
    HandsetDevice& device = Device();
    int previousHook = previousHookState;
    const int hookCode = TakeHookChange(device.hookStatus, previousHook);
    if (hookCode != KEY_NONE) {
        previousHookState = previousHook;
        return {hookCode, ReadOutcome::Report};
    }
    std::array<uint8_t, kInputReportSize> report{};
    {
        IntakeHold intake(events.wake);
        auto connection = device.CurrentConnection();
        if (!connection) return {KEY_NONE, ReadOutcome::Broken};
        if (!TakeHeldReport(connection, report)) {
            const DWORD timeout = lastReportedCode == KEY_NONE ? INFINITE : kReadTimeoutMs;
            const ReadOutcome outcome =
                ReadInputReport(*connection, {events.stop, events.wake}, timeout, report);
            if (outcome != ReadOutcome::Report) return {KEY_NONE, outcome};
            // Handed over before the intake is let go, so no window opened later can take it. The answer
            // of an exchange says nothing about the keys, so it leaves the repeat filter alone (a held key
            // stays one press); a block nobody asked for is a poll without a key.
            if (report[1] == REPORT_EEPROM) {
                if (HandOverEepromAnswer(report, KeptLength(*connection)))
                    return {KEY_NONE, ReadOutcome::GivenUp};
                return {};
            }
        }
    }
    PollStep step{KEY_NONE, ReadOutcome::Report};
    int hookStatus = 0;
    if (DecodeKeyReport(report, step.code, hookStatus)) device.hookStatus = hookStatus;
    return step;
}

}  // namespace

void SetKeyCallback(KeyEventCallback callback) {
    keyCallback = callback;
    WakeReader();
}
bool KeyCallbackBound() {
    return keyCallback.load() != nullptr;
}
void ResetPreviousHookState() {
    previousHookState = kHookOn;
}

PollResult PollOnce(const ReaderEvents& events) {
    if (keyCallback.load() == nullptr) return PollResult::Unbound;
    const PollStep step = NextCode(events);
    // A wait cut short, or an exchange's answer, took nothing for the keys: the repeat filter stays as it
    // was.
    if (step.outcome == ReadOutcome::GivenUp) return PollResult::GaveUp;
    int lastReported = lastReportedCode;
    const bool delivered = PassesRepeatFilter(step.code, lastReported);
    lastReportedCode = lastReported;
    // A reader told to stop (the handset was pulled out, or the library is closing) delivers nothing more.
    // The key goes to the callback bound now, which a Bind during the wait may have replaced.
    const KeyEventCallback callback = keyCallback;
    if (delivered && callback != nullptr && WaitForSingleObject(events.stop, 0) != WAIT_OBJECT_0)
        callback(step.code);
    return step.outcome == ReadOutcome::Broken ? PollResult::Broken : PollResult::Done;
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
    auto connection = Device().CurrentConnection();
    if (!connection) return false;
    // The running reader takes up every input report and hands the answer over; without one, or when this is
    // the reader's own thread (a key callback reading the EEPROM), the exchange reads the answer itself.
    const bool readsItself = !ReaderTakesReports();
    {
        // The window opens once the request is out, before the reader may read again: an answer queued
        // before the request is discarded, one that comes after it is this block's.
        IntakeHold intake;
        DiscardQueuedAnswers(connection);
        const bool sent =
            SendReport(kEepromRequestReportSize, [=](uint8_t* r) { BuildEepromReadRequest(r, blockStart); });
        if (!sent) return false;
        SetEepromWindow(true);
    }
    Sleep(kEepromAnswerDelayMs);

    if (readsItself) {
        // Key reports on the way are held for the reader; the first class-2 report is the answer.
        std::array<uint8_t, kInputReportSize> report{};
        const DWORD start = GetTickCount();
        for (DWORD elapsed = 0; elapsed < kReadTimeoutMs; elapsed = GetTickCount() - start) {
            IntakeHold intake;
            if (ReadInputReport(*connection, {}, kReadTimeoutMs - elapsed, report) != ReadOutcome::Report ||
                TakeUpForExchange(connection, report, KeptLength(*connection)))
                break;
        }
    }
    // Not reading itself, the exchange waits for the reader to hand the answer over; reading itself, it only
    // looks whether a reader that started meanwhile did.
    std::unique_lock<std::mutex> lock(mailbox.mutex);
    const bool answered =
        mailbox.arrived.wait_for(lock, std::chrono::milliseconds(readsItself ? 0 : kReadTimeoutMs),
                                 [&mailbox] { return mailbox.filled; });
    if (answered) std::memcpy(destination, mailbox.block.data(), kEepromBlockSize);
    mailbox.waiting = false;
    lock.unlock();
    SendReport(kEepromEndReportSize, [](uint8_t* r) { BuildEepromReadEnd(r); });
    return answered;
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
