// The simulator's command line.
#pragma once

#include <string>
#include <vector>

namespace phonedocksim {

struct Options {
    enum class Mode { Interactive, Scenario, List, Help, Error };
    Mode mode = Mode::Interactive;
    std::string scenario;  // Mode::Scenario
    std::string error;     // Mode::Error: what was wrong
};

// `arguments` without the program's name.
Options parseOptions(const std::vector<std::string>& arguments);

std::string usageText(const std::string& programName);

}  // namespace phonedocksim
