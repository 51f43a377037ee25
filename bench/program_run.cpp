#include "program_run.h"

#include <winsim/control.h>

#include <chrono>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);

namespace bench {

using namespace std::chrono_literals;

ProgramRun::ProgramRun(StressReport& report, sim::HandsetConfig handsetConfig) {
    winsim::reset();
    winsim::setPlaybackDevices({kAudioDevice});
    winsim::setRecordingDevices({kAudioDevice});
    handset_ = std::make_unique<sim::Handset>(handsetConfig);
    handset_->plug();
    skype_ = std::make_unique<sim::SimulatedSkype>();
    if (!report.Expect(skype_->start(), "the Skype stand-in starts")) return;
    tap_ = std::make_unique<SkypeTap>(skype_->apiWindow(), sim::kSkypeProcessId);
    program_ = std::thread([this] {
        mainThreadId_ = GetCurrentThreadId();
        char commandLine[] = "";
        WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWNORMAL);
    });
    const auto deadline = Clock::now() + 10s;
    while (MainWindow() == nullptr && Clock::now() < deadline) std::this_thread::sleep_for(2ms);
    if (!report.Expect(MainWindow() != nullptr, "the program starts")) return;
    const std::string attached = std::string("SET AUDIO_IN ") + kAudioDevice;
    if (!report.Expect(tap_->WaitFor(attached, 0, 5s).has_value(), "the program attaches to Skype")) return;
    started_ = report.Expect(Settle(), "the program settles after attaching");
}

ProgramRun::~ProgramRun() {
    if (program_.joinable()) {
        // A program that never made its window ends by itself.
        if (const HWND window = MainWindow()) PostMessageA(window, WM_CLOSE, 0, 0);
        program_.join();
    }
    tap_.reset();
    if (skype_) skype_->quit();
    skype_.reset();
    handset_.reset();
}

HWND ProgramRun::MainWindow() const {
    return FindWindowExA(nullptr, nullptr, "TarvixWindowClass20041118", "Tarvix@phone");
}

bool ProgramRun::Settle() const {
    const HWND window = MainWindow();
    return window != nullptr && winsim::waitUntilIdle(window, 10000);
}

}  // namespace bench
