// The handset stand-in on the bus a program meets: winsim's simulated HID bus on Linux; on Windows the
// virtual USB handset on the system's own HID stack (sim/virtual_handset, whose drivers tests/wine/run
// installs in the prefix). Either way the tests drive the same model and open the same device path.
#pragma once

#include "handset/handset_model.h"

#ifdef _WIN32
#include "handset/virtual_handset.h"
#include "support/hid_bus.h"
#else
#include "handset/handset.h"
#endif

#include <gtest/gtest.h>

#include <memory>
#include <string>

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
        hid_test::HidShape shape;
        shape.vendorId = handset_->config().vendorId;
        shape.productId = handset_->config().productId;
        return hid_test::waitForInterface(hid_test::idsInPath(shape), true);
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
