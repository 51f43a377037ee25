#include "reader_poll.h"

#include "hid_io.h"
#include "library_state.h"
#include "reader.h"
#include "report_intake.h"
#include "report_protocol.h"

#include <array>

namespace vocetta {
namespace {

struct PollStep {
    int code = KEY_NONE;
    ReadOutcome outcome = ReadOutcome::Nothing;
};

// The code of this poll: a pending hook change first, else the key of one input report. While the repeat
// filter is re-armed the read waits for as long as it takes; while it holds a key, at most the read time-out,
// whose passing without a report re-arms it.
PollStep NextCode(const std::weak_ptr<Handset>& weakHandset, const ReaderEvents& events) {
    HandsetDevice& device = Library().device;
    KeyState& keys = Library().keys;
    int previousHook = keys.previousHook;
    const int hookCode = TakeHookChange(device.hookStatus, previousHook);
    if (hookCode != KEY_NONE) {
        keys.previousHook = previousHook;
        return {hookCode, ReadOutcome::Report};
    }
    std::array<uint8_t, kInputReportSize> report{};
    {
        const auto handset = weakHandset.lock();
        if (!handset) return {KEY_NONE, ReadOutcome::Broken};
        IntakeHold intake(*handset, events.wake);
        if (!TakeKeyReport(*handset, report)) {
            const DWORD timeout = keys.lastReported == KEY_NONE ? INFINITE : kReadTimeoutMs;
            const ReadOutcome outcome =
                ReadInputReport(*handset->connection, {events.stop, events.wake}, timeout, report);
            if (outcome != ReadOutcome::Report) return {KEY_NONE, outcome};
            // Routed before the intake is let go, so no window opened later can take an answer read here. The
            // answer of an EEPROM read says nothing about the keys, so it leaves the repeat filter alone (a
            // held key stays one press); any other report that is no key report is a poll without a key.
            switch (RouteReport(*handset, report)) {
                case Routed::Key: TakeKeyReport(*handset, report); break;
                case Routed::Answer: return {KEY_NONE, ReadOutcome::GivenUp};
                case Routed::Dropped: return {};
            }
        }
    }
    PollStep step{KEY_NONE, ReadOutcome::Report};
    int hookStatus = 0;
    if (DecodeKeyReport(report, step.code, hookStatus)) device.hookStatus = hookStatus;
    return step;
}

}  // namespace

void SetKeyCallback(KeyEventCallback callback) {
    Library().keys.callback = callback;
    WakeReader();
}
bool KeyCallbackBound() {
    return Library().keys.callback.load() != nullptr;
}

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

}  // namespace vocetta
