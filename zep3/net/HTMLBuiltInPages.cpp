// The pages every web server has: "__error", "logout", "sha1.js" and "md5.js".
#include <zep3/foundation/Language.h>
#include <zep3/foundation/detail/LibraryResources.h>
#include <zep3/net/HTMLErrorPage.h>
#include <zep3/net/HTMLLogoutPage.h>
#include <zep3/net/HTMLScriptPage.h>
#include <zep3/net/detail/HttpTexts.h>
#include <zep3/platform/Module.h>
#include <zep3/platform/Resource.h>

using namespace zep3::detail;

CHTMLErrorPage::CHTMLErrorPage() { m_PageName = "__error"; }

CMemory CHTMLErrorPage::GenerateContent(CString&) {
    m_PageTitle = GetLibResString(IDS_NO_PAGE_TITLE); // the language may have changed since the last request
    const CString style = "<STYLE TYPE=\"text/css\">  \r\n"
                          "  BODY { MARGIN: 20px; PADDING: 20px; FONT-SIZE: 13px; FONT-FAMILY: Arial; "
                          "background:#F0F0F0; }\r\n"
                          "</STYLE>  \r\n";
    return CMemory("<html>\r\n" + GenerateHTMLPageHeader(style) + "\r\n<body>\r\n<center>\r\n<b>" +
                   GetLibResString(IDS_NO_PAGE_TEXT) + "</b><br><br>\r\n<a href='/'>" +
                   GetLibResString(IDS_LOGIN_AGAIN) + "</a>  \r\n</center>\r\n</body>\r\n</html>\r\n");
}

CHTMLLogoutPage::CHTMLLogoutPage() { m_PageName = "logout"; }

CMemory CHTMLLogoutPage::GenerateContent(CString& header) {
    header = CString(kHttpResponseHeader) + "Set-Cookie: SID=-1\r\nSet-Cookie: Login=-1\r\n";
    return CMemory("\r\n\r\n" + HttpRedirectLines(false));
}

CHTMLScriptPage::CHTMLScriptPage(const char* name, unsigned int resourceId) : m_nResourceID(resourceId) {
    m_PageName = name;
}

CMemory CHTMLScriptPage::GenerateContent(CString&) {
    const HMODULE module = ZEP3GetInstanceHandle();
    HRSRC found = FindResource(module, MAKEINTRESOURCE(m_nResourceID), RT_HTML);
    const void* bytes = found ? LockResource(LoadResource(module, found)) : nullptr;
    return bytes ? CMemory(static_cast<int>(SizeofResource(module, found)), bytes) : CMemory();
}
