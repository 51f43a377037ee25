// Key clicks and DTMF tones from the program's own WAVE resources, played on the handset's audio device when
// there is one.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include "audio/worker_thread.h"
#include "foundation/resource_ids.h"

#include <atomic>
#include <mutex>

namespace phonedock {

constexpr int KEY_CLICK_TONE = IDW_KEY_CLICK;
// The DTMF tones by symbol: '0' to '9', then '*' and '#'.
constexpr int kDtmfToneTable[12] = {
    IDW_DTMF_0, IDW_DTMF_1, IDW_DTMF_2, IDW_DTMF_3, IDW_DTMF_4,    IDW_DTMF_5,
    IDW_DTMF_6, IDW_DTMF_7, IDW_DTMF_8, IDW_DTMF_9, IDW_DTMF_STAR, IDW_DTMF_HASH,
};

// Plays WAVE resource `id` to its end on the calling thread; returns at once when it cannot be played.
void PlayTone(int id);
// Plays the DTMF tone of symbol `index` (0 to 11).
void PlayDtmfTone(int index);

// One sound: loaded from a resource, played once on the calling thread or looping on a thread of its own.
class ToneWorker : public WorkerThread {
  public:
    ToneWorker();
    ~ToneWorker() override;

    bool Load(int resourceId);
    // Plays the loaded sound: once, returning when it has ended, or (loop) repeating on the worker's thread
    // until Stop. Answers 1 when a looping sound is already playing, else 0.
    int Start(bool loop);
    void Stop();

    DWORD Run() override { return Play(); }

  private:
    MMRESULT Play();
    void WaitUntilPlayed(HANDLE event) const;
    DWORD ExpectedDurationMs() const;

    WAVEHDR header_;
    WAVEFORMATEX format_;  // a copy: the resource's format chunk may be shorter than the structure
    bool formatFound_ = false;
    std::atomic<bool> playing_{false};
    bool loop_ = false;
    UINT deviceId_ = 0;
    std::mutex eventMutex_;
    HANDLE event_ = nullptr;  // this playback's own event while it plays; the playback owns it
    bool stopRequested_ = false;
};

}  // namespace phonedock
