#include "tone_player.h"

#include "audio/audio_devices.h"
#include "audio/wave_file.h"
#include "audio/wave_out_device.h"
#include "owners.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>

namespace phonedock {
namespace {

// How much longer than its length a sound may take before the device counts as gone (unplugged mid-tone):
// then playback is reset, so a silent device cannot hold the key handling for ever.
constexpr DWORD kPlaybackMarginMs = 500;

// This playback's event, shown to Stop for as long as it is open. A Stop that came before it was made
// leaves it signalled from the start, so a looping playback does not wait at all.
class PlaybackEvent {
  public:
    PlaybackEvent(std::mutex& mutex, HANDLE& shown, const bool& stopRequested)
        : mutex_(mutex),
          shown_(shown),
          stopRequested_(stopRequested),
          event_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {
        if (!event_) return;
        std::lock_guard<std::mutex> lock(mutex_);
        shown_ = event_.Get();
        if (stopRequested_) SetEvent(event_.Get());
    }
    PlaybackEvent(const PlaybackEvent&) = delete;
    PlaybackEvent& operator=(const PlaybackEvent&) = delete;
    ~PlaybackEvent() {
        if (!event_) return;
        std::lock_guard<std::mutex> lock(mutex_);
        shown_ = nullptr;
        event_.Reset();
    }

    explicit operator bool() const { return static_cast<bool>(event_); }
    HANDLE Get() const { return event_.Get(); }

    // The device signalled its opening; a Stop that came meanwhile stays signalled.
    void ForgetOpening() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!stopRequested_) ResetEvent(event_.Get());
    }

  private:
    std::mutex& mutex_;
    HANDLE& shown_;
    const bool& stopRequested_;
    owners::HandleOwner event_;
};

}  // namespace

void PlayTone(int id) {
    ToneWorker worker;
    if (worker.Load(id)) worker.Start(false);
}

void PlayDtmfTone(int index) {
    if (index >= 0 && index < static_cast<int>(std::size(kDtmfToneTable))) PlayTone(kDtmfToneTable[index]);
}

ToneWorker::ToneWorker() {
    std::memset(&header_, 0, sizeof(header_));
    std::memset(&format_, 0, sizeof(format_));
}

ToneWorker::~ToneWorker() {
    Stop();
}

bool ToneWorker::Load(int resourceId) {
    if (waveOutGetNumDevs() == 0) return false;
    // In the earpiece when the handset has a playback device, else on the first device.
    const DeviceChoice devices = ChooseAudioDevices(AudioDirection::Playback);
    deviceId_ = devices.handset ? devices.handset->id : 0;
    const HMODULE module = GetModuleHandleA(nullptr);
    const HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(resourceId), "WAVE");
    if (resource == nullptr) return false;
    const HGLOBAL loaded = LoadResource(module, resource);
    const auto* image = loaded != nullptr ? static_cast<const uint8_t*>(LockResource(loaded)) : nullptr;
    if (image == nullptr) return false;
    WaveImage wave;
    formatFound_ = false;
    header_.lpData = nullptr;
    header_.dwBufferLength = 0;
    if (!FindWaveChunks(image, SizeofResource(module, resource), wave)) return false;
    std::memset(&format_, 0, sizeof(format_));
    std::memcpy(&format_, wave.format, std::min<size_t>(wave.formatLength, sizeof(format_)));
    format_.cbSize = 0;  // PCM only: no extra format bytes follow the copy
    formatFound_ = true;
    header_.lpData = reinterpret_cast<LPSTR>(const_cast<uint8_t*>(wave.samples));
    header_.dwBufferLength = wave.sampleBytes;
    return true;
}

int ToneWorker::Start(bool loop) {
    if (playing_) return 1;
    loop_ = loop;
    if (loop) {
        playing_ = true;
        if (!StartThread()) playing_ = false;
        return 0;
    }
    Play();
    return 0;
}

void ToneWorker::Stop() {
    playing_ = false;
    {
        std::lock_guard<std::mutex> lock(eventMutex_);
        stopRequested_ = true;  // a looping playback that has not made its event yet will not wait
        if (event_ != nullptr) SetEvent(event_);
    }
    Close();
}

DWORD ToneWorker::ExpectedDurationMs() const {
    if (format_.nAvgBytesPerSec == 0) return 0;
    return static_cast<DWORD>(static_cast<uint64_t>(header_.dwBufferLength) * 1000 / format_.nAvgBytesPerSec);
}

// Plays the loaded sound once, or until Stop while looping. The event and the device are owners: whichever
// step fails, leaving here resets and closes the device, then closes the event.
MMRESULT ToneWorker::Play() {
    if (!formatFound_) return MMSYSERR_INVALPARAM;
    PlaybackEvent event(eventMutex_, event_, stopRequested_);
    if (!event) return MMSYSERR_NOMEM;
    WaveOutDevice device;
    MMRESULT result = device.Open(deviceId_, format_, event.Get());
    if (result != MMSYSERR_NOERROR) return result;

    header_.dwFlags = 0;
    header_.dwLoops = 0;
    result = device.Prepare(header_);
    if (result != MMSYSERR_NOERROR || header_.dwFlags != WHDR_PREPARED) return result;
    if (loop_) {
        header_.dwFlags = WHDR_PREPARED | WHDR_BEGINLOOP | WHDR_ENDLOOP;
        header_.dwLoops = 0xFFFFFFFF;
    }
    event.ForgetOpening();
    result = device.Write(header_);
    if (result == MMSYSERR_NOERROR) result = device.Restart();
    if (result != MMSYSERR_NOERROR) return result;

    if (loop_) {
        WaitForSingleObject(event.Get(), INFINITE);  // until Stop
    } else {
        WaitUntilPlayed(event.Get());
    }
    return result;
}

// The device signals when the buffer is done; the header is looked at only after a signal. A device that
// stays silent past the sound's length and the margin counts as gone.
void ToneWorker::WaitUntilPlayed(HANDLE event) const {
    const DWORD deadline = GetTickCount() + ExpectedDurationMs() + kPlaybackMarginMs;
    for (;;) {
        const LONG left = static_cast<LONG>(deadline - GetTickCount());
        if (left <= 0 || WaitForSingleObject(event, static_cast<DWORD>(left)) != WAIT_OBJECT_0) return;
        if ((header_.dwFlags & WHDR_DONE) != 0) return;
    }
}

}  // namespace phonedock
