#include <zep3/zep3.h>

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using zep3test::readFile;
using zep3test::TempDir;
using zep3test::writeFile;

namespace {

// Names a search returns, in order, with "/" after folders.
std::vector<std::string> find(const std::string& pattern) {
    std::vector<std::string> names;
    CFileFind finder;
    BOOL more = finder.FindFile(pattern.c_str());
    while (more) {
        more = finder.FindNextFile();
        names.push_back(finder.GetFileName().str() + (finder.IsDirectory() ? "/" : ""));
    }
    return names;
}

} // namespace

TEST(FileSystem, MoveNeverReplacesAndCopyOverwritesOnlyWhenAsked) {
    TempDir dir;
    std::string a = dir.file("a"), b = dir.file("b"), c = dir.file("c");
    writeFile(a, "AAA");
    writeFile(b, "BB");
    EXPECT_FALSE(MoveFile(a.c_str(), b.c_str()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(readFile(a), "AAA");
    EXPECT_EQ(readFile(b), "BB");
    EXPECT_TRUE(MoveFile(a.c_str(), c.c_str()));
    EXPECT_EQ(GetFileAttributes(a.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(readFile(c), "AAA");
    EXPECT_TRUE(CreateDirectory(dir.file("folder").c_str()));
    EXPECT_TRUE(MoveFile(dir.file("folder").c_str(), dir.file("moved").c_str()));

    EXPECT_FALSE(CopyFile(c.c_str(), b.c_str(), TRUE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_EXISTS));
    EXPECT_EQ(readFile(b), "BB");
    EXPECT_TRUE(CopyFile(c.c_str(), b.c_str(), FALSE));
    EXPECT_EQ(readFile(b), "AAA");
    EXPECT_FALSE(CopyFile(b.c_str(), b.c_str(), FALSE)); // never empties itself
    EXPECT_EQ(readFile(b), "AAA");
    EXPECT_FALSE(CopyFile(dir.file("none").c_str(), b.c_str(), FALSE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));

    EXPECT_FALSE(DeleteFile(dir.file("moved").c_str())); // folders are not files
    EXPECT_TRUE(DeleteFile(b.c_str()));
    EXPECT_FALSE(DeleteFile(b.c_str()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

TEST(FileSystem, FoldersAndAttributes) {
    TempDir dir;
    std::string f = dir.file("f");
    EXPECT_FALSE(CreateDirectory(dir.file("x/y").c_str()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
    EXPECT_TRUE(CreateDirectory(f.c_str()));
    EXPECT_FALSE(CreateDirectory(f.c_str()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    writeFile(f + "/inner", "1");
    EXPECT_FALSE(RemoveDirectory(f.c_str()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_DIR_NOT_EMPTY));

    EXPECT_EQ(GetFileAttributes(f.c_str()), DWORD(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(GetFileAttributes((f + "/inner").c_str()), DWORD(FILE_ATTRIBUTE_NORMAL));
    chmod((f + "/inner").c_str(), 0444);
    EXPECT_EQ(GetFileAttributes((f + "/inner").c_str()), DWORD(FILE_ATTRIBUTE_READONLY));
    symlink(f.c_str(), dir.file("link").c_str());
    EXPECT_EQ(GetFileAttributes(dir.file("link").c_str()), DWORD(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
    EXPECT_TRUE(DeleteFile(dir.file("link").c_str())); // the link, not the folder
    EXPECT_TRUE(DeleteFile((f + "/inner").c_str()));
    EXPECT_TRUE(RemoveDirectory(f.c_str()));

    ULARGE_INTEGER available, total, free;
    ASSERT_TRUE(GetDiskFreeSpaceEx(dir.path().c_str(), &available, &total, &free));
    EXPECT_GT(total.QuadPart, 0u);
    EXPECT_LE(available.QuadPart, free.QuadPart);
    EXPECT_LE(free.QuadPart, total.QuadPart);
    EXPECT_FALSE(GetDiskFreeSpaceEx(dir.file("missing").c_str(), &available, nullptr, nullptr));
}

TEST(CFileFind, WindowsMasksIgnoreCaseAndStarDotStarMatchesAll) {
    TempDir dir;
    for (const char* name : {"a.txt", "B.TXT", "noext", ".hidden", "x.tar.gz", "ab.txt"}) writeFile(dir.file(name), "");
    CreateDirectory(dir.file("sub.d").c_str());
    std::string root = dir.path() + "/";
    EXPECT_EQ(find(root + "*.*"),
              (std::vector<std::string>{"./", "../", ".hidden", "B.TXT", "a.txt", "ab.txt", "noext", "sub.d/", "x.tar.gz"}));
    EXPECT_EQ(find(root + "*"), find(root + "*.*"));
    EXPECT_EQ(find(root + "*.txt"), (std::vector<std::string>{"B.TXT", "a.txt", "ab.txt"}));
    EXPECT_EQ(find(root + "?.TxT"), (std::vector<std::string>{"B.TXT", "a.txt"}));
    EXPECT_EQ(find(root + "*.gz"), (std::vector<std::string>{"x.tar.gz"}));
    EXPECT_EQ(find(root + "noext.*"), (std::vector<std::string>{"noext"}));
    EXPECT_EQ(find(root + "a*t"), (std::vector<std::string>{"a.txt", "ab.txt"}));
    EXPECT_EQ(find(root + "NOEXT"), (std::vector<std::string>{"noext"}));
    EXPECT_TRUE(find(root + "*.dll").empty());
    EXPECT_TRUE(find(dir.file("missing/*.*")).empty());
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));

    CFileFind finder;
    ASSERT_TRUE(finder.FindFile((root + "x*").c_str()));
    EXPECT_EQ(finder.GetFileName(), ""); // nothing until the first step
    EXPECT_FALSE(finder.FindNextFile()); // the only match is also the last
    EXPECT_EQ(finder.GetFilePath().str(), root + "x.tar.gz");
    EXPECT_EQ(finder.GetFileTitle(), "x.tar");
    EXPECT_EQ(finder.GetRoot().str(), root);
    EXPECT_FALSE(finder.IsDirectory());
    EXPECT_FALSE(finder.IsDots());
    EXPECT_FALSE(finder.FindNextFile());
}
