// The registry: an in-memory tree of keys under the predefined roots, with values of any type kept as the
// bytes the writer gave. Key and value names ignore case. An open key is a kernel handle that remembers the
// access it was opened with, so writing through a key opened for reading fails as on Windows.
#include "window_state.h"

#include <winsim/control.h>

#include <cstring>
#include <map>
#include <stdexcept>

namespace winsim::detail {
namespace {

struct Value {
    DWORD type = REG_NONE;
    std::vector<uint8_t> data;
};

struct Key {
    std::string path;  // from the root, folded: "HKEY_CURRENT_USER\SOFTWARE\ZENTARY"
    std::weak_ptr<Key> parent;
    std::map<std::string, std::shared_ptr<Key>> subkeys;  // by folded name
    std::map<std::string, Value> values;                  // by folded name; "" is the default value
    bool deleted = false;                                 // open handles to a deleted key fail
};

struct OpenKey final : KernelObject {
    std::shared_ptr<Key> key;
    REGSAM access = 0;
};

struct Root {
    HKEY handle;
    const char* name;
    const char* shortName;
};

const Root kRoots[] = {
    {HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT", "HKCR"},
    {HKEY_CURRENT_USER, "HKEY_CURRENT_USER", "HKCU"},
    {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE", "HKLM"},
    {HKEY_USERS, "HKEY_USERS", "HKU"},
};
constexpr size_t kRootCount = sizeof(kRoots) / sizeof(kRoots[0]);

struct Refusal {
    RegistryOperation operation;
    std::string path;  // folded
    LONG error;
};

struct RegistryState {
    std::shared_ptr<Key> roots[kRootCount];
    std::vector<Refusal> refusals;

    RegistryState() {
        for (size_t i = 0; i < kRootCount; ++i) {
            roots[i] = std::make_shared<Key>();
            roots[i]->path = kRoots[i].name;
        }
    }
};

RegistryState& state() {
    static RegistryState& s = *new RegistryState;
    return s;
}

ResetHook registryReset([] { state() = RegistryState{}; });

// Rights that the key handle grants: the generic MAXIMUM_ALLOWED is everything, the WOW64 view bits none.
REGSAM grantedAccess(REGSAM desired) {
    if ((desired & MAXIMUM_ALLOWED) != 0) return KEY_ALL_ACCESS;
    return desired & ~static_cast<REGSAM>(KEY_WOW64_32KEY | KEY_WOW64_64KEY);
}

// The key behind a handle and the access it grants (bigLock held).
LONG resolve(HKEY hKey, std::shared_ptr<Key>& key, REGSAM& access) {
    for (size_t i = 0; i < kRootCount; ++i) {
        if (hKey == kRoots[i].handle) {
            key = state().roots[i];
            access = KEY_ALL_ACCESS;
            return ERROR_SUCCESS;
        }
    }
    auto open = lookupHandleAs<OpenKey>(hKey);
    if (!open) return ERROR_INVALID_HANDLE;
    if (open->key->deleted) return ERROR_KEY_DELETED;
    key = open->key;
    access = open->access;
    return ERROR_SUCCESS;
}

bool isRoot(HKEY hKey) {
    for (const Root& root : kRoots) {
        if (hKey == root.handle) return true;
    }
    return false;
}

// A relative key path: names separated by backslashes; a leading backslash is refused as on Windows.
LONG splitPath(LPCSTR subKey, std::vector<std::string>& names) {
    names.clear();
    if (subKey == nullptr) return ERROR_SUCCESS;
    if (subKey[0] == '\\') return ERROR_BAD_PATHNAME;
    std::string name;
    for (const char* p = subKey;; ++p) {
        if (*p == '\\' || *p == '\0') {
            if (!name.empty()) names.push_back(foldCase(name));
            name.clear();
            if (*p == '\0') break;
        } else {
            name += *p;
        }
    }
    return ERROR_SUCCESS;
}

std::string joinPath(const std::string& base, const std::vector<std::string>& names) {
    std::string path = base;
    for (const std::string& name : names) path += "\\" + name;
    return path;
}

LONG refusal(RegistryOperation operation, const std::string& path) {
    for (const Refusal& r : state().refusals) {
        if (r.operation == operation && r.path == path) return r.error;
    }
    return ERROR_SUCCESS;
}

std::shared_ptr<Key> walk(std::shared_ptr<Key> key, const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        auto it = key->subkeys.find(name);
        if (it == key->subkeys.end()) return nullptr;
        key = it->second;
    }
    return key;
}

// Finds or makes the key; `created` tells whether any key had to be made.
std::shared_ptr<Key> walkCreating(std::shared_ptr<Key> key, const std::vector<std::string>& names,
                                  bool& created) {
    created = false;
    for (const std::string& name : names) {
        auto& slot = key->subkeys[name];
        if (!slot) {
            slot = std::make_shared<Key>();
            slot->path = key->path + "\\" + name;
            slot->parent = key;
            created = true;
        }
        key = slot;
    }
    return key;
}

HKEY openHandle(const std::shared_ptr<Key>& key, REGSAM desired) {
    auto open = std::make_shared<OpenKey>();
    open->key = key;
    open->access = grantedAccess(desired);
    return static_cast<HKEY>(insertHandle(std::move(open)));
}

std::string valueKey(LPCSTR valueName) {
    return valueName == nullptr ? std::string() : foldCase(valueName);
}

// A control-API path ("HKCU\Software\...") as root index and folded names; throws on an unknown root.
std::shared_ptr<Key> controlRoot(const std::string& path, std::vector<std::string>& names) {
    const size_t slash = path.find('\\');
    const std::string root = foldCase(path.substr(0, slash));
    for (size_t i = 0; i < kRootCount; ++i) {
        if (root == kRoots[i].name || root == kRoots[i].shortName) {
            splitPath(slash == std::string::npos ? "" : path.c_str() + slash + 1, names);
            return state().roots[i];
        }
    }
    throw std::invalid_argument("winsim registry: unknown root in \"" + path + "\"");
}

bool isString(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

}  // namespace
}  // namespace winsim::detail

using namespace winsim::detail;

namespace winsim {

void registrySetValue(const std::string& keyPath, const std::string& valueName, DWORD type,
                      const std::vector<uint8_t>& data) {
    Lock lock(bigLock());
    std::vector<std::string> names;
    auto root = controlRoot(keyPath, names);
    bool created = false;
    walkCreating(root, names, created)->values[foldCase(valueName)] = Value{type, data};
}

void registrySetString(const std::string& keyPath, const std::string& valueName, const std::string& text) {
    std::vector<uint8_t> data(text.begin(), text.end());
    data.push_back(0);
    registrySetValue(keyPath, valueName, REG_SZ, data);
}

RegistryValue registryGetValue(const std::string& keyPath, const std::string& valueName) {
    Lock lock(bigLock());
    std::vector<std::string> names;
    auto key = walk(controlRoot(keyPath, names), names);
    RegistryValue result;
    if (!key) return result;
    auto it = key->values.find(foldCase(valueName));
    if (it == key->values.end()) return result;
    result.exists = true;
    result.type = it->second.type;
    result.data = it->second.data;
    return result;
}

std::string registryGetString(const std::string& keyPath, const std::string& valueName) {
    const RegistryValue value = registryGetValue(keyPath, valueName);
    if (!value.exists || (value.type != REG_SZ && value.type != REG_EXPAND_SZ)) return {};
    const auto* text = reinterpret_cast<const char*>(value.data.data());
    return std::string(text, strnlen(text, value.data.size()));
}

bool registryKeyExists(const std::string& keyPath) {
    Lock lock(bigLock());
    std::vector<std::string> names;
    return walk(controlRoot(keyPath, names), names) != nullptr;
}

void registryRefuse(RegistryOperation operation, const std::string& keyPath, LONG error) {
    Lock lock(bigLock());
    std::vector<std::string> names;
    auto root = controlRoot(keyPath, names);
    state().refusals.push_back({operation, joinPath(root->path, names), error});
}

}  // namespace winsim

namespace {

// Where RegCreateKeyExA and RegOpenKeyExA start: the key behind the handle, what the handle may do, and the
// names below it.
struct KeyPath {
    std::shared_ptr<Key> parent;
    REGSAM access = 0;
    std::vector<std::string> names;
};

// Resolves the handle and splits the subkey path; answers the error of either, or the refusal a test set
// for `operation` on that key (bigLock held).
LONG locate(HKEY hKey, LPCSTR subKey, winsim::RegistryOperation operation, KeyPath& path) {
    if (const LONG error = resolve(hKey, path.parent, path.access); error != ERROR_SUCCESS) return error;
    if (const LONG error = splitPath(subKey, path.names); error != ERROR_SUCCESS) return error;
    return refusal(operation, joinPath(path.parent->path, path.names));
}

}  // namespace

extern "C" {

LSTATUS WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, LPSTR, DWORD, REGSAM samDesired,
                               const LPSECURITY_ATTRIBUTES, PHKEY phkResult, LPDWORD lpdwDisposition) {
    if (phkResult == nullptr) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    Lock lock(bigLock());
    KeyPath path;
    if (const LONG error = locate(hKey, lpSubKey, winsim::RegistryOperation::Create, path); error != 0)
        return error;
    auto& [parent, access, names] = path;
    // A key can be made only under a handle that grants KEY_CREATE_SUB_KEY.
    if (!walk(parent, names) && (access & KEY_CREATE_SUB_KEY) == 0) return ERROR_ACCESS_DENIED;
    bool created = false;
    auto key = walkCreating(parent, names, created);
    *phkResult = openHandle(key, samDesired);
    if (lpdwDisposition != nullptr)
        *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegCreateKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
    return RegCreateKeyExA(hKey, lpSubKey, 0, nullptr, REG_OPTION_NON_VOLATILE, MAXIMUM_ALLOWED, nullptr,
                           phkResult, nullptr);
}

LSTATUS WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult) {
    if (phkResult == nullptr) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    Lock lock(bigLock());
    KeyPath path;
    if (const LONG error = locate(hKey, lpSubKey, winsim::RegistryOperation::Open, path); error != 0)
        return error;
    auto& [parent, access, names] = path;
    auto key = walk(parent, names);
    if (!key) return ERROR_FILE_NOT_FOUND;
    *phkResult = openHandle(key, samDesired);
    return ERROR_SUCCESS;
}

// When the buffer is too small (ERROR_MORE_DATA) Windows leaves its content undefined; winsim fills it with
// as much of the value as fits, without a terminator, so a program that ignores the result reads a cut
// value and a sanitizer sees it read past the buffer if it takes that for a terminated string.
LSTATUS WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD, LPDWORD lpType, LPBYTE lpData,
                                LPDWORD lpcbData) {
    if (lpData != nullptr && lpcbData == nullptr) return ERROR_INVALID_PARAMETER;
    Lock lock(bigLock());
    std::shared_ptr<Key> key;
    REGSAM access = 0;
    if (const LONG error = resolve(hKey, key, access); error != ERROR_SUCCESS) return error;
    if ((access & KEY_QUERY_VALUE) == 0) return ERROR_ACCESS_DENIED;
    auto it = key->values.find(valueKey(lpValueName));
    if (it == key->values.end()) return ERROR_FILE_NOT_FOUND;
    const Value& value = it->second;
    const auto size = static_cast<DWORD>(value.data.size());
    if (lpType != nullptr) *lpType = value.type;
    if (lpData == nullptr) {
        if (lpcbData != nullptr) *lpcbData = size;
        return ERROR_SUCCESS;
    }
    const DWORD capacity = *lpcbData;
    *lpcbData = size;
    if (capacity < size) {
        if (capacity > 0) std::memcpy(lpData, value.data.data(), capacity);
        return ERROR_MORE_DATA;
    }
    if (size > 0) std::memcpy(lpData, value.data.data(), size);
    // As Windows does for strings: one stored without its terminator gets one when the buffer has room.
    if (isString(value.type) && capacity > size && (size == 0 || lpData[size - 1] != 0)) lpData[size] = 0;
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData,
                              DWORD cbData) {
    if (lpData == nullptr && cbData > 0) return ERROR_NOACCESS;
    Lock lock(bigLock());
    std::shared_ptr<Key> key;
    REGSAM access = 0;
    if (const LONG error = resolve(hKey, key, access); error != ERROR_SUCCESS) return error;
    if ((access & KEY_SET_VALUE) == 0) return ERROR_ACCESS_DENIED;
    if (const LONG error = refusal(winsim::RegistryOperation::SetValue, key->path); error != ERROR_SUCCESS)
        return error;
    // As Windows NT does, a string whose terminator the caller did not count gets it counted when it is
    // there: the byte just past the data is read for it.
    if (cbData > 0 && isString(dwType) && lpData[cbData - 1] != 0 && lpData[cbData] == 0) ++cbData;
    Value& value = key->values[valueKey(lpValueName)];
    value.type = dwType;
    value.data.assign(lpData, lpData + cbData);
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
    Lock lock(bigLock());
    std::shared_ptr<Key> key;
    REGSAM access = 0;
    if (const LONG error = resolve(hKey, key, access); error != ERROR_SUCCESS) return error;
    if ((access & KEY_SET_VALUE) == 0) return ERROR_ACCESS_DENIED;
    return key->values.erase(valueKey(lpValueName)) > 0 ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

// An empty subkey name deletes the key that hKey names. A key with subkeys cannot be deleted
// (ERROR_ACCESS_DENIED), nor can a root.
LSTATUS WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
    if (lpSubKey == nullptr) return ERROR_INVALID_PARAMETER;
    Lock lock(bigLock());
    std::shared_ptr<Key> base;
    REGSAM access = 0;
    if (const LONG error = resolve(hKey, base, access); error != ERROR_SUCCESS) return error;
    std::vector<std::string> names;
    if (const LONG error = splitPath(lpSubKey, names); error != ERROR_SUCCESS) return error;
    if (names.empty() && isRoot(hKey)) return ERROR_ACCESS_DENIED;
    auto key = walk(base, names);
    if (!key) return ERROR_FILE_NOT_FOUND;
    if (!key->subkeys.empty()) return ERROR_ACCESS_DENIED;
    auto parent = key->parent.lock();
    if (!parent) return ERROR_ACCESS_DENIED;
    std::erase_if(parent->subkeys, [&](const auto& entry) { return entry.second == key; });
    key->deleted = true;
    return ERROR_SUCCESS;
}

// Like Windows, which hands any handle but a root to the kernel's close: an open handle of another kind (an
// event, a thread) is closed as well.
LSTATUS WINAPI RegCloseKey(HKEY hKey) {
    if (isRoot(hKey)) return ERROR_SUCCESS;
    // Registry functions answer with their result, not through the last error.
    const DWORD lastError = GetLastError();
    const BOOL closed = CloseHandle(hKey);
    SetLastError(lastError);
    return closed ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

}  // extern "C"
