#include <zep3/foundation/detail/IniTable.h>

#include <cstring>

namespace zep3detail {

namespace {

constexpr size_t kBlockSize = 64 * 1024;
constexpr size_t kCompactFloor = 1024 * 1024;

// Eight bytes per round through a multiply-xorshift, then a final mix so
// that the low bits (the home slot) depend on every byte.
uint64_t hashBytes(const char* p, size_t n) {
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

} // namespace

void IniTable::Clear() {
    m_slots.clear();
    m_items.clear();
    m_freeItems.clear();
    m_count = 0;
    m_blocks.clear();
    m_next = nullptr;
    m_left = 0;
    m_liveBytes = m_deadBytes = 0;
}

void IniTable::Reserve(size_t n) {
    size_t capacity = 16;
    while (capacity < 2 * n) capacity *= 2;
    if (capacity > m_slots.size()) rehash(capacity);
    m_items.reserve(n);
}

size_t IniTable::probe(const char* key, size_t length, uint64_t hash, bool& found) const {
    const size_t mask = m_slots.size() - 1;
    const uint64_t tag = hash >> 32;
    size_t i = hash & mask;
    while (uint64_t s = m_slots[i]) {
        if ((s >> 32) == tag) {
            const IniItem& item = m_items[index(s)];
            if (item.keyLength == length && std::memcmp(item.key, key, length) == 0) {
                found = true;
                return i;
            }
        }
        i = (i + 1) & mask;
    }
    found = false;
    return i;
}

size_t IniTable::Find(const char* key, size_t length) const {
    if (m_count == 0) return npos;
    bool found;
    size_t slot = probe(key, length, hashBytes(key, length), found);
    return found ? slot : npos;
}

// Returns the item index for the key, adding an item (with the key set and
// no value) when there was none.
size_t IniTable::insert(const char* key, size_t length, uint64_t hash, bool& existed) {
    if (2 * (m_count + 1) > m_slots.size()) rehash(m_slots.empty() ? 16 : 2 * m_slots.size());
    size_t slot = probe(key, length, hash, existed);
    if (existed) return index(m_slots[slot]);
    size_t i;
    if (!m_freeItems.empty()) {
        i = m_freeItems.back();
        m_freeItems.pop_back();
    } else {
        i = m_items.size();
        m_items.emplace_back();
    }
    IniItem& item = m_items[i];
    item.key = key;
    item.keyLength = length;
    item.hash = hash;
    item.value = nullptr;
    item.valueLength = 0;
    m_slots[slot] = ((hash >> 32) << 32) | (uint64_t(i) + 1);
    ++m_count;
    m_liveBytes += length;
    return i;
}

void IniTable::SetStored(const char* key, size_t keyLength, char* value, size_t valueLength) {
    bool existed;
    IniItem& item = m_items[insert(key, keyLength, hashBytes(key, keyLength), existed)];
    m_deadBytes += item.valueLength;
    m_liveBytes += valueLength;
    m_liveBytes -= item.valueLength;
    item.value = value;
    item.valueLength = valueLength;
}

void IniTable::Set(const char* key, size_t keyLength, const char* value, size_t valueLength) {
    uint64_t hash = hashBytes(key, keyLength);
    bool found;
    size_t slot = m_slots.empty() ? npos : probe(key, keyLength, hash, found);
    if (slot != npos && found) {
        IniItem& item = m_items[index(m_slots[slot])];
        if (valueLength <= item.valueLength) {
            if (valueLength) std::memmove(item.value, value, valueLength);
            m_deadBytes += item.valueLength - valueLength;
            m_liveBytes -= item.valueLength - valueLength;
            item.valueLength = valueLength;
        } else {
            char* stored = Allocate(valueLength);
            std::memcpy(stored, value, valueLength);
            m_deadBytes += item.valueLength;
            m_liveBytes += valueLength - item.valueLength;
            item.value = stored;
            item.valueLength = valueLength;
        }
    } else {
        char* storedKey = Allocate(keyLength + valueLength);
        std::memcpy(storedKey, key, keyLength);
        if (valueLength) std::memcpy(storedKey + keyLength, value, valueLength);
        bool existed;
        IniItem& item = m_items[insert(storedKey, keyLength, hash, existed)];
        item.value = storedKey + keyLength;
        item.valueLength = valueLength;
        m_liveBytes += valueLength;
    }
    compactIfWasteful();
}

void IniTable::RemoveAt(size_t slot) {
    size_t i = index(m_slots[slot]);
    IniItem& item = m_items[i];
    m_liveBytes -= item.keyLength + item.valueLength;
    m_deadBytes += item.keyLength + item.valueLength;
    item = IniItem();
    m_freeItems.push_back(static_cast<uint32_t>(i));
    --m_count;

    // Backward-shift deletion: pull later members of the probe run into the
    // hole so that lookups never need tombstones.
    const size_t mask = m_slots.size() - 1;
    size_t hole = slot;
    for (size_t j = (hole + 1) & mask; m_slots[j]; j = (j + 1) & mask) {
        size_t home = m_items[index(m_slots[j])].hash & mask;
        if (((j - home) & mask) >= ((j - hole) & mask)) {
            m_slots[hole] = m_slots[j];
            hole = j;
        }
    }
    m_slots[hole] = 0;
    compactIfWasteful();
}

void IniTable::rehash(size_t capacity) {
    std::vector<uint64_t> slots(capacity, 0);
    const size_t mask = capacity - 1;
    for (uint64_t s : m_slots) {
        if (!s) continue;
        size_t i = m_items[index(s)].hash & mask;
        while (slots[i]) i = (i + 1) & mask;
        slots[i] = s;
    }
    m_slots.swap(slots);
}

char* IniTable::Allocate(size_t n) {
    if (n == 0) n = 1; // never null: a null key marks a free entry
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
void IniTable::compactIfWasteful() {
    if (m_deadBytes < kCompactFloor || m_deadBytes < m_liveBytes) return;
    std::unique_ptr<char[]> block(new char[m_liveBytes ? m_liveBytes : 1]);
    char* p = block.get();
    for (IniItem& item : m_items) {
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

} // namespace zep3detail
