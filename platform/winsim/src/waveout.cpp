// Wave-out playback: open devices, their queues of buffers, and the clock that plays them. A buffer written
// to a device "plays" for its real duration; then the playback clock, a thread of winsim's own that sleeps
// until the next buffer is due (it holds bigLock only to return buffers, never while it waits), marks it
// WHDR_DONE and signals the device's event. Every buffer written is recorded for the control API.
#include "internal.h"

#include <mmsystem.h>
#include <winsim/control.h>

#include <deque>
#include <map>
#include <set>
#include <thread>

namespace winsim::detail {
namespace {

using Micros = std::chrono::microseconds;

// A buffer that would play this long or longer plays until reset.
constexpr Micros kForever = std::chrono::hours(24 * 365 * 100);
constexpr DWORD kLoopForever = 0xFFFFFFFF;
constexpr size_t kRecordedBytes = 16;

// The PCM formats the simulated devices play.
constexpr DWORD kLowestRate = 8000;
constexpr DWORD kHighestRate = 192000;

struct QueuedBuffer {
    WAVEHDR* header = nullptr;
    size_t record = 0;  // index in the playbacks
    Micros left{0};     // playing time still to go, every loop counted (kForever: until reset)
};

struct OpenDevice {
    UINT deviceId = 0;
    WAVEFORMATEX format{};
    DWORD callbackType = CALLBACK_NULL;
    HANDLE event = nullptr;
    bool paused = false;
    Clock::time_point since;         // when the first buffer of the queue began or went on playing
    std::deque<QueuedBuffer> queue;  // in the order written; the first one plays
};

struct WaveOutState {
    std::map<uintptr_t, std::shared_ptr<OpenDevice>> open;  // by handle value
    std::vector<WaveOutPlayback> playbacks;
    std::map<UINT, UINT> openFailures;  // device -> the error waveOutOpen answers
    std::set<UINT> stalled;             // devices that never finish a buffer
};

WaveOutState& state() {
    static auto& s = *new WaveOutState;
    return s;
}

// Handle values are never reused, not even across winsim::reset, so a stale HWAVEOUT finds nothing.
uintptr_t nextHandleValue = 0x5A000;

// Forgets the devices without touching their headers: the memory may be gone.
ResetHook waveOutReset([] { state() = WaveOutState{}; });

DWORD tickOf(Clock::time_point at) {
    return static_cast<DWORD>(
        std::chrono::duration_cast<std::chrono::milliseconds>(at.time_since_epoch()).count());
}

bool playableFormat(const WAVEFORMATEX& f) {
    if (f.wFormatTag != WAVE_FORMAT_PCM || f.nChannels < 1 || f.nChannels > 2) return false;
    if (f.wBitsPerSample != 8 && f.wBitsPerSample != 16) return false;
    if (f.nSamplesPerSec < kLowestRate || f.nSamplesPerSec > kHighestRate) return false;
    return f.nBlockAlign == f.nChannels * f.wBitsPerSample / 8 &&
           f.nAvgBytesPerSec == f.nSamplesPerSec * f.nBlockAlign;
}

// How long a buffer plays, every loop counted.
Micros playingTime(DWORD bytes, DWORD bytesPerSecond, DWORD loops) {
    if (loops == kLoopForever) return kForever;
    const uint64_t once = static_cast<uint64_t>(bytes) * 1000000 / bytesPerSecond;
    if (once != 0 && loops > static_cast<uint64_t>(kForever.count()) / once) return kForever;
    return std::min(Micros(static_cast<Micros::rep>(once * loops)), kForever);
}

uint64_t fnv1a(const uint8_t* data, size_t size) {
    uint64_t hash = 0xcbf29ce484222325ULL;
    for (size_t i = 0; i < size; ++i) {
        hash ^= data[i];
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

std::shared_ptr<OpenDevice> findDevice(HWAVEOUT handle) {
    auto it = state().open.find(reinterpret_cast<uintptr_t>(handle));
    return it == state().open.end() ? nullptr : it->second;
}

// WOM_OPEN, WOM_DONE and WOM_CLOSE. An event that the program closed meanwhile is not signalled.
void callBack(const OpenDevice& d) {
    if (d.callbackType != CALLBACK_EVENT) return;
    if (auto event = lookupHandleAs<Event>(d.event)) signalEvent(*event);
}

// The first buffer of the queue begins (or goes on) playing at `at`, unless the device is paused.
void playFirst(OpenDevice& d, Clock::time_point at) {
    if (d.queue.empty() || d.paused) return;
    d.since = at;
    WaveOutPlayback& record = state().playbacks[d.queue.front().record];
    if (!record.started) {
        record.started = true;
        record.startTime = tickOf(at);
    }
}

// Hands the first buffer of the queue back to the program, done.
void returnFirst(OpenDevice& d, PlaybackEnd end, Clock::time_point at) {
    const QueuedBuffer b = d.queue.front();
    d.queue.pop_front();
    b.header->dwFlags = (b.header->dwFlags & ~static_cast<DWORD>(WHDR_INQUEUE)) | WHDR_DONE;
    WaveOutPlayback& record = state().playbacks[b.record];
    record.end = end;
    record.endTime = tickOf(at);
    callBack(d);
    stateChanged().notify_all();  // waitForWaveOutPlaybacks looks at the records again
}

// Returns every buffer that has played to its end by `now`, the next one of the queue following at once;
// answers when the next buffer will have played (max: none is due to end).
Clock::time_point returnPlayedBuffers(Clock::time_point now) {
    auto next = Clock::time_point::max();
    for (auto& [value, d] : state().open) {
        if (state().stalled.count(d->deviceId) != 0) continue;
        while (!d->paused && !d->queue.empty() && d->queue.front().left < kForever) {
            const auto due = d->since + d->queue.front().left;
            if (due > now) {
                next = std::min(next, due);
                break;
            }
            returnFirst(*d, PlaybackEnd::PlayedToEnd, due);
            playFirst(*d, due);
        }
    }
    return next;
}

// The thread that returns played buffers. It waits on stateChanged, so every change to the simulated
// system (a buffer written, a device restarted) makes it work out its next wake-up again.
class PlaybackClock {
  public:
    static PlaybackClock& instance() {
        // bigLock must outlive the clock, which joins its thread when the program ends.
        (void)bigLock();
        static PlaybackClock clock;
        return clock;
    }

    // Requires bigLock.
    void ensureRunning() {
        if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
    }

    ~PlaybackClock() {
        {
            Lock lock(bigLock());
            stop_ = true;
            stateChanged().notify_all();
        }
        if (thread_.joinable()) thread_.join();
    }

  private:
    PlaybackClock() = default;

    void run() {
        markSimulatorThread();
        Lock lock(bigLock());
        while (!stop_) {
            const auto next = returnPlayedBuffers(Clock::now());
            if (next == Clock::time_point::max()) {
                stateChanged().wait(lock);
            } else {
                stateChanged().wait_until(lock, next);
            }
        }
    }

    bool stop_ = false;
    std::thread thread_;
};

MMRESULT checkHeader(LPWAVEHDR header, UINT size) {
    return header == nullptr || size < sizeof(WAVEHDR) ? MMSYSERR_INVALPARAM : MMSYSERR_NOERROR;
}

bool hasFlag(const WAVEHDR& header, DWORD flag) {
    return (header.dwFlags & flag) != 0;
}

// Records a buffer as it is written.
size_t record(const OpenDevice& d, const WAVEHDR& header, DWORD loops) {
    WaveOutPlayback p;
    p.deviceId = d.deviceId;
    p.formatTag = d.format.wFormatTag;
    p.channels = d.format.nChannels;
    p.samplesPerSecond = d.format.nSamplesPerSec;
    p.avgBytesPerSecond = d.format.nAvgBytesPerSec;
    p.blockAlign = d.format.nBlockAlign;
    p.bitsPerSample = d.format.wBitsPerSample;
    p.bytes = header.dwBufferLength;
    const auto* bytes = reinterpret_cast<const uint8_t*>(header.lpData);
    if (bytes != nullptr) {
        p.firstBytes.assign(bytes, bytes + std::min<size_t>(header.dwBufferLength, kRecordedBytes));
        p.hash = fnv1a(bytes, header.dwBufferLength);
    } else {
        p.hash = fnv1a(nullptr, 0);
    }
    p.loops = loops;
    state().playbacks.push_back(std::move(p));
    return state().playbacks.size() - 1;
}

}  // namespace
}  // namespace winsim::detail

using namespace winsim::detail;

namespace winsim {

std::vector<WaveOutPlayback> waveOutPlaybacks() {
    Lock lock(bigLock());
    return state().playbacks;
}

bool waitForWaveOutPlaybacks(size_t count, DWORD milliseconds) {
    Lock lock(bigLock());
    const auto settled = [count] {
        const auto& all = state().playbacks;
        return all.size() >= count && std::none_of(all.begin(), all.end(), [](const WaveOutPlayback& p) {
                   return p.end == PlaybackEnd::Pending;
               });
    };
    return waitLocked(lock, {}, false, milliseconds, settled) != WAIT_TIMEOUT;
}

size_t openWaveOutCount() {
    Lock lock(bigLock());
    return state().open.size();
}

void failPlaybackDeviceOpen(UINT device, UINT error) {
    Lock lock(bigLock());
    state().openFailures[device] = error;
}

void stallPlaybackDevice(UINT device, bool stalled) {
    Lock lock(bigLock());
    if (stalled) {
        state().stalled.insert(device);
    } else {
        state().stalled.erase(device);
    }
    stateChanged().notify_all();  // the playback clock looks at the device again
}

}  // namespace winsim

extern "C" {

MMRESULT WINAPI waveOutOpen(LPHWAVEOUT phwo, UINT uDeviceID, LPCWAVEFORMATEX pwfx, DWORD_PTR dwCallback,
                            DWORD_PTR, DWORD fdwOpen) {
    const bool query = (fdwOpen & WAVE_FORMAT_QUERY) != 0;
    if (phwo != nullptr) *phwo = nullptr;
    if ((phwo == nullptr && !query) || pwfx == nullptr) return MMSYSERR_INVALPARAM;
    const UINT devices = waveOutGetNumDevs();
    const UINT device = uDeviceID == WAVE_MAPPER ? 0 : uDeviceID;
    if (device >= devices) return MMSYSERR_BADDEVICEID;

    Lock lock(bigLock());
    if (auto failure = state().openFailures.find(device);
        failure != state().openFailures.end() && failure->second != MMSYSERR_NOERROR) {
        return failure->second;
    }
    if (!playableFormat(*pwfx)) return WAVERR_BADFORMAT;
    if (query) return MMSYSERR_NOERROR;
    const DWORD callbackType = fdwOpen & CALLBACK_TYPEMASK;
    switch (callbackType) {
        case CALLBACK_NULL: break;
        case CALLBACK_EVENT:
            if (!lookupHandleAs<Event>(reinterpret_cast<HANDLE>(dwCallback))) return MMSYSERR_INVALPARAM;
            break;
        case CALLBACK_WINDOW:
        case CALLBACK_THREAD:
        case CALLBACK_FUNCTION: return MMSYSERR_NOTSUPPORTED;
        default: return MMSYSERR_INVALFLAG;
    }
    auto d = std::make_shared<OpenDevice>();
    d->deviceId = device;
    d->format = *pwfx;
    d->format.cbSize = 0;  // PCM carries nothing beyond the basic format
    d->callbackType = callbackType;
    d->event = reinterpret_cast<HANDLE>(dwCallback);
    const uintptr_t value = nextHandleValue;
    nextHandleValue += 4;
    state().open.emplace(value, d);
    *phwo = reinterpret_cast<HWAVEOUT>(value);
    callBack(*d);  // WOM_OPEN
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutPrepareHeader(HWAVEOUT hwo, LPWAVEHDR pwh, UINT cbwh) {
    Lock lock(bigLock());
    if (!findDevice(hwo)) return MMSYSERR_INVALHANDLE;
    if (const MMRESULT bad = checkHeader(pwh, cbwh); bad != MMSYSERR_NOERROR) return bad;
    if (pwh->lpData == nullptr && pwh->dwBufferLength > 0) return MMSYSERR_INVALPARAM;
    if (hasFlag(*pwh, WHDR_INQUEUE)) return WAVERR_STILLPLAYING;
    if (hasFlag(*pwh, WHDR_PREPARED)) return MMSYSERR_NOERROR;
    pwh->dwFlags = (pwh->dwFlags | WHDR_PREPARED) & ~static_cast<DWORD>(WHDR_DONE);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutUnprepareHeader(HWAVEOUT hwo, LPWAVEHDR pwh, UINT cbwh) {
    Lock lock(bigLock());
    if (!findDevice(hwo)) return MMSYSERR_INVALHANDLE;
    if (const MMRESULT bad = checkHeader(pwh, cbwh); bad != MMSYSERR_NOERROR) return bad;
    if (hasFlag(*pwh, WHDR_INQUEUE)) return WAVERR_STILLPLAYING;
    pwh->dwFlags &= ~static_cast<DWORD>(WHDR_PREPARED);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutWrite(HWAVEOUT hwo, LPWAVEHDR pwh, UINT cbwh) {
    Lock lock(bigLock());
    auto d = findDevice(hwo);
    if (!d) return MMSYSERR_INVALHANDLE;
    if (const MMRESULT bad = checkHeader(pwh, cbwh); bad != MMSYSERR_NOERROR) return bad;
    if (!hasFlag(*pwh, WHDR_PREPARED)) return WAVERR_UNPREPARED;
    if (hasFlag(*pwh, WHDR_INQUEUE)) return WAVERR_STILLPLAYING;
    const bool loops = hasFlag(*pwh, WHDR_BEGINLOOP) && hasFlag(*pwh, WHDR_ENDLOOP);
    const DWORD times = loops && pwh->dwLoops != 0 ? pwh->dwLoops : 1;
    pwh->dwFlags = (pwh->dwFlags & ~static_cast<DWORD>(WHDR_DONE)) | WHDR_INQUEUE;
    QueuedBuffer b;
    b.header = pwh;
    b.record = record(*d, *pwh, times);
    b.left = playingTime(pwh->dwBufferLength, d->format.nAvgBytesPerSec, times);
    d->queue.push_back(b);
    if (d->queue.size() == 1) playFirst(*d, Clock::now());
    PlaybackClock::instance().ensureRunning();
    stateChanged().notify_all();
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutPause(HWAVEOUT hwo) {
    Lock lock(bigLock());
    auto d = findDevice(hwo);
    if (!d) return MMSYSERR_INVALHANDLE;
    if (d->paused) return MMSYSERR_NOERROR;
    if (!d->queue.empty() && d->queue.front().left < kForever) {
        Micros& left = d->queue.front().left;
        left -= std::min(left, std::chrono::duration_cast<Micros>(Clock::now() - d->since));
    }
    d->paused = true;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutRestart(HWAVEOUT hwo) {
    Lock lock(bigLock());
    auto d = findDevice(hwo);
    if (!d) return MMSYSERR_INVALHANDLE;
    if (!d->paused) return MMSYSERR_NOERROR;
    d->paused = false;
    playFirst(*d, Clock::now());
    stateChanged().notify_all();
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutReset(HWAVEOUT hwo) {
    Lock lock(bigLock());
    auto d = findDevice(hwo);
    if (!d) return MMSYSERR_INVALHANDLE;
    const auto now = Clock::now();
    while (!d->queue.empty()) returnFirst(*d, winsim::PlaybackEnd::Reset, now);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutClose(HWAVEOUT hwo) {
    Lock lock(bigLock());
    auto d = findDevice(hwo);
    if (!d) return MMSYSERR_INVALHANDLE;
    if (!d->queue.empty()) return WAVERR_STILLPLAYING;
    state().open.erase(reinterpret_cast<uintptr_t>(hwo));
    callBack(*d);  // WOM_CLOSE
    return MMSYSERR_NOERROR;
}

}  // extern "C"
