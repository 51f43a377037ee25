#include "settings.h"

#include "owners.h"

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
    HKEY raw = nullptr;
    if (RegCreateKeyA(HKEY_CURRENT_USER, kLastTimeKey, &raw) != ERROR_SUCCESS &&
        RegOpenKeyExA(HKEY_CURRENT_USER, kLastTimeKey, 0, KEY_ALL_ACCESS, &raw) != ERROR_SUCCESS) {
        return;
    }
    const owners::RegistryKeyOwner key(raw);
    RegSetValueExA(key.Get(), kLastTimeValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(fileName),
                   static_cast<DWORD>(std::strlen(fileName) + 1));
}

std::string ReadSkypeSetting(const char* subkey, const char* valueName) {
    const std::string path = "SOFTWARE\\" + kSkypeSegment + subkey;
    HKEY raw = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &raw) != ERROR_SUCCESS) return {};
    char buffer[kSettingBufferSize];
    buffer[0] = '\0';
    DWORD size = sizeof(buffer);
    LONG result = ERROR_SUCCESS;
    {
        const owners::RegistryKeyOwner key(raw);
        result =
            RegQueryValueExA(key.Get(), valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
    }
    if (result != ERROR_SUCCESS || size > sizeof(buffer)) return {};
    // A text that fills the whole buffer without its terminator may have been cut: a cut command line could
    // start a different program.
    const size_t length = strnlen(buffer, size);
    if (length == sizeof(buffer)) return {};
    return std::string(buffer, length);
}

}  // namespace phonedock
