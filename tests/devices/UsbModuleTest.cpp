// The USB module built by the project and its binding, sysfs enumeration,
// the ring's arithmetic, and the machine's own (empty) device lists.
#include "DevicesTestSupport.h"
#include "UsbTestSupport.h"

#include "support/TestSupport.h"
#include <zep3/devices/detail/LibUsbBinding.h>
#include <zep3/devices/detail/Usbfs.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

using namespace devicestest;
using namespace zep3::detail;

namespace {

// Devices of vendor 0x190B / product 0x4654 that sysfs lists on this machine.
int SysfsDeviceCount() {
    std::string out;
    zep3test::runCommand(
        "grep -lix 190b /sys/bus/usb/devices/*/idVendor 2>/dev/null | "
        "while read f; do grep -qix 4654 \"${f%/idVendor}/idProduct\" && echo x; done | wc -l",
        &out);
    return atoi(out.c_str());
}

TEST(UsbModule, TheProjectModuleExportsEveryNameOverLibusb1) {
    LibUsbBinding usb;
    ASSERT_TRUE(usb.Load()) << LibUsbModulePath();
    for (int i = 0; i < kLibUsbEntries; ++i) EXPECT_TRUE(usb.HasEntry(i)) << kLibUsbEntryNames[i];
    EXPECT_EQ(usb.usb_get_version()->driver.major, 1); // libusb-1.0 underneath
    EXPECT_GE(usb.usb_find_busses(), 0);
    EXPECT_GE(usb.usb_find_devices(), 0);
    int devices = 0;
    for (usb_bus* bus = usb.usb_get_busses(); bus; bus = bus->next)
        for (usb_device* device = bus->devices; device; device = device->next) {
            ++devices;
            EXPECT_EQ(strncmp(device->filename, "/dev/bus/usb/", 13), 0) << device->filename;
        }
    std::string out;
    zep3test::runCommand("ls /sys/bus/usb/devices 2>/dev/null | grep -vc :", &out);
    EXPECT_EQ(devices, atoi(out.c_str()));
    void* context = nullptr;
    EXPECT_LT(usb.usb_bulk_setup_async(nullptr, &context, 0x83), 0);
}

TEST(UsbModule, AMissingEntryPointAnswersMinus99) {
    LibUsbModuleDouble module("LibUsbDoubleNoBulkWrite.so");
    LibUsbBinding usb;
    ASSERT_TRUE(usb.Load(module.Path()));
    EXPECT_FALSE(usb.HasEntry(6)); // "usb_bulk_write"
    char byte = 0;
    EXPECT_EQ(usb.usb_bulk_write(nullptr, 0x03, &byte, 1, 1000), -99);

    // The device still opens and streams; its writes fail.
    CLibUSBDevice device;
    ASSERT_TRUE(device.OpenDeviceBulk("/dev/bus/usb/001/004"));
    module.Feed(std::string(4096, 'z'));
    ASSERT_TRUE(zep3test::waitFor([&] { return device.GetAvailableRead() == 4096; }));
    EXPECT_EQ(device.WritePipe(&byte, 1), 0);
}

TEST(UsbModule, WithoutTheModuleOrItsInitTheDeviceCannotOpen) {
    for (const char* name : {"LibUsbDoubleNoInit.so", "NoSuchUsbModule.so"}) {
        SetLibUsbModulePath(PluginFolder() + name);
        CLibUSBDevice device;
        EXPECT_FALSE(device.OpenDeviceBulk("/dev/bus/usb/001/004")) << name;
        CArray<CUSBDeviceDescr, CUSBDeviceDescr const&> list;
        list.Add(CUSBDeviceDescr("stale", 1));
        EXPECT_EQ(CLibUSBDevice::GetDeviceList(list), 0);
        EXPECT_EQ(list.GetSize(), 0);
    }
    SetLibUsbModulePath("");
}

TEST(UsbModule, BothListsShowWhatSysfsShowsOnThisMachine) {
    CArray<CUSBDeviceDescr, CUSBDeviceDescr const&> bulk, libusb;
    const int present = SysfsDeviceCount();
    EXPECT_EQ(CBulkUSBDevice::GetDeviceList(bulk), present);
    EXPECT_EQ(CLibUSBDevice::GetDeviceList(libusb), present);
    if (present == 0)
        std::cout << "[ note ] no USB device 190B:4654 on this machine: both device lists are empty\n";
}

// A sysfs tree made by the test: the usbfs backend reads it as it reads /sys.
class UsbSysfs : public ::testing::Test {
protected:
    void Device(const std::string& name, const char* vendor, int bus, int number,
                std::initializer_list<std::pair<const char*, const char*>> texts) {
        const std::string folder = m_dir.file("sys/" + name);
        mkdir(folder.c_str(), 0755);
        zep3test::writeFile(folder + "/idVendor", std::string(vendor) + "\n");
        zep3test::writeFile(folder + "/idProduct", "4654\n");
        zep3test::writeFile(folder + "/busnum", std::to_string(bus) + "\n");
        zep3test::writeFile(folder + "/devnum", std::to_string(number) + "\n");
        for (const auto& text : texts) {
            const std::string file = folder + "/" + text.first;
            mkdir(file.substr(0, file.rfind('/')).c_str(), 0755);
            zep3test::writeFile(file, std::string(text.second) + "\n");
        }
    }

    zep3test::TempDir m_dir;
};

TEST_F(UsbSysfs, ListsTheVendorsDevicesWithNameAndSerial) {
    mkdir(m_dir.file("sys").c_str(), 0755);
    Device("1-2", "190b", 1, 4, {{"product", "Data Logger"}, {"serial", "SN42"}});
    Device("3-1", "190B", 3, 12, {{"3-1:1.0/interface", "Bulk Pipe"}});
    Device("4-1", "190b", 4, 2, {});
    Device("2-1", "1234", 2, 7, {{"product", "Other"}});
    const std::shared_ptr<UsbfsBackend> usbfs = MakeUsbfsBackend(m_dir.file("sys"), m_dir.file("dev"));
    const std::vector<UsbfsDeviceEntry> found = usbfs->Enumerate();
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].path, m_dir.file("dev/001/004"));
    EXPECT_EQ(found[0].name, "Data Logger");
    EXPECT_EQ(found[0].serial, "SN42");
    EXPECT_EQ(found[1].path, m_dir.file("dev/003/012"));
    EXPECT_EQ(found[1].name, "Bulk Pipe"); // no product string: the interface's
    EXPECT_EQ(found[1].serial, "");
    EXPECT_EQ(found[2].name, m_dir.file("dev/004/002")); // neither: the path

    // Through the class: listed by path; a device file that is no usbfs
    // file, or none at all, does not open.
    SetUsbfsBackend(usbfs);
    CArray<CUSBDeviceDescr, CUSBDeviceDescr const&> list;
    EXPECT_EQ(CBulkUSBDevice::GetDeviceList(list), 3);
    EXPECT_EQ(CString(list[0].m_DeviceName), m_dir.file("dev/001/004").c_str());
    mkdir(m_dir.file("dev").c_str(), 0755);
    mkdir(m_dir.file("dev/001").c_str(), 0755);
    zep3test::writeFile(m_dir.file("dev/001/004"), "");
    CBulkUSBDevice device;
    EXPECT_FALSE(device.OpenDeviceBulk(m_dir.file("dev/001/004").c_str()));
    EXPECT_FALSE(device.OpenDeviceBulk(m_dir.file("dev/003/012").c_str()));
    SetUsbfsBackend(nullptr);
}

} // namespace
