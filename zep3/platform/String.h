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

    CString& operator=(const char* text) {
        m_str.assign(text ? text : "");
        return *this;
    }
    CString& operator=(char ch) {
        m_str.assign(1, ch);
        return *this;
    }

    int GetLength() const { return static_cast<int>(m_str.size()); }
    bool IsEmpty() const { return m_str.empty(); }
    void Empty() { m_str.clear(); }
    /// The byte at an index; 0 when the index is outside the text.
    char GetAt(int index) const;
    char operator[](int index) const { return GetAt(index); }
    /// Sets the byte at an index; ignored when the index is outside the text.
    void SetAt(int index, char ch);
    operator const char*() const { return m_str.c_str(); }
    const char* GetString() const { return m_str.c_str(); }
    const std::string& str() const { return m_str; }

    CString& operator+=(const CString& text);
    CString& operator+=(const char* text);
    CString& operator+=(char ch);

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
    int ReverseFind(char ch) const;
    int FindOneOf(const char* chars) const;

    CString Left(int count) const;
    CString Mid(int first) const;
    CString Mid(int first, int count) const;
    CString Right(int count) const;
    CString SpanIncluding(const char* chars) const;
    CString SpanExcluding(const char* chars) const;

    void MakeUpper();
    void MakeLower();
    void MakeReverse();
    CString& Trim();
    CString& Trim(char target);
    CString& Trim(const char* targets);
    CString& TrimLeft();
    CString& TrimLeft(char target);
    CString& TrimLeft(const char* targets);
    CString& TrimRight();
    CString& TrimRight(char target);
    CString& TrimRight(const char* targets);

    ///@{
    /// Return the number of replacements, removals or the new length.
    int Replace(char oldCh, char newCh);
    int Replace(const char* oldText, const char* newText);
    ///@}
    int Remove(char ch);
    int Insert(int index, char ch);
    int Insert(int index, const char* text);
    int Delete(int index, int count = 1);

    /// printf conventions.
    void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void FormatV(const char* format, va_list args);
    void AppendFormat(const char* format, ...) __attribute__((format(printf, 2, 3)));

    /// Replaces the text by string id of the string tables: the current
    /// resource module's first, then the executable's, then this library's.
    /// FALSE (text emptied) when none has it.
    BOOL LoadString(UINT id);

    /// Direct access for C-style filling: GetBuffer makes room for at least
    /// minLength bytes (plus a terminating zero); ReleaseBuffer sets the length,
    /// by the first zero byte when newLength is -1.
    char* GetBuffer(int minLength = 0);
    char* GetBufferSetLength(int length);
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
    size_t operator()(const CString& s) const noexcept { return hash<string>()(s.str()); }
};
} // namespace std
