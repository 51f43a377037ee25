// A waveform output device opened for one playback, and the header prepared on it. Letting it go resets
// the device, unprepares the header if it is still prepared, and closes the device, in that order; a device
// that did not open is left alone.
#pragma once

#include <windows.h>
#include <mmsystem.h>

namespace phonedock {

class WaveOutDevice {
  public:
    WaveOutDevice() = default;
    WaveOutDevice(const WaveOutDevice&) = delete;
    WaveOutDevice& operator=(const WaveOutDevice&) = delete;
    ~WaveOutDevice() { Close(); }

    // Opens device `id` for `format`, signalling `event` when the device opens, closes or is done with a
    // buffer.
    MMRESULT Open(UINT id, const WAVEFORMATEX& format, HANDLE event) {
        HWAVEOUT opened = nullptr;
        const MMRESULT result =
            waveOutOpen(&opened, id, &format, reinterpret_cast<DWORD_PTR>(event), 0, CALLBACK_EVENT);
        if (result == MMSYSERR_NOERROR) device_ = opened;
        return result;
    }

    // The header is remembered whatever the answer, so that closing unprepares it whenever it ended up
    // prepared.
    MMRESULT Prepare(WAVEHDR& header) {
        header_ = &header;
        return waveOutPrepareHeader(device_, &header, sizeof(header));
    }
    MMRESULT Write(WAVEHDR& header) { return waveOutWrite(device_, &header, sizeof(header)); }
    MMRESULT Restart() { return waveOutRestart(device_); }

    void Close() {
        if (device_ == nullptr) return;
        waveOutReset(device_);  // hands back a buffer still playing, so its header can be unprepared
        if (header_ != nullptr && (header_->dwFlags & WHDR_PREPARED) != 0) {
            waveOutUnprepareHeader(device_, header_, sizeof(*header_));
        }
        waveOutClose(device_);
        device_ = nullptr;
        header_ = nullptr;
    }

  private:
    HWAVEOUT device_ = nullptr;
    WAVEHDR* header_ = nullptr;
};

}  // namespace phonedock
