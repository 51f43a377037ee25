// A test of VOCETTA.DLL as its caller sees it: the library loaded by name, handsets on the simulated bus,
// and (when a test needs one) an owner window on a thread with a message loop.
#pragma once

#include "handset/handset.h"
#include "support/vocetta_library.h"
#include "support/winsim_fixture.h"

#include <memory>
#include <optional>
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

    std::optional<testsupport::VocettaLibrary> library;
    std::optional<testsupport::WindowThread> window;
    std::vector<std::unique_ptr<sim::Handset>> handsets;
};
