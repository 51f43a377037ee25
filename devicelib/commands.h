// The handset's commands: the ringer, the backlight, the EEPROM and the display. Each builds its output
// report under the device lock and writes it when a handset is open.
#pragma once

#include <cstdint>

namespace vocetta {

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
