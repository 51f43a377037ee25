// Reading one block of the handset's EEPROM: the request, the wait for the answer, and who reads it. The
// handset's reader reads the answer and hands it over, unless it reads nothing: with no key callback bound,
// on its own thread (a key callback reading the EEPROM) or when it could not be started; the read then
// reads the answer itself, through the same intake and routing as the reader.
#pragma once

#include <cstdint>

namespace vocetta {

// Requests the 16-byte block at `blockStart` and waits for the handset's answer (at least 300 ms, at most
// 100 ms more). Only a class-2 report that comes after the request and within that time is its answer. Key
// and hook reports read on the way are kept for the reader, which decodes them once it polls again.
bool ReadEepromBlock(uint8_t blockStart, uint8_t* destination);

}  // namespace vocetta
