#include "settings.h"

#include <windows.h>

#include <cstring>

namespace phonedock {
namespace {

const char kLastTimeKey[] = "Software\\Zentary\\DLL\\LastTime";
const char kLastTimeValue[] = "USB PHONE";
const std::string kSkypeSegment = "Skype\\";
constexpr DWORD kSettingBufferSize = 100;

}  // namespace

void RecordLoadedLibrary(const char* fileName) {
    HKEY key = nullptr;
    if (RegCreateKeyA(HKEY_CURRENT_USER, kLastTimeKey, &key) != ERROR_SUCCESS &&
        RegOpenKeyExA(HKEY_CURRENT_USER, kLastTimeKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
        return;
    }
    RegSetValueExA(key, kLastTimeValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(fileName),
                   static_cast<DWORD>(std::strlen(fileName) + 1));
    RegCloseKey(key);
}

std::string ReadSkypeSetting(const char* subkey, const char* valueName) {
    const std::string path = "SOFTWARE\\" + kSkypeSegment + subkey;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
    char buffer[kSettingBufferSize];
    buffer[0] = '\0';
    DWORD size = sizeof(buffer);
    const LONG result =
        RegQueryValueExA(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || size > sizeof(buffer)) return {};
    // A text that fills the whole buffer without its terminator may have been cut: a cut command line could
    // start a different program.
    const size_t length = strnlen(buffer, size);
    if (length == sizeof(buffer)) return {};
    return std::string(buffer, length);
}

}  // namespace phonedock
