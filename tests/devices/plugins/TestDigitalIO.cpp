// A digital device plug-in for the tests: eight outputs wired back to eight
// inputs, and the inputs 8 to 15 stuck at 1.
#include <zep3/zep3.h>

namespace {

class CTestDigitalIO : public CDigitalIO {
public:
    bool Open(int) override { return m_bOpen = true; }
    void Close() override { m_bOpen = false; }
    bool IsOpen() const override { return m_bOpen; }
    bool ReadInputs() override {
        SetInputMaskState(GetOutputState() | 0xFF00, 0xFFFF);
        return m_bOpen;
    }
    bool WriteOutputs() override { return m_bOpen; }
    int GetInputCount() const override { return 16; }
    int GetOutputCount() const override { return 8; }

private:
    bool m_bOpen = false;
};

} // namespace

extern "C" __attribute__((visibility("default"))) CDigitalIO* CreateDigitalIO() { return new CTestDigitalIO; }
