// The HID bus: devices and their open handles, HID class calls, and file I/O on device handles (CreateFileA,
// ReadFile, WriteFile, CancelIo, GetOverlappedResult).
//
// Each CreateFileA gives its own file object with its own queue of input reports, as the HID class driver
// does. A read either takes a queued report at once or stays pending until the device produces a report or
// a failure, the device goes away, or the read is cancelled. Like Windows, a pending read keeps the caller's
// OVERLAPPED and buffer until it completes: completion writes the status into OVERLAPPED.Internal, the byte
// count into InternalHigh, and signals the OVERLAPPED's event. A cancelled read (CancelIo, or the closing of
// its handle) completes inside that call with ERROR_OPERATION_ABORTED. A test can make cancelled reads
// complete later on a completion thread of winsim's (hidSetCancelDelay), to watch what a program does with
// a cancelled read that has not completed yet.
#include "hid_state.h"
#include "internal.h"

#include <hidsdi.h>
#include <winsim/control.h>

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <thread>

// The record behind a PHIDP_PREPARSED_DATA: what HidP_GetCaps reports for the device it came from.
struct _HIDP_PREPARSED_DATA {
    HIDP_CAPS caps{};
    bool capsFail = false;
};

namespace winsim::detail {
namespace {

// Completion statuses as the I/O manager stores them in OVERLAPPED.Internal.
constexpr ULONG_PTR kStatusSuccess = 0x00000000;
constexpr ULONG_PTR kStatusPending = 0x00000103;

struct StatusForError {
    DWORD error;
    ULONG_PTR status;
};
constexpr StatusForError kStatusTable[] = {
    {ERROR_OPERATION_ABORTED, 0xC0000120},     // STATUS_CANCELLED
    {ERROR_DEVICE_NOT_CONNECTED, 0xC000009D},  // STATUS_DEVICE_NOT_CONNECTED
    {ERROR_GEN_FAILURE, 0xC0000001},           // STATUS_UNSUCCESSFUL
    {ERROR_INVALID_USER_BUFFER, 0xC00000E8},   // STATUS_INVALID_USER_BUFFER
};
// Any other Win32 error travels as NTSTATUS_FROM_WIN32 (facility 7), as Windows does.
constexpr ULONG_PTR kWin32StatusBase = 0xC0070000;

ULONG_PTR statusFromError(DWORD error) {
    for (const auto& entry : kStatusTable) {
        if (entry.error == error) return entry.status;
    }
    return kWin32StatusBase | (error & 0xFFFF);
}

DWORD errorFromStatus(ULONG_PTR status) {
    for (const auto& entry : kStatusTable) {
        if (entry.status == status) return entry.error;
    }
    if ((status & 0xFFFF0000) == kWin32StatusBase) return static_cast<DWORD>(status & 0xFFFF);
    return ERROR_GEN_FAILURE;
}

// A read that waits for the device.
struct PendingRead {
    DWORD threadId = 0;                // CancelIo cancels only the caller's own reads
    OVERLAPPED* overlapped = nullptr;  // the caller's: the system's until the read completes
    uint8_t* buffer = nullptr;         // the caller's, likewise
    DWORD length = 0;
    std::shared_ptr<Event> event;  // referenced when the read is issued, as Windows does
};

// What waits in a handle's queue: a report, or a failure for the next read.
struct QueuedInput {
    std::vector<uint8_t> report;
    DWORD error = ERROR_SUCCESS;
};

struct HidFile;

struct HidDevice {
    HidDeviceId id = 0;
    HidDeviceDesc desc;
    std::shared_ptr<HidDeviceModel> model;
    bool present = true;
    std::vector<std::weak_ptr<HidFile>> files;
    size_t cancellingReads = 0;  // cancelled reads whose completion has not happened yet
};

// The threads in a blocking ReadFile, or in GetOverlappedResult with bWait on an OVERLAPPED without an
// event: they wait for the status. Never destroyed, like stateChanged.
WaitList& ioCompleted() {
    static auto& list = *new WaitList;
    return list;
}

void completeRead(const PendingRead& read, ULONG_PTR status, DWORD bytes) {
    read.overlapped->Internal = status;
    read.overlapped->InternalHigh = bytes;
    if (read.event) signalEvent(*read.event);
    ioCompleted().notify_all();
}

// Completes a read with the next input: copies the report into the caller's buffer, or fails the read.
void completeRead(const PendingRead& read, const QueuedInput& input) {
    if (input.error != ERROR_SUCCESS) {
        completeRead(read, statusFromError(input.error), 0);
        return;
    }
    const DWORD bytes = static_cast<DWORD>(std::min<size_t>(input.report.size(), read.length));
    if (bytes > 0) std::memcpy(read.buffer, input.report.data(), bytes);
    completeRead(read, kStatusSuccess, bytes);
}

// Completes cancelled reads: at once, or, once a test has set a delay, that long after CancelIo or
// CloseHandle, on a thread of its own.
class CompletionWorker {
  public:
    static CompletionWorker& instance() {
        // bigLock must outlive the worker, which joins its thread when the program ends.
        (void)bigLock();
        static CompletionWorker worker;
        return worker;
    }

    // Requires bigLock.
    void cancel(const std::shared_ptr<HidDevice>& device, PendingRead read) {
        const ULONG_PTR status = statusFromError(ERROR_OPERATION_ABORTED);
        if (delay_.count() == 0) {
            completeRead(read, status, 0);
            return;
        }
        ++device->cancellingReads;
        Item item{Clock::now() + delay_, device, std::move(read), status};
        const auto later =
            std::upper_bound(items_.begin(), items_.end(), item.due,
                             [](Clock::time_point due, const Item& other) { return due < other.due; });
        items_.insert(later, std::move(item));
        if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
        scheduled_.notify_all();
    }

    // Requires bigLock. Cancellations already scheduled keep their time.
    void setDelay(std::chrono::milliseconds delay) { delay_ = delay; }

    // Requires bigLock. winsim::reset: the reads are forgotten, not completed.
    void forget() {
        items_.clear();
        delay_ = kDefaultDelay;
    }

    ~CompletionWorker() {
        {
            Lock lock(bigLock());
            stop_ = true;
            scheduled_.notify_all();
        }
        if (thread_.joinable()) thread_.join();
    }

  private:
    static constexpr std::chrono::milliseconds kDefaultDelay{0};

    struct Item {
        Clock::time_point due;
        std::shared_ptr<HidDevice> device;
        PendingRead read;
        ULONG_PTR status;
    };

    CompletionWorker() = default;

    void run() {
        markSimulatorThread();
        Lock lock(bigLock());
        while (!stop_) {
            if (items_.empty()) {
                scheduled_.wait(lock);
            } else if (items_.front().due > Clock::now()) {
                scheduled_.wait_until(lock, items_.front().due);
            } else {
                Item item = std::move(items_.front());
                items_.pop_front();
                --item.device->cancellingReads;
                completeRead(item.read, item.status, 0);
            }
        }
    }

    std::deque<Item> items_;  // in order of `due`
    std::chrono::milliseconds delay_ = kDefaultDelay;
    WaitList scheduled_;  // the worker's own thread, woken by a new cancellation or by the end
    bool stop_ = false;
    std::thread thread_;
};

// One CreateFileA on a device.
struct HidFile final : KernelObject {
    HANDLE handle = nullptr;
    std::shared_ptr<HidDevice> device;
    DWORD access = 0;
    DWORD share = 0;
    bool overlapped = false;
    bool closed = false;
    std::deque<QueuedInput> queue;
    size_t capacity = 0;            // reports the queue keeps (HidD_SetNumInputBuffers)
    std::deque<PendingRead> reads;  // oldest first

    // Closing the handle cancels its reads.
    void onHandleClosed() override {
        closed = true;
        queue.clear();
        for (auto& read : reads) CompletionWorker::instance().cancel(device, std::move(read));
        reads.clear();
    }

    // The device produced a report or a failure: the oldest pending read takes it, else it is queued.
    void deliver(const QueuedInput& input) {
        if (!reads.empty()) {
            completeRead(reads.front(), input);
            reads.pop_front();
            return;
        }
        if (capacity == 0) return;
        if (queue.size() >= capacity) queue.pop_front();
        queue.push_back(input);
    }
};

struct Bus {
    std::vector<std::shared_ptr<HidDevice>> present;          // the interface list, in plug order
    std::map<HidDeviceId, std::shared_ptr<HidDevice>> known;  // every device since reset, removed ones too
    std::map<const _HIDP_PREPARSED_DATA*, std::unique_ptr<_HIDP_PREPARSED_DATA>> preparsed;
};

Bus& bus() {
    static Bus b;
    return b;
}

HidDeviceId nextDeviceId = 1;  // guarded by bigLock; never reset, so a stale id never names a new device

ResetHook hidReset([] {
    CompletionWorker::instance().forget();
    bus() = Bus{};
});

// Requires bigLock.
void cancelReadsOf(HidFile& file, DWORD threadId) {
    std::erase_if(file.reads, [&](PendingRead& read) {
        if (read.threadId != threadId) return false;
        CompletionWorker::instance().cancel(file.device, std::move(read));
        return true;
    });
}

std::shared_ptr<HidDevice> findDevice(HidDeviceId id) {
    auto it = bus().known.find(id);
    return it == bus().known.end() ? nullptr : it->second;
}

// The device's handles that are still open.
std::vector<std::shared_ptr<HidFile>> openFiles(HidDevice& device) {
    std::vector<std::shared_ptr<HidFile>> files;
    std::erase_if(device.files, [](const std::weak_ptr<HidFile>& f) { return f.expired(); });
    for (const auto& weak : device.files) {
        if (auto file = weak.lock(); file && !file->closed) files.push_back(std::move(file));
    }
    return files;
}

// Windows cancels the reads a thread issued when the thread ends; a thread that left one pending is
// noted here, and its reads are cancelled on every handle when it ends.
struct ThreadReads {
    DWORD threadId = 0;  // set once the thread left a read pending
    ~ThreadReads() {
        if (threadId == 0) return;
        Lock lock(bigLock());
        for (const auto& [id, device] : bus().known) {
            for (const auto& file : openFiles(*device)) cancelReadsOf(*file, threadId);
        }
    }
};
thread_local ThreadReads threadReads;

std::string defaultPath(HidDeviceId id, const HidDeviceDesc& desc) {
    char path[128];
    std::snprintf(path, sizeof(path),
                  "\\\\?\\hid#vid_%04x&pid_%04x#7&%x&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}",
                  desc.vendorId, desc.productId, static_cast<unsigned>(id));
    return path;
}

std::shared_ptr<HidDevice> presentDeviceByPath(const char* path) {
    for (const auto& device : bus().present) {
        if (strcasecmp(device->desc.path.c_str(), path) == 0) return device;
    }
    return nullptr;
}

// Whether a new open with `access` and `share` can coexist with the device's open handles.
bool sharingAllows(HidDevice& device, DWORD access, DWORD share) {
    const auto conflicts = [](DWORD wantedAccess, DWORD grantedShare) {
        return ((wantedAccess & GENERIC_READ) && !(grantedShare & FILE_SHARE_READ)) ||
               ((wantedAccess & GENERIC_WRITE) && !(grantedShare & FILE_SHARE_WRITE));
    };
    for (const auto& file : openFiles(device)) {
        if (conflicts(access, file->share) || conflicts(file->access, share)) return false;
    }
    return true;
}

// The OVERLAPPED's event, reset as an I/O is issued. False when hEvent is not an event.
bool takeOverlappedEvent(const OVERLAPPED* overlapped, std::shared_ptr<Event>& event) {
    if (overlapped == nullptr || overlapped->hEvent == nullptr) return true;
    event = lookupHandleAs<Event>(overlapped->hEvent);
    if (!event) return false;
    event->signaled = false;
    return true;
}

template <class Result>
Result fail(DWORD error, Result result) {
    SetLastError(error);
    return result;
}

}  // namespace

std::vector<std::string> presentHidPaths() {
    std::vector<std::string> paths;
    for (const auto& device : bus().present) paths.push_back(device->desc.path);
    return paths;
}

}  // namespace winsim::detail

using namespace winsim::detail;
using winsim::HidDeviceDesc;
using winsim::HidDeviceModel;
using winsim::HidWriteOutcome;

// ---- control API ------------------------------------------------------------------------------------------

namespace winsim {

HidDeviceId hidPlug(const HidDeviceDesc& desc, std::shared_ptr<HidDeviceModel> model) {
    auto device = std::make_shared<HidDevice>();
    device->desc = desc;
    device->model = model;
    {
        Lock lock(bigLock());
        device->id = nextDeviceId++;
        if (device->desc.path.empty()) device->desc.path = defaultPath(device->id, desc);
        if (presentDeviceByPath(device->desc.path.c_str())) return -1;
        bus().present.push_back(device);
        bus().known[device->id] = device;
    }
    if (model) model->onPlugged(device->id);
    broadcastDeviceArrival(device->desc.path);
    return device->id;
}

void hidUnplug(HidDeviceId id) {
    std::string path;
    std::vector<HANDLE> handles;
    {
        Lock lock(bigLock());
        auto device = findDevice(id);
        if (!device || !device->present) return;
        device->present = false;
        std::erase(bus().present, device);
        for (const auto& file : openFiles(*device)) {
            handles.push_back(file->handle);
            for (const auto& read : file->reads)
                completeRead(read, statusFromError(ERROR_DEVICE_NOT_CONNECTED), 0);
            file->reads.clear();
            file->queue.clear();
        }
        path = device->desc.path;
    }
    broadcastDeviceRemoval(path, handles);
}

static void deliverToOpenHandles(HidDeviceId id, QueuedInput input) {
    Lock lock(bigLock());
    auto device = findDevice(id);
    if (!device || !device->present) return;
    const size_t declared = device->desc.inputReportLength;
    if (declared > 0 && input.report.size() > declared) input.report.resize(declared);
    for (const auto& file : openFiles(*device)) file->deliver(input);
}

void hidInputReport(HidDeviceId id, const std::vector<uint8_t>& report) {
    deliverToOpenHandles(id, QueuedInput{report, ERROR_SUCCESS});
}

void hidInputFailure(HidDeviceId id, DWORD error) {
    deliverToOpenHandles(id, QueuedInput{{}, error == ERROR_SUCCESS ? DWORD{ERROR_GEN_FAILURE} : error});
}

bool hidPresent(HidDeviceId id) {
    Lock lock(bigLock());
    auto device = findDevice(id);
    return device && device->present;
}

size_t hidOpenHandleCount(HidDeviceId id) {
    Lock lock(bigLock());
    auto device = findDevice(id);
    return device ? openFiles(*device).size() : 0;
}

size_t hidPendingReadCount(HidDeviceId id) {
    Lock lock(bigLock());
    auto device = findDevice(id);
    if (!device) return 0;
    size_t count = device->cancellingReads;
    for (const auto& file : openFiles(*device)) count += file->reads.size();
    return count;
}

void hidSetCancelDelay(DWORD milliseconds) {
    Lock lock(bigLock());
    CompletionWorker::instance().setDelay(std::chrono::milliseconds(milliseconds));
}

size_t hidOutstandingPreparsedData() {
    Lock lock(bigLock());
    return bus().preparsed.size();
}

}  // namespace winsim

// ---- Win32 ------------------------------------------------------------------------------------------------

extern "C" {

// Simplifications: only the paths of HID devices on the bus open, only with OPEN_EXISTING; security
// attributes, file attributes and templates are not looked at.
HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode, LPSECURITY_ATTRIBUTES,
                          DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes, HANDLE) {
    if (lpFileName == nullptr || dwCreationDisposition != OPEN_EXISTING) {
        return fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    }
    Lock lock(bigLock());
    auto device = presentDeviceByPath(lpFileName);
    if (!device) return fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
    const DWORD access = dwDesiredAccess & (GENERIC_READ | GENERIC_WRITE);
    if (access != 0 && !device->desc.readWriteAccess) return fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
    if (!sharingAllows(*device, access, dwShareMode))
        return fail(ERROR_SHARING_VIOLATION, INVALID_HANDLE_VALUE);

    auto file = std::make_shared<HidFile>();
    file->device = device;
    file->access = access;
    file->share = dwShareMode;
    file->overlapped = (dwFlagsAndAttributes & FILE_FLAG_OVERLAPPED) != 0;
    file->capacity = device->desc.inputQueueLength;
    file->handle = insertHandle(file);
    device->files.push_back(file);
    return file->handle;
}

// Simplifications: an OVERLAPPED without an event works, but the file handle itself is not waitable; reads of
// a thread that ends are not cancelled; reads on a synchronous handle are not serialised.
BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
                     LPOVERLAPPED lpOverlapped) {
    Lock lock(bigLock());
    auto file = lookupHandleAs<HidFile>(hFile);
    if (!file) return fail(ERROR_INVALID_HANDLE, FALSE);
    if (!(file->access & GENERIC_READ)) return fail(ERROR_ACCESS_DENIED, FALSE);
    if (!file->device->present) return fail(ERROR_DEVICE_NOT_CONNECTED, FALSE);
    if (file->overlapped && lpOverlapped == nullptr) return fail(ERROR_INVALID_PARAMETER, FALSE);
    if (lpBuffer == nullptr || nNumberOfBytesToRead < file->device->desc.inputReportLength) {
        return fail(ERROR_INVALID_USER_BUFFER, FALSE);
    }
    std::shared_ptr<Event> event;
    if (!takeOverlappedEvent(lpOverlapped, event)) return fail(ERROR_INVALID_HANDLE, FALSE);
    if (lpNumberOfBytesRead != nullptr) *lpNumberOfBytesRead = 0;

    OVERLAPPED own{};  // a synchronous read waits on its own record
    PendingRead read{currentThreadId(), file->overlapped ? lpOverlapped : &own,
                     static_cast<uint8_t*>(lpBuffer), nNumberOfBytesToRead,
                     file->overlapped ? event : nullptr};

    if (!file->queue.empty()) {
        const QueuedInput input = std::move(file->queue.front());
        file->queue.pop_front();
        // A read that fails at once leaves the OVERLAPPED alone and its event unsignalled, as on Windows.
        if (input.error != ERROR_SUCCESS) return fail(input.error, FALSE);
        completeRead(read, input);
    } else if (file->overlapped) {
        lpOverlapped->Internal = kStatusPending;
        lpOverlapped->InternalHigh = 0;
        file->reads.push_back(read);
        threadReads.threadId = read.threadId;
        return fail(ERROR_IO_PENDING, FALSE);
    } else {
        own.Internal = kStatusPending;
        file->reads.push_back(read);
        while (own.Internal == kStatusPending) ioCompleted().wait(lock);
    }

    const OVERLAPPED& done = *read.overlapped;
    if (!file->overlapped && lpOverlapped != nullptr) {
        // A synchronous handle still reports through a given OVERLAPPED.
        lpOverlapped->Internal = done.Internal;
        lpOverlapped->InternalHigh = done.InternalHigh;
        if (event) signalEvent(*event);
    }
    if (done.Internal != kStatusSuccess) return fail(errorFromStatus(done.Internal), FALSE);
    if (lpNumberOfBytesRead != nullptr) *lpNumberOfBytesRead = static_cast<DWORD>(done.InternalHigh);
    return TRUE;
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                      LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) {
    std::shared_ptr<HidDeviceModel> model;
    std::shared_ptr<Event> event;
    {
        Lock lock(bigLock());
        auto file = lookupHandleAs<HidFile>(hFile);
        if (!file) return fail(ERROR_INVALID_HANDLE, FALSE);
        if (!(file->access & GENERIC_WRITE)) return fail(ERROR_ACCESS_DENIED, FALSE);
        if (!file->device->present) return fail(ERROR_DEVICE_NOT_CONNECTED, FALSE);
        if (file->overlapped && lpOverlapped == nullptr) return fail(ERROR_INVALID_PARAMETER, FALSE);
        // The HID class driver wants the whole report.
        if (lpBuffer == nullptr || nNumberOfBytesToWrite < file->device->desc.outputReportLength) {
            return fail(ERROR_INVALID_USER_BUFFER, FALSE);
        }
        if (!takeOverlappedEvent(lpOverlapped, event)) return fail(ERROR_INVALID_HANDLE, FALSE);
        if (lpNumberOfBytesWritten != nullptr) *lpNumberOfBytesWritten = 0;
        model = file->device->model;
    }

    // The device takes the report on the writing thread; an overlapped write has completed when it returns.
    HidWriteOutcome outcome{true, nNumberOfBytesToWrite, ERROR_SUCCESS};
    if (model) outcome = model->onOutputReport(static_cast<const uint8_t*>(lpBuffer), nNumberOfBytesToWrite);

    Lock lock(bigLock());
    if (!outcome.ok)
        return fail(outcome.error == ERROR_SUCCESS ? DWORD{ERROR_GEN_FAILURE} : outcome.error, FALSE);
    const DWORD bytes = std::min(outcome.bytesWritten, nNumberOfBytesToWrite);
    if (lpOverlapped != nullptr) {
        lpOverlapped->Internal = kStatusSuccess;
        lpOverlapped->InternalHigh = bytes;
        if (event) signalEvent(*event);
    }
    if (lpNumberOfBytesWritten != nullptr) *lpNumberOfBytesWritten = bytes;
    return TRUE;
}

BOOL WINAPI CancelIo(HANDLE hFile) {
    Lock lock(bigLock());
    auto file = lookupHandleAs<HidFile>(hFile);
    if (!file) return fail(ERROR_INVALID_HANDLE, FALSE);
    cancelReadsOf(*file, currentThreadId());
    return TRUE;
}

// With bWait, an OVERLAPPED that has an event is judged by its event, as on Windows: once the event is set
// the call returns, even when someone else set it while the I/O still runs, and the I/O then reads as a
// success with the bytes counted so far. Without an event it waits for the I/O itself.
BOOL WINAPI GetOverlappedResult(HANDLE, LPOVERLAPPED lpOverlapped, LPDWORD lpNumberOfBytesTransferred,
                                BOOL bWait) {
    if (lpOverlapped == nullptr) return fail(ERROR_INVALID_PARAMETER, FALSE);
    Lock lock(bigLock());
    if (lpOverlapped->Internal == kStatusPending) {
        if (!bWait) return fail(ERROR_IO_INCOMPLETE, FALSE);
        if (lpOverlapped->hEvent != nullptr) {
            lock.unlock();
            if (WaitForSingleObject(lpOverlapped->hEvent, INFINITE) == WAIT_FAILED) return FALSE;
            lock.lock();
        } else {
            while (lpOverlapped->Internal == kStatusPending) ioCompleted().wait(lock);
        }
    }
    if (lpNumberOfBytesTransferred != nullptr) {
        *lpNumberOfBytesTransferred = static_cast<DWORD>(lpOverlapped->InternalHigh);
    }
    const ULONG_PTR status = lpOverlapped->Internal;
    if (status != kStatusSuccess && status != kStatusPending) return fail(errorFromStatus(status), FALSE);
    return TRUE;
}

void NTAPI HidD_GetHidGuid(LPGUID HidGuid) {
    if (HidGuid != nullptr) *HidGuid = kHidClassGuid;
}

BOOLEAN NTAPI HidD_GetAttributes(HANDLE HidDeviceObject, PHIDD_ATTRIBUTES Attributes) {
    Lock lock(bigLock());
    auto file = lookupHandleAs<HidFile>(HidDeviceObject);
    if (!file) return fail<BOOLEAN>(ERROR_INVALID_HANDLE, FALSE);
    if (Attributes == nullptr) return fail<BOOLEAN>(ERROR_INVALID_PARAMETER, FALSE);
    if (!file->device->present) return fail<BOOLEAN>(ERROR_DEVICE_NOT_CONNECTED, FALSE);
    const HidDeviceDesc& desc = file->device->desc;
    Attributes->Size = sizeof(HIDD_ATTRIBUTES);
    Attributes->VendorID = desc.vendorId;
    Attributes->ProductID = desc.productId;
    Attributes->VersionNumber = desc.versionNumber;
    return TRUE;
}

BOOLEAN NTAPI HidD_GetPreparsedData(HANDLE HidDeviceObject, PHIDP_PREPARSED_DATA* PreparsedData) {
    Lock lock(bigLock());
    auto file = lookupHandleAs<HidFile>(HidDeviceObject);
    if (!file) return fail<BOOLEAN>(ERROR_INVALID_HANDLE, FALSE);
    if (PreparsedData == nullptr) return fail<BOOLEAN>(ERROR_INVALID_PARAMETER, FALSE);
    if (!file->device->present) return fail<BOOLEAN>(ERROR_DEVICE_NOT_CONNECTED, FALSE);
    const HidDeviceDesc& desc = file->device->desc;
    if (desc.preparsedDataFails) return fail<BOOLEAN>(ERROR_GEN_FAILURE, FALSE);
    auto record = std::make_unique<_HIDP_PREPARSED_DATA>();
    record->caps.Usage = desc.usage;
    record->caps.UsagePage = desc.usagePage;
    record->caps.InputReportByteLength = desc.inputReportLength;
    record->caps.OutputReportByteLength = desc.outputReportLength;
    record->caps.NumberLinkCollectionNodes = 1;
    record->capsFail = desc.capsFail;
    *PreparsedData = record.get();
    bus().preparsed.emplace(record.get(), std::move(record));
    return TRUE;
}

BOOLEAN NTAPI HidD_FreePreparsedData(PHIDP_PREPARSED_DATA PreparsedData) {
    Lock lock(bigLock());
    if (bus().preparsed.erase(PreparsedData) == 0) return fail<BOOLEAN>(ERROR_INVALID_PARAMETER, FALSE);
    return TRUE;
}

// The class driver keeps 2 to 512 reports per handle; a smaller queue drops its oldest reports.
BOOLEAN NTAPI HidD_SetNumInputBuffers(HANDLE HidDeviceObject, ULONG NumberBuffers) {
    Lock lock(bigLock());
    auto file = lookupHandleAs<HidFile>(HidDeviceObject);
    if (!file) return fail<BOOLEAN>(ERROR_INVALID_HANDLE, FALSE);
    if (NumberBuffers < 2 || NumberBuffers > 512) return fail<BOOLEAN>(ERROR_INVALID_PARAMETER, FALSE);
    file->capacity = NumberBuffers;
    while (file->queue.size() > file->capacity) file->queue.pop_front();
    return TRUE;
}

BOOLEAN NTAPI HidD_GetNumInputBuffers(HANDLE HidDeviceObject, PULONG NumberBuffers) {
    Lock lock(bigLock());
    auto file = lookupHandleAs<HidFile>(HidDeviceObject);
    if (!file) return fail<BOOLEAN>(ERROR_INVALID_HANDLE, FALSE);
    if (NumberBuffers == nullptr) return fail<BOOLEAN>(ERROR_INVALID_PARAMETER, FALSE);
    *NumberBuffers = static_cast<ULONG>(file->capacity);
    return TRUE;
}

NTSTATUS NTAPI HidP_GetCaps(PHIDP_PREPARSED_DATA PreparsedData, PHIDP_CAPS Capabilities) {
    Lock lock(bigLock());
    // Only records that HidD_GetPreparsedData handed out and that are not yet freed are looked at.
    auto it = bus().preparsed.find(PreparsedData);
    if (it == bus().preparsed.end() || it->second->capsFail || Capabilities == nullptr) {
        return HIDP_STATUS_INVALID_PREPARSED_DATA;
    }
    *Capabilities = it->second->caps;
    return HIDP_STATUS_SUCCESS;
}

}  // extern "C"
