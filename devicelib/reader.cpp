#include "reader.h"

#include "library_state.h"
#include "reader_poll.h"

#include <memory>
#include <mutex>
#include <vector>

namespace vocetta {
namespace {

constexpr DWORD kStopWaitMs = 100;
// After a poll whose handset was gone or whose read could not even be issued, so that a handle that fails
// at once does not keep the reader spinning until the removal arrives.
constexpr DWORD kBrokenPauseMs = 10;

DWORD WINAPI ReaderMain(LPVOID parameter) {
    // The thread's own reference: the stop event outlives every handle the stopping side holds.
    std::shared_ptr<Reader> self(std::move(*static_cast<std::shared_ptr<Reader>*>(parameter)));
    delete static_cast<std::shared_ptr<Reader>*>(parameter);
    const ReaderEvents events{self->stopEvent.Get(), self->wakeEvent.Get()};
    // Every queued report is taken at once; the reader waits only inside its read, for a key callback to be
    // bound, or after a broken poll.
    for (;;) {
        ResetEvent(self->wakeEvent.Get());
        DWORD pause = 0;
        const PollResult result = PollOnce(events);
        if (result == PollResult::Unbound) pause = INFINITE;
        if (result == PollResult::Broken) pause = kBrokenPauseMs;
        const HANDLE waits[] = {self->stopEvent.Get(), self->wakeEvent.Get()};
        if (WaitForMultipleObjects(pause == 0 ? 1 : 2, waits, FALSE, pause) == WAIT_OBJECT_0) break;
    }
    return 0;
}

bool HasEnded(const Reader& reader) {
    return WaitForSingleObject(reader.thread.Get(), 0) == WAIT_OBJECT_0;
}

}  // namespace

bool StartReader() {
    ReaderThreads& state = Library().readers;
    std::lock_guard<std::mutex> lock(state.mutex);
    if (state.current) return true;
    auto reader = std::make_shared<Reader>();
    reader->stopEvent.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    reader->wakeEvent.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!reader->stopEvent || !reader->wakeEvent) return false;
    auto* parameter = new std::shared_ptr<Reader>(reader);
    reader->thread.Reset(CreateThread(nullptr, 0, ReaderMain, parameter, 0, &reader->threadId));
    if (!reader->thread) {
        delete parameter;
        return false;
    }
    state.current = std::move(reader);
    return true;
}

void StopReader() {
    ReaderThreads& state = Library().readers;
    std::shared_ptr<Reader> reader;
    {
        std::lock_guard<std::mutex> lock(state.mutex);
        reader = std::move(state.current);
    }
    if (reader) {
        SetEvent(reader->stopEvent.Get());
        if (reader->threadId != GetCurrentThreadId()) WaitForSingleObject(reader->thread.Get(), kStopWaitMs);
        if (!HasEnded(*reader)) {
            std::lock_guard<std::mutex> lock(state.mutex);
            state.stopping.push_back(std::move(reader));
        }
    }
    CloseHandset();
}

void WaitForStoppedReaders(DWORD boundMs) {
    ReaderThreads& state = Library().readers;
    std::vector<std::shared_ptr<Reader>> stopping;
    {
        std::lock_guard<std::mutex> lock(state.mutex);
        stopping.swap(state.stopping);
    }
    const DWORD start = GetTickCount();
    for (auto& reader : stopping) {
        if (reader->threadId == GetCurrentThreadId()) continue;
        for (;;) {
            const DWORD elapsed = GetTickCount() - start;
            if (HasEnded(*reader) || elapsed >= boundMs) break;
            const HANDLE thread = reader->thread.Get();
            if (MsgWaitForMultipleObjects(1, &thread, FALSE, boundMs - elapsed, QS_SENDMESSAGE) ==
                WAIT_OBJECT_0 + 1) {
                MSG msg;
                PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // serves the messages sent to this thread
            }
        }
    }
    std::lock_guard<std::mutex> lock(state.mutex);
    for (auto& reader : stopping) {
        if (!HasEnded(*reader)) state.stopping.push_back(std::move(reader));
    }
}

void WakeReader() {
    ReaderThreads& state = Library().readers;
    std::lock_guard<std::mutex> lock(state.mutex);
    if (state.current) SetEvent(state.current->wakeEvent.Get());
}

bool ReaderTakesReports() {
    ReaderThreads& state = Library().readers;
    std::lock_guard<std::mutex> lock(state.mutex);
    return state.current != nullptr && state.current->threadId != GetCurrentThreadId() && KeyCallbackBound();
}

}  // namespace vocetta
