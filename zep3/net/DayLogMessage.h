#pragma once
/// @class CDayLogMessage
/// A query of a day's log: one value (0).
#include <zep3/net/RemoteMessage.h>

class ZEP3_API CDayLogMessage : public CRemoteMessage {
public:
    enum { Type = 8 };

    explicit CDayLogMessage(int param);
    ZEP3_RECORD_COPY(CDayLogMessage)

    int32_t m_nValue;
};

static_assert(sizeof(CDayLogMessage) == 16, "CDayLogMessage is 16 bytes");
ZEP3_RECORD_OFFSET(CDayLogMessage, m_nValue, 12)
