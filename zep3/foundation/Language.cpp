#include <zep3/foundation/Language.h>
#include <zep3/platform/FileFind.h>
#include <zep3/platform/Module.h>
#include <zep3/platform/Resource.h>
#include <zep3/platform/detail/Resources.h>

#include <mutex>
#include <string>

CString CLanguage::m_LangPath;
unsigned short CLanguage::m_NativeLangID = 0;
CArrayEx<unsigned short, unsigned short> CLanguage::m_SupportedLangIDArray;
HINSTANCE CLanguage::m_hLangDLL = nullptr;

namespace {

const SLanguage kLanguages[] = {
    {0x3801, "", 0, "ar_AE", 1256, "windows-1256", "Arabic (UAE)"},
    {0x042D, "", 0, "ba_BA", 1252, "windows-1252", "Basque"},
    {0x0402, "hun", 0, "bg_BG", 1251, "windows-1251", "Bulgarian"},
    {0x141A, "bosnian", 0, "bs_BA", 1250, "windows-1250", "Bosnian (Bosnia and Herzegovina)"},
    {0x0403, "", 0, "ca_ES", 1252, "windows-1252", "Catalan"},
    {0x0405, "czech", 0, "cz_CZ", 1250, "windows-1250", "Czech"},
    {0x0406, "danish", 0, "da_DK", 1252, "windows-1252", "Danish"},
    {0x0407, "german", 0, "de_DE", 1252, "windows-1252", "German (Germany)"},
    {0x0408, "greek", 0, "el_GR", 1253, "windows-1253", "Greek"},
    {0x0409, "english", 1, "en_US", 1252, "windows-1252", "English"},
    {0x040A, "spanish", 0, "es_ES_T", 1252, "windows-1252", "Spanish (Castilian)"},
    {0x0425, "", 0, "et_EE", 1257, "windows-1257", "Estonian"},
    {0x040B, "finnish", 0, "fi_FI", 1252, "windows-1252", "Finnish"},
    {0x040C, "french", 0, "fr_FR", 1252, "windows-1252", "French (France)"},
    {0x0900, "french", 0, "fr_BR", 1252, "windows-1252", "French (Breton)"},
    {0x040D, "", 0, "he_IL", 1255, "windows-1255", "Hebrew"},
    {0x041A, "croatian", 0, "hr_HR", 1250, "windows-1250", "Croatian"},
    {0x101A, "croatian", 0, "hr_BA", 1250, "windows-1250", "Croatian (Bosnia and Herzegovina)"},
    {0x040E, "hungarian", 0, "hu_HU", 1250, "windows-1250", "Hungarian"},
    {0x0410, "italian", 0, "it_IT", 1252, "windows-1252", "Italian (Italy)"},
    {0x0411, "japanese", 0, "jp_JP", 932, "shift_jis", "Japanese"},
    {0x0412, "korean", 0, "ko_KR", 949, "euc-kr", "Korean"},
    {0x0427, "", 0, "lt_LT", 1257, "windows-1257", "Lithuanian"},
    {0x0426, "", 0, "lv_LV", 1257, "windows-1257", "Latvian"},
    {0x042F, "macedonian", 0, "mk_MK", 1251, "windows-1251", "Macedonian"},
    {0x0414, "nor", 0, "nb_NO", 1252, "windows-1252", "Norwegian (Bokmal)"},
    {0x0814, "non", 0, "nn_NO", 1252, "windows-1252", "Norwegian (Nynorsk)"},
    {0x0413, "dutch", 0, "nl_NL", 1252, "windows-1252", "Dutch (Netherlands)"},
    {0x0415, "polish", 0, "pl_PL", 1250, "windows-1250", "Polish"},
    {0x0416, "ptb", 0, "pt_BR", 1252, "windows-1252", "Portuguese (Brazil)"},
    {0x0816, "ptg", 0, "pt_PT", 1252, "windows-1252", "Portuguese (Portugal)"},
    {0x0418, "", 0, "ro_RO", 1250, "windows-1250", "Rum\xE4nisch"},
    {0x0419, "russian", 0, "ru_RU", 1251, "windows-1251", "Russian"},
    {0x041B, "slovak", 0, "sk_SK", 1250, "windows-1250", "Slovak"},
    {0x0424, "slovenian", 0, "sl_SI", 1250, "windows-1250", "Slovenian"},
    {0x041C, "", 0, "sq_AL", 1252, "windows-1252", "Albanian (Albania)"},
    {0x041D, "swedish", 0, "sv_SE", 1252, "windows-1252", "Swedish"},
    {0x041F, "turkish", 0, "tr_TR", 1254, "windows-1254", "Turkish"},
    {0x0804, "chs", 0, "zh_CN", 936, "gb2312", "Chinese (P.R.C.)"},
    {0x0404, "cht", 0, "zh_TW", 950, "big5", "Chinese (Taiwan)"},
    {0, nullptr, 0, nullptr, 0, nullptr, nullptr},
};
static_assert(sizeof kLanguages / sizeof kLanguages[0] == 41, "40 languages and the end row");

const SLanguage& EndRow() { return kLanguages[sizeof kLanguages / sizeof kLanguages[0] - 1]; }

std::recursive_mutex& LanguageLock() {
    static std::recursive_mutex lock;
    return lock;
}

const SLanguage* FindCode(const CString& code) {
    for (const SLanguage* row = kLanguages; row->Code; ++row)
        if (code.CompareNoCase(row->Code) == 0) return row;
    return nullptr;
}

CString FolderOf(const CString& path) { return path.IsEmpty() ? CString(".") : path; }

void SelectModule(HINSTANCE module) {
    if (CLanguage::m_hLangDLL) FreeLibrary(CLanguage::m_hLangDLL);
    CLanguage::m_hLangDLL = module;
}

CString StringFrom(HINSTANCE module, unsigned int id) {
    std::string text;
    if (!zep3::detail::FindString(module, id, &text)) return CString();
    if (text.size() > 1000) text.resize(1000);
    return CString(text);
}

} // namespace

bool CLanguage::Init(const CString& folder, unsigned short nativeLangID) {
    std::lock_guard<std::recursive_mutex> guard(LanguageLock());
    m_LangPath = folder;
    SetLanguage(CString());
    m_SupportedLangIDArray.RemoveAll();
    m_NativeLangID = nativeLangID;
    if (nativeLangID != 0) m_SupportedLangIDArray.Add(nativeLangID);

    CFileFind finder;
    BOOL more = finder.FindFile(FolderOf(folder) + "/*.so");
    while (more) {
        more = finder.FindNextFile();
        if (finder.IsDirectory()) continue;
        HMODULE module = LoadLibrary(finder.GetFilePath());
        if (!module) continue;
        const SLanguage* row = GetProcAddress(module, "GetLangInfo") ? FindCode(finder.GetFileTitle()) : nullptr;
        if (row && row->LangID != m_NativeLangID) m_SupportedLangIDArray.Add(row->LangID);
        FreeLibrary(module);
    }
    return true;
}

int CLanguage::GetSupportedLangIDArray(CArrayEx<unsigned short, unsigned short>& ids) {
    std::lock_guard<std::recursive_mutex> guard(LanguageLock());
    ids.Copy(m_SupportedLangIDArray);
    return static_cast<int>(ids.GetSize());
}

const SLanguage& CLanguage::GetLangDetails(unsigned short id) {
    for (const SLanguage* row = kLanguages; row->Code; ++row)
        if (row->LangID == id) return *row;
    return EndRow();
}

bool CLanguage::SetLanguage(unsigned short id) { return SetLanguage(CString(GetLangDetails(id).Code)); }

bool CLanguage::SetLanguage(const CString& code) {
    std::lock_guard<std::recursive_mutex> guard(LanguageLock());
    const char* native = m_NativeLangID ? GetLangDetails(m_NativeLangID).Code : nullptr;
    if (native && code.CompareNoCase(native) == 0) {
        SelectModule(nullptr);
        return true;
    }
    HMODULE module = nullptr;
    if (!code.IsEmpty()) {
        module = LoadLibrary(FolderOf(m_LangPath) + "/" + code + ".so");
        if (!module) return false;
    }
    SelectModule(module);
    return true;
}

CString CLanguage::GetResString(unsigned int id) { return ::GetResString(id); }

CString GetResString(unsigned int id) {
    std::lock_guard<std::recursive_mutex> guard(LanguageLock());
    return StringFrom(CLanguage::m_hLangDLL ? CLanguage::m_hLangDLL : AfxGetInstanceHandle(), id);
}

CString GetLibResString(unsigned int id) {
    std::lock_guard<std::recursive_mutex> guard(LanguageLock());
    return StringFrom(CLanguage::m_hLangDLL ? CLanguage::m_hLangDLL : ZEP3GetInstanceHandle(), id);
}
