#include "audio_routing.h"

#include "audio/device_choice.h"
#include "owners.h"
#include "skype/skype_link.h"

#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace phonedock {
namespace {

const char kSoundMapperKey[] = "Software\\Microsoft\\Multimedia\\Sound Mapper";
constexpr DWORD kValueBufferSize = 100;

// Product names of the devices in device order; a device whose capabilities cannot be read is skipped.
template <class Caps, class Count, class GetCaps>
std::vector<std::string> DeviceNames(Count count, GetCaps getCaps) {
    std::vector<std::string> names;
    const UINT devices = count();
    for (UINT id = 0; id < devices; ++id) {
        Caps caps;
        std::memset(&caps, 0, sizeof(caps));
        if (getCaps(id, &caps, sizeof(caps)) != MMSYSERR_NOERROR) continue;
        names.emplace_back(caps.szPname, strnlen(caps.szPname, sizeof(caps.szPname)));
    }
    return names;
}

int SetSoundMapperValue(const char* valueName, const char* name, int notWritten) {
    if (name == nullptr || *name == '\0') return SOUND_MAPPER_NO_NAME;
    HKEY raw = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSoundMapperKey, 0, KEY_READ | KEY_WRITE, &raw) != ERROR_SUCCESS) {
        return SOUND_MAPPER_NO_KEY;
    }
    const owners::RegistryKeyOwner key(raw);
    char current[kValueBufferSize];
    DWORD size = sizeof(current);
    const bool read = RegQueryValueExA(key.Get(), valueName, nullptr, nullptr,
                                       reinterpret_cast<BYTE*>(current), &size) == ERROR_SUCCESS;
    int result = SOUND_MAPPER_OK;
    if (read && NamesUsbDevice(current, std::min<size_t>(size, sizeof(current)))) {
        if (RegSetValueExA(key.Get(), valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(name),
                           static_cast<DWORD>(std::strlen(name) + 1)) != ERROR_SUCCESS) {
            result = notWritten;
        }
    }
    return result;
}

}  // namespace

int SetSoundMapperPlayback(const char* name) {
    return SetSoundMapperValue("Playback", name, SOUND_MAPPER_PLAYBACK_NOT_WRITTEN);
}

int SetSoundMapperRecord(const char* name) {
    return SetSoundMapperValue("Record", name, SOUND_MAPPER_RECORD_NOT_WRITTEN);
}

int RouteAudioDevices() {
    const DeviceChoice playback =
        ChooseDevices(DeviceNames<WAVEOUTCAPSA>(waveOutGetNumDevs, waveOutGetDevCapsA));
    const DeviceChoice recording =
        ChooseDevices(DeviceNames<WAVEINCAPSA>(waveInGetNumDevs, waveInGetDevCapsA));
    int result = 0;
    if (!playback.handset.empty()) SendSkypeCommandf("SET AUDIO_OUT %s", playback.handset.c_str());
    if (!playback.other.empty()) SetSoundMapperPlayback(playback.other.c_str());
    if (!recording.handset.empty()) SendSkypeCommandf("SET AUDIO_IN %s", recording.handset.c_str());
    if (!recording.other.empty()) result = SetSoundMapperRecord(recording.other.c_str());
    return result;
}

}  // namespace phonedock
