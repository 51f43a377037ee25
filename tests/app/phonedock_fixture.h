// A test of the whole program on the simulated platform: its WinMain runs on a thread of its own, as the
// program's main thread, with the real VOCETTA.DLL beside it and the stand-ins for the outside world.
#pragma once

#include "handset/handset.h"
#include "support/reader_idle.h"
#include "support/vocetta_library.h"
#include "support/winsim_fixture.h"

#include <windows.h>
#include <winsim/control.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);

class PhonedockTest : public WinsimTest {
  protected:
    static constexpr const char* kClass = "TarvixWindowClass20041118";
    static constexpr const char* kTitle = "Tarvix@phone";
    static constexpr const char* kLastTimeKey = "HKCU\\Software\\Zentary\\DLL\\LastTime";
    static constexpr const char* kSkypePhoneKey = "HKCU\\SOFTWARE\\Skype\\Phone";
    static constexpr const char* kSoundMapperKey = "HKCU\\Software\\Microsoft\\Multimedia\\Sound Mapper";

    void SetUp() override {
        WinsimTest::SetUp();
        SYSTEMTIME start{};
        start.wYear = 2027;
        start.wMonth = 3;
        start.wDay = 3;  // a Wednesday
        start.wDayOfWeek = 3;
        start.wHour = 9;
        start.wMinute = 5;
        winsim::setLocalTime(start);  // timers tick only when a test moves the clock
    }

    void TearDown() override {
        if (program.joinable()) StopProgram();
        handsets.clear();
        WinsimTest::TearDown();
    }

    sim::Handset& AddHandset() {
        sim::HandsetConfig config;
        config.repeatInterval = std::chrono::milliseconds(0);
        handsets.push_back(std::make_unique<sim::Handset>(config));
        handsets.back()->plug();
        return *handsets.back();
    }

    // Starts the program and returns once its message loop runs.
    void StartProgram() {
        program = std::thread([this] {
            char commandLine[] = "";
            exitCode = WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWNORMAL);
            finished = true;
        });
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (MainWindow() == nullptr && !finished) {
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the program did not start";
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        Settle();
    }

    // Waits until the program has handled everything sent, posted or due to it so far.
    void Settle() {
        if (const HWND window = MainWindow()) {
            EXPECT_TRUE(winsim::waitUntilIdle(window, 10000));
        }
    }

    // Waits until the library's reader has handled every report `handset` sent, and the program what the
    // keys caused.
    void SettleKeys(const sim::Handset& handset) {
        EXPECT_TRUE(testsupport::ReaderIdle(handset));
        Settle();
    }

    // Moves the simulated clock on by one watchdog period and lets the tick be handled.
    void Tick() {
        winsim::advanceClock(2000);
        Settle();
    }

    // Ends the program the way another program would: WM_CLOSE to its window.
    int StopProgram() {
        if (const HWND window = MainWindow()) PostMessageA(window, WM_CLOSE, 0, 0);
        program.join();
        return exitCode;
    }

    HWND MainWindow() const { return FindWindowExA(nullptr, nullptr, kClass, kTitle); }

    // The program's one icon in the notification area, or none.
    std::optional<winsim::NotifyIcon> TrayIcon() const {
        for (const auto& icon : winsim::notificationArea()) {
            if (icon.id == 888) return icon;
        }
        return std::nullopt;
    }

    std::thread program;
    std::atomic<int> exitCode{-1};
    std::atomic<bool> finished{false};
    std::vector<std::unique_ptr<sim::Handset>> handsets;
};
