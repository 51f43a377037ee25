// A test of VOCETTA.DLL as its caller sees it: the library loaded by name, handsets on the simulated bus,
// and (when a test needs one) an owner window on a thread with a message loop.
#pragma once

#include "handset/handset.h"
#include "support/reader_idle.h"
#include "support/vocetta_library.h"
#include "support/winsim_fixture.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <vector>

class VocettaTest : public WinsimTest {
  protected:
    void SetUp() override {
        WinsimTest::SetUp();
        testsupport::KeyLog().Clear();
        testsupport::PlugLog().Clear();
        library.emplace();
        ASSERT_NE(library->module, nullptr);
    }

    void TearDown() override {
        // The handset closes before the window goes, and the window before the library is unloaded.
        if (library) library->Close();
        handsets.clear();
        window.reset();
        library.reset();
        testsupport::SetKeyHook(nullptr);
        testsupport::SetPlugHook(nullptr);
        WinsimTest::TearDown();
    }

    sim::Handset& AddHandset(sim::HandsetConfig config = {}) {
        handsets.push_back(std::make_unique<sim::Handset>(config));
        handsets.back()->plug();
        return *handsets.back();
    }

    // Opens the library on an owner window's thread and binds the recording callbacks, as a program does.
    int OpenOnWindow(bool bind = true) {
        if (!window) window.emplace();
        int result = 0;
        window->Run([&] {
            result = library->Open(window->window());
            if (bind) library->Bind(&testsupport::RecordKey, &testsupport::RecordPlug);
        });
        return result;
    }

    testsupport::VocettaLibrary& lib() { return *library; }

    static bool ReaderIdle(const sim::Handset& handset) { return testsupport::ReaderIdle(handset); }

    // Waits until the window's thread has handled everything sent or posted to it so far (the device
    // notifications of a plug or an unplug among them).
    bool WindowIdle() { return winsim::waitUntilIdle(window->window(), 10000); }

    // How often `thread` came back from a wait inside winsim so far.
    static uint64_t WakeupsOf(DWORD thread) {
        for (const auto& t : winsim::threadWakeups()) {
            if (t.threadId == thread) return t.wakeups;
        }
        return 0;
    }

    // How many waits with a time-out `thread` went into so far.
    static uint64_t TimedWaitsOf(DWORD thread) {
        for (const auto& t : winsim::threadWakeups()) {
            if (t.threadId == thread) return t.timedWaits;
        }
        return 0;
    }

    // The threads of the program under test that have waited inside winsim so far.
    static std::set<DWORD> WaitingThreads() {
        std::set<DWORD> threads;
        for (const auto& t : winsim::threadWakeups()) {
            if (!t.simulator) threads.insert(t.threadId);
        }
        return threads;
    }

    std::optional<testsupport::VocettaLibrary> library;
    std::optional<testsupport::WindowThread> window;
    std::vector<std::unique_ptr<sim::Handset>> handsets;
};
