// CSerialPortLine: the data path over pseudo-terminals, the modem lines and
// the communication events through the test double of the lines.
#include "DevicesTestSupport.h"

#include <gtest/gtest.h>

#include <future>
#include <vector>

using namespace devicestest;

namespace {

const unsigned int kAllEvents = EV_RXCHAR | EV_CTS | EV_DSR | EV_RLSD | EV_RING | EV_BREAK | EV_ERR;

bool OpenLine(CSerialPortLine& line, const PtyPair& pty, unsigned int eventMask = kAllEvents,
              bool rtsHandshake = false) {
    return line.Open(pty.Path().c_str(), nullptr, nullptr, CBR_9600, eventMask, false, rtsHandshake, 8, NOPARITY,
                     ONESTOPBIT);
}

// What the wait thread reported, to its callback and to a window.
std::mutex g_lock;
std::vector<int> g_callbackEvents;

void OnEvent(int mask) {
    std::lock_guard<std::mutex> hold(g_lock);
    g_callbackEvents.push_back(mask);
}

bool CallbackSaw(int mask) {
    std::lock_guard<std::mutex> hold(g_lock);
    for (int m : g_callbackEvents)
        if (m == mask) return true;
    return false;
}

const UINT kNotifyMessage = WM_USER + 5;

class NotifyWnd : public CWnd {
public:
    std::vector<WPARAM> m_events;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == kNotifyMessage && lParam == 0) m_events.push_back(wParam);
        return CWnd::WindowProc(message, wParam, lParam);
    }
    bool Saw(WPARAM mask) const {
        for (WPARAM m : m_events)
            if (m == mask) return true;
        return false;
    }
};

} // namespace

TEST(SerialPortLine, ReadsAndWritesWhatIsThere) {
    PtyPair pty;
    CSerialPortLine line;
    ASSERT_TRUE(OpenLine(line, pty));
    char buffer[16];
    EXPECT_EQ(line.Read(buffer, sizeof buffer), 0);
    CString text("x");
    EXPECT_TRUE(line.ReadStr(text)); // nothing new, but not empty
    EXPECT_EQ(text, "x");

    pty.Send(std::string("ab\0c", 4));
    ASSERT_TRUE(zep3test::waitFor([&] { return pty.Queued() == 4; }));
    EXPECT_EQ(line.Read(buffer, 1), 1);
    EXPECT_TRUE(line.ReadStr(text));
    EXPECT_EQ(text, CString("xb\0c", 4));

    EXPECT_TRUE(line.WriteStr(CString("q\0r", 3)));
    EXPECT_EQ(line.WriteChar('s'), 1);
    EXPECT_EQ(line.Write("tu", 2), 2);
    EXPECT_TRUE(line.IsWriteDone());
    EXPECT_EQ(pty.Receive(6), std::string("q\0rstu", 6));
}

TEST(SerialPortLine, ModemLinesOfBothClasses) {
    FakeLines lines;
    PtyPair pty;
    {
        CSerialPort port;
        ASSERT_TRUE(port.Open(pty.Path().c_str(), nullptr, nullptr, CBR_9600, 0, false, false, 8, 0, 0));
        EXPECT_TRUE(port.SetDtr(true));
        EXPECT_TRUE(port.SetRts(false));
        // DTR and RTS dropped by the settings, then the calls'.
        EXPECT_EQ(lines.Escapes(), "6 4 5 4 ");
        lines.Set(MS_CTS_ON, true);
        EXPECT_TRUE(port.IsCts());
        EXPECT_FALSE(port.IsDsr());
        lines.SetBroken(true);
        EXPECT_FALSE(port.IsCts());
        EXPECT_FALSE(port.SetDtr(true));
        lines.SetBroken(false);
        port.Close();
        EXPECT_FALSE(port.IsCts());
    }
    const size_t before = lines.Escapes().size();
    CSerialPortLine line;
    ASSERT_TRUE(OpenLine(line, pty, kAllEvents, true));
    line.SetState(CSerialPortLine::RTS, true);
    line.SetState(static_cast<CSerialPortLine::EOutputLine>(2), false);
    line.SetState(static_cast<CSerialPortLine::EOutputLine>(-1), false);
    // Only DTR dropped by the settings: RTS does the handshake.
    EXPECT_EQ(lines.Escapes().substr(before), "6 3 ");
    EXPECT_FALSE(line.GetState(CSerialPortLine::RING));
    lines.Set(MS_RLSD_ON, true);
    lines.Set(MS_DSR_ON, true);
    EXPECT_TRUE(line.GetState(CSerialPortLine::RLSD));
    EXPECT_TRUE(line.GetState(static_cast<CSerialPortLine::EInputLine>(MS_CTS_ON | MS_DSR_ON)));
    lines.SetBroken(true);
    EXPECT_FALSE(line.IsDsr());
}

TEST(SerialPortLine, WaitForEventReportsChangesOfTheMask) {
    FakeLines lines;
    PtyPair pty;
    CSerialPortLine line;
    ASSERT_TRUE(OpenLine(line, pty));
    lines.Set(MS_CTS_ON, true);
    EXPECT_EQ(line.WaitForEvent(), EV_CTS);
    // Changes between two waits are reported together by the next.
    lines.Set(MS_DSR_ON, true);
    lines.Set(MS_RLSD_ON, true);
    EXPECT_EQ(line.WaitForEvent(), EV_DSR | EV_RLSD);
    lines.Ring();
    EXPECT_EQ(line.WaitForEvent(), EV_RING);
    lines.Break();
    EXPECT_EQ(line.WaitForEvent(), EV_BREAK);

    // A wait in progress sees a change made meanwhile, and arriving bytes.
    std::future<unsigned int> waiting = std::async(std::launch::async, [&] { return line.WaitForEvent(); });
    lines.Set(MS_CTS_ON, false);
    EXPECT_EQ(waiting.get(), EV_CTS);
    waiting = std::async(std::launch::async, [&] { return line.WaitForEvent(); });
    pty.Send("z");
    EXPECT_EQ(waiting.get(), EV_RXCHAR);
    pty.Send("z"); // more while the first is still unread
    EXPECT_EQ(line.WaitForEvent(), EV_RXCHAR);

    // Events outside the mask are not reported.
    CSerialPortLine ctsOnly;
    line.Close();
    ASSERT_TRUE(OpenLine(ctsOnly, pty, EV_CTS));
    lines.Set(MS_DSR_ON, false);
    lines.Ring();
    lines.Set(MS_CTS_ON, true);
    EXPECT_EQ(ctsOnly.WaitForEvent(), EV_CTS);
    // Closing the port ends a pending wait with 0.
    waiting = std::async(std::launch::async, [&] { return ctsOnly.WaitForEvent(); });
    ctsOnly.Close();
    EXPECT_EQ(waiting.get(), 0u);
    EXPECT_EQ(ctsOnly.WaitForEvent(), 0u);
}

TEST(SerialPortLine, WaitThreadReportsToWindowAndCallback) {
    FakeLines lines;
    PtyPair pty;
    NotifyWnd window;
    ASSERT_TRUE(window.CreateEx(0, nullptr, "notify", 0, CRect(0, 0, 10, 10), nullptr, 0));
    CSerialPortLine line;
    ASSERT_TRUE(OpenLine(line, pty));
    ASSERT_TRUE(line.RunWaitThread(&window, kNotifyMessage, OnEvent));
    const std::string names = registeredThreadNames();
    EXPECT_NE(names.find(":SerialPortLine;"), std::string::npos) << names;

    lines.Set(MS_CTS_ON, true);
    EXPECT_TRUE(PumpMessagesUntil([&] { return window.Saw(EV_CTS); }, 10000));
    EXPECT_TRUE(zep3test::waitFor([] { return CallbackSaw(EV_CTS); }));
    pty.Send("a");
    EXPECT_TRUE(PumpMessagesUntil([&] { return window.Saw(EV_RXCHAR); }, 10000));

    // Stopping the thread breaks its wait; the port stays open.
    EXPECT_TRUE(line.TerminateWaitThread());
    EXPECT_EQ(registeredThreadNames().find(":SerialPortLine;"), std::string::npos);
    EXPECT_TRUE(line.IsOpen());

    // Again, ended this time by Close.
    ASSERT_TRUE(line.RunWaitThread(nullptr, 0, OnEvent));
    lines.Set(MS_DSR_ON, true);
    EXPECT_TRUE(zep3test::waitFor([] { return CallbackSaw(EV_DSR); }));
    line.Close();
    EXPECT_EQ(registeredThreadNames().find(":SerialPortLine;"), std::string::npos);
    window.DestroyWindow();
}

TEST(SerialPortLine, CopiesShareThePort) {
    PtyPair pty;
    CSerialPortLine line;
    ASSERT_TRUE(OpenLine(line, pty));
    CSerialPortLine copy(line);
    EXPECT_TRUE(copy.WriteStr("by copy"));
    EXPECT_EQ(pty.Receive(7), "by copy");
    copy.Close();
    EXPECT_FALSE(line.IsOpen());
    line.Close(); // the second close of the shared port is harmless
}
