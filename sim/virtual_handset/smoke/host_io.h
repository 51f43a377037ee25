// The host's report traffic in the smoke check: overlapped reads as the product's library makes them, and
// the patterned reports both directions carry.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "owners.h"

namespace smoke {

// A report as programs see it: report id 0, then bytes that differ from one report to the next.
std::vector<uint8_t> PatternReport(size_t length, uint8_t seed);

// One overlapped ReadFile. It is cancelled and waited for when it goes; a read the system never ends keeps
// its buffer and OVERLAPPED for good, so the late completion writes into memory still its own.
class PendingRead {
  public:
    PendingRead();
    ~PendingRead();
    PendingRead(const PendingRead&) = delete;
    PendingRead& operator=(const PendingRead&) = delete;

    // Starts reading `length` bytes; false when ReadFile fails at once (error in `error`).
    bool Start(HANDLE device, size_t length, DWORD& error);
    // Waits up to boundMs: true with the bytes read, false with the error (WAIT_TIMEOUT when none came).
    bool Wait(DWORD boundMs, std::vector<uint8_t>& report, DWORD& error);

  private:
    struct Slot {
        OVERLAPPED overlapped{};
        owners::HandleOwner event;
        std::vector<uint8_t> buffer;
    };
    HANDLE device_ = nullptr;
    Slot* slot_;
    bool pending_ = false;
};

}  // namespace smoke
