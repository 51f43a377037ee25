// The Skype stand-in's thread and its control: start, quit, crash, the message loop with its delayed
// actions, and the requests that control calls hand to the thread.
#include "skype/skype_core.h"

#include <algorithm>

namespace sim {
namespace {

using Phase = SkypeCore::Phase;

// Wakes the stand-in's message loop for a waiting request (a thread message, never dispatched).
constexpr UINT kRequestWaiting = WM_APP + 0x5C;
// How often a control call's wait looks again when nothing was sent to its thread.
constexpr DWORD kPollMilliseconds = 2;

// Waits until `condition` holds or `timeout` passes. Meanwhile the calling thread serves the messages
// sent to its windows, so the stand-in's sends to a client owned by this thread do not stall.
bool waitServing(std::chrono::milliseconds timeout, const std::function<bool()>& condition) {
    const auto deadline = SteadyClock::now() + timeout;
    for (;;) {
        if (condition()) return true;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
        if (left <= 0) return false;
        MsgWaitForMultipleObjects(
            0, nullptr, FALSE, std::min<DWORD>(kPollMilliseconds, static_cast<DWORD>(left)), QS_SENDMESSAGE);
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // delivers the sent messages only
    }
}

// Runs `apply` on the stand-in's thread and answers its result once it has run; nothing when the stand-in
// is not running or did not get to it in time.
std::optional<int> request(SkypeCore& core, std::function<int()> apply) {
    auto r = std::make_shared<SkypeCore::Request>();
    r->apply = std::move(apply);
    DWORD threadId;
    {
        std::lock_guard<std::mutex> lock(core.mutex);
        if (core.phase != Phase::Running) return std::nullopt;
        threadId = core.threadId;
        if (threadId != GetCurrentThreadId()) core.requests.push_back(r);
    }
    if (threadId == GetCurrentThreadId()) {
        // Called from the stand-in's own thread (from one of its delayed actions, say).
        const int result = r->apply();
        sendQueuedTexts(core);
        return result;
    }
    PostThreadMessageA(threadId, kRequestWaiting, 0, 0);
    waitServing(core.config.controlTimeout, [&] {
        std::lock_guard<std::mutex> lock(core.mutex);
        return r->done;
    });
    std::lock_guard<std::mutex> lock(core.mutex);
    if (!r->applied) return std::nullopt;
    return r->result;
}

bool requestDone(SkypeCore& core, std::function<bool()> apply) {
    const std::optional<int> result = request(core, [apply = std::move(apply)] { return apply() ? 1 : 0; });
    return result.value_or(0) != 0;
}

void runRequests(SkypeCore& core) {
    for (;;) {
        std::shared_ptr<SkypeCore::Request> r;
        {
            std::lock_guard<std::mutex> lock(core.mutex);
            if (core.requests.empty()) return;
            r = core.requests.front();
            core.requests.pop_front();
        }
        const int result = r->apply();
        {
            std::lock_guard<std::mutex> lock(core.mutex);
            r->result = result;
            r->applied = true;
            r->done = true;
        }
        sendQueuedTexts(core);
    }
}

void runDueActions(SkypeCore& core) {
    for (;;) {
        auto next = std::min_element(
            core.timed.begin(), core.timed.end(),
            [](const SkypeCore::Timed& a, const SkypeCore::Timed& b) { return a.due < b.due; });
        if (next == core.timed.end() || next->due > SteadyClock::now()) return;
        std::function<void()> action = std::move(next->action);
        core.timed.erase(next);
        action();
        sendQueuedTexts(core);
    }
}

DWORD millisecondsToNextAction(const SkypeCore& core) {
    if (core.timed.empty()) return INFINITE;
    SteadyClock::time_point first = core.timed.front().due;
    for (const SkypeCore::Timed& t : core.timed) {
        if (t.due < first) first = t.due;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(first - SteadyClock::now()).count();
    return left <= 0 ? 0 : static_cast<DWORD>(left);
}

void runMessageLoop(SkypeCore& core) {
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.hwnd == nullptr) continue;  // the request wake-up, or stray thread messages
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        runRequests(core);
        if (core.quitting || core.crashing) return;
        runDueActions(core);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, millisecondsToNextAction(core), QS_ALLINPUT);
    }
}

void endRun(SkypeCore& core) {
    std::lock_guard<std::mutex> lock(core.mutex);
    core.phase = Phase::Stopped;
    core.threadId = 0;
    core.apiWindow = nullptr;
    core.mainWindow = nullptr;
    core.editField = nullptr;
    for (auto& r : core.requests) r->done = true;
    core.requests.clear();
}

void runSkypeThread(const std::shared_ptr<SkypeCore>& core) {
    if (core->config.onThreadStart) core->config.onThreadStart();
    const bool made = createSkypeWindows(*core);
    if (!made) {
        destroySkypeWindows(*core);
        endRun(*core);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(core->mutex);
        core->threadId = GetCurrentThreadId();
        core->phase = Phase::Running;
    }
    announceApiAvailable(*core);
    sendQueuedTexts(*core);
    runMessageLoop(*core);
    // A crash leaves the windows to vanish with the thread, without a message to anyone.
    if (!core->crashing) destroySkypeWindows(*core);
    endRun(*core);
}

// Ends the run through a request that sets `flag`, and waits until the thread has gone.
void stop(SkypeCore& core, std::thread& thread, bool SkypeCore::*flag) {
    request(core, [&core, flag] {
        core.*flag = true;
        return 0;
    });
    waitServing(core.config.controlTimeout, [&] {
        std::lock_guard<std::mutex> lock(core.mutex);
        return core.phase == Phase::Stopped;
    });
    if (thread.joinable()) thread.join();
}

}  // namespace

void schedule(SkypeCore& core, std::chrono::milliseconds delay, std::function<void()> action) {
    core.timed.push_back({SteadyClock::now() + delay, std::move(action)});
}

SkypeClient::SkypeClient(SkypeConfig config) : core_(std::make_shared<Core>(std::move(config))) {}

SkypeClient::~SkypeClient() {
    if (running()) quit();
    if (thread_.joinable()) thread_.join();
}

bool SkypeClient::start() {
    {
        std::lock_guard<std::mutex> lock(core_->mutex);
        if (core_->phase != Phase::Stopped) return false;
    }
    // The thread of the previous run (one whose windows could not be made ends by itself).
    if (thread_.joinable()) thread_.join();
    {
        std::lock_guard<std::mutex> lock(core_->mutex);
        // A fresh Skype: its settings (the audio devices) and the records stay, call ids go on counting.
        SkypeState fresh(core_->state.calls.nextId(), core_->config.contacts);
        fresh.audioOut = core_->state.audioOut;
        fresh.audioIn = core_->state.audioIn;
        core_->state = fresh;
        core_->attached.clear();
        core_->outbox.clear();
        core_->timed.clear();
        core_->quitting = false;
        core_->crashing = false;
        core_->phase = Phase::Starting;
    }
    std::shared_ptr<Core> core = core_;
    thread_ = std::thread([core] { runSkypeThread(core); });
    waitServing(core_->config.controlTimeout, [&] {
        std::lock_guard<std::mutex> lock(core_->mutex);
        return core_->phase != Phase::Starting;
    });
    return running();
}

void SkypeClient::quit() {
    stop(*core_, thread_, &Core::quitting);
}

void SkypeClient::crash() {
    stop(*core_, thread_, &Core::crashing);
}

bool SkypeClient::restart() {
    if (running()) quit();
    return start();
}

bool SkypeClient::running() const {
    std::lock_guard<std::mutex> lock(core_->mutex);
    return core_->phase == Phase::Running;
}

HWND SkypeClient::apiWindow() const {
    std::lock_guard<std::mutex> lock(core_->mutex);
    return core_->apiWindow;
}

HWND SkypeClient::mainWindow() const {
    std::lock_guard<std::mutex> lock(core_->mutex);
    return core_->mainWindow;
}

HWND SkypeClient::editField() const {
    std::lock_guard<std::mutex> lock(core_->mutex);
    return core_->editField;
}

DWORD SkypeClient::threadId() const {
    std::lock_guard<std::mutex> lock(core_->mutex);
    return core_->threadId;
}

bool SkypeClient::showMainWindow(MainWindowShow show) {
    Core& core = *core_;
    return requestDone(core, [&core, show] {
        showSkypeMainWindow(core, show);
        return true;
    });
}

size_t SkypeClient::mainWindowCloseCount() const {
    std::lock_guard<std::mutex> lock(core_->mutex);
    return core_->mainWindowCloses;
}

MainWindowView SkypeClient::mainWindowView() const {
    MainWindowView view;
    HWND main;
    {
        std::lock_guard<std::mutex> lock(core_->mutex);
        main = core_->mainWindow;
        view.inFront = core_->mainWindowInFront;
        view.raised = core_->mainWindowRaises;
    }
    // Read from the window itself, without the lock: whoever changed it, the window tells how it is shown.
    if (main != nullptr && IsWindowVisible(main)) {
        view.show = IsIconic(main) ? MainWindowShow::Minimized : MainWindowShow::Normal;
    }
    if (view.show != MainWindowShow::Normal) view.inFront = false;
    return view;
}

bool SkypeClient::setEditText(const std::string& text) {
    Core& core = *core_;
    return requestDone(core, [&core, text] {
        setEditFieldText(core, text);
        return true;
    });
}

std::string SkypeClient::editText() const {
    std::lock_guard<std::mutex> lock(core_->mutex);
    return core_->state.editText;
}

std::vector<HWND> SkypeClient::discoveries() const {
    std::lock_guard<std::mutex> lock(core_->mutex);
    return core_->discoveries;
}

std::vector<HWND> SkypeClient::attachedClients() const {
    std::lock_guard<std::mutex> lock(core_->mutex);
    return core_->attached;
}

bool SkypeClient::answerAttach(HWND client, LPARAM status) {
    Core& core = *core_;
    return requestDone(core, [&core, client, status] {
        schedule(core, std::chrono::milliseconds(0),
                 [&core, client, status] { sim::answerAttach(core, client, status); });
        return true;
    });
}

int SkypeClient::incomingCall(const std::string& name, const std::string& handle) {
    Core& core = *core_;
    const std::optional<int> id = request(core, [&core, name, handle] {
        CallModel::Texts events;
        int callId;
        {
            std::lock_guard<std::mutex> lock(core.mutex);
            callId = core.state.calls.addIncoming(handle.empty() ? name : handle, name, events);
        }
        queueEvents(core, events);
        return callId;
    });
    return id.value_or(0);
}

int SkypeClient::placeCall(const std::string& target) {
    Core& core = *core_;
    const std::optional<int> id =
        request(core, [&core, target] { return placeCallFromMainWindow(core, target); });
    return id.value_or(0);
}

bool SkypeClient::farEndAnswers(int callId) {
    Core& core = *core_;
    return requestDone(core, [&core, callId] {
        CallModel::Texts events;
        bool answered;
        {
            std::lock_guard<std::mutex> lock(core.mutex);
            answered = core.state.calls.farEndAnswers(callId, events);
        }
        queueEvents(core, events);
        return answered;
    });
}

bool SkypeClient::farEndHangsUp(int callId) {
    Core& core = *core_;
    return requestDone(core, [&core, callId] {
        CallModel::Texts events;
        bool ended;
        {
            std::lock_guard<std::mutex> lock(core.mutex);
            ended = core.state.calls.farEndHangsUp(callId, events);
        }
        queueEvents(core, events);
        return ended;
    });
}

std::vector<SkypeCall> SkypeClient::calls() const {
    std::lock_guard<std::mutex> lock(core_->mutex);
    return core_->state.calls.calls();
}

std::optional<SkypeCall> SkypeClient::call(int callId) const {
    std::lock_guard<std::mutex> lock(core_->mutex);
    const SkypeCall* found = core_->state.calls.find(callId);
    if (found == nullptr) return std::nullopt;
    return *found;
}

bool SkypeClient::muted() const {
    std::lock_guard<std::mutex> lock(core_->mutex);
    return core_->state.muted;
}

std::string SkypeClient::audioOut() const {
    std::lock_guard<std::mutex> lock(core_->mutex);
    return core_->state.audioOut;
}

std::string SkypeClient::audioIn() const {
    std::lock_guard<std::mutex> lock(core_->mutex);
    return core_->state.audioIn;
}

bool SkypeClient::hookOff() const {
    std::lock_guard<std::mutex> lock(core_->mutex);
    return core_->state.hookOff;
}

std::string SkypeClient::heldButton() const {
    std::lock_guard<std::mutex> lock(core_->mutex);
    return core_->state.heldButton;
}

std::string SkypeClient::selectedContact() const {
    std::lock_guard<std::mutex> lock(core_->mutex);
    const SkypeState& state = core_->state;
    if (state.selectedContact < 0) return {};
    return state.contacts[static_cast<size_t>(state.selectedContact)];
}

std::vector<SkypeCommand> SkypeClient::commands() const {
    std::lock_guard<std::mutex> lock(core_->mutex);
    return core_->commands;
}

std::vector<std::string> SkypeClient::commandTexts() const {
    std::vector<std::string> texts;
    for (const SkypeCommand& c : commands()) texts.push_back(c.text);
    return texts;
}

std::vector<SkypeNotification> SkypeClient::notifications() const {
    std::lock_guard<std::mutex> lock(core_->mutex);
    return core_->notifications;
}

std::vector<SkypeRecord> SkypeClient::records(uint64_t from) const {
    std::lock_guard<std::mutex> lock(core_->mutex);
    std::vector<SkypeRecord> complete;
    if (from >= core_->records.size()) return complete;
    for (size_t i = static_cast<size_t>(from); i < core_->records.size() && core_->records[i].has_value();
         ++i) {
        complete.push_back(*core_->records[i]);
    }
    return complete;
}

uint64_t SkypeClient::nextSequence() const {
    std::lock_guard<std::mutex> lock(core_->mutex);
    return core_->records.size();
}

std::optional<size_t> SkypeClient::waitForCommand(const std::string& text, std::chrono::milliseconds timeout,
                                                  size_t from) const {
    return waitForCommand([&text](const SkypeCommand& c) { return c.text == text; }, timeout, from);
}

std::optional<size_t> SkypeClient::waitForCommand(const std::function<bool(const SkypeCommand&)>& match,
                                                  std::chrono::milliseconds timeout, size_t from) const {
    std::optional<size_t> found;
    waitServing(timeout, [&] {
        std::vector<SkypeCommand> seen = commands();
        for (size_t i = from; i < seen.size(); ++i) {
            if (match(seen[i])) {
                found = i;
                return true;
            }
        }
        return false;
    });
    return found;
}

bool SkypeClient::waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) const {
    return waitServing(timeout, condition);
}

}  // namespace sim
