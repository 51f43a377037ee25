#include "report_intake.h"

#include "library_state.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>

namespace vocetta {

void Intake::EnterForReader(HANDLE wake) {
    std::unique_lock<std::mutex> lock(mutex_);
    free_.wait(lock, [this] { return !held_ && exchangesWaiting_ == 0; });
    held_ = true;
    readerWake_ = wake;
}

void Intake::EnterForExchange() {
    std::unique_lock<std::mutex> lock(mutex_);
    ++exchangesWaiting_;
    if (readerWake_ != nullptr) SetEvent(readerWake_);
    free_.wait(lock, [this] { return !held_; });
    --exchangesWaiting_;
    held_ = true;
}

void Intake::Leave() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        held_ = false;
        readerWake_ = nullptr;
    }
    free_.notify_all();
}

IntakeHold::IntakeHold(HANDLE readerWake) {
    Library().intake.EnterForReader(readerWake);
}
IntakeHold::IntakeHold() {
    Library().intake.EnterForExchange();
}
IntakeHold::~IntakeHold() {
    Library().intake.Leave();
}

namespace {

bool SameConnection(const std::weak_ptr<HandsetConnection>& a, const std::shared_ptr<HandsetConnection>& b) {
    return !a.owner_before(b) && !b.owner_before(a);
}

// Requires the intake.
void HoldKeyReport(const std::shared_ptr<HandsetConnection>& connection,
                   const std::array<uint8_t, kInputReportSize>& report) {
    HeldReports& held = Library().held;
    if (!SameConnection(held.connection, connection)) {
        held.reports.clear();
        held.connection = connection;
    }
    if (held.reports.size() >= kHeldReportLimit) held.reports.pop_front();
    held.reports.push_back(report);
}

}  // namespace

bool TakeHeldReport(const std::shared_ptr<HandsetConnection>& connection,
                    std::array<uint8_t, kInputReportSize>& report) {
    HeldReports& held = Library().held;
    if (held.reports.empty()) return false;
    if (!SameConnection(held.connection, connection)) {
        held.reports.clear();
        return false;
    }
    report = held.reports.front();
    held.reports.pop_front();
    return true;
}

bool TakeUpForExchange(const std::shared_ptr<HandsetConnection>& connection,
                       const std::array<uint8_t, kInputReportSize>& report, size_t length) {
    if (report[kReportClassByte] == REPORT_CONTROL) HoldKeyReport(connection, report);
    return report[kReportClassByte] == REPORT_EEPROM && HandOverEepromAnswer(report, length);
}

bool HandOverEepromAnswer(const std::array<uint8_t, kInputReportSize>& report, size_t length) {
    if (length < kEepromAnswerSize) return false;
    EepromMailbox& mailbox = Library().mailbox;
    std::lock_guard<std::mutex> lock(mailbox.mutex);
    if (!mailbox.waiting || mailbox.filled) return false;
    std::memcpy(mailbox.block.data(), report.data() + kEepromAnswerOffset, kEepromBlockSize);
    mailbox.filled = true;
    mailbox.arrived.notify_all();
    return true;
}

void OpenEepromWindow() {
    EepromMailbox& mailbox = Library().mailbox;
    std::lock_guard<std::mutex> lock(mailbox.mutex);
    mailbox.waiting = true;
    mailbox.filled = false;
}

bool TakeEepromAnswer(DWORD waitMs, uint8_t* destination) {
    EepromMailbox& mailbox = Library().mailbox;
    std::unique_lock<std::mutex> lock(mailbox.mutex);
    const bool answered = mailbox.arrived.wait_for(lock, std::chrono::milliseconds(waitMs),
                                                   [&mailbox] { return mailbox.filled; });
    if (answered) std::memcpy(destination, mailbox.block.data(), kEepromBlockSize);
    mailbox.waiting = false;
    return answered;
}

size_t KeptLength(const HandsetConnection& connection) {
    return std::min<size_t>(connection.inputReportLength, kInputReportSize);
}

}  // namespace vocetta
