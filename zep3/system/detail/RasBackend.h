#pragma once
// What CRas asks of a dialler: the phonebook, the devices, the connections,
// dialling with progress notices and hanging up. Two stand behind it: pppd
// with its peers as the phonebook (/etc/ppp/peers), and, when the
// environment variable ZEP3_RAS_PHONEBOOK names a file, a phonebook double
// that keeps its entries and devices in that file and plays the dials
// (tests, demonstrations). Results are 0 or a dial-up error number.
#include <zep3/platform/Export.h>
#include <zep3/system/RasTypes.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zep3::detail {

struct RasDevice {
    std::string name, type; // type: "modem", "isdn", "serial" ...
};

struct RasConnection {
    HRASCONN handle;
    std::string entry;
};

// A state change of a dial: (connection, state, error). Called on the
// dialler's own thread.
using RasNotifier = std::function<void(HRASCONN, RASCONNSTATE, DWORD)>;

class ZEP3_TEST_API RasBackend {
public:
    virtual ~RasBackend();
    virtual DWORD Entries(std::vector<std::string>& names) = 0;
    virtual DWORD Devices(std::vector<RasDevice>& devices) = 0;
    virtual DWORD Connections(std::vector<RasConnection>& connections) = 0;
    // Starts dialling; *connection is set as soon as there is one (also when
    // the dial then fails). Without a notifier it returns when connected or
    // failed; with one it returns at once and reports each state.
    virtual DWORD Dial(const std::string& entry, const std::string& user, const std::string& password,
                       const RasNotifier& notifier, HRASCONN* connection) = 0;
    virtual DWORD HangUp(HRASCONN connection) = 0;
    // The state, or ERROR_INVALID_HANDLE once the line is free.
    virtual DWORD Status(HRASCONN connection, RASCONNSTATE* state, DWORD* error) = 0;
    virtual DWORD Remove(const std::string& entry) = 0;
    virtual DWORD Rename(const std::string& from, const std::string& to) = 0;
    virtual DWORD GetProperties(const std::string& entry, RASENTRY& properties) = 0;
    virtual DWORD SetProperties(const std::string& entry, const RASENTRY& properties) = 0;
};

// The dialler in use: the phonebook double when ZEP3_RAS_PHONEBOOK names a
// file, else pppd.
ZEP3_TEST_API RasBackend& CurrentRasBackend();
std::unique_ptr<RasBackend> MakePppdBackend();
std::unique_ptr<RasBackend> MakePhonebookDouble(const std::string& file);

// A connection handle from a number and back (handles are never reused).
HRASCONN MakeRasHandle(uint64_t number);

} // namespace zep3::detail
