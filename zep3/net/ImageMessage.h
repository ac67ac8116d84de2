#pragma once
/// @class CImageMessage
/// An image: value -1, two values 0, four values 0, value 0, a flag (false),
/// value -1 and the image time (the unset time stamp).
#include <zep3/imaging/SystemTime.h>
#include <zep3/net/RemoteMessage.h>

class ZEP3_API CImageMessage : public CRemoteMessage {
public:
    enum { Type = 6 };

    explicit CImageMessage(int param);
    ZEP3_RECORD_COPY(CImageMessage)

    int32_t m_nValue1;
    int32_t m_nSize[2];
    int32_t m_nValues[4];
    int32_t m_nValue2;
    bool m_bFlag;
    int32_t m_nValue3;
    CSystemTime m_Time;
};

static_assert(sizeof(CImageMessage) == 72, "CImageMessage is 72 bytes");
ZEP3_RECORD_OFFSET(CImageMessage, m_nValue1, 12)
ZEP3_RECORD_OFFSET(CImageMessage, m_nSize, 16)
ZEP3_RECORD_OFFSET(CImageMessage, m_nValues, 24)
ZEP3_RECORD_OFFSET(CImageMessage, m_nValue2, 40)
ZEP3_RECORD_OFFSET(CImageMessage, m_bFlag, 44)
ZEP3_RECORD_OFFSET(CImageMessage, m_nValue3, 48)
ZEP3_RECORD_OFFSET(CImageMessage, m_Time, 52)
