// CSerialPort over pseudo-terminals: the slave is the port, the test plays
// the far end on the master.
#include "DevicesTestSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <poll.h>
#include <random>
#include <regex>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace devicestest;
using zep3::detail::SerialDevicePath;

namespace {

bool OpenPort(CSerialPort& port, const CString& name, CSerialPort::ReceiveProc onReceive = nullptr,
              void* user = nullptr) {
    return port.Open(name, onReceive, user, CBR_115200, 0, false, false, 8, NOPARITY, ONESTOPBIT);
}

std::string RandomBytes(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    return bytes;
}

// The system names of the process's threads.
std::string SystemThreadNames() {
    std::string names;
    zep3test::runCommand("cat /proc/" + std::to_string(getpid()) + "/task/*/comm", &names);
    return names;
}

// Everything ReadStr gives until `size` bytes came (10 s at most).
std::string ReadAll(CSerialPort& port, size_t size) {
    std::string got;
    zep3test::waitFor([&] {
        CString text;
        if (port.ReadStr(text)) got += text.str();
        return got.size() >= size;
    });
    return got;
}

} // namespace

TEST(SerialPort, PortNames) {
    EXPECT_EQ(CSerialPortLine::GetComStr(12), "COM12");
    unsetenv("ZEP3_COM3");
    for (auto [name, path] : {std::pair{"COM3", "/dev/ttyS2"}, {"com1", "/dev/ttyS0"}, {"\\\\.\\COM12", "/dev/ttyS11"},
                              {"/dev/ttyUSB0", "/dev/ttyUSB0"}, {"COM0", "COM0"}, {"COM3x", "COM3x"}})
        EXPECT_EQ(SerialDevicePath(name), path) << name;
    ComAlias alias(3, "/dev/ttyACM1");
    EXPECT_EQ(SerialDevicePath("COM3"), "/dev/ttyACM1");
}

TEST(SerialPort, MegabyteEachWayInOrderWithACallbackPerChunk) {
    PtyPair pty;
    struct Sink {
        std::mutex lock;
        std::string data;
        int calls = 0;
        bool tooLarge = false;
    } sink;
    CSerialPort port;
    ASSERT_TRUE(OpenPort(port, pty.Path().c_str(), [](CString const& chunk, void* user) {
        Sink& s = *static_cast<Sink*>(user);
        std::lock_guard<std::mutex> hold(s.lock);
        s.data += chunk.str();
        ++s.calls;
        s.tooLarge |= chunk.GetLength() > 1024;
    }, &sink));
    CString untouched("keep");
    EXPECT_FALSE(port.ReadStr(untouched));
    EXPECT_EQ(untouched, "keep");

    // Random bytes: zeros among them travel as data.
    const std::string out = RandomBytes(1 << 20, 1), in = RandomBytes(1 << 20, 2);
    // The far end sends and receives at once, as fast as the terminal goes.
    std::future<std::string> farEnd = std::async(std::launch::async, [&] {
        std::string got;
        size_t sent = 0;
        char buffer[65536];
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while ((got.size() < out.size() || sent < in.size()) && std::chrono::steady_clock::now() < limit) {
            pollfd fd{pty.Master(), short(POLLIN | (sent < in.size() ? POLLOUT : 0)), 0};
            poll(&fd, 1, 100);
            const ssize_t n = read(pty.Master(), buffer, sizeof buffer);
            if (n > 0) got.append(buffer, size_t(n));
            if (sent < in.size()) {
                const ssize_t w = write(pty.Master(), in.data() + sent, std::min<size_t>(4096, in.size() - sent));
                if (w > 0) sent += size_t(w);
            }
        }
        return got;
    });
    EXPECT_TRUE(port.WriteStr(CString(out.data(), int(out.size()))));
    const std::string received = ReadAll(port, in.size());
    const std::string sentByPort = farEnd.get();
    EXPECT_TRUE(zep3test::waitFor([&] { return port.IsWriteDone(); }));
    EXPECT_TRUE(sentByPort == out) << "the far end received " << sentByPort.size() << " other bytes";
    EXPECT_TRUE(received == in) << "the port received " << received.size() << " other bytes";
    std::lock_guard<std::mutex> hold(sink.lock);
    EXPECT_TRUE(sink.data == in) << "the chunks do not add up to the input";
    EXPECT_GE(sink.calls, int(in.size() / 1024));
    EXPECT_FALSE(sink.tooLarge);
}

TEST(SerialPort, SettingsAsTermios) {
    const tcflag_t kFrame = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
    struct Case {
        zep3::detail::SerialSettings settings;
        tcflag_t cflag, iflag;
    } cases[] = {
        {{CBR_19200, 0, true, true, 7, EVENPARITY, TWOSTOPBITS}, CS7 | PARENB | CSTOPB | CRTSCTS, IXON | IXOFF},
        {{CBR_115200, 0, false, false, 5, MARKPARITY, ONE5STOPBITS}, CS5 | PARENB | PARODD | CMSPAR | CSTOPB, 0},
        {{CBR_9600, 0, false, false, 9, SPACEPARITY, ONESTOPBIT}, CS8 | PARENB | CMSPAR, 0},
    };
    for (const Case& c : cases) {
        termios t{};
        ASSERT_TRUE(zep3::detail::MakeTermios(c.settings, t));
        EXPECT_EQ(cfgetispeed(&t), cfgetospeed(&t));
        EXPECT_EQ(t.c_cflag & (kFrame | CLOCAL | CREAD), c.cflag | CLOCAL | CREAD) << int(c.settings.byteSize);
        EXPECT_EQ(t.c_iflag & (IXON | IXOFF | INPCK), c.iflag);
    }
    termios t{};
    EXPECT_FALSE(zep3::detail::MakeTermios({250000, 0, false, false, 8, ODDPARITY, ONESTOPBIT}, t));
}

// A pseudo-terminal keeps all but the byte size and parity enable, which it
// forces to 8 bits without parity.
TEST(SerialPort, SettingsReachTheTerminal) {
    PtyPair pty;
    CSerialPort port;
    ASSERT_TRUE(port.Open(pty.Path().c_str(), nullptr, nullptr, CBR_19200, 0, true, true, 7, ODDPARITY, TWOSTOPBITS));
    termios t;
    ASSERT_EQ(tcgetattr(pty.Slave(), &t), 0);
    EXPECT_EQ(cfgetospeed(&t), speed_t(B19200));
    EXPECT_EQ(t.c_cflag & (PARODD | CMSPAR | CSTOPB | CRTSCTS | CLOCAL | CREAD),
              tcflag_t(PARODD | CSTOPB | CRTSCTS | CLOCAL | CREAD));
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | INPCK), tcflag_t(IXON | IXOFF));
    EXPECT_EQ(t.c_cc[VSTART], 0x11);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);

    // A rate without a constant of its own goes through termios2.
    ASSERT_TRUE(port.Open(pty.Path().c_str(), nullptr, nullptr, 250000, 0, false, false, 8, NOPARITY, ONESTOPBIT));
    ASSERT_EQ(tcgetattr(pty.Slave(), &t), 0);
    EXPECT_EQ(t.c_cflag & CBAUD, tcflag_t(0010000)); // BOTHER
}

TEST(SerialPort, OpensAreExclusiveForEveryProcess) {
    PtyPair pty;
    ComAlias com(22, pty.Path());
    CSerialPort first;
    ASSERT_TRUE(OpenPort(first, com.Name()));

    CSerialPort second;
    SetLastError(0);
    EXPECT_FALSE(OpenPort(second, com.Name()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(second.IsOpen());

    // Another process, root or not, is refused the same way.
    const pid_t child = fork();
    if (child == 0) {
        CSerialPortLine other;
        _exit(other.Open(com.Name(), nullptr, nullptr, CBR_9600, 0, false, false, 8, 0, 0) ? 100
                                                                                          : int(GetLastError()));
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_EQ(WEXITSTATUS(status), int(ERROR_ACCESS_DENIED));

    first.Close();
    EXPECT_TRUE(OpenPort(second, com.Name()));
}

TEST(SerialPort, FailuresAndClosedPorts) {
    CSerialPort port;
    EXPECT_FALSE(OpenPort(port, "/dev/zep3-no-such-port"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(OpenPort(port, "/dev/null")); // no terminal
    EXPECT_FALSE(port.IsOpen());
    port.Close(); // never opened: harmless
    EXPECT_FALSE(port.SetDtr(true));
    EXPECT_FALSE(port.IsCts());

    CSerialPortLine line;
    char buffer[4];
    EXPECT_EQ(line.Read(buffer, 4), 0);
    EXPECT_EQ(line.Write("x", 1), -1);
    EXPECT_FALSE(line.WriteStr("x"));
    EXPECT_EQ(line.WaitForEvent(), 0u);
    EXPECT_TRUE(line.TerminateWaitThread());
}

TEST(SerialPort, CloseEndsWaitingThreads) {
    {
        PtyPair pty;
        CSerialPort port;
        ASSERT_TRUE(OpenPort(port, pty.Path().c_str()));
        const std::string names = registeredThreadNames();
        EXPECT_NE(names.find(":SerialRead;"), std::string::npos) << names;
        EXPECT_NE(names.find(":SerialWrite;"), std::string::npos) << names;
        EXPECT_NE(SystemThreadNames().find("SerialRead"), std::string::npos);
        // A read waiting for bytes, a write the far end never takes.
        EXPECT_TRUE(port.WriteStr(CString(std::string(1 << 20, 'w'))));
        std::future<void> closed = std::async(std::launch::async, [&] { port.Close(); });
        ASSERT_EQ(closed.wait_for(std::chrono::seconds(10)), std::future_status::ready);
        EXPECT_FALSE(port.IsOpen());
        const std::string after = registeredThreadNames();
        EXPECT_EQ(after.find(":Serial"), std::string::npos) << after;

        // The far end hangs up: the read thread retries until Close.
        ASSERT_TRUE(OpenPort(port, pty.Path().c_str()));
        pty.HangUp();
    }
    // Gone from the process, not only from the registry.
    EXPECT_TRUE(zep3test::waitFor([] { return SystemThreadNames().find("Serial") == std::string::npos; }))
        << SystemThreadNames();
}

TEST(SerialPort, GetTimeStrStampsToTheMillisecond) {
    CSerialPort port;
    EXPECT_TRUE(std::regex_match(port.GetTimeStr().GetString(), std::regex("[0-2][0-9]:[0-5][0-9]:[0-5][0-9]\\.[0-9]{3}")));
}
