#include "virtual_handset_link.h"

#include <cstring>
#include <mutex>

#include "control_protocol.h"

namespace vhandset {
namespace {

// How long Plug keeps trying while the last handset unplugged is still being removed: tens of
// milliseconds under Wine.
constexpr DWORD kPlugRetryBoundMs = 5000;
constexpr DWORD kPlugRetryPauseMs = 10;
constexpr DWORD kOpenRetryPauseMs = 20;
// How long a cancelled take may take to end before the link counts it as lost.
constexpr DWORD kCancelBoundMs = 2000;

thread_local DWORD t_lastError = ERROR_SUCCESS;

bool Fail(DWORD error) {
    t_lastError = error;
    return false;
}

void CloseIfOpen(HANDLE handle) {
    if (handle) CloseHandle(handle);
}

}  // namespace

struct Link::State {
    HANDLE control = INVALID_HANDLE_VALUE;  // overlapped: a take waits while other requests go on
    HANDLE released = nullptr;              // manual reset, set by Release()
    HANDLE takeDone = nullptr;              // the take's completion
    std::mutex takeMutex;
    // The take's request lives here, not on a caller's stack, so a take the driver never ends cannot
    // write into memory that has gone.
    OVERLAPPED takeOverlapped{};
    vh_report takeReport{};
    bool takeStuck = false;  // a cancelled take never ended: the state must outlive the link

    ~State() {
        if (control != INVALID_HANDLE_VALUE) CloseHandle(control);
        CloseIfOpen(released);
        CloseIfOpen(takeDone);
    }
};

Link::Link(std::unique_ptr<State> state) : state_(std::move(state)) {}

Link::~Link() {
    Release();
    bool stuck;
    {
        // A take on another thread returns promptly once released.
        std::lock_guard<std::mutex> lock(state_->takeMutex);
        stuck = state_->takeStuck;
    }
    // Closing the handle would end the lost take and write into the state: it is kept for good.
    if (stuck) (void)state_.release();
}

std::unique_ptr<Link> Link::Open() {
    auto state = std::make_unique<State>();
    state->control =
        CreateFileA(VH_CONTROL_PATH, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (state->control == INVALID_HANDLE_VALUE) {
        Fail(GetLastError());
        return nullptr;
    }
    state->released = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    state->takeDone = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!state->released || !state->takeDone) {
        Fail(GetLastError());
        return nullptr;
    }
    return std::unique_ptr<Link>(new Link(std::move(state)));
}

std::unique_ptr<Link> Link::Open(DWORD boundMs) {
    const DWORD started = GetTickCount();
    for (;;) {
        auto link = Open();
        if (link) return link;
        const bool absent = t_lastError == ERROR_FILE_NOT_FOUND || t_lastError == ERROR_PATH_NOT_FOUND;
        if (!absent || GetTickCount() - started >= boundMs) return nullptr;
        Sleep(kOpenRetryPauseMs);
    }
}

DWORD Link::LastError() {
    return t_lastError;
}

bool Link::Request(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!overlapped.hEvent) return Fail(GetLastError());
    DWORD transferred = 0;
    BOOL ok = DeviceIoControl(state_->control, code, const_cast<void*>(in), inSize, out, outSize, nullptr,
                              &overlapped);
    if (ok || GetLastError() == ERROR_IO_PENDING)
        ok = GetOverlappedResult(state_->control, &overlapped, &transferred, TRUE);
    const DWORD error = ok ? ERROR_SUCCESS : GetLastError();
    CloseHandle(overlapped.hEvent);
    if (!ok) return Fail(error);
    if (transferred != outSize) return Fail(ERROR_INVALID_DATA);
    return true;
}

bool Link::Plug(const DeviceShape& shape) {
    vh_plug_request request{};
    request.vendor_id = shape.vendorId;
    request.product_id = shape.productId;
    request.input_report_length = shape.inputReportLength;
    request.output_report_length = shape.outputReportLength;
    const DWORD started = GetTickCount();
    for (;;) {
        if (Request(VH_IOCTL_PLUG, &request, sizeof(request), nullptr, 0)) return true;
        if (t_lastError != ERROR_RETRY || GetTickCount() - started > kPlugRetryBoundMs) return false;
        Sleep(kPlugRetryPauseMs);
    }
}

bool Link::Unplug() {
    return Request(VH_IOCTL_UNPLUG, nullptr, 0, nullptr, 0);
}

bool Link::SendInput(const uint8_t* report, size_t length) {
    if (!report || length == 0 || length > VH_MAX_REPORT_PAYLOAD + 1) return Fail(ERROR_INVALID_PARAMETER);
    vh_report request{};
    request.report_id = report[0];
    request.length = static_cast<uint32_t>(length - 1);
    std::memcpy(request.payload, report + 1, length - 1);
    return Request(VH_IOCTL_SEND_INPUT, &request, sizeof(request), nullptr, 0);
}

bool Link::TakeOutput(std::vector<uint8_t>& report, DWORD timeoutMs) {
    State& state = *state_;
    std::lock_guard<std::mutex> lock(state.takeMutex);
    if (state.takeStuck) return Fail(ERROR_IO_DEVICE);
    if (WaitForSingleObject(state.released, 0) == WAIT_OBJECT_0) return Fail(ERROR_CANCELLED);

    ResetEvent(state.takeDone);
    state.takeOverlapped = OVERLAPPED{};
    state.takeOverlapped.hEvent = state.takeDone;
    state.takeReport = vh_report{};
    DWORD gaveUp = ERROR_SUCCESS;
    if (!DeviceIoControl(state.control, VH_IOCTL_TAKE_OUTPUT, nullptr, 0, &state.takeReport,
                         sizeof(state.takeReport), nullptr, &state.takeOverlapped)) {
        if (GetLastError() != ERROR_IO_PENDING) return Fail(GetLastError());
        const HANDLE waits[2] = {state.takeDone, state.released};
        const DWORD woken = WaitForMultipleObjects(2, waits, FALSE, timeoutMs);
        if (woken != WAIT_OBJECT_0) {
            gaveUp = woken == WAIT_TIMEOUT ? WAIT_TIMEOUT : ERROR_CANCELLED;
            CancelIoEx(state.control, &state.takeOverlapped);
            // The take ends now: cancelled, or with a report that came in meanwhile, which is kept.
            if (WaitForSingleObject(state.takeDone, kCancelBoundMs) != WAIT_OBJECT_0) {
                state.takeStuck = true;
                return Fail(ERROR_IO_DEVICE);
            }
        }
    }
    DWORD transferred = 0;
    if (!GetOverlappedResult(state.control, &state.takeOverlapped, &transferred, FALSE)) {
        const DWORD error = GetLastError();
        return Fail(error == ERROR_OPERATION_ABORTED && gaveUp != ERROR_SUCCESS ? gaveUp : error);
    }
    if (transferred != sizeof(state.takeReport) || state.takeReport.length > VH_MAX_REPORT_PAYLOAD)
        return Fail(ERROR_INVALID_DATA);
    report.assign(1 + state.takeReport.length, 0);
    report[0] = state.takeReport.report_id;
    std::memcpy(report.data() + 1, state.takeReport.payload, state.takeReport.length);
    return true;
}

void Link::Release() {
    SetEvent(state_->released);
}

bool Link::QueryStatus(BusStatus& status) {
    vh_status answer{};
    if (!Request(VH_IOCTL_STATUS, nullptr, 0, &answer, sizeof(answer))) return false;
    status.plugged = answer.plugged != 0;
    status.pendingReads = static_cast<int>(answer.pending_reads);
    status.queuedInputs = static_cast<int>(answer.queued_inputs);
    status.queuedOutputs = static_cast<int>(answer.queued_outputs);
    status.droppedOutputs = static_cast<int>(answer.dropped_outputs);
    status.plugCount = static_cast<int>(answer.plug_count);
    return true;
}

int Link::PendingReads() {
    BusStatus status;
    return QueryStatus(status) ? status.pendingReads : -1;
}

}  // namespace vhandset
