#pragma once
// The wave-input calls of the platform, over ALSA's "default" capture device.
//
// The device list is that one PCM: one device when it can be opened for
// capture, none otherwise. An open device has a capture thread ("WaveIn",
// in the thread registry) that reads from ALSA only while the device is
// started and a buffer is queued, so ALSA's own ring holds the sound while
// the application is late; it fills the queued WAVEHDRs in order, marks each
// full one done and signals the event given at open (also at open and at
// close, as the platform does). Stop hands back the buffer being filled when
// it holds sound; Reset hands back every queued buffer. A buffer's dwFlags
// are read and written atomically, so the application may test WHDR_DONE
// while the device works; a done buffer's data and dwBytesRecorded are
// complete once the flag is seen.
//
// Only CALLBACK_EVENT notification is offered. Formats: PCM with 8, 16, 24
// or 32 bits and IEEE float with 32 or 64 bits, at any rate and channel
// count ALSA accepts for the device.
#include <zep3/media/MMSystem.h>
#include <zep3/platform/Export.h>

namespace zep3::detail {

ZEP3_TEST_API UINT waveInGetNumDevs();
ZEP3_TEST_API MMRESULT waveInGetDevCaps(UINT_PTR deviceId, WAVEINCAPS* caps, UINT size);
// deviceId 0 or WAVE_MAPPER; flags must be CALLBACK_EVENT with callback the event handle.
ZEP3_TEST_API MMRESULT waveInOpen(HWAVEIN* handle, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback,
                                  DWORD_PTR instance, DWORD flags);
ZEP3_TEST_API MMRESULT waveInPrepareHeader(HWAVEIN handle, WAVEHDR* header, UINT size);
ZEP3_TEST_API MMRESULT waveInUnprepareHeader(HWAVEIN handle, WAVEHDR* header, UINT size);
ZEP3_TEST_API MMRESULT waveInAddBuffer(HWAVEIN handle, WAVEHDR* header, UINT size);
ZEP3_TEST_API MMRESULT waveInStart(HWAVEIN handle);
ZEP3_TEST_API MMRESULT waveInStop(HWAVEIN handle);
ZEP3_TEST_API MMRESULT waveInReset(HWAVEIN handle);
// WAVERR_STILLPLAYING while buffers are queued; waits for the capture thread.
ZEP3_TEST_API MMRESULT waveInClose(HWAVEIN handle);

// dwFlags of a header that the device may be changing.
inline DWORD WaveHeaderFlags(const WAVEHDR* header) { return __atomic_load_n(&header->dwFlags, __ATOMIC_ACQUIRE); }
inline void SetWaveHeaderFlags(WAVEHDR* header, DWORD flags) {
    __atomic_store_n(&header->dwFlags, flags, __ATOMIC_RELEASE);
}

} // namespace zep3::detail
