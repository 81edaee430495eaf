#include "keyindex.h"

#include <QRandomGenerator>
#include <cstring>

namespace {

constexpr std::size_t InitialSlots = 1024;

inline std::uint64_t Mix(std::uint64_t x)
{
    x ^= x >> 31;
    x *= 0xbf58476d1ce4e5b9ULL;
    x ^= x >> 29;
    x *= 0x94d049bb133111ebULL;
    x ^= x >> 32;
    return x;
}

inline std::uint32_t Tag(std::uint64_t hash) { return std::uint32_t(hash >> 32); }

} // namespace

// A seed per run, so that a hand-crafted file cannot line its keys up in one probe chain.
KeyIndex::KeyIndex() : m_seed(QRandomGenerator::system()->generate64()), m_slots(InitialSlots) {}

void KeyIndex::Clear()
{
    m_slots.assign(InitialSlots, Slot{});
    m_count = 0;
}

std::uint64_t KeyIndex::Hash(QByteArrayView key) const
{
    const char* p = key.data();
    std::size_t n = std::size_t(key.size());
    std::uint64_t h = m_seed ^ (n * 0x9E3779B97F4A7C15ULL);
    // One multiply per 8 bytes and a full mix at the end: keys are short and hashed often.
    while (n >= 8) {
        std::uint64_t v;
        std::memcpy(&v, p, 8);
        h = (h ^ v) * 0x9FB21C651E98DF25ULL;
        h ^= h >> 29;
        p += 8;
        n -= 8;
    }
    if (n > 0) {
        // The last bytes: overlapping the previous word when the key is long enough, which
        // avoids a copy of variable length.
        std::uint64_t v = 0;
        if (key.size() >= 8)
            std::memcpy(&v, key.data() + key.size() - 8, 8);
        else
            for (std::size_t i = 0; i < n; ++i)
                v |= std::uint64_t(static_cast<unsigned char>(p[i])) << (8 * i);
        h = (h ^ v) * 0x9FB21C651E98DF25ULL;
    }
    return Mix(h);
}

int KeyIndex::Find(const QList<QByteArray>& keys, QByteArrayView key) const
{
    const std::uint64_t h = Hash(key);
    const std::uint32_t tag = Tag(h);
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t i = h & mask;; i = (i + 1) & mask) {
        const Slot& slot = m_slots[i];
        if (slot.position < 0)
            return -1;
        if (slot.tag == tag && keys.at(slot.position) == key)
            return slot.position;
    }
}

int KeyIndex::FindOrInsert(const QList<QByteArray>& keys, QByteArrayView key, int newPosition)
{
    if (Crowded())
        Grow(keys);
    const std::uint64_t h = Hash(key);
    const std::uint32_t tag = Tag(h);
    const std::size_t mask = m_slots.size() - 1;
    std::size_t i = h & mask;
    for (;; i = (i + 1) & mask) {
        const Slot& slot = m_slots[i];
        if (slot.position < 0)
            break;
        if (slot.tag == tag && keys.at(slot.position) == key)
            return slot.position;
    }
    m_slots[i] = Slot{newPosition, tag};
    ++m_count;
    return -1;
}

void KeyIndex::Insert(const QList<QByteArray>& keys, int position)
{
    if (Crowded())
        Grow(keys);
    Place(Hash(keys.at(position)), position);
    ++m_count;
}

void KeyIndex::Place(std::uint64_t hash, int position)
{
    const std::size_t mask = m_slots.size() - 1;
    std::size_t i = hash & mask;
    while (m_slots[i].position >= 0)
        i = (i + 1) & mask;
    m_slots[i] = Slot{position, Tag(hash)};
}

void KeyIndex::Grow(const QList<QByteArray>& keys)
{
    std::vector<Slot> old(m_slots.size() * 2);
    old.swap(m_slots);
    for (const Slot& slot : old)
        if (slot.position >= 0)
            Place(Hash(keys.at(slot.position)), slot.position);
}
