// Device notifications: registration checks, and WM_DEVICECHANGE with the right structure to the right
// windows when a device is plugged in and removed, from another thread. The device is one the test plays
// (support/hid_bus.h): on winsim's bus here, the virtual USB handset under Windows.
#include "support/hid_bus.h"
#include "support/winsim_fixture.h"
#include "test_message_support.h"

#include <dbt.h>

#include <chrono>
#include <cstring>
#include <utility>

using namespace winsim_test;

namespace {

constexpr GUID kOtherClass = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
constexpr GUID kHidClass = {0x4d1e55b2, 0xf16f, 0x11cf, {0x88, 0xcb, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

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

// Only the events that carry a structure: Windows also tells every top-level window that the device tree
// changed (DBT_DEVNODES_CHANGED, no structure), registered or not.
LRESULT CALLBACK deviceChangeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_DEVICECHANGE || lParam == 0) return DefWindowProcA(hwnd, message, wParam, lParam);
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

// Waits until `count` changes have been seen, handling the messages sent to this thread's windows
// meanwhile: the system sends WM_DEVICECHANGE from elsewhere, so the window's thread must be taking
// messages. On winsim they have come by the time the device is plugged or unplugged.
bool waitForChanges(size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(changesMutex);
            if (changes.size() >= count) return true;
        }
        if (std::chrono::steady_clock::now() > deadline) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }
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

HANDLE openDevice(const std::string& path) {
    return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, 0, nullptr);
}

class DevNotifyTest : public WinsimTest {
  protected:
    void SetUp() override {
        WinsimTest::SetUp();
        takeChanges();
        registerClass("DeviceChange", deviceChangeProc);
    }

    hid_test::TestHidDevice device{hid_test::HidShape{1204, 770, 18, 34}};
};

}  // namespace

TEST_F(DevNotifyTest, RegistrationChecksItsWindowAndFilter) {
    HWND hwnd = makeWindow("DeviceChange");
    const auto failsWith = [](HDEVNOTIFY notify, DWORD error) {
        EXPECT_EQ(notify, nullptr);
        EXPECT_EQ(GetLastError(), error);
    };
    failsWith(registerInterfaces(reinterpret_cast<HWND>(static_cast<uintptr_t>(0x4321)), kHidClass),
              ERROR_INVALID_PARAMETER);
    failsWith(RegisterDeviceNotificationA(hwnd, nullptr, 2), ERROR_INVALID_PARAMETER);  // no such flag
    DEV_BROADCAST_HDR oem{sizeof(DEV_BROADCAST_HDR), DBT_DEVTYP_OEM, 0};
    failsWith(RegisterDeviceNotificationA(hwnd, &oem, DEVICE_NOTIFY_WINDOW_HANDLE), ERROR_INVALID_DATA);
#if WINSIM_ONLY  // winsim's count of registrations
    EXPECT_EQ(winsim::deviceNotificationCount(), 0u);
#endif

    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HDEVNOTIFY forInterfaces = registerInterfaces(hwnd, kHidClass);
    HDEVNOTIFY forHandle = registerHandle(hwnd, event);
    ASSERT_NE(forInterfaces, nullptr);
    ASSERT_NE(forHandle, nullptr);
    EXPECT_NE(forInterfaces, forHandle);
#if WINSIM_ONLY  // winsim's count of registrations
    EXPECT_EQ(winsim::deviceNotificationCount(), 2u);
#endif
    EXPECT_TRUE(UnregisterDeviceNotification(forHandle));
    EXPECT_TRUE(UnregisterDeviceNotification(forInterfaces));
#if WINSIM_ONLY  // winsim's count of registrations
    EXPECT_EQ(winsim::deviceNotificationCount(), 0u);
#endif
    CloseHandle(event);
}

TEST_F(DevNotifyTest, RegistrationRefusesMissingShortAndUnknownFilters) {
    HWND hwnd = makeWindow("DeviceChange");
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
#if WINSIM_ONLY  // Windows documents no outcome for these filters or a second unregistering; Wine takes them
                 // all
    DEV_BROADCAST_DEVICEINTERFACE_A shortFilter{};
    shortFilter.dbcc_size = sizeof(shortFilter) - 4;
    shortFilter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    const auto failsWith = [](HDEVNOTIFY notify, DWORD error) {
        EXPECT_EQ(notify, nullptr);
        EXPECT_EQ(GetLastError(), error);
    };
    failsWith(RegisterDeviceNotificationA(hwnd, nullptr, DEVICE_NOTIFY_WINDOW_HANDLE), ERROR_INVALID_DATA);
    failsWith(RegisterDeviceNotificationA(hwnd, &shortFilter, DEVICE_NOTIFY_WINDOW_HANDLE),
              ERROR_INVALID_DATA);
    failsWith(registerHandle(hwnd, event, sizeof(DEV_BROADCAST_HANDLE) - 8), ERROR_INVALID_DATA);
    failsWith(registerHandle(hwnd, reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x9999))),
              ERROR_INVALID_DATA);
    EXPECT_EQ(winsim::deviceNotificationCount(), 0u);
#endif

    HDEVNOTIFY forHandle = registerHandle(hwnd, event);
    EXPECT_TRUE(UnregisterDeviceNotification(forHandle));
#if WINSIM_ONLY  // as above
    EXPECT_FALSE(UnregisterDeviceNotification(forHandle));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
#endif
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
    const std::string path = device.plug();  // from this thread, as a test plugs it
    ASSERT_FALSE(path.empty());

    ASSERT_TRUE(waitForChanges(1));
    const auto seen = takeChanges();
    ASSERT_EQ(seen.size(), 1u);
    const Change& c = seen.front();
    EXPECT_EQ(c.hwnd, hid);
    EXPECT_EQ(c.threadId, windows.threadId());
    EXPECT_EQ(c.event, static_cast<WPARAM>(DBT_DEVICEARRIVAL));
    EXPECT_EQ(c.deviceType, static_cast<DWORD>(DBT_DEVTYP_DEVICEINTERFACE));
    EXPECT_EQ(c.size, offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name) + path.size() + 1);
    EXPECT_EQ(std::memcmp(&c.classGuid, &kHidClass, sizeof(GUID)), 0);
    EXPECT_EQ(c.name, path);
}

// The device goes while a program still holds it open: the interface registration hears of it at once,
// so the program can let go of its handle.
TEST_F(DevNotifyTest, RemovalReachesInterfaceRegistrationsWhileTheDeviceIsOpen) {
    HWND hwnd = makeWindow("DeviceChange");
    registerInterfaces(hwnd, kHidClass);
    const std::string path = device.plug();
    ASSERT_FALSE(path.empty());
    ASSERT_TRUE(waitForChanges(1));
    takeChanges();
    HANDLE deviceHandle = openDevice(path);
    ASSERT_NE(deviceHandle, INVALID_HANDLE_VALUE);

    device.unplug();
    EXPECT_TRUE(waitForChanges(1));
    const auto seen = takeChanges();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].event, static_cast<WPARAM>(DBT_DEVICEREMOVECOMPLETE));
    EXPECT_EQ(seen[0].deviceType, static_cast<DWORD>(DBT_DEVTYP_DEVICEINTERFACE));
    EXPECT_EQ(std::memcmp(&seen[0].classGuid, &kHidClass, sizeof(GUID)), 0);
    CloseHandle(deviceHandle);
}

// A program that finds its device already present registers afterwards; the removal still reaches it.
TEST_F(DevNotifyTest, RemovalReachesRegistrationsMadeAfterTheArrival) {
    HWND hwnd = makeWindow("DeviceChange");
    const std::string path = device.plug();
    ASSERT_FALSE(path.empty());
    registerInterfaces(hwnd, kHidClass);

    device.unplug();
    EXPECT_TRUE(waitForChanges(1));
    const auto seen = takeChanges();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].event, static_cast<WPARAM>(DBT_DEVICEREMOVECOMPLETE));
    EXPECT_EQ(seen[0].name, path);
}

TEST_F(DevNotifyTest, RemovalGoesToInterfaceThenToHandleRegistrationsOfTheDevice) {
    HWND hwnd = makeWindow("DeviceChange");
    registerInterfaces(hwnd, kHidClass);
    const std::string path = device.plug();
    ASSERT_FALSE(path.empty());
    ASSERT_TRUE(waitForChanges(1));
    takeChanges();
    HANDLE deviceHandle = openDevice(path);
    ASSERT_NE(deviceHandle, INVALID_HANDLE_VALUE);
    HANDLE unrelated = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HDEVNOTIFY forHandle = registerHandle(hwnd, deviceHandle);
    registerHandle(hwnd, unrelated);

    device.unplug();
    EXPECT_TRUE(waitForChanges(2));
    const auto seen = takeChanges();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].event, static_cast<WPARAM>(DBT_DEVICEREMOVECOMPLETE));
    EXPECT_EQ(seen[0].deviceType, static_cast<DWORD>(DBT_DEVTYP_DEVICEINTERFACE));
    EXPECT_EQ(seen[0].name, path);
    EXPECT_EQ(seen[1].event, static_cast<WPARAM>(DBT_DEVICEREMOVECOMPLETE));
    EXPECT_EQ(seen[1].deviceType, static_cast<DWORD>(DBT_DEVTYP_HANDLE));
    EXPECT_EQ(seen[1].size, sizeof(DEV_BROADCAST_HANDLE));
    EXPECT_EQ(seen[1].handle, deviceHandle);
    EXPECT_EQ(seen[1].notify, forHandle);
    EXPECT_EQ(seen[1].nameOffset, -1);
    CloseHandle(deviceHandle);
    CloseHandle(unrelated);
}

#if WINSIM_ONLY  // the forms of Wine 8.0's notifications are winsim's, set by its control API
// What Wine 8.0 does, on request: a handle registration hears nothing, and the interface's name comes in
// UTF-16 to an ANSI window.
TEST_F(DevNotifyTest, WithheldHandleNotificationsAndWideNames) {
    winsim::withholdHandleNotifications(true);
    winsim::sendWideInterfaceNames(true);
    HWND hwnd = makeWindow("DeviceChange");
    const std::string path = device.plug();
    HANDLE deviceHandle = openDevice(path);
    ASSERT_NE(deviceHandle, INVALID_HANDLE_VALUE);
    EXPECT_NE(registerHandle(hwnd, deviceHandle), nullptr);
    registerInterfaces(hwnd, kHidClass);

    device.unplug();
    const auto seen = takeChanges();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].deviceType, static_cast<DWORD>(DBT_DEVTYP_DEVICEINTERFACE));
    EXPECT_EQ(seen[0].size, offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name) + 2 * (path.size() + 1));
    EXPECT_EQ(seen[0].name, "\\");  // read as ANSI, the name ends after its first character
    CloseHandle(deviceHandle);
}
#endif

TEST_F(DevNotifyTest, NothingAfterUnregisteringOrAfterTheWindowIsDestroyed) {
    HWND unregistered = makeWindow("DeviceChange");
    HWND destroyed = makeWindow("DeviceChange");
    HWND kept = makeWindow("DeviceChange");
    EXPECT_TRUE(UnregisterDeviceNotification(registerInterfaces(unregistered, kHidClass)));
    registerInterfaces(destroyed, kHidClass);
    registerInterfaces(kept, kHidClass);
    DestroyWindow(destroyed);

    ASSERT_FALSE(device.plug().empty());
    EXPECT_TRUE(waitForChanges(1));
    device.unplug();
    EXPECT_TRUE(waitForChanges(2));
    std::vector<std::pair<HWND, WPARAM>> reached;
    for (const Change& c : takeChanges()) reached.emplace_back(c.hwnd, c.event);
    EXPECT_EQ(reached, (std::vector<std::pair<HWND, WPARAM>>{{kept, DBT_DEVICEARRIVAL},
                                                             {kept, DBT_DEVICEREMOVECOMPLETE}}));
#if WINSIM_ONLY                                        // winsim's count of registrations
    EXPECT_EQ(winsim::deviceNotificationCount(), 2u);  // the destroyed window's registration is still held
#endif
}
