// The handset's commands and one pass of the reader loop, built on the report protocol and the HID I/O.
#pragma once

#include <windows.h>

#include "usbphone.h"

#include <cstdint>

namespace vocetta {

void SetKeyCallback(KeyEventCallback callback);
bool KeyCallbackBound();

// The hook state the poll compares against; set to on hook each time the handset is opened.
void ResetPreviousHookState();

// The reader's own events: `stop` ends it, `wake` makes it look again (a key callback bound, an EEPROM
// exchange asking for the input reports).
struct ReaderEvents {
    HANDLE stop = nullptr;
    HANDLE wake = nullptr;
};

enum class PollResult {
    Done,     // a code was taken (or none came in time) and went through the repeat filter
    GaveUp,   // nothing for the keys: the wait was cut short (the reader's events, the handset closing), or
              // the report answered an EEPROM exchange; the repeat filter is as it was
    Broken,   // no handset, or its read handle no longer works: the reader should pause before it polls again
    Unbound,  // no key callback: nothing was read
};

// One pass of the reader loop: a pending hook change, else the oldest key report an EEPROM read kept, else
// one input report, through the repeat filter to the key callback. Reads nothing while no key callback is
// bound.
PollResult PollOnce(const ReaderEvents& events);

bool SendRinger(bool on);
bool SendBacklight(bool on);
bool SendEepromWrite(uint8_t deviceAddress, uint8_t data);
// Requests the 16-byte block at `blockStart` and waits for the handset's answer (at least 300 ms, at most
// 100 ms more). Only a class-2 report that comes after the request and within that time is its answer. Key
// and hook reports read on the way are kept for the reader, which decodes them once it polls again.
bool ReadEepromBlock(uint8_t blockStart, uint8_t* destination);
// Runs a display command (modes 0 to 6; others do nothing) and sends the image when a handset is open.
void RunDisplayCommand(int mode, bool iconOn, int barLevel, const char* text, bool showClock);

}  // namespace vocetta
