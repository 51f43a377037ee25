// Message queues, one per thread, made on first use: posted messages, messages sent from other threads,
// WM_QUIT, and the waits that serve them. A message sent to another thread's window waits in that thread's
// queue of sent messages until the thread looks at its queue (GetMessageA, PeekMessageA, or its own wait
// inside SendMessage); meanwhile the sender serves what is sent to it, so two threads sending to each other
// never deadlock.
#include "timer_state.h"
#include "window_state.h"

#include <winsim/control.h>

#include <cstring>
#include <deque>
#include <map>
#include <optional>
#include <unordered_map>

namespace winsim::detail {
namespace {

constexpr size_t kPostQuota = 10000;
constexpr DWORD kDefaultHungMilliseconds = 5000;
constexpr DWORD kHungCheckMilliseconds = 50;

struct ThreadQueue;

struct SentMessage {
    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;  // as the receiver sees it (pointing at the copies below when data travels)
    bool wide = false;  // sent with SendMessageW: its texts are wide
    bool done = false;
    bool abandoned = false;  // the sender stopped waiting (time-out)
    LRESULT result = 0;
    DWORD error = ERROR_SUCCESS;
    // Data that travels with the message, copied for the receiver and freed as soon as its procedure
    // returns, as between processes: a receiver that keeps the pointer reads freed memory.
    std::unique_ptr<COPYDATASTRUCT> copyData;
    std::unique_ptr<char[]> payload;
    char* senderBuffer = nullptr;       // WM_GETTEXT: where the answer is copied back while the sender waits
                                        // (WCHARs when `wide`)
    std::weak_ptr<ThreadQueue> sender;  // told when the message is answered
};

struct ThreadQueue {
    // Notified when a message is posted or sent to this thread, or one it sent is answered: the thread's
    // own message waits listen to it, so traffic between two threads wakes no third one.
    WaitList changed;
    std::deque<MSG> posted;
    std::deque<std::shared_ptr<SentMessage>> sent;
    bool quitPosted = false;
    int quitCode = 0;
    // For SMTO_ABORTIFHUNG: a thread that is not waiting for input and has not looked at its queue for the
    // hung threshold counts as hung.
    int waitingForInput = 0;
    Clock::time_point lastLooked = Clock::now();
    bool idle = false;  // waiting in GetMessageA with nothing to do
};

struct MessageState {
    std::unordered_map<DWORD, std::shared_ptr<ThreadQueue>> queues;
    std::map<std::string, ATOM> atoms;  // folded name -> atom, handed out from 0xC000 in order
    DWORD hungMilliseconds = kDefaultHungMilliseconds;
};

MessageState& state() {
    // Never destroyed: threads that end after main() returns still drop their queues here.
    static MessageState& s = *new MessageState;
    return s;
}

void finish(SentMessage& m, LRESULT result, DWORD error) {
    m.result = result;
    m.error = error;
    m.done = true;
    m.payload.reset();
    m.copyData.reset();
    if (auto sender = m.sender.lock()) sender->changed.notify_all();
}

// Notified as a thread settles in GetMessageA with nothing to do (winsim::waitUntilIdle).
WaitList& idleChanged() {
    static auto& list = *new WaitList;
    return list;
}

void dropQueue(DWORD threadId) {
    auto it = state().queues.find(threadId);
    if (it == state().queues.end()) return;
    for (auto& m : it->second->sent) finish(*m, 0, ERROR_INVALID_WINDOW_HANDLE);
    state().queues.erase(it);
    forgetThreadTimers(threadId);
    stateChanged().notify_all();
}

ResetHook messageReset([] {
    for (auto& [threadId, q] : state().queues) {
        for (auto& m : q->sent) finish(*m, 0, ERROR_INVALID_WINDOW_HANDLE);
    }
    state().queues.clear();
    state().atoms.clear();
    state().hungMilliseconds = kDefaultHungMilliseconds;
});

// On Windows a thread's windows and queue go away when the thread ends. The guard notices the end of each
// thread that ever had a queue.
struct QueueOwner {
    DWORD threadId = 0;
    ~QueueOwner() {
        if (threadId == 0) return;
        Lock lock(bigLock());
        forgetThreadWindows(threadId);
        dropQueue(threadId);
    }
};
thread_local QueueOwner queueOwner;

// Whether the message being handled on this thread came from another thread (InSendMessage), innermost last.
thread_local std::vector<bool> handlingStack;

std::shared_ptr<ThreadQueue> queueOf(DWORD threadId) {
    auto it = state().queues.find(threadId);
    return it == state().queues.end() ? nullptr : it->second;
}

std::shared_ptr<ThreadQueue> currentQueue() {
    const DWORD threadId = currentThreadId();
    auto& q = state().queues[threadId];
    if (!q) {
        q = std::make_shared<ThreadQueue>();
        queueOwner.threadId = threadId;
    }
    return q;
}

bool isHung(const ThreadQueue& q) {
    return q.waitingForInput == 0 &&
           Clock::now() - q.lastLooked > std::chrono::milliseconds(state().hungMilliseconds);
}

// The calling thread waits for input (inside GetMessageA, MsgWaitForMultipleObjects, SendMessage): not hung.
// Constructed and destroyed with bigLock held.
class WaitingForInput {
  public:
    explicit WaitingForInput(ThreadQueue& q) : q_(q) {
        ++q_.waitingForInput;
        q_.lastLooked = Clock::now();
    }
    ~WaitingForInput() {
        --q_.waitingForInput;
        q_.lastLooked = Clock::now();
    }
    WaitingForInput(const WaitingForInput&) = delete;
    WaitingForInput& operator=(const WaitingForInput&) = delete;

  private:
    ThreadQueue& q_;
};

// `wide`: the message is in the wide form; `procWide`: the procedure takes that form (procedureIsWide).
LRESULT callProcedure(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                      bool fromOtherThread, bool wide, bool procWide) {
    if (proc == nullptr) return 0;
    handlingStack.push_back(fromOtherThread);
    const LRESULT result = callInForm(proc, hwnd, message, wParam, lParam, wide, procWide);
    handlingStack.pop_back();
    return result;
}

// Delivers one message sent from another thread to the calling (receiving) thread. Entered and left with
// bigLock held; the procedure runs without it.
void deliverSent(Lock& lock, ThreadQueue& q, const std::shared_ptr<SentMessage>& m) {
    auto w = findWindow(m->hwnd);
    if (!w) {
        finish(*m, 0, ERROR_INVALID_WINDOW_HANDLE);
        return;
    }
    const WNDPROC proc = w->proc;
    const bool procWide = procedureIsWide(proc);
    // Busy in a procedure is not waiting for input, whatever wait the thread was in.
    const int waiting = q.waitingForInput;
    q.waitingForInput = 0;
    q.lastLooked = Clock::now();
    lock.unlock();
    const LRESULT result =
        callProcedure(proc, m->hwnd, m->message, m->wParam, m->lParam, true, m->wide, procWide);
    lock.lock();
    q.waitingForInput = waiting;
    q.lastLooked = Clock::now();
    if (m->message == WM_GETTEXT && m->senderBuffer != nullptr && !m->abandoned && m->wParam > 0) {
        if (m->wide) {
            const auto* text = reinterpret_cast<const WCHAR*>(m->payload.get());
            const size_t n = wcsnlen(text, m->wParam - 1);
            std::memcpy(m->senderBuffer, text, n * sizeof(WCHAR));
            reinterpret_cast<WCHAR*>(m->senderBuffer)[n] = L'\0';
        } else {
            const size_t n = strnlen(m->payload.get(), m->wParam - 1);
            std::memcpy(m->senderBuffer, m->payload.get(), n);
            m->senderBuffer[n] = '\0';
        }
    }
    finish(*m, result, ERROR_SUCCESS);
}

// Serves every message that waits in the calling thread's queue of sent messages, oldest first.
void serveSent(Lock& lock, ThreadQueue& q) {
    while (!q.sent.empty()) {
        auto m = q.sent.front();
        q.sent.pop_front();
        deliverSent(lock, q, m);
    }
}

// Copies the data that travels with WM_COPYDATA and WM_SETTEXT for the receiving thread, and gives
// WM_GETTEXT a buffer of its own. False: the data cannot be read (ERROR_INVALID_PARAMETER).
bool marshal(SentMessage& m) {
    switch (m.message) {
        case WM_COPYDATA: {
            const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(m.lParam);
            if (cds == nullptr) return true;
            if (cds->cbData > 0 && cds->lpData == nullptr) return false;
            m.copyData = std::make_unique<COPYDATASTRUCT>(*cds);
            if (cds->cbData > 0) {
                m.payload.reset(new char[cds->cbData]);
                std::memcpy(m.payload.get(), cds->lpData, cds->cbData);
                m.copyData->lpData = m.payload.get();
            } else {
                m.copyData->lpData = nullptr;
            }
            m.lParam = reinterpret_cast<LPARAM>(m.copyData.get());
            return true;
        }
        case WM_SETTEXT: {
            if (m.lParam == 0) return true;
            const auto* text = reinterpret_cast<const void*>(m.lParam);
            const size_t n = m.wide ? (std::wcslen(static_cast<const WCHAR*>(text)) + 1) * sizeof(WCHAR)
                                    : std::strlen(static_cast<const char*>(text)) + 1;
            m.payload.reset(new char[n]);
            std::memcpy(m.payload.get(), text, n);
            m.lParam = reinterpret_cast<LPARAM>(m.payload.get());
            return true;
        }
        case WM_GETTEXT: {
            if (m.lParam == 0 || m.wParam == 0) return true;
            m.senderBuffer = reinterpret_cast<char*>(m.lParam);
            m.payload.reset(new char[m.wParam * (m.wide ? sizeof(WCHAR) : 1)]());
            m.lParam = reinterpret_cast<LPARAM>(m.payload.get());
            return true;
        }
        default: return true;
    }
}

DWORD millisecondsUntil(Clock::time_point deadline) {
    if (deadline == Clock::time_point::max()) return INFINITE;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<DWORD>(std::min<int64_t>(left, INFINITE - 1));
}

// Whether a tick of the calling thread's timers that `match` accepts is waiting now.
bool tickWaiting(const MessageMatch& match) {
    return millisecondsToNextTick(currentThreadId(), localMillisLocked(), match) == 0;
}

// waitLocked, cut short when the calling thread's next timer tick that `match` accepts falls due, so that a
// `wake` that looks for ticks is asked again in time. A timer set meanwhile (from another thread) makes it
// work out that moment again. (A pinned clock moves only through the control API, which notifies
// stateChanged.)
DWORD waitLockedWithTimers(Lock& lock, const std::vector<std::shared_ptr<KernelObject>>& objects,
                           bool waitAll, DWORD milliseconds, const std::function<bool()>& wake,
                           const MessageMatch& match) {
    const auto deadline = deadlineAfter(milliseconds);
    for (;;) {
        DWORD toTick = millisecondsToNextTick(currentThreadId(), localMillisLocked(), match);
        if (toTick == 0) toTick = INFINITE;  // a tick already waits: `wake` sees it
        const uint64_t timersSeen = timersChanged();
        bool woken = false;
        const DWORD r =
            waitLocked(lock, objects, waitAll, std::min(millisecondsUntil(deadline), toTick), [&] {
                woken = wake && wake();
                return woken || timersChanged() != timersSeen;
            });
        if (r == WAIT_OBJECT_0 + objects.size() && !woken) continue;  // only the timers changed
        if (r != WAIT_TIMEOUT || Clock::now() >= deadline) return r;
    }
}

bool anyMessage(const MSG&) {
    return true;
}

// Sends one message to one window and waits for its result. False on failure, with the last error set.
// `wide`: the message is in the wide form (SendMessageW).
bool sendToWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT flags, DWORD timeout,
                  LRESULT& result, bool wide = false) {
    Lock lock(bigLock());
    auto w = findWindow(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    if (w->threadId == currentThreadId()) {
        const WNDPROC proc = w->proc;
        const bool procWide = procedureIsWide(proc);
        lock.unlock();
        result = callProcedure(proc, hwnd, message, wParam, lParam, false, wide, procWide);
        return true;
    }
    auto target = queueOf(w->threadId);
    if (!target) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    if ((flags & SMTO_ABORTIFHUNG) != 0 && isHung(*target)) {
        SetLastError(ERROR_TIMEOUT);
        return false;
    }
    auto m = std::make_shared<SentMessage>();
    m->hwnd = hwnd;
    m->message = message;
    m->wParam = wParam;
    m->lParam = lParam;
    m->wide = wide;
    if (!marshal(*m)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    auto own = currentQueue();
    m->sender = own;
    target->sent.push_back(m);
    target->changed.notify_all();
    Listening toOwnQueue({}, &own->changed);

    // SMTO_BLOCK: the sender serves nothing while it waits.
    const bool serve = (flags & SMTO_BLOCK) == 0;
    std::optional<WaitingForInput> looking;
    if (serve) looking.emplace(*own);
    const auto deadline = deadlineAfter(timeout);
    for (;;) {
        if (m->done) break;
        if (serve && !own->sent.empty()) {
            auto incoming = own->sent.front();
            own->sent.pop_front();
            deliverSent(lock, *own, incoming);
            continue;
        }
        // SMTO_NOTIMEOUTIFNOTHUNG: the time-out counts only once the receiver is hung, so past it the sender
        // looks again every little while.
        const bool untilHung = (flags & SMTO_NOTIMEOUTIFNOTHUNG) != 0;
        DWORD waitFor = millisecondsUntil(deadline);
        if (waitFor == 0 && untilHung) waitFor = kHungCheckMilliseconds;
        const DWORD r =
            waitLocked(lock, {}, false, waitFor, [&] { return m->done || (serve && !own->sent.empty()); });
        if (r == WAIT_TIMEOUT && !m->done && Clock::now() >= deadline) {
            auto receiver = queueOf(w->threadId);
            if (untilHung && receiver && !isHung(*receiver)) continue;
            // A message the receiver has not taken yet is withdrawn, as Windows does; one it is handling runs
            // to its end, and only the sender stops waiting.
            if (receiver) {
                auto queued = std::find(receiver->sent.begin(), receiver->sent.end(), m);
                if (queued != receiver->sent.end()) receiver->sent.erase(queued);
            }
            m->abandoned = true;
            SetLastError(ERROR_TIMEOUT);
            return false;
        }
    }
    if (m->error != ERROR_SUCCESS) {
        SetLastError(m->error);
        return false;
    }
    result = m->result;
    return true;
}

// HWND_BROADCAST carries only system messages and registered ones: a WM_USER or WM_APP message means
// something different to every window class, so Windows reaches no window with it.
bool broadcastable(UINT message) {
    return message < WM_USER || message >= 0xC000;
}

std::vector<HWND> currentBroadcastTargets(UINT message) {
    Lock lock(bigLock());
    return broadcastable(message) ? broadcastTargets() : std::vector<HWND>{};
}

bool inFilterRange(UINT message, UINT first, UINT last) {
    if ((first == 0 && last == 0) || first > last) return true;
    return message >= first && message <= last;
}

bool matchesFilter(const MSG& m, HWND filter, UINT first, UINT last) {
    if (filter == reinterpret_cast<HWND>(-1)) {
        if (m.hwnd != nullptr) return false;
    } else if (filter != nullptr) {
        if (m.hwnd != filter && !isDescendant(filter, m.hwnd)) return false;
    }
    return inFilterRange(m.message, first, last);
}

// Finds the first posted message for the filter, or WM_QUIT once no other posted message is left for it.
bool findPosted(ThreadQueue& q, HWND filter, UINT first, UINT last, bool remove, MSG* out) {
    for (auto it = q.posted.begin(); it != q.posted.end(); ++it) {
        if (!matchesFilter(*it, filter, first, last)) continue;
        if (out != nullptr) *out = *it;
        if (remove) q.posted.erase(it);
        return true;
    }
    if (q.quitPosted && inFilterRange(WM_QUIT, first, last)) {
        if (out != nullptr) {
            *out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(q.quitCode), 0, GetTickCount(), {0, 0}};
        }
        if (remove) q.quitPosted = false;
        return true;
    }
    return false;
}

bool isWindowFilter(HWND filter) {
    return filter != nullptr && filter != reinterpret_cast<HWND>(-1);
}

bool postTo(ThreadQueue& q, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (q.posted.size() >= kPostQuota) {
        SetLastError(ERROR_NOT_ENOUGH_QUOTA);
        return false;
    }
    q.posted.push_back(MSG{hwnd, message, wParam, lParam, GetTickCount(), {0, 0}});
    q.changed.notify_all();
    return true;
}

// Messages whose parameters point at data cannot be posted: the data would be gone when they are taken.
bool sendOnly(UINT message) {
    return message == WM_COPYDATA || message == WM_SETTEXT || message == WM_GETTEXT;
}

// The character a key makes, for TranslateMessage. Simplification: no keyboard layout and no shift state,
// so letters come out in lower case; keys without a character give 0.
char characterOfKey(WPARAM virtualKey) {
    if (virtualKey >= '0' && virtualKey <= '9') return static_cast<char>(virtualKey);
    if (virtualKey >= 'A' && virtualKey <= 'Z') return static_cast<char>(virtualKey - 'A' + 'a');
    switch (virtualKey) {
        case 0x08: return '\b';  // VK_BACK
        case 0x09: return '\t';  // VK_TAB
        case 0x0D: return '\r';  // VK_RETURN
        case 0x1B: return 0x1B;  // VK_ESCAPE
        case 0x20: return ' ';   // VK_SPACE
        default: return 0;
    }
}

}  // namespace

void ensureCurrentQueue() {
    currentQueue();
}

void forgetWindowMessages(HWND hwnd, DWORD threadId) {
    forgetWindowTimers(hwnd);
    auto q = queueOf(threadId);
    if (!q) return;
    std::erase_if(q->posted, [hwnd](const MSG& m) { return m.hwnd == hwnd; });
    std::erase_if(q->sent, [hwnd](const std::shared_ptr<SentMessage>& m) {
        if (m->hwnd != hwnd) return false;
        finish(*m, 0, ERROR_INVALID_WINDOW_HANDLE);
        return true;
    });
    stateChanged().notify_all();
}

bool waitForMessages(Lock& lock, DWORD milliseconds, const std::function<bool()>& wake) {
    auto q = currentQueue();
    WaitingForInput looking(*q);
    Listening toQueue({}, &q->changed);
    const DWORD r = waitLockedWithTimers(
        lock, {}, false, milliseconds,
        [&] {
            return !q->sent.empty() || !q->posted.empty() || q->quitPosted || tickWaiting(anyMessage) ||
                   (wake && wake());
        },
        anyMessage);
    return r != WAIT_TIMEOUT;
}

ATOM addAtom(const std::string& name) {
    MessageState& s = state();
    const std::string folded = foldCase(name);
    auto it = s.atoms.find(folded);
    if (it != s.atoms.end()) return it->second;
    if (s.atoms.size() >= 0x4000) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    const auto atom = static_cast<ATOM>(0xC000 + s.atoms.size());
    s.atoms.emplace(folded, atom);
    return atom;
}

}  // namespace winsim::detail

using namespace winsim::detail;

namespace winsim {

void setHungThreshold(DWORD milliseconds) {
    Lock lock(bigLock());
    state().hungMilliseconds = milliseconds;
}

}  // namespace winsim

namespace winsim::detail {

LRESULT sendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool wide) {
    LRESULT result = 0;
    if (hwnd == HWND_BROADCAST) {
        for (HWND target : currentBroadcastTargets(message)) {
            LRESULT ignored = 0;
            sendToWindow(target, message, wParam, lParam, SMTO_NORMAL, INFINITE, ignored, wide);
        }
        return 0;
    }
    if (!sendToWindow(hwnd, message, wParam, lParam, SMTO_NORMAL, INFINITE, result, wide)) return 0;
    return result;
}

LRESULT sendMessageTimeout(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT flags, UINT timeout,
                           PDWORD_PTR answer, bool wide) {
    if (hwnd == HWND_BROADCAST) {
        // Each window gets the whole time-out; windows that time out or are hung are passed over.
        for (HWND target : currentBroadcastTargets(message)) {
            LRESULT ignored = 0;
            sendToWindow(target, message, wParam, lParam, flags, timeout, ignored, wide);
        }
        if (answer != nullptr) *answer = 0;
        return TRUE;
    }
    LRESULT result = 0;
    if (!sendToWindow(hwnd, message, wParam, lParam, flags, timeout, result, wide)) return 0;
    if (answer != nullptr) *answer = static_cast<DWORD_PTR>(result);
    return TRUE;
}

}  // namespace winsim::detail

extern "C" {

LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    return sendMessage(hWnd, Msg, wParam, lParam, false);
}

LRESULT WINAPI SendMessageTimeoutA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam, UINT fuFlags,
                                   UINT uTimeout, PDWORD_PTR lpdwResult) {
    return sendMessageTimeout(hWnd, Msg, wParam, lParam, fuFlags, uTimeout, lpdwResult, false);
}

BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    if (sendOnly(Msg)) {
        SetLastError(ERROR_MESSAGE_SYNC_ONLY);
        return FALSE;
    }
    Lock lock(bigLock());
    if (hWnd == HWND_BROADCAST) {
        if (!broadcastable(Msg)) return TRUE;
        for (HWND target : broadcastTargets()) {
            auto w = findWindow(target);
            if (auto q = queueOf(w->threadId)) postTo(*q, target, Msg, wParam, lParam);
        }
        return TRUE;
    }
    if (hWnd == nullptr) return postTo(*currentQueue(), nullptr, Msg, wParam, lParam) ? TRUE : FALSE;
    auto w = findWindow(hWnd);
    auto q = w ? queueOf(w->threadId) : nullptr;
    if (!q) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return postTo(*q, hWnd, Msg, wParam, lParam) ? TRUE : FALSE;
}

BOOL WINAPI PostThreadMessageA(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam) {
    if (sendOnly(Msg)) {
        SetLastError(ERROR_MESSAGE_SYNC_ONLY);
        return FALSE;
    }
    Lock lock(bigLock());
    auto q = queueOf(idThread);
    if (!q) {
        SetLastError(ERROR_INVALID_THREAD_ID);
        return FALSE;
    }
    return postTo(*q, nullptr, Msg, wParam, lParam) ? TRUE : FALSE;
}

// Simplification: no paint or hardware input are generated here; sent messages come first, then posted
// messages in order, then WM_QUIT, then timer ticks.
BOOL WINAPI GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
    if (lpMsg == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    Lock lock(bigLock());
    auto q = currentQueue();
    WaitingForInput looking(*q);
    const MessageMatch fits = [&](const MSG& m) {
        return matchesFilter(m, hWnd, wMsgFilterMin, wMsgFilterMax);
    };
    for (;;) {
        serveSent(lock, *q);
        if (isWindowFilter(hWnd) && !findWindow(hWnd)) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return -1;
        }
        if (findPosted(*q, hWnd, wMsgFilterMin, wMsgFilterMax, true, lpMsg)) {
            return lpMsg->message == WM_QUIT ? FALSE : TRUE;
        }
        if (takeTimerTick(currentThreadId(), localMillisLocked(), fits, true, lpMsg)) return TRUE;
        q->idle = true;
        idleChanged().notify_all();
        Listening toQueue({}, &q->changed);
        waitLockedWithTimers(
            lock, {}, false, INFINITE,
            [&] {
                return !q->sent.empty() ||
                       findPosted(*q, hWnd, wMsgFilterMin, wMsgFilterMax, false, nullptr) ||
                       tickWaiting(fits) || (isWindowFilter(hWnd) && !findWindow(hWnd));
            },
            fits);
        q->idle = false;
    }
}

BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg) {
    if (lpMsg == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Lock lock(bigLock());
    if (isWindowFilter(hWnd) && !findWindow(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    auto q = currentQueue();
    q->lastLooked = Clock::now();
    serveSent(lock, *q);
    q->lastLooked = Clock::now();
    const bool remove = (wRemoveMsg & PM_REMOVE) != 0;
    if (findPosted(*q, hWnd, wMsgFilterMin, wMsgFilterMax, remove, lpMsg)) return TRUE;
    const MessageMatch fits = [&](const MSG& m) {
        return matchesFilter(m, hWnd, wMsgFilterMin, wMsgFilterMax);
    };
    return takeTimerTick(currentThreadId(), localMillisLocked(), fits, remove, lpMsg) ? TRUE : FALSE;
}

BOOL WINAPI TranslateMessage(const MSG* lpMsg) {
    if (lpMsg == nullptr) return FALSE;
    switch (lpMsg->message) {
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            if (const char c = characterOfKey(lpMsg->wParam); c != 0 && lpMsg->message == WM_KEYDOWN) {
                PostMessageA(lpMsg->hwnd, WM_CHAR, static_cast<WPARAM>(static_cast<unsigned char>(c)),
                             lpMsg->lParam);
            }
            return TRUE;
        case WM_KEYUP:
        case WM_SYSKEYUP: return TRUE;
        default: return FALSE;
    }
}

LRESULT WINAPI DispatchMessageA(const MSG* lpMsg) {
    if (lpMsg == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // A tick of a timer that has a procedure goes to that procedure, with or without a window.
    if (lpMsg->message == WM_TIMER && lpMsg->lParam != 0) return dispatchTimerProc(*lpMsg);
    if (lpMsg->hwnd == nullptr) return 0;  // thread messages have no procedure
    Lock lock(bigLock());
    auto w = findWindow(lpMsg->hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (w->threadId != currentThreadId()) {
        SetLastError(ERROR_WINDOW_OF_OTHER_THREAD);
        return 0;
    }
    const WNDPROC proc = w->proc;
    const bool procWide = procedureIsWide(proc);
    lock.unlock();
    return callProcedure(proc, lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam, false, false,
                         procWide);
}

void WINAPI PostQuitMessage(int nExitCode) {
    Lock lock(bigLock());
    auto q = currentQueue();
    q->quitPosted = true;
    q->quitCode = nExitCode;
    stateChanged().notify_all();
}

BOOL WINAPI InSendMessage(void) {
    return !handlingStack.empty() && handlingStack.back() ? TRUE : FALSE;
}

// Simplification: input counts while it is in the queue, not only when it arrived since the queue was last
// looked at; only sent and posted messages and timer ticks are input here (QS_SENDMESSAGE, QS_POSTMESSAGE,
// QS_ALLPOSTMESSAGE, QS_TIMER and the masks that contain them).
DWORD WINAPI MsgWaitForMultipleObjects(DWORD nCount, const HANDLE* pHandles, BOOL fWaitAll,
                                       DWORD dwMilliseconds, DWORD dwWakeMask) {
    if (nCount > MAXIMUM_WAIT_OBJECTS - 1 || (nCount > 0 && pHandles == nullptr)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    Lock lock(bigLock());
    std::vector<std::shared_ptr<KernelObject>> objects;
    for (DWORD i = 0; i < nCount; ++i) {
        auto object = lookupHandle(pHandles[i]);
        if (!object || !object->isWaitable()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        objects.push_back(std::move(object));
    }
    auto q = currentQueue();
    WaitingForInput looking(*q);
    auto inputWaits = [&] {
        if ((dwWakeMask & QS_SENDMESSAGE) != 0 && !q->sent.empty()) return true;
        if ((dwWakeMask & (QS_POSTMESSAGE | QS_ALLPOSTMESSAGE)) != 0 &&
            (!q->posted.empty() || q->quitPosted)) {
            return true;
        }
        return (dwWakeMask & QS_TIMER) != 0 && tickWaiting(anyMessage);
    };
    const MessageMatch ticks = [dwWakeMask](const MSG&) { return (dwWakeMask & QS_TIMER) != 0; };
    Listening toQueue({}, &q->changed);
    if (!fWaitAll) return waitLockedWithTimers(lock, objects, false, dwMilliseconds, inputWaits, ticks);
    // All objects and input together: the objects wake the wait as well as the input does.
    Listening toObjects(objects, nullptr);
    const DWORD r = waitLockedWithTimers(
        lock, {}, false, dwMilliseconds,
        [&] {
            for (const auto& o : objects) {
                if (!o->isSignaled()) return false;
            }
            if (!inputWaits()) return false;
            for (const auto& o : objects) o->consumeSignal();
            return true;
        },
        ticks);
    return r == WAIT_TIMEOUT ? WAIT_TIMEOUT : WAIT_OBJECT_0;
}

UINT WINAPI RegisterWindowMessageA(LPCSTR lpString) {
    if (lpString == nullptr || *lpString == '\0') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    Lock lock(bigLock());
    return addAtom(lpString);
}

}  // extern "C"

namespace winsim {

bool waitUntilIdle(HWND window, DWORD milliseconds) {
    Lock lock(bigLock());
    const auto deadline = deadlineAfter(milliseconds);
    for (;;) {
        auto w = findWindow(window);
        if (!w) return false;
        auto it = state().queues.find(w->threadId);
        const auto anything = [](const MSG&) { return true; };
        if (it != state().queues.end() && it->second->idle && it->second->sent.empty() &&
            it->second->posted.empty() &&
            millisecondsToNextTick(w->threadId, localMillisLocked(), anything) != 0) {
            return true;
        }
        Listening toIdle({}, &idleChanged());
        if (stateChanged().wait_until(lock, deadline) == std::cv_status::timeout) return false;
    }
}

}  // namespace winsim
