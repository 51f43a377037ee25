// The handset stand-in: the device side of the handset's report protocol on winsim's HID bus.
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
// Everything is thread-safe. Timed work (key repeat, EEPROM answers, vanishing) runs on the stand-in's own
// device thread. Plugging and unplugging announce the change with WM_DEVICECHANGE, which is sent to the
// registered windows: their threads must be serving messages meanwhile (or be the calling thread), and
// that includes an unplug done by the device thread for vanishWhenReadPending().
#pragma once

#include "handset/display.h"
#include "handset/keypad.h"

#include <windows.h>
#include <winsim/control.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace sim {

struct HandsetConfig {
    USHORT vendorId = 1204;
    USHORT productId = 770;
    USHORT inputReportLength = 18;
    USHORT outputReportLength = 34;
    size_t inputQueueLength = 32;                      // reports each open handle keeps (winsim)
    std::chrono::milliseconds repeatInterval{40};      // a held key's report repeats this often; 0: never
    std::chrono::milliseconds eepromAnswerDelay{100};  // from the read request to the class-2 answer
};

class Handset {
  public:
    static constexpr int kAlways = -1;
    using Report = std::vector<uint8_t>;

    explicit Handset(HandsetConfig config = {});
    ~Handset();  // unplugs the handset and stops its device thread
    Handset(const Handset&) = delete;
    Handset& operator=(const Handset&) = delete;

    // ---- on the bus ----
    // Puts the handset on the bus (a new bus id and device path each time); answers the bus id. Plugging
    // a plugged handset changes nothing.
    winsim::HidDeviceId plug();
    void unplug();
    bool plugged() const;
    winsim::HidDeviceId busId() const;  // -1 while unplugged
    std::string devicePath() const;     // of the latest plug
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
    size_t ringerSwitchedOnCount() const;  // ringer reports that switched it on, since the stand-in was made
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
    // look at anything (winsim state, the program under test); it runs without the handset's lock held.
    bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) const;

    // ---- faults ----
    // The next `count` writes (kAlways: all, 0: none any more) fail with `error`.
    void failWrites(int count = 1, DWORD error = ERROR_GEN_FAILURE);
    // The next `count` writes (kAlways: all, 0: none any more) are short: the handset takes one byte less
    // than offered and ignores the report.
    void shortenWrites(int count = 1);
    // The next read on every open handle fails with `error`.
    void failNextRead(DWORD error = ERROR_GEN_FAILURE);
    // Input reports are cut to `length` bytes from now on (0: full length again).
    void shortenInputReports(size_t length);
    // The handset is pulled out as soon as a read is pending on it.
    void vanishWhenReadPending();
    // EEPROM read requests from now on are answered after `delay` (in place of the configured delay).
    void setEepromAnswerDelay(std::chrono::milliseconds delay);
    // The next `count` EEPROM read requests (kAlways: all, 0: none any more) get no answer at all.
    void dropEepromAnswers(int count = 1);

  private:
    struct Core;
    void runDeviceThread();

    std::shared_ptr<Core> core_;
    std::thread deviceThread_;
};

}  // namespace sim
