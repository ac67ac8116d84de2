// Both USB devices against a device double: the bulk device on usbfs played
// in memory, the libusb device on a module that plays the device. The
// device classes' own ring, worker, overflow rule and close paths run.
#include "DevicesTestSupport.h"
#include "UsbTestSupport.h"

#include <gtest/gtest.h>

#include <type_traits>
#include <vector>

using namespace devicestest;

namespace {

const char* const kDevicePath = "/dev/bus/usb/001/004";
const char* const kOtherVendorPath = "/dev/bus/usb/001/005";
constexpr int kSegment = 4096;
constexpr int kRing = 819200;

// Bytes that differ from one segment to the next and within it.
std::string Pattern(size_t offset, size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        const size_t k = offset + i;
        bytes[i] = char((k * 31) ^ (k >> 12));
    }
    return bytes;
}

template <class Device> struct UsbCase;
template <> struct UsbCase<CBulkUSBDevice> {
    using Double = FakeUsbfs;
    static constexpr const char* kThread = ":BulkUSBDevice;";
    static constexpr EUSBDeviceType kType = USB_DEVICE_TYPE_BULK;
};
template <> struct UsbCase<CLibUSBDevice> {
    using Double = LibUsbModuleDouble;
    static constexpr const char* kThread = ":LibUSBDevice;";
    static constexpr EUSBDeviceType kType = USB_DEVICE_TYPE_LIBUSB;
};

template <class Device> class UsbDeviceTest : public ::testing::Test {
protected:
    using Case = UsbCase<Device>;
    static constexpr bool kBulk = std::is_same<Device, CBulkUSBDevice>::value;

    void Open() {
        ASSERT_TRUE(m_device.OpenDeviceBulk(kDevicePath));
        ASSERT_TRUE(zep3test::waitFor([this] { return m_double.PendingReads() == 200; })) << m_double.PendingReads();
    }
    bool WorkerRuns() { return registeredThreadNames().find(Case::kThread) != std::string::npos; }
    // Waits until `size` bytes are unread, then reads them.
    std::string Read(int size) {
        EXPECT_TRUE(zep3test::waitFor([&] { return m_device.GetAvailableRead() >= size; }))
            << m_device.GetAvailableRead();
        std::string bytes(size_t(size), '\0');
        bool overflow = true;
        bytes.resize(size_t(m_device.ReadPipe(&bytes[0], size, &overflow, nullptr)));
        EXPECT_FALSE(overflow);
        return bytes;
    }
    // Waits until a ReadPipe reports the overflow flag.
    bool OverflowReported() {
        return zep3test::waitFor([this] {
            bool overflow = false;
            m_device.ReadPipe(nullptr, 0, &overflow, nullptr);
            return overflow;
        });
    }

    typename Case::Double m_double; // installed before the device binds
    Device m_device;
};

using Devices = ::testing::Types<CBulkUSBDevice, CLibUSBDevice>;
TYPED_TEST_SUITE(UsbDeviceTest, Devices);

TYPED_TEST(UsbDeviceTest, ListsTheDeviceOpensItByNameAndClosesEverything) {
    CArray<CUSBDeviceDescr, CUSBDeviceDescr const&> list;
    list.Add(CUSBDeviceDescr("stale", 7));
    ASSERT_EQ(TypeParam::GetDeviceList(list), 1);
    EXPECT_EQ(CString(list[0].m_DeviceName), kDevicePath);
    EXPECT_EQ(list[0].m_DeviceType, int(TestFixture::Case::kType));

    EXPECT_FALSE(this->m_device.OpenDeviceBulk("/dev/bus/usb/001/009"));
    EXPECT_FALSE(this->m_device.OpenDeviceBulk(kOtherVendorPath));
    EXPECT_FALSE(this->WorkerRuns());

    this->Open();
    EXPECT_TRUE(this->WorkerRuns());
    EXPECT_TRUE(this->m_device.CloseDevice());
    EXPECT_EQ(this->m_double.PendingReads(), 0);
    EXPECT_FALSE(this->WorkerRuns());
    EXPECT_TRUE(this->m_device.CloseDevice());

    this->Open(); // a closed device opens again
    if constexpr (TestFixture::kBulk) {
        EXPECT_TRUE(this->m_double.Claimed());
    } else {
        // Configuration 1, interface 0, alternate setting 0, halts of 0x83 and 0x03 cleared.
        int state[6];
        this->m_double.State(state);
        EXPECT_EQ(std::vector<int>(state, state + 4), std::vector<int>({1, 0, 0, 3}));
    }
}

TYPED_TEST(UsbDeviceTest, DeliversTheStreamInOrderAcrossTheEndOfTheRing) {
    this->Open();
    // Two segments, 3192 bytes read: 5000 unread, of which 4096 are taken.
    this->m_double.Feed(Pattern(0, 2 * kSegment));
    ASSERT_TRUE(zep3test::waitFor([this] { return this->m_device.GetAvailableRead() == 2 * kSegment; }));
    EXPECT_EQ(this->Read(3192), Pattern(0, 3192));
    EXPECT_EQ(this->m_device.GetAvailableRead(), 5000);
    EXPECT_EQ(this->Read(4096), Pattern(3192, 4096));
    EXPECT_EQ(this->m_device.GetAvailableRead(), 904);
    EXPECT_EQ(this->Read(904), Pattern(7288, 904));

    // Three rings' worth in batches of 50 segments, read in pieces that never
    // line up with the segments.
    size_t offset = 2 * kSegment;
    const size_t end = offset + 3 * size_t(kRing);
    while (offset < end) {
        this->m_double.Feed(Pattern(offset, 50 * kSegment));
        for (int left = 50 * kSegment; left > 0;) {
            const int piece = std::min(left, 5000);
            ASSERT_EQ(this->Read(piece), Pattern(offset, size_t(piece))) << offset;
            offset += size_t(piece);
            left -= piece;
        }
    }

    // A short transfer still fills a whole segment: its bytes, then zeros.
    this->m_double.Feed(Pattern(offset, 1000));
    EXPECT_EQ(this->Read(kSegment), Pattern(offset, 1000) + std::string(kSegment - 1000, '\0'));
    EXPECT_EQ(this->m_device.GetAvailableRead(), 0);
}

TYPED_TEST(UsbDeviceTest, ReportsTheOverflowOnceWhenTheWorkerCatchesUpWithTheReader) {
    this->Open();
    this->m_double.Feed(Pattern(0, kSegment));
    EXPECT_EQ(this->Read(100), Pattern(0, 100));
    this->m_double.Feed(Pattern(kSegment, 199 * kSegment));
    ASSERT_TRUE(zep3test::waitFor([this] { return this->m_device.GetAvailableRead() == kRing - 100; }));
    bool overflow = true;
    this->m_device.ReadPipe(nullptr, 0, &overflow, nullptr);
    EXPECT_FALSE(overflow); // full, but nothing overwritten yet

    // The 201st segment overwrites segment 0, where the reader stands.
    this->m_double.Feed(Pattern(200 * kSegment, kSegment));
    EXPECT_TRUE(this->OverflowReported());
    this->m_device.ReadPipe(nullptr, 0, &overflow, nullptr);
    EXPECT_FALSE(overflow); // reported once
    EXPECT_EQ(this->m_device.GetAvailableRead(), kSegment - 100);
    EXPECT_EQ(this->Read(kSegment - 100), Pattern(200 * kSegment + 100, kSegment - 100));

    // A reader that never read: the 200th segment reaches it at the ring's start.
    ASSERT_TRUE(this->m_device.CloseDevice());
    this->Open();
    this->m_double.Feed(Pattern(0, 199 * kSegment));
    ASSERT_TRUE(zep3test::waitFor([this] { return this->m_device.GetAvailableRead() == kRing - kSegment; }));
    this->m_double.Feed(Pattern(0, kSegment));
    EXPECT_TRUE(this->OverflowReported());
    EXPECT_EQ(this->m_device.GetAvailableRead(), 0);
}

TYPED_TEST(UsbDeviceTest, WritesReachTheOutputPipeAndTimeOutWhenTheDeviceTakesNone) {
    char closedData[] = "x";
    EXPECT_EQ(this->m_device.WritePipe(closedData, 1), 0);
    this->Open();
    char first[] = "first", second[] = "second", third[] = "third";
    EXPECT_EQ(this->m_device.WritePipe(first, 5), 1);
    EXPECT_TRUE(zep3test::waitFor([this] { return this->m_double.Written() == "first"; }));

    this->m_double.HoldWrites(true);
    CCounter waited;
    if constexpr (TestFixture::kBulk) {
        // Queued at once; the next write waits for it up to 1000 ms.
        EXPECT_EQ(this->m_device.WritePipe(second, 6), 1);
        waited.Start();
        EXPECT_EQ(this->m_device.WritePipe(third, 5), 0);
    } else {
        waited.Start();
        EXPECT_EQ(this->m_device.WritePipe(second, 6), 0);
        int state[6];
        this->m_double.State(state);
        EXPECT_EQ(state[4], 0x03);
        EXPECT_EQ(state[5], 1000);
    }
    EXPECT_GE(waited.Stop(), 999);

    this->m_double.HoldWrites(false);
    EXPECT_EQ(this->m_device.WritePipe(third, 5), 1);
    const std::string expected = TestFixture::kBulk ? "firstsecondthird" : "firstthird";
    EXPECT_TRUE(zep3test::waitFor([&] { return this->m_double.Written() == expected; })) << this->m_double.Written();
}

TYPED_TEST(UsbDeviceTest, RemovalDuringAReadEndsTheWorkerWithAStatedFailure) {
    this->Open();
    this->m_double.Feed(Pattern(0, 2 * kSegment));
    ASSERT_TRUE(zep3test::waitFor([this] { return this->m_device.GetAvailableRead() == 2 * kSegment; }));
    this->m_double.Unplug();
    // The bulk device sees the removal at once, the libusb device after more
    // than 3 seconds without a transfer.
    EXPECT_TRUE(zep3test::waitFor([this] { return !this->WorkerRuns(); }));
    EXPECT_EQ(this->Read(2 * kSegment), Pattern(0, 2 * kSegment)); // what came before stays
    char buffer[16];
    SetLastError(0);
    EXPECT_EQ(this->m_device.ReadPipe(buffer, sizeof buffer, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_DEVICE_NOT_CONNECTED));
    EXPECT_EQ(this->m_device.WritePipe(buffer, 1), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_DEVICE_NOT_CONNECTED));
    EXPECT_TRUE(this->m_device.CloseDevice());
}

TYPED_TEST(UsbDeviceTest, CloseRightAfterARemovalDoesNotWait) {
    this->Open();
    this->m_double.Unplug();
    EXPECT_TRUE(this->m_device.CloseDevice());
    EXPECT_FALSE(this->WorkerRuns());
}

// The bulk device tells how many of its reads are free again; the libusb
// device has nothing to tell.
TYPED_TEST(UsbDeviceTest, FreeRequestsTellTheLargestBacklogSinceThePreviousRead) {
    this->Open();
    this->m_double.Feed(Pattern(0, 5 * kSegment)); // five reads complete together
    ASSERT_TRUE(zep3test::waitFor([this] { return this->m_device.GetAvailableRead() == 5 * kSegment; }));
    char buffer[kSegment];
    int freeRequests = -1;
    EXPECT_EQ(this->m_device.ReadPipe(buffer, kSegment, nullptr, &freeRequests), kSegment);
    EXPECT_EQ(freeRequests, TestFixture::kBulk ? 196 : 0); // four were waiting behind the first
    this->m_device.ReadPipe(buffer, kSegment, nullptr, &freeRequests);
    EXPECT_EQ(freeRequests, TestFixture::kBulk ? 200 : 0);
}

} // namespace
