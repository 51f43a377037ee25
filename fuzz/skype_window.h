// For the targets that run product code on winsim: a window in Skype's place that keeps the commands it
// receives, and a check that stops the run at the first broken invariant.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace fuzz {

inline void Require(bool condition) {
    if (!condition) std::abort();
}

// Skype's API window, on the fuzzing thread: a command sent to it is handled at once.
class SkypeWindow {
  public:
    SkypeWindow() {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = Procedure;
        windowClass.lpszClassName = "FuzzSkype";
        RegisterClassA(&windowClass);
        window_ = CreateWindowExA(0, "FuzzSkype", "Skype", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        Require(window_ != nullptr);
    }

    HWND handle() const { return window_; }
    static std::vector<std::string>& Commands() {
        static std::vector<std::string> commands;
        return commands;
    }

  private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message != WM_COPYDATA) return DefWindowProcA(window, message, wParam, lParam);
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        // A command goes out with its terminator, which the received text must end with.
        Require(data->cbData > 0 && static_cast<const char*>(data->lpData)[data->cbData - 1] == '\0');
        Commands().emplace_back(static_cast<const char*>(data->lpData));
        return 1;
    }

    HWND window_ = nullptr;
};

}  // namespace fuzz
