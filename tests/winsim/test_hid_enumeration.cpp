// The HID bus as a program discovers it: SetupAPI enumeration and the detail protocol, opening device
// paths, attributes, preparsed data and capabilities. The device is one the test plays
// (support/hid_bus.h): on winsim's bus here, the virtual USB handset under Windows; what needs devices of
// other kinds, several at once, or winsim's own counters is tested below on winsim alone.
#include "support/hid_bus.h"
#include "support/winsim_fixture.h"

#include <windows.h>
extern "C" {  // the system's HID header declares C functions without saying so
#include <hidsdi.h>
}
#include <setupapi.h>

#include <cctype>
#include <cstddef>
#include <string>
#include <vector>

namespace {

GUID hidGuid() {
    GUID guid;
    HidD_GetHidGuid(&guid);
    return guid;
}

// The path at `index`, read the way a program does: a fresh set, the two-call detail protocol.
std::string pathAt(DWORD index) {
    const GUID guid = hidGuid();
    HDEVINFO set = SetupDiGetClassDevsA(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    EXPECT_NE(set, INVALID_HANDLE_VALUE);
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof(data);
    std::string path;
    if (SetupDiEnumDeviceInterfaces(set, nullptr, &guid, index, &data)) {
        DWORD required = 0;
        EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &required, nullptr));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
        std::vector<char> buffer(required);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        EXPECT_TRUE(SetupDiGetDeviceInterfaceDetailA(set, &data, detail, required, nullptr, nullptr));
        path = detail->DevicePath;
    }
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
    return path;
}

// Every listed path, in the system's order (the system may list HID devices of its own).
std::vector<std::string> listedPaths() {
    std::vector<std::string> paths;
    for (DWORD index = 0;; ++index) {
        std::string path = pathAt(index);
        if (path.empty()) return paths;
        paths.push_back(std::move(path));
    }
}

int indexOf(const std::vector<std::string>& paths, const std::string& path) {
    for (size_t i = 0; i < paths.size(); ++i)
        if (paths[i] == path) return static_cast<int>(i);
    return -1;
}

HANDLE openReadWrite(const std::string& path, DWORD flags = 0) {
    return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, flags, nullptr);
}

std::string withCase(std::string path, int (*change)(int)) {
    for (char& c : path) c = static_cast<char>(change(static_cast<unsigned char>(c)));
    return path;
}

class HidDiscovery : public WinsimTest {
  protected:
    void TearDown() override {
        device.unplug();
        WinsimTest::TearDown();
    }
    hid_test::TestHidDevice device{hid_test::HidShape{1204, 770, 18, 34}};
};

TEST_F(HidDiscovery, ListsThePluggedInterfaceAndForgetsItOnceRemoved) {
    const auto others = listedPaths();
    const std::string path = device.plug();
    ASSERT_FALSE(path.empty());
    const auto withDevice = listedPaths();
    EXPECT_EQ(withDevice.size(), others.size() + 1);
    const int index = indexOf(withDevice, path);
    ASSERT_GE(index, 0);
    const GUID guid = hidGuid();
    HDEVINFO before = SetupDiGetClassDevsA(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);

    device.unplug();
    // A set taken before still lists the removed device, but its path no longer opens.
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof(data);
    EXPECT_TRUE(SetupDiEnumDeviceInterfaces(before, nullptr, &guid, static_cast<DWORD>(index), &data));
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(before));
    EXPECT_EQ(openReadWrite(path), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(listedPaths(), others);
#if WINSIM_ONLY  // winsim's count of sets and handles not yet given back
    EXPECT_EQ(winsim::hidOpenDeviceInfoSets(), 0u);
    EXPECT_EQ(winsim::openHandleCount(), 0u);
#endif
}

TEST_F(HidDiscovery, EnumerationChecksSizesAndReportsTheEnd) {
    const std::string path = device.plug();
    ASSERT_FALSE(path.empty());
    const auto paths = listedPaths();
    const int index = indexOf(paths, path);
    ASSERT_GE(index, 0);
    const GUID guid = hidGuid();
    EXPECT_EQ(SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    HDEVINFO set = SetupDiGetClassDevsA(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    ASSERT_NE(set, INVALID_HANDLE_VALUE);
#if WINSIM_ONLY  // winsim's count of sets not yet destroyed
    EXPECT_EQ(winsim::hidOpenDeviceInfoSets(), 1u);
#endif

    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof(data);
    EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set, nullptr, &guid, static_cast<DWORD>(paths.size()), &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    ASSERT_TRUE(SetupDiEnumDeviceInterfaces(set, nullptr, &guid, static_cast<DWORD>(index), &data));

    // The detail protocol: the size, then a buffer of exactly that size with the structure's own cbSize.
    DWORD required = 0;
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &required, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(required, offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + path.size() + 1);

    std::vector<char> buffer(required);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
    detail->cbSize =
        static_cast<DWORD>(required);  // the common mistake: the buffer's size, not the structure's
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &data, detail, required, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &data, detail, required - 1, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    ASSERT_TRUE(SetupDiGetDeviceInterfaceDetailA(set, &data, detail, required, nullptr, nullptr));
    EXPECT_EQ(detail->DevicePath, path);

    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
#if WINSIM_ONLY  // a destroyed set is freed memory on Windows, not a handle that can be asked again
    EXPECT_FALSE(SetupDiDestroyDeviceInfoList(set));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(winsim::hidOpenDeviceInfoSets(), 0u);
#endif
}

TEST_F(HidDiscovery, AnInterfaceDataOfTheWrongSizeIsRefused) {
    ASSERT_FALSE(device.plug().empty());
    const GUID guid = hidGuid();
    HDEVINFO set = SetupDiGetClassDevsA(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    ASSERT_NE(set, INVALID_HANDLE_VALUE);
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof(data) + 1;
    EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set, nullptr, &guid, 0, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
}

TEST_F(HidDiscovery, OpeningFollowsPathCaseAndAccess) {
    const std::string path = device.plug();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(openReadWrite(path + "x"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    // Without read/write access the device still answers questions about itself, but reads nothing.
    HANDLE query =
        CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(query, INVALID_HANDLE_VALUE);
    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof(attributes);
    EXPECT_TRUE(HidD_GetAttributes(query, &attributes));
    EXPECT_EQ(attributes.VendorID, 1204);
    char report[18] = {};
    DWORD n = 0;
    EXPECT_FALSE(ReadFile(query, report, sizeof(report), &n, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    CloseHandle(query);

    HANDLE sync = openReadWrite(withCase(path, std::tolower));  // paths compare without regard to case
    HANDLE async = openReadWrite(withCase(path, std::toupper), FILE_FLAG_OVERLAPPED);
    ASSERT_NE(sync, INVALID_HANDLE_VALUE);
    ASSERT_NE(async, INVALID_HANDLE_VALUE);
    EXPECT_NE(sync, async);
#if WINSIM_ONLY  // winsim's count of open handles
    EXPECT_EQ(winsim::hidOpenHandleCount(device.busId()), 2u);
#endif
    CloseHandle(sync);
    CloseHandle(async);
#if WINSIM_ONLY  // winsim's count of open handles
    EXPECT_EQ(winsim::hidOpenHandleCount(device.busId()), 0u);
#endif
}

TEST_F(HidDiscovery, AnExclusiveOpenConflictsWithTheHandlesOpen) {
    const std::string path = device.plug();
    ASSERT_FALSE(path.empty());
    HANDLE shared = openReadWrite(path);
    ASSERT_NE(shared, INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    CloseHandle(shared);

    // And once it holds the device, nobody else opens it.
    HANDLE exclusive = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
    EXPECT_EQ(openReadWrite(path), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    CloseHandle(exclusive);
}

TEST_F(HidDiscovery, AttributesCapabilitiesAndPreparsedData) {
    const std::string path = device.plug();
    ASSERT_FALSE(path.empty());
    HANDLE handle = openReadWrite(path);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);

    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof(attributes);
    ASSERT_TRUE(HidD_GetAttributes(handle, &attributes));
    EXPECT_EQ(attributes.Size, sizeof(HIDD_ATTRIBUTES));
    EXPECT_EQ(attributes.VendorID, 1204);
    EXPECT_EQ(attributes.ProductID, 770);
    EXPECT_EQ(attributes.VersionNumber, 0x0100);

    PHIDP_PREPARSED_DATA first = nullptr;
    PHIDP_PREPARSED_DATA second = nullptr;
    ASSERT_TRUE(HidD_GetPreparsedData(handle, &first));
    ASSERT_TRUE(HidD_GetPreparsedData(handle, &second));
    EXPECT_NE(first, second);  // each call hands out its own copy
#if WINSIM_ONLY                // winsim's count of preparsed data not yet freed
    EXPECT_EQ(winsim::hidOutstandingPreparsedData(), 2u);
#endif
    HIDP_CAPS caps{};
    ASSERT_EQ(HidP_GetCaps(first, &caps), HIDP_STATUS_SUCCESS);
    EXPECT_EQ(caps.InputReportByteLength, 18);
    EXPECT_EQ(caps.OutputReportByteLength, 34);
    EXPECT_EQ(caps.UsagePage, 0xFF00);
    EXPECT_EQ(caps.Usage, 0x0001);
    EXPECT_TRUE(HidD_FreePreparsedData(first));
    ASSERT_EQ(HidP_GetCaps(second, &caps), HIDP_STATUS_SUCCESS);
    EXPECT_EQ(caps.InputReportByteLength, 18);
    EXPECT_TRUE(HidD_FreePreparsedData(second));
#if WINSIM_ONLY  // winsim's count of preparsed data not yet freed
    EXPECT_EQ(winsim::hidOutstandingPreparsedData(), 0u);
#endif
    CloseHandle(handle);
}

}  // namespace

#if WINSIM_ONLY  // devices of any ids, versions and access, several at once, freed twice: winsim's bus alone

namespace {

winsim::HidDeviceDesc device(const std::string& path, USHORT vendorId = 1204, USHORT productId = 770) {
    winsim::HidDeviceDesc desc;
    desc.path = path;
    desc.vendorId = vendorId;
    desc.productId = productId;
    desc.inputReportLength = 18;
    desc.outputReportLength = 34;
    return desc;
}

using HidEnumeration = WinsimTest;

TEST_F(HidEnumeration, ListsPresentInterfacesInPlugOrderAndForgetsRemovedOnes) {
    const auto first = winsim::hidPlug(device("\\\\?\\hid#first"), nullptr);
    winsim::hidPlug(device("\\\\?\\hid#second"), nullptr);
    winsim::hidPlug(device("\\\\?\\hid#third"), nullptr);
    EXPECT_EQ(pathAt(0), "\\\\?\\hid#first");
    EXPECT_EQ(pathAt(2), "\\\\?\\hid#third");
    const GUID guid = hidGuid();
    HDEVINFO before = SetupDiGetClassDevsA(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);

    winsim::hidUnplug(first);
    EXPECT_FALSE(winsim::hidPresent(first));
    // A set taken before still lists the removed device, but its path no longer opens.
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof(data);
    EXPECT_TRUE(SetupDiEnumDeviceInterfaces(before, nullptr, &guid, 2, &data));
    SetupDiDestroyDeviceInfoList(before);
    EXPECT_EQ(openReadWrite("\\\\?\\hid#first"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(pathAt(0), "\\\\?\\hid#second");
    EXPECT_EQ(pathAt(1), "\\\\?\\hid#third");
    EXPECT_EQ(pathAt(2), "");  // past the end
    EXPECT_EQ(winsim::hidHighestEnumeratedIndex(), 2);
    EXPECT_EQ(winsim::hidOpenDeviceInfoSets(), 0u);
    EXPECT_EQ(winsim::openHandleCount(), 0u);
}

TEST_F(HidEnumeration, AKeyboardRefusesReadWriteAccessButAnswersQueries) {
    auto keyboard = device("\\\\?\\hid#keyboard", 0x1234, 0x0001);
    keyboard.readWriteAccess = false;
    winsim::hidPlug(keyboard, nullptr);
    EXPECT_EQ(openReadWrite("\\\\?\\hid#keyboard"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    HANDLE query = CreateFileA("\\\\?\\hid#keyboard", 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(query, INVALID_HANDLE_VALUE);
    HIDD_ATTRIBUTES attributes{};
    EXPECT_TRUE(HidD_GetAttributes(query, &attributes));
    EXPECT_EQ(attributes.VendorID, 0x1234);
    CloseHandle(query);
}

TEST_F(HidEnumeration, VersionsPreparsedDataAccountingAndRefusals) {
    auto desc = device("\\\\?\\hid#phone");
    desc.versionNumber = 0x0205;
    winsim::hidPlug(desc, nullptr);
    HANDLE handle = openReadWrite(desc.path);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    HIDD_ATTRIBUTES attributes{};
    ASSERT_TRUE(HidD_GetAttributes(handle, &attributes));
    EXPECT_EQ(attributes.VersionNumber, 0x0205);

    PHIDP_PREPARSED_DATA first = nullptr;
    ASSERT_TRUE(HidD_GetPreparsedData(handle, &first));
    EXPECT_TRUE(HidD_FreePreparsedData(first));
    EXPECT_FALSE(HidD_FreePreparsedData(first));  // twice
    HIDP_CAPS caps{};
    EXPECT_EQ(HidP_GetCaps(first, &caps), HIDP_STATUS_INVALID_PREPARSED_DATA);
    EXPECT_EQ(winsim::hidOutstandingPreparsedData(), 0u);
    CloseHandle(handle);

    auto refusing = device("\\\\?\\hid#refusing");
    refusing.preparsedDataFails = true;
    winsim::hidPlug(refusing, nullptr);
    handle = openReadWrite(refusing.path);
    EXPECT_FALSE(HidD_GetPreparsedData(handle, &first));
    EXPECT_EQ(winsim::hidOutstandingPreparsedData(), 0u);
    CloseHandle(handle);
}

}  // namespace

#endif  // WINSIM_ONLY
