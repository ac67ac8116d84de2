#include <zep3/zep3.h>

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using zep3test::readFile;
using zep3test::TempDir;
using zep3test::writeFile;

namespace {

void put(CIniFile& ini, const char* key, const char* text) {
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

bool exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

// The example configuration: a plain item, two in Cam1 and one in Cam1\Trk,
// stored through views the way persistent objects store themselves.
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

TEST(CIniFile, WritesThePlainAndCompactFormsByteForByte) {
    TempDir dir;
    for (bool compact : {false, true}) {
        std::string path = dir.file(compact ? "compact.ini" : "plain.ini");
        CIniFile ini(path.c_str(), false);
        fillExample(ini);
        ASSERT_TRUE(ini.WriteIniFile(compact));
        EXPECT_EQ(readFile(path), compact ? kCompactExample : kPlainExample);

        CIniFile back(path.c_str(), true);
        EXPECT_EQ(get(back, "Language"), "pl_PL");
        EXPECT_EQ(get(back, "Cam1\\Name"), "Gate");
        EXPECT_EQ(get(back, "Cam1\\Port"), "3");
        EXPECT_EQ(get(back, "\\Cam1\\Trk\\Left"), "10");
        EXPECT_EQ(get(back, "__checksum__"), "<absent>");
    }
}

TEST(CIniFile, AcceptedChecksumMakesAnUnchangedSaveOnlyRefreshTheBackup) {
    TempDir dir;
    std::string path = dir.file("cfg.ini"), backup = dir.file("cfg.bak");
    {
        CIniFile ini(path.c_str(), false);
        fillExample(ini);
        ASSERT_TRUE(ini.WriteIniFile(false));
    }
    CIniFile ini(path.c_str(), true);
    ino_t before = inode(path);
    for (int save = 0; save < 2; ++save) {
        ASSERT_TRUE(ini.WriteIniFile(false));
        EXPECT_EQ(inode(path), before) << "unchanged content must not rewrite the file";
        EXPECT_EQ(readFile(backup), kPlainExample);
    }
    // The backup is a copy, not another name of the file: editing the file
    // in place must leave it intact.
    EXPECT_NE(inode(backup), inode(path));

    // A change: both saves rewrite the file and rotate, so the backup ends
    // up equal to the file.
    put(ini, "Language", "en_US");
    ASSERT_TRUE(ini.WriteIniFile(false));
    EXPECT_EQ(readFile(backup), kPlainExample);
    ASSERT_TRUE(ini.WriteIniFile(false));
    EXPECT_EQ(readFile(backup), readFile(path));
    EXPECT_NE(readFile(path).find("Language=en_US\r\n"), std::string::npos);
    EXPECT_FALSE(exists(dir.file("cfg.bak1")));
}

TEST(CIniFile, HandEditedFileIsReplacedByItsBackup) {
    TempDir dir;
    std::string path = dir.file("cfg.ini"), backup = dir.file("cfg.bak");
    {
        CIniFile ini(path.c_str(), false);
        fillExample(ini);
        ASSERT_TRUE(ini.WriteIniFile(false));
        put(ini, "Language", "de_DE");
        ASSERT_TRUE(ini.WriteIniFile(false)); // backup: the example
    }
    // A valid file is taken even though a backup exists; the backup stays.
    {
        CIniFile ini(path.c_str(), true);
        EXPECT_EQ(get(ini, "Language"), "de_DE");
        EXPECT_EQ(readFile(backup), kPlainExample);
    }
    std::string edited = readFile(path);
    edited.replace(edited.find("Gate"), 4, "Door");
    ASSERT_TRUE(writeFile(path, edited));

    CIniFile ini(path.c_str(), true);
    EXPECT_EQ(get(ini, "Language"), "pl_PL");
    EXPECT_EQ(get(ini, "Cam1\\Name"), "Gate");
    EXPECT_EQ(readFile(path), kPlainExample);
    EXPECT_FALSE(exists(backup));
}

TEST(CIniFile, FileWithoutChecksumIsTakenAsItStandsAndRewrittenOnSave) {
    TempDir dir;
    std::string path = dir.file("cfg.ini");
    ASSERT_TRUE(writeFile(path, "A=1\r\nB=2\r\n"));
    CIniFile ini(path.c_str(), true);
    EXPECT_EQ(get(ini, "A"), "1");
    EXPECT_EQ(get(ini, "B"), "2");
    ASSERT_TRUE(ini.WriteIniFile(false));
    EXPECT_EQ(readFile(path).substr(0, 10), "A=1\r\nB=2\r\n");
    EXPECT_NE(readFile(path).find("__checksum__="), std::string::npos);
    EXPECT_EQ(readFile(dir.file("cfg.bak")), "A=1\r\nB=2\r\n");
}

TEST(CIniFile, MissingFileIsCreatedEmptyAndFirstSaveHoldsOnlyTheChecksum) {
    TempDir dir;
    std::string path = dir.file("new.ini");
    CIniFile ini(path.c_str(), false);
    EXPECT_TRUE(ini.ReadIniFile(CString()));
    EXPECT_TRUE(exists(path));
    EXPECT_TRUE(exists(dir.file("new.bak")));
    EXPECT_EQ(readFile(path), "");
    ASSERT_TRUE(ini.WriteIniFile(false));
    EXPECT_EQ(readFile(path), "__checksum__=0\r\n");
}

TEST(CIniFile, ReadsLinesAsTheFormatDefinesThem) {
    TempDir dir;
    std::string path = dir.file("lines.ini");
    std::string binary("bin\x01\xFF", 5);
    binary += '\0';
    ASSERT_TRUE(writeFile(path,
                          "K=first\r\n"
                          "no equals sign\n"
                          "=value without key\r\n"
                          " spaced = both \r\n"
                          "K=second=with equals\n"
                          "S\\A=1\n"
                          "...\\B=2\n"
                          "\n"
                          "...\\C=3\n"
                          "lone\rcr=x\ry\n"
                          "cr=two\r\r\n" +
                              binary + "=" + binary + "\n"
                          "Last=no line end"));
    CIniFile ini(path.c_str(), true);
    EXPECT_EQ(get(ini, "K"), "second=with equals");
    EXPECT_EQ(get(ini, " spaced "), " both ");
    EXPECT_EQ(get(ini, "S\\B"), "2");
    EXPECT_EQ(get(ini, "S\\C"), "3") << "empty lines keep the previous section";
    EXPECT_EQ(get(ini, "lone\rcr"), "x\ry");
    EXPECT_EQ(get(ini, "cr"), "two\r") << "only the CR before the LF is a line end";
    EXPECT_EQ(get(ini, CString(binary.data(), 6)), binary);
    EXPECT_EQ(get(ini, "Last"), "no line end");
    EXPECT_EQ(get(ini, "no equals sign"), "<absent>");
    EXPECT_EQ(get(ini, ""), "<absent>");

    // Binary keys and values survive a save and a read.
    ASSERT_TRUE(ini.WriteIniFile(true));
    EXPECT_NE(readFile(path).find(binary + "=" + binary + "\r\n"), std::string::npos);
    CIniFile again(path.c_str(), true);
    EXPECT_EQ(get(again, "cr"), "two\r");
    EXPECT_EQ(get(again, "S\\C"), "3");
}

TEST(CIniFile, AbbreviationAfterAPlainKeyStartsAtTheRoot) {
    TempDir dir;
    std::string path = dir.file("dots.ini");
    ASSERT_TRUE(writeFile(path, "A=1\r\n...\\B=2\r\n"));
    CIniFile ini(path.c_str(), true);
    ASSERT_TRUE(ini.WriteIniFile(false));
    // The key is \B: a plain key (its only backslash is the first character).
    EXPECT_EQ(readFile(path).substr(0, 11), "A=1\r\n\\B=2\r\n");
}

TEST(CIniFile, SortsPlainKeysFirstAndAbbreviatesOnlyWholeSections) {
    TempDir dir;
    std::string path = dir.file("order.ini");
    CIniFile ini(path.c_str(), false);
    put(ini, "A\\B", "1");
    put(ini, "Zoom", "2");
    put(ini, "Cam1\\X", "3");
    put(ini, "Cam10\\Y", "4");
    put(ini, "Cam", "5");
    put(ini, "Cam1", "6");
    put(ini, "Cam1\\\xE9", "7"); // bytes compare unsigned: after X
    put(ini, "Cam1a\\Y", "8");    // Cam1a only shares a string prefix with Cam1
    ASSERT_TRUE(ini.WriteIniFile(true));
    std::string text = readFile(path);
    EXPECT_EQ(text.substr(0, text.find("__checksum__")),
              "Cam=5\r\nCam1=6\r\nZoom=2\r\n\r\nA\\B=1\r\n\r\nCam10\\Y=4\r\n\r\nCam1\\X=3\r\n...\\\xE9=7\r\n"
              "\r\nCam1a\\Y=8\r\n\r\n");
}

TEST(CIniFile, LeavesOutItemsThatALineCannotCarry) {
    TempDir dir;
    std::string path = dir.file("odd.ini");
    CIniFile ini(path.c_str(), false);
    put(ini, "Good", "1");
    put(ini, "Multi", "line\nvalue");
    put(ini, "a=b", "1");
    put(ini, "...\\x", "1");
    put(ini, "__checksum__", "123");
    ASSERT_TRUE(ini.WriteIniFile(false));
    CIniFile back(path.c_str(), true);
    EXPECT_EQ(get(back, "Good"), "1");
    EXPECT_EQ(get(back, "Multi"), "<absent>");
    // The file's checksum is right: an unchanged save does not rewrite it.
    ino_t before = inode(path);
    ASSERT_TRUE(back.WriteIniFile(false));
    EXPECT_EQ(inode(path), before);
}

TEST(CIniFile, BackupNamesAndTheLegacyBackup) {
    TempDir dir;
    // A name without .ini: its backup is name.bak, and reading keeps it.
    std::string txt = dir.file("cfg.txt");
    {
        CIniFile ini(txt.c_str(), false);
        put(ini, "A", "1");
        ASSERT_TRUE(ini.WriteIniFile(false));
        put(ini, "A", "2");
        ASSERT_TRUE(ini.WriteIniFile(false));
    }
    CIniFile reread(txt.c_str(), true);
    EXPECT_EQ(get(reread, "A"), "2");
    EXPECT_TRUE(exists(txt + ".bak"));

    // The legacy backup is renamed when there is no backup, deleted otherwise.
    std::string ini = dir.file("app.ini");
    ASSERT_TRUE(writeFile(dir.file("app.ini.bak"), "Old=1\r\n"));
    CIniFile first(ini.c_str(), true);
    EXPECT_FALSE(exists(dir.file("app.ini.bak")));
    EXPECT_TRUE(exists(dir.file("app.bak")));
    ASSERT_TRUE(writeFile(dir.file("app.ini.bak"), "Older=1\r\n"));
    ASSERT_TRUE(first.ReadIniFile(CString()));
    EXPECT_FALSE(exists(dir.file("app.ini.bak")));
}

TEST(CIniFile, ViewsResolveKeysUnderTheirRoot) {
    TempDir dir;
    CIniFile ini(dir.file("v.ini").c_str(), false);
    CIniFile cam(&ini, "\\Cam1");
    CIniFile trk(&cam, "Tracker(0)");
    put(trk, "Name", "T");
    put(trk, "\\Global\\Port", "80");
    EXPECT_EQ(get(ini, "Cam1\\Tracker(0)\\Name"), "T");
    EXPECT_EQ(get(ini, "Global\\Port"), "80");
    CIniFile absolute(&trk, "\\Other");
    put(absolute, "X", "1");
    EXPECT_EQ(get(ini, "Other\\X"), "1");
    // Copies are views of the same table.
    CIniFile copy(ini);
    put(copy, "Shared", "yes");
    EXPECT_EQ(get(ini, "Shared"), "yes");
    EXPECT_EQ(ini.GetIniFolder(), CString((dir.path() + "/").c_str()));
}

TEST(CIniFile, RemovalOnReadBelongsToTheView) {
    TempDir dir;
    CIniFile ini(dir.file("r.ini").c_str(), false);
    put(ini, "A\\X", "1");
    put(ini, "A\\Y", "2");
    ini.RemoveItemAfterRead(true);
    CIniFile view(&ini, "A");
    ini.RemoveItemAfterRead(false); // the view keeps the flags it was made with
    EXPECT_EQ(get(view, "X"), "1");
    EXPECT_EQ(get(view, "X"), "<absent>");
    view.AllowRemoveItem(false);
    EXPECT_EQ(get(view, "Y"), "2");
    EXPECT_EQ(get(view, "Y"), "2");
    EXPECT_EQ(get(ini, "A\\Y"), "2");
}

TEST(CIniFile, BadPathsFailWithoutDamage) {
    TempDir dir;
    ASSERT_TRUE(writeFile(dir.file("plain-file"), "x"));
    ASSERT_EQ(::mkdir(dir.file("folder").c_str(), 0700), 0);
    for (std::string path : {dir.file("missing/dir/cfg.ini"), dir.file("plain-file/cfg.ini"), dir.file("folder"),
                             std::string()}) {
        CIniFile ini(path.c_str(), false);
        put(ini, "A", "1");
        EXPECT_FALSE(ini.ReadIniFile(CString())) << path;
        EXPECT_EQ(get(ini, "A"), "<absent>") << "a read discards the items in memory";
        put(ini, "A", "1");
        EXPECT_FALSE(ini.WriteIniFile(false)) << path;
    }
    if (::geteuid() != 0) { // root reads any folder
        std::string locked = dir.path() + "/locked";
        ASSERT_EQ(::mkdir(locked.c_str(), 0700), 0);
        ASSERT_TRUE(writeFile(locked + "/cfg.ini", "A=1\r\n"));
        ::chmod(locked.c_str(), 0);
        CIniFile ini((locked + "/cfg.ini").c_str(), false);
        EXPECT_FALSE(ini.ReadIniFile(CString()));
        EXPECT_FALSE(ini.WriteIniFile(false));
        ::chmod(locked.c_str(), 0700);
    }
}

TEST(CIniFile, HugeLinesAndManyItemsRoundTrip) {
    TempDir dir;
    std::string path = dir.file("big.ini");
    std::string longValue(1 << 20, 'v');
    longValue[12345] = '=';
    std::string longKey(1 << 20, 'k');
    {
        CIniFile ini(path.c_str(), false);
        put(ini, "Long", longValue.c_str());
        put(ini, longKey.c_str(), "short");
        for (int i = 0; i < 20000; ++i) {
            CString key;
            key.Format("S%d\\T%d\\I%d", i % 37, i % 11, i);
            ExchangeObject(&ini, 1, key, &i);
        }
        ASSERT_TRUE(ini.WriteIniFile(true));
    }
    CIniFile ini(path.c_str(), true);
    EXPECT_EQ(get(ini, "Long"), longValue);
    EXPECT_EQ(get(ini, longKey.c_str()), "short");
    for (int i = 0; i < 20000; i += 997) {
        CString key;
        key.Format("S%d\\T%d\\I%d", i % 37, i % 11, i);
        int value = -1;
        EXPECT_TRUE(ExchangeObject(&ini, 0, key, &value));
        EXPECT_EQ(value, i);
    }
    // Heavy replacement and removal keep the table consistent.
    ini.RemoveItemAfterRead(true);
    for (int round = 0; round < 3; ++round)
        for (int i = 0; i < 20000; ++i) {
            CString key;
            key.Format("S%d\\T%d\\I%d", i % 37, i % 11, i);
            CString grown(static_cast<char>('a' + round), 40 * (round + 1));
            if (round < 2)
                ExchangeObject(&ini, 1, key, &grown);
            else
                ASSERT_EQ(get(ini, key), std::string(80, 'b')) << i;
        }
    ASSERT_TRUE(ini.WriteIniFile(false));
    CIniFile after(path.c_str(), true);
    EXPECT_EQ(get(after, "Long"), longValue);
    EXPECT_EQ(get(after, "S0\\T0\\I0"), "<absent>");
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
    // Another store holding the file (as during its save) is modelled by
    // the lock every store takes.
    int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    std::string before = readFile(path);
    CIniFile writer(path.c_str(), false);
    put(writer, "V", "lost?");
    EXPECT_FALSE(writer.WriteIniFile(false));
    EXPECT_EQ(readFile(path), before);
    CIniFile reader(path.c_str(), true);
    EXPECT_EQ(get(reader, "V"), "old") << "the busy file is skipped, the backup read";
    EXPECT_EQ(readFile(path), before) << "a busy file is not replaced by the backup";
    ::close(fd);
    CIniFile later(path.c_str(), true);
    EXPECT_EQ(get(later, "V"), "new");
}
