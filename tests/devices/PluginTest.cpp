// Plug-in modules of each kind, built by the suite, loaded by their Windows
// names, used and unloaded; and what the base classes keep.
#include "DevicesTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace devicestest;

namespace {

std::string Module(const char* name) { return PluginFolder() + name; }

// Whether the module is loaded now (without loading it).
bool IsLoaded(const char* name) {
    HMODULE module = GetModuleHandle((Module(name) + ".so").c_str());
    return module != nullptr;
}

// The base classes' own logic, through the smallest implementations.
class CBareDigitalIO : public CDigitalIO {
public:
    bool Open(int) override { return true; }
    void Close() override {}
    bool IsOpen() const override { return true; }
    bool ReadInputs() override { return true; }
    bool WriteOutputs() override { return true; }
    int GetInputCount() const override { return 32; }
    int GetOutputCount() const override { return 32; }
    using CDigitalIO::SetInputMaskState;
    using CDigitalIO::SetOutputMaskState;
};

} // namespace

TEST(Plugins, GrabberModuleLoadedByItsWindowsName) {
    unsetenv("ZEP3_TEST_GRABBER_DELETED");
    CGrabber* grabber = CreateGrabber((Module("TestGrabber") + ".dll").c_str());
    ASSERT_NE(grabber, nullptr);
    EXPECT_TRUE(IsLoaded("TestGrabber"));
    ASSERT_TRUE(grabber->Init(77, 0, 0, 0, 0, 0, 0));
    unsigned char flag = 0;
    ASSERT_TRUE(grabber->Grab(0, &flag, 0));
    ASSERT_TRUE(grabber->Grab(0, &flag, 0));
    EXPECT_EQ(grabber->GetFrameBuffer(0)[23], 2);
    EXPECT_EQ(grabber->GetFrameTime(0), CSystemTime(2000LL, 0));

    // While the module is loaded, every name gets its grabbers.
    CGrabber* second = CreateGrabber("no-such-grabber.dll");
    ASSERT_NE(second, nullptr);
    delete second; // the module's own destructor, through the base
    EXPECT_STREQ(getenv("ZEP3_TEST_GRABBER_DELETED"), "1");
    unsetenv("ZEP3_TEST_GRABBER_DELETED");

    DestroyGrabber(grabber);
    EXPECT_STREQ(getenv("ZEP3_TEST_GRABBER_DELETED"), "1");
    EXPECT_FALSE(IsLoaded("TestGrabber"));
    EXPECT_EQ(CreateGrabber("no-such-grabber.dll"), nullptr);
}

TEST(Plugins, FactoryFailures) {
    EXPECT_EQ(CreateGrabber(""), nullptr);
    EXPECT_EQ(CreateDigitalIO(""), nullptr);
    EXPECT_EQ(CreateAnalogIO(""), nullptr);
    EXPECT_EQ(CreateGrabber("vfw"), nullptr); // not the built-in name: a module that is not there
    EXPECT_EQ(CreateDigitalIO("COM1"), nullptr); // no built-in digital device

    // A module without the factory stays loaded until the destroy call.
    const CString noFactory = (Module("NoFactory") + ".dll").c_str();
    EXPECT_EQ(CreateGrabber(noFactory), nullptr);
    EXPECT_TRUE(IsLoaded("NoFactory"));
    EXPECT_EQ(CreateGrabber((Module("TestGrabber") + ".dll").c_str()), nullptr);
    DestroyGrabber(nullptr);
    EXPECT_FALSE(IsLoaded("NoFactory"));
    EXPECT_EQ(CreateDigitalIO(noFactory), nullptr);
    DestroyDigitalIO(nullptr);
    EXPECT_EQ(CreateAnalogIO(noFactory), nullptr);
    DestroyAnalogIO(nullptr);
    EXPECT_FALSE(IsLoaded("NoFactory"));
}

TEST(Plugins, DigitalAndAnalogModules) {
    CDigitalIO* io = CreateDigitalIO((Module("TestDigitalIO") + ".DLL").c_str());
    ASSERT_NE(io, nullptr);
    // Each kind keeps its own module.
    CAnalogIO* analog = CreateAnalogIO((Module("TestAnalogIO") + ".dll").c_str());
    ASSERT_NE(analog, nullptr);
    ASSERT_TRUE(io->Open(0));
    io->SetOutputState(0, true);
    io->SetOutputState(35, true); // bit 3
    ASSERT_TRUE(io->ReadInputs());
    EXPECT_EQ(io->GetInputState(), 0xFF09ul);
    EXPECT_TRUE(io->GetInputBitState(-29)); // -29 mod 32 = 3
    EXPECT_FALSE(io->GetInputBitState(4));
    DestroyDigitalIO(io);
    EXPECT_FALSE(IsLoaded("TestDigitalIO"));
    EXPECT_TRUE(IsLoaded("TestAnalogIO"));

    ASSERT_TRUE(analog->ReadInputs());
    EXPECT_EQ(analog->GetInputState(3), 3.5);
    EXPECT_EQ(analog->GetInputState(4), 0.0);
    EXPECT_EQ(analog->GetInputState(-1), 0.0);
    analog->WriteOutput(1, 7.25, 0);
    analog->WriteOutput(2, 9.0, 0);
    EXPECT_EQ(analog->GetOutputState(1), 7.25);
    EXPECT_EQ(analog->GetOutputState(2), 0.0);
    ASSERT_EQ(analog->GetInputRanges().GetSize(), 2);
    EXPECT_EQ(analog->GetInputRanges()[1].m_Name, "0-5V");
    EXPECT_EQ(analog->GetOutputName(9), "O_10");
    EXPECT_FALSE(analog->SetInputName(-2, "x"));
    DestroyAnalogIO(analog);
    EXPECT_FALSE(IsLoaded("TestAnalogIO"));
}

TEST(Plugins, LineNamesAndMasks) {
    CBareDigitalIO io;
    EXPECT_TRUE(io.SetInputBitName(3, "door"));
    EXPECT_EQ(io.GetInputBitName(2), "I_03");
    EXPECT_EQ(io.GetInputBitName(3), "door");
    EXPECT_TRUE(io.SetInputBitName(3, ""));
    EXPECT_EQ(io.GetInputBitName(3), "I_04");
    EXPECT_FALSE(io.SetInputBitName(-1, "x"));
    EXPECT_EQ(io.GetOutputBitName(11), "O_12");

    io.SetInputMaskState(0xF0, 0xFFFFFFFF);
    io.SetInputMaskState(0x0F, 0x05);
    EXPECT_EQ(io.GetInputState(), 0xF5ul);
    io.SetOutputMaskState(0xFFFFFFFF, 0x80000001);
    EXPECT_EQ(io.GetOutputState(), 0x80000001ul);
}
