// The registry: names that ignore case, values kept byte for byte, the size protocol of RegQueryValueExA,
// access rights of open keys, missing keys and bad handles, deletion, and injected faults.
#include "support/registry_world.h"
#include "support/winsim_fixture.h"

#include <cstring>

namespace {

using namespace winsim_test;

constexpr const char* kLastTime = "Software\\Zentary\\DLL\\LastTime";

class RegistryTest : public WinsimTest {
  protected:
    void SetUp() override {
        WinsimTest::SetUp();
        forgetKey("Software\\Zentary");
        forgetKey("Software\\Skype");
        forgetKey("Software\\Microsoft\\Multimedia\\Sound Mapper");
    }
    static HKEY create(const char* path, DWORD* disposition = nullptr) {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS, nullptr, &key, disposition),
                  ERROR_SUCCESS);
        return key;
    }
    static LONG open(const char* path, REGSAM access, HKEY& key) {
        return RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, access, &key);
    }
    static LONG setString(HKEY key, const char* name, const char* text, DWORD size) {
        return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), size);
    }
};

}  // namespace

TEST_F(RegistryTest, NamesIgnoreCaseAndValuesKeepTheBytesGiven) {
    DWORD disposition = 0;
    HKEY key = create(kLastTime, &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    EXPECT_EQ(setString(key, "USB PHONE", "VOCETTA.DLL", 12), ERROR_SUCCESS);
    const DWORD number = 0x12345678;
    EXPECT_EQ(RegSetValueExA(key, "Count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4),
              ERROR_SUCCESS);
    EXPECT_EQ(setString(key, "Bare", "abcd", 3), ERROR_SUCCESS);  // no terminator given
    // A terminator there but not counted is counted, as Windows NT does.
    EXPECT_EQ(setString(key, "Uncounted", "abc", 3), ERROR_SUCCESS);
    RegCloseKey(key);

    HKEY again = create("SOFTWARE\\zentary\\dll\\LASTTIME", &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    // The two-call protocol: the size first, then the data.
    DWORD type = 0, size = 0;
    EXPECT_EQ(RegQueryValueExA(again, "usb phone", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, 12u);
    char text[100];
    EXPECT_EQ(RegQueryValueExA(again, "Usb Phone", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(text, "VOCETTA.DLL");
    DWORD read = 0;
    size = sizeof(read);
    EXPECT_EQ(RegQueryValueExA(again, "COUNT", nullptr, &type, reinterpret_cast<BYTE*>(&read), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(read, number);
    // A string stored without its terminator gets one when the buffer has room; the size stays as stored.
    std::memset(text, 'x', sizeof(text));
    size = sizeof(text);
    EXPECT_EQ(RegQueryValueExA(again, "bare", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(size, 3u);
    EXPECT_STREQ(text, "abc");
    RegCloseKey(again);

    const StoredValue stored = storedValue("software\\zentary\\dll\\lasttime", "usb PHONE");
    ASSERT_TRUE(stored.exists);
    EXPECT_EQ(stored.data, (std::vector<uint8_t>{'V', 'O', 'C', 'E', 'T', 'T', 'A', '.', 'D', 'L', 'L', 0}));
    EXPECT_EQ(storedValue("Software\\Zentary\\DLL\\LastTime", "Bare").data.size(), 3u);
    EXPECT_EQ(storedValue("Software\\Zentary\\DLL\\LastTime", "Uncounted").data.size(), 4u);
    expectNoOpenHandles();
}

TEST_F(RegistryTest, ATooSmallBufferGetsMoreDataAndWhatFits) {
    storeString("SOFTWARE\\Skype\\Phone", "SkypePath", "C:\\Program Files\\Skype\\Phone\\Skype.exe");
    HKEY key = nullptr;
    ASSERT_EQ(open("Software\\Skype\\Phone", KEY_READ, key), ERROR_SUCCESS);
    char buffer[12];
    std::memset(buffer, '#', sizeof(buffer));
    DWORD size = 8;
    EXPECT_EQ(RegQueryValueExA(key, "SkypePath", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 39u);
    EXPECT_EQ(std::string(buffer + 8, 4), "####");  // nothing past the size given
#if WINSIM_ONLY  // winsim fills what fits, where Windows leaves the buffer's content undefined
    EXPECT_EQ(std::string(buffer, 8), "C:\\Progr");  // cut and unterminated
#endif
    EXPECT_EQ(RegQueryValueExA(key, "SkypePath", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), nullptr),
              ERROR_INVALID_PARAMETER);
    RegCloseKey(key);
}

TEST_F(RegistryTest, MissingKeysAndValuesBadPathsAndBadHandles) {
    HKEY key = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(open("Software\\Skype\\Phone", KEY_READ, key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(open("\\Software", KEY_READ, key), ERROR_BAD_PATHNAME);
    key = create("Software\\Skype\\Phone");
    EXPECT_EQ(RegQueryValueExA(key, "SkypePath", nullptr, nullptr, nullptr, nullptr), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    // A closed key and an invented value are not keys; an event is no key either, but Windows closes any
    // handle it is given.
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegQueryValueExA(key, "SkypePath", nullptr, nullptr, nullptr, nullptr), ERROR_INVALID_HANDLE);
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(RegQueryValueExA(static_cast<HKEY>(event), "x", nullptr, nullptr, nullptr, nullptr),
              ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(static_cast<HKEY>(event)), ERROR_SUCCESS);
    EXPECT_FALSE(CloseHandle(event));
    EXPECT_EQ(setString(reinterpret_cast<HKEY>(0x4321), "x", "y", 2), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);  // the roots need no closing
    expectNoOpenHandles();
}

TEST_F(RegistryTest, KeysGrantOnlyTheAccessTheyWereOpenedWith) {
    RegCloseKey(create("Software\\Microsoft\\Multimedia\\Sound Mapper"));
    const char* mapper = "Software\\Microsoft\\Multimedia\\Sound Mapper";
    HKEY reading = nullptr, writing = nullptr, both = nullptr;
    ASSERT_EQ(open(mapper, KEY_READ, reading), ERROR_SUCCESS);
    ASSERT_EQ(open(mapper, KEY_WRITE, writing), ERROR_SUCCESS);
    ASSERT_EQ(open(mapper, KEY_READ | KEY_WRITE, both), ERROR_SUCCESS);

    EXPECT_EQ(setString(reading, "Playback", "USB Audio Device", 17), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValueA(reading, "Playback"), ERROR_ACCESS_DENIED);
    HKEY sub = nullptr;
    EXPECT_EQ(RegCreateKeyA(reading, "New", &sub), ERROR_ACCESS_DENIED);
    EXPECT_EQ(setString(writing, "Playback", "USB Audio Device", 17), ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(writing, "Playback", nullptr, nullptr, nullptr, &size), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegQueryValueExA(reading, "Playback", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(setString(both, "Record", "Onboard Audio", 14), ERROR_SUCCESS);
    EXPECT_EQ(storedValue("Software\\Microsoft\\Multimedia\\Sound Mapper", "record").data,
              (std::vector<uint8_t>{'O', 'n', 'b', 'o', 'a', 'r', 'd', ' ', 'A', 'u', 'd', 'i', 'o', 0}));

    RegCloseKey(reading);
    RegCloseKey(writing);
    RegCloseKey(both);
    expectNoOpenHandles();
}

TEST_F(RegistryTest, DeletedKeysAndValuesAreGoneAndTheirHandlesFail) {
    HKEY key = create("Software\\Zentary\\DLL");
    HKEY leaf = create(kLastTime);
    EXPECT_EQ(setString(leaf, "USB PHONE", "VOCETTA.DLL", 12), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(leaf, "usb phone"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(leaf, "usb phone"), ERROR_FILE_NOT_FOUND);

    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Zentary"), ERROR_ACCESS_DENIED);  // has subkeys
    EXPECT_EQ(RegDeleteKeyA(key, "lasttime"), ERROR_SUCCESS);
    EXPECT_FALSE(keyExists("Software\\Zentary\\DLL\\LastTime"));
    EXPECT_TRUE(keyExists("Software\\Zentary\\DLL"));
    EXPECT_EQ(setString(leaf, "USB PHONE", "VOCETTA.DLL", 12), ERROR_KEY_DELETED);
    EXPECT_EQ(RegDeleteKeyA(key, "LastTime"), ERROR_FILE_NOT_FOUND);
    RegCloseKey(leaf);
    RegCloseKey(key);
}

#if WINSIM_ONLY  // refusals are injected through winsim's control API
TEST_F(RegistryTest, InjectedFaultsRefuseOneOperationOnOneKey) {
    winsim::registryRefuse(winsim::RegistryOperation::Create, "HKCU\\Software\\Zentary\\DLL\\LastTime");
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, kLastTime, &key), ERROR_ACCESS_DENIED);
    EXPECT_EQ(key, nullptr);
    EXPECT_FALSE(winsim::registryKeyExists("HKCU\\Software\\Zentary"));  // nothing half made

    // The key made another way can still be opened, and written unless that is refused too.
    winsim::registrySetString("HKCU\\Software\\Zentary\\DLL\\LastTime", "USB PHONE", "old");
    ASSERT_EQ(open(kLastTime, KEY_ALL_ACCESS, key), ERROR_SUCCESS);
    winsim::registryRefuse(winsim::RegistryOperation::SetValue, "hkcu\\software\\zentary\\dll\\lasttime",
                           ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(setString(key, "USB PHONE", "VOCETTA.DLL", 12), ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(winsim::registryGetString("HKCU\\Software\\Zentary\\DLL\\LastTime", "USB PHONE"), "old");
    RegCloseKey(key);

    winsim::registryRefuse(winsim::RegistryOperation::Open,
                           "HKEY_CURRENT_USER\\Software\\Zentary\\DLL\\LastTime");
    EXPECT_EQ(open(kLastTime, KEY_READ, key), ERROR_ACCESS_DENIED);
    EXPECT_EQ(open("Software\\Zentary\\DLL", KEY_READ, key), ERROR_SUCCESS);  // only that key
    RegCloseKey(key);

    winsim::reset();
    EXPECT_FALSE(winsim::registryKeyExists("HKCU\\Software\\Zentary"));
    EXPECT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, kLastTime, &key), ERROR_SUCCESS);
    RegCloseKey(key);
}

#endif
