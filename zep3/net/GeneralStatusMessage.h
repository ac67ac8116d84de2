#pragma once
/// @class CGeneralStatusMessage
/// The general status: four values (0) and two texts (empty).
#include <zep3/net/RemoteMessage.h>

class ZEP3_API CGeneralStatusMessage : public CRemoteMessage {
public:
    enum { Type = 3 };

    explicit CGeneralStatusMessage(int param);
    ZEP3_RECORD_COPY(CGeneralStatusMessage)

    int32_t m_nStatus[4];
    char m_szStatus1[20];
    char m_szStatus2[20];
};

static_assert(sizeof(CGeneralStatusMessage) == 68, "CGeneralStatusMessage is 68 bytes");
ZEP3_RECORD_OFFSET(CGeneralStatusMessage, m_nStatus, 12)
ZEP3_RECORD_OFFSET(CGeneralStatusMessage, m_szStatus1, 28)
ZEP3_RECORD_OFFSET(CGeneralStatusMessage, m_szStatus2, 48)
