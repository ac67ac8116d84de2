#pragma once
/// @class CLanguage
/// CLanguage chooses the language of the user interface at run time, and
/// SLanguage is one row of the table of the 40 languages the system knows.
///
/// Translations are language modules, one shared object per language named
/// after its code ("pl_PL.so") in one folder. A module counts as a language
/// module when it exports GetLangInfo; it supplies its strings through
///
///     extern "C" unsigned short GetLangInfo();              // its language id
///     extern "C" const char* GetLangString(unsigned int id); // null: no such string
///
/// Everything is static. Init, SetLanguage and the string lookups are
/// serialised by one lock, so strings may be read from any thread while
/// another changes the language.
#include <zep3/platform/ArrayEx.h>
#include <zep3/platform/Export.h>
#include <zep3/platform/String.h>
#include <zep3/platform/WinTypes.h>

/// One row of the table of known languages (CLanguage::GetLanguageInfo and
/// friends); the table ends with a row whose LangID is 0.
struct SLanguage {
    unsigned short LangID;   ///< Windows language identifier; 0 in the end row
    const char* LocaleName;  ///< C runtime locale name, "" where none; null in the end row
    int Flag;                ///< 1 for English (0x0409) only
    const char* Code;        ///< language code and module file title ("pl_PL")
    int CodePage;            ///< ANSI code page
    const char* Charset;     ///< character set name of web pages
    const char* DisplayName; ///< name for lists
};

class ZEP3_API CLanguage {
public:
    virtual ~CLanguage() = default;

    /// Remembers folder (no trailing "/"), returns to the native strings and
    /// lists the available languages: nativeLangID first (when not 0), then
    /// every language module of the folder whose title is a known code other
    /// than the native one, in name order. Sub-folders are not searched and
    /// modules that fail to load or lack GetLangInfo are skipped. Always true.
    static bool Init(const CString& folder, unsigned short nativeLangID);
    /// Fills ids with the available languages; returns their number.
    static int GetSupportedLangIDArray(CArrayEx<unsigned short, unsigned short>& ids);
    /// The table row of id; the all-zero end row when id is not in the table.
    static const SLanguage& GetLangDetails(unsigned short id);
    /// SetLanguage with the code of id's row (an unknown id: the native strings).
    static bool SetLanguage(unsigned short id);
    /// Selects a language: the native code (or an empty one) returns to the
    /// native strings, any other code loads folder/code.so. False when that
    /// module cannot be loaded; the previous selection then stays.
    static bool SetLanguage(const CString& code);
    /// The string id of the selected language: GetResString below, also
    /// reachable as a member for code that calls it through the class.
    static CString GetResString(unsigned int id);

    static CString m_LangPath;            ///< folder of the language modules
    static unsigned short m_NativeLangID; ///< the application's own language, 0 when not set
    static CArrayEx<unsigned short, unsigned short> m_SupportedLangIDArray;
    static HINSTANCE m_hLangDLL;          ///< the selected module, null for the native strings
};

/// @relates CLanguage String id from the selected language module, or from the application's own
/// string table when none is selected; at most 1000 characters, empty when the
/// string does not exist (a module without it gives empty text).
ZEP3_API CString GetResString(unsigned int id);
/// @relates CLanguage The library's twin of GetResString: the selected language module, or this
/// library's own string table when none is selected.
ZEP3_API CString GetLibResString(unsigned int id);
