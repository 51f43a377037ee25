// Kernel objects: the handle table, events, threads, waits, last error, platform version.
#include "internal.h"

#include <winsim/control.h>

#include <atomic>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <unordered_map>

namespace winsim::detail {
namespace {

struct Thread final : KernelObject {
    bool exited = false;
    DWORD exitCode = STILL_ACTIVE;
    bool isSignaled() const override { return exited; }
    bool isWaitable() const override { return true; }
};

struct KernelState {
    std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>> handles;
    uintptr_t nextHandle = 0x100;
    std::map<std::string, std::weak_ptr<Event>> namedEvents;
    bool ntPlatform = true;
};

KernelState& state() {
    static KernelState s;
    return s;
}

std::vector<std::function<void()>>& resetHooks() {
    static std::vector<std::function<void()>> hooks;
    return hooks;
}

std::atomic<DWORD> nextThreadId{0x100};
constexpr DWORD kMainProcessId = 1000;

struct ThreadIdentity {
    DWORD threadId = nextThreadId.fetch_add(4);
    DWORD processId = kMainProcessId;
    DWORD lastError = 0;
};
thread_local ThreadIdentity identity;

ResetHook kernelReset([] {
    state().handles.clear();
    state().namedEvents.clear();
    state().ntPlatform = true;
});

}  // namespace

std::mutex& bigLock() {
    static std::mutex m;
    return m;
}

HANDLE insertHandle(std::shared_ptr<KernelObject> object) {
    KernelState& s = state();
    uintptr_t value = s.nextHandle;
    s.nextHandle += 4;
    s.handles.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> lookupHandle(HANDLE handle) {
    auto it = state().handles.find(reinterpret_cast<uintptr_t>(handle));
    return it == state().handles.end() ? nullptr : it->second;
}

void signalEvent(Event& event) {
    event.signaled = true;
    event.waiters.notify_all();
}

namespace {

// Takes the signal of the objects when the wait on them is satisfied now: WAIT_OBJECT_0 + index, or
// WAIT_TIMEOUT when it is not.
DWORD takeSignal(const std::vector<std::shared_ptr<KernelObject>>& objects, bool waitAll) {
    if (waitAll) {
        bool all = !objects.empty();
        for (const auto& o : objects) all = all && o->isSignaled();
        if (!all) return WAIT_TIMEOUT;
        for (const auto& o : objects) o->consumeSignal();
        return WAIT_OBJECT_0;
    }
    for (size_t i = 0; i < objects.size(); ++i) {
        if (objects[i]->isSignaled()) {
            objects[i]->consumeSignal();
            return WAIT_OBJECT_0 + static_cast<DWORD>(i);
        }
    }
    return WAIT_TIMEOUT;
}

}  // namespace

DWORD waitLocked(Lock& lock, const std::vector<std::shared_ptr<KernelObject>>& objects, bool waitAll,
                 DWORD milliseconds, const std::function<bool()>& wake) {
    const auto deadline = deadlineAfter(milliseconds);
    // Only a wait that looks at more than its objects listens to the changes of the whole system.
    Listening listening(objects, wake ? &stateChanged() : nullptr);
    bool counted = false;
    for (;;) {
        if (const DWORD r = takeSignal(objects, waitAll); r != WAIT_TIMEOUT) return r;
        if (wake && wake()) return WAIT_OBJECT_0 + static_cast<DWORD>(objects.size());
        if (milliseconds == 0) return WAIT_TIMEOUT;  // a look, not a wait: the thread never sleeps
        if (milliseconds != INFINITE && !counted) {
            countTimedWait();
            counted = true;
        }
        if (waitListening(lock, deadline) == std::cv_status::timeout) {
            // One last look: the state may have changed right at the deadline.
            if (const DWORD r = takeSignal(objects, waitAll); r != WAIT_TIMEOUT) return r;
            if (wake && wake()) return WAIT_OBJECT_0 + static_cast<DWORD>(objects.size());
            return WAIT_TIMEOUT;
        }
    }
}

DWORD currentThreadId() {
    return identity.threadId;
}
DWORD currentProcessId() {
    return identity.processId;
}
void setCurrentProcessId(DWORD processId) {
    identity.processId = processId;
}

void addResetHook(std::function<void()> hook) {
    resetHooks().push_back(std::move(hook));
}

}  // namespace winsim::detail

using namespace winsim::detail;

namespace winsim {

void reset() {
    Lock lock(bigLock());
    for (auto& hook : resetHooks()) hook();
    stateChanged().notify_all();
}

void setNtPlatform(bool nt) {
    Lock lock(bigLock());
    state().ntPlatform = nt;
}

size_t openHandleCount() {
    Lock lock(bigLock());
    return state().handles.size();
}

void setCurrentProcessId(DWORD processId) {
    detail::setCurrentProcessId(processId);
}

}  // namespace winsim

extern "C" {

DWORD WINAPI GetLastError(void) {
    return identity.lastError;
}
void WINAPI SetLastError(DWORD dwErrCode) {
    identity.lastError = dwErrCode;
}

DWORD WINAPI GetCurrentThreadId(void) {
    return currentThreadId();
}
DWORD WINAPI GetCurrentProcessId(void) {
    return currentProcessId();
}

DWORD WINAPI GetTickCount(void) {
    using namespace std::chrono;
    return static_cast<DWORD>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

BOOL WINAPI CloseHandle(HANDLE hObject) {
    std::shared_ptr<KernelObject> object;  // released after the lock, so destructors may lock again
    Lock lock(bigLock());
    auto it = state().handles.find(reinterpret_cast<uintptr_t>(hObject));
    if (it == state().handles.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    object = std::move(it->second);
    state().handles.erase(it);
    bool lastHandle = true;
    for (const auto& [value, other] : state().handles) lastHandle = lastHandle && other != object;
    if (lastHandle) object->onHandleClosed();
    lock.unlock();
    return TRUE;
}

HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState, LPCSTR lpName) {
    Lock lock(bigLock());
    if (lpName != nullptr && *lpName != '\0') {
        auto& named = state().namedEvents;
        auto it = named.find(lpName);
        if (it != named.end()) {
            if (auto existing = it->second.lock()) {
                SetLastError(ERROR_ALREADY_EXISTS);
                return insertHandle(existing);
            }
        }
    }
    auto event = std::make_shared<Event>();
    event->manualReset = bManualReset != FALSE;
    event->signaled = bInitialState != FALSE;
    if (lpName != nullptr && *lpName != '\0') state().namedEvents[lpName] = event;
    SetLastError(ERROR_SUCCESS);
    return insertHandle(std::move(event));
}

static BOOL changeEvent(HANDLE hEvent, bool signaled) {
    Lock lock(bigLock());
    auto event = lookupHandleAs<Event>(hEvent);
    if (!event) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (signaled) {
        signalEvent(*event);
    } else {
        event->signaled = false;
    }
    return TRUE;
}

BOOL WINAPI SetEvent(HANDLE hEvent) {
    return changeEvent(hEvent, true);
}
BOOL WINAPI ResetEvent(HANDLE hEvent) {
    return changeEvent(hEvent, false);
}

DWORD WINAPI WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll,
                                    DWORD dwMilliseconds) {
    if (nCount == 0 || nCount > MAXIMUM_WAIT_OBJECTS || lpHandles == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    Lock lock(bigLock());
    std::vector<std::shared_ptr<KernelObject>> objects;
    for (DWORD i = 0; i < nCount; ++i) {
        auto object = lookupHandle(lpHandles[i]);
        if (!object || !object->isWaitable()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        objects.push_back(std::move(object));
    }
    return waitLocked(lock, objects, bWaitAll != FALSE, dwMilliseconds, nullptr);
}

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    return WaitForMultipleObjects(1, &hHandle, FALSE, dwMilliseconds);
}

void WINAPI Sleep(DWORD dwMilliseconds) {
    if (dwMilliseconds == 0) {
        std::this_thread::yield();
        return;
    }
    countTimedWait();
    std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds));
    countWakeup();
}

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE lpStartAddress,
                           LPVOID lpParameter, DWORD dwCreationFlags, LPDWORD lpThreadId) {
    if (lpStartAddress == nullptr || dwCreationFlags != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto thread = std::make_shared<Thread>();
    const DWORD processId = currentProcessId();
    const DWORD threadId = nextThreadId.fetch_add(4);
    HANDLE handle;
    {
        Lock lock(bigLock());
        handle = insertHandle(thread);
    }
    std::thread([thread, processId, threadId, lpStartAddress, lpParameter] {
        identity.threadId = threadId;
        identity.processId = processId;
        const DWORD code = lpStartAddress(lpParameter);
        Lock lock(bigLock());
        thread->exitCode = code;
        thread->exited = true;
        thread->waiters.notify_all();
    }).detach();
    if (lpThreadId != nullptr) *lpThreadId = threadId;
    return handle;
}

BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode) {
    Lock lock(bigLock());
    auto thread = lookupHandleAs<Thread>(hThread);
    if (!thread || lpExitCode == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *lpExitCode = thread->exitCode;
    return TRUE;
}

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info) {
    if (info == nullptr || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    bool nt;
    {
        Lock lock(bigLock());
        nt = state().ntPlatform;
    }
    // Windows XP SP2 or Windows 98 SE.
    info->dwMajorVersion = nt ? 5 : 4;
    info->dwMinorVersion = nt ? 1 : 10;
    info->dwBuildNumber = nt ? 2600 : 0x040A08AE;
    info->dwPlatformId = nt ? VER_PLATFORM_WIN32_NT : VER_PLATFORM_WIN32_WINDOWS;
    std::memset(info->szCSDVersion, 0, sizeof(info->szCSDVersion));
    std::strcpy(info->szCSDVersion, nt ? "Service Pack 2" : " A ");
    return TRUE;
}

}  // extern "C"
