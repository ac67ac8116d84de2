#include <zep3/devices/detail/UsbStream.h>
#include <zep3/foundation/ThreadManager.h>
#include <zep3/platform/Thread.h>
#include <zep3/platform/detail/Posix.h>

#include <algorithm>
#include <cstring>

namespace zep3::detail {

UsbRing::UsbRing() : m_pData(new BYTE[kSize]()) {}

void UsbRing::Reset() {
    m_Write.store(0);
    m_Read.store(0);
    m_bOverflow.store(false);
    m_bStop.store(false);
    m_bThreadEnded.store(false);
    m_bDeviceGone.store(false);
}

int UsbRing::Available() const {
    return (m_Write.load(std::memory_order_acquire) - m_Read.load(std::memory_order_acquire) + kSize) % kSize;
}

int UsbRing::Read(void* buffer, int size, bool* overflow) {
    const int read = m_Read.load(std::memory_order_relaxed);
    const int n = buffer ? std::min(Available(), std::max(size, 0)) : 0;
    const int first = std::min(n, kSize - read);
    BYTE* to = static_cast<BYTE*>(buffer);
    if (n > 0) {
        memcpy(to, m_pData.get() + read, size_t(first));
        memcpy(to + first, m_pData.get(), size_t(n - first));
    }
    m_Read.store((read + n) % kSize, std::memory_order_release);
    if (overflow) *overflow = m_bOverflow.exchange(false);
    return n;
}

void UsbRing::CommitSegment() {
    const int write = m_Write.load(std::memory_order_relaxed);
    // The read position 0 is also the end of the ring: a segment ending there
    // reaches it too.
    const int read = m_Read.load(std::memory_order_acquire);
    const int reader = read == 0 ? kSize : read;
    if (write < reader && reader <= write + kSegmentSize) m_bOverflow.store(true);
    m_Write.store((write + kSegmentSize) % kSize, std::memory_order_release);
}

void UsbRing::SetPositions(int write, int read) {
    m_Write.store(write);
    m_Read.store(read);
}

CWinThread* StartUsbWorker(UINT (*func)(void*), void* param, const char* name) {
    CWinThread* thread =
        CThreadManager::CreateThread(func, param, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED, name);
    if (!thread) return nullptr;
    thread->m_bAutoDelete = FALSE;
    thread->ResumeThread();
    return thread;
}

void StopUsbWorker(CWinThread*& thread) {
    if (!thread) return;
    DWORD code = STILL_ACTIVE;
    for (int poll = 0; poll < 99; ++poll) {
        if (!GetExitCodeThread(thread->m_hThread, &code) || code != STILL_ACTIVE) break;
        SleepMilliseconds(10);
    }
    if (code == STILL_ACTIVE) CThreadManager::TerminateThread(thread->m_nThreadID, 0);
    delete thread;
    thread = nullptr;
}

} // namespace zep3::detail
