#pragma once
/// @class CMap
/// A chained hash table with the
/// application framework's interface. The table has 17 buckets unless
/// InitHashTable chooses another size before the first insertion. POSITION
/// iteration visits every association once, in no particular order.
#include <zep3/platform/String.h>
#include <zep3/platform/WinTypes.h>

#include <cstring>
#include <type_traits>
#include <vector>

/// Hash of a key: integers and pointers by value, texts by their bytes.
template <class ARG_KEY> inline UINT HashKey(ARG_KEY key) {
    if constexpr (std::is_pointer_v<ARG_KEY>) return static_cast<UINT>(reinterpret_cast<uintptr_t>(key) >> 4);
    else return static_cast<UINT>(static_cast<uintptr_t>(key) >> 4);
}
inline UINT HashKeyBytes(const char* s, size_t n) {
    UINT hash = 0;
    for (size_t i = 0; i < n; ++i) hash = (hash << 5) + hash + static_cast<unsigned char>(s[i]);
    return hash;
}
template <> inline UINT HashKey<const char*>(const char* key) {
    return key ? HashKeyBytes(key, std::strlen(key)) : 0;
}
template <> inline UINT HashKey<const CString&>(const CString& key) {
    return HashKeyBytes(key, static_cast<size_t>(key.GetLength()));
}
template <> inline UINT HashKey<CString>(CString key) {
    return HashKeyBytes(key, static_cast<size_t>(key.GetLength()));
}

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE> class CMap {
    struct Assoc {
        Assoc* next;
        UINT hash;
        KEY key;
        VALUE value;
    };

public:
    ///@{
    /// An empty map, or a deep copy of another.
    CMap() = default;
    CMap(const CMap& other) { CopyFrom(other); }
    CMap& operator=(const CMap& other) {
        if (this != &other) {
            RemoveAll();
            CopyFrom(other);
        }
        return *this;
    }
    ///@}
    ~CMap() { RemoveAll(); }

    ///@{
    /// The number of associations.
    INT_PTR GetCount() const { return m_count; }
    INT_PTR GetSize() const { return m_count; }
    ///@}
    /// True when the map has no associations.
    bool IsEmpty() const { return m_count == 0; }
    /// The number of buckets.
    UINT GetHashTableSize() const { return m_tableSize; }

    /// Takes effect while the map is empty.
    void InitHashTable(UINT size, bool = true) {
        if (m_count == 0 && size > 0) {
            m_buckets.clear();
            m_tableSize = size;
        }
    }

    /// Copies the value of key into value; false (value unchanged) when absent.
    bool Lookup(ARG_KEY key, VALUE& value) const {
        const Assoc* a = Find(key);
        if (a) value = a->value;
        return a != nullptr;
    }
    /// The value of key, or null when absent.
    const VALUE* PLookup(ARG_KEY key) const {
        const Assoc* a = Find(key);
        return a ? &a->value : nullptr;
    }
    /// The value of key, inserted value-initialised when absent.
    VALUE& operator[](ARG_KEY key) {
        Assoc* a = Find(key);
        if (a) return a->value;
        if (m_buckets.empty()) m_buckets.assign(m_tableSize, nullptr);
        UINT h = HashKey<ARG_KEY>(key);
        Assoc*& head = m_buckets[h % m_tableSize];
        head = new Assoc{head, h, KEY(key), VALUE()};
        ++m_count;
        return head->value;
    }
    /// Inserts or replaces the value of key.
    void SetAt(ARG_KEY key, ARG_VALUE value) { (*this)[key] = value; }
    /// Removes key's association; false when absent.
    bool RemoveKey(ARG_KEY key) {
        if (m_buckets.empty()) return false;
        for (Assoc** link = &m_buckets[HashKey<ARG_KEY>(key) % m_tableSize]; *link; link = &(*link)->next) {
            if ((*link)->key == key) {
                Assoc* gone = *link;
                *link = gone->next;
                delete gone;
                --m_count;
                return true;
            }
        }
        return false;
    }
    /// Removes every association.
    void RemoveAll() {
        for (Assoc* head : m_buckets) {
            while (head) {
                Assoc* next = head->next;
                delete head;
                head = next;
            }
        }
        m_buckets.clear();
        m_count = 0;
    }

    /// Starts an iteration: pass the result to GetNextAssoc until it becomes
    /// null. Null for an empty map.
    POSITION GetStartPosition() const { return m_count ? BEFORE_START_POSITION : nullptr; }
    /// Copies out the next association and moves p on (null after the last one).
    /// The map must not change during the iteration.
    void GetNextAssoc(POSITION& p, KEY& key, VALUE& value) const {
        const Assoc* a = p == BEFORE_START_POSITION ? FirstFrom(0) : reinterpret_cast<const Assoc*>(p);
        if (!a) {
            p = nullptr;
            return;
        }
        key = a->key;
        value = a->value;
        const Assoc* next = a->next ? a->next : FirstFrom(a->hash % m_tableSize + 1);
        p = reinterpret_cast<POSITION>(const_cast<Assoc*>(next));
    }

private:
    Assoc* Find(ARG_KEY key) const {
        if (m_buckets.empty()) return nullptr;
        for (Assoc* a = m_buckets[HashKey<ARG_KEY>(key) % m_tableSize]; a; a = a->next)
            if (a->key == key) return a;
        return nullptr;
    }
    const Assoc* FirstFrom(size_t bucket) const {
        for (; bucket < m_buckets.size(); ++bucket)
            if (m_buckets[bucket]) return m_buckets[bucket];
        return nullptr;
    }
    void CopyFrom(const CMap& other) {
        m_tableSize = other.m_tableSize;
        for (const Assoc* head : other.m_buckets)
            for (const Assoc* a = head; a; a = a->next) SetAt(a->key, a->value);
    }

    std::vector<Assoc*> m_buckets;
    UINT m_tableSize = 17;
    INT_PTR m_count = 0;
};
