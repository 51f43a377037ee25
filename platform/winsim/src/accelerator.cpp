// Accelerator tables: loaded from RT_ACCELERATOR resources or made from ACCEL arrays, and
// TranslateAcceleratorA, which turns a key or character message that matches an entry into WM_COMMAND.
// Table handles are numbers in a table, never pointers.
#include "internal.h"
#include "resource_reader.h"

#include <winsim/control.h>

#include <algorithm>
#include <map>

namespace winsim::detail {
namespace {

constexpr WORD kLastEntry = 0x80;  // in a resource's entry flags

struct AcceleratorState {
    std::map<uintptr_t, std::vector<ACCEL>> tables;  // by handle value
    std::map<const void*, HACCEL> loaded;            // a resource loaded again gives the same table
};

AcceleratorState& state() {
    static AcceleratorState& s = *new AcceleratorState;
    return s;
}

// Never reused, not even across reset.
uintptr_t nextTableValue = 0x00E00010;

ResetHook acceleratorReset([] { state() = AcceleratorState{}; });

HACCEL addTable(std::vector<ACCEL> entries) {
    const auto handle = reinterpret_cast<HACCEL>(nextTableValue);
    nextTableValue += 0x10;
    state().tables[reinterpret_cast<uintptr_t>(handle)] = std::move(entries);
    return handle;
}

const std::vector<ACCEL>* findTable(HACCEL handle) {
    auto it = state().tables.find(reinterpret_cast<uintptr_t>(handle));
    return it == state().tables.end() ? nullptr : &it->second;
}

// An RT_ACCELERATOR resource: 8-byte entries (WORD flags, WORD key, WORD command, WORD padding); the
// last one carries 0x80 in its flags.
std::vector<ACCEL> parseResource(const uint8_t* data, size_t size) {
    std::vector<ACCEL> entries;
    ResourceReader r(data, size);
    while (r.remaining() >= 8) {
        const WORD flags = r.word();
        ACCEL a{};
        a.fVirt = static_cast<BYTE>(flags & 0x7F);
        a.key = r.word();
        a.cmd = r.word();
        r.word();
        entries.push_back(a);
        if ((flags & kLastEntry) != 0) break;
    }
    return entries;
}

// Whether the entry answers the message. Character entries match WM_CHAR and WM_SYSCHAR with the same
// character and the same Alt state; virtual-key entries match WM_KEYDOWN and WM_SYSKEYDOWN with the same key
// and modifiers. A character entry with Alt also answers the key of the same code pressed with Alt (not an
// extended key), as Windows does.
bool matches(const ACCEL& entry, const MSG& msg) {
    if (msg.wParam != entry.key) return false;
    const WORD keyFlags = HIWORD(msg.lParam);
    const bool altDown = (keyFlags & KF_ALTDOWN) != 0;
    const bool wantsAlt = (entry.fVirt & FALT) != 0;
    const bool virtualKey = (entry.fVirt & FVIRTKEY) != 0;
    switch (msg.message) {
        case WM_CHAR:
        case WM_SYSCHAR: return !virtualKey && wantsAlt == altDown;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            if (virtualKey) return (entry.fVirt & (FSHIFT | FCONTROL)) == 0 && wantsAlt == altDown;
            return wantsAlt && altDown && (keyFlags & KF_EXTENDED) == 0;
        default: return false;
    }
}

}  // namespace
}  // namespace winsim::detail

using namespace winsim::detail;

extern "C" {

HACCEL WINAPI LoadAcceleratorsA(HINSTANCE hInstance, LPCSTR lpTableName) {
    HRSRC resource = FindResourceA(hInstance, lpTableName, RT_ACCELERATOR);
    if (resource == nullptr) return nullptr;
    const void* data = LockResource(LoadResource(hInstance, resource));
    const DWORD size = SizeofResource(hInstance, resource);
    Lock lock(bigLock());
    auto it = state().loaded.find(data);
    if (it != state().loaded.end()) return it->second;
    HACCEL table = addTable(parseResource(static_cast<const uint8_t*>(data), size));
    state().loaded[data] = table;
    return table;
}

HACCEL WINAPI CreateAcceleratorTableA(LPACCEL paccel, int cAccel) {
    if (paccel == nullptr || cAccel <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::vector<ACCEL> entries(paccel, paccel + cAccel);
    for (ACCEL& a : entries) a.fVirt &= 0x7F;
    Lock lock(bigLock());
    return addTable(std::move(entries));
}

BOOL WINAPI DestroyAcceleratorTable(HACCEL hAccel) {
    Lock lock(bigLock());
    if (state().tables.erase(reinterpret_cast<uintptr_t>(hAccel)) == 0) {
        SetLastError(ERROR_INVALID_ACCEL_HANDLE);
        return FALSE;
    }
    std::erase_if(state().loaded, [hAccel](const auto& loaded) { return loaded.second == hAccel; });
    return TRUE;
}

int WINAPI CopyAcceleratorTableA(HACCEL hAccelSrc, LPACCEL lpAccelDst, int cAccelEntries) {
    Lock lock(bigLock());
    const std::vector<ACCEL>* table = findTable(hAccelSrc);
    if (table == nullptr) {
        SetLastError(ERROR_INVALID_ACCEL_HANDLE);
        return 0;
    }
    if (lpAccelDst == nullptr) return static_cast<int>(table->size());
    const size_t n = std::min(table->size(), static_cast<size_t>(std::max(cAccelEntries, 0)));
    std::copy_n(table->begin(), n, lpAccelDst);
    return static_cast<int>(n);
}

int WINAPI TranslateAcceleratorA(HWND hWnd, HACCEL hAccTable, LPMSG lpMsg) {
    if (lpMsg == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const UINT m = lpMsg->message;
    if (m != WM_KEYDOWN && m != WM_SYSKEYDOWN && m != WM_CHAR && m != WM_SYSCHAR) return 0;
    std::vector<ACCEL> entries;
    {
        Lock lock(bigLock());
        const std::vector<ACCEL>* table = findTable(hAccTable);
        if (table == nullptr) {
            SetLastError(ERROR_INVALID_ACCEL_HANDLE);
            return 0;
        }
        entries = *table;
    }
    if (!IsWindow(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    for (const ACCEL& entry : entries) {
        if (!matches(entry, *lpMsg)) continue;
        // The high word 1 tells the window that the command came from an accelerator.
        SendMessageA(hWnd, WM_COMMAND, MAKEWPARAM(entry.cmd, 1), 0);
        return 1;
    }
    return 0;
}

}  // extern "C"
