#include "support/vocetta_library.h"

#include <gtest/gtest.h>

namespace testsupport {
namespace {

constexpr UINT kRunMessage = WM_APP + 1;
WindowThread* windowThread = nullptr;  // the one window of a test

std::mutex keyHookMutex;  // guards both hooks
std::function<void(int)> keyHook;
std::function<void(int)> plugHook;

}  // namespace

VocettaLibrary::VocettaLibrary() {
    module = LoadLibraryA("VOCETTA.DLL");
    if (module == nullptr) {
        ADD_FAILURE() << "VOCETTA.DLL did not load";
        return;
    }
    ResolveUsbPhoneEntryPoints(module, *this);
    EXPECT_TRUE(Open && Bind && Ring && Light && DisplayLCD && Close && WriteEEPROM && ReadEEPROM &&
                GetDeviceCapacity && SetRingTone && SwitchPSTN && GetLibVer && GetLastError && GetHookStatus);
}

VocettaLibrary::~VocettaLibrary() {
    if (module != nullptr) FreeLibrary(module);
}

WindowThread::WindowThread() {
    windowThread = this;
    thread_ = std::thread([this] { Loop(); });
    std::unique_lock<std::mutex> lock(mutex_);
    ready_.wait(lock, [this] { return threadId_ != 0; });
}

WindowThread::~WindowThread() {
    if (IsWindow(window_)) Run([this] { DestroyWindow(window_); });
    PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
    thread_.join();
    windowThread = nullptr;
}

WNDPROC WindowThread::OwnProcedure() {
    return &WindowThread::Procedure;
}

void WindowThread::Loop() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = &WindowThread::Procedure;
    wc.lpszClassName = "VocettaTestWindow";
    RegisterClassA(&wc);
    HWND window =
        CreateWindowExA(0, "VocettaTestWindow", "test", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        window_ = window;
        threadId_ = GetCurrentThreadId();
    }
    ready_.notify_all();
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void WindowThread::Run(const std::function<void()>& work) {
    auto* copy = new std::function<void()>(work);
    SendMessageA(window_, kRunMessage, 0, reinterpret_cast<LPARAM>(copy));
}

void WindowThread::OnMessage(std::function<void(UINT)> hook) {
    std::lock_guard<std::mutex> lock(mutex_);
    hook_ = std::move(hook);
}

std::vector<UINT> WindowThread::Messages() {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
}

LRESULT CALLBACK WindowThread::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kRunMessage) {
        std::unique_ptr<std::function<void()>> work(reinterpret_cast<std::function<void()>*>(lParam));
        (*work)();
        return 0;
    }
    if (windowThread != nullptr) {
        std::function<void(UINT)> hook;
        {
            std::lock_guard<std::mutex> lock(windowThread->mutex_);
            windowThread->messages_.push_back(message);
            hook = windowThread->hook_;
        }
        if (hook) hook(message);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void CallbackLog::Add(CallbackEvent event) {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(event);
    changed_.notify_all();
}

std::vector<CallbackEvent> CallbackLog::Events() {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
}

std::vector<int> CallbackLog::Codes() {
    std::vector<int> codes;
    for (const auto& e : Events()) codes.push_back(e.first);
    return codes;
}

bool CallbackLog::WaitFor(size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return events_.size() >= count; });
}

void CallbackLog::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.clear();
}

CallbackLog& KeyLog() {
    static CallbackLog log;
    return log;
}

CallbackLog& PlugLog() {
    static CallbackLog log;
    return log;
}

void CALLBACK RecordKey(int keyCode) {
    std::function<void(int)> hook;
    {
        std::lock_guard<std::mutex> lock(keyHookMutex);
        hook = keyHook;
    }
    if (hook) hook(keyCode);
    KeyLog().Add({keyCode, 0, GetCurrentThreadId()});
}

void CALLBACK RecordPlug(int present, int reserved) {
    std::function<void(int)> hook;
    {
        std::lock_guard<std::mutex> lock(keyHookMutex);
        hook = plugHook;
    }
    if (hook) hook(present);
    PlugLog().Add({present, reserved, GetCurrentThreadId()});
}

void SetPlugHook(std::function<void(int)> hook) {
    std::lock_guard<std::mutex> lock(keyHookMutex);
    plugHook = std::move(hook);
}

void SetKeyHook(std::function<void(int)> hook) {
    std::lock_guard<std::mutex> lock(keyHookMutex);
    keyHook = std::move(hook);
}

bool Eventually(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

}  // namespace testsupport
