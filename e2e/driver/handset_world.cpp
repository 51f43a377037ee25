#include "handset_world.h"

#include "waiting.h"

#include <setupapi.h>
extern "C" {
#include <hidsdi.h>
}

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <vector>

namespace e2e {
namespace {

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string clockRow(const SYSTEMTIME& time) {
    char row[16];
    std::snprintf(row, sizeof(row), "      %02u%02u", static_cast<unsigned>(time.wHour) % 100u,
                  static_cast<unsigned>(time.wMinute) % 100u);
    return row;
}

}  // namespace

bool handsetInterfaceListed() {
    GUID hidGuid;
    HidD_GetHidGuid(&hidGuid);
    const HDEVINFO set =
        SetupDiGetClassDevsA(&hidGuid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) return false;
    bool found = false;
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof(data);
    for (DWORD index = 0; !found && SetupDiEnumDeviceInterfaces(set, nullptr, &hidGuid, index, &data);
         ++index) {
        DWORD required = 0;
        SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &required, nullptr);
        if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) continue;
        std::vector<char> buffer(required);
        auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(buffer.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        if (!SetupDiGetDeviceInterfaceDetailA(set, &data, detail, required, nullptr, nullptr)) continue;
        found = lowered(detail->DevicePath).find("vid_04b4&pid_0302") != std::string::npos;
    }
    SetupDiDestroyDeviceInfoList(set);
    return found;
}

bool plugAndWaitForInterface(sim::VirtualHandset& handset) {
    return handset.plug() && waitFor([] { return handsetInterfaceListed(); }, kPlugTimeout);
}

bool unplugAndWaitForInterface(sim::VirtualHandset& handset) {
    handset.unplug();
    return waitFor([] { return !handsetInterfaceListed(); }, kPlugTimeout);
}

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

void tap(sim::VirtualHandset& handset, sim::Key key) {
    handset.press(key);
    handset.release();
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
