#pragma once
/// @class CHTMLPageManager
/// The web server's table of pages by name. It holds the
/// four built-in pages ("__error", "logout", "sha1.js", "md5.js"); the
/// application adds its own. Pages are not owned: they must outlive the
/// server that serves them.
///
/// m_CriticalSection guards the table and every use of a page through the
/// manager: pages are generated one at a time across all connections. Any
/// thread may call these operations.
#include <zep3/net/HTMLErrorPage.h>
#include <zep3/net/HTMLLogoutPage.h>
#include <zep3/net/HTMLScriptPage.h>
#include <zep3/platform/CriticalSection.h>

class ZEP3_API CHTMLPageManager {
public:
    /// Registers the built-in pages.
    CHTMLPageManager();
    ~CHTMLPageManager();
    CHTMLPageManager(const CHTMLPageManager&) = delete;
    CHTMLPageManager& operator=(const CHTMLPageManager&) = delete;

    /// Registers page under its current name, replacing (not deleting) a page
    /// registered under that name before. A null page is ignored.
    void AddHTMLPage(CHTMLPage* page);

    /// The server's operations.
    /// Whether the page of that name is protected; false for an unknown name.
    bool IsHTMLPageProtected(const CString& name);
    /// Serves the page of that name (exact match), or "__error" when there is
    /// none: stores rights in the page, fills its inputs from variables
    /// (FillVariables with post) and returns GenerateContent(header).
    CMemory GenerateHTMLPage(const CString& name, CHTMLVariables* variables, bool post, int rights,
                             CString& header);
    /// CreateHTMLPage() of every registered page (the server starts).
    void CreateHTMLPages();

    CHTMLErrorPage m_ErrorPage;
    CHTMLLogoutPage m_LogoutPage;
    CHTMLScriptPage m_Sha1Page;
    CHTMLScriptPage m_Md5Page;
    CMap<CString, const char*, CHTMLPage*, CHTMLPage*> m_PageMap;
    CCriticalSection m_CriticalSection;
};
