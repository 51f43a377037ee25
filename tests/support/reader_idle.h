// Waiting for the library's reader to be done with what the handset sent.
#pragma once

#include "handset/handset.h"

#include <windows.h>
#include <winsim/control.h>

#include <chrono>

namespace testsupport {

// Waits until the reader has taken every report `handset` sent so far and waits in its next read. The
// reader issues that read only once the key callback for the last report has returned, and a read stays
// pending only while no report is queued, so whatever those reports caused has happened.
inline bool ReaderIdle(const sim::Handset& handset) {
    return handset.waitUntil([&] { return winsim::hidPendingReadCount(handset.busId()) > 0; },
                             std::chrono::seconds(10));
}

}  // namespace testsupport
