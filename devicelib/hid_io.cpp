#include "hid_io.h"

#include <setupapi.h>
extern "C" {
#include <hidsdi.h>
}

#include <algorithm>
#include <string>
#include <utility>
#include <cstring>

namespace vocetta {
namespace {

constexpr DWORD kMaxInterfaces = 127;

struct HandleCloser {
    void operator()(HANDLE handle) const {
        if (handle != INVALID_HANDLE_VALUE && handle != nullptr) CloseHandle(handle);
    }
};
// A kernel handle that is closed when it goes out of scope. INVALID_HANDLE_VALUE and null mean none.
class ScopedHandle {
  public:
    explicit ScopedHandle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    ~ScopedHandle() { HandleCloser{}(handle_); }
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HANDLE release() { return std::exchange(handle_, INVALID_HANDLE_VALUE); }

  private:
    HANDLE handle_;
};

class DeviceInfoSet {
  public:
    explicit DeviceInfoSet(const GUID& hidGuid)
        : set_(SetupDiGetClassDevsA(&hidGuid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE)) {}
    DeviceInfoSet(const DeviceInfoSet&) = delete;
    DeviceInfoSet& operator=(const DeviceInfoSet&) = delete;
    ~DeviceInfoSet() {
        if (valid()) SetupDiDestroyDeviceInfoList(set_);
    }
    bool valid() const { return set_ != INVALID_HANDLE_VALUE && set_ != nullptr; }
    HDEVINFO get() const { return set_; }

  private:
    HDEVINFO set_;
};

class PreparsedData {
  public:
    explicit PreparsedData(HANDLE device) {
        if (!HidD_GetPreparsedData(device, &data_)) data_ = nullptr;
    }
    PreparsedData(const PreparsedData&) = delete;
    PreparsedData& operator=(const PreparsedData&) = delete;
    ~PreparsedData() {
        if (data_ != nullptr) HidD_FreePreparsedData(data_);
    }
    PHIDP_PREPARSED_DATA get() const { return data_; }

  private:
    PHIDP_PREPARSED_DATA data_ = nullptr;
};

struct Candidate {
    ScopedHandle sync;
    ScopedHandle overlapped;
};

// The device path of interface `index`, or an empty string.
std::string InterfacePath(const GUID& hidGuid, DWORD index) {
    DeviceInfoSet set(hidGuid);
    if (!set.valid()) return {};
    SP_DEVICE_INTERFACE_DATA interfaceData{};
    interfaceData.cbSize = sizeof(interfaceData);
    if (!SetupDiEnumDeviceInterfaces(set.get(), nullptr, &hidGuid, index, &interfaceData)) return {};
    DWORD required = 0;
    SetupDiGetDeviceInterfaceDetailA(set.get(), &interfaceData, nullptr, 0, &required, nullptr);
    if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) return {};
    std::vector<uint8_t> buffer(required);
    auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(buffer.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (!SetupDiGetDeviceInterfaceDetailA(set.get(), &interfaceData, detail, required, nullptr, nullptr))
        return {};
    const size_t room = required - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
    return std::string(detail->DevicePath, strnlen(detail->DevicePath, room));
}

HANDLE OpenDevicePath(const std::string& path, DWORD flags) {
    return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, flags, nullptr);
}

// Whether the opened interface is the handset; fills in its report lengths. A handset whose capabilities
// cannot be read is no use: nothing would say how long its reports are.
bool IsHandset(HANDLE sync, USHORT vendorId, USHORT productId, HIDP_CAPS& caps) {
    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof(attributes);
    if (!HidD_GetAttributes(sync, &attributes)) return false;
    if (attributes.VendorID != vendorId || attributes.ProductID != productId) return false;
    PreparsedData preparsed(sync);
    if (preparsed.get() == nullptr) return false;
    return HidP_GetCaps(preparsed.get(), &caps) == HIDP_STATUS_SUCCESS;
}

}  // namespace

HandsetConnection::~HandsetConnection() {
    // Closing the read handle cancels a pending read, whose completion still writes into the OVERLAPPED and
    // the buffer: they are freed once it has come. A read the system does not finish keeps them for good.
    constexpr DWORD kCancelBoundMs = 500;
    HandleCloser{}(syncHandle);
    HandleCloser{}(overlappedHandle);
    HandleCloser{}(closing);
    if (!read) return;
    if (read->pending && WaitForSingleObject(read->completion, kCancelBoundMs) != WAIT_OBJECT_0) {
        (void)read.release();
        return;
    }
    HandleCloser{}(read->completion);
}

HandsetDevice& Device() {
    static HandsetDevice device;
    return device;
}

bool IsNtFamily() {
    OSVERSIONINFOA info;
    std::memset(&info, 0, sizeof(info));
    info.dwOSVersionInfoSize = sizeof(info);
    return GetVersionExA(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

bool FindHandset(USHORT vendorId, USHORT productId) {
    HandsetDevice& device = Device();
    GUID hidGuid;
    HidD_GetHidGuid(&hidGuid);
    {
        std::lock_guard<std::mutex> lock(device.mutex);
        device.vendorId = vendorId;
        device.productId = productId;
    }
    CloseHandset();

    for (DWORD index = 0; index < kMaxInterfaces; ++index) {
        const std::string path = InterfacePath(hidGuid, index);
        if (path.empty()) continue;
        Candidate candidate{ScopedHandle(OpenDevicePath(path, 0)),
                            ScopedHandle(OpenDevicePath(path, FILE_FLAG_OVERLAPPED))};
        if (!candidate.sync.valid()) continue;
        HIDP_CAPS caps{};
        if (!IsHandset(candidate.sync.get(), vendorId, productId, caps)) continue;

        auto connection = std::make_shared<HandsetConnection>();
        connection->read = std::make_unique<InputRead>();
        connection->closing = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        connection->read->completion = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (connection->closing == nullptr || connection->read->completion == nullptr) return false;
        connection->syncHandle = candidate.sync.release();
        connection->overlappedHandle = candidate.overlapped.release();
        connection->inputReportLength = caps.InputReportByteLength;
        connection->outputReportLength = caps.OutputReportByteLength;
        connection->read->buffer.assign(std::max<size_t>(caps.InputReportByteLength, kInputReportSize), 0);
        connection->output.assign(std::max<size_t>(caps.OutputReportByteLength, kOutputReportSize), 0);
        std::lock_guard<std::mutex> lock(device.mutex);
        device.connection = std::move(connection);
        device.hookStatus = -1;
        return true;
    }
    return false;
}

// Forgets the open handset. A read in progress gives up at once and lets go of it then.
void CloseHandset() {
    std::shared_ptr<HandsetConnection> old;
    {
        HandsetDevice& device = Device();
        std::lock_guard<std::mutex> lock(device.mutex);
        old = std::move(device.connection);
    }
    if (old) SetEvent(old->closing);
}

bool WriteOutputReport(HandsetConnection& connection, size_t needed) {
    if (connection.syncHandle == INVALID_HANDLE_VALUE || connection.outputReportLength < needed) return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(connection.syncHandle, connection.output.data(), connection.outputReportLength,
                              &written, nullptr);
    return ok && written == connection.outputReportLength;
}

namespace {

// The outcome of the connection's read, which has completed.
ReadOutcome TakeCompletedRead(HandsetConnection& connection, std::array<uint8_t, kInputReportSize>& report) {
    InputRead& read = *connection.read;
    read.pending = false;
    DWORD transferred = 0;
    const BOOL ok = GetOverlappedResult(connection.overlappedHandle, &read.overlapped, &transferred, FALSE);
    if (!ok || transferred != connection.inputReportLength) return ReadOutcome::Nothing;
    report.fill(0);
    const size_t kept = std::min<size_t>(transferred, report.size());
    std::memcpy(report.data(), read.buffer.data(), kept);
    return ReadOutcome::Report;
}

}  // namespace

ReadOutcome ReadInputReport(HandsetConnection& connection, const GiveUpEvents& giveUp, DWORD timeoutMs,
                            std::array<uint8_t, kInputReportSize>& report) {
    std::lock_guard<std::mutex> lock(connection.readMutex);
    const DWORD length = connection.inputReportLength;
    if (connection.overlappedHandle == INVALID_HANDLE_VALUE || !connection.read || length < kKeyReportSize)
        return ReadOutcome::Broken;
    InputRead& read = *connection.read;
    if (!read.pending) {
        std::memset(&read.overlapped, 0, sizeof(read.overlapped));
        read.overlapped.hEvent = read.completion;
        read.pending = true;
        if (ReadFile(connection.overlappedHandle, read.buffer.data(), length, nullptr, &read.overlapped))
            return TakeCompletedRead(connection, report);
        if (GetLastError() != ERROR_IO_PENDING) {
            read.pending = false;
            return ReadOutcome::Broken;
        }
    }
    HANDLE waits[2 + std::tuple_size_v<GiveUpEvents>] = {read.completion, connection.closing};
    DWORD count = 2;
    for (HANDLE event : giveUp) {
        if (event != nullptr) waits[count++] = event;
    }
    const DWORD result = WaitForMultipleObjects(count, waits, FALSE, timeoutMs);
    if (result == WAIT_OBJECT_0) return TakeCompletedRead(connection, report);
    if (result == WAIT_TIMEOUT) return ReadOutcome::Nothing;
    if (result > WAIT_OBJECT_0 && result < WAIT_OBJECT_0 + count) return ReadOutcome::GivenUp;
    return ReadOutcome::Broken;
}

}  // namespace vocetta
