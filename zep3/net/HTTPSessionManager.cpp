#include <zep3/net/HTTPSessionManager.h>
#include <zep3/platform/Array.h>
#include <zep3/platform/SingleLock.h>
#include <zep3/platform/detail/Random.h>

CHTTPSessionManager::CHTTPSessionManager() { m_SessionMap.InitHashTable(17); }

bool CHTTPSessionManager::IsExpired(const CHTTPSession& session, CTime now) {
    return (now - session.m_LastUse).GetTotalSeconds() >= kSessionLifetime;
}

void CHTTPSessionManager::RemoveExpired(CTime now) {
    CArray<int, int> expired;
    POSITION position = m_SessionMap.GetStartPosition();
    while (position) {
        int number = 0;
        CHTTPSession session;
        m_SessionMap.GetNextAssoc(position, number, session);
        if (IsExpired(session, now)) expired.Add(number);
    }
    for (INT_PTR i = 0; i < expired.GetSize(); ++i) m_SessionMap.RemoveKey(expired[i]);
}

int CHTTPSessionManager::CreateSession(const CString& address, const CString& challenge) {
    CSingleLock lock(&m_CriticalSection, TRUE);
    const CTime now = CTime::GetCurrentTime();
    // Drawing a free number needs one: sweep early when every number is taken.
    if (m_SessionMap.GetCount() > zep3::detail::kRandMax) RemoveExpired(now);
    if (m_SessionMap.GetCount() > zep3::detail::kRandMax) return -1;
    int number;
    do number = zep3::detail::Rand();
    while (m_SessionMap.PLookup(number));
    CHTTPSession& session = m_SessionMap[number];
    session.m_nSessionID = number;
    session.m_Challenge = challenge;
    session.m_ClientAddress = address;
    session.m_nRights = -1;
    session.m_LastUse = now;
    RemoveExpired(now);
    return number;
}

bool CHTTPSessionManager::ValidateSession(int number, const CString& address, int& rights) {
    CSingleLock lock(&m_CriticalSection, TRUE);
    const CHTTPSession* found = m_SessionMap.PLookup(number);
    const CTime now = CTime::GetCurrentTime();
    if (!found || found->m_ClientAddress != address || IsExpired(*found, now)) return false;
    CHTTPSession& session = m_SessionMap[number];
    session.m_LastUse = now;
    rights = session.m_nRights;
    return true;
}

bool CHTTPSessionManager::BindSession(int number, const CString& address, int rights) {
    CSingleLock lock(&m_CriticalSection, TRUE);
    const CHTTPSession* found = m_SessionMap.PLookup(number);
    if (!found || found->m_ClientAddress != address || found->m_nRights != -1) return false;
    m_SessionMap[number].m_nRights = rights;
    return true;
}

bool CHTTPSessionManager::GetSessionChallenge(int number, const CString&, CString& challenge) {
    CSingleLock lock(&m_CriticalSection, TRUE);
    const CHTTPSession* found = m_SessionMap.PLookup(number);
    if (found) challenge = found->m_Challenge;
    return found != nullptr;
}
