// What a stress program found: every broken expectation is counted and the first few are printed, and the
// program's exit status says whether any broke.
#pragma once

#include <cstdio>
#include <string>

class StressReport {
  public:
    explicit StressReport(const char* name) : name_(name) {}

    // Counts `what` as broken unless `held`; answers `held`.
    bool Expect(bool held, const std::string& what) {
        if (held) return true;
        if (++broken_ <= kShown) std::printf("%s: BROKEN: %s\n", name_, what.c_str());
        return false;
    }

    size_t Broken() const { return broken_; }

    int Finish() const {
        std::printf("%s: %zu expectations broken\n", name_, broken_);
        return broken_ == 0 ? 0 : 1;
    }

  private:
    static constexpr size_t kShown = 20;
    const char* name_;
    size_t broken_ = 0;
};
