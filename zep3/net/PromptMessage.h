#pragma once
/// @class CPromptMessage
/// The banner: "Dravolin Remote Control".
#include <zep3/net/RemoteMessage.h>

class ZEP3_API CPromptMessage : public CRemoteMessage {
public:
    enum { Type = 1 };

    explicit CPromptMessage(int param);
    ZEP3_RECORD_COPY(CPromptMessage)

    char m_szPrompt[24];
};

static_assert(sizeof(CPromptMessage) == 36, "CPromptMessage is 36 bytes");
ZEP3_RECORD_OFFSET(CPromptMessage, m_szPrompt, 12)
