#include "host_io.h"

namespace smoke {

std::vector<uint8_t> PatternReport(size_t length, uint8_t seed) {
    std::vector<uint8_t> report(length, 0);
    for (size_t i = 1; i < length; ++i) report[i] = static_cast<uint8_t>(seed + i * 7);
    return report;
}

PendingRead::PendingRead() : slot_(new Slot) {
    slot_->event.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
}

PendingRead::~PendingRead() {
    if (pending_) {
        CancelIoEx(device_, &slot_->overlapped);
        if (WaitForSingleObject(slot_->event.Get(), 2000) != WAIT_OBJECT_0) return;  // the slot stays
    }
    delete slot_;
}

bool PendingRead::Start(HANDLE device, size_t length, DWORD& error) {
    device_ = device;
    slot_->buffer.assign(length, 0xee);
    slot_->overlapped = OVERLAPPED{};
    slot_->overlapped.hEvent = slot_->event.Get();
    ResetEvent(slot_->event.Get());
    if (!ReadFile(device, slot_->buffer.data(), static_cast<DWORD>(length), nullptr, &slot_->overlapped) &&
        GetLastError() != ERROR_IO_PENDING) {
        error = GetLastError();
        return false;
    }
    pending_ = true;
    return true;
}

bool PendingRead::Wait(DWORD boundMs, std::vector<uint8_t>& report, DWORD& error) {
    if (WaitForSingleObject(slot_->event.Get(), boundMs) != WAIT_OBJECT_0) {
        error = WAIT_TIMEOUT;
        return false;
    }
    pending_ = false;
    DWORD transferred = 0;
    if (!GetOverlappedResult(device_, &slot_->overlapped, &transferred, FALSE)) {
        error = GetLastError();
        return false;
    }
    report.assign(slot_->buffer.begin(), slot_->buffer.begin() + transferred);
    return true;
}

}  // namespace smoke
