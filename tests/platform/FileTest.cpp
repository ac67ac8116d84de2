#include <zep3/zep3.h>

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>

using zep3test::readFile;
using zep3test::TempDir;
using zep3test::writeFile;

TEST(CFile, OpenModesCreateTruncateOrKeep) {
    TempDir dir;
    std::string path = dir.file("data.bin");
    CFileException error;
    CFile file;
    EXPECT_FALSE(file.Open(path.c_str(), CFile::modeRead, &error));
    EXPECT_EQ(error.m_cause, CFileException::fileNotFound);
    EXPECT_EQ(error.m_lOsError, LONG(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));

    ASSERT_TRUE(file.Open(path.c_str(), CFile::modeCreate | CFile::modeReadWrite | CFile::typeBinary, &error));
    EXPECT_EQ(error.m_cause, CFileException::none);
    EXPECT_EQ(file.GetFileName(), "data.bin");
    EXPECT_EQ(file.GetFileTitle(), "data");
    EXPECT_TRUE(file.Write("hello\r\nworld", 12));
    EXPECT_EQ(file.GetLength(), 12u);
    EXPECT_EQ(file.Seek(-5, CFile::end), 7);
    char buf[16] = {};
    EXPECT_EQ(file.Read(buf, sizeof buf), 5u);
    EXPECT_STREQ(buf, "world");
    EXPECT_EQ(file.Seek(-1, CFile::begin), -1); // before the start: refused, position kept
    EXPECT_EQ(file.GetPosition(), 12u);
    EXPECT_TRUE(file.SetLength(16)); // extends with zeros
    EXPECT_TRUE(file.Flush());
    file.Close();
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(readFile(path), std::string("hello\r\nworld\0\0\0\0", 16));

    ASSERT_TRUE(file.Open(path.c_str(), CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite));
    EXPECT_EQ(file.GetLength(), 16u);
    file.Close();
    ASSERT_TRUE(file.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite));
    EXPECT_EQ(file.GetLength(), 0u);
    file.Close();

    EXPECT_FALSE(file.Open(dir.path().c_str(), CFile::modeRead, &error)); // a folder is not a file
    EXPECT_EQ(error.m_cause, CFileException::accessDenied);
    EXPECT_FALSE(file.Open(dir.file("no/such/file").c_str(), CFile::modeCreate | CFile::modeWrite, &error));
    EXPECT_EQ(error.m_cause, CFileException::badPath);
    EXPECT_EQ(file.Read(buf, 4), 0u); // a closed file reads nothing
    EXPECT_FALSE(file.Write("x", 1));
}

TEST(CFile, ShareModesLockWithoutWaiting) {
    TempDir dir;
    std::string path = dir.file("shared.ini");
    const UINT create = CFile::modeCreate | CFile::modeNoTruncate;
    CFile owner, other;
    CFileException error;
    ASSERT_TRUE(owner.Open(path.c_str(), create | CFile::modeReadWrite | CFile::shareExclusive));
    EXPECT_TRUE(owner.Write("kept", 4));
    EXPECT_FALSE(other.Open(path.c_str(), CFile::modeRead | CFile::shareDenyWrite, &error));
    EXPECT_EQ(error.m_cause, CFileException::sharingViolation);
    // A refused open with modeCreate never empties the locked file.
    EXPECT_FALSE(other.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive));
    EXPECT_EQ(owner.GetLength(), 4u);
    // Opens that ask for no sharing rule are not held off.
    EXPECT_TRUE(other.Open(path.c_str(), CFile::modeRead | CFile::shareDenyNone));
    other.Close();
    owner.Close();

    // Readers that deny writing share the file; a writer that does is refused.
    CFile reader1, reader2, writer;
    ASSERT_TRUE(reader1.Open(path.c_str(), CFile::modeRead | CFile::shareDenyWrite));
    EXPECT_TRUE(reader2.Open(path.c_str(), CFile::modeRead | CFile::shareDenyWrite));
    EXPECT_FALSE(writer.Open(path.c_str(), CFile::modeWrite | CFile::shareDenyWrite));
    reader1.Close();
    reader2.Close();
    EXPECT_TRUE(writer.Open(path.c_str(), CFile::modeWrite | CFile::shareDenyWrite));
}

TEST(CStdioFile, LinesAreBytesWithOptionalCarriageReturn) {
    TempDir dir;
    std::string path = dir.file("lines.txt");
    writeFile(path, std::string("one\r\ntwo\nthree\r\r\n\r\nzero\0byte\nlast", 33));
    CStdioFile file;
    ASSERT_TRUE(file.Open(path.c_str(), CFile::modeRead | CFile::typeText));
    std::vector<std::string> lines;
    CString line;
    while (file.ReadString(line)) lines.push_back(line.str());
    EXPECT_EQ(lines, (std::vector<std::string>{"one", "two", "three\r", "", std::string("zero\0byte", 9), "last"}));
    EXPECT_EQ(line, "");
    file.Close();

    ASSERT_TRUE(file.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive));
    EXPECT_TRUE(file.WriteString("a=1\r\n"));
    EXPECT_TRUE(file.WriteString("b\n"));
    EXPECT_EQ(file.GetLength(), 7u);
    EXPECT_TRUE(file.Write("\x00\xFF", 2));
    file.Close();
    EXPECT_EQ(readFile(path), std::string("a=1\r\nb\n\x00\xFF", 9));
}
