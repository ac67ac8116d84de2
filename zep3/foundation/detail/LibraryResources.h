#pragma once
// Identifiers of the library's own resources.

// String table (Windows-1250 texts, see LibraryResources.cpp).
#define IDS_WRONG_USER_OR_PASSWORD 30
#define IDS_LOGIN_AGAIN 31
#define IDS_NO_PAGE_TITLE 34
#define IDS_NO_PAGE_TEXT 35
#define IDS_SESSION_EXPIRED 36
#define IDS_USER_NAME 37
#define IDS_PASSWORD 38
#define IDS_LOGGED_OUT 39

// HTML resources: the browser scripts of the web server's login. They are
// registered by the code that carries them, under ZEP3GetInstanceHandle(),
// with ZEP3RegisterResource(..., RT_HTML, MAKEINTRESOURCE(id), ...).
#define IDR_HTML_MD5_JS 4001
#define IDR_HTML_SHA1_JS 4002
