// The driver's verdicts: one line per check ("PASS name" or "FAIL name: reason") and a closing count.
#pragma once

#include <string>

namespace e2e {

class Report {
  public:
    // Records and prints one check; answers `passed`.
    bool check(bool passed, const std::string& name, const std::string& reason = "");
    void pass(const std::string& name) { check(true, name); }
    void fail(const std::string& name, const std::string& reason) { check(false, name, reason); }
    // A line of context that is not a verdict.
    void note(const std::string& text);
    // Prints "e2e: N passed, M failed"; answers whether every check passed and there was at least one.
    bool summary() const;

  private:
    int passed_ = 0;
    int failed_ = 0;
};

}  // namespace e2e
