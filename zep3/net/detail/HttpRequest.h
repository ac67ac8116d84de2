#pragma once
// Reading a browser's request text: when it is complete, and what it asks
// for (method, page name, parameters, the SID and Login cookies). The text
// is what the connection has received so far, as 8-bit text.
#include <zep3/net/HTMLInput.h>

namespace zep3::detail {

struct HttpRequest {
    bool post = false;          // starts with "POST" (else GET or anything else)
    CString path;               // page name: the request path without its leading "/"
    CHTMLVariables parameters;  // query or form parameters ("+" read as a space, nothing else decoded)
    CString sid;                // the "SID" cookie, empty when absent
    CString login;              // the "Login" cookie, empty when absent
};

// Whether text holds a whole request: the empty line that ends the header
// and, when the text has a "content-length:" line (any case), at least
// that many bytes after the empty line.
ZEP3_TEST_API bool IsHttpRequestComplete(const CString& text);

// Reads a complete request. For the page "play" without a session cookie
// (SID empty or "-1") the session comes from the parameter "SID" and Login
// counts as "1", for players that send no cookies.
ZEP3_TEST_API void ParseHttpRequest(const CString& text, HttpRequest& request);

} // namespace zep3::detail
