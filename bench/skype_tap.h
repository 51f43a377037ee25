// The Skype stand-in watched from inside its own simulated process. Each command that reaches its API
// window is stamped with the moment it arrived (the stand-in records the order of what it receives, not
// the time), and texts can go out to a client as from the API window, one right after another from a thread
// of that process: a burst as fast as sending allows, where each of the stand-in's control calls is a round
// trip to its thread. The stand-in itself still receives, records and carries out every command.
#pragma once

#include "bench_figures.h"

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace bench {

class SkypeTap {
  public:
    struct Arrival {
        Clock::time_point at;
        std::string text;
    };
    struct Burst {
        Clock::time_point firstSent;     // the first send began
        Clock::time_point lastReturned;  // the last send returned
        size_t delivered = 0;            // sends the client's window procedure took in time
    };

    // Puts a procedure of its own in front of the API window's (a window of process `processId`). One tap
    // at a time.
    SkypeTap(HWND apiWindow, DWORD processId);
    ~SkypeTap();  // the stand-in's own procedure again
    SkypeTap(const SkypeTap&) = delete;
    SkypeTap& operator=(const SkypeTap&) = delete;

    size_t Count() const;
    Arrival At(size_t index) const;
    std::vector<Arrival> Since(size_t from) const;
    // Waits until a command from index `from` on reads `text`; answers its index.
    std::optional<size_t> WaitFor(const std::string& text, size_t from,
                                  std::chrono::milliseconds timeout) const;
    // Waits until at least `count` commands have come.
    bool WaitForCount(size_t count, std::chrono::milliseconds timeout) const;

    // Sends each text (with its NUL) to `client` as WM_COPYDATA from the API window, in order, each send
    // waiting for the one before it to return.
    Burst Send(HWND client, const std::vector<std::string>& texts) const;

  private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND apiWindow_;
    DWORD processId_;
    WNDPROC original_ = nullptr;
    mutable std::mutex mutex_;
    mutable std::condition_variable arrived_;
    std::vector<Arrival> arrivals_;
};

}  // namespace bench
