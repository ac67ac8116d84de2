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

namespace zep3::detail {

// 32 bytes: two slots per cache line. Keys and values are limited to 4 GiB
// each (a longer line is not taken from a file).
struct IniItem {
    const char* key = nullptr; // null marks an empty slot
    char* value = nullptr;
    uint64_t hash = 0;
    uint32_t keyLength = 0;
    uint32_t valueLength = 0;
};
static_assert(sizeof(IniItem) == 32, "two slots per cache line");

constexpr size_t kMaxItemText = 0xFFFFFFFFu;

class IniTable {
public:
    static constexpr size_t npos = ~size_t(0);

    size_t Count() const { return m_count; }
    void Clear();
    // Makes room for n items without rehashing.
    void Reserve(size_t n);

    // The slot of the item with this key, npos when absent.
    size_t Find(const char* key, size_t length) const;
    const IniItem& At(size_t slot) const { return m_slots[slot]; }
    void RemoveAt(size_t slot);

    // Inserts or replaces, copying key and value into the table's storage.
    void Set(const char* key, size_t keyLength, const char* value, size_t valueLength);
    // Inserts or replaces, in order, items whose bytes already live in the
    // table's storage (an adopted block or Allocate); nothing is copied. Their
    // hash must be Hash(key). Later items replace earlier ones with the same key.
    void SetStored(const std::vector<IniItem>& items);
    static uint64_t Hash(const char* key, size_t length);

    // Storage for bytes that items will refer to; freed with the table.
    char* Allocate(size_t n);
    void Adopt(std::unique_ptr<char[]> block);

    // Calls f(const IniItem&) for every item, in no particular order.
    template <class F> void ForEach(F&& f) const {
        for (const IniItem& item : m_slots)
            if (item.key) f(item);
    }

private:
    size_t Probe(const char* key, size_t length, uint64_t hash, bool& found) const;
    IniItem& Insert(const char* key, size_t length, uint64_t hash);
    void SetValue(IniItem& item, char* value, size_t length);
    void Rehash(size_t capacity);
    void CompactIfWasteful();

    // Linear probing over the items themselves (no separate index), kept at
    // most half full, so a lookup usually touches one slot.
    std::vector<IniItem> m_slots;
    size_t m_count = 0;

    std::vector<std::unique_ptr<char[]>> m_blocks;
    char* m_next = nullptr;
    size_t m_left = 0;
    size_t m_liveBytes = 0;
    size_t m_deadBytes = 0;
};

} // namespace zep3::detail
