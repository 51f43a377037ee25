// Pointing Skype's audio at the handset, and keeping Windows' own default devices off it.
#pragma once

namespace phonedock {

// Result codes of the Sound Mapper operations.
constexpr int SOUND_MAPPER_OK = 0;
constexpr int SOUND_MAPPER_NO_NAME = -10;
constexpr int SOUND_MAPPER_NO_KEY = -20;
constexpr int SOUND_MAPPER_PLAYBACK_NOT_WRITTEN = -30;
constexpr int SOUND_MAPPER_RECORD_NOT_WRITTEN = -40;

// Tells Skype to use the handset's playback and recording devices, and moves Windows' defaults to the PC's
// own devices where they name a USB device. Returns SetSoundMapperRecord's code when that ran, else 0.
int RouteAudioDevices();

// Rewrites Windows' default playback (recording) device with `name` when the current default names a USB
// device.
int SetSoundMapperPlayback(const char* name);
int SetSoundMapperRecord(const char* name);

}  // namespace phonedock
