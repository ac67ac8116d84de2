#include <zep3/devices/AnalogIO.h>
#include <zep3/devices/detail/PluginModule.h>
#include <zep3/devices/detail/SerialAnalogIO.h>

using namespace zep3::detail;

namespace {

PluginModule s_AnalogModule("CreateAnalogIO");

bool InRange(const CArray<double, double>& values, int channel) { return channel >= 0 && channel < values.GetSize(); }

} // namespace

CAnalogIO::CAnalogIO() = default;

CAnalogIO::~CAnalogIO() = default;

CArray<CAIORange, CAIORange> const& CAnalogIO::GetInputRanges() { return m_InputRanges; }

double CAnalogIO::GetInputState(int channel) const {
    return InRange(m_InputValues, channel) ? m_InputValues[channel] : 0.0;
}

double CAnalogIO::GetOutputState(int channel) const {
    return InRange(m_OutputValues, channel) ? m_OutputValues[channel] : 0.0;
}

CString CAnalogIO::GetInputName(int channel) { return LineName(m_InputNames, channel, "I"); }

CString CAnalogIO::GetOutputName(int channel) { return LineName(m_OutputNames, channel, "O"); }

bool CAnalogIO::SetInputName(int channel, CString const& name) { return SetLineName(m_InputNames, channel, name); }

bool CAnalogIO::SetOutputName(int channel, CString const& name) {
    return SetLineName(m_OutputNames, channel, name);
}

void CAnalogIO::SetInputState(int channel, double value) {
    if (InRange(m_InputValues, channel)) m_InputValues[channel] = value;
}

void CAnalogIO::SetOutputState(int channel, double value) {
    if (InRange(m_OutputValues, channel)) m_OutputValues[channel] = value;
}

CAnalogIO* CreateAnalogIO(CString const& name) {
    if (name.IsEmpty()) return nullptr;
    if (name.Left(3) == "COM") return new CSerialAnalogIO(name);
    return s_AnalogModule.Create<CAnalogIO>(name);
}

void DestroyAnalogIO(CAnalogIO* device) {
    delete device;
    s_AnalogModule.Unload();
}
