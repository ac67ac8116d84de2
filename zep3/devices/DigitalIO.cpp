#include <zep3/devices/DigitalIO.h>
#include <zep3/devices/detail/PluginModule.h>

using namespace zep3::detail;

namespace {

PluginModule s_DigitalModule("CreateDigitalIO");

DWORD Bit(int bit) { return 1u << (bit & 31); }

void SetBit(DWORD& state, int bit, bool on) { state = on ? state | Bit(bit) : state & ~Bit(bit); }

void SetMasked(DWORD& state, unsigned long value, unsigned long mask) {
    state = static_cast<DWORD>((state & ~mask) | (value & mask));
}

} // namespace

CDigitalIO::CDigitalIO() : m_InputState(0), m_OutputState(0), m_InputInvertMask(0), m_OutputInvertMask(0) {}

CDigitalIO::~CDigitalIO() = default;

unsigned long CDigitalIO::GetOutputState() const { return m_OutputState; }

bool CDigitalIO::GetInputBitState(int bit) const { return (m_InputState & Bit(bit)) != 0; }

bool CDigitalIO::GetOutputBitState(int bit) const { return (m_OutputState & Bit(bit)) != 0; }

CString CDigitalIO::GetInputBitName(int bit) { return LineName(m_InputNames, bit, "I"); }

CString CDigitalIO::GetOutputBitName(int bit) { return LineName(m_OutputNames, bit, "O"); }

bool CDigitalIO::SetInputBitName(int bit, CString const& name) { return SetLineName(m_InputNames, bit, name); }

bool CDigitalIO::SetOutputBitName(int bit, CString const& name) { return SetLineName(m_OutputNames, bit, name); }

void CDigitalIO::SetInputState(int bit, bool on) { SetBit(m_InputState, bit, on); }

void CDigitalIO::SetOutputState(int bit, bool on) { SetBit(m_OutputState, bit, on); }

unsigned long CDigitalIO::GetInputState() const { return m_InputState; }

unsigned long CDigitalIO::GetInputInvertMask() const { return m_InputInvertMask; }

unsigned long CDigitalIO::GetOutputInvertMask() const { return m_OutputInvertMask; }

void CDigitalIO::SetInputInvertMask(unsigned long mask) { m_InputInvertMask = static_cast<DWORD>(mask); }

void CDigitalIO::SetOutputInvertMask(unsigned long mask) { m_OutputInvertMask = static_cast<DWORD>(mask); }

void CDigitalIO::SetInputMaskState(unsigned long value, unsigned long mask) { SetMasked(m_InputState, value, mask); }

void CDigitalIO::SetOutputMaskState(unsigned long value, unsigned long mask) {
    SetMasked(m_OutputState, value, mask);
}

CDigitalIO* CreateDigitalIO(CString const& name) {
    return name.IsEmpty() ? nullptr : s_DigitalModule.Create<CDigitalIO>(name);
}

void DestroyDigitalIO(CDigitalIO* device) {
    delete device;
    s_DigitalModule.Unload();
}
