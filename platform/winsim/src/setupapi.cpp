// SetupAPI: device-information sets of the HID device interfaces, enumeration and interface details.
//
// A set is a snapshot of the interface list taken when it is built; devices plugged or removed afterwards
// do not change it (a removed device's path then simply fails to open).
#include "hid_state.h"
#include "internal.h"

#include <setupapi.h>
#include <winsim/control.h>

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace winsim::detail {
namespace {

// The device setup class of HID devices, reported in SP_DEVINFO_DATA.ClassGuid.
constexpr GUID kHidSetupClassGuid = {
    0x745a17a0, 0x74d3, 0x11d0, {0xb6, 0xfe, 0x00, 0xa0, 0xc9, 0x0f, 0x57, 0xda}};

constexpr DWORD kKnownFlags =
    DIGCF_DEFAULT | DIGCF_PRESENT | DIGCF_ALLCLASSES | DIGCF_PROFILE | DIGCF_DEVICEINTERFACE;

struct DeviceInfoSet final : KernelObject {
    std::vector<std::string> paths;
    bool destroyed = false;  // SetupDiDestroyDeviceInfoList has begun releasing it
};

struct SetupState {
    size_t openSets = 0;
    int highestIndex = -1;
};

SetupState& setupState() {
    static SetupState s;
    return s;
}

ResetHook setupReset([] { setupState() = SetupState{}; });

std::shared_ptr<DeviceInfoSet> findSet(HDEVINFO handle) {
    auto set = lookupHandleAs<DeviceInfoSet>(handle);
    return set && !set->destroyed ? set : nullptr;
}

// The path that an SP_DEVICE_INTERFACE_DATA from SetupDiEnumDeviceInterfaces names in `set`, or null.
const std::string* interfacePath(const DeviceInfoSet& set, const SP_DEVICE_INTERFACE_DATA& data) {
    // Reserved holds the item's position in its set, plus one.
    if (data.Reserved == 0 || data.Reserved > set.paths.size()) return nullptr;
    return &set.paths[data.Reserved - 1];
}

template <class Result>
Result fail(DWORD error, Result result) {
    SetLastError(error);
    return result;
}

}  // namespace
}  // namespace winsim::detail

using namespace winsim::detail;

namespace winsim {

size_t hidOpenDeviceInfoSets() {
    Lock lock(bigLock());
    return setupState().openSets;
}

int hidHighestEnumeratedIndex() {
    Lock lock(bigLock());
    return setupState().highestIndex;
}

}  // namespace winsim

extern "C" {

// Simplifications: only device-interface sets are built (without DIGCF_DEVICEINTERFACE the set holds no
// interfaces); the Enumerator is not looked at; removed devices are forgotten, so DIGCF_PRESENT changes
// nothing.
HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID* ClassGuid, PCSTR, HWND, DWORD Flags) {
    if ((Flags & ~kKnownFlags) != 0) return fail(ERROR_INVALID_FLAGS, INVALID_HANDLE_VALUE);
    if (ClassGuid == nullptr && !(Flags & DIGCF_ALLCLASSES))
        return fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    Lock lock(bigLock());
    auto set = std::make_shared<DeviceInfoSet>();
    const bool hidInterfaces = (Flags & DIGCF_ALLCLASSES) || sameGuid(*ClassGuid, kHidClassGuid);
    if ((Flags & DIGCF_DEVICEINTERFACE) && hidInterfaces) set->paths = presentHidPaths();
    ++setupState().openSets;
    return insertHandle(std::move(set));
}

BOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA,
                                        const GUID* InterfaceClassGuid, DWORD MemberIndex,
                                        PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData) {
    Lock lock(bigLock());
    auto set = findSet(DeviceInfoSet);
    if (!set) return fail(ERROR_INVALID_HANDLE, FALSE);
    if (DeviceInterfaceData == nullptr || InterfaceClassGuid == nullptr)
        return fail(ERROR_INVALID_PARAMETER, FALSE);
    if (DeviceInterfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA))
        return fail(ERROR_INVALID_USER_BUFFER, FALSE);
    int& highest = setupState().highestIndex;
    if (MemberIndex <= 0x7FFFFFFF) highest = std::max(highest, static_cast<int>(MemberIndex));
    if (!sameGuid(*InterfaceClassGuid, kHidClassGuid) || MemberIndex >= set->paths.size()) {
        return fail(ERROR_NO_MORE_ITEMS, FALSE);
    }
    DeviceInterfaceData->InterfaceClassGuid = kHidClassGuid;
    DeviceInterfaceData->Flags = SPINT_ACTIVE;
    DeviceInterfaceData->Reserved = MemberIndex + 1;
    return TRUE;
}

BOOL WINAPI SetupDiGetDeviceInterfaceDetailA(HDEVINFO DeviceInfoSet,
                                             PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData,
                                             PSP_DEVICE_INTERFACE_DETAIL_DATA_A DeviceInterfaceDetailData,
                                             DWORD DeviceInterfaceDetailDataSize, PDWORD RequiredSize,
                                             PSP_DEVINFO_DATA DeviceInfoData) {
    Lock lock(bigLock());
    auto set = findSet(DeviceInfoSet);
    if (!set) return fail(ERROR_INVALID_HANDLE, FALSE);
    if (DeviceInterfaceData == nullptr) return fail(ERROR_INVALID_PARAMETER, FALSE);
    if (DeviceInterfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA))
        return fail(ERROR_INVALID_USER_BUFFER, FALSE);
    const std::string* path = interfacePath(*set, *DeviceInterfaceData);
    if (path == nullptr) return fail(ERROR_INVALID_PARAMETER, FALSE);

    constexpr size_t kHeader = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
    const DWORD required = static_cast<DWORD>(kHeader + path->size() + 1);
    if (DeviceInterfaceDetailData == nullptr) {
        if (DeviceInterfaceDetailDataSize != 0) return fail(ERROR_INVALID_USER_BUFFER, FALSE);
        if (RequiredSize != nullptr) *RequiredSize = required;
        return fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
    }
    if (DeviceInterfaceDetailDataSize < kHeader + 1 ||
        DeviceInterfaceDetailData->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) {
        return fail(ERROR_INVALID_USER_BUFFER, FALSE);
    }
    if (DeviceInfoData != nullptr && DeviceInfoData->cbSize != sizeof(SP_DEVINFO_DATA)) {
        return fail(ERROR_INVALID_USER_BUFFER, FALSE);
    }
    if (RequiredSize != nullptr) *RequiredSize = required;
    if (DeviceInterfaceDetailDataSize < required) return fail(ERROR_INSUFFICIENT_BUFFER, FALSE);

    // DevicePath runs on past its declared single character, to the end of the caller's buffer.
    char* devicePath = reinterpret_cast<char*>(DeviceInterfaceDetailData) + kHeader;
    std::memcpy(devicePath, path->c_str(), path->size() + 1);
    if (DeviceInfoData != nullptr) {
        DeviceInfoData->ClassGuid = kHidSetupClassGuid;
        DeviceInfoData->DevInst = static_cast<DWORD>(DeviceInterfaceData->Reserved);
        DeviceInfoData->Reserved = 0;
    }
    return TRUE;
}

BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet) {
    {
        Lock lock(bigLock());
        auto set = findSet(DeviceInfoSet);
        if (!set) return fail(ERROR_INVALID_HANDLE, FALSE);
        set->destroyed = true;
        --setupState().openSets;
    }
    return CloseHandle(DeviceInfoSet);
}

}  // extern "C"
