// An analog device plug-in for the tests: four inputs reading 0.5, 1.5, 2.5
// and 3.5, two outputs, and two named ranges.
#include <zep3/zep3.h>

namespace {

class CTestAnalogIO : public CAnalogIO {
public:
    CTestAnalogIO() {
        m_InputValues.SetSize(4);
        m_OutputValues.SetSize(2);
        m_InputRanges.Add(CAIORange(0, "+-10V"));
        m_InputRanges.Add(CAIORange(1, "0-5V"));
    }
    bool Open(int, int) override { return true; }
    bool IsOpen() override { return true; }
    bool ReadInputs() override {
        for (int i = 0; i < 4; ++i) SetInputState(i, i + 0.5);
        return true;
    }
    bool WriteOutputs() override { return true; }
    bool ReadLine(CString& line, int, int) override {
        line = "0.5";
        return true;
    }
    double ReadInput(int channel, int) override { return GetInputState(channel); }
    void WriteOutput(int channel, double value, int) override { SetOutputState(channel, value); }
    bool SetInputRange(int, DWORD, double, double) override { return false; }
};

} // namespace

extern "C" __attribute__((visibility("default"))) CAnalogIO* CreateAnalogIO() { return new CTestAnalogIO; }
