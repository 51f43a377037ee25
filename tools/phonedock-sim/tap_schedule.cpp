// Timing the taps.
#include "tap_schedule.h"

namespace phonedocksim {

bool TapSchedule::add(sim::Key key) {
    if (waiting_.size() >= kMaxWaiting) return false;
    waiting_.push_back(key);
    return true;
}

std::optional<TapSchedule::Event> TapSchedule::next(Clock::time_point now) {
    if (held_) {
        if (now < releaseAt_) return std::nullopt;
        const sim::Key key = *held_;
        held_.reset();
        nextPressAt_ = now + kGap;
        return Event{Event::Kind::Release, key};
    }
    if (waiting_.empty() || now < nextPressAt_) return std::nullopt;
    held_ = waiting_.front();
    waiting_.pop_front();
    releaseAt_ = now + kHold;
    return Event{Event::Kind::Press, *held_};
}

bool TapSchedule::idle() const {
    return !held_ && waiting_.empty();
}

}  // namespace phonedocksim
