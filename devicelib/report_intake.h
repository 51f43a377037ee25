// How the reader and an EEPROM exchange share the handset's input reports. Taking the next input report,
// from the held ones or the handle, happens while holding the intake, and so does an exchange's emptying of
// the handle's queue before its request: a report is then decoded in the order the handset sent it, and a
// stale answer read by the reader cannot reach a window opened meanwhile. The reader holds the intake while
// it waits for a report, without a time-out when it has nothing else to wait for; an exchange that asks for
// the intake cuts that wait short (the read stays pending) and gets the intake before the reader's next wait.
#pragma once

#include <windows.h>

#include "hid_io.h"
#include "report_protocol.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace vocetta {

// As many held key reports as the handle's own queue keeps: past that the oldest goes, as it would there.
constexpr size_t kHeldReportLimit = 32;

// Holds the intake for the reader, or for an exchange, while it lives.
class IntakeHold {
  public:
    explicit IntakeHold(HANDLE readerWake);  // the reader's: `readerWake` is set when an exchange asks
    IntakeHold();                            // an exchange's
    IntakeHold(const IntakeHold&) = delete;
    IntakeHold& operator=(const IntakeHold&) = delete;
    ~IntakeHold();
};

// Requires the intake. The oldest key or hook report an exchange held for `connection`, if any; reports of
// an earlier connection are dropped.
bool TakeHeldReport(const std::shared_ptr<HandsetConnection>& connection,
                    std::array<uint8_t, kInputReportSize>& report);

// What an exchange does with a report it reads itself: a key or hook report is held for the reader, a
// class-2 report is offered to the window (answers whether it was taken), anything else is dropped.
// Requires the intake.
bool TakeUpForExchange(const std::shared_ptr<HandsetConnection>& connection,
                       const std::array<uint8_t, kInputReportSize>& report, size_t length);

// Offers a class-2 report of `length` kept bytes to a waiting exchange. Answers whether one took it. A
// report too short to carry a whole block is no answer.
bool HandOverEepromAnswer(const std::array<uint8_t, kInputReportSize>& report, size_t length);

// Opens the window for an answer, with none taken yet.
void OpenEepromWindow();

// Waits at most `waitMs` for the answer to be handed over, copies it to `destination` if it was, and closes
// the window. Answers whether it was.
bool TakeEepromAnswer(DWORD waitMs, uint8_t* destination);

// How much of an input report of this connection is kept.
size_t KeptLength(const HandsetConnection& connection);

}  // namespace vocetta
