#pragma once
/// @class COnEventMessage
/// An event report (m_nFlags starts at 1): value -1, ten values 0, five
/// values 0, a data area of 1020 bytes left unset, value 0 and value -1. It
/// can be default-constructed (param 0), so arrays of it can be made.
#include <zep3/net/RemoteMessage.h>
#include <zep3/platform/WinTypes.h>

class ZEP3_API COnEventMessage : public CRemoteMessage {
public:
    enum { Type = 11 };

    explicit COnEventMessage(int param = 0);
    ZEP3_RECORD_COPY(COnEventMessage)

    int32_t m_nValue1;
    uint32_t m_dwValues[10];
    int32_t m_nValue2;
    int32_t m_nValue3;
    int32_t m_nValue4;
    int32_t m_nValue5;
    uint32_t m_dwValue6;
    BYTE m_Data[1020];
    int32_t m_nValue7;
    int32_t m_nValue8;
};

static_assert(sizeof(COnEventMessage) == 1104, "COnEventMessage is 1104 bytes");
ZEP3_RECORD_OFFSET(COnEventMessage, m_nValue1, 12)
ZEP3_RECORD_OFFSET(COnEventMessage, m_dwValues, 16)
ZEP3_RECORD_OFFSET(COnEventMessage, m_nValue2, 56)
ZEP3_RECORD_OFFSET(COnEventMessage, m_nValue3, 60)
ZEP3_RECORD_OFFSET(COnEventMessage, m_nValue4, 64)
ZEP3_RECORD_OFFSET(COnEventMessage, m_nValue5, 68)
ZEP3_RECORD_OFFSET(COnEventMessage, m_dwValue6, 72)
ZEP3_RECORD_OFFSET(COnEventMessage, m_Data, 76)
ZEP3_RECORD_OFFSET(COnEventMessage, m_nValue7, 1096)
ZEP3_RECORD_OFFSET(COnEventMessage, m_nValue8, 1100)
