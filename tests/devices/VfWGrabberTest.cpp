// The built-in "VfW" grabber over V4L2: a clean failure without capture
// devices, and frames read back from a v4l2loopback device where the module
// can be loaded.
#include "DevicesTestSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

using namespace devicestest;

namespace {

bool AnyCaptureNode() {
    for (int i = 0; i < 10; ++i)
        if (access(("/dev/video" + std::to_string(i)).c_str(), F_OK) == 0) return true;
    return false;
}

} // namespace

TEST(VfWGrabber, FailsCleanlyWithoutCaptureDevices) {
    if (AnyCaptureNode()) GTEST_SKIP() << "this machine has /dev/video nodes";
    CGrabber* grabber = CreateGrabber("VfW");
    ASSERT_NE(grabber, nullptr);
    EXPECT_FALSE(grabber->Init(9, 1, 2, 3, 4, 5, 6));
    EXPECT_FALSE(grabber->IsInited(0));
    unsigned char flag = 1;
    EXPECT_FALSE(grabber->Grab(0, &flag, 0));
    EXPECT_EQ(flag, 0);
    EXPECT_EQ(grabber->GetFrameBuffer(0), nullptr);
    EXPECT_EQ(grabber->GetFrameSize(0), CSize(0, 0));
    DestroyGrabber(grabber);
}

TEST(VfWGrabber, ReadsFramesBackFromALoopbackDevice) {
    if (AnyCaptureNode()) GTEST_SKIP() << "another capture device would be found first";
    if (zep3test::runCommand("modprobe v4l2loopback devices=1 video_nr=0 exclusive_caps=0 2>/dev/null") != 0 ||
        access("/dev/video0", F_OK) != 0)
        GTEST_SKIP() << "the v4l2loopback module cannot be loaded on this machine";
    struct Unload {
        ~Unload() { zep3test::runCommand("modprobe -r v4l2loopback 2>/dev/null"); }
    } unload;

    // A feeder writes 64 x 48 frames of one colour into the loopback device.
    const int width = 64, height = 48;
    const int out = open("/dev/video0", O_RDWR);
    ASSERT_GE(out, 0);
    v4l2_format format{};
    format.type = V4L2_BUF_TYPE_VIDEO_OUTPUT;
    format.fmt.pix.width = width;
    format.fmt.pix.height = height;
    format.fmt.pix.pixelformat = V4L2_PIX_FMT_BGR24;
    format.fmt.pix.bytesperline = width * 3;
    format.fmt.pix.sizeimage = width * height * 3;
    format.fmt.pix.field = V4L2_FIELD_NONE;
    ASSERT_EQ(ioctl(out, VIDIOC_S_FMT, &format), 0);
    std::string frame;
    for (int i = 0; i < width * height; ++i) frame += "\x10\x80\xF0";
    std::atomic<bool> feeding{true};
    ASSERT_EQ(write(out, frame.data(), frame.size()), ssize_t(frame.size()));
    std::thread feeder([&] {
        while (feeding) {
            if (write(out, frame.data(), frame.size()) < 0) break;
            usleep(20000);
        }
    });

    CGrabber* grabber = CreateGrabber("VfW");
    const bool inited = grabber->Init(0, 0, 0, 0, 0, 0, 0);
    bool seen = false;
    if (inited) {
        EXPECT_EQ(grabber->GetFrameSize(0), CSize(width, height));
        unsigned char flag;
        seen = zep3test::waitFor([&] {
            return grabber->Grab(0, &flag, 0) && std::memcmp(grabber->GetFrameBuffer(0), frame.data(), 3) == 0;
        });
        if (seen) {
            EXPECT_EQ(std::memcmp(grabber->GetFrameBuffer(0), frame.data(), frame.size()), 0);
        }
    }
    DestroyGrabber(grabber);
    feeding = false;
    feeder.join();
    close(out);
    EXPECT_TRUE(inited);
    EXPECT_TRUE(seen);
}
