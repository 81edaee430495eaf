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

} // namespace

// A seed per run, so that a hand-crafted file cannot line its keys up in one probe chain.
KeyIndex::KeyIndex() : m_seed(QRandomGenerator::system()->generate64()), m_slots(InitialSlots) {}

void KeyIndex::Clear()
{
    // Swapped out rather than assigned, so the slots of a huge file go back to the system.
    std::vector<Slot>(InitialSlots).swap(m_slots);
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

void KeyIndex::Reserve(std::size_t count)
{
    // Only an empty index is resized here; one that holds keys grows as it fills.
    const std::size_t slotCount = count + count / 3 + 1;
    if (m_count != 0 || slotCount <= m_slots.size())
        return;
    m_slots.assign(slotCount, Slot{});
}

void KeyIndex::Place(std::uint64_t hash, int position)
{
    std::size_t i = Home(hash);
    while (m_slots[i].position >= 0)
        i = Next(i);
    m_slots[i] = Slot{position, Tag(hash)};
}
