#pragma once
/// @class CTextMessage
/// A text of up to 100 characters: the first 100 bytes of `text` as strncpy
/// copies them (no terminator when the text has 100 or more characters, so a
/// reader stops at the field's end); bytes 100 to 103 of the field are left
/// unset. A null text counts as empty.
#include <zep3/net/RemoteMessage.h>

class ZEP3_API CTextMessage : public CRemoteMessage {
public:
    enum { Type = -2 };

    explicit CTextMessage(int param, const char* text);
    ZEP3_RECORD_COPY(CTextMessage)

    char m_szText[104];
};

static_assert(sizeof(CTextMessage) == 116, "CTextMessage is 116 bytes");
ZEP3_RECORD_OFFSET(CTextMessage, m_szText, 12)
