#pragma once
/// @class CMemory
/// A byte block that knows its size and whether it owns its bytes.
/// An owning block releases its bytes itself; a view (Assign with owns
/// false, or the source of TakeOver) refers to foreign bytes and never frees
/// them. An empty block has no bytes, size 0 and owns them (trivially).
///
/// Not thread-safe; copies are deep (copying a view gives an owning copy).
/// Failures are results: Create reports false when the size is negative or
/// the memory cannot be had, and leaves an empty block.
#include <zep3/platform/Export.h>
#include <zep3/platform/String.h>

class ZEP3_API CMemory {
public:
    CMemory() = default;
    /// Create(size, src).
    CMemory(int size, const void* src);
    ///@{
    /// The text's bytes, without a terminating zero.
    CMemory(const CString& text);
    CMemory(const CMemory& other);
    ///@}
    ~CMemory();

    ///@{
    /// Release, then copy the other block's or the text's bytes.
    CMemory& operator=(const CMemory& other);
    CMemory& operator=(const CString& text);
    ///@}

    /// Releases the owned bytes; then a size below 0 leaves an empty block and
    /// returns false, 0 gives an empty block, and any other size allocates
    /// that many bytes, copied from src when it is not null (left
    /// uninitialised otherwise).
    bool Create(int size, const void* src);
    /// Releases the bytes if owned; the block becomes empty.
    void Clear();
    /// True when the size is 0 or there are no bytes.
    bool IsEmpty() const { return m_nSize == 0 || !m_pData; }
    /// Create(other's size) and copy its bytes.
    void CopyFrom(const CMemory& other);
    /// Refers to data (size bytes) with the given ownership, without copying
    /// and without releasing what the block held: empty it first.
    bool Assign(int size, void* data, bool owns);
    /// This block takes other's bytes, size and ownership; other keeps
    /// referring to the same bytes without owning them.
    bool TakeOver(CMemory& other);

    /// Appends other's bytes (appending the block to itself doubles it). The
    /// block stays as it was when the joined size would pass INT_MAX or the
    /// memory cannot be had.
    CMemory& operator+=(const CMemory& other);
    CMemory operator+(const CMemory& other) const;
    /// Same size and same bytes.
    bool operator==(const CMemory& other) const;
    bool operator!=(const CMemory& other) const { return !(*this == other); }
    ///@{
    /// No bounds check: keep the index below the size.
    unsigned char& operator[](int index) { return m_pData[index]; }
    unsigned char operator[](int index) const { return m_pData[index]; }
    ///@}

    /// Index of the first / last byte with that value, -1 when none.
    int Find(unsigned char byte) const;
    int ReverseFind(unsigned char byte) const;
    /// Removes every byte with that value, closing the gaps; only on a
    /// non-empty block that owns its bytes (others are left unchanged).
    void Remove(unsigned char byte);
    /// The first n bytes (n below 0 counts as 0, n at or above the size gives
    /// a copy of the whole).
    CMemory Left(int n) const;
    /// count bytes from first (first below 0 counts as 0, first beyond the end
    /// gives an empty block, count is cut to what remains).
    CMemory Mid(int first, int count) const;
    /// Removes count bytes at index (index below 0 counts as 0, count is cut to
    /// the bytes after index; nothing for count below 1 or index at or past the
    /// end). Returns the new size.
    int Delete(int index, int count);

    unsigned char* GetData() { return m_pData; }
    const unsigned char* GetData() const { return m_pData; }
    int GetSize() const { return m_nSize; }
    bool IsOwner() const { return m_bOwns; }

private:
    unsigned char* m_pData = nullptr;
    int m_nSize = 0;
    bool m_bOwns = true;
};
