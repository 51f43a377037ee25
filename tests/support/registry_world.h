// The registry as a test sets it up and looks at it behind the program's back: through winsim's control API
// on winsim, through the registry itself on Windows. Key paths are below HKEY_CURRENT_USER.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#ifndef _WIN32
#include <winsim/control.h>
#endif

#include <cstdint>
#include <string>
#include <vector>

namespace winsim_test {

// A value as stored: its bytes (a string's terminator only if the writer gave it), or none.
struct StoredValue {
    bool exists = false;
    std::vector<uint8_t> data;
};

#ifdef _WIN32
inline void storeString(const std::string& subKey, const std::string& name, const std::string& text) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, subKey.c_str(), &key), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>(text.size() + 1)),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

inline StoredValue storedValue(const std::string& subKey, const std::string& name) {
    StoredValue value;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return value;
    DWORD size = 0;
    if (RegQueryValueExA(key, name.c_str(), nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS) {
        value.data.resize(size);
        value.exists =
            RegQueryValueExA(key, name.c_str(), nullptr, nullptr, value.data.data(), &size) == ERROR_SUCCESS;
    }
    RegCloseKey(key);
    return value;
}

inline bool keyExists(const std::string& subKey) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// Windows keeps the keys from one test to the next: a test starts by removing those it makes.
inline void forgetKey(const std::string& subKey) {
    RegDeleteTreeA(HKEY_CURRENT_USER, subKey.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, subKey.c_str());
}

// Only winsim counts the handles a process has open.
inline void expectNoOpenHandles() {}
#else
inline void storeString(const std::string& subKey, const std::string& name, const std::string& text) {
    winsim::registrySetString("HKCU\\" + subKey, name, text);
}

inline StoredValue storedValue(const std::string& subKey, const std::string& name) {
    const winsim::RegistryValue value = winsim::registryGetValue("HKCU\\" + subKey, name);
    return {value.exists, value.data};
}

inline bool keyExists(const std::string& subKey) {
    return winsim::registryKeyExists("HKCU\\" + subKey);
}

// winsim starts every test with an empty registry.
inline void forgetKey(const std::string&) {}

inline void expectNoOpenHandles() {
    EXPECT_EQ(winsim::openHandleCount(), 0u);
}
#endif

}  // namespace winsim_test
