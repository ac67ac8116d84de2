#include <zep3/media/detail/WaveIn.h>

#include <zep3/foundation/ThreadManager.h>
#include <zep3/platform/Event.h>
#include <zep3/platform/detail/Posix.h>

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <set>
#include <vector>

namespace zep3::detail {
namespace {

const char* const kDeviceName = "default";
const unsigned kPeriodMicroseconds = 20000;  // one read of the capture thread
const unsigned kBufferMicroseconds = 500000; // what ALSA keeps while the application is late

MMRESULT FromAlsa(int err) {
    switch (-err) {
    case ENOENT:
    case ENODEV:
    case ENXIO: return MMSYSERR_BADDEVICEID;
    case EBUSY:
    case EAGAIN: return MMSYSERR_ALLOCATED;
    case ENOMEM: return MMSYSERR_NOMEM;
    default: return MMSYSERR_ERROR;
    }
}

snd_pcm_format_t AlsaFormat(WORD tag, WORD bits) {
    if (tag == WAVE_FORMAT_PCM) {
        switch (bits) {
        case 8: return SND_PCM_FORMAT_U8;
        case 16: return SND_PCM_FORMAT_S16_LE;
        case 24: return SND_PCM_FORMAT_S24_3LE;
        case 32: return SND_PCM_FORMAT_S32_LE;
        }
    } else if (tag == WAVE_FORMAT_IEEE_FLOAT) {
        if (bits == 32) return SND_PCM_FORMAT_FLOAT_LE;
        if (bits == 64) return SND_PCM_FORMAT_FLOAT64_LE;
    }
    return SND_PCM_FORMAT_UNKNOWN;
}

// Opens the device without waiting for a busy one.
int OpenCapture(snd_pcm_t** pcm) { return snd_pcm_open(pcm, kDeviceName, SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK); }

bool Accepts(snd_pcm_t* pcm, snd_pcm_format_t format, unsigned channels, unsigned rate) {
    snd_pcm_hw_params_t* hw;
    snd_pcm_hw_params_alloca(&hw);
    return snd_pcm_hw_params_any(pcm, hw) >= 0 &&
           snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED) >= 0 &&
           snd_pcm_hw_params_set_format(pcm, hw, format) >= 0 &&
           snd_pcm_hw_params_set_channels(pcm, hw, channels) >= 0 &&
           snd_pcm_hw_params_set_rate(pcm, hw, rate, 0) >= 0;
}

// Sets the hardware parameters of an opened device; the frames of one read.
MMRESULT Configure(snd_pcm_t* pcm, const WAVEFORMATEX& f, snd_pcm_uframes_t* chunkFrames) {
    snd_pcm_hw_params_t* hw;
    snd_pcm_hw_params_alloca(&hw);
    if (snd_pcm_hw_params_any(pcm, hw) < 0 ||
        snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED) < 0 ||
        snd_pcm_hw_params_set_format(pcm, hw, AlsaFormat(f.wFormatTag, f.wBitsPerSample)) < 0 ||
        snd_pcm_hw_params_set_channels(pcm, hw, f.nChannels) < 0 ||
        snd_pcm_hw_params_set_rate(pcm, hw, f.nSamplesPerSec, 0) < 0)
        return WAVERR_BADFORMAT;
    unsigned period = kPeriodMicroseconds, buffer = kBufferMicroseconds;
    int dir = 0;
    snd_pcm_hw_params_set_buffer_time_near(pcm, hw, &buffer, &dir);
    snd_pcm_hw_params_set_period_time_near(pcm, hw, &period, &dir);
    int err = snd_pcm_hw_params(pcm, hw);
    if (err < 0) return err == -EINVAL ? WAVERR_BADFORMAT : FromAlsa(err);
    snd_pcm_uframes_t frames = 0;
    snd_pcm_hw_params_get_period_size(hw, &frames, &dir);
    *chunkFrames = std::max<snd_pcm_uframes_t>(frames, 1);
    return MMSYSERR_NOERROR;
}

class CaptureDevice {
public:
    CaptureDevice(snd_pcm_t* pcm, HANDLE event, size_t frameBytes, snd_pcm_uframes_t chunkFrames)
        : m_pcm(pcm), m_event(event), m_frameBytes(frameBytes), m_chunkFrames(chunkFrames) {}

    bool StartThread();
    // Ends the capture thread and closes ALSA.
    void Shut();

    MMRESULT Add(WAVEHDR* header);
    MMRESULT Start();
    MMRESULT Stop(bool all);
    bool IsQueued(const WAVEHDR* header);
    bool HasQueue();
    void Signal() {
        if (m_event) SetEvent(m_event);
    }

private:
    static UINT ThreadProc(void* param);
    void Run();
    // Under m_lock: the header leaves the queue as done.
    void Complete(WAVEHDR* header);

    snd_pcm_t* const m_pcm;
    const HANDLE m_event;
    const size_t m_frameBytes;
    const snd_pcm_uframes_t m_chunkFrames;
    CWinThread* m_thread = nullptr;

    std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<WAVEHDR*> m_queue; // the front one is being filled
    bool m_started = false;
    bool m_closing = false;
    unsigned m_generation = 0; // moves on at every stop: a read begun before is dropped
};

std::mutex g_devicesLock;
std::set<CaptureDevice*>& Devices() {
    static std::set<CaptureDevice*>* devices = new std::set<CaptureDevice*>;
    return *devices;
}

CaptureDevice* Find(HWAVEIN handle) {
    std::lock_guard<std::mutex> hold(g_devicesLock);
    CaptureDevice* device = reinterpret_cast<CaptureDevice*>(handle);
    return Devices().count(device) ? device : nullptr;
}

bool CaptureDevice::StartThread() {
    m_thread = CThreadManager::CreateThread(ThreadProc, this, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED, "WaveIn");
    if (!m_thread) return false;
    m_thread->m_bAutoDelete = FALSE;
    m_thread->ResumeThread();
    return true;
}

void CaptureDevice::Shut() {
    if (m_thread) {
        {
            std::lock_guard<std::mutex> hold(m_lock);
            m_closing = true;
        }
        m_wake.notify_all();
        WaitForSingleObject(m_thread->m_hThread, INFINITE);
        delete m_thread;
        m_thread = nullptr;
    }
    snd_pcm_close(m_pcm);
}

UINT CaptureDevice::ThreadProc(void* param) {
    static_cast<CaptureDevice*>(param)->Run();
    return 0;
}

// Reads one period at a time into a buffer of its own and copies it into the
// front header under the lock, so that Stop and Reset never wait for ALSA.
// Every ALSA call after the open is made here.
void CaptureDevice::Run() {
    std::vector<char> chunk(m_chunkFrames * m_frameBytes);
    bool capturing = false;
    std::unique_lock<std::mutex> hold(m_lock);
    while (!m_closing) {
        if (!m_started || m_queue.empty()) {
            if (capturing && !m_started) {
                hold.unlock();
                snd_pcm_drop(m_pcm);
                hold.lock();
                capturing = false;
            } else {
                m_wake.wait(hold);
            }
            continue;
        }
        WAVEHDR* header = m_queue.front();
        const size_t room = (header->dwBufferLength - header->dwBytesRecorded) / m_frameBytes;
        if (room == 0) {
            Complete(header);
            continue;
        }
        const unsigned generation = m_generation;
        hold.unlock();
        if (!capturing) capturing = snd_pcm_prepare(m_pcm) >= 0;
        snd_pcm_sframes_t frames = snd_pcm_readi(m_pcm, chunk.data(), std::min<size_t>(room, m_chunkFrames));
        // An overrun loses what did not fit, as on any platform; recording goes on.
        const bool failed = frames < 0 && snd_pcm_recover(m_pcm, static_cast<int>(frames), 1) < 0;
        hold.lock();
        if (failed) {
            m_started = false; // the device is gone; Stop or Reset hands the buffers back
        } else if (frames > 0 && generation == m_generation && !m_queue.empty() && m_queue.front() == header) {
            const size_t bytes = static_cast<size_t>(frames) * m_frameBytes;
            std::memcpy(header->lpData + header->dwBytesRecorded, chunk.data(), bytes);
            header->dwBytesRecorded += static_cast<DWORD>(bytes);
            if (header->dwBytesRecorded + m_frameBytes > header->dwBufferLength) Complete(header);
        }
    }
    hold.unlock();
    if (capturing) snd_pcm_drop(m_pcm);
}

void CaptureDevice::Complete(WAVEHDR* header) {
    m_queue.erase(std::find(m_queue.begin(), m_queue.end(), header));
    SetWaveHeaderFlags(header, (WaveHeaderFlags(header) & ~WHDR_INQUEUE) | WHDR_DONE);
    Signal();
}

MMRESULT CaptureDevice::Add(WAVEHDR* header) {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        const DWORD flags = WaveHeaderFlags(header);
        if (!(flags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
        if (flags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
        header->dwBytesRecorded = 0;
        SetWaveHeaderFlags(header, (flags & ~WHDR_DONE) | WHDR_INQUEUE);
        m_queue.push_back(header);
    }
    m_wake.notify_all();
    return MMSYSERR_NOERROR;
}

MMRESULT CaptureDevice::Start() {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_started = true;
    }
    m_wake.notify_all();
    return MMSYSERR_NOERROR;
}

// Stop (all false): the buffer being filled comes back when it holds sound.
// Reset (all true): every queued buffer comes back.
MMRESULT CaptureDevice::Stop(bool all) {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_started = false;
        ++m_generation;
        if (all) {
            while (!m_queue.empty()) Complete(m_queue.front());
        } else if (!m_queue.empty() && m_queue.front()->dwBytesRecorded > 0) {
            Complete(m_queue.front());
        }
    }
    m_wake.notify_all();
    return MMSYSERR_NOERROR;
}

bool CaptureDevice::IsQueued(const WAVEHDR* header) {
    std::lock_guard<std::mutex> hold(m_lock);
    return std::find(m_queue.begin(), m_queue.end(), header) != m_queue.end();
}

bool CaptureDevice::HasQueue() {
    std::lock_guard<std::mutex> hold(m_lock);
    return !m_queue.empty();
}

bool ValidHeader(const WAVEHDR* header, UINT size) {
    return header && size >= sizeof(WAVEHDR) && header->lpData && header->dwBufferLength > 0;
}

} // namespace

UINT waveInGetNumDevs() {
    snd_pcm_t* pcm = nullptr;
    if (OpenCapture(&pcm) < 0) return 0;
    snd_pcm_close(pcm);
    return 1;
}

MMRESULT waveInGetDevCaps(UINT_PTR deviceId, WAVEINCAPS* caps, UINT size) {
    if (!caps || size < sizeof(WAVEINCAPS)) return MMSYSERR_INVALPARAM;
    if (deviceId != 0 && deviceId != WAVE_MAPPER) return MMSYSERR_BADDEVICEID;
    snd_pcm_t* pcm = nullptr;
    int err = OpenCapture(&pcm);
    if (err < 0) return FromAlsa(err);
    std::memset(caps, 0, sizeof *caps);
    char* cardName = nullptr;
    snd_pcm_info_t* info;
    snd_pcm_info_alloca(&info);
    if (snd_pcm_info(pcm, info) >= 0 && snd_pcm_info_get_card(info) >= 0 &&
        snd_card_get_name(snd_pcm_info_get_card(info), &cardName) >= 0) {
        CopyText(caps->szPname, sizeof caps->szPname, cardName);
        free(cardName);
    } else {
        CopyText(caps->szPname, sizeof caps->szPname, snd_pcm_name(pcm));
    }
    static const unsigned rates[] = {11025, 22050, 44100};
    DWORD bit = WAVE_FORMAT_1M08;
    for (unsigned rate : rates)
        for (unsigned channels : {1u, 2u})
            for (snd_pcm_format_t format : {SND_PCM_FORMAT_U8, SND_PCM_FORMAT_S16_LE}) {
                if (Accepts(pcm, format, channels, rate)) caps->dwFormats |= bit;
                bit <<= 1;
            }
    snd_pcm_hw_params_t* hw;
    snd_pcm_hw_params_alloca(&hw);
    unsigned maxChannels = 0;
    if (snd_pcm_hw_params_any(pcm, hw) >= 0) snd_pcm_hw_params_get_channels_max(hw, &maxChannels);
    caps->wChannels = static_cast<WORD>(std::min(maxChannels, 2u));
    snd_pcm_close(pcm);
    return MMSYSERR_NOERROR;
}

MMRESULT waveInOpen(HWAVEIN* handle, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback,
                    DWORD_PTR /*instance*/, DWORD flags) {
    if (!handle || !format) return MMSYSERR_INVALPARAM;
    *handle = nullptr;
    if (deviceId != 0 && deviceId != WAVE_MAPPER) return MMSYSERR_BADDEVICEID;
    if (flags != CALLBACK_EVENT && flags != 0) return MMSYSERR_INVALFLAG;
    const WAVEFORMATEX& f = *format;
    const size_t frameBytes = size_t(f.nChannels) * f.wBitsPerSample / 8;
    if (AlsaFormat(f.wFormatTag, f.wBitsPerSample) == SND_PCM_FORMAT_UNKNOWN || f.nChannels == 0 ||
        f.nSamplesPerSec == 0 || f.nBlockAlign != frameBytes)
        return WAVERR_BADFORMAT;
    snd_pcm_t* pcm = nullptr;
    int err = OpenCapture(&pcm);
    if (err < 0) return FromAlsa(err);
    snd_pcm_uframes_t chunkFrames = 0;
    MMRESULT result = Configure(pcm, f, &chunkFrames);
    if (result == MMSYSERR_NOERROR && snd_pcm_nonblock(pcm, 0) < 0) result = MMSYSERR_ERROR;
    if (result != MMSYSERR_NOERROR) {
        snd_pcm_close(pcm);
        return result;
    }
    HANDLE event = flags == CALLBACK_EVENT ? reinterpret_cast<HANDLE>(callback) : nullptr;
    CaptureDevice* device = new CaptureDevice(pcm, event, frameBytes, chunkFrames);
    if (!device->StartThread()) {
        device->Shut();
        delete device;
        return MMSYSERR_NOMEM;
    }
    {
        std::lock_guard<std::mutex> hold(g_devicesLock);
        Devices().insert(device);
    }
    *handle = reinterpret_cast<HWAVEIN>(device);
    device->Signal();
    return MMSYSERR_NOERROR;
}

MMRESULT waveInPrepareHeader(HWAVEIN handle, WAVEHDR* header, UINT size) {
    if (!Find(handle)) return MMSYSERR_INVALHANDLE;
    if (!ValidHeader(header, size)) return MMSYSERR_INVALPARAM;
    SetWaveHeaderFlags(header, WaveHeaderFlags(header) | WHDR_PREPARED);
    return MMSYSERR_NOERROR;
}

MMRESULT waveInUnprepareHeader(HWAVEIN handle, WAVEHDR* header, UINT size) {
    CaptureDevice* device = Find(handle);
    if (!device) return MMSYSERR_INVALHANDLE;
    if (!header || size < sizeof(WAVEHDR)) return MMSYSERR_INVALPARAM;
    if (device->IsQueued(header)) return WAVERR_STILLPLAYING;
    SetWaveHeaderFlags(header, WaveHeaderFlags(header) & ~WHDR_PREPARED);
    return MMSYSERR_NOERROR;
}

MMRESULT waveInAddBuffer(HWAVEIN handle, WAVEHDR* header, UINT size) {
    CaptureDevice* device = Find(handle);
    if (!device) return MMSYSERR_INVALHANDLE;
    if (!ValidHeader(header, size)) return MMSYSERR_INVALPARAM;
    return device->Add(header);
}

MMRESULT waveInStart(HWAVEIN handle) {
    CaptureDevice* device = Find(handle);
    return device ? device->Start() : MMSYSERR_INVALHANDLE;
}

MMRESULT waveInStop(HWAVEIN handle) {
    CaptureDevice* device = Find(handle);
    return device ? device->Stop(false) : MMSYSERR_INVALHANDLE;
}

MMRESULT waveInReset(HWAVEIN handle) {
    CaptureDevice* device = Find(handle);
    return device ? device->Stop(true) : MMSYSERR_INVALHANDLE;
}

MMRESULT waveInClose(HWAVEIN handle) {
    CaptureDevice* device = Find(handle);
    if (!device) return MMSYSERR_INVALHANDLE;
    if (device->HasQueue()) return WAVERR_STILLPLAYING;
    {
        std::lock_guard<std::mutex> hold(g_devicesLock);
        Devices().erase(device);
    }
    device->Shut();
    device->Signal();
    delete device;
    return MMSYSERR_NOERROR;
}

} // namespace zep3::detail
