// The phonebook double: entries and devices kept in a text file, dials
// played on a thread of their own. The file:
//
//     [device]
//     name=USB Modem
//     type=modem
//
//     [entry Office]
//     phone=0221234567        (and area, country, code, devicetype, device,
//     device=USB Modem         options, protocols, framing, type, script,
//     devicetype=modem         redialcount, redialpause: entry properties)
//     password=secret         a dial with another password fails (691)
//     result=678              the error a dial ends with (0: it connects)
//     freeafter=3             status polls after a hang-up until the line is free
//
// The file is read afresh by every call and rewritten whole by the editing
// calls, so a test may change it between calls.
#include <zep3/platform/LastError.h>
#include <zep3/platform/detail/Posix.h>
#include <zep3/system/detail/RasBackend.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

namespace zep3::detail {

namespace {

struct Section {
    std::string kind, name; // "device" or "entry"
    std::vector<std::pair<std::string, std::string>> values;

    std::string Get(const std::string& key) const {
        for (const auto& v : values)
            if (v.first == key) return v.second;
        return {};
    }
    void Set(const std::string& key, const std::string& value) {
        for (auto& v : values)
            if (v.first == key) {
                v.second = value;
                return;
            }
        values.emplace_back(key, value);
    }
};

// The text properties and the number properties kept per entry.
struct TextField {
    const char* key;
    size_t offset, size;
};
const TextField kTexts[] = {
    {"phone", offsetof(RASENTRY, szLocalPhoneNumber), sizeof(RASENTRY::szLocalPhoneNumber)},
    {"area", offsetof(RASENTRY, szAreaCode), sizeof(RASENTRY::szAreaCode)},
    {"devicetype", offsetof(RASENTRY, szDeviceType), sizeof(RASENTRY::szDeviceType)},
    {"device", offsetof(RASENTRY, szDeviceName), sizeof(RASENTRY::szDeviceName)},
    {"script", offsetof(RASENTRY, szScript), sizeof(RASENTRY::szScript)},
};
const std::pair<const char*, size_t> kNumbers[] = {
    {"country", offsetof(RASENTRY, dwCountryID)},       {"code", offsetof(RASENTRY, dwCountryCode)},
    {"options", offsetof(RASENTRY, dwfOptions)},        {"protocols", offsetof(RASENTRY, dwfNetProtocols)},
    {"framing", offsetof(RASENTRY, dwFramingProtocol)}, {"type", offsetof(RASENTRY, dwType)},
    {"redialcount", offsetof(RASENTRY, dwRedialCount)}, {"redialpause", offsetof(RASENTRY, dwRedialPause)},
};

// One dial: its progress, played by its own thread for an asynchronous dial.
struct Dial {
    std::string entry;
    std::atomic<RASCONNSTATE> state{RASCS_OpenPort};
    std::atomic<DWORD> error{0};
    std::atomic<bool> hungUp{false};
    int freeAfter = 0; // status polls left after the hang-up
};

class PhonebookDouble : public RasBackend {
public:
    explicit PhonebookDouble(std::string file) : m_file(std::move(file)) {}

    DWORD Entries(std::vector<std::string>& names) override {
        std::vector<Section> book;
        if (!Load(book)) return ERROR_CANNOT_OPEN_PHONEBOOK;
        for (const Section& s : book)
            if (s.kind == "entry") names.push_back(s.name);
        return 0;
    }

    DWORD Devices(std::vector<RasDevice>& devices) override {
        std::vector<Section> book;
        if (!Load(book)) return ERROR_CANNOT_OPEN_PHONEBOOK;
        for (const Section& s : book)
            if (s.kind == "device") devices.push_back({s.Get("name"), s.Get("type")});
        return 0;
    }

    DWORD Connections(std::vector<RasConnection>& connections) override {
        std::lock_guard<std::mutex> hold(m_lock);
        for (const auto& d : m_dials)
            if (!d.second->hungUp && d.second->state == RASCS_Connected)
                connections.push_back({MakeRasHandle(d.first), d.second->entry});
        return 0;
    }

    DWORD Dial(const std::string& entry, const std::string&, const std::string& password,
               const RasNotifier& notifier, HRASCONN* connection) override {
        std::vector<Section> book;
        if (!Load(book)) return ERROR_CANNOT_OPEN_PHONEBOOK;
        const Section* found = Find(book, "entry", entry);
        if (!found) return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
        auto dial = std::make_shared<struct Dial>();
        dial->entry = entry;
        dial->freeAfter = atoi(found->Get("freeafter").c_str());
        const DWORD result = strtoul(found->Get("result").c_str(), nullptr, 10);
        const bool refused = !found->Get("password").empty() && found->Get("password") != password;
        uint64_t number;
        {
            std::lock_guard<std::mutex> hold(m_lock);
            number = ++m_lastNumber;
            m_dials[number] = dial;
        }
        *connection = MakeRasHandle(number);
        const HRASCONN handle = *connection;
        auto play = [dial, handle, result, refused, notifier] {
            const RASCONNSTATE steps[] = {
                RASCS_OpenPort,        RASCS_PortOpened,          RASCS_ConnectDevice,
                RASCS_DeviceConnected, RASCS_AllDevicesConnected, RASCS_Authenticate,
                RASCS_Authenticated,   RASCS_Projected,           RASCS_Connected};
            for (RASCONNSTATE step : steps) {
                if (dial->hungUp) return DWORD(ERROR_USER_DISCONNECTION);
                DWORD error = 0;
                if (step == RASCS_ConnectDevice) error = result;
                if (step == RASCS_Authenticate && !error && refused) error = ERROR_AUTHENTICATION_FAILURE;
                dial->state = step;
                dial->error = error;
                if (notifier) notifier(handle, step, error);
                if (error) return error;
            }
            return DWORD(0);
        };
        if (!notifier) return play();
        std::thread(play).detach();
        return 0;
    }

    DWORD HangUp(HRASCONN connection) override {
        std::lock_guard<std::mutex> hold(m_lock);
        auto dial = m_dials.find(Number(connection));
        if (dial == m_dials.end()) return ERROR_INVALID_HANDLE;
        dial->second->hungUp = true;
        return 0;
    }

    DWORD Status(HRASCONN connection, RASCONNSTATE* state, DWORD* error) override {
        std::lock_guard<std::mutex> hold(m_lock);
        auto at = m_dials.find(Number(connection));
        if (at == m_dials.end()) return ERROR_INVALID_HANDLE;
        struct Dial& dial = *at->second;
        if (dial.hungUp && dial.freeAfter-- <= 0) {
            m_dials.erase(at); // the line is free
            return ERROR_INVALID_HANDLE;
        }
        *state = dial.hungUp ? RASCS_Disconnected : dial.state.load();
        *error = dial.error;
        return 0;
    }

    DWORD Remove(const std::string& entry) override {
        return Edit(entry, [&](std::vector<Section>& book, Section* s) {
            book.erase(book.begin() + (s - book.data()));
            return DWORD(0);
        });
    }

    DWORD Rename(const std::string& from, const std::string& to) override {
        return Edit(from, [&](std::vector<Section>& book, Section* s) {
            if (Find(book, "entry", to)) return DWORD(ERROR_ALREADY_EXISTS);
            s->name = to;
            return DWORD(0);
        });
    }

    DWORD GetProperties(const std::string& entry, RASENTRY& properties) override {
        std::vector<Section> book;
        if (!Load(book)) return ERROR_CANNOT_OPEN_PHONEBOOK;
        const Section* s = Find(book, "entry", entry);
        if (!s) return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
        char* bytes = reinterpret_cast<char*>(&properties);
        for (const TextField& f : kTexts) CopyText(bytes + f.offset, f.size, s->Get(f.key).c_str());
        for (const auto& n : kNumbers) {
            const DWORD value = strtoul(s->Get(n.first).c_str(), nullptr, 10);
            memcpy(bytes + n.second, &value, sizeof value);
        }
        return 0;
    }

    DWORD SetProperties(const std::string& entry, const RASENTRY& properties) override {
        std::lock_guard<std::mutex> hold(m_fileLock);
        std::vector<Section> book;
        if (!Load(book)) return ERROR_CANNOT_OPEN_PHONEBOOK;
        Section* s = Find(book, "entry", entry);
        if (!s) {
            book.push_back({"entry", entry, {}});
            s = &book.back();
        }
        const char* bytes = reinterpret_cast<const char*>(&properties);
        for (const TextField& f : kTexts)
            s->Set(f.key, std::string(bytes + f.offset, strnlen(bytes + f.offset, f.size)));
        for (const auto& n : kNumbers) {
            DWORD value;
            memcpy(&value, bytes + n.second, sizeof value);
            s->Set(n.first, std::to_string(value));
        }
        return Save(book);
    }

private:
    static uint64_t Number(HRASCONN handle) { return uint64_t(reinterpret_cast<uintptr_t>(handle)); }

    static Section* Find(std::vector<Section>& book, const char* kind, const std::string& name) {
        for (Section& s : book)
            if (s.kind == kind && s.name == name) return &s;
        return nullptr;
    }

    bool Load(std::vector<Section>& book) const {
        std::string text;
        if (!ReadWholeFile(m_file, text)) return false;
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.empty() || line[0] == '#') continue;
            if (line[0] == '[' && line.back() == ']') {
                const std::string head = line.substr(1, line.size() - 2);
                const size_t space = head.find(' ');
                book.push_back(
                    {head.substr(0, space), space == std::string::npos ? "" : head.substr(space + 1), {}});
            } else if (!book.empty() && line.find('=') != std::string::npos) {
                book.back().values.emplace_back(line.substr(0, line.find('=')),
                                                line.substr(line.find('=') + 1));
            }
        }
        return true;
    }

    DWORD Save(const std::vector<Section>& book) const {
        std::string text;
        for (const Section& s : book) {
            text += "[" + s.kind + (s.name.empty() ? "" : " " + s.name) + "]\n";
            for (const auto& v : s.values) text += v.first + "=" + v.second + "\n";
            text += "\n";
        }
        return ReplaceFileDurably(m_file, m_file + ".new", text.data(), text.size(), 0644)
                   ? DWORD(0)
                   : DWORD(ERROR_CANNOT_WRITE_PHONEBOOK);
    }

    template <class Change> DWORD Edit(const std::string& entry, Change change) {
        std::lock_guard<std::mutex> hold(m_fileLock);
        std::vector<Section> book;
        if (!Load(book)) return ERROR_CANNOT_OPEN_PHONEBOOK;
        Section* s = Find(book, "entry", entry);
        if (!s) return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
        const DWORD result = change(book, s);
        return result ? result : Save(book);
    }

    std::string m_file;
    std::mutex m_fileLock; // one edit of the file at a time
    std::mutex m_lock;     // the dials
    std::map<uint64_t, std::shared_ptr<struct Dial>> m_dials;
    uint64_t m_lastNumber = 0;
};

} // namespace

std::unique_ptr<RasBackend> MakePhonebookDouble(const std::string& file) {
    return std::make_unique<PhonebookDouble>(file);
}

} // namespace zep3::detail
