#pragma once
/// @class CRas
/// Dial-up networking. Entries of the default phonebook, modem devices,
/// active connections, dialling (synchronous, or asynchronous with a progress
/// callback), hanging up with a wait until the line is free, and error texts.
/// All operations are static.
///
/// The dialler is pppd with its peers (/etc/ppp/peers) as the default
/// phonebook; devices are the serial lines, of type "modem" when their
/// driver drives modems. When the environment variable ZEP3_RAS_PHONEBOOK
/// names a file, a phonebook double kept in that file stands in for the
/// dialler (docs/system.md describes its format).
///
/// The progress callback runs on the dialler's own thread with the
/// connection, the state (or, after a failure, the error number negated)
/// and the caller's context and tag. The entry dialogs need a display the
/// library does not have: they answer false.
#include <zep3/platform/Export.h>
#include <zep3/platform/String.h>
#include <zep3/platform/StringArray.h>
#include <zep3/system/RasTypes.h>

class ZEP3_API CRas {
public:
    typedef void (*DialCallback)(HRASCONN connection, RASCONNSTATE state, void* context, int tag);

    /// Each empties `names` and fills it; the number of names (0 on error).
    static int EnumEntries(CStringArray& names);
    static int EnumConnections(CStringArray& names); ///< at most 100
    static int EnumDevices(CStringArray& names);     ///< devices of type exactly "modem"

    /// Dials the entry and waits; the connection, or null (after hanging up
    /// what the failed attempt left).
    static HRASCONN Dial(const CString& entry, const CString& user, const CString& password);
    /// Starts dialling; the connection, or null on failure (nothing kept).
    /// The callback receives every state change until HangUp.
    static HRASCONN AsyncDial(const CString& entry, const CString& user, const CString& password,
                              DialCallback callback, void* context, int tag);
    /// Hangs up and waits (10 ms polls, at most 1000) until the line is free;
    /// then forgets the connection's asynchronous dial. Nothing for null.
    static void HangUp(HRASCONN connection);

    /// The text of a dial-up error number (at most 1023 characters);
    /// "nieznany" for a number without one.
    static CString GetErrorString(unsigned int code);

    /// Dialogs: false (no display).
    static bool EditEntryDlg(const CString& entry, HWND parent);
    static bool CreateEntryDlg(HWND parent);

    static bool RemoveEntry(const CString& entry);
    static bool RenameEntry(const CString& from, const CString& to);
    /// Clears *size bytes of properties, sets its dwSize to *size and reads
    /// the entry's properties; true on success.
    static bool GetEntryProperties(const CString& entry, RASENTRY* properties, int* size);
    /// isNew: the name must be valid and unused; otherwise it must exist. The
    /// record's dwSize must be 2884. True when written.
    static bool SetEntryProperties(const CString& entry, RASENTRY* properties, bool isNew);
};
