#include "eeprom_read.h"

#include "commands.h"
#include "hid_io.h"
#include "library_state.h"
#include "reader.h"
#include "report_intake.h"

#include <array>
#include <chrono>
#include <cstring>
#include <mutex>

namespace vocetta {
namespace {

constexpr DWORD kEepromAnswerDelayMs = 300;

// Requires the intake and no EEPROM read waiting. Routes every report already queued on the handle: an
// answer found there came before the request about to go out, so it answers an earlier read that was given
// up, and nobody takes it.
void RouteQueuedReports(Handset& handset) {
    // A queued report completes a read at once; the short wait only lets its completion arrive.
    constexpr DWORD kQueuedReportWaitMs = 5;
    constexpr int kMostReports = 2 * static_cast<int>(kKeyReportLimit);  // a handset that never stops
    std::array<uint8_t, kInputReportSize> report{};
    for (int i = 0; i < kMostReports; ++i) {
        if (ReadInputReport(*handset.connection, {}, kQueuedReportWaitMs, report) != ReadOutcome::Report)
            return;
        RouteReport(handset, report);
    }
}

// Reads and routes reports on the calling thread, for the read time-out at most, until the waiting read has
// its answer: for a read where the reader takes up no reports. Takes the intake for each report.
void ReadUntilAnswered(Handset& handset) {
    std::array<uint8_t, kInputReportSize> report{};
    const DWORD start = GetTickCount();
    for (DWORD elapsed = 0; elapsed < kReadTimeoutMs; elapsed = GetTickCount() - start) {
        IntakeHold intake(handset);
        if (ReadInputReport(*handset.connection, {}, kReadTimeoutMs - elapsed, report) !=
                ReadOutcome::Report ||
            RouteReport(handset, report) == Routed::Answer)
            break;
    }
}

// Opens the handset's window for an answer, with none taken yet.
void OpenEepromWindow(Handset& handset) {
    EepromMailbox& mailbox = handset.mailbox;
    std::lock_guard<std::mutex> lock(mailbox.mutex);
    mailbox.waiting = true;
    mailbox.filled = false;
}

// Waits at most `waitMs` for the answer to be handed over, copies it to `destination` if it was, and closes
// the window. Answers whether it was.
bool TakeEepromAnswer(Handset& handset, DWORD waitMs, uint8_t* destination) {
    EepromMailbox& mailbox = handset.mailbox;
    std::unique_lock<std::mutex> lock(mailbox.mutex);
    const bool answered = mailbox.arrived.wait_for(lock, std::chrono::milliseconds(waitMs),
                                                   [&mailbox] { return mailbox.filled; });
    if (answered) std::memcpy(destination, mailbox.block.data(), kEepromBlockSize);
    mailbox.waiting = false;
    return answered;
}

// Sends the read request for the block at `blockStart`. The window opens once the request is out, before
// the reader may read again: an answer queued before the request is discarded, one that comes after it is
// this block's.
bool RequestBlock(Handset& handset, uint8_t blockStart) {
    IntakeHold intake(handset);
    RouteQueuedReports(handset);
    const bool sent = SendEepromReadRequest(blockStart);
    if (sent) OpenEepromWindow(handset);
    return sent;
}

}  // namespace

bool ReadEepromBlock(uint8_t blockStart, uint8_t* destination) {
    const auto handset = Library().device.OpenHandset();
    if (!handset) return false;
    std::lock_guard<std::mutex> exchange(handset->mailbox.exchange);
    const bool readsItself = !ReaderTakesReports(*handset);
    if (!RequestBlock(*handset, blockStart)) return false;
    Sleep(kEepromAnswerDelayMs);
    if (readsItself) ReadUntilAnswered(*handset);
    // Not reading itself, the read waits for the reader to hand the answer over; reading itself, it only
    // looks whether the reader, bound to a key callback meanwhile, did.
    const bool answered = TakeEepromAnswer(*handset, readsItself ? 0 : kReadTimeoutMs, destination);
    SendEepromReadEnd();
    return answered;
}

}  // namespace vocetta
