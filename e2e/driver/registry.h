// The current user's registry, as the program under test sees it (the driver runs as the same user).
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace e2e {

struct RegistryString {
    DWORD type = REG_NONE;
    std::string text;  // the data up to its first NUL
    DWORD byteCount = 0;
};

// Writes a REG_SZ value, creating the key; false on failure.
bool setUserString(const std::string& key, const std::string& value, const std::string& text);
// Nothing when the key or the value does not exist (or the value is larger than 4 KiB).
std::optional<RegistryString> userString(const std::string& key, const std::string& value);
// Removes a value; true also when it was not there.
bool deleteUserValue(const std::string& key, const std::string& value);

}  // namespace e2e
