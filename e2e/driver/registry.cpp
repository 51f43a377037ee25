#include "registry.h"

#include <algorithm>
#include <vector>

namespace e2e {
namespace {

constexpr DWORD kLargestValue = 4096;

}  // namespace

bool setUserString(const std::string& key, const std::string& value, const std::string& text) {
    HKEY handle = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle,
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const LONG result =
        RegSetValueExA(handle, value.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>(text.size() + 1));
    RegCloseKey(handle);
    return result == ERROR_SUCCESS;
}

std::optional<RegistryString> userString(const std::string& key, const std::string& value) {
    HKEY handle = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::vector<BYTE> data(kLargestValue);
    RegistryString read;
    read.byteCount = static_cast<DWORD>(data.size());
    const LONG result =
        RegQueryValueExA(handle, value.c_str(), nullptr, &read.type, data.data(), &read.byteCount);
    RegCloseKey(handle);
    if (result != ERROR_SUCCESS) return std::nullopt;
    const auto end = data.begin() + read.byteCount;
    read.text.assign(data.begin(), std::find(data.begin(), end, BYTE{0}));
    return read;
}

bool deleteUserValue(const std::string& key, const std::string& value) {
    HKEY handle = nullptr;
    const LONG opened = RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_SET_VALUE, &handle);
    if (opened == ERROR_FILE_NOT_FOUND) return true;
    if (opened != ERROR_SUCCESS) return false;
    const LONG result = RegDeleteValueA(handle, value.c_str());
    RegCloseKey(handle);
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

}  // namespace e2e
