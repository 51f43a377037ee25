// The handset's own audio device and the PC's own, as the system lists its devices right now. Both the
// routing of Skype's audio and the playing of tones ask here, so they always agree on which device is the
// handset's.
#pragma once

#include "audio/device_choice.h"

namespace phonedock {

enum class AudioDirection { Playback, Recording };

// Reads the product names of every device of `direction` afresh (a device plugged in since the last call
// counts) and chooses among them; a device whose capabilities cannot be read is skipped.
DeviceChoice ChooseAudioDevices(AudioDirection direction);

}  // namespace phonedock
