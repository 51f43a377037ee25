#include "handset_world.h"

#include "waiting.h"

#include <cstdio>
#include <vector>

namespace e2e {
namespace {

std::string clockRow(const SYSTEMTIME& time) {
    char row[16];
    std::snprintf(row, sizeof(row), "      %02u%02u", static_cast<unsigned>(time.wHour) % 100u,
                  static_cast<unsigned>(time.wMinute) % 100u);
    return row;
}

}  // namespace

bool showsTheClock(const sim::DisplayReading& reading) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    FILETIME file;
    SystemTimeToFileTime(&now, &file);
    ULARGE_INTEGER ticks{};
    ticks.LowPart = file.dwLowDateTime;
    ticks.HighPart = file.dwHighDateTime;
    ticks.QuadPart -= 60ull * 10'000'000ull;  // a minute earlier, in 100 ns units
    file.dwLowDateTime = ticks.LowPart;
    file.dwHighDateTime = ticks.HighPart;
    SYSTEMTIME before;
    FileTimeToSystemTime(&file, &before);
    return reading.lower == clockRow(now) || reading.lower == clockRow(before);
}

std::string describe(const sim::VirtualHandset& handset) {
    return "the handset shows " + handset.rendering() + ", ringer " + (handset.ringer() ? "on" : "off") +
           ", light " + (handset.backlight() ? "on" : "off");
}

bool expectHandset(Session& s, const sim::VirtualHandset& handset, const std::string& what,
                   const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const bool held = handset.waitUntil(condition, timeout);
    return s.check(held, what, describe(handset));
}

bool expectCommand(Session& s, const sim::SkypeClient& skype, const std::string& text, size_t from,
                   std::chrono::milliseconds timeout) {
    const bool received = skype.waitForCommand(text, timeout, from).has_value();
    std::string got;
    if (!received) {
        const std::vector<std::string> texts = skype.commandTexts();
        for (size_t i = from; i < texts.size(); ++i) {
            if (!got.empty()) got += ", ";
            got += texts[i];
        }
    }
    return s.check(received, "Skype receives \"" + text + "\"",
                   "it received only: " + (got.empty() ? std::string("nothing") : got));
}

}  // namespace e2e
