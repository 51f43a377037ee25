// Handset key taps in time: the keypad reports a press, holds it a moment and reports the release, and
// the next key waits for a short gap after that release, so two taps of the same key are two presses
// (the device library drops a repeated report of a key still held). Pure: the caller gives the time.
#pragma once

#include "handset/keypad.h"

#include <chrono>
#include <deque>
#include <optional>

namespace phonedocksim {

class TapSchedule {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kHold{120};
    static constexpr std::chrono::milliseconds kGap{60};
    static constexpr size_t kMaxWaiting = 32;  // taps typed ahead beyond this are dropped

    struct Event {
        enum class Kind { Press, Release } kind;
        sim::Key key;
        bool operator==(const Event&) const = default;
    };

    // Queues a tap; false when too many are waiting already.
    bool add(sim::Key key);
    // The next event due at `now`, if any; call until it answers nothing.
    std::optional<Event> next(Clock::time_point now);
    // Nothing held and nothing waiting.
    bool idle() const;

  private:
    std::deque<sim::Key> waiting_;
    std::optional<sim::Key> held_;
    Clock::time_point releaseAt_{};
    Clock::time_point nextPressAt_{};
};

}  // namespace phonedocksim
