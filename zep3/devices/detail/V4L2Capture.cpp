#include <zep3/devices/detail/V4L2Capture.h>
#include <zep3/foundation/ThreadManager.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <libv4l2.h>
#include <linux/videodev2.h>
#include <poll.h>
#include <string>
#include <sys/eventfd.h>
#include <sys/mman.h>

namespace zep3::detail {

namespace {

const int kDriverCount = 10;
const unsigned kBufferCount = 4;

int Ioctl(int fd, unsigned long request, void* argument) {
    int result;
    do result = v4l2_ioctl(fd, request, argument);
    while (result < 0 && errno == EINTR);
    return result;
}

bool CanStream(int fd) {
    v4l2_capability caps{};
    if (Ioctl(fd, VIDIOC_QUERYCAP, &caps) != 0) return false;
    const uint32_t mine = caps.capabilities & V4L2_CAP_DEVICE_CAPS ? caps.device_caps : caps.capabilities;
    return (mine & V4L2_CAP_VIDEO_CAPTURE) && (mine & V4L2_CAP_STREAMING);
}

} // namespace

std::unique_ptr<V4L2Capture> V4L2Capture::OpenFirst() {
    for (int i = 0; i < kDriverCount; ++i) {
        const std::string path = "/dev/video" + std::to_string(i);
        const int fd = v4l2_open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        std::unique_ptr<V4L2Capture> capture(new V4L2Capture);
        capture->m_Fd = fd;
        if (CanStream(fd) && capture->Configure()) return capture;
    }
    return nullptr;
}

// Keeps the device's frame size and asks for blue-green-red at it.
bool V4L2Capture::Configure() {
    v4l2_format format{};
    format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (Ioctl(m_Fd, VIDIOC_G_FMT, &format) != 0) return false;
    format.fmt.pix.pixelformat = V4L2_PIX_FMT_BGR24;
    format.fmt.pix.field = V4L2_FIELD_ANY;
    if (Ioctl(m_Fd, VIDIOC_S_FMT, &format) != 0 || format.fmt.pix.pixelformat != V4L2_PIX_FMT_BGR24) return false;
    m_Width = static_cast<int>(format.fmt.pix.width);
    m_Height = static_cast<int>(format.fmt.pix.height);
    m_BytesPerLine = std::max(static_cast<int>(format.fmt.pix.bytesperline), m_Width * 3);
    m_pBack.reset(new CImageBuffer(CSize(m_Width, m_Height), 24));
    if (m_pBack->IsEmpty()) return false;

    v4l2_requestbuffers request{};
    request.count = kBufferCount;
    request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    request.memory = V4L2_MEMORY_MMAP;
    if (Ioctl(m_Fd, VIDIOC_REQBUFS, &request) != 0 || request.count == 0) return false;
    for (unsigned i = 0; i < request.count; ++i) {
        v4l2_buffer buffer{};
        buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        buffer.memory = V4L2_MEMORY_MMAP;
        buffer.index = i;
        if (Ioctl(m_Fd, VIDIOC_QUERYBUF, &buffer) != 0) return false;
        void* start = v4l2_mmap(nullptr, buffer.length, PROT_READ | PROT_WRITE, MAP_SHARED, m_Fd, buffer.m.offset);
        if (start == MAP_FAILED) return false;
        m_Buffers.push_back({start, buffer.length});
        if (Ioctl(m_Fd, VIDIOC_QBUF, &buffer) != 0) return false;
    }
    return true;
}

bool V4L2Capture::Start() {
    int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (Ioctl(m_Fd, VIDIOC_STREAMON, &type) != 0) return false;
    m_bStreaming = true;
    m_Stop.Reset(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    m_pThread = CThreadManager::CreateThread(CaptureThread, this, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED,
                                             "VfWCapture");
    if (!m_pThread) return false;
    m_pThread->m_bAutoDelete = FALSE;
    m_pThread->ResumeThread();
    return true;
}

V4L2Capture::~V4L2Capture() {
    if (m_pThread) {
        const uint64_t one = 1;
        WriteAll(m_Stop.Get(), &one, sizeof one);
        WaitForSingleObject(m_pThread->m_hThread, INFINITE);
        delete m_pThread;
    }
    int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (m_bStreaming) Ioctl(m_Fd, VIDIOC_STREAMOFF, &type);
    for (const Mapping& mapping : m_Buffers) v4l2_munmap(mapping.start, mapping.length);
    if (m_Fd >= 0) v4l2_close(m_Fd);
}

UINT V4L2Capture::CaptureThread(void* param) {
    static_cast<V4L2Capture*>(param)->CaptureFrames();
    return 0;
}

void V4L2Capture::CaptureFrames() {
    for (;;) {
        pollfd fds[2] = {{m_Fd, POLLIN, 0}, {m_Stop.Get(), POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 && errno != EINTR) return;
        if (fds[1].revents) return;
        if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) return; // the device went away
        v4l2_buffer buffer{};
        buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        buffer.memory = V4L2_MEMORY_MMAP;
        if (Ioctl(m_Fd, VIDIOC_DQBUF, &buffer) != 0) continue;
        if (buffer.index < m_Buffers.size()) {
            // The frame is copied at most to the buffer's size, row by row
            // past the driver's padding.
            const BYTE* source = static_cast<const BYTE*>(m_Buffers[buffer.index].start);
            const int rows = std::min<int>(m_Height, static_cast<int>(buffer.bytesused) / m_BytesPerLine);
            std::lock_guard<std::mutex> hold(m_Lock);
            BYTE* target = m_pBack->GetPixelBuffer();
            for (int y = 0; y < rows; ++y)
                std::memcpy(target + size_t(y) * m_Width * 3, source + size_t(y) * m_BytesPerLine, size_t(m_Width) * 3);
            m_bNewFrame = true;
        }
        Ioctl(m_Fd, VIDIOC_QBUF, &buffer);
    }
}

bool V4L2Capture::TakeFrame(std::unique_ptr<CImageBuffer>& frame) {
    std::lock_guard<std::mutex> hold(m_Lock);
    if (!m_bNewFrame) return false;
    frame.swap(m_pBack);
    m_bNewFrame = false;
    return true;
}

} // namespace zep3::detail
