#include <zep3/platform/FileFind.h>
#include <zep3/platform/FileSystem.h>
#include <zep3/platform/LastError.h>
#include <zep3/platform/detail/Wildcard.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <vector>

namespace {

struct Entry {
    CString name;
    ULONGLONG size = 0;
    time_t mtime = 0;
    DWORD attributes = 0;
};

bool IsDotName(const CString& name) { return name == "." || name == ".."; }

bool EntryBefore(const Entry& a, const Entry& b) {
    bool da = IsDotName(a.name), db = IsDotName(b.name);
    if (da != db) return da;
    return a.name < b.name;
}

Entry Describe(const CString& folder, const char* name) {
    Entry e;
    e.name = name;
    CString path = folder + name;
    struct stat link, st;
    if (lstat(path, &link) != 0) return e;
    bool isLink = S_ISLNK(link.st_mode);
    if (!isLink || stat(path, &st) != 0) st = link;
    e.size = S_ISDIR(st.st_mode) ? 0 : static_cast<ULONGLONG>(st.st_size);
    e.mtime = st.st_mtime;
    if (S_ISDIR(st.st_mode)) e.attributes |= FILE_ATTRIBUTE_DIRECTORY;
    if (!(st.st_mode & S_IWUSR)) e.attributes |= FILE_ATTRIBUTE_READONLY;
    if (isLink) e.attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    if (!e.attributes) e.attributes = FILE_ATTRIBUTE_NORMAL;
    return e;
}

} // namespace

struct CFileFind::Impl {
    CString root;                 // folder with trailing '/', or empty
    std::vector<Entry> entries;
    size_t next = 0;              // index of the entry FindNextFile steps to
    const Entry* current = nullptr;
};

CFileFind::CFileFind() : m_impl(new Impl) {}

CFileFind::~CFileFind() = default;

void CFileFind::Close() {
    m_impl->entries.clear();
    m_impl->next = 0;
    m_impl->current = nullptr;
    m_impl->root.Empty();
}

BOOL CFileFind::FindFile(LPCSTR name, DWORD) {
    Close();
    CString pattern(name ? name : "*.*");
    int slash = pattern.ReverseFind('/');
    CString root = pattern.Left(slash + 1);
    CString mask = pattern.Mid(slash + 1);
    if (mask.IsEmpty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    DIR* dir = opendir(root.IsEmpty() ? "." : root.GetString());
    if (!dir) {
        SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND : ZEP3ErrorFromErrno(errno));
        return FALSE;
    }
    while (struct dirent* d = readdir(dir))
        if (zep3::detail::MatchMask(d->d_name, mask)) m_impl->entries.push_back(Describe(root, d->d_name));
    closedir(dir);
    if (m_impl->entries.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    std::sort(m_impl->entries.begin(), m_impl->entries.end(), EntryBefore);
    m_impl->root = root;
    return TRUE;
}

BOOL CFileFind::FindNextFile() {
    Impl& f = *m_impl;
    if (f.next >= f.entries.size()) {
        SetLastError(ERROR_NO_MORE_ITEMS);
        return FALSE;
    }
    f.current = &f.entries[f.next++];
    return f.next < f.entries.size();
}

CString CFileFind::GetFileName() const { return m_impl->current ? m_impl->current->name : CString(); }

CString CFileFind::GetFilePath() const { return m_impl->current ? m_impl->root + m_impl->current->name : CString(); }

CString CFileFind::GetFileTitle() const {
    CString name = GetFileName();
    int dot = name.ReverseFind('.');
    return dot > 0 ? name.Left(dot) : name;
}

CString CFileFind::GetRoot() const { return m_impl->root; }

ULONGLONG CFileFind::GetLength() const { return m_impl->current ? m_impl->current->size : 0; }

BOOL CFileFind::GetLastWriteTime(CTime& time) const {
    if (!m_impl->current) return FALSE;
    time = CTime(m_impl->current->mtime);
    return TRUE;
}

BOOL CFileFind::MatchesMask(DWORD mask) const {
    return m_impl->current && (m_impl->current->attributes & mask) != 0;
}

BOOL CFileFind::IsDirectory() const { return MatchesMask(FILE_ATTRIBUTE_DIRECTORY); }
BOOL CFileFind::IsReadOnly() const { return MatchesMask(FILE_ATTRIBUTE_READONLY); }
BOOL CFileFind::IsSymbolicLink() const { return MatchesMask(FILE_ATTRIBUTE_REPARSE_POINT); }
BOOL CFileFind::IsDots() const { return m_impl->current && IsDotName(m_impl->current->name); }
