// Skype's stand-in as another program, for the tests that must meet it across a process boundary. On winsim
// it is the simulated Skype, whose thread runs as another simulated process; on Windows it is a second
// process, skype_peer.exe beside the test program (support/child_process.h), ended with the test. Either way
// it is running, its windows up, when construction returns (bounded), or the test has failed.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#ifdef _WIN32
#include "support/child_process.h"
#else
#include "skype/skype_process.h"
#endif

namespace winsim_test {

class SkypeElsewhere {
  public:
#ifdef _WIN32
    SkypeElsewhere() {
        if (!process_.started()) return;
        running_ = process_.waitForWindow("SkypeStandInApiWindow") != nullptr;
        if (!running_) ADD_FAILURE() << "the Skype stand-in's windows did not come up";
    }
#else
    SkypeElsewhere() {
        running_ = skype_.start();
    }
    // The stand-in itself, for what only its records tell.
    sim::SimulatedSkype& standIn() {
        return skype_;
    }
#endif
    bool running() const {
        return running_;
    }

  private:
#ifdef _WIN32
    ChildProcess process_{"skype_peer.exe"};
#else
    sim::SimulatedSkype skype_;
#endif
    bool running_ = false;
};

}  // namespace winsim_test
