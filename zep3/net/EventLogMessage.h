#pragma once
/// @class CEventLogMessage
/// An event log line: a text of up to 255 characters (empty) and a value (0).
#include <zep3/net/RemoteMessage.h>

class ZEP3_API CEventLogMessage : public CRemoteMessage {
public:
    enum { Type = 10 };

    explicit CEventLogMessage(int param);
    ZEP3_RECORD_COPY(CEventLogMessage)

    char m_szText[256];
    int32_t m_nValue;
};

static_assert(sizeof(CEventLogMessage) == 272, "CEventLogMessage is 272 bytes");
ZEP3_RECORD_OFFSET(CEventLogMessage, m_szText, 12)
ZEP3_RECORD_OFFSET(CEventLogMessage, m_nValue, 268)
