// A HID device that a test plays: it has the ids and report lengths the test asks for, the test plugs and
// unplugs it, feeds it input reports and takes the output reports programs wrote. On Linux it sits on
// winsim's simulated bus; on Windows it is the virtual USB handset on the system's own HID stack
// (sim/virtual_handset, whose drivers tests/wine/run installs in the prefix), so the same test meets the
// real HID class driver there.
//
// One device at a time: the virtual handset's bus holds one.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include "hid_interfaces.h"
#include "virtual_handset_link.h"
#else
#include <winsim/control.h>
#endif

namespace hid_test {

struct HidShape {
    USHORT vendorId = 1204;
    USHORT productId = 770;
    USHORT inputReportLength = 8;  // as programs see them: the report id byte included
    USHORT outputReportLength = 6;
};

using Report = std::vector<uint8_t>;

// The ids as they appear in an interface path.
inline std::string idsInPath(const HidShape& shape) {
    char ids[32];
    std::snprintf(ids, sizeof(ids), "vid_%04x&pid_%04x", shape.vendorId, shape.productId);
    return ids;
}

inline bool containsIgnoringCase(std::string text, const std::string& lowered) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text.find(lowered) != std::string::npos;
}

#ifdef _WIN32
// The path of the listed HID interface whose path holds `ids` (lower case), once it is listed (listed ==
// true) or empty once it is not, waiting up to 5 s: the system lists an interface a little after its
// device arrives, and forgets it a little after the device goes.
inline std::string waitForInterface(const std::string& ids, bool listed) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    std::string found;
    do {
        found.clear();
        for (const std::string& path : vhandset::HidInterfacePaths())
            if (containsIgnoringCase(path, ids)) found = path;
        if (found.empty() != listed) return found;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (std::chrono::steady_clock::now() < deadline);
    return found;
}
#endif

class TestHidDevice {
  public:
    explicit TestHidDevice(HidShape shape = {}) : shape_(shape) {
#ifdef _WIN32
        link_ = vhandset::Link::Open(5000);
        EXPECT_NE(link_, nullptr) << "the virtual handset's drivers are not running";
#else
        outputs_ = std::make_shared<Outputs>();
#endif
    }
    ~TestHidDevice() {
        if (plugged_) unplug();
    }
    TestHidDevice(const TestHidDevice&) = delete;
    TestHidDevice& operator=(const TestHidDevice&) = delete;

    const HidShape& shape() const {
        return shape_;
    }
    const std::string& path() const {
        return path_;
    }

    // Plugs the device in; answers its interface path once the system lists it (empty when it never does).
    std::string plug() {
#ifdef _WIN32
        if (!link_) return {};
        vhandset::DeviceShape device;
        device.vendorId = shape_.vendorId;
        device.productId = shape_.productId;
        device.inputReportLength = shape_.inputReportLength;
        device.outputReportLength = shape_.outputReportLength;
        if (!link_->Plug(device)) {
            ADD_FAILURE() << "the virtual handset did not plug in, error " << vhandset::Link::LastError();
            return {};
        }
        plugged_ = true;
        // The interface appears a little after the device does.
        path_ = waitForInterface(idsInPath(shape_), true);
        EXPECT_FALSE(path_.empty()) << "the device's interface was never listed";
#else
        static int serial = 0;
        winsim::HidDeviceDesc desc;
        desc.path = "\\\\?\\hid#" + idsInPath(shape_);
        desc.path += "#test&" + std::to_string(++serial);
        desc.path += "#{4d1e55b2-f16f-11cf-88cb-001111000030}";
        desc.vendorId = shape_.vendorId;
        desc.productId = shape_.productId;
        desc.inputReportLength = shape_.inputReportLength;
        desc.outputReportLength = shape_.outputReportLength;
        busId_ = winsim::hidPlug(desc, std::make_shared<Recorder>(outputs_));
        plugged_ = busId_ >= 0;
        path_ = plugged_ ? desc.path : std::string();
#endif
        return path_;
    }

    // Pulls the device out; returns once the system no longer lists its interface.
    void unplug() {
        if (!plugged_) return;
        plugged_ = false;
#ifdef _WIN32
        EXPECT_TRUE(link_->Unplug()) << "error " << vhandset::Link::LastError();
        EXPECT_TRUE(waitForInterface(idsInPath(shape_), false).empty())
            << "the device's interface is still listed";
#else
        winsim::hidUnplug(busId_);
#endif
    }

    // The device produces one input report, report id byte first. It reaches every open handle's queue
    // (or pending read) in the order sent; see delivered().
    void sendInput(const Report& report) {
#ifdef _WIN32
        EXPECT_TRUE(link_ && link_->SendInput(report.data(), report.size()))
            << "error " << vhandset::Link::LastError();
#else
        winsim::hidInputReport(busId_, report);
#endif
    }

    // Waits until every input report sent so far has reached the handles' queues. On winsim that is done
    // when sendInput returns; the HID class driver takes a report from the device and hands it to each
    // open handle before it asks the device for the next, so under Windows the device holding no report
    // and being asked for one means the handles have them all.
    bool delivered() {
#ifdef _WIN32
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        vhandset::BusStatus status;
        while (link_ && link_->QueryStatus(status)) {
            if (status.queuedInputs == 0 && status.pendingReads > 0) return true;
            if (std::chrono::steady_clock::now() > deadline) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
#else
        return true;
#endif
    }

    // The next output report a program wrote, report id byte first; false when none came in time.
    bool takeOutput(Report& report, DWORD timeoutMs = 2000) {
#ifdef _WIN32
        return link_ && link_->TakeOutput(report, timeoutMs);
#else
        std::unique_lock lock(outputs_->mutex);
        if (!outputs_->wake.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                     [&] { return !outputs_->reports.empty(); }))
            return false;
        report = std::move(outputs_->reports.front());
        outputs_->reports.pop_front();
        return true;
#endif
    }

#ifndef _WIN32
    winsim::HidDeviceId busId() const {
        return busId_;
    }
#endif

  private:
#ifdef _WIN32
    std::unique_ptr<vhandset::Link> link_;
#else
    struct Outputs {
        std::mutex mutex;
        std::condition_variable wake;
        std::deque<Report> reports;
    };
    // Takes every write whole and keeps it for takeOutput.
    struct Recorder final : winsim::HidDeviceModel {
        explicit Recorder(std::shared_ptr<Outputs> into) : outputs(std::move(into)) {}
        winsim::HidWriteOutcome onOutputReport(const uint8_t* report, size_t length) override {
            {
                std::lock_guard lock(outputs->mutex);
                outputs->reports.emplace_back(report, report + length);
            }
            outputs->wake.notify_all();
            return {true, static_cast<DWORD>(length), ERROR_SUCCESS};
        }
        std::shared_ptr<Outputs> outputs;
    };

    std::shared_ptr<Outputs> outputs_;
    winsim::HidDeviceId busId_ = -1;
#endif
    HidShape shape_;
    std::string path_;
    bool plugged_ = false;
};

}  // namespace hid_test
