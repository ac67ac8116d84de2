#include <zep3/foundation/detail/IniTable.h>

#include <cstring>

namespace zep3::detail {

namespace {

constexpr size_t kBlockSize = 64 * 1024;
constexpr size_t kCompactFloor = 1024 * 1024;

} // namespace

// Eight bytes per round through a multiply-xorshift, then a final mix so
// that the low bits (the home slot) depend on every byte.
uint64_t IniTable::Hash(const char* p, size_t n) {
    const uint64_t m = 0x9E3779B97F4A7C15ull;
    uint64_t h = n * m;
    for (; n >= 8; p += 8, n -= 8) {
        uint64_t w;
        std::memcpy(&w, p, 8);
        h = (h ^ w) * m;
        h ^= h >> 29;
    }
    if (n) {
        uint64_t w = 0;
        std::memcpy(&w, p, n);
        h = (h ^ w) * m;
        h ^= h >> 29;
    }
    h ^= h >> 32;
    h *= 0xD6E8FEB86659FD93ull;
    h ^= h >> 32;
    return h;
}

void IniTable::Clear() {
    m_slots.clear();
    m_count = 0;
    m_blocks.clear();
    m_next = nullptr;
    m_left = 0;
    m_liveBytes = m_deadBytes = 0;
}

void IniTable::Reserve(size_t n) {
    size_t capacity = 16;
    while (capacity < 2 * n) capacity *= 2;
    if (capacity > m_slots.size()) Rehash(capacity);
}

size_t IniTable::Probe(const char* key, size_t length, uint64_t hash, bool& found) const {
    const size_t mask = m_slots.size() - 1;
    size_t i = hash & mask;
    for (; m_slots[i].key; i = (i + 1) & mask) {
        const IniItem& item = m_slots[i];
        if (item.hash == hash && item.keyLength == length && std::memcmp(item.key, key, length) == 0) {
            found = true;
            return i;
        }
    }
    found = false;
    return i;
}

size_t IniTable::Find(const char* key, size_t length) const {
    if (m_count == 0) return npos;
    bool found;
    size_t slot = Probe(key, length, Hash(key, length), found);
    return found ? slot : npos;
}

// The item for the key; a new one (key set, no value) when there was none.
IniItem& IniTable::Insert(const char* key, size_t length, uint64_t hash) {
    if (2 * (m_count + 1) > m_slots.size()) Rehash(m_slots.empty() ? 16 : 2 * m_slots.size());
    bool found;
    IniItem& item = m_slots[Probe(key, length, hash, found)];
    if (!found) {
        item.key = key;
        item.keyLength = static_cast<uint32_t>(length);
        item.hash = hash;
        item.value = nullptr;
        item.valueLength = 0;
        ++m_count;
        m_liveBytes += length;
    }
    return item;
}

void IniTable::SetValue(IniItem& item, char* value, size_t length) {
    m_deadBytes += item.valueLength;
    m_liveBytes += length;
    m_liveBytes -= item.valueLength;
    item.value = value;
    item.valueLength = static_cast<uint32_t>(length);
}

void IniTable::SetStored(const std::vector<IniItem>& items) {
    Reserve(m_count + items.size()); // no rehash below, so prefetched slots stay put
    const size_t mask = m_slots.size() - 1;
    // Slots are scattered over the table: asking for the slot of an item a
    // few places ahead hides most of the wait for memory.
    const size_t ahead = 8;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i + ahead < items.size()) __builtin_prefetch(&m_slots[items[i + ahead].hash & mask], 1);
        const IniItem& item = items[i];
        SetValue(Insert(item.key, item.keyLength, item.hash), item.value, item.valueLength);
    }
}

void IniTable::Set(const char* key, size_t keyLength, const char* value, size_t valueLength) {
    const uint64_t hash = Hash(key, keyLength);
    bool found = false;
    size_t slot = m_slots.empty() ? npos : Probe(key, keyLength, hash, found);
    if (found) {
        IniItem& item = m_slots[slot];
        if (valueLength <= item.valueLength) {
            if (valueLength) std::memmove(item.value, value, valueLength);
            m_deadBytes += item.valueLength - valueLength;
            m_liveBytes -= item.valueLength - valueLength;
            item.valueLength = static_cast<uint32_t>(valueLength);
        } else {
            char* stored = Allocate(valueLength);
            std::memcpy(stored, value, valueLength);
            m_deadBytes += item.valueLength;
            m_liveBytes += valueLength - item.valueLength;
            item.value = stored;
            item.valueLength = static_cast<uint32_t>(valueLength);
        }
    } else {
        // Key and value side by side: a lookup then reads one cache line.
        char* stored = Allocate(keyLength + valueLength);
        std::memcpy(stored, key, keyLength);
        if (valueLength) std::memcpy(stored + keyLength, value, valueLength);
        IniItem& item = Insert(stored, keyLength, hash);
        item.value = stored + keyLength;
        item.valueLength = static_cast<uint32_t>(valueLength);
        m_liveBytes += valueLength;
    }
    CompactIfWasteful();
}

void IniTable::RemoveAt(size_t slot) {
    const IniItem& removed = m_slots[slot];
    m_liveBytes -= removed.keyLength + removed.valueLength;
    m_deadBytes += removed.keyLength + removed.valueLength;
    --m_count;

    // Backward-shift deletion: pull later members of the probe run into the
    // hole so that lookups never need tombstones.
    const size_t mask = m_slots.size() - 1;
    size_t hole = slot;
    for (size_t j = (hole + 1) & mask; m_slots[j].key; j = (j + 1) & mask) {
        size_t home = m_slots[j].hash & mask;
        if (((j - home) & mask) >= ((j - hole) & mask)) {
            m_slots[hole] = m_slots[j];
            hole = j;
        }
    }
    m_slots[hole] = IniItem();
    CompactIfWasteful();
}

void IniTable::Rehash(size_t capacity) {
    std::vector<IniItem> slots(capacity);
    const size_t mask = capacity - 1;
    for (const IniItem& item : m_slots) {
        if (!item.key) continue;
        size_t i = item.hash & mask;
        while (slots[i].key) i = (i + 1) & mask;
        slots[i] = item;
    }
    m_slots.swap(slots);
}

char* IniTable::Allocate(size_t n) {
    if (n == 0) n = 1; // never null: a null key marks an empty slot
    if (n > m_left) {
        if (n > kBlockSize / 4) {
            // Large runs get a block of their own; the current block stays open.
            m_blocks.emplace_back(new char[n]);
            return m_blocks.back().get();
        }
        m_blocks.emplace_back(new char[kBlockSize]);
        m_next = m_blocks.back().get();
        m_left = kBlockSize;
    }
    char* p = m_next;
    m_next += n;
    m_left -= n;
    return p;
}

void IniTable::Adopt(std::unique_ptr<char[]> block) {
    if (block) m_blocks.push_back(std::move(block));
}

// Copies every live key and value into one fresh block and frees the rest.
void IniTable::CompactIfWasteful() {
    if (m_deadBytes < kCompactFloor || m_deadBytes < m_liveBytes) return;
    std::unique_ptr<char[]> block(new char[m_liveBytes ? m_liveBytes : 1]);
    char* p = block.get();
    for (IniItem& item : m_slots) {
        if (!item.key) continue;
        std::memcpy(p, item.key, item.keyLength);
        item.key = p;
        p += item.keyLength;
        if (item.valueLength) std::memcpy(p, item.value, item.valueLength);
        item.value = p;
        p += item.valueLength;
    }
    m_blocks.clear();
    m_blocks.push_back(std::move(block));
    m_next = nullptr;
    m_left = 0;
    m_deadBytes = 0;
}

} // namespace zep3::detail
