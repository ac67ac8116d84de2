#pragma once
// The built-in grabber "VfW": the first capture device among /dev/video0 to
// /dev/video9, at its current frame size, in 24-bit blue-green-red.
#include <zep3/devices/Grabber.h>
#include <zep3/devices/detail/V4L2Capture.h>

#include <memory>

namespace zep3::detail {

class CVfWGrabber : public CGrabber {
public:
    CVfWGrabber();
    ~CVfWGrabber() override;

    // Closes an open capture, keeps `param` and opens the first device that
    // streams; false when none does.
    bool Init(DWORD param, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD) override;
    // Writes 0 to *flag. Open: makes the newest captured frame current and
    // returns true; otherwise false.
    bool Grab(int board, unsigned char* flag, int timeout) override;
    bool SetTrigger(DWORD, DWORD) override { return false; }
    CSize GetMaxFrameSize(int) override { return CSize(0, 0); }
    CSize GetFrameSize(int) override { return CSize(m_Width, m_Height); }
    int GetBitCount(int) override { return 24; }
    BYTE* GetFrameBuffer(int) override { return m_pFrame ? m_pFrame->GetPixelBuffer() : nullptr; }
    DWORD GetInitParam() override { return m_InitParam; }
    DWORD GetStatus() override { return 0; }
    bool IsTriggerSupported() override { return false; }
    bool SelectInput(int) override { return false; }
    // All fields zero: the capture gives no time of its own.
    CSystemTime GetFrameTime(int) override { return m_FrameTime; }

private:
    enum { ModeClosed = 0, ModeOpen = 2 };
    void CloseCapture();

    std::unique_ptr<V4L2Capture> m_pCapture;
    int m_Width;
    int m_Height;
    std::unique_ptr<CImageBuffer> m_pFrame;
    int m_Mode;
    bool m_bNewFrame;
    DWORD m_InitParam;
    CSystemTime m_FrameTime;
};

} // namespace zep3::detail
