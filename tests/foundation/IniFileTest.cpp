#include <zep3/zep3.h>

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using zep3test::readFile;
using zep3test::TempDir;
using zep3test::writeFile;

namespace {

void put(CIniFile& ini, const CString& key, const char* text) {
    CString value(text);
    ExchangeObject(&ini, 1, key, &value);
}

// The item's text, or "<absent>".
std::string get(CIniFile& ini, const CString& key) {
    CString value;
    return ExchangeObject(&ini, 0, key, &value) ? value.str() : "<absent>";
}

ino_t inode(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// The example configuration, stored through views as persistent objects do.
void fillExample(CIniFile& ini) {
    put(ini, "Language", "pl_PL");
    CIniFile cam(&ini, "Cam1");
    put(cam, "Name", "Gate");
    int port = 3;
    ExchangeObject(&cam, 1, "Port", &port);
    CIniFile trk(&cam, "Trk");
    long left = 10;
    ExchangeObject(&trk, 1, "Left", &left);
}

const char kPlainExample[] =
    "Language=pl_PL\r\n\r\nCam1\\Name=Gate\r\nCam1\\Port=3\r\n\r\nCam1\\Trk\\Left=10\r\n\r\n__checksum__=47833\r\n";
const char kCompactExample[] =
    "Language=pl_PL\r\n\r\nCam1\\Name=Gate\r\n...\\Port=3\r\n\r\n...\\Trk\\Left=10\r\n\r\n__checksum__=47833\r\n";

} // namespace

TEST(CIniFile, ExamplesByteForByteThenSavesRotateTheBackupThatRepairsAHandEdit) {
    TempDir dir;
    for (bool compact : {false, true}) {
        std::string path = dir.file(compact ? "compact.ini" : "plain.ini");
        CIniFile ini(path.c_str(), false);
        fillExample(ini);
        ASSERT_TRUE(ini.WriteIniFile(compact));
        EXPECT_EQ(readFile(path), compact ? kCompactExample : kPlainExample);
        CIniFile back(path.c_str(), true);
        EXPECT_EQ(get(back, "Cam1\\Name") + get(back, "\\Cam1\\Trk\\Left"), "Gate10");
        EXPECT_EQ(get(back, "__checksum__"), "<absent>");
    }

    std::string path = dir.file("plain.ini"), backup = dir.file("plain.bak");
    {
        // The checksum read back is the content's: saving rewrites nothing and
        // copies the file to the backup (a copy, so an in-place edit of the
        // file cannot reach it).
        CIniFile ini(path.c_str(), true);
        ino_t before = inode(path);
        ASSERT_TRUE(ini.WriteIniFile(false));
        EXPECT_TRUE(inode(path) == before && inode(backup) != before);
        EXPECT_EQ(readFile(backup), kPlainExample);

        put(ini, "Language", "de_DE");
        ASSERT_TRUE(ini.WriteIniFile(false));
        EXPECT_EQ(get(*std::make_unique<CIniFile>(path.c_str(), true), "Language"), "de_DE");
        EXPECT_EQ(readFile(backup), kPlainExample) << "a valid file leaves the backup alone";
        ASSERT_TRUE(ini.WriteIniFile(false)); // no read between: written again
        EXPECT_EQ(readFile(backup), readFile(path));
        EXPECT_FALSE(FileExists(dir.file("plain.bak1").c_str()));
    }
    const std::string saved = readFile(path);
    std::string edited = saved;
    edited.replace(edited.find("Gate"), 4, "Door");
    ASSERT_TRUE(writeFile(path, edited));
    CIniFile ini(path.c_str(), true);
    EXPECT_EQ(get(ini, "Language") + get(ini, "Cam1\\Name"), "de_DEGate");
    EXPECT_EQ(readFile(path), saved);
    EXPECT_FALSE(FileExists(backup.c_str()));
}

TEST(CIniFile, FilesWithoutChecksumAndBackupNames) {
    TempDir dir;
    // Missing: created empty, with an empty backup; the first save of an
    // empty table is the checksum line alone.
    std::string fresh = dir.file("new.ini");
    CIniFile empty(fresh.c_str(), true);
    EXPECT_TRUE(FileExists(fresh.c_str()) && FileExists(dir.file("new.bak").c_str()));
    ASSERT_TRUE(empty.WriteIniFile(false));
    EXPECT_EQ(readFile(fresh), "__checksum__=0\r\n");

    // Without a checksum line and without a backup: read as it is, and the
    // next save writes it with a checksum, the old text becoming the backup.
    std::string path = dir.file("cfg.ini");
    ASSERT_TRUE(writeFile(path, "A=1\r\nB=2\r\n"));
    CIniFile ini(path.c_str(), true);
    EXPECT_EQ(get(ini, "A") + get(ini, "B"), "12");
    ASSERT_TRUE(ini.WriteIniFile(false));
    EXPECT_EQ(readFile(path).substr(0, 23), "A=1\r\nB=2\r\n__checksum__=");
    EXPECT_EQ(readFile(dir.file("cfg.bak")), "A=1\r\nB=2\r\n");

    // Other names get name.bak; name.ini.bak is an older form of app.bak,
    // taken over when the file is read.
    std::string txt = dir.file("cfg.txt");
    {
        CIniFile text(txt.c_str(), false);
        put(text, "A", "1");
        ASSERT_TRUE(text.WriteIniFile(false));
        ASSERT_TRUE(text.WriteIniFile(false));
    }
    CIniFile reread(txt.c_str(), true);
    EXPECT_TRUE(FileExists((txt + ".bak").c_str())) << "name.bak is the backup, not a legacy one";

    ASSERT_TRUE(writeFile(dir.file("app.ini.bak"), "Old=1\r\n"));
    CIniFile first(dir.file("app.ini").c_str(), true);
    EXPECT_FALSE(FileExists(dir.file("app.ini.bak").c_str()));
    EXPECT_EQ(readFile(dir.file("app.bak")), "Old=1\r\n");
}

TEST(CIniFile, ReadsLinesAsTheFormatDefinesThem) {
    TempDir dir;
    std::string path = dir.file("lines.ini");
    std::string binary("bin\x01\xFF\0", 6);
    ASSERT_TRUE(writeFile(path, "K=first\r\nno equals sign\n=value without key\r\n spaced = both \r\n"
                                "K=second=with equals\nS\\A=1\n...\\B=2\n\n...\\C=3\n"
                                "P=1\n...\\Q=2\nlone\rcr=x\ry\ncr=two\r\r\n" +
                                    binary + "=" + binary + "\nLast=no line end"));
    CIniFile ini(path.c_str(), true);
    EXPECT_EQ(get(ini, "K"), "second=with equals") << "the last line wins";
    EXPECT_EQ(get(ini, " spaced "), " both ");
    EXPECT_EQ(get(ini, "S\\B") + get(ini, "S\\C"), "23") << "empty lines keep the section";
    EXPECT_EQ(get(ini, "lone\rcr"), "x\ry");
    EXPECT_EQ(get(ini, "cr"), "two\r") << "only the CR before the LF ends the line";
    EXPECT_EQ(get(ini, CString(binary.data(), 6)), binary);
    EXPECT_EQ(get(ini, "Last") + get(ini, "no equals sign") + get(ini, ""), "no line end<absent><absent>");

    // ...\Q after a key without section is \Q: written as a plain key.
    ASSERT_TRUE(ini.WriteIniFile(true));
    std::string text = readFile(path);
    EXPECT_NE(text.find("\r\nP=1\r\n\\Q=2\r\n"), std::string::npos);
    EXPECT_NE(text.find(binary + "=" + binary + "\r\n"), std::string::npos);
    CIniFile again(path.c_str(), true);
    EXPECT_EQ(get(again, "cr") + get(again, "S\\C"), "two\r3");
}

TEST(CIniFile, SortsPlainKeysFirstAndAbbreviatesOnlyWholeSections) {
    TempDir dir;
    std::string path = dir.file("order.ini");
    CIniFile ini(path.c_str(), false);
    for (const char* key : {"A\\B", "Zoom", "Cam1\\X", "Cam10\\Y", "Cam", "Cam1", "Cam1\\\xE9", "Cam1a\\Y"})
        put(ini, key, "v");
    // Never written, as a line could not carry them back; the save says so
    // and they stay in the table.
    for (const char* key : {"a=b", "...\\x", "__checksum__", ""}) put(ini, key, "v");
    put(ini, "Multi", "line\nvalue");
    SetLastError(0);
    EXPECT_FALSE(ini.WriteIniFile(true));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_DATA));
    EXPECT_EQ(get(ini, "Multi") + get(ini, "a=b"), "line\nvaluev");
    std::string text = readFile(path);
    EXPECT_EQ(text.substr(0, text.find("__checksum__")),
              "Cam=v\r\nCam1=v\r\nZoom=v\r\n\r\nA\\B=v\r\n\r\nCam10\\Y=v\r\n\r\nCam1\\X=v\r\n...\\\xE9=v\r\n"
              "\r\nCam1a\\Y=v\r\n\r\n");
    CIniFile back(path.c_str(), true);
    ino_t before = inode(path);
    ASSERT_TRUE(back.WriteIniFile(true));
    EXPECT_EQ(inode(path), before) << "the file's checksum was accepted";
}

TEST(CIniFile, ViewsResolveKeysAndOwnTheirRemovalFlags) {
    TempDir dir;
    CIniFile ini(dir.file("v.ini").c_str(), false);
    CIniFile cam(&ini, "\\Cam1"), trk(&cam, "Tracker(0)"), copy(ini);
    put(trk, "Name", "T");
    put(trk, "\\Global\\Port", "80");
    EXPECT_EQ(get(ini, "Cam1\\Tracker(0)\\Name") + get(copy, "Global\\Port"), "T80");

    ini.RemoveItemAfterRead(true);
    CIniFile view(&ini, "Cam1");
    ini.RemoveItemAfterRead(false); // the view keeps the flags it was made with
    EXPECT_EQ(get(view, "Tracker(0)\\Name"), "T");
    EXPECT_EQ(get(view, "Tracker(0)\\Name"), "<absent>");
    view.AllowRemoveItem(false);
    EXPECT_EQ(get(view, "\\Global\\Port"), "80");
    EXPECT_EQ(get(view, "\\Global\\Port"), "80");
}

TEST(CIniFile, BadPathsAndHugeLines) {
    TempDir dir;
    ASSERT_TRUE(writeFile(dir.file("plain-file"), "x"));
    ASSERT_EQ(::mkdir(dir.file("folder").c_str(), 0700), 0);
    std::vector<std::string> bad = {dir.file("missing/cfg.ini"), dir.file("plain-file/cfg.ini"), dir.file("folder"),
                                    ""};
    if (::geteuid() != 0) { // root reads any folder
        ASSERT_EQ(::mkdir(dir.file("locked").c_str(), 0), 0);
        bad.push_back(dir.file("locked/cfg.ini"));
    }
    for (const std::string& path : bad) {
        CIniFile ini(path.c_str(), false);
        put(ini, "A", "1");
        // A folder cannot be read as the file, but its backup (folder.bak)
        // opens: the read counts, with nothing in it.
        EXPECT_EQ(ini.ReadIniFile(CString()), path == dir.file("folder")) << path;
        EXPECT_EQ(get(ini, "A"), "<absent>") << "a read discards the items in memory";
        put(ini, "A", "1");
        EXPECT_FALSE(ini.WriteIniFile(false)) << path;
    }

    std::string longText(1 << 20, 'v');
    longText[12345] = '=';
    CIniFile ini(dir.file("big.ini").c_str(), false);
    put(ini, "Long", longText.c_str());
    ASSERT_TRUE(ini.WriteIniFile(true));
    EXPECT_EQ(get(*std::make_unique<CIniFile>(dir.file("big.ini").c_str(), true), "Long"), longText);
    ::chmod(dir.file("locked").c_str(), 0700);
}

TEST(CIniFile, TableSurvivesHeavyReplacementAndRemoval) {
    TempDir dir;
    CIniFile ini(dir.file("t.ini").c_str(), false);
    auto key = [](int i) {
        CString k;
        k.Format("S%d\\T%d\\I%d", i % 37, i % 11, i);
        return k;
    };
    // Values grow and shrink (in place or moved), then every other item is
    // read away: the table compacts its storage on the way.
    for (int round = 0; round < 4; ++round)
        for (int i = 0; i < 20000; ++i) put(ini, key(i), std::string((round * 37 + i) % 90, 'a' + round).c_str());
    ini.RemoveItemAfterRead(true);
    for (int i = 0; i < 20000; i += 2) ASSERT_EQ(get(ini, key(i)), std::string((111 + i) % 90, 'd')) << i;
    ini.RemoveItemAfterRead(false);
    ASSERT_TRUE(ini.WriteIniFile(false));
    CIniFile back(dir.file("t.ini").c_str(), true);
    for (int i = 0; i < 20000; ++i)
        ASSERT_EQ(get(back, key(i)), i % 2 ? std::string((111 + i) % 90, 'd') : "<absent>") << i;
}

TEST(CIniFile, ALockedFileRefusesSavesAndReadersUseTheBackup) {
    TempDir dir;
    std::string path = dir.file("busy.ini");
    {
        CIniFile ini(path.c_str(), false);
        put(ini, "V", "old");
        ASSERT_TRUE(ini.WriteIniFile(false));
        put(ini, "V", "new");
        ASSERT_TRUE(ini.WriteIniFile(false));
    }
    // Another store in the middle of a save holds this lock.
    int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    std::string before = readFile(path);
    CIniFile writer(path.c_str(), false);
    put(writer, "V", "lost?");
    EXPECT_FALSE(writer.WriteIniFile(false));
    CIniFile reader(path.c_str(), true);
    EXPECT_EQ(get(reader, "V"), "old") << "the busy file is skipped, the backup read";
    EXPECT_EQ(readFile(path), before) << "and not replaced by the backup";

    // An invalid backup as well: a file was opened, so the read succeeds with
    // an empty table. Only when nothing at all opens does it fail.
    std::string backup = dir.file("busy.bak");
    ASSERT_TRUE(writeFile(backup, "V=hand edit\r\n"));
    CIniFile nothing(path.c_str(), false);
    EXPECT_TRUE(nothing.ReadIniFile(CString()) && get(nothing, "V") == "<absent>");
    ASSERT_EQ(::unlink(backup.c_str()), 0);
    ASSERT_EQ(::mkdir(backup.c_str(), 0700), 0);
    EXPECT_FALSE(nothing.ReadIniFile(CString()));
    ::close(fd);
    EXPECT_EQ(get(*std::make_unique<CIniFile>(path.c_str(), true), "V"), "new");
}
