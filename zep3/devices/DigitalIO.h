#pragma once
/// @class CDigitalIO
/// Up to 32 digital input and 32 output lines (bit n = line n),
/// with line names, and the factory pair that loads a plug-in module for one.
///
/// Slots 1 to 7 drive the hardware and belong to the implementation; the
/// rest keep the states and names. Bit numbers are taken modulo 32. A name
/// never set, or set empty, reads "I_01", "I_02" ... (inputs) or "O_01" ...
/// (outputs). The invert masks are kept for the implementation; this class
/// does not apply them.
///
/// A plug-in module exports, unmangled, `CDigitalIO* CreateDigitalIO()`.
/// Threads: one thread uses an object. Nothing throws.
#include <zep3/platform/Export.h>
#include <zep3/platform/String.h>
#include <zep3/platform/StringArray.h>

class ZEP3_API CDigitalIO {
public:
    /// All lines off, no inversion, no names.
    CDigitalIO();
    virtual ~CDigitalIO();

    /// Opens the device; false when it cannot be had.
    virtual bool Open(int device) = 0;
    /// Releases the device; the states are kept.
    virtual void Close() = 0;
    /// True between a successful Open and Close.
    virtual bool IsOpen() const = 0;
    /// Reads the input lines into the input state.
    virtual bool ReadInputs() = 0;
    /// Drives the output lines from the output state.
    virtual bool WriteOutputs() = 0;
    ///@{
    /// The number of input or output lines the device has (up to 32).
    virtual int GetInputCount() const = 0;
    virtual int GetOutputCount() const = 0;
    ///@}

    /// The output state, bit n for line n.
    virtual unsigned long GetOutputState() const;
    ///@{
    /// One line of the input or output state (the bit number is taken modulo 32).
    virtual bool GetInputBitState(int bit) const;
    virtual bool GetOutputBitState(int bit) const;
    ///@}
    ///@{
    /// The line's name; "I_01", "O_01"... (the line number from 1) while none is set.
    virtual CString GetInputBitName(int bit);
    virtual CString GetOutputBitName(int bit);
    ///@}
    /// False for a negative bit; otherwise the name list grows to hold it.
    virtual bool SetInputBitName(int bit, CString const& name);
    virtual bool SetOutputBitName(int bit, CString const& name);

    ///@{
    /// Sets one line of the stored state (the bit number is taken modulo 32);
    /// WriteOutputs puts the outputs on the device.
    void SetInputState(int bit, bool on);
    void SetOutputState(int bit, bool on);
    ///@}
    /// The input state as ReadInputs left it, bit n for line n.
    unsigned long GetInputState() const;
    ///@{
    /// The lines whose level the device inverts (bit n for line n); kept for the
    /// device classes, which apply them.
    unsigned long GetInputInvertMask() const;
    unsigned long GetOutputInvertMask() const;
    void SetInputInvertMask(unsigned long mask);
    void SetOutputInvertMask(unsigned long mask);
    ///@}

protected:
    /// The bits selected by mask take their values from value; the others stay.
    void SetInputMaskState(unsigned long value, unsigned long mask);
    void SetOutputMaskState(unsigned long value, unsigned long mask);

    DWORD m_InputState;
    DWORD m_OutputState;
    DWORD m_InputInvertMask;
    DWORD m_OutputInvertMask;
    CStringArray m_InputNames;
    CStringArray m_OutputNames;
};

/// @relates CDigitalIO Null for an empty name; otherwise the plug-in module (loaded as for
/// CreateGrabber, one digital module per process) and its "CreateDigitalIO".
ZEP3_API CDigitalIO* CreateDigitalIO(CString const& name);
/// @relates CDigitalIO Deletes the device (null is allowed), then unloads the digital module.
ZEP3_API void DestroyDigitalIO(CDigitalIO* device);
