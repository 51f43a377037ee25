// Placing the simulator's events among Skype's records.
#include "event_log.h"

namespace phonedocksim {

void EventLog::addEvent(uint64_t mark, std::string line) {
    events_.emplace_back(mark, std::move(line));
}

std::vector<std::string> EventLog::take(const std::vector<Numbered>& records) {
    std::vector<std::string> lines;
    const auto eventsUpTo = [&](uint64_t sequence) {
        while (!events_.empty() && events_.front().first <= sequence) {
            lines.push_back(std::move(events_.front().second));
            events_.pop_front();
        }
    };
    for (const Numbered& record : records) {
        if (record.sequence < next_) continue;  // taken already
        if (record.sequence > next_) break;     // a gap: what follows it waits for it
        eventsUpTo(record.sequence);
        lines.push_back(record.line);
        ++next_;
    }
    eventsUpTo(next_);
    return lines;
}

}  // namespace phonedocksim
