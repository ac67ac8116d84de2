// The built-in serial analog device, fed text lines over a pseudo-terminal.
#include "DevicesTestSupport.h"

#include <gtest/gtest.h>

#include <memory>

using namespace devicestest;

namespace {

struct AnalogDeleter {
    void operator()(CAnalogIO* io) const { DestroyAnalogIO(io); }
};
using AnalogPtr = std::unique_ptr<CAnalogIO, AnalogDeleter>;

// Sends the bytes and waits until the port holds all that is unread.
void Deliver(const PtyPair& pty, const std::string& bytes, int unread) {
    pty.Send(bytes);
    ASSERT_TRUE(zep3test::waitFor([&] { return pty.Queued() == unread; }));
}

} // namespace

TEST(SerialAnalogIO, AssemblesLinesFromWhatArrives) {
    PtyPair pty;
    ComAlias com(9, pty.Path());
    AnalogPtr missing(CreateAnalogIO("COM199"));
    ASSERT_NE(missing, nullptr);
    EXPECT_FALSE(missing->IsOpen());
    AnalogPtr io(CreateAnalogIO("COM9"));
    ASSERT_NE(io, nullptr);
    EXPECT_TRUE(io->IsOpen());
    EXPECT_TRUE(io->Open(0, 0));
    const std::string names = registeredThreadNames();
    EXPECT_NE(names.find(":SerialPortLine;"), std::string::npos) << names;

    CString line("old");
    EXPECT_FALSE(io->ReadLine(line, 0, 0));
    EXPECT_TRUE(line.IsEmpty());
    Deliver(pty, "12.5\r", 5);
    EXPECT_TRUE(io->ReadLine(line, 0, 0));
    EXPECT_EQ(line, "12.5");

    // A part waits for the rest.
    Deliver(pty, "12", 2);
    EXPECT_FALSE(io->ReadLine(line, 0, 0));
    Deliver(pty, ".75\n-3", 6);
    EXPECT_TRUE(io->ReadLine(line, 0, 0));
    EXPECT_EQ(line, "12.75");

    // The last end in one read wins, even an empty line.
    Deliver(pty, "\r1\r2\r", 5);
    EXPECT_TRUE(io->ReadLine(line, 0, 0));
    EXPECT_EQ(line, "2");
    Deliver(pty, "7\r\n", 3);
    EXPECT_FALSE(io->ReadLine(line, 0, 0));

    io.reset();
    EXPECT_EQ(registeredThreadNames().find(":SerialPortLine;"), std::string::npos);
}
