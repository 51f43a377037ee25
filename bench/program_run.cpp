#include "program_run.h"

#include <winsim/control.h>

#include <chrono>

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
    if (!report.Expect(program_.Start(), "the program starts")) return;
    const std::string attached = std::string("SET AUDIO_IN ") + kAudioDevice;
    if (!report.Expect(tap_->WaitFor(attached, 0, 5s).has_value(), "the program attaches to Skype")) return;
    started_ = report.Expect(Settle(), "the program settles after attaching");
}

ProgramRun::~ProgramRun() {
    program_.StopOrExit();
    tap_.reset();
    if (skype_) skype_->quit();
    skype_.reset();
    handset_.reset();
}

}  // namespace bench
