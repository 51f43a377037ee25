// The simulator's command line: every form it takes, and every wrong one refused with a reason.
#include "options.h"

#include <gtest/gtest.h>

using namespace phonedocksim;
using Mode = Options::Mode;

TEST(Options, ReadsEveryForm) {
    EXPECT_EQ(parseOptions({}).mode, Mode::Interactive);
    EXPECT_EQ(parseOptions({"--help"}).mode, Mode::Help);
    EXPECT_EQ(parseOptions({"-h"}).mode, Mode::Help);
    EXPECT_EQ(parseOptions({"--list"}).mode, Mode::List);
    const Options spaced = parseOptions({"--scenario", "dial-out"});
    EXPECT_EQ(spaced.mode, Mode::Scenario);
    EXPECT_EQ(spaced.scenario, "dial-out");
    const Options joined = parseOptions({"--scenario=no-skype"});
    EXPECT_EQ(joined.mode, Mode::Scenario);
    EXPECT_EQ(joined.scenario, "no-skype");
}

TEST(Options, RefusesWhatItDoesNotKnowWithAReason) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--scenario"}, "--scenario needs a scenario's name"},
        {{"--scenario="}, "--scenario needs a scenario's name"},
        {{"--scenario", ""}, "--scenario needs a scenario's name"},
        {{"--scenario", "a", "b"}, "unexpected argument: b"},
        {{"--scenario=a", "b"}, "unexpected argument: b"},
        {{"--list", "x"}, "unexpected argument: x"},
        {{"--verbose"}, "unknown argument: --verbose"},
        {{"dial-out"}, "unknown argument: dial-out"},
    };
    for (const auto& [arguments, error] : cases) {
        const Options options = parseOptions(arguments);
        EXPECT_EQ(options.mode, Mode::Error) << error;
        EXPECT_EQ(options.error, error);
    }
}
