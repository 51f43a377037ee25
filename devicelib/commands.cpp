#include "commands.h"

#include "hid_io.h"
#include "library_state.h"
#include "reader.h"
#include "report_intake.h"
#include "report_protocol.h"

#include <array>
#include <memory>
#include <mutex>

namespace vocetta {
namespace {

constexpr DWORD kEepromAnswerDelayMs = 300;

// Builds one output report with `build` and writes it, all under the device lock.
template <class Build>
bool SendReport(size_t needed, Build build) {
    HandsetDevice& device = Library().device;
    std::lock_guard<std::mutex> lock(device.mutex);
    if (!device.handset) return false;
    HandsetConnection& connection = *device.handset->connection;
    build(connection.output.data());
    return WriteOutputReport(connection, needed);
}

// Sends the read request for the block at `blockStart`. The window opens once the request is out, before
// the reader may read again: an answer queued before the request is discarded, one that comes after it is
// this block's.
bool RequestBlock(Handset& handset, uint8_t blockStart) {
    IntakeHold intake(handset);
    RouteQueuedReports(handset);
    const bool sent =
        SendReport(kEepromRequestReportSize, [=](uint8_t* r) { BuildEepromReadRequest(r, blockStart); });
    if (sent) OpenEepromWindow(handset);
    return sent;
}

}  // namespace

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
    const auto handset = Library().device.OpenHandset();
    if (!handset) return false;
    std::lock_guard<std::mutex> exchange(handset->mailbox.exchange);
    // The handset's reader takes up every input report and hands the answer over; when it reads nothing (no
    // key callback bound), or this is its own thread (a key callback reading the EEPROM), or it could not be
    // started, the exchange reads the answer itself.
    const bool readsItself = !ReaderTakesReports(*handset);
    if (!RequestBlock(*handset, blockStart)) return false;
    Sleep(kEepromAnswerDelayMs);
    if (readsItself) ReadUntilAnswered(*handset);
    // Not reading itself, the exchange waits for the reader to hand the answer over; reading itself, it only
    // looks whether the reader, bound to a key callback meanwhile, did.
    const bool answered = TakeEepromAnswer(*handset, readsItself ? 0 : kReadTimeoutMs, destination);
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
    HandsetDevice& device = Library().device;
    std::lock_guard<std::mutex> lock(device.mutex);
    if (!device.lcdImage.Apply(mode, iconOn, barLevel, text, showClock, clock)) return;
    if (!device.handset) return;
    HandsetConnection& connection = *device.handset->connection;
    device.lcdImage.BuildDisplayReport(connection.output.data());
    WriteOutputReport(connection, kDisplayReportSize);
}

}  // namespace vocetta
