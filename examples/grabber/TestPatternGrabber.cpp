// A grabber plug-in module: a test-pattern camera (see TestPatternScene.h)
// delivering frames at a set rate, each stamped with the time it was due.
//
//   CGrabber* g = CreateGrabber("TestPatternGrabber.dll");   // or its path
//   g->Init(0, 640, 480, 25, 3, 0, 0); // user value, width, height, frames per second, objects
//   unsigned char fresh;
//   while (g->Grab(0, &fresh, 1000)) { use g->GetFrameBuffer(0), g->GetFrameTime(0) }
//   DestroyGrabber(g);
//
// Init's arguments 2 to 5 set the frame size (16 to 4096 each, 0 for
// 640 x 480), the rate (1 to 1000 frames per second, 0 for 25) and the
// number of objects (0 to 8). Grab waits up to its time-out for the next
// frame that is due; frames that fall due while nobody grabs are skipped, as
// with a real camera, and GetLastFrameIndex tells which frame is current.
#include "TestPatternScene.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

DWORD Setting(DWORD value, DWORD fallback, DWORD low, DWORD high) {
    return value == 0 ? fallback : std::clamp(value, low, high);
}

class CTestPatternGrabber : public CGrabber {
public:
    bool Init(DWORD param, DWORD width, DWORD height, DWORD rate, DWORD objects, DWORD, DWORD) override {
        m_Param = param;
        const bool defaultSize = width == 0 || height == 0;
        m_Frame.reset(new CImageBuffer(CSize(defaultSize ? 640 : static_cast<int>(std::clamp<DWORD>(width, 16, 4096)),
                                             defaultSize ? 480 : static_cast<int>(std::clamp<DWORD>(height, 16, 4096))),
                                       24));
        m_Rate = Setting(rate, 25, 1, 1000);
        m_Objects = static_cast<int>(std::min<DWORD>(objects, testpattern::kMaxObjects));
        m_Start = Clock::now();
        m_StartMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::system_clock::now().time_since_epoch())
                        .count();
        m_Index = -1;
        m_bInited = !m_Frame->IsEmpty();
        return m_bInited;
    }

    bool Grab(int, unsigned char* flag, int timeout) override {
        if (flag) *flag = 0;
        if (!m_bInited) return false;
        const Clock::time_point limit = timeout < 0 ? Clock::time_point::max()
                                                    : Clock::now() + std::chrono::milliseconds(timeout);
        long due = DueIndex(Clock::now());
        if (due <= m_Index) {
            const Clock::time_point next = FrameTime(m_Index + 1);
            if (next > limit) return false;
            std::this_thread::sleep_until(next);
            due = std::max(m_Index + 1, DueIndex(Clock::now()));
        }
        m_Index = due;
        const CSize size = m_Frame->GetSize();
        testpattern::RenderFrame(m_Frame->GetPixelBuffer(), size.cx, size.cy, m_Objects, m_Index);
        // The frame's own time: start + index / rate, to the microsecond.
        const long long us = static_cast<long long>(m_Index) * 1000000 / m_Rate;
        m_Frame->SetTime(CSystemTime(m_StartMs + us / 1000, static_cast<DWORD>(us % 1000)),
                         static_cast<int>(m_Index));
        if (flag) *flag = 1;
        return true;
    }

    bool SetTrigger(DWORD, DWORD) override { return false; }
    CSize GetMaxFrameSize(int) override { return CSize(4096, 4096); }
    CSize GetFrameSize(int) override { return m_Frame ? m_Frame->GetSize() : CSize(0, 0); }
    int GetBitCount(int) override { return 24; }
    BYTE* GetFrameBuffer(int) override { return m_Index >= 0 ? m_Frame->GetPixelBuffer() : nullptr; }
    DWORD GetInitParam() override { return m_Param; }
    DWORD GetStatus() override { return 0; }
    bool IsTriggerSupported() override { return false; }
    bool SelectInput(int) override { return false; }
    long GetLastFrameIndex(int) override { return m_Index < 0 ? 0 : m_Index; }
    CSystemTime GetFrameTime(int) override { return m_Frame ? m_Frame->GetTime() : CSystemTime(); }

private:
    long DueIndex(Clock::time_point t) const {
        const auto us = std::chrono::duration_cast<std::chrono::microseconds>(t - m_Start).count();
        return static_cast<long>(us * m_Rate / 1000000);
    }
    Clock::time_point FrameTime(long index) const {
        return m_Start + std::chrono::microseconds((static_cast<long long>(index) * 1000000 + m_Rate - 1) / m_Rate);
    }

    std::unique_ptr<CImageBuffer> m_Frame;
    DWORD m_Param = 0;
    DWORD m_Rate = 25;
    int m_Objects = 0;
    Clock::time_point m_Start;
    long long m_StartMs = 0;
    long m_Index = -1;
};

} // namespace

extern "C" __attribute__((visibility("default"))) CGrabber* CreateGrabber() { return new CTestPatternGrabber; }
