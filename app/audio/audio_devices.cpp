#include "audio_devices.h"

#include <windows.h>
#include <mmsystem.h>

#include <cstring>

namespace phonedock {
namespace {

template <class Caps, class Count, class GetCaps>
std::vector<AudioDevice> ListDevices(Count count, GetCaps getCaps) {
    std::vector<AudioDevice> devices;
    const UINT total = count();
    for (UINT id = 0; id < total; ++id) {
        Caps caps;
        std::memset(&caps, 0, sizeof(caps));
        if (getCaps(id, &caps, sizeof(caps)) != MMSYSERR_NOERROR) continue;
        devices.push_back({id, std::string(caps.szPname, strnlen(caps.szPname, sizeof(caps.szPname)))});
    }
    return devices;
}

}  // namespace

DeviceChoice ChooseAudioDevices(AudioDirection direction) {
    if (direction == AudioDirection::Playback) {
        return ChooseDevices(ListDevices<WAVEOUTCAPSA>(waveOutGetNumDevs, waveOutGetDevCapsA));
    }
    return ChooseDevices(ListDevices<WAVEINCAPSA>(waveInGetNumDevs, waveInGetDevCapsA));
}

}  // namespace phonedock
