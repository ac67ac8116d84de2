#include <zep3/devices/SerialPort.h>
#include <zep3/devices/detail/SerialDevice.h>
#include <zep3/foundation/Counter.h>
#include <zep3/foundation/ThreadManager.h>
#include <zep3/platform/CriticalSection.h>
#include <zep3/platform/Event.h>
#include <zep3/platform/SingleLock.h>
#include <zep3/platform/Time.h>

#include <atomic>
#include <ctime>
#include <mutex>

using zep3::detail::SerialDevice;
using zep3::detail::WakeEvent;

struct CSerialPort::Impl {
    std::shared_ptr<SerialDevice> m_pDevice;
    // Per open: the read and write threads' wake-ups (their overlapped
    // events) and the write request.
    std::unique_ptr<WakeEvent> m_pReceiveWake;
    std::unique_ptr<WakeEvent> m_pTransmitWake;
    HANDLE m_hWriteRequest = nullptr;
    // For the object's life.
    HANDLE m_hReadEnded = CreateEvent(nullptr, TRUE, FALSE, nullptr);
    HANDLE m_hWriteEnded = CreateEvent(nullptr, TRUE, FALSE, nullptr);
    CString m_Output;
    CString m_Input;
    std::atomic<bool> m_bRunning{false};
    CWinThread* m_pReadThread = nullptr;
    CWinThread* m_pWriteThread = nullptr;
    std::mutex m_TimeLock;
    CCounter m_Counter;
    time_t m_BaseTime = 0;
    mutable CCriticalSection m_CriticalSection;

    ~Impl() {
        CloseHandle(m_hReadEnded);
        CloseHandle(m_hWriteEnded);
    }
};

namespace {

CWinThread* StartThread(UINT (*body)(void*), void* param, const char* name) {
    CWinThread* thread =
        CThreadManager::CreateThread(body, param, THREAD_PRIORITY_BELOW_NORMAL, 0, CREATE_SUSPENDED, name);
    if (!thread) return nullptr;
    thread->m_bAutoDelete = FALSE;
    thread->ResumeThread();
    return thread;
}

// Waits for the thread's ended event, then until the thread has really gone
// (its registry record is removed by then), and deletes its object.
void AwaitThread(CWinThread*& thread, HANDLE ended) {
    if (!thread) return;
    WaitForSingleObject(ended, 1000);
    WaitForSingleObject(thread->m_hThread, INFINITE);
    delete thread;
    thread = nullptr;
}

} // namespace

CSerialPort::CSerialPort() : m_pOnReceive(nullptr), m_pUser(nullptr), m_pImpl(new Impl) {}

CSerialPort::~CSerialPort() { Close(); }

CString CSerialPort::GetComStr(int n) {
    CString name;
    name.Format("COM%i", n);
    return name;
}

bool CSerialPort::Open(CString const& port, ReceiveProc onReceive, void* user, unsigned int baudRate,
                       unsigned int eventMask, bool xonXoff, bool rtsHandshake, unsigned char byteSize,
                       unsigned char parity, unsigned char stopBits) {
    Close();
    Impl& d = *m_pImpl;
    std::shared_ptr<SerialDevice> device =
        SerialDevice::Open(port, {baudRate, eventMask, xonXoff, rtsHandshake, byteSize, parity, stopBits});
    if (!device) return false;
    d.m_pReceiveWake.reset(new WakeEvent);
    d.m_pTransmitWake.reset(new WakeEvent);
    {
        CSingleLock lock(&d.m_CriticalSection, true);
        d.m_pDevice = device;
        d.m_hWriteRequest = CreateEvent(nullptr, FALSE, FALSE, nullptr);
    }
    m_pOnReceive = onReceive;
    m_pUser = user;
    d.m_bRunning = true;
    ResetEvent(d.m_hReadEnded);
    ResetEvent(d.m_hWriteEnded);
    d.m_pReadThread = StartThread(ReadThread, this, "SerialRead");
    d.m_pWriteThread = d.m_pReadThread ? StartThread(WriteThread, this, "SerialWrite") : nullptr;
    if (!d.m_pWriteThread) {
        Close();
        return false;
    }
    return true;
}

void CSerialPort::Close() {
    TerminateThread();
    Impl& d = *m_pImpl;
    std::shared_ptr<SerialDevice> device;
    HANDLE writeRequest = nullptr;
    {
        CSingleLock lock(&d.m_CriticalSection, true);
        device.swap(d.m_pDevice);
        std::swap(writeRequest, d.m_hWriteRequest);
    }
    if (device) device->Close();
    if (writeRequest) CloseHandle(writeRequest);
    d.m_pReceiveWake.reset();
    d.m_pTransmitWake.reset();
}

bool CSerialPort::IsOpen() const {
    CSingleLock lock(&m_pImpl->m_CriticalSection, true);
    return m_pImpl->m_pDevice != nullptr;
}

bool CSerialPort::TerminateThread() {
    Impl& d = *m_pImpl;
    d.m_bRunning = false;
    if (d.m_pReceiveWake) d.m_pReceiveWake->Signal();
    if (d.m_pTransmitWake) d.m_pTransmitWake->Signal(); // abandons a write the line cannot take
    {
        CSingleLock lock(&d.m_CriticalSection, true);
        if (d.m_hWriteRequest) SetEvent(d.m_hWriteRequest);
    }
    AwaitThread(d.m_pReadThread, d.m_hReadEnded);
    AwaitThread(d.m_pWriteThread, d.m_hWriteEnded);
    return true;
}

unsigned int CSerialPort::ReadThread(void* param) {
    CSerialPort* port = static_cast<CSerialPort*>(param);
    Impl& d = *port->m_pImpl;
    char buffer[1024];
    while (d.m_bRunning) {
        const int got = d.m_pDevice->ReadWithin(buffer, sizeof buffer, 1000, *d.m_pReceiveWake);
        if (got < 0) {
            d.m_pReceiveWake->Wait(10); // a device error: try again shortly
            continue;
        }
        if (got == 0) continue;
        const CString chunk(buffer, got);
        {
            CSingleLock lock(&d.m_CriticalSection, true);
            d.m_Input += chunk;
        }
        if (port->m_pOnReceive) port->m_pOnReceive(chunk, port->m_pUser);
    }
    SetEvent(d.m_hReadEnded);
    return 0;
}

unsigned int CSerialPort::WriteThread(void* param) {
    CSerialPort* port = static_cast<CSerialPort*>(param);
    Impl& d = *port->m_pImpl;
    for (;;) {
        WaitForSingleObject(d.m_hWriteRequest, INFINITE);
        if (!d.m_bRunning) break;
        CSingleLock lock(&d.m_CriticalSection, true);
        if (!d.m_Output.IsEmpty())
            d.m_pDevice->Write(d.m_Output.GetString(), d.m_Output.GetLength(), zep3::detail::Deadline::Never(),
                               *d.m_pTransmitWake);
        d.m_Output.Empty(); // written or lost: the line takes no second try
    }
    SetEvent(d.m_hWriteEnded);
    return 0;
}

bool CSerialPort::SetDtr(bool on) {
    CSingleLock lock(&m_pImpl->m_CriticalSection, true);
    return m_pImpl->m_pDevice && m_pImpl->m_pDevice->Escape(on ? SETDTR : CLRDTR);
}

bool CSerialPort::SetRts(bool on) {
    CSingleLock lock(&m_pImpl->m_CriticalSection, true);
    return m_pImpl->m_pDevice && m_pImpl->m_pDevice->Escape(on ? SETRTS : CLRRTS);
}

bool CSerialPort::IsDsr() const {
    CSingleLock lock(&m_pImpl->m_CriticalSection, true);
    DWORD status = 0;
    return m_pImpl->m_pDevice && m_pImpl->m_pDevice->GetModemStatus(status) && (status & MS_DSR_ON);
}

bool CSerialPort::IsCts() const {
    CSingleLock lock(&m_pImpl->m_CriticalSection, true);
    DWORD status = 0;
    return m_pImpl->m_pDevice && m_pImpl->m_pDevice->GetModemStatus(status) && (status & MS_CTS_ON);
}

bool CSerialPort::ReadStr(CString& text) {
    CSingleLock lock(&m_pImpl->m_CriticalSection, true);
    if (m_pImpl->m_Input.IsEmpty()) return false;
    text = m_pImpl->m_Input;
    m_pImpl->m_Input.Empty();
    return true;
}

bool CSerialPort::WriteStr(CString const& text) {
    CSingleLock lock(&m_pImpl->m_CriticalSection, true);
    m_pImpl->m_Output += text;
    if (m_pImpl->m_hWriteRequest) SetEvent(m_pImpl->m_hWriteRequest);
    return true;
}

bool CSerialPort::IsWriteDone() const {
    CSingleLock lock(&m_pImpl->m_CriticalSection, true);
    return m_pImpl->m_Output.IsEmpty();
}

CString CSerialPort::GetTimeStr() {
    Impl& d = *m_pImpl;
    int ms;
    time_t base;
    {
        std::lock_guard<std::mutex> hold(d.m_TimeLock);
        if (!d.m_Counter.IsRunning()) {
            d.m_Counter.Start();
            d.m_BaseTime = time(nullptr);
        }
        ms = d.m_Counter.GetCounts();
        base = d.m_BaseTime;
    }
    CString text;
    text.Format("%s.%03i", CTime(base + ms / 1000).Format("%H:%M:%S").GetString(), ms % 1000);
    return text;
}
