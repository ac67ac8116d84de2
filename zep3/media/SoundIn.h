#pragma once
/// @class CSoundIn
/// Records from the system's default wave-input device (ALSA's
/// "default" capture device) into one or two fixed buffers and hands each
/// filled buffer to OnData on a worker thread named "SoundIn", registered with
/// the thread registry. Derive from it and override OnData, OnOpen, OnClose.
///
///     Open(1, 8000, 16, WAVE_FORMAT_PCM);   // 0: open (or no device at all)
///     CreateBuffers(8000, true);            // two buffers of one second each
///     Record();                             // OnOpen, then OnData(0), OnData(1), OnData(0)...
///     Stop();                               // the buffer being filled arrives once more
///     Close();                              // OnClose
///
/// Results are 0 or the platform's wave-input error (MMSYSERR_*, WAVERR_*).
/// Open on a machine without an input device returns 0 and opens nothing;
/// CreateBuffers then answers (unsigned)-1.
///
/// OnData runs on the worker thread while the object's lock is held; the
/// header stays valid until Close. In loop mode each full buffer is queued
/// again after OnData returns; a partly filled one (handed back by Stop) is
/// not. Every buffer is handed over once per filling, also when the device
/// finished two before the worker woke. A handler may call Stop (the lock is
/// re-entrant) but must not call Close, nor make another thread call them and
/// wait for it.
///
/// Close (and the destructor) gives the worker one second to end before it is
/// ended by force, and has the device return its buffers before freeing
/// them. The destructor runs Stop and Close; as in any C++ destructor,
/// OnClose is then the base's, so a derived class that wants its own OnClose
/// calls Close in its destructor.
#include <zep3/media/MMSystem.h>
#include <zep3/platform/Array.h>
#include <zep3/platform/CriticalSection.h>
#include <zep3/platform/Export.h>
#include <zep3/platform/WinThread.h>

#include <atomic>

class ZEP3_API CSoundIn {
public:
    CSoundIn();
    virtual ~CSoundIn();
    CSoundIn(const CSoundIn&) = delete;
    CSoundIn& operator=(const CSoundIn&) = delete;

    /// Starts the worker and opens the device with this format (average bytes
    /// per second and block align computed from it). An object already open
    /// is closed first. The worker keeps running after a failed device open
    /// until Close.
    unsigned int Open(int channels, int samplesPerSecond, int bitsPerSample, unsigned short formatTag);
    /// Queues one buffer of samplesPerBuffer samples per channel (two when
    /// loop). MMSYSERR_INVALPARAM for a size below one byte, MMSYSERR_NOMEM
    /// when it cannot be allocated.
    unsigned int CreateBuffers(int samplesPerBuffer, bool loop);
    /// Starts the device; OnOpen on success.
    unsigned int Record();
    /// Stops the device and resets it: the queued buffers return as done.
    void Stop();
    /// Ends the worker, frees the buffers, calls OnClose, closes the device.
    void Close();

protected:
    /// Hands the expected buffer(s) to OnData when the device has finished
    /// them; which buffer is next is kept by the object, so the argument is
    /// only informative (the worker passes null).
    void BufferFilled(WAVEHDR* header);
    static UINT WaveInThreadProc(void* param);

    virtual void OnData(WAVEHDR* header);
    virtual void OnOpen();
    virtual void OnClose();

    std::atomic<bool> m_bRunning;
    CWinThread* m_pThread;
    HANDLE m_hEvent; ///< auto-reset; the device signals it
    int m_NextBuffer;
    WAVEINCAPS m_WaveInCaps;
    HWAVEIN m_hWaveIn;
    WAVEFORMATEX m_Format;
    CArray<WAVEHDR*, WAVEHDR*> m_WaveHeaders; ///< owned
    CArray<char*, char*> m_Buffers;           ///< owned, in step with m_WaveHeaders
    bool m_bLoop;
    CCriticalSection m_CriticalSection;
};
