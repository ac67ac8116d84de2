#pragma once
/// @class CFSKmessage
/// Assembles an on-hook caller-identity message (Bellcore GR-30,
/// ETSI EN 300 659-3) from the bytes an FSK demodulator delivers one at a
/// time, and hands out the calling number and the date and time as text.
///
/// Both data formats are understood: the multiple-data message (type 0x80,
/// parameters with their own type and length: 1 date and time, 2 calling
/// number; others are kept only in the raw buffer) and the single-data message
/// (type 0x04, fixed layout). The machine hunts for the channel seizure (three
/// 0x55 in a row), checks the checksum, starts afresh after a pause of more
/// than 10 seconds and undoes the delivering device's escape: 0x06 makes the
/// next byte count as its value minus 0x20 (so 0x06 0x26 is a 0x06).
///
/// No I/O and no lock: one thread feeds one object. Copies copy everything.
#include <zep3/platform/Export.h>
#include <zep3/platform/String.h>
#include <zep3/platform/Time.h>

class ZEP3_API CFSKmessage {
public:
    /// The states; AddSign returns one of them OR'ed with a result code.
    enum EState {
        Hunting = 4,           ///< looking for the channel seizure
        Seizure = 8,           ///< seizure seen: more 0x55 or the message type
        UnknownAfterSeizure = 16, ///< one unknown byte: the type's last chance
        MultipleType = 32,     ///< 0x80 received: the length follows
        MultipleData = 64,     ///< a parameter type follows
        ParameterType = 128,   ///< the parameter length follows
        ParameterData = 256,   ///< parameter data bytes
        SingleType = 512,      ///< 0x04 received: the length follows
        SingleData = 1024      ///< data bytes
    };
    /// Result codes in the low two bits of AddSign's result.
    enum EResult { NothingToReport = 0, Abandoned = 1, MessageComplete = 3 };

    /// Reset.
    CFSKmessage();

    /// Hunting, counters 0, buffers empty, no escape pending, no previous byte.
    void Reset();
    /// Feeds one byte; returns the new state OR'ed with the result code:
    /// Abandoned for a wrong checksum or a hunt that saw no seizure in 102
    /// bytes, MessageComplete when a message ended with a right checksum (or
    /// with a zero byte). noSeizure starts a message at the first byte.
    int AddSign(unsigned char byte, bool noSeizure);
    /// The calling number. Formatted: "0" at the start becomes "(", ") " closes
    /// the area code (after two digits, or three for 050.. and 060..), and one
    /// space splits the rest after three digits; a number not beginning with
    /// 0 gets one space after its third character.
    CString GetCID(bool formatted) const;
    /// The date and time as received (MMDDHHMM). Formatted, an eight-character
    /// text reads "DD/MM HH:MM"; other texts are returned unchanged.
    CString GetDateTime(bool formatted) const;

protected:
    /// Ends the message with the checksum's verdict; returns Hunting | code.
    int EndMessage(unsigned char byte);
    void TestType(unsigned char byte);
    void StartMessage(unsigned char length);
    void StoreRaw(unsigned char byte);
    static void Append(char* buffer, unsigned char byte);

    int m_State;
    unsigned char m_RawBuffer[256];
    char m_CID[256];
    char m_DateTime[256];
    int m_SeizureCount;
    int m_MessageType;
    int m_MessageLength;
    int m_DataCount;
    int m_CheckSum;
    int m_ParameterType;
    int m_ParameterLength;
    int m_ParameterIndex;
    int m_HuntCount;
    bool m_bEscape;
    CTime m_PreviousByteTime;
};
