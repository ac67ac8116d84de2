#include <zep3/zep3.h>

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace {

// Every test works on a registry of its own.
class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { setenv("ZEP3_REGISTRY_DIR", m_dir.path().c_str(), 1); }
    void TearDown() override { unsetenv("ZEP3_REGISTRY_DIR"); }
    std::string hiveFile(const char* root) { return m_dir.file(root); }

    zep3test::TempDir m_dir;
};

DWORD readDword(HKEY key, const char* name) {
    DWORD value = 0, size = sizeof value, type = 0;
    EXPECT_EQ(RegQueryValueEx(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD(REG_DWORD));
    return value;
}

} // namespace

TEST_F(RegistryTest, ValuesRoundTripWithTheirTypesAndNamesIgnoreCase) {
    HKEY key;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Vendor\\App", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                             &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, DWORD(REG_CREATED_NEW_KEY));
    DWORD number = 0xDEADBEEF;
    const char text[] = "C:\\Path \"quoted\"\r\n\x01\xB3";
    const BYTE blob[] = {0, 1, 0xFF, '\n'};
    EXPECT_EQ(RegSetValueEx(key, "Number", 0, REG_DWORD, reinterpret_cast<BYTE*>(&number), 4), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueEx(key, "Text", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueEx(key, nullptr, 0, REG_BINARY, blob, sizeof blob), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueEx(key, "NUMBER", 0, REG_DWORD, reinterpret_cast<BYTE*>(&(number = 42)), 4), ERROR_SUCCESS);
    RegCloseKey(key);

    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "software\\VENDOR\\app\\", 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(readDword(key, "number"), 42u);
    char buf[64];
    DWORD size = sizeof buf, type = 0;
    ASSERT_EQ(RegQueryValueEx(key, "text", nullptr, &type, reinterpret_cast<LPBYTE>(buf), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD(REG_SZ));
    EXPECT_EQ(std::string(buf, size), std::string(text, sizeof text));
    size = 2;
    EXPECT_EQ(RegQueryValueEx(key, "", nullptr, &type, reinterpret_cast<LPBYTE>(buf), &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, DWORD(sizeof blob));
    size = sizeof buf;
    EXPECT_EQ(RegQueryValueEx(key, "", nullptr, &type, reinterpret_cast<LPBYTE>(buf), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD(REG_BINARY));
    EXPECT_EQ(std::memcmp(buf, blob, sizeof blob), 0);
    EXPECT_EQ(RegQueryValueEx(key, "Missing", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
    // A key opened for reading refuses changes.
    EXPECT_EQ(RegSetValueEx(key, "Number", 0, REG_DWORD, reinterpret_cast<BYTE*>(&number), 4), ERROR_ACCESS_DENIED);
    RegCloseKey(key);

    // Parents exist implicitly; other roots are other files.
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Vendor", 0, KEY_READ, &key), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Vend", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "Software\\Vendor\\App", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegCloseKey(reinterpret_cast<HKEY>(&number)), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegQueryValueEx(reinterpret_cast<HKEY>(&number), "x", nullptr, nullptr, nullptr, &size),
              ERROR_INVALID_HANDLE);
}

TEST_F(RegistryTest, DamagedLinesAreSkippedAndTheRestIsRead) {
    zep3test::writeFile(hiveFile("HKEY_CURRENT_USER"), "ZEP3 registry 1\n"
                                                       "\"orphan\"=dword:00000001\n"
                                                       "[Soft\\Key]\n"
                                                       "\"Good\"=dword:00000007\n"
                                                       "\"Broken\"=dword:zz\n"
                                                       "\"Unterminated=\"x\n"
                                                       "\xFF\x01garbage\n"
                                                       "\"Hex\"=hex(4):05,00,00,00\n");
    HKEY key;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Soft\\Key", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    EXPECT_EQ(readDword(key, "Good"), 7u);
    EXPECT_EQ(readDword(key, "Hex"), 5u);
    DWORD size = 4;
    EXPECT_EQ(RegQueryValueEx(key, "Broken", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
    // Rewriting keeps what was readable.
    DWORD one = 1;
    EXPECT_EQ(RegSetValueEx(key, "New", 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), 4), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValue(key, "good"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValue(key, "good"), ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);
    EXPECT_EQ(zep3test::readFile(hiveFile("HKEY_CURRENT_USER")),
              "ZEP3 registry 1\n[Soft\\Key]\n\"Hex\"=dword:00000005\n\"New\"=dword:00000001\n");
}

TEST_F(RegistryTest, ConcurrentWritersLoseNoValue) {
    const int kThreads = 4, kValues = 25;
    auto name = [](int t, int i) { return "v" + std::to_string(t) + "_" + std::to_string(i); };
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t, name] {
            for (int i = 0; i < kValues; ++i)
                WriteRegKey(HKEY_CURRENT_USER, "Software\\Shared", name(t, i).c_str(), static_cast<unsigned long>(t * 1000 + i));
        });
    for (auto& th : threads) th.join();
    for (int t = 0; t < kThreads; ++t)
        for (int i = 0; i < kValues; ++i) {
            unsigned long value = 0;
            ASSERT_TRUE(ReadRegKey(HKEY_CURRENT_USER, "Software\\Shared", name(t, i).c_str(), value)) << name(t, i);
            EXPECT_EQ(value, static_cast<unsigned long>(t * 1000 + i));
        }
}

TEST_F(RegistryTest, AnUnreadableRootFailsInsteadOfLookingEmpty) {
    // A folder where the root's file should be: it opens, but cannot be read.
    ASSERT_EQ(mkdir(hiveFile("HKEY_LOCAL_MACHINE").c_str(), 0700), 0);
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, &key), ERROR_ACCESS_DENIED)
        << "not ERROR_FILE_NOT_FOUND: the key may well be there";
    EXPECT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "Software", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
}
