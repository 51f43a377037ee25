// Device notifications: windows register for the arrival and removal of device interfaces of a class, or
// for events on an open device handle, and the HID bus announces plugging and unplugging to them with
// WM_DEVICECHANGE, sent to each registered window in turn.
#include "window_state.h"

#include <dbt.h>
#include <winsim/control.h>

#include <cstring>
#include <map>

namespace winsim::detail {
namespace {

struct Registration {
    HWND window = nullptr;
    bool forInterfaces = false;  // false: for a device handle
    bool allInterfaceClasses = false;
    GUID interfaceClass{};
    HANDLE deviceHandle = nullptr;
};

struct DevNotifyState {
    // Keyed by the HDEVNOTIFY value; values are never reused, not even across winsim::reset.
    std::map<uintptr_t, Registration> registrations;
    bool handleNotificationsWithheld = false;
    bool wideInterfaceNames = false;
};

uintptr_t nextRegistration = 0xD0010;

DevNotifyState& state() {
    static DevNotifyState& s = *new DevNotifyState;
    return s;
}

ResetHook devNotifyReset([] { state() = DevNotifyState{}; });

struct Target {
    uintptr_t registration;
    HWND window;
    HANDLE deviceHandle;
};

// The registrations that an event reaches, gathered under bigLock; windows that are gone get nothing.
std::vector<Target> targets(bool forInterfaces, const std::vector<HANDLE>& deviceHandles) {
    Lock lock(bigLock());
    std::vector<Target> found;
    if (!forInterfaces && state().handleNotificationsWithheld) return found;
    for (const auto& [id, r] : state().registrations) {
        if (r.forInterfaces != forInterfaces || !findWindow(r.window)) continue;
        if (forInterfaces && !r.allInterfaceClasses && !sameGuid(r.interfaceClass, kHidClassGuid)) continue;
        if (!forInterfaces &&
            std::find(deviceHandles.begin(), deviceHandles.end(), r.deviceHandle) == deviceHandles.end()) {
            continue;
        }
        found.push_back({id, r.window, r.deviceHandle});
    }
    return found;
}

bool stillRegistered(uintptr_t registration) {
    Lock lock(bigLock());
    return state().registrations.count(registration) != 0;
}

// A DEV_BROADCAST_DEVICEINTERFACE_A that carries the whole device path, allocated afresh for each window and
// freed when its SendMessage returns. With `wide` the name is UTF-16 (little-endian code units), as some
// systems send it to ANSI windows as well.
std::unique_ptr<unsigned char[]> interfaceBroadcast(const std::string& devicePath, bool wide) {
    const size_t nameOffset = offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name);
    const size_t unit = wide ? 2 : 1;
    const size_t size = nameOffset + (devicePath.size() + 1) * unit;
    auto block = std::make_unique<unsigned char[]>(std::max(size, sizeof(DEV_BROADCAST_DEVICEINTERFACE_A)));
    DEV_BROADCAST_DEVICEINTERFACE_A header{};
    header.dbcc_size = static_cast<DWORD>(size);
    header.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    header.dbcc_classguid = kHidClassGuid;
    std::memcpy(block.get(), &header, nameOffset);
    unsigned char* name = block.get() + nameOffset;
    for (size_t i = 0; i <= devicePath.size(); ++i) {
        const unsigned char c = i < devicePath.size() ? static_cast<unsigned char>(devicePath[i]) : 0;
        name[i * unit] = c;
        if (wide) name[i * unit + 1] = 0;  // device paths are ASCII
    }
    return block;
}

void sendToInterfaceRegistrations(WPARAM event, const std::string& devicePath) {
    bool wide;
    {
        Lock lock(bigLock());
        wide = state().wideInterfaceNames;
    }
    for (const Target& t : targets(true, {})) {
        if (!stillRegistered(t.registration)) continue;
        auto block = interfaceBroadcast(devicePath, wide);
        SendMessageA(t.window, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(block.get()));
    }
}

}  // namespace

void broadcastDeviceArrival(const std::string& devicePath) {
    sendToInterfaceRegistrations(DBT_DEVICEARRIVAL, devicePath);
}

void broadcastDeviceRemoval(const std::string& devicePath, const std::vector<HANDLE>& deviceHandles) {
    sendToInterfaceRegistrations(DBT_DEVICEREMOVECOMPLETE, devicePath);
    for (const Target& t : targets(false, deviceHandles)) {
        if (!stillRegistered(t.registration)) continue;
        auto broadcast = std::make_unique<DEV_BROADCAST_HANDLE>();
        broadcast->dbch_size = sizeof(DEV_BROADCAST_HANDLE);
        broadcast->dbch_devicetype = DBT_DEVTYP_HANDLE;
        broadcast->dbch_handle = t.deviceHandle;
        broadcast->dbch_hdevnotify = reinterpret_cast<HDEVNOTIFY>(t.registration);
        broadcast->dbch_nameoffset = -1;
        SendMessageA(t.window, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE,
                     reinterpret_cast<LPARAM>(broadcast.get()));
    }
}

}  // namespace winsim::detail

using namespace winsim::detail;

namespace winsim {

size_t deviceNotificationCount() {
    Lock lock(bigLock());
    return state().registrations.size();
}

void withholdHandleNotifications(bool withhold) {
    Lock lock(bigLock());
    state().handleNotificationsWithheld = withhold;
}

void sendWideInterfaceNames(bool wide) {
    Lock lock(bigLock());
    state().wideInterfaceNames = wide;
}

}  // namespace winsim

extern "C" {

// Simplification: only window recipients (DEVICE_NOTIFY_WINDOW_HANDLE); service recipients are refused.
HDEVNOTIFY WINAPI RegisterDeviceNotificationA(HANDLE hRecipient, LPVOID NotificationFilter, DWORD Flags) {
    if ((Flags & ~static_cast<DWORD>(DEVICE_NOTIFY_ALL_INTERFACE_CLASSES)) != DEVICE_NOTIFY_WINDOW_HANDLE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    Lock lock(bigLock());
    // A recipient that is no window is a bad parameter here, not ERROR_INVALID_WINDOW_HANDLE.
    if (!findWindow(static_cast<HWND>(hRecipient))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (NotificationFilter == nullptr) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    const auto* header = static_cast<const DEV_BROADCAST_HDR*>(NotificationFilter);
    Registration r;
    r.window = static_cast<HWND>(hRecipient);
    if (header->dbch_size >= sizeof(DEV_BROADCAST_DEVICEINTERFACE_A) &&
        header->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE) {
        const auto* filter = static_cast<const DEV_BROADCAST_DEVICEINTERFACE_A*>(NotificationFilter);
        r.forInterfaces = true;
        r.interfaceClass = filter->dbcc_classguid;
        r.allInterfaceClasses = (Flags & DEVICE_NOTIFY_ALL_INTERFACE_CLASSES) != 0;
    } else if (header->dbch_size >= sizeof(DEV_BROADCAST_HANDLE) &&
               header->dbch_devicetype == DBT_DEVTYP_HANDLE &&
               lookupHandle(static_cast<const DEV_BROADCAST_HANDLE*>(NotificationFilter)->dbch_handle)) {
        r.deviceHandle = static_cast<const DEV_BROADCAST_HANDLE*>(NotificationFilter)->dbch_handle;
    } else {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    const uintptr_t id = nextRegistration;
    nextRegistration += 0x10;
    state().registrations.emplace(id, r);
    return reinterpret_cast<HDEVNOTIFY>(id);
}

BOOL WINAPI UnregisterDeviceNotification(HDEVNOTIFY Handle) {
    Lock lock(bigLock());
    if (state().registrations.erase(reinterpret_cast<uintptr_t>(Handle)) == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

}  // extern "C"
