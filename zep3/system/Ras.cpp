#include <zep3/platform/CriticalSection.h>
#include <zep3/platform/LastError.h>
#include <zep3/platform/Map.h>
#include <zep3/platform/SingleLock.h>
#include <zep3/platform/detail/Posix.h>
#include <zep3/system/Ras.h>
#include <zep3/system/detail/RasBackend.h>

#include <cstdio>
#include <cstring>

using namespace zep3::detail;

namespace {

// An asynchronous dial as AsyncDial recorded it.
struct SAsyncDialInfo {
    CString m_Entry, m_User, m_Password;
    CRas::DialCallback m_pCallback;
    void* m_pContext;
    int m_Tag;
};

// The asynchronous-dial table, built when the library loads. The dialler's
// thread reads it while the caller's changes it, so it takes a lock: a
// notice that comes before AsyncDial has stored its record waits for it.
struct AsyncDialTable {
    CCriticalSection m_Lock;
    CMap<HRASCONN, HRASCONN, SAsyncDialInfo*, SAsyncDialInfo*> m_Map;

    ~AsyncDialTable() {
        POSITION pos = m_Map.GetStartPosition();
        while (pos) {
            HRASCONN handle = nullptr;
            SAsyncDialInfo* info = nullptr;
            m_Map.GetNextAssoc(pos, handle, info);
            delete info;
        }
    }
};

AsyncDialTable& Table() {
    static AsyncDialTable table;
    return table;
}

// The library's notifier: passes each state change of a known connection
// on to its caller, an error as the negated error number.
void Notify(HRASCONN connection, RASCONNSTATE state, DWORD error) {
    SAsyncDialInfo info;
    {
        CSingleLock hold(&Table().m_Lock, true);
        SAsyncDialInfo* found = nullptr;
        if (!Table().m_Map.Lookup(connection, found) || !found->m_pCallback) return;
        info = *found;
    }
    info.m_pCallback(connection, error ? RASCONNSTATE(-int(error)) : state, info.m_pContext, info.m_Tag);
}

int Fill(CStringArray& names, DWORD result, const std::vector<std::string>& found) {
    names.RemoveAll();
    if (result != 0) return 0;
    for (const std::string& name : found) names.Add(name.c_str());
    return int(names.GetSize());
}

// The texts of the dial-up error numbers.
struct ErrorText {
    unsigned int code;
    const char* text;
};
const ErrorText kErrorTexts[] = {
    {PENDING, "An operation is pending."},
    {ERROR_BUFFER_TOO_SMALL, "The buffer is too small."},
    {ERROR_CANNOT_SET_PORT_INFO, "The port information cannot be set."},
    {ERROR_DEVICE_DOES_NOT_EXIST, "The device does not exist."},
    {ERROR_PORT_NOT_FOUND, "The port was not found."},
    {ERROR_ALREADY_DISCONNECTING, "The connection is already being disconnected."},
    {ERROR_PORT_NOT_OPEN, "The port is not open."},
    {ERROR_PORT_DISCONNECTED, "The port was disconnected."},
    {ERROR_CANNOT_OPEN_PHONEBOOK, "The phonebook cannot be opened."},
    {ERROR_CANNOT_LOAD_PHONEBOOK, "The phonebook cannot be loaded."},
    {ERROR_CANNOT_FIND_PHONEBOOK_ENTRY, "The phonebook entry does not exist."},
    {ERROR_CANNOT_WRITE_PHONEBOOK, "The phonebook cannot be written."},
    {ERROR_CORRUPT_PHONEBOOK, "The phonebook is damaged."},
    {ERROR_DISCONNECTION, "The connection was closed."},
    {ERROR_REMOTE_DISCONNECTION, "The remote computer closed the connection."},
    {ERROR_HARDWARE_FAILURE, "The modem was disconnected because of a hardware failure."},
    {ERROR_USER_DISCONNECTION, "The connection was ended by the user."},
    {ERROR_INVALID_SIZE, "The structure size is incorrect."},
    {ERROR_PORT_NOT_AVAILABLE, "The port is already in use or is not configured for dialling out."},
    {ERROR_UNKNOWN, "An unknown error occurred."},
    {ERROR_REQUEST_TIMEOUT, "The request has timed out."},
    {ERROR_NO_DIALIN_PERMISSION, "The account has no permission to dial in."},
    {ERROR_SERVER_NOT_RESPONDING, "The remote server is not responding."},
    {ERROR_FROM_DEVICE, "The modem reported an error."},
    {ERROR_DEVICE_NOT_READY, "The modem is not working."},
    {ERROR_NO_CONNECTION, "The connection was lost."},
    {ERROR_LINE_BUSY, "The phone line is busy."},
    {ERROR_VOICE_ANSWER, "A person answered instead of a modem."},
    {ERROR_NO_ANSWER, "The remote computer did not answer."},
    {ERROR_NO_CARRIER, "No carrier was detected."},
    {ERROR_NO_DIALTONE, "No dial tone was detected."},
    {ERROR_AUTHENTICATION_FAILURE, "The user name or password is not valid."},
    {ERROR_RASMAN_CANNOT_INITIALIZE, "The dial-up service cannot be started."},
    {ERROR_IP_CONFIGURATION, "The TCP/IP configuration is not usable."},
    {ERROR_PPP_TIMEOUT, "The remote computer did not respond in time."},
    {ERROR_PPP_REMOTE_TERMINATED, "The remote computer ended the PPP negotiation."},
    {ERROR_PPP_NO_PROTOCOLS_CONFIGURED, "No PPP control protocols are configured."},
    {ERROR_PPP_NO_RESPONSE, "The remote computer is not responding."},
    {ERROR_PPP_LCP_TERMINATED, "The PPP link control protocol was ended."},
    {ERROR_PPP_LOOPBACK_DETECTED, "A loopback was detected on the line."},
    {ERROR_PPP_NO_ADDRESS_ASSIGNED, "The server assigned no IP address."},
};

bool ValidEntryName(const CString& name) {
    return !name.IsEmpty() && name.GetLength() <= RAS_MaxEntryName && name.Find('/') < 0 && name[0] != '.';
}

bool EntryExists(const CString& name) {
    std::vector<std::string> entries;
    if (CurrentRasBackend().Entries(entries) != 0) return false;
    for (const std::string& e : entries)
        if (name == e.c_str()) return true;
    return false;
}

} // namespace

int CRas::EnumEntries(CStringArray& names) {
    std::vector<std::string> entries;
    const DWORD result = CurrentRasBackend().Entries(entries);
    return Fill(names, result, entries);
}

int CRas::EnumConnections(CStringArray& names) {
    std::vector<RasConnection> connections;
    const DWORD result = CurrentRasBackend().Connections(connections);
    if (connections.size() > 100) connections.resize(100);
    std::vector<std::string> entries;
    for (const RasConnection& c : connections) entries.push_back(c.entry);
    return Fill(names, result, entries);
}

int CRas::EnumDevices(CStringArray& names) {
    std::vector<RasDevice> devices;
    const DWORD result = CurrentRasBackend().Devices(devices);
    std::vector<std::string> modems;
    for (const RasDevice& d : devices)
        if (d.type == RASDT_Modem) modems.push_back(d.name);
    return Fill(names, result, modems);
}

HRASCONN CRas::Dial(const CString& entry, const CString& user, const CString& password) {
    HRASCONN connection = nullptr;
    if (CurrentRasBackend().Dial(std::string(entry), std::string(user), std::string(password), nullptr,
                                 &connection) == 0)
        return connection;
    HangUp(connection);
    return nullptr;
}

HRASCONN CRas::AsyncDial(const CString& entry, const CString& user, const CString& password,
                         DialCallback callback, void* context, int tag) {
    HRASCONN connection = nullptr;
    CSingleLock hold(&Table().m_Lock, true);
    if (CurrentRasBackend().Dial(std::string(entry), std::string(user), std::string(password), Notify,
                                 &connection) != 0) {
        hold.Unlock();
        HangUp(connection);
        return nullptr;
    }
    Table().m_Map.SetAt(connection, new SAsyncDialInfo{entry, user, password, callback, context, tag});
    return connection;
}

void CRas::HangUp(HRASCONN connection) {
    if (!connection) return;
    RasBackend& dialler = CurrentRasBackend();
    dialler.HangUp(connection);
    bool free = false;
    for (int poll = 0; poll < 1000 && !free; ++poll) {
        RASCONNSTATE state;
        DWORD error;
        free = dialler.Status(connection, &state, &error) == ERROR_INVALID_HANDLE;
        if (!free) SleepMilliseconds(10);
    }
    if (!free) fputs("CRas::HangUp: the line did not become free\n", stderr); // in place of the beep
    CSingleLock hold(&Table().m_Lock, true);
    SAsyncDialInfo* info = nullptr;
    if (Table().m_Map.Lookup(connection, info)) {
        Table().m_Map.RemoveKey(connection);
        delete info;
    }
}

CString CRas::GetErrorString(unsigned int code) {
    for (const ErrorText& e : kErrorTexts)
        if (e.code == code) return CString(e.text).Left(1023);
    return "nieznany";
}

bool CRas::EditEntryDlg(const CString&, HWND) { return false; }

bool CRas::CreateEntryDlg(HWND) { return false; }

bool CRas::RemoveEntry(const CString& entry) { return CurrentRasBackend().Remove(std::string(entry)) == 0; }

bool CRas::RenameEntry(const CString& from, const CString& to) {
    return ValidEntryName(to) && CurrentRasBackend().Rename(std::string(from), std::string(to)) == 0;
}

bool CRas::GetEntryProperties(const CString& entry, RASENTRY* properties, int* size) {
    if (!properties || !size || *size < int(sizeof(DWORD))) return false;
    memset(properties, 0, size_t(*size));
    properties->dwSize = DWORD(*size);
    if (*size < int(sizeof(RASENTRY))) {
        *size = int(sizeof(RASENTRY));
        return false;
    }
    return CurrentRasBackend().GetProperties(std::string(entry), *properties) == 0;
}

bool CRas::SetEntryProperties(const CString& entry, RASENTRY* properties, bool isNew) {
    if (!properties || properties->dwSize != sizeof(RASENTRY)) return false;
    if (isNew ? !ValidEntryName(entry) || EntryExists(entry) : !EntryExists(entry)) return false;
    return CurrentRasBackend().SetProperties(std::string(entry), *properties) == 0;
}
