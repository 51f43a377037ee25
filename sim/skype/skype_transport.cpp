// The Skype stand-in's side of the desktop API's transport: the attach handshake, commands received as
// WM_COPYDATA, and texts sent to the clients as WM_COPYDATA. Everything here runs on the stand-in's thread.
#include "skype/skype_core.h"

#include <algorithm>

namespace sim {
namespace {

DWORD milliseconds(std::chrono::milliseconds duration) {
    return static_cast<DWORD>(duration.count());
}

bool isAttached(const SkypeCore& core, HWND client) {
    return std::find(core.attached.begin(), core.attached.end(), client) != core.attached.end();
}

std::string commandText(const COPYDATASTRUCT* data) {
    if (data == nullptr || data->lpData == nullptr) return {};
    const char* bytes = static_cast<const char*>(data->lpData);
    return std::string(bytes, std::find(bytes, bytes + data->cbData, '\0'));
}

// One text to one client, bounded: a client that is hung or slow loses the text, as with the real client.
// Its number is taken as the send begins; its record is complete when the send has returned.
void deliver(SkypeCore& core, HWND target, std::string text) {
    uint64_t sequence;
    {
        std::lock_guard<std::mutex> lock(core.mutex);
        sequence = core.records.size();
        core.records.emplace_back();
    }
    COPYDATASTRUCT data{};
    data.dwData = 0;
    data.cbData = static_cast<DWORD>(text.size() + 1);
    data.lpData = text.data();
    DWORD_PTR result = 0;
    const bool delivered = SendMessageTimeoutA(target, WM_COPYDATA, reinterpret_cast<WPARAM>(core.apiWindow),
                                               reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG,
                                               milliseconds(core.config.sendTimeout), &result) != 0;
    const DWORD error = delivered ? ERROR_SUCCESS : GetLastError();
    std::lock_guard<std::mutex> lock(core.mutex);
    core.notifications.push_back({sequence, target, std::move(text), delivered});
    SkypeRecord record;
    record.notification = core.notifications.back();
    core.records[static_cast<size_t>(sequence)] = std::move(record);
    // A client whose window is gone has detached.
    if (error == ERROR_INVALID_WINDOW_HANDLE) std::erase(core.attached, target);
}

// An outgoing call rings at the far end after the routing delay, and is answered there after the far end's
// delay when one is configured and the call was placed through a command.
void progressPlacedCall(SkypeCore& core, int callId, bool answersItself) {
    CallModel::Texts events;
    bool rings;
    {
        std::lock_guard<std::mutex> lock(core.mutex);
        rings = core.state.calls.farEndRings(callId, events);
    }
    queueEvents(core, events);
    if (!rings || !answersItself || !core.config.farEndAnswerDelay) return;
    schedule(core, *core.config.farEndAnswerDelay, [&core, callId] {
        CallModel::Texts answered;
        {
            std::lock_guard<std::mutex> lock(core.mutex);
            core.state.calls.farEndAnswers(callId, answered);
        }
        queueEvents(core, answered);
    });
}

void scheduleProgress(SkypeCore& core, int callId, bool answersItself) {
    schedule(core, core.config.routingDelay,
             [&core, callId, answersItself] { progressPlacedCall(core, callId, answersItself); });
}

void carryOut(SkypeCore& core, HWND sender, const CommandOutcome& outcome) {
    if (outcome.bringToFront) bringSkypeMainWindowToFront(core);
    if (!outcome.typed.empty()) typeIntoEditField(core, outcome.typed);
    for (int callId : outcome.placedCalls) scheduleProgress(core, callId, true);
    for (const SkypeText& text : outcome.texts) {
        core.outbox.push_back({text.toEveryClient ? nullptr : sender, text.text});
    }
}

}  // namespace

int placeCallFromMainWindow(SkypeCore& core, const std::string& target) {
    CallModel::Texts events;
    int callId;
    {
        std::lock_guard<std::mutex> lock(core.mutex);
        callId = core.state.calls.addOutgoing(target, events);
    }
    queueEvents(core, events);
    scheduleProgress(core, callId, false);
    return callId;
}

void announceApiAvailable(SkypeCore& core) {
    SendMessageTimeoutA(HWND_BROADCAST, core.msgAttach, reinterpret_cast<WPARAM>(core.apiWindow),
                        kApiAvailable, SMTO_ABORTIFHUNG, milliseconds(core.config.sendTimeout), nullptr);
}

void onDiscover(SkypeCore& core, HWND client) {
    {
        std::lock_guard<std::mutex> lock(core.mutex);
        core.discoveries.push_back(client);
    }
    const LPARAM status = core.config.attachStatus;
    schedule(core, core.config.attachDelay, [&core, client, status] { answerAttach(core, client, status); });
}

void answerAttach(SkypeCore& core, HWND client, LPARAM status) {
    if (!IsWindow(client)) return;
    if (status == 0) {
        // Attached before the answer goes out: a client may send its first command as soon as it has it.
        std::lock_guard<std::mutex> lock(core.mutex);
        if (!isAttached(core, client)) core.attached.push_back(client);
    }
    const WPARAM apiWindow = reinterpret_cast<WPARAM>(core.apiWindow);
    if (core.config.attachByPost) {
        PostMessageA(client, core.msgAttach, apiWindow, status);
    } else {
        DWORD_PTR result = 0;
        SendMessageTimeoutA(client, core.msgAttach, apiWindow, status, SMTO_ABORTIFHUNG,
                            milliseconds(core.config.sendTimeout), &result);
    }
}

void receiveCommand(SkypeCore& core, HWND sender, const COPYDATASTRUCT* data) {
    SkypeCommand command;
    command.receivedAt = SteadyClock::now();
    command.sender = sender;
    command.text = commandText(data);
    if (data != nullptr) {
        command.byteCount = data->cbData;
        command.terminated = data->lpData != nullptr && command.text.size() < data->cbData;
    }
    CommandOutcome outcome;
    {
        std::lock_guard<std::mutex> lock(core.mutex);
        command.fromAttachedClient = isAttached(core, sender);
        command.sequence = core.records.size();
        core.commands.push_back(command);
        SkypeRecord record;
        record.isCommand = true;
        record.command = command;
        core.records.emplace_back(std::move(record));
        if (!command.fromAttachedClient) return;
        outcome = executeCommand(command.text, core.state);
    }
    carryOut(core, sender, outcome);
    sendQueuedTexts(core);
}

void queueEvents(SkypeCore& core, const CallModel::Texts& events) {
    for (const std::string& text : events) core.outbox.push_back({nullptr, text});
}

void sendQueuedTexts(SkypeCore& core) {
    // A client may send a command while a text is on its way to it; that command's texts go out from inside
    // deliver(), in their turn, through this same queue.
    while (!core.outbox.empty()) {
        SkypeCore::Outgoing next = std::move(core.outbox.front());
        core.outbox.pop_front();
        std::vector<HWND> targets;
        if (next.target != nullptr) {
            targets.push_back(next.target);
        } else {
            std::lock_guard<std::mutex> lock(core.mutex);
            targets = core.attached;
        }
        for (HWND target : targets) deliver(core, target, next.text);
    }
}

}  // namespace sim
