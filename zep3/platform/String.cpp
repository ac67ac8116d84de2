#include <zep3/platform/Module.h>
#include <zep3/platform/Resource.h>
#include <zep3/platform/String.h>
#include <zep3/platform/detail/Resources.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

const char* OrEmpty(const char* text) { return text ? text : ""; }

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

int CompareBytes(const char* a, size_t na, const char* b, size_t nb) {
    int r = std::memcmp(a, b, std::min(na, nb));
    if (r != 0) return r;
    return na < nb ? -1 : (na > nb ? 1 : 0);
}

} // namespace

char CString::GetAt(int index) const {
    return (index >= 0 && index < GetLength()) ? m_str[static_cast<size_t>(index)] : '\0';
}

void CString::SetAt(int index, char ch) {
    if (index >= 0 && index < GetLength()) m_str[static_cast<size_t>(index)] = ch;
}

CString& CString::operator+=(const CString& text) {
    m_str += text.m_str;
    return *this;
}

CString& CString::operator+=(const char* text) {
    m_str += OrEmpty(text);
    return *this;
}

CString& CString::operator+=(char ch) {
    m_str += ch;
    return *this;
}

int CString::Compare(const char* text) const {
    text = OrEmpty(text);
    return CompareBytes(m_str.data(), m_str.size(), text, std::strlen(text));
}

int CString::Compare(const CString& text) const {
    return CompareBytes(m_str.data(), m_str.size(), text.m_str.data(), text.m_str.size());
}

int CString::CompareNoCase(const char* text) const {
    text = OrEmpty(text);
    size_t n = std::strlen(text);
    for (size_t i = 0; i < m_str.size() && i < n; ++i) {
        auto a = static_cast<unsigned char>(AsciiLower(m_str[i]));
        auto b = static_cast<unsigned char>(AsciiLower(text[i]));
        if (a != b) return a < b ? -1 : 1;
    }
    return m_str.size() < n ? -1 : (m_str.size() > n ? 1 : 0);
}

int CString::Find(char ch, int start) const {
    if (start < 0) start = 0;
    if (start >= GetLength()) return -1;
    size_t pos = m_str.find(ch, static_cast<size_t>(start));
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CString::Find(const char* text, int start) const {
    if (start < 0) start = 0;
    if (start > GetLength()) return -1;
    size_t pos = m_str.find(OrEmpty(text), static_cast<size_t>(start));
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CString::ReverseFind(char ch) const {
    size_t pos = m_str.rfind(ch);
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CString::FindOneOf(const char* chars) const {
    chars = OrEmpty(chars);
    size_t pos = m_str.find_first_of(chars, 0, std::strlen(chars));
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

CString CString::Left(int count) const {
    count = std::clamp(count, 0, GetLength());
    return CString(m_str.data(), count);
}

CString CString::Mid(int first) const { return Mid(first, GetLength()); }

CString CString::Mid(int first, int count) const {
    first = std::clamp(first, 0, GetLength());
    count = std::clamp(count, 0, GetLength() - first);
    return CString(m_str.data() + first, count);
}

CString CString::Right(int count) const {
    count = std::clamp(count, 0, GetLength());
    return CString(m_str.data() + (GetLength() - count), count);
}

CString CString::SpanIncluding(const char* chars) const {
    chars = OrEmpty(chars);
    size_t n = m_str.find_first_not_of(chars, 0, std::strlen(chars));
    return Left(n == std::string::npos ? GetLength() : static_cast<int>(n));
}

CString CString::SpanExcluding(const char* chars) const {
    chars = OrEmpty(chars);
    size_t n = m_str.find_first_of(chars, 0, std::strlen(chars));
    return Left(n == std::string::npos ? GetLength() : static_cast<int>(n));
}

void CString::MakeUpper() { std::transform(m_str.begin(), m_str.end(), m_str.begin(), AsciiUpper); }
void CString::MakeLower() { std::transform(m_str.begin(), m_str.end(), m_str.begin(), AsciiLower); }
void CString::MakeReverse() { std::reverse(m_str.begin(), m_str.end()); }

CString& CString::Trim() { return TrimRight().TrimLeft(); }
CString& CString::Trim(char target) { return TrimRight(target).TrimLeft(target); }
CString& CString::Trim(const char* targets) { return TrimRight(targets).TrimLeft(targets); }

CString& CString::TrimLeft() {
    auto it = std::find_if_not(m_str.begin(), m_str.end(), IsSpace);
    m_str.erase(m_str.begin(), it);
    return *this;
}

CString& CString::TrimLeft(char target) { return TrimLeft(std::string(1, target).c_str()); }

CString& CString::TrimLeft(const char* targets) {
    targets = OrEmpty(targets);
    size_t n = m_str.find_first_not_of(targets, 0, std::strlen(targets));
    m_str.erase(0, n);
    return *this;
}

CString& CString::TrimRight() {
    auto it = std::find_if_not(m_str.rbegin(), m_str.rend(), IsSpace);
    m_str.erase(it.base(), m_str.end());
    return *this;
}

CString& CString::TrimRight(char target) { return TrimRight(std::string(1, target).c_str()); }

CString& CString::TrimRight(const char* targets) {
    targets = OrEmpty(targets);
    size_t n = m_str.find_last_not_of(targets, std::string::npos, std::strlen(targets));
    m_str.erase(n == std::string::npos ? 0 : n + 1);
    return *this;
}

int CString::Replace(char oldCh, char newCh) {
    int count = 0;
    for (char& c : m_str) {
        if (c == oldCh) {
            c = newCh;
            ++count;
        }
    }
    return count;
}

int CString::Replace(const char* oldText, const char* newText) {
    size_t oldLen = oldText ? std::strlen(oldText) : 0;
    if (oldLen == 0) return 0;
    newText = OrEmpty(newText);
    size_t newLen = std::strlen(newText);
    std::string out;
    out.reserve(m_str.size());
    int count = 0;
    size_t pos = 0;
    for (size_t hit; (hit = m_str.find(oldText, pos, oldLen)) != std::string::npos; pos = hit + oldLen) {
        out.append(m_str, pos, hit - pos).append(newText, newLen);
        ++count;
    }
    if (count) m_str = out.append(m_str, pos, std::string::npos);
    return count;
}

int CString::Remove(char ch) {
    size_t before = m_str.size();
    m_str.erase(std::remove(m_str.begin(), m_str.end(), ch), m_str.end());
    return static_cast<int>(before - m_str.size());
}

int CString::Insert(int index, char ch) { return Insert(index, std::string(1, ch).c_str()); }

int CString::Insert(int index, const char* text) {
    index = std::clamp(index, 0, GetLength());
    m_str.insert(static_cast<size_t>(index), OrEmpty(text));
    return GetLength();
}

int CString::Delete(int index, int count) {
    if (index < 0) index = 0;
    if (count > 0 && index < GetLength()) m_str.erase(static_cast<size_t>(index), static_cast<size_t>(count));
    return GetLength();
}

void CString::Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
}

void CString::FormatV(const char* format, va_list args) {
    m_str.clear();
    if (!format) return;
    va_list copy;
    va_copy(copy, args);
    char small[256];
    int n = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (n < 0) return;
    if (static_cast<size_t>(n) < sizeof small) {
        m_str.assign(small, static_cast<size_t>(n));
        return;
    }
    m_str.resize(static_cast<size_t>(n));
    std::vsnprintf(&m_str[0], static_cast<size_t>(n) + 1, format, args);
}

void CString::AppendFormat(const char* format, ...) {
    CString tail;
    va_list args;
    va_start(args, format);
    tail.FormatV(format, args);
    va_end(args);
    m_str += tail.m_str;
}

char* CString::GetBuffer(int minLength) {
    if (minLength > GetLength()) m_str.resize(static_cast<size_t>(minLength));
    return &m_str[0];
}

char* CString::GetBufferSetLength(int length) {
    m_str.resize(static_cast<size_t>(std::max(length, 0)));
    return &m_str[0];
}

void CString::ReleaseBuffer(int newLength) {
    if (newLength < 0) newLength = static_cast<int>(std::strlen(m_str.c_str()));
    m_str.resize(static_cast<size_t>(std::min(newLength, GetLength())));
}

namespace {

// One allocation of the joint length, where std::string's operator+ copies
// the left side and then grows it for the right.
CString Join(const char* a, size_t na, const char* b, size_t nb) {
    std::string joint;
    joint.reserve(na + nb);
    joint.append(a, na).append(b, nb);
    return CString(std::move(joint));
}

} // namespace

CString operator+(const CString& a, const CString& b) {
    return Join(a.str().data(), a.str().size(), b.str().data(), b.str().size());
}
CString operator+(const CString& a, const char* b) {
    b = OrEmpty(b);
    return Join(a.str().data(), a.str().size(), b, std::strlen(b));
}
CString operator+(const char* a, const CString& b) {
    a = OrEmpty(a);
    return Join(a, std::strlen(a), b.str().data(), b.str().size());
}
CString operator+(const CString& a, char b) { return Join(a.str().data(), a.str().size(), &b, 1); }
CString operator+(char a, const CString& b) { return Join(&a, 1, b.str().data(), b.str().size()); }

BOOL CString::LoadString(UINT id) {
    HINSTANCE chain[] = {AfxGetResourceHandle(), AfxGetInstanceHandle(), ZEP3GetInstanceHandle()};
    for (HINSTANCE module : chain)
        if (zep3::detail::FindString(module, id, &m_str)) return TRUE;
    m_str.clear();
    return FALSE;
}
