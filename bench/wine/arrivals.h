// Time stamps that one thread takes as things arrive and another waits for, in order.
#pragma once

#include "wine_facts.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <vector>

namespace winebench {

class Arrivals {
  public:
    struct Arrival {
        Clock::time_point at;
        int value = 0;  // what arrived: a key code, a scan code
    };

    void Add(int value, Clock::time_point at = Clock::now()) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            arrivals_.push_back({at, value});
        }
        changed_.notify_all();
    }
    size_t Count() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return arrivals_.size();
    }
    // The arrival numbered `index` (from 0), waiting for it at most `timeout`.
    std::optional<Arrival> WaitFor(size_t index, std::chrono::milliseconds timeout) const {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!changed_.wait_for(lock, timeout, [&] { return arrivals_.size() > index; })) return std::nullopt;
        return arrivals_[index];
    }
    // The arrival numbered `index` if it has come.
    std::optional<Arrival> At(size_t index) const {
        std::lock_guard<std::mutex> lock(mutex_);
        if (arrivals_.size() <= index) return std::nullopt;
        return arrivals_[index];
    }

  private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<Arrival> arrivals_;
};

}  // namespace winebench
