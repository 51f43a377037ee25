#include "report.h"

#include <cstdio>

namespace e2e {

bool Report::check(bool passed, const std::string& name, const std::string& reason) {
    if (passed) {
        ++passed_;
        std::printf("PASS %s\n", name.c_str());
    } else {
        ++failed_;
        std::printf("FAIL %s: %s\n", name.c_str(), reason.empty() ? "failed" : reason.c_str());
    }
    std::fflush(stdout);
    return passed;
}

void Report::note(const std::string& text) {
    std::printf("     %s\n", text.c_str());
    std::fflush(stdout);
}

bool Report::summary() const {
    std::printf("e2e: %d passed, %d failed\n", passed_, failed_);
    std::fflush(stdout);
    return failed_ == 0 && passed_ > 0;
}

}  // namespace e2e
