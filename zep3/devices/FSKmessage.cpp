#include <zep3/devices/FSKmessage.h>

#include <cstring>

namespace {
const unsigned char kSeizureByte = 0x55;
const unsigned char kEscapeByte = 0x06;
const unsigned char kMultipleDataMessage = 0x80;
const unsigned char kSingleDataMessage = 0x04;
const int kParameterDateTime = 1;
const int kParameterNumber = 2;
const int kPauseSeconds = 10;
const int kHuntLimit = 100;
} // namespace

CFSKmessage::CFSKmessage() : m_MessageType(0), m_CheckSum(0), m_ParameterType(0), m_ParameterLength(0),
                             m_ParameterIndex(0) {
    std::memset(m_RawBuffer, 0, sizeof m_RawBuffer);
    std::memset(m_CID, 0, sizeof m_CID);
    std::memset(m_DateTime, 0, sizeof m_DateTime);
    Reset();
}

void CFSKmessage::Reset() {
    m_State = Hunting;
    m_SeizureCount = 0;
    m_MessageLength = 0;
    m_DataCount = 0;
    m_HuntCount = 0;
    m_RawBuffer[0] = 0;
    m_CID[0] = 0;
    m_DateTime[0] = 0;
    m_bEscape = false;
    m_PreviousByteTime = CTime(0);
}

int CFSKmessage::AddSign(unsigned char byte, bool noSeizure) {
    const CTime now = CTime::GetCurrentTime();
    if (m_PreviousByteTime.GetTime() != 0 && (now - m_PreviousByteTime).GetTotalSeconds() > kPauseSeconds) Reset();
    m_PreviousByteTime = now;

    if (byte == kEscapeByte) {
        m_bEscape = true;
        return m_State;
    }
    if (m_bEscape) {
        byte = static_cast<unsigned char>(byte - 0x20);
        m_bEscape = false;
    }
    m_CheckSum = (m_CheckSum + byte) & 0xFF; // only the low 8 bits count, and a long hunt must not overflow

    if (m_MessageLength && ++m_DataCount > m_MessageLength) return EndMessage(byte);
    if (byte == 0) return EndMessage(byte);

    if (noSeizure && m_State == Hunting) m_State = Seizure;
    int result = NothingToReport;
    switch (m_State) {
    case Hunting:
        if (m_HuntCount++ > kHuntLimit) {
            result = Abandoned;
            m_HuntCount = 0;
        }
        m_SeizureCount = byte == kSeizureByte ? m_SeizureCount + 1 : 0;
        if (m_SeizureCount > 2) m_State = Seizure;
        break;
    case Seizure:
        m_MessageType = byte;
        if (byte != kSeizureByte) m_State = UnknownAfterSeizure;
        TestType(byte);
        break;
    case UnknownAfterSeizure:
        m_MessageType = byte;
        m_State = Hunting;
        TestType(byte);
        break;
    case MultipleType:
    case SingleType:
        StartMessage(byte);
        break;
    case MultipleData:
        m_ParameterType = byte;
        StoreRaw(byte);
        m_State = ParameterType;
        break;
    case ParameterType:
        m_ParameterLength = byte;
        StoreRaw(byte);
        m_ParameterIndex = 0;
        m_State = ParameterData;
        break;
    case ParameterData:
        StoreRaw(byte);
        if (m_ParameterType == kParameterNumber) Append(m_CID, byte);
        else if (m_ParameterType == kParameterDateTime) Append(m_DateTime, byte);
        if (++m_ParameterIndex == m_ParameterLength) m_State = MultipleData;
        break;
    case SingleData:
        StoreRaw(byte);
        if (m_DataCount >= 11) Append(m_CID, byte);
        break;
    }
    return m_State | result;
}

int CFSKmessage::EndMessage(unsigned char byte) {
    const int result = (m_CheckSum & 0xFF) == 0 || byte == 0 ? MessageComplete : Abandoned;
    m_State = Hunting;
    m_MessageLength = 0;
    m_HuntCount = 0;
    m_SeizureCount = 0;
    m_PreviousByteTime = CTime(0);
    return m_State | result;
}

void CFSKmessage::TestType(unsigned char byte) {
    if (byte == kMultipleDataMessage) m_State = MultipleType;
    else if (byte == kSingleDataMessage) m_State = SingleType;
}

void CFSKmessage::StartMessage(unsigned char length) {
    m_MessageLength = length;
    m_DataCount = 0;
    m_CheckSum = m_MessageType + length;
    m_RawBuffer[0] = static_cast<unsigned char>(m_MessageType);
    m_RawBuffer[1] = length;
    m_RawBuffer[2] = 0;
    m_CID[0] = 0;
    m_DateTime[0] = 0;
    m_State = m_State == MultipleType ? MultipleData : SingleData;
}

// At raw position 1 + data count, followed by a zero; what does not fit
// (type, length and 253 bytes do) is not stored.
void CFSKmessage::StoreRaw(unsigned char byte) {
    const int position = 1 + m_DataCount;
    if (position + 1 >= static_cast<int>(sizeof m_RawBuffer)) return;
    m_RawBuffer[position] = byte;
    m_RawBuffer[position + 1] = 0;
}

void CFSKmessage::Append(char* buffer, unsigned char byte) {
    const size_t length = std::strlen(buffer);
    if (length + 1 >= 256) return;
    buffer[length] = static_cast<char>(byte);
    buffer[length + 1] = 0;
}

CString CFSKmessage::GetCID(bool formatted) const {
    CString s(m_CID);
    if (!formatted) return s;
    int p = 3;
    if (s.GetLength() >= 4 && s[0] == '0') {
        const int close = s[2] == '0' && (s[1] == '5' || s[1] == '6') ? 4 : 3;
        s.SetAt(0, '(');
        s.Insert(close, ") ");
        p = close + 5;
    }
    if (p < s.GetLength()) s.Insert(p, ' ');
    return s;
}

CString CFSKmessage::GetDateTime(bool formatted) const {
    CString s(m_DateTime);
    if (!formatted || s.GetLength() != 8) return s;
    return s.Mid(2, 2) + "/" + s.Left(2) + " " + s.Mid(4, 2) + ":" + s.Mid(6, 2);
}
