// phonedock-sim: phonedock and VOCETTA.DLL running on winsim with the handset and Skype stand-ins, shown
// in a terminal (interactive) or run through a scripted scenario (transcript and checks).
#include "interactive.h"
#include "options.h"
#include "scenarios.h"

#include <exception>
#include <iostream>

using namespace phonedocksim;

int main(int argc, char** argv) {
    const std::string programName = "phonedock-sim";
    std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    const Options options = parseOptions(arguments);
    try {
        switch (options.mode) {
            case Options::Mode::Help: std::cout << usageText(programName); return 0;
            case Options::Mode::List:
                for (const auto& scenario : scenarioList()) {
                    std::cout << scenario.name << std::string(20 - scenario.name.size(), ' ')
                              << scenario.description << "\n";
                }
                return 0;
            case Options::Mode::Scenario: return runScenario(options.scenario, std::cout);
            case Options::Mode::Interactive: return runInteractive();
            case Options::Mode::Error:
                std::cerr << programName << ": " << options.error << "\n" << usageText(programName);
                return 2;
        }
    } catch (const std::exception& error) {
        std::cerr << programName << ": " << error.what() << "\n";
        return 1;
    }
    return 1;
}
