#pragma once
/// @class CHTMLScriptPage
/// A built-in page that serves one of the library's HTML
/// resources unchanged: "sha1.js" (resource 4002, hex_sha1 with upper-case
/// digits, which the login page runs) and "md5.js" (4001, hex_md5 with
/// lower-case digits).
#include <zep3/net/HTMLPage.h>

class ZEP3_API CHTMLScriptPage : public CHTMLPage {
public:
    CHTMLScriptPage(const char* name, unsigned int resourceId);
    /// The resource's bytes (empty when it is missing); the header is left as given.
    CMemory GenerateContent(CString& header) override;

    unsigned int m_nResourceID;
};
