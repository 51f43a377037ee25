// The floor under every key: the handset's HID interface opened as VOCETTA.DLL opens it, one overlapped
// ReadFile always pending on it, and a thread that stamps each report the moment the read's event wakes it.
#pragma once

#include "arrivals.h"

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

namespace winebench {

class BareRead {
  public:
    // Opens the interface at `path` and starts reading; Ok() is false when it could not.
    explicit BareRead(const std::string& path);
    ~BareRead();  // cancels the pending read and waits for it before the buffer goes
    BareRead(const BareRead&) = delete;
    BareRead& operator=(const BareRead&) = delete;

    bool Ok() const { return file_ != INVALID_HANDLE_VALUE && event_ != nullptr && stop_ != nullptr; }
    // Each report read, its value the scan code byte.
    const Arrivals& Reports() const { return reports_; }
    // Reads that failed (a report that was not whole, or an error).
    size_t Failures() const { return failures_; }

  private:
    void Run();

    HANDLE file_ = INVALID_HANDLE_VALUE;
    HANDLE event_ = nullptr;
    HANDLE stop_ = nullptr;
    Arrivals reports_;
    std::atomic<size_t> failures_{0};
    std::thread thread_;
};

}  // namespace winebench
