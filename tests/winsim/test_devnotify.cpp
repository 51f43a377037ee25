// Device notifications: registration checks, and WM_DEVICECHANGE with the right structure to the right
// windows when a device is plugged in and removed, from another thread.
#include "support/winsim_fixture.h"
#include "test_message_support.h"

#include <dbt.h>

#include <cstring>
#include <utility>

#if WINSIM_ONLY  // devices are plugged on winsim's bus and its notification forms set by its control API

using namespace winsim_test;

namespace {

constexpr GUID kOtherClass = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
constexpr GUID kHidClass = {0x4d1e55b2, 0xf16f, 0x11cf, {0x88, 0xcb, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
const char* const kPath = "\\\\?\\hid#vid_04b4&pid_0302#7&1&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}";

// One WM_DEVICECHANGE as the window saw it, copied while the message was being handled.
struct Change {
    HWND hwnd;
    WPARAM event;
    DWORD size;
    DWORD deviceType;
    GUID classGuid;
    std::string name;
    HANDLE handle;
    HDEVNOTIFY notify;
    LONG nameOffset;
    DWORD threadId;
};

std::mutex changesMutex;
std::vector<Change> changes;

LRESULT CALLBACK deviceChangeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_DEVICECHANGE) return DefWindowProcA(hwnd, message, wParam, lParam);
    Change c{hwnd, wParam, 0, 0, {}, {}, nullptr, nullptr, 0, GetCurrentThreadId()};
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
    c.size = header->dbch_size;
    c.deviceType = header->dbch_devicetype;
    if (c.deviceType == DBT_DEVTYP_DEVICEINTERFACE) {
        const auto* bc = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_A*>(lParam);
        c.classGuid = bc->dbcc_classguid;
        c.name = reinterpret_cast<const char*>(lParam) + offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name);
    } else if (c.deviceType == DBT_DEVTYP_HANDLE) {
        const auto* bh = reinterpret_cast<const DEV_BROADCAST_HANDLE*>(lParam);
        c.handle = bh->dbch_handle;
        c.notify = bh->dbch_hdevnotify;
        c.nameOffset = bh->dbch_nameoffset;
    }
    std::lock_guard<std::mutex> lock(changesMutex);
    changes.push_back(c);
    return TRUE;
}

std::vector<Change> takeChanges() {
    std::lock_guard<std::mutex> lock(changesMutex);
    return std::exchange(changes, {});
}

HDEVNOTIFY registerInterfaces(HWND hwnd, const GUID& classGuid) {
    DEV_BROADCAST_DEVICEINTERFACE_A filter{};
    filter.dbcc_size = sizeof(filter);
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = classGuid;
    return RegisterDeviceNotificationA(hwnd, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
}

HDEVNOTIFY registerHandle(HWND hwnd, HANDLE handle, DWORD size = sizeof(DEV_BROADCAST_HANDLE)) {
    DEV_BROADCAST_HANDLE filter{};
    filter.dbch_size = size;
    filter.dbch_devicetype = DBT_DEVTYP_HANDLE;
    filter.dbch_handle = handle;
    return RegisterDeviceNotificationA(hwnd, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
}

winsim::HidDeviceDesc handsetDesc() {
    winsim::HidDeviceDesc desc;
    desc.path = kPath;
    desc.vendorId = 1204;
    desc.productId = 770;
    desc.inputReportLength = 18;
    desc.outputReportLength = 34;
    return desc;
}

HANDLE openDevice() {
    return CreateFileA(kPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
}

class DevNotifyTest : public WinsimTest {
  protected:
    void SetUp() override {
        WinsimTest::SetUp();
        takeChanges();
        registerClass("DeviceChange", deviceChangeProc);
    }
};

}  // namespace

TEST_F(DevNotifyTest, RegistrationChecksItsWindowAndFilter) {
    HWND hwnd = makeWindow("DeviceChange");
    DEV_BROADCAST_DEVICEINTERFACE_A shortFilter{};
    shortFilter.dbcc_size = sizeof(shortFilter) - 4;
    shortFilter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    const auto failsWith = [](HDEVNOTIFY notify, DWORD error) {
        EXPECT_EQ(notify, nullptr);
        EXPECT_EQ(GetLastError(), error);
    };
    failsWith(registerInterfaces(reinterpret_cast<HWND>(static_cast<uintptr_t>(0x4321)), kHidClass),
              ERROR_INVALID_WINDOW_HANDLE);
    failsWith(RegisterDeviceNotificationA(hwnd, nullptr, DEVICE_NOTIFY_WINDOW_HANDLE), ERROR_INVALID_DATA);
    failsWith(RegisterDeviceNotificationA(hwnd, &shortFilter, DEVICE_NOTIFY_WINDOW_HANDLE),
              ERROR_INVALID_DATA);
    failsWith(registerHandle(hwnd, event, sizeof(DEV_BROADCAST_HANDLE) - 8), ERROR_INVALID_DATA);
    failsWith(registerHandle(hwnd, reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x9999))),
              ERROR_INVALID_DATA);
    EXPECT_EQ(winsim::deviceNotificationCount(), 0u);

    HDEVNOTIFY forInterfaces = registerInterfaces(hwnd, kHidClass);
    HDEVNOTIFY forHandle = registerHandle(hwnd, event);
    ASSERT_NE(forInterfaces, nullptr);
    ASSERT_NE(forHandle, nullptr);
    EXPECT_NE(forInterfaces, forHandle);
    EXPECT_EQ(winsim::deviceNotificationCount(), 2u);
    EXPECT_TRUE(UnregisterDeviceNotification(forHandle));
    EXPECT_FALSE(UnregisterDeviceNotification(forHandle));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(winsim::deviceNotificationCount(), 1u);
    CloseHandle(event);
}

TEST_F(DevNotifyTest, ArrivalReachesHidInterfaceRegistrationsOnTheirOwnThread) {
    HWND hid = nullptr;
    HWND other = nullptr;
    LoopThread windows([&] {
        hid = makeWindow("DeviceChange");
        other = makeWindow("DeviceChange");
        registerInterfaces(hid, kHidClass);
        registerInterfaces(other, kOtherClass);
    });
    const auto device = winsim::hidPlug(handsetDesc(), nullptr);  // from this thread, as a test plugs it

    const auto seen = takeChanges();
    ASSERT_EQ(seen.size(), 1u);
    const Change& c = seen.front();
    EXPECT_EQ(c.hwnd, hid);
    EXPECT_EQ(c.threadId, windows.threadId());
    EXPECT_EQ(c.event, static_cast<WPARAM>(DBT_DEVICEARRIVAL));
    EXPECT_EQ(c.deviceType, static_cast<DWORD>(DBT_DEVTYP_DEVICEINTERFACE));
    EXPECT_EQ(c.size, offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name) + std::strlen(kPath) + 1);
    EXPECT_EQ(std::memcmp(&c.classGuid, &kHidClass, sizeof(GUID)), 0);
    EXPECT_EQ(c.name, kPath);
    winsim::hidUnplug(device);
}

TEST_F(DevNotifyTest, RemovalGoesToInterfaceThenToHandleRegistrationsOfTheDevice) {
    HWND hwnd = makeWindow("DeviceChange");
    const auto device = winsim::hidPlug(handsetDesc(), nullptr);
    HANDLE deviceHandle = openDevice();
    ASSERT_NE(deviceHandle, INVALID_HANDLE_VALUE);
    HANDLE unrelated = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HDEVNOTIFY forHandle = registerHandle(hwnd, deviceHandle);
    registerHandle(hwnd, unrelated);
    registerInterfaces(hwnd, kHidClass);

    winsim::hidUnplug(device);
    const auto seen = takeChanges();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].event, static_cast<WPARAM>(DBT_DEVICEREMOVECOMPLETE));
    EXPECT_EQ(seen[0].deviceType, static_cast<DWORD>(DBT_DEVTYP_DEVICEINTERFACE));
    EXPECT_EQ(seen[0].name, kPath);
    EXPECT_EQ(seen[1].event, static_cast<WPARAM>(DBT_DEVICEREMOVECOMPLETE));
    EXPECT_EQ(seen[1].deviceType, static_cast<DWORD>(DBT_DEVTYP_HANDLE));
    EXPECT_EQ(seen[1].size, sizeof(DEV_BROADCAST_HANDLE));
    EXPECT_EQ(seen[1].handle, deviceHandle);
    EXPECT_EQ(seen[1].notify, forHandle);
    EXPECT_EQ(seen[1].nameOffset, -1);
    CloseHandle(deviceHandle);
    CloseHandle(unrelated);
}

// What Wine 8.0 does, on request: a handle registration hears nothing, and the interface's name comes in
// UTF-16 to an ANSI window.
TEST_F(DevNotifyTest, WithheldHandleNotificationsAndWideNames) {
    winsim::withholdHandleNotifications(true);
    winsim::sendWideInterfaceNames(true);
    HWND hwnd = makeWindow("DeviceChange");
    const auto device = winsim::hidPlug(handsetDesc(), nullptr);
    HANDLE deviceHandle = openDevice();
    ASSERT_NE(deviceHandle, INVALID_HANDLE_VALUE);
    EXPECT_NE(registerHandle(hwnd, deviceHandle), nullptr);
    registerInterfaces(hwnd, kHidClass);

    winsim::hidUnplug(device);
    const auto seen = takeChanges();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].deviceType, static_cast<DWORD>(DBT_DEVTYP_DEVICEINTERFACE));
    EXPECT_EQ(seen[0].size, offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name) + 2 * (strlen(kPath) + 1));
    EXPECT_EQ(seen[0].name, "\\");  // read as ANSI, the name ends after its first character
    CloseHandle(deviceHandle);
}

TEST_F(DevNotifyTest, NothingAfterUnregisteringOrAfterTheWindowIsDestroyed) {
    HWND unregistered = makeWindow("DeviceChange");
    HWND destroyed = makeWindow("DeviceChange");
    HWND kept = makeWindow("DeviceChange");
    EXPECT_TRUE(UnregisterDeviceNotification(registerInterfaces(unregistered, kHidClass)));
    registerInterfaces(destroyed, kHidClass);
    registerInterfaces(kept, kHidClass);
    DestroyWindow(destroyed);

    const auto device = winsim::hidPlug(handsetDesc(), nullptr);
    winsim::hidUnplug(device);
    std::vector<std::pair<HWND, WPARAM>> reached;
    for (const Change& c : takeChanges()) reached.emplace_back(c.hwnd, c.event);
    EXPECT_EQ(reached, (std::vector<std::pair<HWND, WPARAM>>{{kept, DBT_DEVICEARRIVAL},
                                                             {kept, DBT_DEVICEREMOVECOMPLETE}}));
    EXPECT_EQ(winsim::deviceNotificationCount(), 2u);  // the destroyed window's registration is still held
}

#endif  // WINSIM_ONLY
