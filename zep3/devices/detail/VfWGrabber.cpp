#include <zep3/devices/detail/VfWGrabber.h>

#include <atomic>
#include <cstring>
#include <ctime>

namespace zep3::detail {

namespace {
// The second of the last Grab, shared by every grabber of this kind.
std::atomic<time_t> s_LastGrabSecond{0};
} // namespace

CVfWGrabber::CVfWGrabber() : m_Width(0), m_Height(0), m_Mode(ModeClosed), m_bNewFrame(false), m_InitParam(0) {
    m_FrameTime.m_Time = SYSTEMTIME{};
    m_FrameTime.m_MicroSeconds = 0;
}

CVfWGrabber::~CVfWGrabber() { CloseCapture(); }

bool CVfWGrabber::Init(DWORD param, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD) {
    m_InitParam = param;
    CloseCapture();
    std::unique_ptr<V4L2Capture> capture = V4L2Capture::OpenFirst();
    if (!capture) return false;
    const CSize size = capture->GetSize();
    std::unique_ptr<CImageBuffer> frame(new CImageBuffer(size, 24));
    if (frame->IsEmpty()) return false;
    std::memset(frame->GetPixelBuffer(), 0, size_t(size.cx) * size.cy * 3);
    if (!capture->Start()) return false;
    m_pCapture = std::move(capture);
    m_pFrame = std::move(frame);
    m_Width = size.cx;
    m_Height = size.cy;
    m_Mode = ModeOpen;
    m_bNewFrame = true;
    m_bInited = true;
    return true;
}

bool CVfWGrabber::Grab(int, unsigned char* flag, int) {
    if (flag) *flag = 0;
    if (m_Mode != ModeOpen) return false;
    if (m_pCapture->TakeFrame(m_pFrame)) m_bNewFrame = true;
    const time_t now = time(nullptr);
    if (s_LastGrabSecond.exchange(now) != now) m_bNewFrame = false;
    return true;
}

void CVfWGrabber::CloseCapture() {
    if (m_Mode != ModeOpen) return;
    m_pCapture.reset();
    m_pFrame.reset();
    m_Width = m_Height = 0;
    m_Mode = ModeClosed;
}

} // namespace zep3::detail
