#include "hid_handset.h"

#include <setupapi.h>

#include <cstddef>
#include <cstring>
#include <vector>

namespace smoke {
namespace {

owners::HandleOwner OpenPath(const std::string& path, DWORD flags) {
    return owners::HandleOwner(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, flags,
                                           nullptr));
}

std::string DetailPath(HDEVINFO set, SP_DEVICE_INTERFACE_DATA& data) {
    DWORD required = 0;
    SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &required, nullptr);
    if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) return {};
    std::vector<char> buffer(required);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (!SetupDiGetDeviceInterfaceDetailA(set, &data, detail, required, nullptr, nullptr)) return {};
    const size_t room = required - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
    return std::string(detail->DevicePath, strnlen(detail->DevicePath, room));
}

}  // namespace

std::string FindHandsetPath(USHORT vendorId, USHORT productId) {
    GUID hidGuid;
    HidD_GetHidGuid(&hidGuid);
    HDEVINFO set = SetupDiGetClassDevsA(&hidGuid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) return {};
    std::string found;
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof(data);
    for (DWORD index = 0; found.empty() && SetupDiEnumDeviceInterfaces(set, nullptr, &hidGuid, index, &data);
         ++index) {
        const std::string path = DetailPath(set, data);
        const owners::HandleOwner device = OpenPath(path, 0);
        HIDD_ATTRIBUTES attributes{};
        attributes.Size = sizeof(attributes);
        if (device && HidD_GetAttributes(device.Get(), &attributes) && attributes.VendorID == vendorId &&
            attributes.ProductID == productId)
            found = path;
    }
    SetupDiDestroyDeviceInfoList(set);
    return found;
}

bool OpenHandset(const std::string& path, OpenedHandset& handset) {
    handset.sync = OpenPath(path, 0);
    handset.overlapped = OpenPath(path, FILE_FLAG_OVERLAPPED);
    if (!handset.sync || !handset.overlapped) return false;
    PHIDP_PREPARSED_DATA preparsed = nullptr;
    if (!HidD_GetPreparsedData(handset.sync.Get(), &preparsed)) return false;
    const bool ok = HidP_GetCaps(preparsed, &handset.caps) == HIDP_STATUS_SUCCESS;
    HidD_FreePreparsedData(preparsed);
    return ok;
}

long WaitForInterface(USHORT vendorId, USHORT productId, bool present, DWORD boundMs, std::string* path) {
    const DWORD started = GetTickCount();
    for (;;) {
        const std::string found = FindHandsetPath(vendorId, productId);
        if (found.empty() != present) {
            if (path) *path = found;
            return static_cast<long>(GetTickCount() - started);
        }
        if (GetTickCount() - started > boundMs) return -1;
        Sleep(5);
    }
}

}  // namespace smoke
