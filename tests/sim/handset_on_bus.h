// The handset stand-in on the bus a program meets: winsim's simulated HID bus on Linux; on Windows the
// virtual USB handset on the system's own HID stack (sim/virtual_handset, whose drivers tests/wine/run
// installs in the prefix). Either way the tests drive the same model and open the same device path.
#pragma once

#include "handset/handset_model.h"

#ifdef _WIN32
#include "handset/virtual_handset.h"
#include "hid_interfaces.h"
#else
#include "handset/handset.h"
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

namespace handset_test {

class BusHandset {
  public:
    explicit BusHandset(sim::HandsetConfig config = {}) {
#ifdef _WIN32
        handset_ = sim::VirtualHandset::open(config);
        EXPECT_NE(handset_, nullptr) << "the virtual handset's drivers are not running";
#else
        handset_ = std::make_unique<sim::Handset>(config);
#endif
    }

    sim::HandsetModel& model() {
        return *handset_;
    }

    // Plugs the handset in; answers its device path once the host lists it (empty when it never does).
    std::string plug() {
        if (!handset_) return {};
#ifdef _WIN32
        if (!handset_->plug()) return {};
        // The interface appears a little after the device does.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        char ids[32];
        std::snprintf(ids, sizeof(ids), "vid_%04x&pid_%04x", handset_->config().vendorId,
                      handset_->config().productId);
        while (std::chrono::steady_clock::now() < deadline) {
            for (std::string path : vhandset::HidInterfacePaths()) {
                std::string lowered = path;
                std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                               [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
                if (lowered.find(ids) != std::string::npos) return path;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return {};
#else
        handset_->plug();
        return handset_->devicePath();
#endif
    }

    void unplug() {
        if (handset_) handset_->unplug();
    }

  private:
#ifdef _WIN32
    std::unique_ptr<sim::VirtualHandset> handset_;
#else
    std::unique_ptr<sim::Handset> handset_;
#endif
};

}  // namespace handset_test
