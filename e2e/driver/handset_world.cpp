#include "handset_world.h"

#include "waiting.h"

#include <algorithm>
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

bool startWithTheHandset(Session& s, sim::VirtualHandset& handset) {
    if (!s.check(plugAndWaitForInterface(handset), "the handset is plugged in and listed")) return false;
    if (!s.start(s.env().workspace.program(), s.env().workspace.withLibrary)) return false;
    s.check(s.waitForTip(kTipNoSkype, 0, kAnswerTimeout).has_value(), "the icon says \"Please Launch Skype\"",
            "no such icon message");
    return true;
}

bool attachLateSkype(Session& s, sim::SkypeClient& skype) {
    if (!s.check(skype.start(), "the Skype stand-in starts")) return false;
    const size_t trayFrom = s.trayMessages().size();
    const HWND window = s.window();
    const bool attached = skype.waitUntil(
        [&] {
            const std::vector<HWND> clients = skype.attachedClients();
            return std::find(clients.begin(), clients.end(), window) != clients.end();
        },
        kAttachTimeout);
    return s.check(attached && s.waitForTip(kTipAttached, trayFrom, kAttachTimeout).has_value(),
                   "Skype starting: the program attaches and the icon says it is ready",
                   attached ? "no \"Skype Feature-Enabled\" icon message" : "no attach");
}

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
