// CMailslot between threads and processes: the waiting-size query, read
// time-outs, short buffers, the maximum message size, and names that collide
// or do not exist.
#include "PipeTestSupport.h"

#include <sys/wait.h>

using nettest::Pattern;
using pipetest::ReadOnce;
using pipetest::WriteText;

namespace {

using Mailslots = pipetest::ScratchNames;

const char kName[] = "\\\\.\\mailslot\\zep3\\alarms";

unsigned long NextSize(CMailslot& slot) {
    unsigned long size = 12345;
    return slot.MessageAvailable(&size) ? size : 12345;
}

} // namespace

TEST_F(Mailslots, MessagesWithTheWaitingSize) {
    CMailslot reader, writer;
    ASSERT_TRUE(reader.Create(kName, 0, 0));
    EXPECT_EQ(NextSize(reader), MAILSLOT_NO_MESSAGE);
    EXPECT_EQ(ReadOnce(reader), "error 121"); // no wait: the time-out is 0
    ASSERT_TRUE(writer.Connect("\\\\.\\MailSlot\\ZEP3\\Alarms"));
    ASSERT_TRUE(WriteText(writer, "first"));
    ASSERT_TRUE(WriteText(writer, Pattern(60000, 1)));
    ASSERT_TRUE(WriteText(writer, ""));
    EXPECT_EQ(NextSize(reader), 5u);
    EXPECT_EQ(ReadOnce(reader, 4), "error 122"); // too short: the message stays
    EXPECT_EQ(ReadOnce(reader), "first");
    EXPECT_EQ(NextSize(reader), 60000u);
    EXPECT_TRUE(ReadOnce(reader) == Pattern(60000, 1));
    EXPECT_EQ(NextSize(reader), 0u);
    EXPECT_EQ(ReadOnce(reader), "");
    EXPECT_EQ(NextSize(reader), MAILSLOT_NO_MESSAGE);
    EXPECT_FALSE(reader.Write(const_cast<char*>("x"), 1, nullptr)); // the reading end does not write
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(writer.MessageAvailable(nullptr));
}

TEST_F(Mailslots, NamesThatCollideOrDoNotExist) {
    CMailslot a, b, writer;
    EXPECT_FALSE(writer.Connect(kName));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    ASSERT_TRUE(a.Create(kName, 16, 0));
    EXPECT_FALSE(b.Create(kName, 16, 0));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    for (const char* remote : {"\\\\*\\mailslot\\x", "\\\\office\\mailslot\\x"}) {
        EXPECT_FALSE(writer.Connect(remote)) << remote;
        EXPECT_EQ(GetLastError(), DWORD(ERROR_BAD_NETPATH));
    }
    ASSERT_TRUE(writer.Connect(kName));
    EXPECT_FALSE(WriteText(writer, Pattern(17, 1))); // above the maximum size
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    a.Close();
    EXPECT_FALSE(WriteText(writer, "gone"));
    EXPECT_TRUE(b.Create(kName, 0, 0)); // the name is free again
}

TEST_F(Mailslots, WaitingReaderAndWritersInOtherProcesses) {
    CMailslot reader;
    ASSERT_TRUE(reader.Create(kName, 0, MAILSLOT_WAIT_FOREVER));
    std::vector<pid_t> children;
    for (int i = 0; i < 3; ++i) {
        const pid_t child = fork();
        if (child == 0) {
            CMailslot writer;
            _exit(writer.Connect(kName) && WriteText(writer, "from " + std::to_string(i)) ? 0 : 1);
        }
        children.push_back(child);
    }
    std::vector<std::string> got;
    for (int i = 0; i < 3; ++i) got.push_back(ReadOnce(reader));
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, (std::vector<std::string>{"from 0", "from 1", "from 2"}));
    for (pid_t child : children) {
        int status = -1;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    // A read that waits for ever ends when another thread closes the mailslot.
    std::string ended;
    std::thread waiting([&] { ended = ReadOnce(reader); });
    CMailslot copy = reader;
    copy.Close();
    waiting.join();
    EXPECT_TRUE(ended == "error 995" || ended == "error 6") << ended;
}
