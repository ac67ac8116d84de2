#include <zep3/foundation/IniFile.h>

#include <zep3/crypto/UpdateCRC.h>
#include <zep3/foundation/detail/IniTable.h>
#include <zep3/foundation/detail/ValueText.h>
#include <zep3/platform/LastError.h>
#include <zep3/platform/detail/Posix.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace zep3::detail;

namespace {

const char kChecksumKey[] = "__checksum__";
constexpr size_t kChecksumKeyLength = sizeof kChecksumKey - 1;

bool IsChecksumKey(const char* key, size_t length) {
    return length == kChecksumKeyLength && std::memcmp(key, kChecksumKey, length) == 0;
}

// name.bak, where name is the file name cut before its first ".ini".
// Only the last path component is searched, so that a folder called
// "x.ini.d" does not send the backup elsewhere.
std::string BackupName(const std::string& file) {
    size_t slash = file.rfind('/');
    size_t ini = file.find(".ini", slash == std::string::npos ? 0 : slash + 1);
    return (ini == std::string::npos ? file : file.substr(0, ini)) + ".bak";
}

// The temporary name of a save (cfg.bak1).
std::string TempName(const std::string& file) { return BackupName(file) + "1"; }

// Opens path for reading, creating it empty when missing if create is set,
// and takes a non-blocking flock of the given kind (LOCK_SH or LOCK_EX; 0
// for none). A refused lock is a failed open. When the path was replaced
// between the open and the lock, the open is retried, so a held lock always
// belongs to the file the path names at that moment. *created tells whether
// this open made the file.
UniqueFd OpenLocked(const std::string& path, int lockKind, bool create, bool* created = nullptr) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        bool made = false;
        UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
        if (!file.IsOpen() && errno == ENOENT && create) {
            file.Reset(::open(path.c_str(), O_RDONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
            made = file.IsOpen();
            if (!made && errno == EEXIST) continue; // someone else made it: open theirs
        }
        if (!file.IsOpen()) return file;
        struct stat st;
        if (::fstat(file.Get(), &st) != 0 || S_ISDIR(st.st_mode)) return UniqueFd();
        if (lockKind != 0 && ::flock(file.Get(), lockKind | LOCK_NB) != 0) return UniqueFd();
        if (lockKind == 0 || IsSameFile(file.Get(), path)) {
            if (created) *created = made;
            return file;
        }
        // Replaced (renamed over) between our open and our lock: try the new one.
    }
    return UniqueFd();
}

// The whole file. Saves never change a file in place (they rename a new one
// over it), so the size the file has now is all there is to read.
bool ReadWhole(int fd, std::unique_ptr<char[]>& data, size_t& size) {
    struct stat st;
    if (::fstat(fd, &st) != 0) return false;
    data.reset(new char[static_cast<size_t>(st.st_size) + 1]);
    ssize_t n = ReadAllAt(fd, data.get(), static_cast<size_t>(st.st_size), 0);
    size = n > 0 ? static_cast<size_t>(n) : 0;
    return n >= 0;
}

std::string ExecutableIniName() {
    char path[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return std::string();
    std::string name(path, static_cast<size_t>(n));
    size_t slash = name.rfind('/');
    size_t dot = name.rfind('.');
    size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    if (dot == std::string::npos || dot <= nameStart) return name + ".ini";
    return name.substr(0, dot + 1) + "ini";
}

// The section of a key: the part before its last backslash.
size_t SectionLength(const char* key, size_t length) {
    auto bs = static_cast<const char*>(::memrchr(key, '\\', length));
    return bs ? static_cast<size_t>(bs - key) : 0;
}

// Parses a file's bytes into the table, which adopts them. Returns the CRC
// of the entry lines; storedChecksum gets the value of the checksum line,
// -1 when there is none.
int ParseInto(IniTable& table, std::unique_ptr<char[]> data, size_t size, int& storedChecksum) {
    char* p = data.get();
    char* const end = p + size;
    table.Adopt(std::move(data));
    std::vector<IniItem> items; // in file order, inserted together at the end
    items.reserve(size / 32);

    int crc = 0;
    storedChecksum = -1;
    const char* prevSection = p;
    size_t prevSectionLength = 0;
    while (p < end) {
        auto lf = static_cast<char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
        char* lineEnd = lf ? lf : end;
        char* next = lf ? lf + 1 : end;
        if (lf && lineEnd > p && lineEnd[-1] == '\r') --lineEnd;
        const size_t length = static_cast<size_t>(lineEnd - p);
        char* line = p;
        p = next;
        if (length == 0) continue;

        // "...\rest" stands for the previous section followed by \rest.
        const bool abbreviated = length >= 4 && std::memcmp(line, "...\\", 4) == 0;
        char* text = abbreviated ? line + 3 : line;
        const size_t textLength = abbreviated ? length - 3 : length;
        auto eq = static_cast<char*>(std::memchr(text, '=', textLength));
        const size_t restKeyLength = eq ? static_cast<size_t>(eq - text) : 0;
        const size_t keyLength = (abbreviated ? prevSectionLength : 0) + restKeyLength;
        if (!eq || keyLength == 0) {
            prevSectionLength = 0;
            continue;
        }
        const char* key = text;
        if (abbreviated) {
            char* expanded = table.Allocate(keyLength);
            std::memcpy(expanded, prevSection, prevSectionLength);
            std::memcpy(expanded + prevSectionLength, text, restKeyLength);
            key = expanded;
        }
        prevSection = key;
        prevSectionLength = SectionLength(key, keyLength);

        char* value = eq + 1;
        const size_t valueLength = static_cast<size_t>(lineEnd - value);
        if (IsChecksumKey(key, keyLength)) {
            storedChecksum = static_cast<int>(ParseDecimal(value, valueLength));
            continue;
        }
        if (abbreviated) crc = UpdateCRC(crc, key, keyLength - restKeyLength); // the section's bytes
        crc = UpdateCRC(crc, text, textLength);
        items.push_back(IniItem{key, value, IniTable::Hash(key, keyLength), static_cast<uint32_t>(keyLength),
                                static_cast<uint32_t>(valueLength)});
    }
    table.SetStored(items);
    return crc;
}

// An item of the file being written, with what its key tells: the first
// eight bytes big-endian (they decide most comparisons without touching the
// key), whether it is nested (a backslash after the first character), and
// the length of its section.
struct SortEntry {
    uint64_t prefix;
    const IniItem* item;
    uint32_t section;
    bool nested;
};

// One pass over the key. False for the items that a line cannot carry back
// unchanged, which the save leaves out (and then reports false): an empty
// key, a key with "=" or a line feed, a key that would read as an
// abbreviation, the reserved checksum key, a value with a line feed.
bool MakeSortEntry(const IniItem& item, SortEntry& entry) {
    const char* key = item.key;
    const size_t n = item.keyLength;
    if (n == 0 || (n >= 4 && std::memcmp(key, "...\\", 4) == 0) || IsChecksumKey(key, n) ||
        std::memchr(item.value, '\n', item.valueLength))
        return false;
    entry = SortEntry{0, &item, 0, false};
    for (size_t i = 0; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(key[i]);
        if (c == '=' || c == '\n') return false;
        if (c == '\\') {
            entry.section = static_cast<uint32_t>(i);
            entry.nested |= i > 0;
        }
        if (i < 8) entry.prefix |= uint64_t(c) << (56 - 8 * i);
    }
    return true;
}

// Plain keys before nested ones, then bytewise with a shorter prefix first.
bool SortsBefore(const SortEntry& a, const SortEntry& b) {
    if (a.nested != b.nested) return b.nested;
    if (a.prefix != b.prefix) return a.prefix < b.prefix;
    const IniItem& x = *a.item;
    const IniItem& y = *b.item;
    const size_t common = std::min(x.keyLength, y.keyLength);
    int c = common > 8 ? std::memcmp(x.key + 8, y.key + 8, common - 8) : 0; // equal prefixes: bytes 0-7 agree
    return c != 0 ? c < 0 : x.keyLength < y.keyLength;
}

// Lays out the lines of a file: an empty line wherever the section changes,
// and in the compact form "...\rest" where the key continues the previous
// section.
class ContentWriter {
public:
    ContentWriter(char* out, bool compact) : m_out(out), m_p(out), m_compact(compact) {}

    void Entry(const char* key, size_t keyLength, size_t section, const char* value, size_t valueLength) {
        if (section != m_prevLength || std::memcmp(key, m_prev, section) != 0) Put("\r\n", 2);
        if (m_compact && m_prevLength > 0 && section >= m_prevLength &&
            std::memcmp(key, m_prev, m_prevLength) == 0 && key[m_prevLength] == '\\') {
            Put("...", 3);
            Put(key + m_prevLength, keyLength - m_prevLength);
        } else {
            Put(key, keyLength);
        }
        Put("=", 1);
        Put(value, valueLength);
        Put("\r\n", 2);
        m_prev = key;
        m_prevLength = section;
    }
    size_t Size() const { return static_cast<size_t>(m_p - m_out); }

private:
    void Put(const char* s, size_t n) {
        std::memcpy(m_p, s, n);
        m_p += n;
    }

    char* m_out;
    char* m_p;
    bool m_compact;
    const char* m_prev = "";
    size_t m_prevLength = 0;
};

// Replaces the file's content by the new bytes: the current file becomes
// the backup, the new content is written and synced under the temporary
// name and renamed over the file. The file is held with an exclusive lock
// throughout, so savers exclude each other, and at every moment the file
// name holds a complete content. Returns false (file unchanged) when the
// lock is refused or the new content cannot be written.
bool ReplaceFile(const std::string& file, const char* data, size_t size) {
    bool created = false;
    UniqueFd current = OpenLocked(file, LOCK_EX, true, &created);
    if (!current.IsOpen()) return false;
    struct stat st;
    const mode_t mode = ::fstat(current.Get(), &st) == 0 ? (st.st_mode & 07777) : 0644;
    const std::string backup = BackupName(file);
    const std::string temp = TempName(file);

    // Rotation. A hard link is an exact copy here, because no save ever
    // changes a file in place; where links are not supported, a synced copy
    // does. A failure skips the rest of the rotation and the save goes on.
    if ((::unlink(temp.c_str()) == 0 || errno == ENOENT) && !created) {
        if (::link(file.c_str(), temp.c_str()) == 0 || CopyToNewFile(current.Get(), temp, mode)) {
            if (::rename(temp.c_str(), backup.c_str()) != 0) ::unlink(temp.c_str());
        }
    }
    if (!ReplaceFileDurably(file, temp, data, size, mode)) return false;
    // With no previous file there is nothing to back up: no backup remains.
    if (created) ::unlink(backup.c_str());
    return true;
}

// Unchanged content: the backup becomes a copy of the file, replaced
// atomically so that a good backup is never lost half-way. Failures are ignored.
void RefreshBackup(const std::string& file) {
    UniqueFd current = OpenLocked(file, LOCK_EX, false);
    if (!current.IsOpen()) return;
    struct stat st;
    if (::fstat(current.Get(), &st) != 0) return;
    const std::string temp = TempName(file);
    if (::unlink(temp.c_str()) != 0 && errno != ENOENT) return;
    if (CopyToNewFile(current.Get(), temp, st.st_mode & 07777) &&
        ::rename(temp.c_str(), BackupName(file).c_str()) != 0)
        ::unlink(temp.c_str());
}

// The valid backup replaces the damaged file. Only a reader that found the
// file itself damaged may do this, and only while no one else holds the
// file; otherwise the file is left alone.
bool PromoteBackup(int fileFd, const std::string& file, const std::string& backup) {
    if (fileFd < 0 || ::flock(fileFd, LOCK_EX | LOCK_NB) != 0 || !IsSameFile(fileFd, file)) return false;
    if (::rename(backup.c_str(), file.c_str()) != 0) return false;
    SyncFolderOf(file);
    return true;
}

} // namespace

CIniFile::CIniFile() : m_pItems(std::make_shared<IniTable>()) {
    m_FileName = CString(ExecutableIniName());
    ReadIniFile(CString());
}

CIniFile::CIniFile(CString name, bool read) : m_FileName(name), m_pItems(std::make_shared<IniTable>()) {
    if (read) ReadIniFile(CString());
}

CIniFile::CIniFile(CIniFile* parent, const CString& path) {
    if (parent) {
        m_FileName = parent->m_FileName;
        m_RootPath = parent->m_RootPath;
        m_bRemoveAfterRead = parent->m_bRemoveAfterRead;
        m_bAllowRemove = parent->m_bAllowRemove;
        m_nChecksum = parent->m_nChecksum;
        m_pItems = parent->m_pItems;
    }
    if (!m_pItems) m_pItems = std::make_shared<IniTable>();
    m_pParent = parent;
    SetRoot(path);
}

CIniFile::CIniFile(const CIniFile& other) = default;
CIniFile& CIniFile::operator=(const CIniFile& other) = default;

CIniFile::~CIniFile() {
    if (m_pParent) m_pParent->m_FileName = m_FileName;
}

IniTable& CIniFile::Items() {
    if (!m_pItems) m_pItems = std::make_shared<IniTable>();
    return *m_pItems;
}

void CIniFile::RemoveItemAfterRead(bool remove) { m_bRemoveAfterRead = remove; }
void CIniFile::AllowRemoveItem(bool allow) { m_bAllowRemove = allow; }

CString CIniFile::GetIniFolder() {
    int slash = m_FileName.ReverseFind('/');
    return slash < 0 ? CString() : m_FileName.Left(slash + 1);
}

CString CIniFile::SetRoot(const CString& path) {
    CString previous = m_RootPath;
    if (path.IsEmpty() || path[0] == '\\')
        m_RootPath = path;
    else
        m_RootPath = m_RootPath + "\\" + path;
    return previous;
}

namespace {

// The table key of an item: an absolute key (leading backslash) as it is,
// a relative one after the view's root path; then without the leading
// backslash. Built on the stack for all but very long paths.
class ResolvedKey {
public:
    ResolvedKey(const CString& root, const CString& key) {
        const char* k = key;
        size_t kl = static_cast<size_t>(key.GetLength());
        if (kl > 0 && k[0] == '\\') {
            m_data = k + 1;
            m_size = kl - 1;
            return;
        }
        size_t rl = static_cast<size_t>(root.GetLength());
        m_size = rl + 1 + kl;
        char* buf = m_size <= sizeof m_small ? m_small : (m_large.resize(m_size), &m_large[0]);
        std::memcpy(buf, static_cast<const char*>(root), rl);
        buf[rl] = '\\';
        std::memcpy(buf + rl + 1, k, kl);
        m_data = buf;
        if (m_data[0] == '\\') {
            ++m_data;
            --m_size;
        }
    }
    const char* data() const { return m_data; }
    size_t size() const { return m_size; }

private:
    char m_small[256];
    std::string m_large;
    const char* m_data;
    size_t m_size;
};

} // namespace

bool CIniFile::GetItem(const CString& key, CString& value) {
    ResolvedKey k(m_RootPath, key);
    IniTable& table = Items();
    size_t slot = table.Find(k.data(), k.size());
    if (slot == IniTable::npos) return false;
    const IniItem& item = table.At(slot);
    value = CString(item.value, static_cast<int>(std::min<size_t>(item.valueLength, INT_MAX)));
    if (m_bRemoveAfterRead && m_bAllowRemove) table.RemoveAt(slot);
    return true;
}

void CIniFile::SetItem(const CString& key, const char* value, int length) {
    ResolvedKey k(m_RootPath, key);
    Items().Set(k.data(), k.size(), value, length > 0 ? static_cast<size_t>(length) : 0);
}

bool CIniFile::ReadIniFile(const CString& name) {
    try {
        if (!name.IsEmpty()) m_FileName = name;
        if (m_pParent) {
            // A view that reads a file of its own stops sharing its parent's table.
            m_pParent = nullptr;
            m_pItems = std::make_shared<IniTable>();
        }
        const std::string file = m_FileName.str();
        const std::string backup = BackupName(file);
        if (file.empty()) {
            Items().Clear();
            m_nChecksum = -1;
            return false;
        }

        // An old-style backup (cfg.ini.bak) becomes the backup unless there
        // is one; then it goes. One that cannot be moved stays where it is.
        const std::string legacy = file + ".bak";
        if (legacy != backup && FileExists(legacy)) {
            if (FileExists(backup) || (!MoveNoReplace(legacy, backup) && FileExists(backup)))
                ::unlink(legacy.c_str());
        }

        // Attempts: the file, the backup, the file again (taken as it is).
        IniTable& table = Items();
        UniqueFd first; // the file as attempt 0 found it, kept for promoting the backup
        bool opened = false;
        int accepted = -1;
        int stored = -1;
        for (int attempt = 0; attempt < 3 && accepted < 0; ++attempt) {
            table.Clear();
            // The backup is never changed in place (only replaced whole by a
            // rename), so it is read without a lock.
            UniqueFd f = OpenLocked(attempt == 1 ? backup : file, attempt == 1 ? 0 : LOCK_SH, true);
            if (!f.IsOpen()) continue;
            opened = true;
            try {
                std::unique_ptr<char[]> data;
                size_t size = 0;
                if (!ReadWhole(f.Get(), data, size) || size > kMaxItemText) continue;
                int crc = ParseInto(table, std::move(data), size, stored);
                if (stored == (crc & 0xFFFF) || attempt == 2) accepted = attempt;
            } catch (...) {
                // Out of memory for this file: the next attempt may fit.
                table.Clear();
                continue;
            }
            if (attempt == 0) first = std::move(f);
        }
        if (accepted < 0) {
            // Nothing accepted: an empty table. The read still counts as
            // done when some file could be opened.
            table.Clear();
            m_nChecksum = -1;
            return opened;
        }
        if (accepted == 1 && !PromoteBackup(first.Get(), file, backup)) stored = -1;
        m_nChecksum = stored;
        return true;
    } catch (...) {
        if (m_pItems) m_pItems->Clear();
        m_nChecksum = -1;
        return false;
    }
}

bool CIniFile::WriteIniFile(bool compact) {
    try {
        IniTable& table = Items();
        std::vector<SortEntry> entries;
        entries.reserve(table.Count());
        size_t bound = 2 + kChecksumKeyLength + 1 + 10 + 2 + 2;
        size_t leftOut = 0;
        SortEntry entry;
        table.ForEach([&](const IniItem& item) {
            if (!MakeSortEntry(item, entry)) {
                ++leftOut;
                return;
            }
            entries.push_back(entry);
            bound += item.keyLength + item.valueLength + 9;
        });
        std::sort(entries.begin(), entries.end(), SortsBefore);

        std::unique_ptr<char[]> content(new char[bound]);
        ContentWriter writer(content.get(), compact);
        int crc = 0;
        for (const SortEntry& e : entries) {
            const IniItem& item = *e.item;
            crc = UpdateCRC(crc, item.key, item.keyLength);
            crc = UpdateCRC(crc, "=", 1);
            crc = UpdateCRC(crc, item.value, item.valueLength);
            writer.Entry(item.key, item.keyLength, e.section, item.value, item.valueLength);
        }
        crc &= 0xFFFF;
        char number[16];
        int n = std::snprintf(number, sizeof number, "%u", static_cast<unsigned>(crc));
        writer.Entry(kChecksumKey, kChecksumKeyLength, 0, number, static_cast<size_t>(n));

        const std::string file = m_FileName.str();
        if (file.empty()) {
            SetLastError(ERROR_INVALID_NAME);
            return false;
        }
        if (m_nChecksum == crc) {
            RefreshBackup(file);
        } else if (!ReplaceFile(file, content.get(), writer.Size())) {
            SetLastError(ZEP3ErrorFromErrno(errno));
            return false;
        }
        // The rest is saved; the items left out stay in the table.
        if (leftOut == 0) return true;
        SetLastError(ERROR_INVALID_DATA);
        return false;
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
}
