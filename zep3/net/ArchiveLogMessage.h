#pragma once
/// @class CArchiveLogMessage
/// A query of the archive log: one value (0).
#include <zep3/net/RemoteMessage.h>

class ZEP3_API CArchiveLogMessage : public CRemoteMessage {
public:
    enum { Type = 7 };

    explicit CArchiveLogMessage(int param);
    ZEP3_RECORD_COPY(CArchiveLogMessage)

    int32_t m_nValue;
};

static_assert(sizeof(CArchiveLogMessage) == 16, "CArchiveLogMessage is 16 bytes");
ZEP3_RECORD_OFFSET(CArchiveLogMessage, m_nValue, 12)
