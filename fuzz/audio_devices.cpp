// Device names and Sound Mapper values of any bytes and length, through the program's audio routing on
// winsim: Skype is pointed at the first device whose name has "USB", a Windows default that names a USB
// device moves to the first ordinary one, and any other value is left as it was. A value is searched only
// as far as it was read, terminated or not.
#include "skype/audio_routing.h"
#include "audio/device_choice.h"
#include "foundation/shared_state.h"
#include "skype_window.h"

#include <fuzzer/FuzzedDataProvider.h>
#include <winsim/control.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace phonedock;
using fuzz::Require;

namespace {

constexpr const char* kSoundMapperKey = "HKCU\\Software\\Microsoft\\Multimedia\\Sound Mapper";
constexpr size_t kPname = 32;  // szPname: 31 characters and a NUL

bool Has(const std::string& name, const char* part) {
    return name.find(part) != std::string::npos;
}

// The names the choice should give, from the names as the program reads them from the device capabilities;
// empty where no device fits.
struct ExpectedChoice {
    std::string handset;
    std::string other;
};

ExpectedChoice Expected(const std::vector<std::string>& names) {
    ExpectedChoice choice;
    bool handset = false, other = false;
    for (const std::string& full : names) {
        const std::string name = full.substr(0, std::min(full.find('\0'), kPname - 1));
        if (!handset && Has(name, "USB")) {
            choice.handset = name;
            handset = true;
        }
        if (!other && !Has(name, "USB") && !Has(name, "Virtual")) {
            choice.other = name;
            other = true;
        }
    }
    return choice;
}

std::vector<std::string> Devices(FuzzedDataProvider& input) {
    std::vector<std::string> names(input.ConsumeIntegralInRange<size_t>(0, 4));
    for (std::string& name : names) name = input.ConsumeRandomLengthString(40);
    return names;
}

// What happens to one default value: the choice's "other" name replaces it when it names a USB device.
struct Value {
    bool present;
    std::vector<uint8_t> bytes;
    DWORD type;
};

Value MakeValue(FuzzedDataProvider& input) {
    Value v;
    v.present = input.ConsumeIntegralInRange<int>(0, 7) != 0;
    v.type = input.ConsumeBool() ? REG_SZ : REG_BINARY;
    v.bytes = input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange<size_t>(0, 120));
    return v;
}

void RequireRouted(const char* valueName, const Value& v, const std::vector<std::string>& names) {
    const ExpectedChoice choice = Expected(names);
    // Read at most 100 bytes; a longer value cannot be read, which counts as naming no USB device.
    const std::string read(v.bytes.begin(), v.bytes.end());
    const bool usb = v.present && v.bytes.size() <= 100 && Has(read.substr(0, read.find('\0')), "USB");
    const winsim::RegistryValue now = winsim::registryGetValue(kSoundMapperKey, valueName);
    Require(now.exists == v.present || (usb && !choice.other.empty()));
    if (usb && !choice.other.empty()) {
        Require(now.type == REG_SZ && winsim::registryGetString(kSoundMapperKey, valueName) == choice.other);
        Require(now.data.size() == choice.other.size() + 1);
    } else if (v.present) {
        Require(now.type == v.type && now.data == v.bytes);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz::SkypeWindow skype;
    skypeApiWindow = skype.handle();
    FuzzedDataProvider input(data, size);
    const std::vector<std::string> playback = Devices(input);
    const std::vector<std::string> recording = Devices(input);
    const Value playbackValue = MakeValue(input);
    const Value recordValue = MakeValue(input);

    // The search itself, on a copy of exactly the value's bytes.
    const std::vector<uint8_t> raw = input.ConsumeRemainingBytes<uint8_t>();
    auto exact = std::make_unique<char[]>(raw.size());
    if (!raw.empty()) std::memcpy(exact.get(), raw.data(), raw.size());
    const std::string rawText(raw.begin(), raw.end());
    Require(NamesUsbDevice(exact.get(), raw.size()) == Has(rawText.substr(0, rawText.find('\0')), "USB"));

    winsim::setPlaybackDevices(playback);
    winsim::setRecordingDevices(recording);
    winsim::registrySetValue(kSoundMapperKey, "Playback", REG_SZ, {});
    winsim::registrySetValue(kSoundMapperKey, "Record", REG_SZ, {});
    for (auto [name, v] : {std::pair{"Playback", &playbackValue}, std::pair{"Record", &recordValue}}) {
        if (v->present) {
            winsim::registrySetValue(kSoundMapperKey, name, v->type, v->bytes);
        } else {
            HKEY key = nullptr;
            RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Multimedia\\Sound Mapper", 0, KEY_WRITE,
                          &key);
            RegDeleteValueA(key, name);
            RegCloseKey(key);
        }
    }
    fuzz::SkypeWindow::Commands().clear();
    RouteAudioDevices();

    const ExpectedChoice out = Expected(playback);
    const ExpectedChoice in = Expected(recording);
    std::vector<std::string> expected;
    if (!out.handset.empty()) expected.push_back(("SET AUDIO_OUT " + out.handset).substr(0, 99));
    if (!in.handset.empty()) expected.push_back(("SET AUDIO_IN " + in.handset).substr(0, 99));
    Require(fuzz::SkypeWindow::Commands() == expected);
    RequireRouted("Playback", playbackValue, playback);
    RequireRouted("Record", recordValue, recording);
    return 0;
}
