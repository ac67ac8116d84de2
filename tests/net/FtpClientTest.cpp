// CFTPClient against real servers started on 127.0.0.1: vsftpd (anonymous,
// uploads into pub/) and pyftpdlib (user alice). Files go up and come down
// in both modes and are compared byte for byte with what the server holds;
// failures give the server's reply or the fixed texts, and never hang.
#include "FtpTestSupport.h"

#include <gtest/gtest.h>

using ftptest::PyFtpServer;
using ftptest::Vsftpd;
using nettest::Pattern;
using zep3test::readFile;
using zep3test::TempDir;
using zep3test::writeFile;

namespace {

struct Server {
    std::string name;
    UINT port;
    std::string user, password;
    std::string remoteDir;   // as the client names it
    std::string serverFiles; // the same folder on disk, with its '/'
};

// Uploads and downloads each size in both modes, checking the bytes on both sides.
void MoveFilesBothWays(const Server& server, std::vector<size_t> sizes, const std::string& local) {
    CFTPClient ftp;
    ASSERT_EQ(ftp.LogOnToServer("127.0.0.1", int(server.port), server.user.c_str(), server.password.c_str(), "",
                                "", "", "", 21, 0),
              1)
        << ftp.m_strReply;
    for (size_t size : sizes) {
        for (int passive = 0; passive <= 1; ++passive) {
            SCOPED_TRACE(server.name + " size " + std::to_string(size) + (passive ? " passive" : " active"));
            const std::string up = Pattern(size, unsigned(size) + passive), down = Pattern(size, unsigned(size) * 7);
            const std::string file = "f" + std::to_string(size) + "-" + std::to_string(passive);
            const std::string name = server.remoteDir + file, onServer = server.serverFiles + file;
            ASSERT_TRUE(writeFile(local + "/up", up));
            ASSERT_EQ(ftp.MoveFile((name + ".up").c_str(), (local + "/up").c_str(), passive, 0), 1) << ftp.m_strReply;
            EXPECT_TRUE(readFile(onServer + ".up") == up);
            ASSERT_TRUE(writeFile(onServer + ".down", down));
            ASSERT_EQ(ftp.MoveFile((name + ".down").c_str(), (local + "/down").c_str(), passive, 1), 1)
                << ftp.m_strReply;
            EXPECT_TRUE(readFile(local + "/down") == down);
        }
    }
    ftp.LogOffServer();
}

const std::vector<size_t> kSizes = {0, 1, 4095, 4096, 4097, 1 << 20};

} // namespace

TEST(FtpClient, VsftpdTransfersInBothModes) {
    if (!ftptest::IsRoot()) GTEST_SKIP() << "vsftpd serves anonymous users only when started as root";
    TempDir dir, local;
    Vsftpd vsftpd;
    ASSERT_TRUE(vsftpd.Start(dir.path()));
    MoveFilesBothWays({"vsftpd", vsftpd.port, "anonymous", "zep3@example.org", "pub/", dir.path() + "/root/pub/"},
                      kSizes, local.path());
}

TEST(FtpClient, PyftpdlibTransfersInBothModesUpTo50MB) {
    TempDir dir, local;
    const std::string root = dir.file("root");
    ASSERT_EQ(mkdir(root.c_str(), 0755), 0);
    PyFtpServer server;
    ASSERT_TRUE(server.Start(root));
    std::vector<size_t> sizes = kSizes;
    sizes.push_back(50u << 20);
    MoveFilesBothWays({"pyftpdlib", server.port, "alice", "secret", "", root + "/"}, sizes, local.path());
}

class FtpFailures : public ::testing::Test {
protected:
    void SetUp() override {
        root = dir.file("root");
        ASSERT_EQ(mkdir(root.c_str(), 0755), 0);
    }
    // Logs on to pyftpdlib, started with the options on the first call.
    void LogOn(const std::vector<std::string>& options = {}) {
        if (!server.port) {
            ASSERT_TRUE(server.Start(root, options));
        }
        ASSERT_EQ(ftp.LogOnToServer("127.0.0.1", int(server.port), "alice", "secret", "", "", "", "", 21, 0),
                  1)
            << ftp.m_strReply;
    }
    void TransferWhileTheServerDies(int download);
    TempDir dir, local;
    std::string root;
    PyFtpServer server;
    CFTPClient ftp;
};

TEST_F(FtpFailures, WrongPasswordGivesTheServersReply) {
    ASSERT_TRUE(server.Start(root));
    EXPECT_EQ(ftp.LogOnToServer("127.0.0.1", int(server.port), "alice", "wrong", "", "", "", "", 21, 0), 0);
    EXPECT_EQ(ftp.m_strReply, CString("530 Authentication failed."));
    EXPECT_EQ(ftp.m_nReplyClass, 5);
}

TEST_F(FtpFailures, MissingFilesOnEitherSide) {
    LogOn();
    // A refused download leaves the local file as it was, and creates none.
    ASSERT_TRUE(writeFile(local.file("kept"), "precious"));
    for (int passive = 0; passive <= 1; ++passive) {
        EXPECT_EQ(ftp.MoveFile("missing.bin", local.file("kept").c_str(), passive, 1), 0);
        EXPECT_EQ(ftp.m_strReply.Left(4), CString("550 ")) << ftp.m_strReply;
        EXPECT_EQ(readFile(local.file("kept")), "precious");
        EXPECT_EQ(ftp.MoveFile("missing.bin", local.file("new").c_str(), passive, 1), 0);
        EXPECT_NE(access(local.file("new").c_str(), F_OK), 0);
    }
    EXPECT_EQ(ftp.MoveFile("x.bin", local.file("absent").c_str(), 1, 0), 0);
    EXPECT_EQ(ftp.m_strReply, CString("Unable to open file on local machine"));
    EXPECT_EQ(ftp.MoveFile("x.bin", local.file("no/such/folder").c_str(), 1, 1), 0);
    EXPECT_EQ(ftp.m_strReply, CString("Unable to open file on local machine"));
    // The connection still serves after the failures.
    EXPECT_EQ(ftp.FTPcommand("NOOP"), 1) << ftp.m_strReply;
}

TEST_F(FtpFailures, RefusedPassiveConnectionEndsWithTheServersReplyBothWays) {
    // PASV announces an address where nothing listens; pyftpdlib gives up
    // on the data connection after a second.
    LogOn({"--masquerade", "127.0.0.2", "--data-timeout", "1"});
    ASSERT_TRUE(writeFile(dir.file("root/a.bin"), Pattern(5000, 1)));
    EXPECT_EQ(ftp.MoveFile("a.bin", local.file("a.bin").c_str(), 1, 1), 0);
    EXPECT_EQ(ftp.m_strReply.Left(4), CString("421 ")) << ftp.m_strReply;
    LogOn(); // a 421 ends the session
    ASSERT_TRUE(writeFile(local.file("up.bin"), "data"));
    EXPECT_EQ(ftp.MoveFile("up.bin", local.file("up.bin").c_str(), 1, 0), 0);
    EXPECT_EQ(ftp.m_strReply.Left(4), CString("421 ")) << ftp.m_strReply;
}

// The server dies while data moves (slowed down so that it is surely in the
// middle, and killed once the file being written holds 64 KB): the copy
// stops, what arrived is a true prefix, and the missing final reply is a
// network error.
void FtpFailures::TransferWhileTheServerDies(int download) {
    LogOn({"--throttle", "262144"});
    const std::string big = Pattern(8 << 20, 3);
    const std::string source = download ? dir.file("root/big.bin") : local.file("big.bin");
    const std::string target = download ? local.file("big.bin") : dir.file("root/big.bin");
    ASSERT_TRUE(writeFile(source, big));
    std::thread killer([&] {
        struct stat st = {};
        for (int i = 0; i < 2000 && (stat(target.c_str(), &st) != 0 || st.st_size < 65536); ++i) usleep(10000);
        server.process().Kill();
    });
    EXPECT_EQ(ftp.MoveFile("big.bin", local.file("big.bin").c_str(), download, download), 0);
    killer.join();
    EXPECT_EQ(ftp.m_strReply, CString("Network error"));
    const std::string partial = readFile(target);
    EXPECT_LT(partial.size(), big.size());
    EXPECT_EQ(partial, big.substr(0, partial.size()));
}

TEST_F(FtpFailures, ServerDiesInTheMiddleOfADownload) { TransferWhileTheServerDies(1); }

TEST_F(FtpFailures, ServerDiesInTheMiddleOfAnUpload) { TransferWhileTheServerDies(0); }
