#include "report_intake.h"

#include "library_state.h"

#include <algorithm>
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

IntakeHold::IntakeHold(Handset& handset, HANDLE readerWake) : intake_(handset.intake) {
    intake_.EnterForReader(readerWake);
}
IntakeHold::IntakeHold(Handset& handset) : intake_(handset.intake) {
    intake_.EnterForExchange();
}
IntakeHold::~IntakeHold() {
    intake_.Leave();
}

namespace {

// How much of an input report of this connection is kept.
size_t KeptLength(const HandsetConnection& connection) {
    return std::min<size_t>(connection.inputReportLength, kInputReportSize);
}

// Offers a class-2 report to a waiting EEPROM read. Answers whether one took it. A report too short to carry
// a whole block is no answer.
bool HandOverEepromAnswer(Handset& handset, const std::array<uint8_t, kInputReportSize>& report) {
    if (KeptLength(*handset.connection) < kEepromAnswerSize) return false;
    EepromMailbox& mailbox = handset.mailbox;
    std::lock_guard<std::mutex> lock(mailbox.mutex);
    if (!mailbox.waiting || mailbox.filled) return false;
    std::memcpy(mailbox.block.data(), report.data() + kEepromAnswerOffset, kEepromBlockSize);
    mailbox.filled = true;
    mailbox.arrived.notify_all();
    return true;
}

}  // namespace

Routed RouteReport(Handset& handset, const std::array<uint8_t, kInputReportSize>& report) {
    switch (report[kReportClassByte]) {
        case REPORT_CONTROL: {
            auto& queue = handset.keyReports;
            if (queue.size() >= kKeyReportLimit) queue.pop_front();
            queue.push_back(report);
            return Routed::Key;
        }
        case REPORT_EEPROM: return HandOverEepromAnswer(handset, report) ? Routed::Answer : Routed::Dropped;
        default: return Routed::Dropped;
    }
}

bool TakeKeyReport(Handset& handset, std::array<uint8_t, kInputReportSize>& report) {
    auto& queue = handset.keyReports;
    if (queue.empty()) return false;
    report = queue.front();
    queue.pop_front();
    return true;
}

}  // namespace vocetta
