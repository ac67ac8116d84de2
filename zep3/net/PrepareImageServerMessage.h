#pragma once
/// @class CPrepareImageServerMessage
/// Image transfer set-up: values 0, 0, 1, then four values 0.
#include <zep3/net/RemoteMessage.h>

class ZEP3_API CPrepareImageServerMessage : public CRemoteMessage {
public:
    enum { Type = 5 };

    explicit CPrepareImageServerMessage(int param);
    ZEP3_RECORD_COPY(CPrepareImageServerMessage)

    int32_t m_nValue1;
    int32_t m_nValue2;
    int32_t m_nValue3;
    int32_t m_nValues[4];
};

static_assert(sizeof(CPrepareImageServerMessage) == 40, "CPrepareImageServerMessage is 40 bytes");
ZEP3_RECORD_OFFSET(CPrepareImageServerMessage, m_nValue1, 12)
ZEP3_RECORD_OFFSET(CPrepareImageServerMessage, m_nValue2, 16)
ZEP3_RECORD_OFFSET(CPrepareImageServerMessage, m_nValue3, 20)
ZEP3_RECORD_OFFSET(CPrepareImageServerMessage, m_nValues, 24)
