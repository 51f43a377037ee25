#include "audio_routing.h"

#include "audio/audio_devices.h"
#include "owners.h"
#include "skype/skype_link.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <optional>

namespace phonedock {
namespace {

const char kSoundMapperKey[] = "Software\\Microsoft\\Multimedia\\Sound Mapper";
constexpr DWORD kValueBufferSize = 100;

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

// A device without a name cannot be named to Skype or to Windows.
const char* NameOf(const std::optional<AudioDevice>& device) {
    return device && !device->name.empty() ? device->name.c_str() : nullptr;
}

}  // namespace

int SetSoundMapperPlayback(const char* name) {
    return SetSoundMapperValue("Playback", name, SOUND_MAPPER_PLAYBACK_NOT_WRITTEN);
}

int SetSoundMapperRecord(const char* name) {
    return SetSoundMapperValue("Record", name, SOUND_MAPPER_RECORD_NOT_WRITTEN);
}

int RouteAudioDevices() {
    const DeviceChoice playback = ChooseAudioDevices(AudioDirection::Playback);
    const DeviceChoice recording = ChooseAudioDevices(AudioDirection::Recording);
    int result = 0;
    if (const char* name = NameOf(playback.handset)) SendSkypeCommandf("SET AUDIO_OUT %s", name);
    if (const char* name = NameOf(playback.other)) SetSoundMapperPlayback(name);
    if (const char* name = NameOf(recording.handset)) SendSkypeCommandf("SET AUDIO_IN %s", name);
    if (const char* name = NameOf(recording.other)) result = SetSoundMapperRecord(name);
    return result;
}

}  // namespace phonedock
