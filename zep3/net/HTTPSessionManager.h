#pragma once
/// @class CHTTPSessionManager
/// The web server's table of browser sessions by number.
/// A session is made with every login page, bound to a user's rights by a
/// successful login, refreshed by each request it validates and dead after
/// 3600 seconds without one (swept when the next session is made). Logging
/// out does not remove it.
///
/// Every operation holds m_CriticalSection for its whole run; any thread may
/// call them. Code that reads or changes m_SessionMap directly holds it too.
#include <zep3/net/HTTPSession.h>
#include <zep3/platform/CriticalSection.h>
#include <zep3/platform/Map.h>

class ZEP3_API CHTTPSessionManager {
public:
    CHTTPSessionManager();
    CHTTPSessionManager(const CHTTPSessionManager&) = delete;
    CHTTPSessionManager& operator=(const CHTTPSessionManager&) = delete;

    /// A new session for the browser at address with the login page's
    /// challenge: its number is the first C-library random number (0 to
    /// 32767) not in use; rights -1, last use now. Then removes every session
    /// idle for 3600 seconds or more. -1 (and no session) when all 32768
    /// numbers are in use by live sessions.
    int CreateSession(const CString& address, const CString& challenge);
    /// True, with the session's rights and its last use set to now, when the
    /// session exists, belongs to address and was used less than 3600 seconds
    /// ago.
    bool ValidateSession(int number, const CString& address, int& rights);
    /// Stores the rights of a successful login: true only when the session
    /// exists, belongs to address and has not been bound before (rights -1),
    /// so that one challenge is accepted once.
    bool BindSession(int number, const CString& address, int rights);
    /// The challenge of the session (address not compared); false when the
    /// number is unknown.
    bool GetSessionChallenge(int number, const CString& address, CString& challenge);

    static const int kSessionLifetime = 3600; // seconds

    CMap<int, int, CHTTPSession, CHTTPSession&> m_SessionMap;
    CCriticalSection m_CriticalSection;

private:
    static bool IsExpired(const CHTTPSession& session, CTime now);
    void RemoveExpired(CTime now);
};
