#pragma once
/// @class CCameraStatusMessage
/// The status of one camera: a flag (false) and a CCameraStatus (first value
/// -1, text empty, the three values 0, both flags false, last value 0).
#include <zep3/net/CameraStatus.h>
#include <zep3/net/RemoteMessage.h>

class ZEP3_API CCameraStatusMessage : public CRemoteMessage {
public:
    enum { Type = 4 };

    explicit CCameraStatusMessage(int param);
    ZEP3_RECORD_COPY(CCameraStatusMessage)

    bool m_bValid;
    CCameraStatus m_Status;
};

static_assert(sizeof(CCameraStatusMessage) == 60, "CCameraStatusMessage is 60 bytes");
ZEP3_RECORD_OFFSET(CCameraStatusMessage, m_bValid, 12)
ZEP3_RECORD_OFFSET(CCameraStatusMessage, m_Status, 16)
