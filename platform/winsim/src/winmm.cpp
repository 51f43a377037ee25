// Waveform audio devices: the playback (waveOut) and recording (waveIn) device lists that the control API
// sets, and their capabilities.
#include "internal.h"

#include <mmsystem.h>
#include <winsim/control.h>

#include <cstring>

namespace winsim::detail {
namespace {

struct AudioDevice {
    std::string name;  // at most MAXPNAMELEN - 1 characters
    MMRESULT capsError = MMSYSERR_NOERROR;
};

struct WinmmState {
    std::vector<AudioDevice> playback;
    std::vector<AudioDevice> recording;
};

WinmmState& state() {
    static WinmmState& s = *new WinmmState;
    return s;
}

ResetHook winmmReset([] { state() = WinmmState{}; });

std::vector<AudioDevice> devicesNamed(const std::vector<std::string>& names) {
    std::vector<AudioDevice> devices;
    for (const std::string& name : names)
        devices.push_back({name.substr(0, MAXPNAMELEN - 1), MMSYSERR_NOERROR});
    return devices;
}

// What every simulated device reports beside its name: a WDM audio driver that plays and records all the
// standard PCM formats in stereo.
constexpr WORD kManufacturerId = 1;  // MM_MICROSOFT
constexpr WORD kPlaybackProductId = 100;
constexpr WORD kRecordingProductId = 101;
constexpr MMVERSION kDriverVersion = 0x0500;
constexpr DWORD kAllFormats = 0x000FFFFF;

// Copies a device's capabilities into the caller's structure, as far as its given size reaches, as Windows
// does. `full` is the whole structure as filled for the device.
template <class Caps>
MMRESULT deviceCaps(std::vector<AudioDevice>& devices, UINT_PTR id, Caps* caps, UINT size, Caps full) {
    if (caps == nullptr) return MMSYSERR_INVALPARAM;
    Lock lock(bigLock());
    if (id >= devices.size()) return MMSYSERR_BADDEVICEID;
    const AudioDevice& device = devices[id];
    if (device.capsError != MMSYSERR_NOERROR) return device.capsError;
    std::memcpy(full.szPname, device.name.c_str(), device.name.size() + 1);
    std::memcpy(caps, &full, std::min<size_t>(size, sizeof(Caps)));
    return MMSYSERR_NOERROR;
}

void failCaps(std::vector<AudioDevice>& devices, UINT device, UINT error) {
    if (device < devices.size()) devices[device].capsError = error;
}

}  // namespace
}  // namespace winsim::detail

using namespace winsim::detail;

namespace winsim {

void setPlaybackDevices(const std::vector<std::string>& productNames) {
    Lock lock(bigLock());
    state().playback = devicesNamed(productNames);
}

void setRecordingDevices(const std::vector<std::string>& productNames) {
    Lock lock(bigLock());
    state().recording = devicesNamed(productNames);
}

void failPlaybackDeviceCaps(UINT device, UINT error) {
    Lock lock(bigLock());
    failCaps(state().playback, device, error);
}

void failRecordingDeviceCaps(UINT device, UINT error) {
    Lock lock(bigLock());
    failCaps(state().recording, device, error);
}

}  // namespace winsim

extern "C" {

UINT WINAPI waveOutGetNumDevs(void) {
    Lock lock(bigLock());
    return static_cast<UINT>(state().playback.size());
}

UINT WINAPI waveInGetNumDevs(void) {
    Lock lock(bigLock());
    return static_cast<UINT>(state().recording.size());
}

MMRESULT WINAPI waveOutGetDevCapsA(UINT_PTR uDeviceID, LPWAVEOUTCAPSA pwoc, UINT cbwoc) {
    WAVEOUTCAPSA full{};
    full.wMid = kManufacturerId;
    full.wPid = kPlaybackProductId;
    full.vDriverVersion = kDriverVersion;
    full.dwFormats = kAllFormats;
    full.wChannels = 2;
    full.dwSupport = WAVECAPS_VOLUME | WAVECAPS_LRVOLUME | WAVECAPS_SAMPLEACCURATE;
    return deviceCaps(state().playback, uDeviceID, pwoc, cbwoc, full);
}

MMRESULT WINAPI waveInGetDevCapsA(UINT_PTR uDeviceID, LPWAVEINCAPSA pwic, UINT cbwic) {
    WAVEINCAPSA full{};
    full.wMid = kManufacturerId;
    full.wPid = kRecordingProductId;
    full.vDriverVersion = kDriverVersion;
    full.dwFormats = kAllFormats;
    full.wChannels = 2;
    return deviceCaps(state().recording, uDeviceID, pwic, cbwic, full);
}

}  // extern "C"
