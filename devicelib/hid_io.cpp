#include "hid_io.h"

#include "interface_name.h"

#include <dbt.h>
#include <setupapi.h>
extern "C" {
#include <hidsdi.h>
}

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

namespace vocetta {
namespace {

constexpr DWORD kMaxInterfaces = 127;

// A device information set, let go with SetupDiDestroyDeviceInfoList. SetupDiGetClassDevsA fails with
// INVALID_HANDLE_VALUE.
struct DeviceInfoSetTraits {
    using Handle = HDEVINFO;
    static Handle Empty() { return nullptr; }
    static bool Valid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { SetupDiDestroyDeviceInfoList(h); }
};
using DeviceInfoSet = owners::Owner<DeviceInfoSetTraits>;

struct PreparsedDataTraits {
    using Handle = PHIDP_PREPARSED_DATA;
    static Handle Empty() { return nullptr; }
    static bool Valid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { HidD_FreePreparsedData(h); }
};
using PreparsedData = owners::Owner<PreparsedDataTraits>;

PreparsedData GetPreparsedData(HANDLE device) {
    PHIDP_PREPARSED_DATA data = nullptr;
    if (!HidD_GetPreparsedData(device, &data)) return {};
    return PreparsedData(data);
}

// The device path of interface `index`, or an empty string.
std::string InterfacePath(const GUID& hidGuid, DWORD index) {
    const DeviceInfoSet set(
        SetupDiGetClassDevsA(&hidGuid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
    if (!set) return {};
    SP_DEVICE_INTERFACE_DATA interfaceData{};
    interfaceData.cbSize = sizeof(interfaceData);
    if (!SetupDiEnumDeviceInterfaces(set.Get(), nullptr, &hidGuid, index, &interfaceData)) return {};
    DWORD required = 0;
    SetupDiGetDeviceInterfaceDetailA(set.Get(), &interfaceData, nullptr, 0, &required, nullptr);
    if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) return {};
    std::vector<uint8_t> buffer(required);
    auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(buffer.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (!SetupDiGetDeviceInterfaceDetailA(set.Get(), &interfaceData, detail, required, nullptr, nullptr))
        return {};
    const size_t room = required - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
    return std::string(detail->DevicePath, strnlen(detail->DevicePath, room));
}

owners::HandleOwner OpenDevicePath(const std::string& path, DWORD flags) {
    return owners::HandleOwner(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, flags,
                                           nullptr));
}

// Whether the opened interface is the handset; fills in its report lengths. A handset whose capabilities
// cannot be read is no use: nothing would say how long its reports are.
bool IsHandset(HANDLE sync, USHORT vendorId, USHORT productId, HIDP_CAPS& caps) {
    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof(attributes);
    if (!HidD_GetAttributes(sync, &attributes)) return false;
    if (attributes.VendorID != vendorId || attributes.ProductID != productId) return false;
    const PreparsedData preparsed = GetPreparsedData(sync);
    return preparsed && HidP_GetCaps(preparsed.Get(), &caps) == HIDP_STATUS_SUCCESS;
}

// The connection for an interface found to be the handset, taking over its two handles; null when its
// events cannot be made, and the handles are closed with it then.
std::shared_ptr<HandsetConnection> MakeConnection(const std::string& path, owners::HandleOwner sync,
                                                  owners::HandleOwner overlapped, const HIDP_CAPS& caps) {
    auto connection = std::make_shared<HandsetConnection>();
    connection->path = path;
    connection->syncHandle = std::move(sync);
    connection->overlappedHandle = std::move(overlapped);
    connection->read = std::make_unique<InputRead>();
    connection->closing.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    connection->read->completion.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!connection->closing || !connection->read->completion) return nullptr;
    connection->inputReportLength = caps.InputReportByteLength;
    connection->outputReportLength = caps.OutputReportByteLength;
    connection->read->buffer.assign(std::max<size_t>(caps.InputReportByteLength, kInputReportSize), 0);
    connection->output.assign(std::max<size_t>(caps.OutputReportByteLength, kOutputReportSize), 0);
    return connection;
}

}  // namespace

HandsetConnection::~HandsetConnection() {
    // Closing the read handle cancels a pending read, whose completion still writes into the OVERLAPPED and
    // the buffer: they are freed once it has come. A read the system does not finish keeps them for good.
    constexpr DWORD kCancelBoundMs = 500;
    syncHandle.Reset();
    overlappedHandle.Reset();
    closing.Reset();
    if (read && read->pending && WaitForSingleObject(read->completion.Get(), kCancelBoundMs) != WAIT_OBJECT_0)
        (void)read.release();
}

bool IsNtFamily() {
    OSVERSIONINFOA info;
    std::memset(&info, 0, sizeof(info));
    info.dwOSVersionInfoSize = sizeof(info);
    return GetVersionExA(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

std::shared_ptr<HandsetConnection> OpenHandsetInterface(USHORT vendorId, USHORT productId) {
    GUID hidGuid;
    HidD_GetHidGuid(&hidGuid);
    for (DWORD index = 0; index < kMaxInterfaces; ++index) {
        const std::string path = InterfacePath(hidGuid, index);
        if (path.empty()) continue;
        owners::HandleOwner sync = OpenDevicePath(path, 0);
        owners::HandleOwner overlapped = OpenDevicePath(path, FILE_FLAG_OVERLAPPED);
        HIDP_CAPS caps{};
        if (!sync || !IsHandset(sync.Get(), vendorId, productId, caps)) continue;
        return MakeConnection(path, std::move(sync), std::move(overlapped), caps);
    }
    return nullptr;
}

bool WriteOutputReport(HandsetConnection& connection, size_t needed) {
    if (!connection.syncHandle || connection.outputReportLength < needed) return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(connection.syncHandle.Get(), connection.output.data(),
                              connection.outputReportLength, &written, nullptr);
    return ok && written == connection.outputReportLength;
}

namespace {

// The outcome of the connection's read, which has completed.
ReadOutcome TakeCompletedRead(HandsetConnection& connection, std::array<uint8_t, kInputReportSize>& report) {
    InputRead& read = *connection.read;
    read.pending = false;
    DWORD transferred = 0;
    const BOOL ok =
        GetOverlappedResult(connection.overlappedHandle.Get(), &read.overlapped, &transferred, FALSE);
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
    if (!connection.overlappedHandle || !connection.read || length < kKeyReportSize)
        return ReadOutcome::Broken;
    InputRead& read = *connection.read;
    if (!read.pending) {
        std::memset(&read.overlapped, 0, sizeof(read.overlapped));
        read.overlapped.hEvent = read.completion.Get();
        read.pending = true;
        if (ReadFile(connection.overlappedHandle.Get(), read.buffer.data(), length, nullptr,
                     &read.overlapped))
            return TakeCompletedRead(connection, report);
        if (GetLastError() != ERROR_IO_PENDING) {
            read.pending = false;
            return ReadOutcome::Broken;
        }
    }
    HANDLE waits[2 + std::tuple_size_v<GiveUpEvents>] = {read.completion.Get(), connection.closing.Get()};
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

bool BroadcastConcerns(LPARAM broadcast, const HandsetConnection& connection) {
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(broadcast);
    if (header == nullptr) return false;
    if (header->dbch_devicetype == DBT_DEVTYP_HANDLE) return true;
    const size_t nameOffset = offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name);
    if (header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE || header->dbch_size <= nameOffset)
        return false;
    const auto* name = reinterpret_cast<const uint8_t*>(header) + nameOffset;
    return BroadcastNameIs(name, header->dbch_size - nameOffset, connection.path);
}

void DeviceNotificationTraits::Close(Handle h) {
    UnregisterDeviceNotification(h);
}

DeviceNotificationOwner RegisterHandleNotification(HWND window, const HandsetConnection& connection) {
    DEV_BROADCAST_HANDLE filter;
    std::memset(&filter, 0, sizeof(filter));
    filter.dbch_size = sizeof(filter);
    filter.dbch_devicetype = DBT_DEVTYP_HANDLE;
    filter.dbch_handle = connection.syncHandle.Get();
    return DeviceNotificationOwner(RegisterDeviceNotificationA(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE));
}

DeviceNotificationOwner RegisterHidInterfaceNotification(HWND window) {
    DEV_BROADCAST_DEVICEINTERFACE_A filter;
    std::memset(&filter, 0, sizeof(filter));
    filter.dbcc_size = sizeof(filter);
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    HidD_GetHidGuid(&filter.dbcc_classguid);
    return DeviceNotificationOwner(RegisterDeviceNotificationA(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE));
}

}  // namespace vocetta
