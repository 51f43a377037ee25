#include "reader.h"

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

// What the reader thread is given: its own record, and its handset, which it holds only while it reads, so
// that a handset closed while the key callback runs lets go of its handles at once.
struct ReaderStart {
    std::shared_ptr<Reader> reader;
    std::weak_ptr<Handset> handset;
};

DWORD WINAPI ReaderMain(LPVOID parameter) {
    // The thread's own reference: the reader's events outlive every handle the stopping side holds.
    const std::unique_ptr<ReaderStart> start(static_cast<ReaderStart*>(parameter));
    const Reader& self = *start->reader;
    const ReaderEvents events{self.stopEvent.Get(), self.wakeEvent.Get()};
    // Every queued report is taken at once; the reader waits only inside its read, for a key callback to be
    // bound, or after a broken poll.
    for (;;) {
        ResetEvent(self.wakeEvent.Get());
        DWORD pause = 0;
        const PollResult result = PollOnce(start->handset, events);
        if (result == PollResult::Unbound) pause = INFINITE;
        if (result == PollResult::Broken) pause = kBrokenPauseMs;
        const HANDLE waits[] = {self.stopEvent.Get(), self.wakeEvent.Get()};
        if (WaitForMultipleObjects(pause == 0 ? 1 : 2, waits, FALSE, pause) == WAIT_OBJECT_0) break;
    }
    return 0;
}

bool HasEnded(const Reader& reader) {
    return WaitForSingleObject(reader.thread.Get(), 0) == WAIT_OBJECT_0;
}

}  // namespace

bool StartReader(const std::shared_ptr<Handset>& handset) {
    auto reader = std::make_shared<Reader>();
    reader->stopEvent.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    reader->wakeEvent.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!reader->stopEvent || !reader->wakeEvent) return false;
    auto* start = new ReaderStart{reader, handset};
    reader->thread.Reset(CreateThread(nullptr, 0, ReaderMain, start, 0, &reader->threadId));
    if (!reader->thread) {
        delete start;
        return false;
    }
    handset->reader = std::move(reader);
    return true;
}

void StopReader(const std::shared_ptr<Reader>& reader) {
    SetEvent(reader->stopEvent.Get());
    if (reader->threadId != GetCurrentThreadId()) WaitForSingleObject(reader->thread.Get(), kStopWaitMs);
    if (HasEnded(*reader)) return;
    EndingReaders& ending = Library().ending;
    std::lock_guard<std::mutex> lock(ending.mutex);
    ending.readers.push_back(reader);
}

void WaitForStoppedReaders(DWORD boundMs) {
    EndingReaders& ending = Library().ending;
    std::vector<std::shared_ptr<Reader>> stopping;
    {
        std::lock_guard<std::mutex> lock(ending.mutex);
        stopping.swap(ending.readers);
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
    std::lock_guard<std::mutex> lock(ending.mutex);
    for (auto& reader : stopping) {
        if (!HasEnded(*reader)) ending.readers.push_back(std::move(reader));
    }
}

void WakeReader() {
    const auto handset = Library().device.OpenHandset();
    if (handset && handset->reader) SetEvent(handset->reader->wakeEvent.Get());
}

bool ReaderTakesReports(const Handset& handset) {
    return handset.reader != nullptr && handset.reader->threadId != GetCurrentThreadId() &&
           KeyCallbackBound();
}

}  // namespace vocetta
