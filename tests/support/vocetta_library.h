// Test support for the device library: VOCETTA.DLL loaded by name and its 14 exports resolved, a window
// living on a thread of its own with a message loop (as a program's main window does), and recorders for
// the two callbacks.
#pragma once

#include <windows.h>

#include "usbphone.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace testsupport {

using namespace std::chrono_literals;

struct VocettaLibrary : UsbPhoneEntryPoints {
    VocettaLibrary();
    ~VocettaLibrary();
    VocettaLibrary(const VocettaLibrary&) = delete;
    VocettaLibrary& operator=(const VocettaLibrary&) = delete;

    HMODULE module = nullptr;
};

// A top-level window owned by a thread that runs a message loop. Its own procedure records the messages
// it sees; `OnMessage` lets a test look at the world at that moment.
class WindowThread {
  public:
    WindowThread();
    ~WindowThread();
    WindowThread(const WindowThread&) = delete;
    WindowThread& operator=(const WindowThread&) = delete;

    HWND window() const { return window_; }
    DWORD threadId() const { return threadId_; }
    // Runs `work` on the window's thread and waits for it.
    void Run(const std::function<void()>& work);
    // Called on the window's thread for every message the window's own procedure receives.
    void OnMessage(std::function<void(UINT)> hook);
    std::vector<UINT> Messages();
    static WNDPROC OwnProcedure();

  private:
    static LRESULT CALLBACK Procedure(HWND, UINT, WPARAM, LPARAM);
    void Loop();

    std::thread thread_;
    HWND window_ = nullptr;
    DWORD threadId_ = 0;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::vector<UINT> messages_;
    std::function<void(UINT)> hook_;
};

// Records what the library's callbacks received, with the thread they ran on.
struct CallbackEvent {
    int first;
    int second;
    DWORD threadId;
};

class CallbackLog {
  public:
    void Add(CallbackEvent event);
    std::vector<CallbackEvent> Events();
    std::vector<int> Codes();
    // Waits until at least `count` events were recorded. Answers whether they were.
    bool WaitFor(size_t count, std::chrono::milliseconds timeout = 2000ms);
    void Clear();

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<CallbackEvent> events_;
};

CallbackLog& KeyLog();
CallbackLog& PlugLog();
void CALLBACK RecordKey(int keyCode);
void CALLBACK RecordPlug(int present, int reserved);
// Runs inside the key callback before it is recorded; lets a test act on the reader thread.
void SetKeyHook(std::function<void(int)> hook);

// Runs inside the plug callback before it is recorded.
void SetPlugHook(std::function<void(int)> hook);

// Waits until `condition` holds, polling; answers whether it did within `timeout`.
bool Eventually(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 2000ms);

}  // namespace testsupport
