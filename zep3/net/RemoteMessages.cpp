// The constructors of the remote-control records: type codes and initial
// values. Fields the protocol leaves unset are not touched.
#include <zep3/net/net.h>

#include <cstring>

namespace {
template <size_t N> void Empty(char (&text)[N]) { std::memset(text, 0, N); }
} // namespace

CTextMessage::CTextMessage(int param, const char* text) : CRemoteMessage(param, Type, 0) {
    std::strncpy(m_szText, text ? text : "", 100);
}

CPromptMessage::CPromptMessage(int param) : CRemoteMessage(param, Type, 0) {
    static_assert(sizeof "Dravolin Remote Control" == sizeof m_szPrompt, "the banner fills its field");
    std::memcpy(m_szPrompt, "Dravolin Remote Control", sizeof m_szPrompt);
}

CLoginMessage::CLoginMessage(int param) : CRemoteMessage(param, Type, 0) {
    Empty(m_szLogin1);
    Empty(m_szLogin2);
}

CGeneralStatusMessage::CGeneralStatusMessage(int param) : CRemoteMessage(param, Type, 0), m_nStatus{} {
    Empty(m_szStatus1);
    Empty(m_szStatus2);
}

CCameraStatusMessage::CCameraStatusMessage(int param) : CRemoteMessage(param, Type, 0), m_bValid(false) {
    m_Status.m_nValue1 = -1;
    Empty(m_Status.m_szText);
    m_Status.m_nValue2 = m_Status.m_nValue3 = m_Status.m_nValue4 = 0;
    m_Status.m_bFlag1 = m_Status.m_bFlag2 = false;
    m_Status.m_nValue5 = 0;
}

CPrepareImageServerMessage::CPrepareImageServerMessage(int param)
    : CRemoteMessage(param, Type, 0), m_nValue1(0), m_nValue2(0), m_nValue3(1), m_nValues{} {}

CImageMessage::CImageMessage(int param)
    : CRemoteMessage(param, Type, 0), m_nValue1(-1), m_nSize{}, m_nValues{}, m_nValue2(0), m_bFlag(false),
      m_nValue3(-1) {}

CArchiveLogMessage::CArchiveLogMessage(int param) : CRemoteMessage(param, Type, 0), m_nValue(0) {}

CDayLogMessage::CDayLogMessage(int param) : CRemoteMessage(param, Type, 0), m_nValue(0) {}

CCameraLogMessage::CCameraLogMessage(int param)
    : CRemoteMessage(param, Type, 0), m_nValue1(-1), m_bFlag1(false), m_nValue2(0), m_nValue3(-1), m_nValues1{},
      m_bFlag2(true), m_nValue4(0), m_nValue5(0), m_nValue6(-1), m_nValues2{} {
    Empty(m_szText1);
    Empty(m_szText2);
}

CEventLogMessage::CEventLogMessage(int param) : CRemoteMessage(param, Type, 0), m_nValue(0) { Empty(m_szText); }

COnEventMessage::COnEventMessage(int param)
    : CRemoteMessage(param, Type, 1), m_nValue1(-1), m_dwValues{}, m_nValue2(0), m_nValue3(0), m_nValue4(0),
      m_nValue5(0), m_dwValue6(0), m_nValue7(0), m_nValue8(-1) {}
