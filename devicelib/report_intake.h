// The handset's input reports on their way from the handle. Whoever reads one, the reader or an EEPROM read
// that reads on its own thread, routes it by its class: key and hook reports to the connection's key reports,
// which the reader takes in order, an EEPROM answer to the read waiting for it. Reading and routing happen
// while holding the intake, and so does an EEPROM read's routing of the handle's queue before its request:
// key reports then reach the callback in the order the handset sent them, and a stale answer cannot reach a
// window opened meanwhile. The reader holds the intake while it waits for a report, without a time-out when
// it has nothing else to wait for; an EEPROM read that asks for the intake cuts that wait short (the read
// stays pending) and gets the intake before the reader's next wait.
#pragma once

#include <windows.h>

#include "library_state.h"
#include "report_protocol.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace vocetta {

// Holds the handset's intake for its reader, or for an exchange, while it lives.
class IntakeHold {
  public:
    // The reader's: `readerWake` is set when an exchange asks.
    IntakeHold(Handset& handset, HANDLE readerWake);
    explicit IntakeHold(Handset& handset);  // an exchange's
    IntakeHold(const IntakeHold&) = delete;
    IntakeHold& operator=(const IntakeHold&) = delete;
    ~IntakeHold();

  private:
    Intake& intake_;
};

// As many key reports as the handle's own queue keeps: past that the oldest goes, as it would there.
constexpr size_t kKeyReportLimit = 32;

// What became of a report that was read.
enum class Routed {
    Key,     // a key or hook report: it joined the connection's key reports
    Answer,  // a class-2 report taken by the waiting EEPROM read
    Dropped  // anything else: a class-2 report nobody waits for, or a class the handset does not send
};

// Requires the intake. Routes a report read from the handset by its class: a key or hook report joins the
// handset's key reports, which the reader takes in the order they were read; a class-2 report goes to the
// EEPROM read waiting for it, if one waits.
Routed RouteReport(Handset& handset, const std::array<uint8_t, kInputReportSize>& report);

// Requires the intake. Takes the oldest key or hook report read from the handset.
bool TakeKeyReport(Handset& handset, std::array<uint8_t, kInputReportSize>& report);

}  // namespace vocetta
