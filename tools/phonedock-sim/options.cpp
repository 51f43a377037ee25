// Reading the command line.
#include "options.h"

namespace phonedocksim {

Options parseOptions(const std::vector<std::string>& arguments) {
    Options options;
    const auto fail = [](const std::string& error) {
        Options failed;
        failed.mode = Options::Mode::Error;
        failed.error = error;
        return failed;
    };
    if (arguments.empty()) return options;
    const std::string& first = arguments[0];
    if (first == "--help" || first == "-h") {
        options.mode = Options::Mode::Help;
    } else if (first == "--list") {
        options.mode = Options::Mode::List;
    } else if (first == "--scenario" || first.starts_with("--scenario=")) {
        const bool joined = first != "--scenario";
        if (!joined && arguments.size() < 2) return fail("--scenario needs a scenario's name");
        options.mode = Options::Mode::Scenario;
        options.scenario = joined ? first.substr(std::string("--scenario=").size()) : arguments[1];
        if (options.scenario.empty()) return fail("--scenario needs a scenario's name");
        if (arguments.size() > (joined ? 1u : 2u)) return fail("unexpected argument: " + arguments.back());
        return options;
    } else {
        return fail("unknown argument: " + first);
    }
    if (arguments.size() > 1) return fail("unexpected argument: " + arguments[1]);
    return options;
}

std::string usageText(const std::string& programName) {
    return "Usage:\n"
           "  " +
           programName +
           "                   interactive: the handset's LCD, tray icon and Skype's traffic in\n"
           "                                    the terminal; the keys are listed at the bottom of the "
           "screen\n"
           "  " +
           programName +
           " --scenario NAME   run a scripted scenario and print its transcript; exits 1\n"
           "                                    when one of its expectations fails\n"
           "  " +
           programName +
           " --list            name the scenarios\n"
           "  " +
           programName +
           " --help            this text\n"
           "\n"
           "The real phonedock program and VOCETTA.DLL run on winsim, a simulated Windows, with a simulated\n"
           "USB handset and a simulated Skype. Interactive mode follows the real clock; scenarios pin it to\n"
           "Wednesday 3 March 2027, 09:05, so their transcripts always read the same.\n";
}

}  // namespace phonedocksim
