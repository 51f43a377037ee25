// The smoke check's verdicts: "PASS name" or "FAIL name: reason", notes, and the closing count.
#pragma once

#include <cstdio>
#include <string>

namespace smoke {

class Verdicts {
  public:
    bool Check(bool passed, const std::string& name, const std::string& reason = "") {
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
    void Note(const std::string& text) {
        std::printf("     %s\n", text.c_str());
        std::fflush(stdout);
    }
    // "smoke: N passed, M failed"; 0 when every check passed and there was one, else 1.
    int Finish() const {
        std::printf("smoke: %d passed, %d failed\n", passed_, failed_);
        std::fflush(stdout);
        return failed_ == 0 && passed_ > 0 ? 0 : 1;
    }

  private:
    int passed_ = 0;
    int failed_ = 0;
};

inline std::string ErrorText(const std::string& what, unsigned long error) {
    return what + " (error " + std::to_string(error) + ")";
}

}  // namespace smoke
