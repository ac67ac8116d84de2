#pragma once
/// @class CHTMLLogoutPage
/// The web server's built-in page "logout": resets the
/// cookies (SID -1, Login -1) and sends the browser to the login page, which
/// then says that the user has been logged out.
#include <zep3/net/HTMLPage.h>

class ZEP3_API CHTMLLogoutPage : public CHTMLPage {
public:
    CHTMLLogoutPage();
    CMemory GenerateContent(CString& header) override;
};
