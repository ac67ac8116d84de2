#include <zep3/media/MCI.h>

#include <zep3/media/detail/MciDevice.h>

using namespace zep3::detail;

CMCI::CMCI() : m_DeviceID(0), m_RangeStart(-1), m_RangeEnd(-1) {}

CMCI::CMCI(const CMCI& other) = default;

CMCI& CMCI::operator=(const CMCI& other) = default;

CMCI::~CMCI() { Close(); }

bool CMCI::Open(const CString& file) {
    if (IsOpened()) Close();
    m_FileName = file;
    MCIDEVICEID id = 0;
    if (mciOpen(file, &id) != 0) return false;
    m_DeviceID = id;
    GetTimeFormatMS();
    return true;
}

bool CMCI::Close() {
    if (!IsOpened()) return true;
    const bool closed = mciClose(m_DeviceID) == 0;
    m_DeviceID = 0;
    m_RangeStart = m_RangeEnd = -1;
    m_FileName.Empty();
    return closed;
}

bool CMCI::IsOpened() const { return m_DeviceID != 0; }

CString CMCI::GetFileName() const { return m_FileName; }

bool CMCI::SetRange(int start, int end) {
    m_RangeStart = start;
    m_RangeEnd = end;
    return true;
}

bool CMCI::Play(HWND notify, const CString& file) {
    if (!file.IsEmpty() && !Open(file)) return false;
    int from = -1, to = -1;
    if (IsOpened()) {
        const int position = GetPosition();
        if ((m_RangeStart != -1 && position < m_RangeStart) || (m_RangeEnd != -1 && position >= m_RangeEnd))
            from = m_RangeStart;
        if (m_RangeEnd != -1) {
            const int length = GetLengthMS();
            to = m_RangeEnd > length ? length : m_RangeEnd;
        }
    }
    const DWORD error = mciPlay(m_DeviceID, notify, from, to);
    if (error == 0) return true;
    char text[256];
    mciGetErrorString(error, text, sizeof text);
    return false;
}

bool CMCI::Stop() {
    if (!IsOpened()) return true;
    const bool stopped = mciStop(m_DeviceID) == 0;
    mciSeek(m_DeviceID, 0);
    return stopped;
}

bool CMCI::Pause() { return mciPause(m_DeviceID) == 0; }

bool CMCI::Resume() { return mciResume(m_DeviceID) == 0; }

bool CMCI::Seek(int ms) { return mciSeek(m_DeviceID, ms) == 0; }

bool CMCI::GetTimeFormatMS() { return mciSetTimeFormatMS(m_DeviceID) == 0; }

int CMCI::GetLengthMS() {
    DWORD ms = 0;
    return mciGetLength(m_DeviceID, &ms) == 0 ? static_cast<int>(ms) : 0;
}

int CMCI::GetPosition() {
    DWORD ms = 0;
    return mciGetPosition(m_DeviceID, &ms) == 0 ? static_cast<int>(ms) : 0;
}

int CMCI::GetStatus() {
    DWORD mode = 0;
    if (!IsOpened() || mciGetMode(m_DeviceID, &mode) != 0) return 0;
    return static_cast<int>(mode);
}

bool CMCI::IsPlaying() { return GetStatus() == MCI_MODE_PLAY; }

bool CMCI::IsPaused() { return GetStatus() == MCI_MODE_PAUSE; }
