// The simulator's log in the order things happened. Skype's records come numbered, one sequence across the
// commands it received and the texts it sent; the simulator's own events (Skype started, a call rang in, the
// handset was pulled out...) are marked with the number Skype's next record was to get when they happened,
// so each goes before every record numbered from its mark on. A record whose text is still on its way holds
// back what comes after it, events included, until it is complete.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace phonedocksim {

class EventLog {
  public:
    struct Numbered {
        uint64_t sequence;
        std::string line;
    };

    // An event that happened when Skype's next record was to be numbered `mark`. Marks never go down.
    void addEvent(uint64_t mark, std::string line);
    // The records numbered from next() on, in order and without a gap; answers the lines whose place is
    // now known, in order.
    std::vector<std::string> take(const std::vector<Numbered>& records);
    // The number of the first record not taken yet.
    uint64_t next() const { return next_; }

  private:
    uint64_t next_ = 0;
    std::deque<std::pair<uint64_t, std::string>> events_;
};

}  // namespace phonedocksim
