#pragma once
/// @class CAnalogIO
/// Analog inputs and outputs with floating-point values, channel
/// names and named input ranges, and the factory pair that makes one.
///
/// Slots 1 to 4 and 6 to 9 belong to the implementation. The value arrays are
/// sized by the implementation: values outside them are ignored on writes
/// and read as 0.0. Names read "I_01" ... / "O_01" ... until set.
///
/// A name beginning with "COM" makes the built-in serial device, which reads
/// one value per text line from that port (9600 baud, 8 data bits, no
/// parity, one stop bit). Other names are plug-in modules exporting,
/// unmangled, `CAnalogIO* CreateAnalogIO()`.
/// Threads: one thread uses an object. Nothing throws.
#include <zep3/devices/AIORange.h>
#include <zep3/platform/Array.h>
#include <zep3/platform/Export.h>
#include <zep3/platform/StringArray.h>

class ZEP3_API CAnalogIO {
public:
    CAnalogIO();
    virtual ~CAnalogIO();

    /// Opens the device; the serial device answers whether its port is open.
    virtual bool Open(int device, int options) = 0;
    virtual bool IsOpen() = 0;
    /// Reads all inputs into the input values / drives the outputs.
    virtual bool ReadInputs() = 0;
    virtual bool WriteOutputs() = 0;
    virtual CArray<CAIORange, CAIORange> const& GetInputRanges();
    /// Reads one line of text the device sends; true when a line was read.
    virtual bool ReadLine(CString& line, int channel, int timeout) = 0;
    /// Reads or drives one channel directly in the given range.
    virtual double ReadInput(int channel, int range) = 0;
    virtual void WriteOutput(int channel, double value, int range) = 0;
    /// Sets a channel's range code and its limits; false when not supported.
    virtual bool SetInputRange(int channel, DWORD range, double low, double high) = 0;
    virtual double GetInputState(int channel) const;
    virtual double GetOutputState(int channel) const;
    virtual CString GetInputName(int channel);
    virtual CString GetOutputName(int channel);
    /// False for a negative channel; otherwise the name list grows to hold it.
    virtual bool SetInputName(int channel, CString const& name);
    virtual bool SetOutputName(int channel, CString const& name);

    void SetInputState(int channel, double value);
    void SetOutputState(int channel, double value);

protected:
    CArray<double, double> m_InputValues;
    CArray<double, double> m_OutputValues;
    CStringArray m_InputNames;
    CStringArray m_OutputNames;
    CArray<CAIORange, CAIORange> m_InputRanges;
};

/// @relates CAnalogIO Null for an empty name; a name beginning with "COM" (case as written) is
/// the built-in serial device on that port; any other name a plug-in module
/// (loaded as for CreateGrabber, one analog module per process) and its
/// "CreateAnalogIO".
ZEP3_API CAnalogIO* CreateAnalogIO(CString const& name);
/// @relates CAnalogIO Deletes the device (null is allowed), then unloads the analog module.
ZEP3_API void DestroyAnalogIO(CAnalogIO* device);
