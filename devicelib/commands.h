// The handset's commands: the ringer, the backlight, the EEPROM and the display. Each builds its output
// report under the device lock and writes it when a handset is open.
#pragma once

#include <cstdint>

namespace vocetta {

bool SendRinger(bool on);
bool SendBacklight(bool on);
bool SendEepromWrite(uint8_t deviceAddress, uint8_t data);
// The request for the 16-byte block at `blockStart`, and the report that ends a block's read (eeprom_read.h).
bool SendEepromReadRequest(uint8_t blockStart);
bool SendEepromReadEnd();
// Runs a display command (modes 0 to 6; others do nothing) and sends the image when a handset is open.
void RunDisplayCommand(int mode, bool iconOn, int barLevel, const char* text, bool showClock);

}  // namespace vocetta
