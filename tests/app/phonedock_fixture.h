// A test of the whole program on the simulated platform: its WinMain runs on a thread of its own, as the
// program's main thread, with the real VOCETTA.DLL beside it and the stand-ins for the outside world.
#pragma once

#include "handset/handset.h"
#include "support/program_thread.h"
#include "support/reader_idle.h"
#include "support/vocetta_library.h"
#include "support/winsim_fixture.h"

#include <windows.h>
#include <winsim/control.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class PhonedockTest : public WinsimTest {
  protected:
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
        StopProgram();
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

    // Starts the program and returns once its message loop runs. A program that ends by itself during
    // start-up fails nothing here: the test looks at what it left.
    void StartProgram() {
        const bool started = program.Start();
        ASSERT_TRUE(started || program.Ended()) << "the program did not start and settle";
    }

    // Waits until the program has handled everything sent, posted or due to it so far.
    void Settle() {
        if (MainWindow() != nullptr) {
            EXPECT_TRUE(program.Settle());
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

    // Ends the program the way another program would: WM_CLOSE to its window. Answers its exit code.
    int StopProgram() {
        program.StopOrExit();
        return program.ExitCode();
    }

    HWND MainWindow() const { return program.MainWindow(); }

    // The program's one icon in the notification area, or none.
    std::optional<winsim::NotifyIcon> TrayIcon() const { return program.TrayIcon(); }

    testsupport::ProgramThread program;
    std::vector<std::unique_ptr<sim::Handset>> handsets;
};
