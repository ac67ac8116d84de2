#pragma once
/// @class CHTMLErrorPage
/// The web server's built-in page "__error", served for every
/// page name the page manager does not know: "Brak strony" with a link back
/// to "/" (texts from the library's string table, in the active language).
#include <zep3/net/HTMLPage.h>

class ZEP3_API CHTMLErrorPage : public CHTMLPage {
public:
    CHTMLErrorPage();
    CMemory GenerateContent(CString& header) override;
};
