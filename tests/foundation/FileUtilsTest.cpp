#include <zep3/zep3.h>

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using zep3test::TempDir;
using zep3test::writeFile;

namespace {

bool isFolder(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void makeFile(const std::string& path, size_t size) { ASSERT_TRUE(writeFile(path, std::string(size, 'x'))); }

// Restart requests never reach the system from this test program.
const int g_noRestart = setenv("ZEP3_NO_RESTART", "1", 1);

class RestartDouble : public CShutdownBackend {
public:
    bool Restart() override { return answer; }
    bool answer = true;
};

} // namespace

TEST(FileUtils, RemoveDirectoryExDeletesTheTreeButNotLinkTargets) {
    TempDir dir;
    std::string root = dir.file("root");
    CreateDirectoryPath((root + "/a/b/c/").c_str());
    makeFile(root + "/top.txt", 3);
    makeFile(root + "/.hidden", 3);
    makeFile(root + "/a/b/c/deep", 3);
    makeFile(root + "/a/b/readonly", 3);
    chmod((root + "/a/b/readonly").c_str(), 0444);
    CreateDirectoryPath((dir.file("outside") + "/").c_str());
    makeFile(dir.file("outside/keep.txt"), 3);
    ASSERT_EQ(symlink(dir.file("outside").c_str(), (root + "/a/link").c_str()), 0);

    EXPECT_TRUE(RemoveDirectoryEx((root + "/").c_str()));
    EXPECT_FALSE(FileExists(root.c_str()));
    EXPECT_TRUE(FileExists(dir.file("outside/keep.txt").c_str()));

    EXPECT_FALSE(RemoveDirectoryEx((root + "/").c_str()) || RemoveDirectoryEx(""));
    // A folder given without its trailing "/" is still only that folder.
    CreateDirectoryPath((dir.file("data") + "/").c_str());
    makeFile(dir.file("data.txt"), 1);
    EXPECT_TRUE(RemoveDirectoryEx(dir.file("data").c_str()));
    EXPECT_TRUE(FileExists(dir.file("data.txt").c_str()));
}

TEST(FileUtils, GetFolderSizeRecursesIntoFoldersThatMatchTheMask) {
    TempDir dir;
    std::string root = dir.file("sizes") + "/";
    CreateDirectoryPath((root + "sub/deeper/").c_str());
    CreateDirectoryPath((root + "old.log/").c_str());
    makeFile(root + "a.log", 100);
    makeFile(root + "b.txt", 20);
    makeFile(root + "sub/c.log", 7);
    makeFile(root + "sub/deeper/d.bin", 5);
    makeFile(root + "old.log/e.log", 3);
    ASSERT_EQ(symlink(root.c_str(), (root + "sub/loop").c_str()), 0); // not followed

    EXPECT_EQ(GetFolderSize(root.c_str(), "*.*"), 100u + 20 + 7 + 5 + 3);
    EXPECT_EQ(GetFolderSize(root.c_str(), "*.LOG"), 100u + 3); // "sub" does not match, "old.log" does
    EXPECT_EQ(GetFolderSize(dir.file("none/").c_str(), "*.*"), 0u);
}

TEST(FileUtils, FoldersPathsAndSpace) {
    TempDir dir;
    // Parents are created; the last part only when it ends in "/".
    CreateDirectoryPath(dir.file("x/y/z").c_str());
    EXPECT_TRUE(isFolder(dir.file("x/y")) && !FileExists(dir.file("x/y/z").c_str()));
    CreateDirectoryPath(dir.file("x/y/z/").c_str());
    EXPECT_TRUE(isFolder(dir.file("x/y/z")));

    char exe[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", exe, sizeof exe - 1), 0);
    const std::string self = exe;
    EXPECT_EQ(std::string(GetModulePath()), self.substr(0, self.rfind('/') + 1));
    EXPECT_TRUE(GetFolderFreeSpaceKB(dir.path().c_str()) > 0 && GetFolderFreeSpaceKB(dir.file("missing/").c_str()) == 0);
}

TEST(FileUtils, StrNCpyZAlwaysTerminatesAndFills) {
    char buf[8];
    std::memset(buf, 0x55, sizeof buf);
    EXPECT_EQ(StrNCpyZ(buf, "abcdef", 4), buf);
    EXPECT_EQ(std::string(buf, 5), std::string("abc\0\x55", 5)) << "nothing beyond n";
    StrNCpyZ(buf, "ab", 8);
    EXPECT_EQ(std::string(buf, 8), std::string("ab\0\0\0\0\0\0", 8));
    EXPECT_TRUE(StrNCpyZ(buf, "ab", 0) == nullptr && StrNCpyZ(nullptr, "ab", 4) == nullptr);
}

TEST(FileUtils, LoadFromResourcesFindsRegisteredBlocks) {
    static const char kScript[] = "function f() {}";
    ASSERT_TRUE(ZEP3RegisterResource(nullptr, RT_HTML, MAKEINTRESOURCE(4900), kScript, sizeof kScript - 1));
    int size = -1;
    EXPECT_EQ(LoadFromResources(size, 4900, RT_HTML, nullptr), kScript) << "the executable's";
    EXPECT_EQ(size, int(sizeof kScript - 1));
    // The lookup by type and module is the platform's resource table, tested there.
    size = -1;
    EXPECT_EQ(LoadFromResources(size, 4901, RT_HTML, nullptr), nullptr);
    EXPECT_EQ(size, -1);
}

TEST(FileUtils, RegistryValuesSurviveIntoAnotherProcess) {
    TempDir dir;
    setenv("ZEP3_REGISTRY_DIR", dir.path().c_str(), 1);
    std::string tool = ZEP3TEST_REGTOOL;
    EXPECT_TRUE(WriteRegKey(HKEY_CURRENT_USER, "Software\\Zep3Test\\Run", "Count", 0x1234567890ul));
    std::string out;
    EXPECT_EQ(zep3test::runCommand(tool + " get 'SOFTWARE\\zep3test\\RUN' count", &out), 0);
    EXPECT_EQ(out, std::to_string(0x34567890ul) + "\n"); // stored as 32 bits

    EXPECT_EQ(zep3test::runCommand(tool + " set 'Software\\Zep3Test\\Other' Level 4000000000"), 0);
    unsigned long value = 7;
    EXPECT_TRUE(ReadRegKey(HKEY_CURRENT_USER, "Software\\Zep3Test\\Other", "Level", value));
    EXPECT_EQ(value, 4000000000ul);

    value = 7;
    EXPECT_FALSE(ReadRegKey(HKEY_CURRENT_USER, "Software\\Zep3Test\\Other", "Missing", value) ||
                 ReadRegKey(HKEY_LOCAL_MACHINE, "Software\\Zep3Test\\Other", "Level", value));
    EXPECT_EQ(value, 7ul);
    unsetenv("ZEP3_REGISTRY_DIR");
}

TEST(FileUtils, SystemShutDownGoesThroughTheBackend) {
    ASSERT_EQ(g_noRestart, 0);
    RestartDouble fake;
    CShutdownBackend* system = CShutdownBackend::SetCurrent(&fake);
    EXPECT_TRUE(SystemShutDown());
    fake.answer = false;
    EXPECT_FALSE(SystemShutDown());
    EXPECT_EQ(CShutdownBackend::SetCurrent(system), &fake);
}
