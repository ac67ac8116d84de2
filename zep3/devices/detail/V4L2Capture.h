#pragma once
// Streaming capture from a V4L2 device in 24-bit blue-green-red, the stand-in
// for the platform's capture window: a thread takes each frame the driver
// fills (converted by libv4l2 when the device speaks another format) into a
// back buffer, and TakeFrame hands the newest one over.
#include <zep3/imaging/ImageBuffer.h>
#include <zep3/platform/detail/Posix.h>

#include <memory>
#include <mutex>
#include <vector>

class CWinThread;

namespace zep3::detail {

class V4L2Capture {
public:
    // The first of /dev/video0 .. /dev/video9 that streams video capture,
    // opened at its current frame size; null when none does.
    static std::unique_ptr<V4L2Capture> OpenFirst();
    // Stops the thread and the stream and closes the device.
    ~V4L2Capture();
    V4L2Capture(const V4L2Capture&) = delete;
    V4L2Capture& operator=(const V4L2Capture&) = delete;

    CSize GetSize() const { return CSize(m_Width, m_Height); }
    // Starts streaming and the capture thread; false when the driver refuses.
    bool Start();
    // When a frame arrived since the last call, swaps it into `frame` (a
    // buffer of GetSize at 24 bits) and returns true.
    bool TakeFrame(std::unique_ptr<CImageBuffer>& frame);

private:
    struct Mapping {
        void* start;
        size_t length;
    };
    V4L2Capture() = default;
    bool Configure();
    void CaptureFrames();
    static UINT CaptureThread(void* param);

    int m_Fd = -1;
    int m_Width = 0;
    int m_Height = 0;
    int m_BytesPerLine = 0;
    std::vector<Mapping> m_Buffers;
    bool m_bStreaming = false;
    UniqueFd m_Stop;
    CWinThread* m_pThread = nullptr;
    std::mutex m_Lock;
    std::unique_ptr<CImageBuffer> m_pBack;
    bool m_bNewFrame = false;
};

} // namespace zep3::detail
