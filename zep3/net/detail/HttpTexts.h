#pragma once
// The fixed texts of the web server's answers, shared by the connection
// socket and the built-in pages.
#include <zep3/platform/String.h>

namespace zep3::detail {

// The lines every answer starts with, each ended by CR LF.
extern const char kHttpResponseHeader[];

// The lines that send a browser to "/" (toRoot) or to "login", by script
// and, without scripts, by a refresh; each ended by CR LF.
CString HttpRedirectLines(bool toRoot);

// The login page's HTML: the form whose script posts the user name and the
// SHA-1 of challenge + password to "login"; message above the fields.
CString HttpLoginPage(const CString& message, const CString& challenge);

} // namespace zep3::detail
