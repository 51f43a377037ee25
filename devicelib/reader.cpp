#include "reader.h"

#include "hid_io.h"
#include "report_intake.h"
#include "report_protocol.h"

#include <array>
#include <memory>
#include <mutex>
#include <vector>

namespace vocetta {
namespace {

constexpr DWORD kStopWaitMs = 100;
// After a poll whose handset was gone or whose read could not even be issued, so that a handle that fails
// at once does not keep the reader spinning until the removal arrives.
constexpr DWORD kBrokenPauseMs = 10;

// The reader's own events: `stop` ends it, `wake` makes it look again (a key callback bound, an EEPROM
// exchange asking for the input reports).
struct ReaderEvents {
    HANDLE stop = nullptr;
    HANDLE wake = nullptr;
};

enum class PollResult {
    Done,     // a code was taken (or none came in time) and went through the repeat filter
    GaveUp,   // nothing for the keys: the wait was cut short (the reader's events, the handset closing), or
              // the report answered an EEPROM exchange; the repeat filter is as it was
    Broken,   // the handset's read handle no longer works: the reader should pause before it polls again
    Unbound,  // no key callback: nothing was read
};

struct PollStep {
    int code = KEY_NONE;
    ReadOutcome outcome = ReadOutcome::Nothing;
};

// The next key or hook report of the handset: the oldest one an EEPROM read kept, else one read now. While
// the repeat filter is re-armed the read waits for as long as it takes; while it holds a key, at most the
// read time-out. A report that is no key report is a poll without a report (Nothing); an EEPROM answer, which
// says nothing about the keys, leaves the repeat filter alone (GivenUp: a held key stays one press).
ReadOutcome NextKeyReport(const std::weak_ptr<Handset>& weakHandset, const ReaderEvents& events,
                          std::array<uint8_t, kInputReportSize>& report) {
    const auto handset = weakHandset.lock();
    if (!handset) return ReadOutcome::Broken;
    IntakeHold intake(*handset, events.wake);
    if (TakeKeyReport(*handset, report)) return ReadOutcome::Report;
    const DWORD timeout = Library().keys.lastReported == KEY_NONE ? INFINITE : kReadTimeoutMs;
    const ReadOutcome outcome =
        ReadInputReport(*handset->connection, {events.stop, events.wake}, timeout, report);
    if (outcome != ReadOutcome::Report) return outcome;
    // Routed before the intake is let go, so no window opened later can take an answer read here.
    switch (RouteReport(*handset, report)) {
        case Routed::Key: TakeKeyReport(*handset, report); return ReadOutcome::Report;
        case Routed::Answer: return ReadOutcome::GivenUp;
        case Routed::Dropped: break;
    }
    return ReadOutcome::Nothing;
}

// The code of this poll: a pending hook change first, else the key of the next key report; KEY_NONE when no
// key report came in time, which re-arms the repeat filter.
PollStep NextCode(const std::weak_ptr<Handset>& handset, const ReaderEvents& events) {
    HandsetDevice& device = Library().device;
    KeyState& keys = Library().keys;
    int previousHook = keys.previousHook;
    const int hookCode = TakeHookChange(device.hookStatus, previousHook);
    if (hookCode != KEY_NONE) {
        keys.previousHook = previousHook;
        return {hookCode, ReadOutcome::Report};
    }
    std::array<uint8_t, kInputReportSize> report{};
    const ReadOutcome outcome = NextKeyReport(handset, events, report);
    if (outcome != ReadOutcome::Report) return {KEY_NONE, outcome};
    PollStep step{KEY_NONE, ReadOutcome::Report};
    int hookStatus = 0;
    if (DecodeKeyReport(report, step.code, hookStatus)) device.hookStatus = hookStatus;
    return step;
}

// A pending hook change, else the oldest key report an EEPROM read kept, else one input report of the
// handset, through the repeat filter to the key callback. Reads nothing while no key callback is bound. The
// handset is held while its report is taken, never while the key callback runs; a handset already let go
// is a broken poll.
PollResult PollOnce(const std::weak_ptr<Handset>& handset, const ReaderEvents& events) {
    KeyState& keys = Library().keys;
    if (keys.callback.load() == nullptr) return PollResult::Unbound;
    const PollStep step = NextCode(handset, events);
    // A wait cut short, or an exchange's answer, took nothing for the keys: the repeat filter stays as it
    // was.
    if (step.outcome == ReadOutcome::GivenUp) return PollResult::GaveUp;
    int lastReported = keys.lastReported;
    const bool delivered = PassesRepeatFilter(step.code, lastReported);
    keys.lastReported = lastReported;
    // A reader told to stop (the handset was pulled out, or the library is closing) delivers nothing more.
    // The key goes to the callback bound now, which a Bind during the wait may have replaced.
    const KeyEventCallback callback = keys.callback;
    if (delivered && callback != nullptr && WaitForSingleObject(events.stop, 0) != WAIT_OBJECT_0)
        callback(step.code);
    return step.outcome == ReadOutcome::Broken ? PollResult::Broken : PollResult::Done;
}

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

bool KeyCallbackBound() {
    return Library().keys.callback.load() != nullptr;
}

bool HasEnded(const Reader& reader) {
    return WaitForSingleObject(reader.thread.Get(), 0) == WAIT_OBJECT_0;
}

}  // namespace

void SetKeyCallback(KeyEventCallback callback) {
    Library().keys.callback = callback;
    const auto handset = Library().device.OpenHandset();
    if (handset && handset->reader) SetEvent(handset->reader->wakeEvent.Get());
}

void StartReader(const std::shared_ptr<Handset>& handset) {
    auto reader = std::make_shared<Reader>();
    reader->stopEvent.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    reader->wakeEvent.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!reader->stopEvent || !reader->wakeEvent) return;
    auto* start = new ReaderStart{reader, handset};
    reader->thread.Reset(CreateThread(nullptr, 0, ReaderMain, start, 0, &reader->threadId));
    if (!reader->thread) {
        delete start;
        return;
    }
    handset->reader = std::move(reader);
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

bool ReaderTakesReports(const Handset& handset) {
    return handset.reader != nullptr && handset.reader->threadId != GetCurrentThreadId() &&
           KeyCallbackBound();
}

}  // namespace vocetta
