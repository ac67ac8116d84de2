#pragma once
/// @class CArray
/// A growable array with the application framework's
/// interface. New entries are value-initialised (zero for plain types). The
/// growth step only decides how much room is reserved ahead: by default
/// max(4, min(1024, size / 8)) entries. Indices are the caller's to keep valid.
#include <zep3/platform/WinTypes.h>

#include <algorithm>
#include <vector>

template <class TYPE, class ARG_TYPE = const TYPE&> class CArray {
public:
    CArray() = default;

    /// The number of entries.
    INT_PTR GetSize() const { return static_cast<INT_PTR>(m_data.size()); }
    /// The number of entries, as GetSize.
    INT_PTR GetCount() const { return GetSize(); }
    /// The last index: GetSize() - 1, so -1 for an empty array.
    INT_PTR GetUpperBound() const { return GetSize() - 1; }
    /// True when the array has no entries.
    bool IsEmpty() const { return m_data.empty(); }

    /// Grows (new entries value-initialised) or shrinks to newSize entries; a
    /// negative size counts as 0. growBy, when not -1, sets the growth step.
    void SetSize(INT_PTR newSize, INT_PTR growBy = -1) {
        if (growBy >= 0) m_growBy = growBy;
        if (newSize < 0) newSize = 0;
        ReserveFor(static_cast<size_t>(newSize));
        m_data.resize(static_cast<size_t>(newSize));
    }
    /// Gives back the room reserved beyond the current size.
    void FreeExtra() { m_data.shrink_to_fit(); }
    /// Removes every entry.
    void RemoveAll() { m_data.clear(); }

    ///@{
    /// The entry at index i, which must be valid.
    const TYPE& GetAt(INT_PTR i) const { return m_data[static_cast<size_t>(i)]; }
    TYPE& GetAt(INT_PTR i) { return m_data[static_cast<size_t>(i)]; }
    ///@}
    /// Replaces the entry at a valid index.
    void SetAt(INT_PTR i, ARG_TYPE e) { m_data[static_cast<size_t>(i)] = e; }
    /// A reference to the entry at a valid index.
    TYPE& ElementAt(INT_PTR i) { return m_data[static_cast<size_t>(i)]; }
    ///@{
    /// The entry at a valid index.
    const TYPE& operator[](INT_PTR i) const { return m_data[static_cast<size_t>(i)]; }
    TYPE& operator[](INT_PTR i) { return m_data[static_cast<size_t>(i)]; }
    ///@}
    ///@{
    /// The entries as one block; null while the array is empty. Valid until the
    /// array changes its size.
    const TYPE* GetData() const { return m_data.empty() ? nullptr : m_data.data(); }
    TYPE* GetData() { return m_data.empty() ? nullptr : m_data.data(); }
    ///@}

    /// Sets the entry at index i, growing the array to i + 1 entries first when
    /// needed; a negative index does nothing.
    void SetAtGrow(INT_PTR i, ARG_TYPE e) {
        if (i < 0) return;
        if (i >= GetSize()) SetSize(i + 1);
        m_data[static_cast<size_t>(i)] = e;
    }
    /// Appends one entry; returns its index.
    INT_PTR Add(ARG_TYPE e) {
        if (m_data.size() < m_data.capacity()) {
            m_data.push_back(e);
        } else {
            TYPE copy(e); // e may refer into the array, which is about to move
            ReserveFor(m_data.size() + 1);
            m_data.push_back(std::move(copy));
        }
        return GetUpperBound();
    }
    /// Appends copies of src's entries; returns the index
    /// of the first one.
    INT_PTR Append(const CArray& src) {
        INT_PTR old = GetSize();
        if (&src == this) {
            InsertAt(old, this); // copies first
            return old;
        }
        ReserveFor(m_data.size() + src.m_data.size());
        m_data.insert(m_data.end(), src.m_data.begin(), src.m_data.end());
        return old;
    }
    /// Replaces the entries by copies of src's.
    void Copy(const CArray& src) {
        if (this != &src) m_data = src.m_data;
    }
    ///@{
    /// Inserting past the end grows the array first.
    void InsertAt(INT_PTR i, ARG_TYPE e, INT_PTR count = 1) {
        if (i < 0 || count <= 0) return;
        if (i > GetSize()) SetSize(i);
        TYPE copy(e); // e may refer into the array
        ReserveFor(m_data.size() + static_cast<size_t>(count));
        m_data.insert(m_data.begin() + i, static_cast<size_t>(count), copy);
    }
    void InsertAt(INT_PTR start, const CArray* src) {
        if (!src || start < 0 || src->IsEmpty()) return;
        if (start > GetSize()) SetSize(start);
        std::vector<TYPE> items(src->m_data); // src may be this array
        m_data.insert(m_data.begin() + start, items.begin(), items.end());
    }
    ///@}
    /// Removes count entries from index i on; later entries move down.
    void RemoveAt(INT_PTR i, INT_PTR count = 1) {
        if (i < 0 || count <= 0 || i >= GetSize()) return;
        INT_PTR end = std::min(GetSize(), i + count);
        m_data.erase(m_data.begin() + i, m_data.begin() + end);
    }

    /// Standard iteration for range-for loops.
    typename std::vector<TYPE>::iterator begin() { return m_data.begin(); }
    typename std::vector<TYPE>::iterator end() { return m_data.end(); }
    typename std::vector<TYPE>::const_iterator begin() const { return m_data.begin(); }
    typename std::vector<TYPE>::const_iterator end() const { return m_data.end(); }

private:
    void ReserveFor(size_t needed) {
        if (needed <= m_data.capacity()) return;
        size_t step = m_growBy > 0 ? static_cast<size_t>(m_growBy)
                                   : std::max<size_t>(4, std::min<size_t>(1024, m_data.size() / 8));
        m_data.reserve(std::max(needed, m_data.size() + step));
    }

    std::vector<TYPE> m_data;
    INT_PTR m_growBy = 0;
};
