#pragma once
/// @class CCameraLogMessage
/// A camera log entry: value -1, flag false, value 0, value -1, three values
/// 0, flag true, values 0 and 0, two texts of up to 255 characters (empty),
/// value -1 and four values 0.
#include <zep3/net/RemoteMessage.h>

class ZEP3_API CCameraLogMessage : public CRemoteMessage {
public:
    enum { Type = 9 };

    explicit CCameraLogMessage(int param);
    ZEP3_RECORD_COPY(CCameraLogMessage)

    int32_t m_nValue1;
    bool m_bFlag1;
    int32_t m_nValue2;
    int32_t m_nValue3;
    int32_t m_nValues1[3];
    bool m_bFlag2;
    int32_t m_nValue4;
    int32_t m_nValue5;
    char m_szText1[256];
    char m_szText2[256];
    int32_t m_nValue6;
    int32_t m_nValues2[4];
};

static_assert(sizeof(CCameraLogMessage) == 584, "CCameraLogMessage is 584 bytes");
ZEP3_RECORD_OFFSET(CCameraLogMessage, m_nValue1, 12)
ZEP3_RECORD_OFFSET(CCameraLogMessage, m_bFlag1, 16)
ZEP3_RECORD_OFFSET(CCameraLogMessage, m_nValue2, 20)
ZEP3_RECORD_OFFSET(CCameraLogMessage, m_nValue3, 24)
ZEP3_RECORD_OFFSET(CCameraLogMessage, m_nValues1, 28)
ZEP3_RECORD_OFFSET(CCameraLogMessage, m_bFlag2, 40)
ZEP3_RECORD_OFFSET(CCameraLogMessage, m_nValue4, 44)
ZEP3_RECORD_OFFSET(CCameraLogMessage, m_nValue5, 48)
ZEP3_RECORD_OFFSET(CCameraLogMessage, m_szText1, 52)
ZEP3_RECORD_OFFSET(CCameraLogMessage, m_szText2, 308)
ZEP3_RECORD_OFFSET(CCameraLogMessage, m_nValue6, 564)
ZEP3_RECORD_OFFSET(CCameraLogMessage, m_nValues2, 568)
