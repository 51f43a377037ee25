// How many handles a process holds, as the system counts them.
#pragma once

#include <windows.h>

namespace winebench {

struct HandleCount {
    long count = -1;              // -1: the system could not say
    const char* source = "none";  // which call answered
};

// GetProcessHandleCount on `process` (opened with PROCESS_QUERY_INFORMATION). Wine 8.0 answers it with 0
// for every process, and its process list gives only the size its handle table has grown to; then the
// count is of the process's entries in the system's list of open handles (NtQuerySystemInformation),
// which Wine builds from the server's handle tables.
HandleCount CountHandles(HANDLE process, DWORD processId);

}  // namespace winebench
