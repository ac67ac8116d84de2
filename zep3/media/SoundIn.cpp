#include <zep3/media/SoundIn.h>

#include <zep3/foundation/ThreadManager.h>
#include <zep3/media/detail/WaveIn.h>
#include <zep3/platform/Event.h>
#include <zep3/platform/SingleLock.h>

#include <new>

using namespace zep3::detail;

namespace {
const DWORD kThreadEndMilliseconds = 1000;
}

CSoundIn::CSoundIn()
    : m_bRunning(false), m_pThread(nullptr), m_hEvent(nullptr), m_NextBuffer(0), m_WaveInCaps(), m_hWaveIn(nullptr),
      m_Format(), m_bLoop(false) {}

CSoundIn::~CSoundIn() {
    // Not under the lock for the whole way: the worker may need it to end.
    Stop();
    Close();
}

unsigned int CSoundIn::Open(int channels, int samplesPerSecond, int bitsPerSample, unsigned short formatTag) {
    if (m_pThread || m_hWaveIn) Close();
    CSingleLock lock(&m_CriticalSection, true);
    if (waveInGetNumDevs() == 0) return MMSYSERR_NOERROR;
    waveInGetDevCaps(0, &m_WaveInCaps, sizeof m_WaveInCaps);

    m_Format.wFormatTag = formatTag;
    m_Format.nChannels = static_cast<WORD>(channels);
    m_Format.nSamplesPerSec = static_cast<DWORD>(samplesPerSecond);
    const long long frameBits = static_cast<long long>(channels) * bitsPerSample;
    m_Format.nAvgBytesPerSec = static_cast<DWORD>(frameBits * samplesPerSecond / 8);
    m_Format.nBlockAlign = static_cast<WORD>(frameBits / 8);
    m_Format.wBitsPerSample = static_cast<WORD>(bitsPerSample);
    m_Format.cbSize = 0;

    m_bRunning = true;
    m_hEvent = CreateEvent(nullptr, FALSE, FALSE, nullptr);
    m_pThread = CThreadManager::CreateThread(WaveInThreadProc, this, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED,
                                             "SoundIn");
    if (m_pThread) {
        m_pThread->m_bAutoDelete = FALSE;
        m_pThread->ResumeThread();
    }
    return waveInOpen(&m_hWaveIn, WAVE_MAPPER, &m_Format, reinterpret_cast<DWORD_PTR>(m_hEvent), 0, CALLBACK_EVENT);
}

unsigned int CSoundIn::CreateBuffers(int samplesPerBuffer, bool loop) {
    CSingleLock lock(&m_CriticalSection, true);
    if (!m_hWaveIn) return static_cast<unsigned int>(-1);
    const long long size = static_cast<long long>(m_Format.wBitsPerSample) * m_Format.nChannels * samplesPerBuffer / 8;
    if (size < 1 || size > 0x7FFFFFFF) return MMSYSERR_INVALPARAM;
    m_NextBuffer = 0;
    m_bLoop = loop;
    for (int i = 0; i < (loop ? 2 : 1); ++i) {
        char* block = new (std::nothrow) char[static_cast<size_t>(size)];
        WAVEHDR* header = new (std::nothrow) WAVEHDR();
        if (!block || !header) {
            delete[] block;
            delete header;
            return MMSYSERR_NOMEM;
        }
        m_WaveHeaders.Add(header);
        m_Buffers.Add(block);
        header->lpData = block;
        header->dwBufferLength = static_cast<DWORD>(size);
        header->dwFlags = 0;
        MMRESULT result = waveInPrepareHeader(m_hWaveIn, header, sizeof(WAVEHDR));
        if (result != MMSYSERR_NOERROR) return result;
        if (!(WaveHeaderFlags(header) & WHDR_PREPARED)) {
            Stop();
            return MMSYSERR_NOERROR;
        }
        header->dwUser = static_cast<DWORD_PTR>(i);
        result = waveInAddBuffer(m_hWaveIn, header, sizeof(WAVEHDR));
        if (result != MMSYSERR_NOERROR) return result;
    }
    return MMSYSERR_NOERROR;
}

unsigned int CSoundIn::Record() {
    CSingleLock lock(&m_CriticalSection, true);
    MMRESULT result = waveInStart(m_hWaveIn);
    if (result == MMSYSERR_NOERROR) OnOpen();
    return result;
}

void CSoundIn::Stop() {
    CSingleLock lock(&m_CriticalSection, true);
    if (!m_hWaveIn) return;
    waveInStop(m_hWaveIn);
    waveInReset(m_hWaveIn);
}

void CSoundIn::Close() {
    if (m_pThread) {
        m_bRunning = false;
        SetEvent(m_hEvent);
        if (WaitForSingleObject(m_pThread->m_hThread, kThreadEndMilliseconds) != WAIT_OBJECT_0)
            CThreadManager::TerminateThread(m_pThread->m_nThreadID, 0);
        delete m_pThread;
        m_pThread = nullptr;
    }
    if (m_hEvent) {
        CloseHandle(m_hEvent);
        m_hEvent = nullptr;
    }
    {
        // The device lets go of every buffer before they are freed.
        CSingleLock lock(&m_CriticalSection, true);
        if (m_hWaveIn) waveInReset(m_hWaveIn);
        for (INT_PTR i = 0; i < m_WaveHeaders.GetSize(); ++i) {
            if (m_hWaveIn) waveInUnprepareHeader(m_hWaveIn, m_WaveHeaders[i], sizeof(WAVEHDR));
            delete m_WaveHeaders[i];
            delete[] m_Buffers[i];
        }
        m_WaveHeaders.RemoveAll();
        m_Buffers.RemoveAll();
        m_NextBuffer = 0;
    }
    OnClose();
    CSingleLock lock(&m_CriticalSection, true);
    if (m_hWaveIn) {
        waveInClose(m_hWaveIn);
        m_hWaveIn = nullptr;
    }
}

// WHDR_DONE is cleared once the buffer is handed over, so that no wake-up
// hands the same filling twice; a full buffer in loop mode is queued again
// and the next one is looked at at once, since one event may stand for two
// finished buffers.
void CSoundIn::BufferFilled(WAVEHDR* /*header*/) {
    CSingleLock lock(&m_CriticalSection, true);
    const INT_PTR count = m_WaveHeaders.GetSize();
    while (m_NextBuffer < count) {
        WAVEHDR* next = m_WaveHeaders[m_NextBuffer];
        const DWORD flags = WaveHeaderFlags(next);
        if (!(flags & WHDR_DONE)) return;
        OnData(next);
        SetWaveHeaderFlags(next, WaveHeaderFlags(next) & ~WHDR_DONE);
        if (!m_bLoop || !m_hWaveIn || next->dwBytesRecorded != next->dwBufferLength) return;
        if (waveInAddBuffer(m_hWaveIn, next, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) return;
        m_NextBuffer = static_cast<int>((m_NextBuffer + 1) % count);
        if (!m_bRunning) return; // Close is waiting for the worker
    }
}

UINT CSoundIn::WaveInThreadProc(void* param) {
    CSoundIn* self = static_cast<CSoundIn*>(param);
    while (self->m_bRunning) {
        WaitForSingleObject(self->m_hEvent, INFINITE);
        self->BufferFilled(nullptr);
    }
    return 0;
}

void CSoundIn::OnData(WAVEHDR*) {}
void CSoundIn::OnOpen() {}
void CSoundIn::OnClose() {}
