// A grabber plug-in for the tests: one board of 4 x 2 pixels whose every
// byte is the number of the frame. Its destructor leaves a mark in the
// environment, so that the test sees the object deleted through its own code.
#include <zep3/zep3.h>

#include <cstdlib>
#include <cstring>

namespace {

class CTestGrabber : public CGrabber {
public:
    ~CTestGrabber() override { setenv("ZEP3_TEST_GRABBER_DELETED", "1", 1); }
    bool Init(DWORD param, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD) override {
        m_Param = param;
        m_bInited = true;
        return true;
    }
    bool Grab(int, unsigned char* flag, int) override {
        *flag = 1;
        std::memset(m_Pixels, ++m_Frame, sizeof m_Pixels);
        return m_bInited;
    }
    bool SetTrigger(DWORD, DWORD) override { return false; }
    CSize GetMaxFrameSize(int) override { return CSize(4, 2); }
    CSize GetFrameSize(int) override { return CSize(4, 2); }
    int GetBitCount(int) override { return 24; }
    BYTE* GetFrameBuffer(int) override { return m_Pixels; }
    DWORD GetInitParam() override { return m_Param; }
    DWORD GetStatus() override { return 0; }
    bool IsTriggerSupported() override { return false; }
    bool SelectInput(int) override { return false; }
    CSystemTime GetFrameTime(int) override { return CSystemTime(1000LL * m_Frame, 0); }

private:
    DWORD m_Param = 0;
    BYTE m_Frame = 0;
    BYTE m_Pixels[4 * 2 * 3] = {};
};

} // namespace

extern "C" __attribute__((visibility("default"))) CGrabber* CreateGrabber() { return new CTestGrabber; }
