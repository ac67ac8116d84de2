#pragma once
// What both USB devices share: the ring that the worker fills with whole
// segments and the application reads at its own pace, and the start and stop
// of the worker thread.
//
// One worker writes the segments and the write position, one reader moves the
// read position; each position is written by one side only. The flags are
// set by one side and cleared by the other.
#include <zep3/platform/Export.h>
#include <zep3/platform/WinTypes.h>

#include <atomic>
#include <memory>

class CWinThread;

namespace zep3::detail {

class ZEP3_TEST_API UsbRing {
public:
    static constexpr int kSegmentSize = 4096;
    static constexpr int kSegments = 200;
    static constexpr int kSize = kSegmentSize * kSegments; // 819200

    UsbRing();

    // Positions to 0, flags cleared: a fresh stream.
    void Reset();
    // Unread bytes: (write - read) mod kSize.
    int Available() const;
    // Copies min(unread, size) bytes from the read position, wrapping at the
    // end, and moves past them; hands out and clears the overflow flag.
    int Read(void* buffer, int size, bool* overflow);

    // Segment k (0 to 199) of the ring, and the one at the write position,
    // where the worker's next segment goes.
    BYTE* Segment(int k) { return m_pData.get() + k * kSegmentSize; }
    BYTE* WriteSegment() { return m_pData.get() + m_Write.load(std::memory_order_relaxed); }
    // The segment has been written: sets the overflow flag when the segment
    // reached the read position (the writer caught up with the reader), then
    // advances the write position by a segment.
    void CommitSegment();
    // Positions, for tests that start the ring elsewhere than at 0.
    void SetPositions(int write, int read);
    int WritePosition() const { return m_Write.load(std::memory_order_acquire); }
    int ReadPosition() const { return m_Read.load(std::memory_order_acquire); }

    std::atomic<bool> m_bStop{false};        // asks the worker to end
    std::atomic<bool> m_bThreadEnded{false}; // set by the worker as it ends
    std::atomic<bool> m_bDeviceGone{false};  // set by the worker when the device went away

private:
    std::unique_ptr<BYTE[]> m_pData;
    std::atomic<int> m_Write{0};
    std::atomic<int> m_Read{0};
    std::atomic<bool> m_bOverflow{false};
};

// Starts func(param) through the thread registry under `name`, not
// auto-deleting; null when the thread cannot be created.
CWinThread* StartUsbWorker(UINT (*func)(void*), void* param, const char* name);
// Waits for a worker told to stop: polls its exit code every 10 ms, at most
// 99 times, then ends it through the registry; deletes the thread object.
void StopUsbWorker(CWinThread*& thread);

} // namespace zep3::detail
