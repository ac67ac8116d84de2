#pragma once
/// @class CHTTPSession
/// One browser session of the web server: its number (the
/// "SID" cookie), the challenge of the login page that created it, the
/// address of the browser that fetched that page, the rights of the user who
/// logged in (-1 until a login succeeds) and the time of its creation or of
/// its last validated request. A plain record; CHTTPSessionManager keeps them.
#include <zep3/platform/String.h>
#include <zep3/platform/Time.h>

class ZEP3_API CHTTPSession {
public:
    CHTTPSession() = default;

    int m_nSessionID = 0; // 0 to 32767
    CString m_Challenge;
    CString m_ClientAddress; // dotted text
    int m_nRights = -1;
    CTime m_LastUse;
};
