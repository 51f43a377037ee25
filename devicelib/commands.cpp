#include "commands.h"

#include "hid_io.h"
#include "library_state.h"
#include "report_protocol.h"

#include <mutex>

namespace vocetta {
namespace {

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

bool SendEepromReadRequest(uint8_t blockStart) {
    return SendReport(kEepromRequestReportSize, [=](uint8_t* r) { BuildEepromReadRequest(r, blockStart); });
}

bool SendEepromReadEnd() {
    return SendReport(kEepromEndReportSize, [](uint8_t* r) { BuildEepromReadEnd(r); });
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
