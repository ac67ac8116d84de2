#include <zep3/foundation/Memory.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

CMemory::CMemory(int size, const void* src) { Create(size, src); }

CMemory::CMemory(const CString& text) { Create(text.GetLength(), static_cast<const char*>(text)); }

CMemory::CMemory(const CMemory& other) { CopyFrom(other); }

CMemory::~CMemory() { Clear(); }

CMemory& CMemory::operator=(const CMemory& other) {
    if (this != &other) CopyFrom(other);
    return *this;
}

CMemory& CMemory::operator=(const CString& text) {
    Create(text.GetLength(), static_cast<const char*>(text));
    return *this;
}

bool CMemory::Create(int size, const void* src) {
    if (size <= 0) {
        Clear();
        return size == 0;
    }
    // Copy before releasing: src may lie in the bytes this block holds.
    auto bytes = new (std::nothrow) unsigned char[size];
    if (bytes && src) std::memcpy(bytes, src, static_cast<size_t>(size));
    Clear();
    if (!bytes) return false;
    Assign(size, bytes, true);
    return true;
}

void CMemory::Clear() {
    if (m_bOwns) delete[] m_pData;
    m_pData = nullptr;
    m_nSize = 0;
    m_bOwns = true;
}

void CMemory::CopyFrom(const CMemory& other) {
    if (this == &other) return;
    Create(other.m_nSize, other.m_pData);
}

bool CMemory::Assign(int size, void* data, bool owns) {
    m_pData = static_cast<unsigned char*>(data);
    m_nSize = std::max(size, 0);
    m_bOwns = owns;
    return true;
}

bool CMemory::TakeOver(CMemory& other) {
    if (this == &other) return true;
    Clear();
    Assign(other.m_nSize, other.m_pData, other.m_bOwns);
    other.m_bOwns = false;
    return true;
}

CMemory& CMemory::operator+=(const CMemory& other) {
    if (other.IsEmpty()) return *this;
    const int own = IsEmpty() ? 0 : m_nSize;
    if (other.m_nSize > INT_MAX - own) return *this; // the size would not fit an int
    const int total = own + other.m_nSize;
    auto joined = new (std::nothrow) unsigned char[total];
    if (!joined) return *this;
    if (own) std::memcpy(joined, m_pData, static_cast<size_t>(own));
    std::memcpy(joined + own, other.m_pData, static_cast<size_t>(other.m_nSize));
    Clear(); // after the copy: other may be this block
    Assign(total, joined, true);
    return *this;
}

CMemory CMemory::operator+(const CMemory& other) const {
    CMemory sum(*this);
    sum += other;
    return sum;
}

bool CMemory::operator==(const CMemory& other) const {
    return m_nSize == other.m_nSize && (m_nSize == 0 || std::memcmp(m_pData, other.m_pData, m_nSize) == 0);
}

int CMemory::Find(unsigned char byte) const {
    if (IsEmpty()) return -1;
    auto p = static_cast<const unsigned char*>(std::memchr(m_pData, byte, static_cast<size_t>(m_nSize)));
    return p ? static_cast<int>(p - m_pData) : -1;
}

int CMemory::ReverseFind(unsigned char byte) const {
    if (IsEmpty()) return -1;
    for (int i = m_nSize - 1; i >= 0; --i)
        if (m_pData[i] == byte) return i;
    return -1;
}

void CMemory::Remove(unsigned char byte) {
    if (IsEmpty() || !m_bOwns) return;
    m_nSize = static_cast<int>(std::remove(m_pData, m_pData + m_nSize, byte) - m_pData);
    if (m_nSize == 0) Clear();
}

CMemory CMemory::Left(int n) const { return Mid(0, n); }

CMemory CMemory::Mid(int first, int count) const {
    first = std::max(first, 0);
    if (IsEmpty() || first >= m_nSize || count <= 0) return CMemory();
    return CMemory(std::min(count, m_nSize - first), m_pData + first);
}

int CMemory::Delete(int index, int count) {
    index = std::max(index, 0);
    if (count < 1 || index >= m_nSize || !m_pData) return m_nSize;
    count = std::min(count, m_nSize - index);
    std::memmove(m_pData + index, m_pData + index + count, static_cast<size_t>(m_nSize - index - count));
    m_nSize -= count;
    if (m_nSize == 0) Clear();
    return m_nSize;
}
