#pragma once
// The item table of a configuration store: one open-addressing hash table
// keyed by the full item path, so every access is one lookup whatever the
// depth of the path.
//
// Keys and values are byte runs held in blocks that the table owns. A file
// that is read is adopted as one block and its items point into it, so
// loading copies nothing. A replaced value is overwritten in place when the
// new one fits; the bytes left behind by replacements and removals are
// counted and the storage is compacted once they outweigh the live bytes.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace zep3detail {

struct IniItem {
    const char* key = nullptr; // null marks a free entry
    char* value = nullptr;
    size_t keyLength = 0;
    size_t valueLength = 0;
    uint64_t hash = 0;
};

class IniTable {
public:
    static constexpr size_t npos = ~size_t(0);

    size_t Count() const { return m_count; }
    void Clear();
    // Makes room for n items without rehashing.
    void Reserve(size_t n);

    // The slot of the item with this key, npos when absent.
    size_t Find(const char* key, size_t length) const;
    const IniItem& At(size_t slot) const { return m_items[index(m_slots[slot])]; }
    void RemoveAt(size_t slot);

    // Inserts or replaces, copying key and value into the table's storage.
    void Set(const char* key, size_t keyLength, const char* value, size_t valueLength);
    // Inserts or replaces with bytes that already live in the table's storage
    // (an adopted block or Allocate); nothing is copied.
    void SetStored(const char* key, size_t keyLength, char* value, size_t valueLength);

    // Storage for bytes that items will refer to; freed with the table.
    char* Allocate(size_t n);
    void Adopt(std::unique_ptr<char[]> block);

    // Calls f(const IniItem&) for every item, in no particular order.
    template <class F> void ForEach(F&& f) const {
        for (const IniItem& item : m_items)
            if (item.key) f(item);
    }

private:
    static size_t index(uint64_t slot) { return static_cast<size_t>(slot & 0xFFFFFFFFu) - 1; }
    size_t probe(const char* key, size_t length, uint64_t hash, bool& found) const;
    size_t insert(const char* key, size_t length, uint64_t hash, bool& existed);
    void rehash(size_t capacity);
    void compactIfWasteful();

    // Each slot holds the upper 32 bits of its item's hash and the item's
    // index + 1 in the low 32 bits; 0 is an empty slot.
    std::vector<uint64_t> m_slots;
    std::vector<IniItem> m_items;
    std::vector<uint32_t> m_freeItems;
    size_t m_count = 0;

    std::vector<std::unique_ptr<char[]>> m_blocks;
    char* m_next = nullptr;
    size_t m_left = 0;
    size_t m_liveBytes = 0;
    size_t m_deadBytes = 0;
};

} // namespace zep3detail
