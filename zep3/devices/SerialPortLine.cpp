#include <zep3/devices/SerialPort.h>
#include <zep3/devices/SerialPortLine.h>
#include <zep3/devices/detail/SerialDevice.h>
#include <zep3/foundation/ThreadManager.h>
#include <zep3/platform/Wnd.h>

#include <atomic>
#include <climits>
#include <mutex>

using zep3::detail::Deadline;
using zep3::detail::SerialDevice;
using zep3::detail::WakeEvent;

const unsigned int CSerialPortLine::m_SetOutput[2] = {SETDTR, SETRTS};
const unsigned int CSerialPortLine::m_ClearOutput[2] = {CLRDTR, CLRRTS};

struct CSerialPortLine::Impl {
    // The port, shared with copies; the wait thread reads it while Close
    // may drop it, hence the small lock around the pointer.
    mutable std::mutex m_DeviceLock;
    std::shared_ptr<SerialDevice> m_pDevice;
    // The overlapped event: breaks a pending event wait.
    WakeEvent m_Event;
    std::atomic<int> m_bWaitThreadRunning{0};

    std::shared_ptr<SerialDevice> Device() const {
        std::lock_guard<std::mutex> hold(m_DeviceLock);
        return m_pDevice;
    }
    void SetDevice(std::shared_ptr<SerialDevice> device) {
        std::lock_guard<std::mutex> hold(m_DeviceLock);
        m_pDevice.swap(device);
    }
};

CSerialPortLine::CSerialPortLine()
    : m_pWaitThread(nullptr), m_pNotifyWnd(nullptr), m_NotifyMessage(0), m_pOnEvent(nullptr), m_pOnReceive(nullptr),
      m_pUser(nullptr), m_pImpl(new Impl) {}

CSerialPortLine::CSerialPortLine(const CSerialPortLine& other) : CSerialPortLine() { *this = other; }

CSerialPortLine& CSerialPortLine::operator=(const CSerialPortLine& other) {
    if (this == &other) return *this;
    Close();
    m_pNotifyWnd = other.m_pNotifyWnd;
    m_NotifyMessage = other.m_NotifyMessage;
    m_pOnEvent = other.m_pOnEvent;
    m_pOnReceive = other.m_pOnReceive;
    m_pUser = other.m_pUser;
    m_pImpl->SetDevice(other.m_pImpl->Device());
    return *this;
}

CSerialPortLine::~CSerialPortLine() { Close(); }

CString CSerialPortLine::GetComStr(int n) { return CSerialPort::GetComStr(n); }

bool CSerialPortLine::Open(CString const& port, ReceiveProc onReceive, void* user, unsigned int baudRate,
                           unsigned int eventMask, bool xonXoff, bool rtsHandshake, unsigned char byteSize,
                           unsigned char parity, unsigned char stopBits) {
    Close();
    std::shared_ptr<SerialDevice> device =
        SerialDevice::Open(port, {baudRate, eventMask, xonXoff, rtsHandshake, byteSize, parity, stopBits});
    if (!device) return false;
    m_pOnReceive = onReceive;
    m_pUser = user;
    m_pImpl->SetDevice(device);
    return true;
}

void CSerialPortLine::Close() {
    m_pImpl->m_bWaitThreadRunning = 0; // so that the ended wait is the thread's last
    if (std::shared_ptr<SerialDevice> device = m_pImpl->Device()) device->Close();
    m_pImpl->SetDevice(nullptr);
    TerminateWaitThread();
}

bool CSerialPortLine::IsOpen() const {
    std::shared_ptr<SerialDevice> device = m_pImpl->Device();
    return device && device->IsOpen();
}

bool CSerialPortLine::GetState(EInputLine line) const {
    std::shared_ptr<SerialDevice> device = m_pImpl->Device();
    DWORD status = 0;
    return device && device->GetModemStatus(status) && (status & static_cast<DWORD>(line));
}

void CSerialPortLine::SetState(EOutputLine line, bool on) {
    const int index = static_cast<int>(line);
    std::shared_ptr<SerialDevice> device = m_pImpl->Device();
    if (index < 0 || index > 1 || !device) return;
    device->Escape(on ? m_SetOutput[index] : m_ClearOutput[index]);
}

bool CSerialPortLine::SetDtr(bool on) {
    SetState(DTR, on);
    return true;
}

bool CSerialPortLine::SetRts(bool on) {
    SetState(RTS, on);
    return true;
}

bool CSerialPortLine::IsDsr() const { return GetState(DSR); }

bool CSerialPortLine::IsCts() const { return GetState(CTS); }

int CSerialPortLine::Read(void* buffer, int size) {
    std::shared_ptr<SerialDevice> device = m_pImpl->Device();
    return device && buffer ? device->ReadQueued(buffer, size) : 0;
}

int CSerialPortLine::Write(void const* data, int size) {
    std::shared_ptr<SerialDevice> device = m_pImpl->Device();
    if (!device || (!data && size) || size < 0) return -1;
    // Time-outs of 1000 ms: the constant plus the multiplier for each byte.
    const long long ms = 1000LL + 1000LL * size;
    return device->Write(data, size, Deadline::After(static_cast<DWORD>(std::min<long long>(ms, INT_MAX))),
                         m_pImpl->m_Event);
}

bool CSerialPortLine::ReadStr(CString& text) {
    char buffer[1024];
    for (int got; (got = Read(buffer, sizeof buffer)) > 0;) text += CString(buffer, got);
    return !text.IsEmpty();
}

bool CSerialPortLine::WriteStr(CString const& text) {
    return Write(text.GetString(), text.GetLength()) == text.GetLength();
}

int CSerialPortLine::WriteChar(char ch) { return Write(&ch, 1); }

bool CSerialPortLine::IsWriteDone() const { return true; }

unsigned int CSerialPortLine::WaitForEvent() {
    std::shared_ptr<SerialDevice> device = m_pImpl->Device();
    return device ? device->WaitEvent(m_pImpl->m_Event) : 0;
}

bool CSerialPortLine::RunWaitThread(CWnd* notifyWindow, int message, EventProc onEvent) {
    TerminateWaitThread();
    m_pNotifyWnd = notifyWindow;
    m_NotifyMessage = message;
    m_pOnEvent = onEvent;
    m_pImpl->m_bWaitThreadRunning = 1;
    m_pWaitThread =
        CThreadManager::CreateThread(WaitThread, this, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED, "SerialPortLine");
    if (!m_pWaitThread) {
        m_pImpl->m_bWaitThreadRunning = 0;
        return false;
    }
    m_pWaitThread->m_bAutoDelete = FALSE;
    m_pWaitThread->ResumeThread();
    return true;
}

bool CSerialPortLine::TerminateWaitThread() {
    if (!m_pWaitThread) return true;
    m_pImpl->m_bWaitThreadRunning = 0;
    do {
        m_pImpl->m_Event.Signal();
    } while (WaitForSingleObject(m_pWaitThread->m_hThread, 10) == WAIT_TIMEOUT);
    delete m_pWaitThread;
    m_pWaitThread = nullptr;
    m_pImpl->m_Event.Clear(); // no stale wake-up for the next wait or write
    return true;
}

unsigned int CSerialPortLine::WaitThread(void* param) {
    CSerialPortLine* line = static_cast<CSerialPortLine*>(param);
    while (line->m_pImpl->m_bWaitThreadRunning) {
        const unsigned int events = line->WaitForEvent();
        line->NotifyEvent(static_cast<int>(events));
        // Without a port the wait fails at once: do not spin on it.
        if (!events && !line->IsOpen()) line->m_pImpl->m_Event.Wait(10);
    }
    return 0;
}

void CSerialPortLine::NotifyEvent(int eventMask) {
    if (m_pNotifyWnd && m_pNotifyWnd->GetSafeHwnd())
        PostMessage(m_pNotifyWnd->GetSafeHwnd(), static_cast<UINT>(m_NotifyMessage), static_cast<WPARAM>(eventMask),
                    0);
    if (m_pOnEvent) m_pOnEvent(eventMask);
}
