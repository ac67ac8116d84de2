#pragma once
/// @class CString
/// 8-bit text that carries its length, so any byte, zero included, may
/// be part of it. Indices are byte indices; comparisons are bytewise and case
/// mapping is ASCII-only. Out-of-range counts are clamped as the application
/// framework clamps them; failures never throw.
///
/// Pass a CString to a printf-style function as `(const char*)text` or
/// `text.GetString()`: it is a class, not a bare pointer.
#include <zep3/platform/Export.h>
#include <zep3/platform/WinTypes.h>

#include <cstdarg>
#include <functional>
#include <string>
#include <utility>

class ZEP3_API CString {
public:
    ///@{
    /// The constructors and assignments are inline and build the text in one
    /// go: one allocation at most, nothing filled twice. Texts are made by the
    /// hundred thousand (database fields, parsed names).
    CString() = default;
    CString(const char* text) : m_str(text ? text : "") {}
    CString(const char* text, int length)
        : m_str(text && length > 0 ? text : "", text && length > 0 ? static_cast<size_t>(length) : 0) {}
    CString(char ch, int repeat = 1) : m_str(repeat > 0 ? static_cast<size_t>(repeat) : 0, ch) {}
    explicit CString(const std::string& text) : m_str(text) {}
    explicit CString(std::string&& text) noexcept : m_str(std::move(text)) {}
    ///@}

    ///@{
    /// Replaces the text; a null pointer gives an empty text.
    CString& operator=(const char* text) {
        m_str.assign(text ? text : "");
        return *this;
    }
    CString& operator=(char ch) {
        m_str.assign(1, ch);
        return *this;
    }
    ///@}

    /// The number of bytes.
    int GetLength() const { return static_cast<int>(m_str.size()); }
    /// True when the text has no bytes.
    bool IsEmpty() const { return m_str.empty(); }
    /// Makes the text empty.
    void Empty() { m_str.clear(); }
    /// The byte at an index; 0 when the index is outside the text.
    char GetAt(int index) const;
    /// The byte at an index, as GetAt.
    char operator[](int index) const { return GetAt(index); }
    /// Sets the byte at an index; ignored when the index is outside the text.
    void SetAt(int index, char ch);
    /// The bytes followed by a zero byte, valid until the text changes.
    operator const char*() const { return m_str.c_str(); }
    /// The same pointer as the conversion to const char*.
    const char* GetString() const { return m_str.c_str(); }
    /// The text as a standard string (no copy).
    const std::string& str() const { return m_str; }

    ///@{
    /// Appends; a null pointer appends nothing.
    CString& operator+=(const CString& text);
    CString& operator+=(const char* text);
    CString& operator+=(char ch);
    ///@}

    ///@{
    /// Bytewise: negative, 0 or positive like strcmp, but over the full lengths.
    int Compare(const char* text) const;
    int Compare(const CString& text) const;
    ///@}
    /// ASCII letters compared without case.
    int CompareNoCase(const char* text) const;

    ///@{
    /// First index at or after start, -1 when absent or start is past the end.
    int Find(char ch, int start = 0) const;
    int Find(const char* text, int start = 0) const;
    ///@}
    /// Index of the last occurrence, -1 when absent.
    int ReverseFind(char ch) const;
    /// Index of the first byte that is one of chars, -1 when none is.
    int FindOneOf(const char* chars) const;

    /// The first count bytes (all when count exceeds the length, none below 1).
    CString Left(int count) const;
    ///@{
    /// From index first on, at most count bytes; first below 0 counts as 0.
    CString Mid(int first) const;
    CString Mid(int first, int count) const;
    ///@}
    /// The last count bytes.
    CString Right(int count) const;
    /// The leading bytes that are all in chars.
    CString SpanIncluding(const char* chars) const;
    /// The leading bytes up to the first that is in chars.
    CString SpanExcluding(const char* chars) const;

    ///@{
    /// Case mapping of ASCII letters in place; other bytes are kept.
    void MakeUpper();
    void MakeLower();
    ///@}
    /// Reverses the byte order in place.
    void MakeReverse();
    ///@{
    /// Removes white space (or the given bytes) from both ends; returns *this.
    CString& Trim();
    CString& Trim(char target);
    CString& Trim(const char* targets);
    ///@}
    ///@{
    /// Removes white space (or the given bytes) from the start; returns *this.
    CString& TrimLeft();
    CString& TrimLeft(char target);
    CString& TrimLeft(const char* targets);
    ///@}
    ///@{
    /// Removes white space (or the given bytes) from the end; returns *this.
    CString& TrimRight();
    CString& TrimRight(char target);
    CString& TrimRight(const char* targets);
    ///@}

    ///@{
    /// Return the number of replacements, removals or the new length.
    int Replace(char oldCh, char newCh);
    int Replace(const char* oldText, const char* newText);
    ///@}
    /// Removes every occurrence of ch; returns how many were removed.
    int Remove(char ch);
    ///@{
    /// Inserts before index (clamped to the text); returns the new length.
    int Insert(int index, char ch);
    int Insert(int index, const char* text);
    ///@}
    /// Deletes count bytes from index on; returns the new length.
    int Delete(int index, int count = 1);

    ///@{
    /// printf conventions.
    void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void FormatV(const char* format, va_list args);
    void AppendFormat(const char* format, ...) __attribute__((format(printf, 2, 3)));
    ///@}

    /// Replaces the text by string id of the string tables: the current
    /// resource module's first, then the executable's, then this library's.
    /// FALSE (text emptied) when none has it.
    BOOL LoadString(UINT id);

    /// Direct access for C-style filling: GetBuffer makes room for at least
    /// minLength bytes (plus a terminating zero); ReleaseBuffer sets the length,
    /// by the first zero byte when newLength is -1.
    char* GetBuffer(int minLength = 0);
    /// Sets the length to length and returns the bytes to fill; call
    /// ReleaseBuffer when done.
    char* GetBufferSetLength(int length);
    /// Ends direct access: the length becomes newLength, or the index of the
    /// first zero byte when it is -1.
    void ReleaseBuffer(int newLength = -1);

private:
    std::string m_str;
};

ZEP3_API CString operator+(const CString& a, const CString& b);
ZEP3_API CString operator+(const CString& a, const char* b);
ZEP3_API CString operator+(const char* a, const CString& b);
ZEP3_API CString operator+(const CString& a, char b);
ZEP3_API CString operator+(char a, const CString& b);

inline bool operator==(const CString& a, const CString& b) { return a.Compare(b) == 0; }
inline bool operator==(const CString& a, const char* b) { return a.Compare(b) == 0; }
inline bool operator==(const char* a, const CString& b) { return b.Compare(a) == 0; }
inline bool operator!=(const CString& a, const CString& b) { return a.Compare(b) != 0; }
inline bool operator!=(const CString& a, const char* b) { return a.Compare(b) != 0; }
inline bool operator!=(const char* a, const CString& b) { return b.Compare(a) != 0; }
inline bool operator<(const CString& a, const CString& b) { return a.Compare(b) < 0; }
inline bool operator<(const CString& a, const char* b) { return a.Compare(b) < 0; }
inline bool operator<(const char* a, const CString& b) { return b.Compare(a) > 0; }
inline bool operator>(const CString& a, const CString& b) { return a.Compare(b) > 0; }
inline bool operator>(const CString& a, const char* b) { return a.Compare(b) > 0; }
inline bool operator>(const char* a, const CString& b) { return b.Compare(a) < 0; }
inline bool operator<=(const CString& a, const CString& b) { return a.Compare(b) <= 0; }
inline bool operator<=(const CString& a, const char* b) { return a.Compare(b) <= 0; }
inline bool operator<=(const char* a, const CString& b) { return b.Compare(a) >= 0; }
inline bool operator>=(const CString& a, const CString& b) { return a.Compare(b) >= 0; }
inline bool operator>=(const CString& a, const char* b) { return a.Compare(b) >= 0; }
inline bool operator>=(const char* a, const CString& b) { return b.Compare(a) <= 0; }

namespace std {
/// Hashes a CString by its bytes, so that it can key the standard unordered
/// containers.
template <> struct hash<CString> {
    /// The hash of the bytes.
    size_t operator()(const CString& s) const noexcept { return hash<string>()(s.str()); }
};
} // namespace std
