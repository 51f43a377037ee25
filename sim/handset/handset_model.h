// The handset's behaviour, whatever bus it sits on: the device side of the handset's report protocol.
//
// It reports key presses, releases and the hook switch as class-1 input reports
// ([0, 1, scan code, hook, 0...], hook byte 0 on hook and 1 off hook; scan code 0 when no key is held) and
// repeats the report of a held key like the real keypad does. It takes every output report and decodes it:
//   class 1  ringer (byte 2 0xFF on, else off, when byte 3 is 0x11) and backlight (byte 3 0xFF on, else off,
//            when byte 2 is 0x11)
//   class 2  EEPROM: sub 1 writes byte 5 at address byte 3; sub 2 asks for the 16 bytes from address
//            byte 3, answered after `eepromAnswerDelay` with a class-2 input report carrying them in bytes
//            2..17 (0xFF past address 255); sub 3 ends the read
//   class 3  the 32-byte display image in bytes 2..33 (see display.h for reading it back)
//
// A bus class derives from HandsetModel and puts it on its bus: sim::Handset on winsim's simulated HID bus,
// sim::VirtualHandset on the virtual USB device that the Windows build meets under Wine. The model talks to
// its bus only through HandsetBus, and the bus hands it each output report the host wrote, so a test written
// against one reads the same against the other. This file includes no platform header: it builds for Linux
// and Windows alike.
//
// Everything is thread-safe. Timed work (key repeat, EEPROM answers, vanishing) runs on the model's own
// device thread.
#pragma once

#include "handset/display.h"
#include "handset/keypad.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace sim {

struct HandsetConfig {
    uint16_t vendorId = 1204;
    uint16_t productId = 770;
    uint16_t inputReportLength = 18;
    uint16_t outputReportLength = 34;
    size_t inputQueueLength = 32;                      // reports each open handle keeps (winsim's bus only:
                                                       // on Windows the HID stack keeps its own)
    std::chrono::milliseconds repeatInterval{40};      // a held key's report repeats this often; 0: never
    std::chrono::milliseconds eepromAnswerDelay{100};  // from the read request to the class-2 answer
};

// What the model needs from the bus it sits on. The model calls it only while it is attached.
class HandsetBus {
  public:
    // One input report, report id byte first, as programs read it. Called with the model's lock held, so
    // reports reach the bus in the order the model made them; it must not call back into the model.
    virtual void sendInput(const std::vector<uint8_t>& report) = 0;
    // Reads the host has pending on the device (with the model's lock held, as sendInput).
    virtual size_t pendingReads() = 0;
    // The device pulls itself out (vanishWhenReadPending). Called on the device thread without the model's
    // lock, so the bus detaches the model as it does for any unplug.
    virtual void takeOff() = 0;

  protected:
    ~HandsetBus() = default;
};

// How a write ended, as the handset decides it. A bus whose writes have completed before the handset sees
// them (the virtual device) ignores it.
struct HandsetWrite {
    bool ok = true;
    size_t taken = 0;    // bytes the handset took: fewer than offered is a short write
    uint32_t error = 0;  // when not ok, the write's error code
};

class HandsetModel {
  public:
    static constexpr int kAlways = -1;
    static constexpr uint32_t kGenFailure =
        31;  // the write error of failWrites() unless told (Windows' number)
    using Report = std::vector<uint8_t>;

    HandsetModel(const HandsetModel&) = delete;
    HandsetModel& operator=(const HandsetModel&) = delete;

    bool plugged() const;  // attached to its bus
    const HandsetConfig& config() const;

    // ---- keypad and hook switch ----
    void press(Key key);                   // held until release() or the next press
    void pressScanCode(uint8_t scanCode);  // any scan code, also those of no key (6, 12, 0, 23...)
    void release();
    void setOffHook(bool offHook);  // reports the held scan code with the new hook byte
    bool offHook() const;
    // Sends `report` as it is (not padded to the input report length).
    void sendInputReport(const Report& report);

    // ---- what the handset shows ----
    bool ringer() const;
    size_t ringerSwitchedOnCount() const;  // ringer reports that switched it on, since the handset was made
    bool backlight() const;
    DisplayImage image() const;
    DisplayReading display() const;
    std::string rendering() const;  // renderDisplay(display())
    // The images the display reports brought, in order, from the `from`th on, and how many there were.
    std::vector<DisplayImage> shownImages(size_t from = 0) const;
    size_t shownImageCount() const;

    // ---- logs ----
    std::vector<Report> receivedReports() const;  // output reports the handset took whole, in order
    size_t receivedCount() const;
    size_t writeAttempts() const;             // every write that reached the handset, failed ones too
    std::vector<Report> sentReports() const;  // input reports the handset sent while plugged
    size_t sentCount() const;

    // ---- EEPROM (256 bytes, 0xFF at start) ----
    uint8_t eeprom(uint8_t address) const;
    void setEeprom(uint8_t address, uint8_t value);
    std::array<uint8_t, 256> eepromContents() const;

    // ---- waits for tests; each answers whether the condition held before the time-out ----
    bool waitForReports(size_t count, std::chrono::milliseconds timeout) const;  // receivedCount() >= count
    bool waitForSent(size_t count, std::chrono::milliseconds timeout) const;     // sentCount() >= count
    // `condition` is checked whenever the handset changes and every few milliseconds otherwise, so it may
    // look at anything (the bus, the program under test); it runs without the handset's lock held.
    bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) const;

    // ---- faults ----
    // The next `count` writes (kAlways: all, 0: none any more) fail with `error`. On the virtual device the
    // host's write has completed already: the handset only ignores the report.
    void failWrites(int count = 1, uint32_t error = kGenFailure);
    // The next `count` writes (kAlways: all, 0: none any more) are short: the handset takes one byte less
    // than offered and ignores the report (on the virtual device it only ignores it).
    void shortenWrites(int count = 1);
    // Input reports are cut to `length` bytes from now on (0: full length again).
    void shortenInputReports(size_t length);
    // The handset is pulled out as soon as a read is pending on it.
    void vanishWhenReadPending();
    // EEPROM read requests from now on are answered after `delay` (in place of the configured delay).
    void setEepromAnswerDelay(std::chrono::milliseconds delay);
    // The next `count` EEPROM read requests (kAlways: all, 0: none any more) get no answer at all.
    void dropEepromAnswers(int count = 1);

  protected:
    explicit HandsetModel(HandsetConfig config);
    ~HandsetModel();  // stops the device thread (a bus class stops it earlier, see stopDevice)

    // ---- for the bus class ----
    // On the bus from now on: input reports go to `bus`, which must outlive the attachment.
    void attach(HandsetBus& bus);
    // Off the bus: nothing more is sent and EEPROM answers not yet sent are dropped. Answers whether the
    // handset was attached, so of two racing unplugs only one goes on to take the device off the bus.
    bool detach();
    // One output report the host wrote, report id byte first.
    HandsetWrite outputReport(const uint8_t* report, size_t length);
    // Ends the device thread. A bus class calls it in its destructor once it has taken the handset off the
    // bus, before its own members go, since the device thread may be inside HandsetBus::takeOff().
    void stopDevice();

  private:
    struct State;
    void runDeviceThread();

    std::unique_ptr<State> state_;
    std::thread deviceThread_;
};

}  // namespace sim
