#pragma once
/// @class CIniFile
/// The persistent settings store. A flat table of text items, each
/// addressed by a path of names separated by backslashes (`Camera1\Tracker(0)\Name`),
/// read from and written to a file of key=value lines that ends with a CRC-16
/// line `__checksum__=N`. Every save keeps the previous file as name.bak; a
/// damaged or hand-edited file is replaced by a valid backup when it is read.
///
/// Child views (CIniFile(parent, path)) address a sub-path of the same table,
/// so an object stores its members under short keys without knowing where it
/// sits. Items are read and written through the typed exchange
/// (ExchangeObject.h and ExchangeSimpleObject below).
///
/// Threads: a store has no lock; use it (and its views) from one thread at a
/// time. Processes: the main file carries an advisory lock (flock), shared
/// while it is read and exclusive while it is replaced, so two processes
/// never read and save it at the same moment. A save writes the new content
/// under a temporary name and renames it over the file, so after a crash at
/// any point the file or its backup holds one complete saved content.
///
/// Failures are results (false); nothing throws.
#include <zep3/platform/Export.h>
#include <zep3/platform/GdiTypes.h>
#include <zep3/platform/String.h>

#include <memory>

namespace zep3::detail {
class IniTable;
}

class CIniFile;
ZEP3_API bool ExchangeObject(CIniFile* ini, int mode, const CString& key, float* value);

class ZEP3_API CIniFile {
public:
    /// File name = the running executable's path with its extension replaced
    /// by "ini" (/opt/app/prog.bin gives /opt/app/prog.ini), or with ".ini"
    /// appended when it has no extension; then reads that file.
    CIniFile();
    /// File name = name; reads it when read is true. A store made with read
    /// false starts with an empty table.
    CIniFile(CString name, bool read);
    /// Child view: shares parent's table, copies its file name, root path,
    /// flags and remembered checksum, then moves the root path by path as
    /// SetRoot does. The view must not outlive parent.
    CIniFile(CIniFile* parent, const CString& path);
    /// Another view of the same table (the table is reference-counted, so a
    /// copy stays valid after its source is gone).
    CIniFile(const CIniFile& other);
    CIniFile& operator=(const CIniFile& other);
    /// A child view hands its file name back to its parent. Never writes the file.
    virtual ~CIniFile();

    /// Loads the file (name, when not empty, replaces the file name): the main
    /// file when its checksum is right, else a valid backup (which then
    /// replaces a damaged main file on disk), else the main file as it
    /// stands. A missing file is created empty. Discards every item in memory
    /// first. False, with an empty table, when neither the file nor its
    /// backup could be opened (a missing folder, no permission). When the file
    /// is busy in another process's save and the backup is not valid, the
    /// result is true with an empty table. On a child view, the view leaves
    /// its parent and gets a table of its own.
    bool ReadIniFile(const CString& name);
    /// Saves the table, sorted, with the checksum line; compact selects the
    /// `"...\"` form. Unchanged content since the last read only refreshes the
    /// backup. False when the file cannot be written or another process holds
    /// it; the file on disk is then unchanged (GetLastError tells why).
    /// Items that a line cannot carry back -- an empty key, a key with "=" or a
    /// line feed or beginning with `"...\"`, the key __checksum__, a value with a
    /// line feed -- are never dropped silently: the rest is saved, those items
    /// stay in the table, and the result is false with GetLastError()
    /// ERROR_INVALID_DATA.
    bool WriteIniFile(bool compact);

    /// Flags of this view: when both are set, every successful item read
    /// removes the item from the table.
    void RemoveItemAfterRead(bool remove);
    void AllowRemoveItem(bool allow);

    const CString& GetFileName() const { return m_FileName; }
    /// The file name up to and including its last "/"; empty when it has none.
    CString GetIniFolder();

    ///@{
    /// Typed exchange of one item: mode 0 reads the item into *value (false
    /// when absent; *value unchanged), mode 1 writes *value (true), any other
    /// mode does nothing (true). Texts as ExchangeObject.h describes.
    bool ExchangeSimpleObject(int mode, const CString& key, unsigned char* value);
    bool ExchangeSimpleObject(int mode, const CString& key, short* value);
    bool ExchangeSimpleObject(int mode, const CString& key, unsigned short* value);
    bool ExchangeSimpleObject(int mode, const CString& key, int* value);
    bool ExchangeSimpleObject(int mode, const CString& key, unsigned int* value);
    bool ExchangeSimpleObject(int mode, const CString& key, long* value);
    bool ExchangeSimpleObject(int mode, const CString& key, unsigned long* value);
    bool ExchangeSimpleObject(int mode, const CString& key, CString* value);
    bool ExchangeSimpleObject(int mode, const CString& key, LOGFONT* value);
    ///@}

private:
    friend bool ExchangeObject(CIniFile* ini, int mode, const CString& key, float* value);

    // Moves the root path: an empty path or one beginning with a backslash
    // replaces it, any other is appended after a backslash. Returns the old one.
    CString SetRoot(const CString& path);
    // Copies the item's value out (removing the item when both flags are
    // set); false when absent.
    bool GetItem(const CString& key, CString& value);
    // Inserts or replaces the item.
    void SetItem(const CString& key, const char* value, int length);

    bool ReadItem(const CString& key, unsigned char& value);
    bool ReadItem(const CString& key, short& value);
    bool ReadItem(const CString& key, unsigned short& value);
    bool ReadItem(const CString& key, int& value);
    bool ReadItem(const CString& key, unsigned int& value);
    bool ReadItem(const CString& key, long& value);
    bool ReadItem(const CString& key, unsigned long& value);
    bool ReadItem(const CString& key, float& value);
    bool ReadItem(const CString& key, CString& value);
    bool ReadItem(const CString& key, LOGFONT& value);
    void WriteItem(const CString& key, unsigned char value);
    void WriteItem(const CString& key, short value);
    void WriteItem(const CString& key, unsigned short value);
    void WriteItem(const CString& key, int value);
    void WriteItem(const CString& key, unsigned int value);
    void WriteItem(const CString& key, long value);
    void WriteItem(const CString& key, unsigned long value);
    void WriteItem(const CString& key, float value);
    void WriteItem(const CString& key, const CString& value);
    void WriteItem(const CString& key, const LOGFONT& value);

    zep3::detail::IniTable& Items();

    CString m_FileName;
    CString m_RootPath;
    bool m_bRemoveAfterRead = false;
    bool m_bAllowRemove = true;
    int m_nChecksum = -1;
    CIniFile* m_pParent = nullptr;
    std::shared_ptr<zep3::detail::IniTable> m_pItems;
};
