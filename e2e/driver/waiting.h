// Bounded waits of the driver. The thread that waits owns no window, so it needs to serve no messages.
#pragma once

#include <windows.h>

#include <chrono>

namespace e2e {

using namespace std::chrono_literals;

// Looks at `condition` every few milliseconds until it holds or `timeout` passes; answers the last look.
template <typename Condition>
bool waitFor(Condition&& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return condition();
        Sleep(10);
    }
}

}  // namespace e2e
