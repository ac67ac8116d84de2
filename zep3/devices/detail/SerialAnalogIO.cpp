#include <zep3/devices/detail/SerialAnalogIO.h>

namespace zep3::detail {

CSerialAnalogIO::CSerialAnalogIO(const CString& port) {
    if (m_Port.Open(port, nullptr, nullptr, CBR_9600, EV_RXCHAR, false, false, 8, NOPARITY, ONESTOPBIT))
        m_Port.RunWaitThread(nullptr, 0, nullptr);
}

bool CSerialAnalogIO::Open(int, int) { return m_Port.IsOpen(); }

bool CSerialAnalogIO::IsOpen() { return m_Port.IsOpen(); }

bool CSerialAnalogIO::ReadInputs() { return true; }

bool CSerialAnalogIO::WriteOutputs() { return true; }

bool CSerialAnalogIO::ReadLine(CString& line, int, int) {
    line.Empty();
    if (!m_Port.IsOpen()) return false;
    char buffer[1000];
    const int got = m_Port.Read(buffer, sizeof buffer);
    for (int i = 0; i < got; ++i) {
        if (buffer[i] == '\r' || buffer[i] == '\n') {
            line = m_Received;
            m_Received.Empty();
        } else {
            m_Received += buffer[i];
        }
    }
    return !line.IsEmpty();
}

double CSerialAnalogIO::ReadInput(int, int) { return 0.0; }

void CSerialAnalogIO::WriteOutput(int, double, int) {}

bool CSerialAnalogIO::SetInputRange(int, DWORD, double, double) { return false; }

} // namespace zep3::detail
