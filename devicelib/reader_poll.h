// One pass of the reader loop: the hook poll, the input report, the repeat filter and the key callback.
#pragma once

#include <windows.h>

#include "library_state.h"

#include <memory>

namespace vocetta {

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
    Broken,   // the handset's read handle no longer works: the reader should pause before it polls again
    Unbound,  // no key callback: nothing was read
};

// A pending hook change, else the oldest key report an EEPROM read kept, else one input report of `handset`,
// through the repeat filter to the key callback. Reads nothing while no key callback is bound. The handset
// is held while its report is taken, never while the key callback runs; a handset already let go is a
// broken poll.
PollResult PollOnce(const std::weak_ptr<Handset>& handset, const ReaderEvents& events);

}  // namespace vocetta
