#include "bare_read.h"

#include <cstdint>

namespace winebench {
namespace {

// The handset's input report as programs read it: the report id byte, then 17 bytes.
constexpr DWORD kInputReportLength = 18;
constexpr size_t kScanCodeByte = 2;

}  // namespace

BareRead::BareRead(const std::string& path) {
    file_ = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    event_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (Ok()) thread_ = std::thread([this] { Run(); });
}

BareRead::~BareRead() {
    if (thread_.joinable()) {
        SetEvent(stop_);
        thread_.join();
    }
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
    if (event_ != nullptr) CloseHandle(event_);
    if (stop_ != nullptr) CloseHandle(stop_);
}

void BareRead::Run() {
    uint8_t buffer[kInputReportLength];
    for (;;) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = event_;
        DWORD got = 0;
        Clock::time_point woke;
        if (!ReadFile(file_, buffer, kInputReportLength, nullptr, &overlapped)) {
            if (GetLastError() != ERROR_IO_PENDING) {
                ++failures_;
                if (WaitForSingleObject(stop_, 10) == WAIT_OBJECT_0) return;
                continue;
            }
            const HANDLE waits[] = {event_, stop_};
            if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
                CancelIo(file_);
                GetOverlappedResult(file_, &overlapped, &got, TRUE);
                return;
            }
            woke = Clock::now();
        } else {
            woke = Clock::now();  // a report was waiting already
        }
        const bool whole = GetOverlappedResult(file_, &overlapped, &got, FALSE) && got == kInputReportLength;
        if (whole) {
            reports_.Add(buffer[kScanCodeByte], woke);
        } else {
            ++failures_;
        }
    }
}

}  // namespace winebench
