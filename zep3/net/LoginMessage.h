#pragma once
/// @class CLoginMessage
/// A login: two texts of up to 19 characters, empty at first.
#include <zep3/net/RemoteMessage.h>

class ZEP3_API CLoginMessage : public CRemoteMessage {
public:
    enum { Type = 2 };

    explicit CLoginMessage(int param);
    ZEP3_RECORD_COPY(CLoginMessage)

    char m_szLogin1[20];
    char m_szLogin2[20];
};

static_assert(sizeof(CLoginMessage) == 52, "CLoginMessage is 52 bytes");
ZEP3_RECORD_OFFSET(CLoginMessage, m_szLogin1, 12)
ZEP3_RECORD_OFFSET(CLoginMessage, m_szLogin2, 32)
