// CFTPClient against a scripted peer: the command sequence of every logon
// type, multi-line replies, local failures, a server that stops answering,
// and the PASV and PORT texts.
#include "FtpTestSupport.h"

#include "support/FuzzReplay.h"

#include <gtest/gtest.h>

#include <sstream>

using ftptest::ScriptedPeer;

namespace {

// Host "files.example.org" on port 2121 unless a case says 21, user "u",
// password "p", account "a", firewall user "fu" and password "fp". Each
// step is "expected command>reply", steps separated by '|'.
struct LogonCase {
    int type;
    const char* steps;
    int result;
    const char* finalText; // m_strReply afterwards
    int hostPort = 2121;   // on 21 the host text carries no port
};

const LogonCase kLogons[] = {
    {0, "USER u>331 Send password|PASS p>230 In", 1, "230 In"},
    {0, "USER u>331 Send password|PASS p>530 Login incorrect.", 0, "530 Login incorrect."},
    {0, "USER u>331 x|PASS p>332 Account?|ACCT a>230 In", 1, "230 In"},
    {1, "USER fu>331 x|PASS fp>230 firewall ok|SITE files.example.org:2121>331 x|USER u>331 x|PASS p>332 x|"
        "ACCT a>230 In", 1, "230 In"},
    {1, "USER fu>230 no password needed|SITE files.example.org:2121>200 ok", 0, "Logon failed"},
    {2, "USER fu>331 x|PASS fp>230 x|USER u@files.example.org:2121>331 x|PASS p>230 In", 1, "230 In"},
    {3, "OPEN files.example.org:2121>220 x|USER u>331 x|PASS p>230 In", 1, "230 In"},
    {4, "USER fu>331 x|PASS fp>230 x|USER u>230 In", 1, "230 In"},
    {4, "USER fu>331 x|PASS fp>332 x", 0, "Logon failed"},
    {5, "USER u@files.example.org:2121>331 x|PASS p>230 In", 1, "230 In"},
    {5, "USER u@files.example.org>230 In", 1, "230 In", 21},
    {6, "USER fu@files.example.org:2121>331 x|PASS fp>230 x|USER u>331 x|PASS p>230 In", 1, "230 In"},
    {7, "USER u@files.example.org:2121 fu>331 x|PASS p>332 x|ACCT a>230 In", 1, "230 In"},
    {7, "USER u@files.example.org:2121 fu>230 x", 0, "Logon failed"},
    {8, "USER u@fu@files.example.org:2121>331 x|PASS p@fp>230 In", 1, "230 In"},
    {8, "USER u@fu@files.example.org:2121>421 Bye", 0, "421 Bye"},
};

} // namespace

TEST(FtpLogon, EveryTypeSendsItsCommandSequence) {
    for (const LogonCase& c : kLogons) {
        SCOPED_TRACE("logon type " + std::to_string(c.type) + ": " + c.steps);
        std::vector<std::string> commands, replies;
        std::istringstream steps(c.steps);
        for (std::string step; std::getline(steps, step, '|');) {
            commands.push_back(step.substr(0, step.find('>')));
            replies.push_back(step.substr(step.find('>') + 1));
        }
        ScriptedPeer proxy([&](ScriptedPeer::Session& s) {
            s.Send("220 proxy ready\r\n");
            for (const std::string& reply : replies) s.Answer(reply);
        });
        CFTPClient ftp;
        // Type 0 goes to the host itself, the others to the firewall.
        const bool direct = c.type == 0;
        const int proxyPort = int(proxy.port());
        EXPECT_EQ(ftp.LogOnToServer(direct ? "127.0.0.1" : "files.example.org", direct ? proxyPort : c.hostPort,
                                    "u", "p", "a", direct ? "" : "127.0.0.1", "fu", "fp", direct ? 0 : proxyPort,
                                    c.type),
                  c.result);
        EXPECT_EQ(ftp.m_strReply, CString(c.finalText));
        proxy.Finish();
        EXPECT_EQ(proxy.received, commands);
    }
}

TEST(FtpLogon, MultiLineRepliesThenLogOff) {
    ScriptedPeer server([](ScriptedPeer::Session& s) {
        s.Send("220-Welcome\r\n230-x\r\n 220 indented\r\n220-still\r\n220 Ready\r\n");
        s.Read();
        s.Send("230-Welcome\r\n230-x inside\r\n230x\r\n230 Ready\r\n");
        s.Answer("211-Features\r\n MDTM\n211 End");
        s.Answer("200 NOOP ok");
        s.Read(); // QUIT, answered by nothing
        s.Read(); // the end of the connection
    });
    CFTPClient ftp;
    ASSERT_EQ(ftp.LogOnToServer("127.0.0.1", int(server.port()), "anonymous", "", "", "", "", "", 0, 0), 1);
    EXPECT_EQ(ftp.m_strReply, CString("230 Ready"));
    EXPECT_EQ(ftp.FTPcommand("FEAT"), 1);
    EXPECT_EQ(ftp.m_strReply, CString("211 End"));
    EXPECT_EQ(ftp.FTPcommand("NOOP"), 1); // the replies stayed in step
    EXPECT_EQ(ftp.m_strReply, CString("200 NOOP ok"));
    ftp.LogOffServer();
    server.Finish();
    EXPECT_EQ(server.received, (std::vector<std::string>{"USER anonymous", "FEAT", "NOOP", "QUIT", ""}));
    EXPECT_EQ(ftp.FTPcommand("NOOP"), 0);
    EXPECT_EQ(ftp.m_strReply, CString("Network error"));
}

TEST(FtpLogon, LocalFailuresGiveTheFixedTexts) {
    CFTPClient ftp;
    EXPECT_EQ(ftp.FTPcommand("NOOP"), 0);
    EXPECT_EQ(ftp.m_strReply, CString("Network error"));
    EXPECT_EQ(ftp.LogOnToServer("127.0.0.1", 21, "u", "p", "", "", "", "", 21, 9), 0);
    EXPECT_EQ(ftp.m_strReply, CString("Logon failed"));
    const UINT closedPort = nettest::RawListener().port(); // free again once the listener is gone
    EXPECT_EQ(ftp.LogOnToServer("127.0.0.1", int(closedPort), "u", "p", "", "", "", "", 21, 0), 0);
    EXPECT_EQ(ftp.m_strReply, CString("Unable to connect to server"));

    // A greeting that is not 2xx, then a server that hangs up.
    ScriptedPeer busy([](ScriptedPeer::Session& s) { s.Send("421 Too many users\r\n"); });
    EXPECT_EQ(ftp.LogOnToServer("127.0.0.1", int(busy.port()), "u", "p", "", "", "", "", 21, 0), 0);
    EXPECT_EQ(ftp.m_strReply, CString("421 Too many users"));
    busy.Finish();
    EXPECT_EQ(ftp.FTPcommand(""), 0);
    EXPECT_EQ(ftp.m_strReply, CString("Network error"));
}

TEST(FtpLogon, ServerThatStopsAnsweringTimesOut) {
    std::promise<void> release;
    ScriptedPeer silent([&](ScriptedPeer::Session& s) {
        s.Send("220 ready\r\n");
        s.Read();
        release.get_future().wait_for(std::chrono::seconds(20)); // says nothing until the client gave up
    });
    CFTPClient ftp;
    ftp.SetTimeOut(200);
    EXPECT_EQ(ftp.LogOnToServer("127.0.0.1", int(silent.port()), "u", "p", "", "", "", "", 21, 0), 0);
    EXPECT_EQ(ftp.m_strReply, CString("Network error"));
    release.set_value();
}

// The server announces an active transfer but never connects: the wait for
// its connection is bounded too, and the file that would have been fetched
// is not left behind.
TEST(FtpLogon, ActiveConnectionThatNeverComesTimesOut) {
    std::promise<void> release;
    ScriptedPeer server([&](ScriptedPeer::Session& s) {
        s.Send("220 ready\r\n");
        s.Answer("230 In");
        s.Answer("200 Binary");
        s.Answer("200 PORT ok");
        s.Answer("150 Opening data connection");
        release.get_future().wait_for(std::chrono::seconds(20));
    });
    zep3test::TempDir local;
    CFTPClient ftp;
    ftp.SetTimeOut(200);
    ASSERT_EQ(ftp.LogOnToServer("127.0.0.1", int(server.port()), "u", "", "", "", "", "", 0, 0), 1);
    EXPECT_EQ(ftp.MoveFile("f", local.file("f").c_str(), 0, 1), 0);
    EXPECT_EQ(ftp.m_strReply, CString("Network error"));
    EXPECT_NE(access(local.file("f").c_str(), F_OK), 0);
    release.set_value();
    server.Finish();
    ASSERT_EQ(server.received.size(), 4u);
    EXPECT_EQ(server.received[2].compare(0, 15, "PORT 127,0,0,1,"), 0) << server.received[2];
    EXPECT_EQ(server.received[3], "RETR f");
}

// A transfer that the server cuts short is judged by its final reply, and a
// copy of the client shares the connection.
TEST(FtpLogon, ShortTransferIsJudgedByTheFinalReply) {
    nettest::RawListener data;
    ScriptedPeer server([&](ScriptedPeer::Session& s) {
        s.Send("220 ready\r\n");
        s.Answer("230 In");
        s.Answer("200 Binary");
        const UINT p = data.port();
        s.Answer("227 Entering Passive Mode (127,0,0,1," + std::to_string(p / 256) + "," +
                 std::to_string(p % 256) + ")");
        s.Read(); // RETR
        const int d = data.Accept();
        s.Send("150 Here it comes\r\n");
        nettest::RawWrite(d, "0123456789");
        close(d);
        s.Send("426 Connection closed; transfer aborted.\r\n");
        s.Answer("221 Bye");
    });
    zep3test::TempDir local;
    CFTPClient ftp;
    ASSERT_EQ(ftp.LogOnToServer("127.0.0.1", int(server.port()), "u", "", "", "", "", "", 0, 0), 1);
    EXPECT_EQ(ftp.MoveFile("f", local.file("f").c_str(), 1, 1), 0);
    EXPECT_EQ(ftp.m_strReply, CString("426 Connection closed; transfer aborted."));
    EXPECT_EQ(zep3test::readFile(local.file("f")), "0123456789");
    CFTPClient copy(ftp);
    ftp = CFTPClient(); // the original lets go; the copy keeps the connection
    EXPECT_EQ(copy.FTPcommand("QUIT"), 1);
    server.Finish();
    EXPECT_EQ(server.received, (std::vector<std::string>{"USER u", "TYPE I", "PASV", "RETR f", "QUIT"}));
}

ZEP3_FUZZ_ENTRY(ftp_reply);

TEST(FuzzRegression, FtpReplies) {
    EXPECT_GT(zep3test::replayFuzzInputs("ftp_reply", zep3fuzz_ftp_reply), 0);
}
