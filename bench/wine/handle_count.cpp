#include "handle_count.h"

#include <winternl.h>

#include <cstddef>
#include <vector>

namespace winebench {
namespace {

// The system's list of open handles (information class 16); the SDK headers leave it out.
constexpr ULONG kSystemHandleInformation = 16;
constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);

struct SystemHandleEntry {
    ULONG ownerPid;
    BYTE objectType;
    BYTE flags;
    USHORT handle;
    PVOID object;
    ULONG access;
};

struct SystemHandleList {
    ULONG count;
    SystemHandleEntry entries[1];
};

long FromHandleList(DWORD processId) {
    using QueryFn = NTSTATUS(NTAPI*)(ULONG, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<QueryFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (query == nullptr) return -1;
    std::vector<unsigned char> buffer(1 << 20);
    NTSTATUS status;
    ULONG needed = 0;
    while ((status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
                           &needed)) == kInfoLengthMismatch &&
           buffer.size() < (64u << 20)) {
        buffer.resize(buffer.size() * 2);
    }
    if (status < 0) return -1;
    const auto* list = reinterpret_cast<const SystemHandleList*>(buffer.data());
    const size_t room = (buffer.size() - offsetof(SystemHandleList, entries)) / sizeof(SystemHandleEntry);
    long count = 0;
    for (size_t i = 0; i < list->count && i < room; ++i) {
        if (list->entries[i].ownerPid == processId) ++count;
    }
    return count;
}

}  // namespace

HandleCount CountHandles(HANDLE process, DWORD processId) {
    DWORD count = 0;
    if (GetProcessHandleCount(process, &count) && count > 0) {
        return {static_cast<long>(count), "GetProcessHandleCount"};
    }
    const long listed = FromHandleList(processId);
    if (listed > 0) return {listed, "the system's handle list (GetProcessHandleCount answered 0)"};
    return {};
}

}  // namespace winebench
