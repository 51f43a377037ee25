// What the benchmark programs print: latency samples summed up as median, 99th percentile and maximum, and
// the line every program starts with, saying where the figures come from.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double Milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

inline double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

inline void PrintPlatform(const char* program) {
    std::printf(
        "%s: figures measured on the simulated platform (winsim on this Linux host), not on Windows\n",
        program);
}

// Latency samples in milliseconds.
class Latencies {
  public:
    void Add(double ms) { samples_.push_back(ms); }
    void Add(Clock::duration d) { Add(Milliseconds(d)); }
    size_t Count() const { return samples_.size(); }

    // The sample below which the fraction `p` of all samples lie (nearest rank).
    double Percentile(double p) const {
        if (samples_.empty()) return 0;
        std::vector<double> sorted = samples_;
        std::sort(sorted.begin(), sorted.end());
        const double rank = p * static_cast<double>(sorted.size());
        size_t index = static_cast<size_t>(rank);
        if (static_cast<double>(index) == rank && index > 0) --index;
        return sorted[std::min(index, sorted.size() - 1)];
    }
    double Max() const { return samples_.empty() ? 0 : *std::max_element(samples_.begin(), samples_.end()); }

    // "median 0.123 ms, p99 0.456 ms, max 0.789 ms (600 samples)"
    std::string Summary() const {
        if (samples_.empty()) return "no samples";
        char line[160];
        std::snprintf(line, sizeof(line), "median %.3f ms, p99 %.3f ms, max %.3f ms (%zu samples)",
                      Percentile(0.5), Percentile(0.99), Max(), samples_.size());
        return line;
    }

  private:
    std::vector<double> samples_;
};

}  // namespace bench
