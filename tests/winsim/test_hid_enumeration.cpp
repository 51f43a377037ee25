// The HID bus as a program discovers it: SetupAPI enumeration and the detail protocol, opening device
// paths, attributes, preparsed data and capabilities.
#include "support/winsim_fixture.h"

#include <windows.h>
#include <hidsdi.h>
#include <setupapi.h>

#include <cstddef>
#include <string>
#include <vector>

#if WINSIM_ONLY  // devices of any ids, lengths and access are plugged on winsim's bus: Windows has one

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

HANDLE openReadWrite(const std::string& path, DWORD flags = 0) {
    return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, flags, nullptr);
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

TEST_F(HidEnumeration, EnumerationChecksSizesAndReportsTheEnd) {
    winsim::hidPlug(device("\\\\?\\hid#only"), nullptr);
    const GUID guid = hidGuid();
    EXPECT_EQ(SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    HDEVINFO set = SetupDiGetClassDevsA(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    ASSERT_NE(set, INVALID_HANDLE_VALUE);
    EXPECT_EQ(winsim::hidOpenDeviceInfoSets(), 1u);

    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof(data) + 1;
    EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set, nullptr, &guid, 0, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));
    data.cbSize = sizeof(data);
    EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set, nullptr, &guid, 1, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    ASSERT_TRUE(SetupDiEnumDeviceInterfaces(set, nullptr, &guid, 0, &data));

    // The detail protocol: the size, then a buffer of exactly that size with the structure's own cbSize.
    DWORD required = 0;
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &required, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(required, offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) +
                            std::string("\\\\?\\hid#only").size() + 1);

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
    EXPECT_STREQ(detail->DevicePath, "\\\\?\\hid#only");

    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
    EXPECT_FALSE(SetupDiDestroyDeviceInfoList(set));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(winsim::hidOpenDeviceInfoSets(), 0u);
}

TEST_F(HidEnumeration, OpeningFollowsPathCaseAccessAndSharing) {
    auto keyboard = device("\\\\?\\hid#keyboard", 0x1234, 0x0001);
    keyboard.readWriteAccess = false;
    winsim::hidPlug(keyboard, nullptr);
    const auto phone = winsim::hidPlug(device("\\\\?\\HID#Phone"), nullptr);

    EXPECT_EQ(openReadWrite("\\\\?\\hid#nothing"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(openReadWrite("\\\\?\\hid#keyboard"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    // Without read/write access a keyboard still answers questions about itself.
    HANDLE query = CreateFileA("\\\\?\\hid#keyboard", 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(query, INVALID_HANDLE_VALUE);
    HIDD_ATTRIBUTES attributes{};
    EXPECT_TRUE(HidD_GetAttributes(query, &attributes));
    EXPECT_EQ(attributes.VendorID, 0x1234);
    char byte[18] = {};
    DWORD n = 0;
    EXPECT_FALSE(ReadFile(query, byte, sizeof(byte), &n, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    CloseHandle(query);

    HANDLE sync = openReadWrite("\\\\?\\hid#phone");  // paths compare without regard to case
    HANDLE async = openReadWrite("\\\\?\\HID#PHONE", FILE_FLAG_OVERLAPPED);
    ASSERT_NE(sync, INVALID_HANDLE_VALUE);
    ASSERT_NE(async, INVALID_HANDLE_VALUE);
    EXPECT_NE(sync, async);
    EXPECT_EQ(winsim::hidOpenHandleCount(phone), 2u);
    // An exclusive open conflicts with the handles already open.
    EXPECT_EQ(CreateFileA("\\\\?\\hid#phone", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));

    CloseHandle(sync);
    CloseHandle(async);
    EXPECT_EQ(winsim::hidOpenHandleCount(phone), 0u);
}

TEST_F(HidEnumeration, AttributesCapabilitiesAndPreparsedDataAccounting) {
    auto desc = device("\\\\?\\hid#phone");
    desc.versionNumber = 0x0205;
    winsim::hidPlug(desc, nullptr);
    HANDLE handle = openReadWrite(desc.path);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);

    HIDD_ATTRIBUTES attributes{};
    ASSERT_TRUE(HidD_GetAttributes(handle, &attributes));
    EXPECT_EQ(attributes.Size, sizeof(HIDD_ATTRIBUTES));
    EXPECT_EQ(attributes.VendorID, 1204);
    EXPECT_EQ(attributes.ProductID, 770);
    EXPECT_EQ(attributes.VersionNumber, 0x0205);

    PHIDP_PREPARSED_DATA first = nullptr;
    PHIDP_PREPARSED_DATA second = nullptr;
    ASSERT_TRUE(HidD_GetPreparsedData(handle, &first));
    ASSERT_TRUE(HidD_GetPreparsedData(handle, &second));
    EXPECT_EQ(winsim::hidOutstandingPreparsedData(), 2u);
    HIDP_CAPS caps{};
    ASSERT_EQ(HidP_GetCaps(first, &caps), HIDP_STATUS_SUCCESS);
    EXPECT_EQ(caps.InputReportByteLength, 18);
    EXPECT_EQ(caps.OutputReportByteLength, 34);
    EXPECT_EQ(caps.UsagePage, desc.usagePage);

    EXPECT_TRUE(HidD_FreePreparsedData(first));
    EXPECT_FALSE(HidD_FreePreparsedData(first));  // twice
    EXPECT_EQ(HidP_GetCaps(first, &caps), HIDP_STATUS_INVALID_PREPARSED_DATA);
    EXPECT_TRUE(HidD_FreePreparsedData(second));
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
