// The scripted scenarios: each sets up the world, drives it as a user would, and checks what the outside
// world saw (Skype's commands, the handset's ringer, light and display, keystrokes, the tray icon).
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace phonedocksim {

struct ScenarioInfo {
    std::string name;
    std::string description;
};

std::vector<ScenarioInfo> scenarioList();

// Runs the scenario, writing its transcript; answers the process exit status: 0 when every expectation
// held, 1 when one failed, 2 for an unknown name.
int runScenario(const std::string& name, std::ostream& out);

}  // namespace phonedocksim
