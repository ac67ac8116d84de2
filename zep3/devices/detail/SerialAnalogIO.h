#pragma once
// The built-in analog device: a meter on a serial port that sends one value
// per text line, read with ReadLine.
#include <zep3/devices/AnalogIO.h>
#include <zep3/devices/SerialPortLine.h>

namespace zep3::detail {

class CSerialAnalogIO : public CAnalogIO {
public:
    // Opens the port named `port` (9600 baud, 8N1, character events) and
    // starts its wait thread without window or callback.
    explicit CSerialAnalogIO(const CString& port);

    bool Open(int device, int options) override;
    bool IsOpen() override;
    bool ReadInputs() override;
    bool WriteOutputs() override;
    // Reads up to 1000 waiting bytes; each CR or LF ends a line, which
    // becomes `line` (a later, empty one included), and the bytes after the
    // last end wait for the next call. True when `line` is not empty.
    bool ReadLine(CString& line, int channel, int timeout) override;
    double ReadInput(int channel, int range) override;
    void WriteOutput(int channel, double value, int range) override;
    bool SetInputRange(int channel, DWORD range, double low, double high) override;

private:
    CSerialPortLine m_Port;
    CString m_Received;
};

} // namespace zep3::detail
