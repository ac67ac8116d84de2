#include <zep3/zep3.h>

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iconv.h>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::vector<unsigned short> supported() {
    CArrayEx<unsigned short, unsigned short> ids;
    int n = CLanguage::GetSupportedLangIDArray(ids);
    EXPECT_EQ(n, int(ids.GetSize()));
    return std::vector<unsigned short>(ids.begin(), ids.end());
}

std::string windows1250(const std::string& utf8) {
    iconv_t cd = iconv_open("WINDOWS-1250", "UTF-8");
    EXPECT_NE(cd, (iconv_t)-1);
    std::string in = utf8, out(utf8.size(), '\0');
    char* src = in.data();
    char* dst = out.data();
    size_t left = in.size(), room = out.size();
    EXPECT_NE(iconv(cd, &src, &left, &dst, &room), (size_t)-1);
    iconv_close(cd);
    out.resize(out.size() - room);
    return out;
}

// A folder of language modules: valid ones under four codes (one of them not
// in the table), one without GetLangInfo, one in a sub-folder, and a text file.
class CLanguageTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* code : {"pl_PL", "de_DE", "en_US", "xx_XX"}) copy(ZEP3TEST_LANG_VALID, code);
        copy(ZEP3TEST_LANG_NOINFO, "fr_FR");
        fs::create_directory(m_dir.file("sub"));
        fs::copy_file(ZEP3TEST_LANG_VALID, m_dir.file("sub/it_IT.so"));
        zep3test::writeFile(m_dir.file("readme.txt"), "not a module");
    }
    void TearDown() override { CLanguage::Init(m_dir.file("none").c_str(), 0); }

    void copy(const char* module, const char* code) {
        fs::copy_file(module, m_dir.file(std::string(code) + ".so"));
    }

    zep3test::TempDir m_dir;
};

} // namespace

TEST_F(CLanguageTest, InitListsTheNativeLanguageThenValidKnownModules) {
    EXPECT_TRUE(CLanguage::Init(m_dir.path().c_str(), 0x0409));
    EXPECT_EQ(supported(), (std::vector<unsigned short>{0x0409, 0x0407, 0x0415}));

    CLanguage::Init(m_dir.path().c_str(), 0);
    EXPECT_EQ(supported(), (std::vector<unsigned short>{0x0407, 0x0409, 0x0415}));
    CLanguage::Init(m_dir.file("missing").c_str(), 0x0415);
    EXPECT_EQ(supported(), (std::vector<unsigned short>{0x0415}));
}

TEST_F(CLanguageTest, SelectedModuleSuppliesTextsByteForByte) {
    static const ZEP3StringEntry app[] = {{100, "application text"}, {999, "only in the application"}};
    ASSERT_TRUE(ZEP3RegisterStringTable(nullptr, app, 2));
    CLanguage::Init(m_dir.path().c_str(), 0x0409);
    EXPECT_EQ(GetResString(100), "application text");

    ASSERT_TRUE(CLanguage::SetLanguage(0x0415));
    HINSTANCE polish = CLanguage::m_hLangDLL;
    ASSERT_NE(polish, nullptr);
    EXPECT_EQ(CLanguage::GetResString(100), windows1250("Okno główne").c_str());
    std::string high;
    for (int c = 0x80; c <= 0xFF; ++c) high += static_cast<char>(c);
    EXPECT_EQ(GetResString(101).str(), high);
    EXPECT_EQ(GetResString(102).GetLength(), 1000);
    EXPECT_EQ(GetResString(999), ""); // no fall-back to the application for a missing id

    // A module that is missing keeps the current selection.
    EXPECT_FALSE(CLanguage::SetLanguage("it_IT"));
    EXPECT_EQ(CLanguage::m_hLangDLL, polish);
    // Codes outside the table and modules without GetLangInfo still load.
    EXPECT_TRUE(CLanguage::SetLanguage("xx_XX"));
    EXPECT_TRUE(CLanguage::SetLanguage("fr_FR"));
    EXPECT_EQ(GetResString(100), "no info");
    // The native code releases the module.
    EXPECT_TRUE(CLanguage::SetLanguage("EN_us"));
    EXPECT_EQ(CLanguage::m_hLangDLL, nullptr);
    EXPECT_EQ(GetResString(999), "only in the application");
}

TEST_F(CLanguageTest, LibraryStringsArePolishInWindows1250) {
    CLanguage::Init(m_dir.path().c_str(), 0x0409);
    const std::pair<unsigned, const char*> texts[] = {
        {30, "Zła nazwa użytkownika lub hasło."}, {31, "Zaloguj ponownie"},
        {34, "Brak strony"}, {35, "Błąd: strona o podanym adresie nie istnieje!"},
        {36, "Sesja wygasła, zaloguj się ponownie."}, {37, "Nazwa użytkownika"},
        {38, "Hasło"}, {39, "Użytkownik został wylogowany."},
    };
    for (auto& t : texts) EXPECT_EQ(GetLibResString(t.first).str(), windows1250(t.second)) << t.first;
    EXPECT_EQ(GetResString(38), ""); // the application's table does not have them

    // A selected language module supplies the library's texts as well.
    CLanguage::SetLanguage("de_DE");
    EXPECT_EQ(GetLibResString(30).str(), windows1250("Zła nazwa użytkownika lub hasło."));
    EXPECT_EQ(GetLibResString(31), "");
}

TEST(CLanguageTable, FortyLanguagesWithUniqueCodes) {
    std::set<std::string> codes;
    int rows = 0;
    for (unsigned id = 1; id <= 0xFFFF; ++id) {
        const SLanguage& row = CLanguage::GetLangDetails(static_cast<unsigned short>(id));
        if (row.LangID == 0) continue;
        ++rows;
        ASSERT_TRUE(row.LangID == id && row.Code != nullptr);
        codes.insert(row.Code);
    }
    EXPECT_EQ(rows, 40);
    EXPECT_EQ(codes.size(), 40u);

    EXPECT_STREQ(CLanguage::GetLangDetails(0x0418).DisplayName, windows1250("Rumänisch").c_str());

    const SLanguage& none = CLanguage::GetLangDetails(0x0001);
    EXPECT_TRUE(none.LangID == 0 && none.Code == nullptr && none.DisplayName == nullptr);
}
