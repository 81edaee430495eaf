#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <cstdint>
#include <vector>

/// The high 64 bits of the 128-bit product a * b, from 32-bit halves: the fallback where the
/// compiler has no 128-bit integer, and the reference the fast path is tested against.
constexpr std::uint64_t MultiplyHigh64Portable(std::uint64_t a, std::uint64_t b)
{
    const std::uint64_t aLow = a & 0xffffffffu, aHigh = a >> 32;
    const std::uint64_t bLow = b & 0xffffffffu, bHigh = b >> 32;
    const std::uint64_t lowLow = aLow * bLow;
    const std::uint64_t highLow = aHigh * bLow;
    const std::uint64_t lowHigh = aLow * bHigh;
    // At most (2^32 - 1) * 2 + (2^32 - 1)^2 = 2^64 - 1: the middle sum cannot overflow.
    const std::uint64_t middle = (lowLow >> 32) + (highLow & 0xffffffffu) + lowHigh;
    return aHigh * bHigh + (highLow >> 32) + (middle >> 32);
}

/// The high 64 bits of the 128-bit product a * b.
inline std::uint64_t MultiplyHigh64(std::uint64_t a, std::uint64_t b)
{
#if defined(__SIZEOF_INT128__)
    __extension__ typedef unsigned __int128 Unsigned128; // __extension__: no pedantic warning
    return std::uint64_t(Unsigned128(a) * b >> 64);
#else
    return MultiplyHigh64Portable(a, b);
#endif
}

/// An open-addressing index from key bytes to positions in a list of keys that the owner keeps.
/// It stores only positions and hash bits, so the keys are held once, by the owner; lookups
/// compare with keyAt(position), which returns the key at a position (anything comparable with
/// a QByteArrayView).
class KeyIndex
{
public:
    KeyIndex();

    void Clear();
    /// Makes room for count keys in an empty index, so that filling it never rehashes.
    void Reserve(std::size_t count);
    std::size_t Count() const { return m_count; }

    /// The hash a key is filed under; lookups given it need not hash again.
    std::uint64_t Hash(QByteArrayView key) const;
    /// Asks the processor for the slot a key with this hash is looked for in first, so that the
    /// cache misses of many lookups overlap.
    void Prefetch(std::uint64_t hash) const
    {
#if defined(__GNUC__)
        __builtin_prefetch(&m_slots[Home(hash)]);
#else
        (void)hash;
#endif
    }
    /// The position filed in the first slot for this hash when its hash bits match, else -1:
    /// most likely the answer of a lookup, for fetching what that lookup will read.
    int Likely(std::uint64_t hash) const
    {
        const Slot& slot = m_slots[Home(hash)];
        return slot.tag == Tag(hash) ? slot.position : -1;
    }

    /// The position of key, or -1.
    template <class KeyAt> int Find(const KeyAt& keyAt, QByteArrayView key) const
    {
        return Find(keyAt, key, Hash(key));
    }
    /// The same, with key's hash (Hash) given.
    template <class KeyAt> int Find(const KeyAt& keyAt, QByteArrayView key, std::uint64_t h) const
    {
        const std::uint32_t tag = Tag(h);
        for (std::size_t i = Home(h);; i = Next(i)) {
            const Slot& slot = m_slots[i];
            if (slot.position < 0)
                return -1;
            if (slot.tag == tag && keyAt(slot.position) == key)
                return slot.position;
        }
    }

    /// The position of key; when it is absent, indexes it at newPosition (where the caller
    /// appends it next) and returns -1. Hashes the key once for both steps.
    template <class KeyAt> int FindOrInsert(const KeyAt& keyAt, QByteArrayView key, int newPosition)
    {
        return FindOrInsert(keyAt, key, Hash(key), newPosition);
    }
    /// The same, with key's hash (Hash) given.
    template <class KeyAt>
    int FindOrInsert(const KeyAt& keyAt, QByteArrayView key, std::uint64_t h, int newPosition)
    {
        if (Crowded())
            Grow(keyAt);
        const std::uint32_t tag = Tag(h);
        std::size_t i = Home(h);
        for (;; i = Next(i)) {
            const Slot& slot = m_slots[i];
            if (slot.position < 0)
                break;
            if (slot.tag == tag && keyAt(slot.position) == key)
                return slot.position;
        }
        m_slots[i] = Slot{newPosition, tag};
        ++m_count;
        return -1;
    }

private:
    // A slot keeps the key's position and 32 bits of its hash, so most probes that miss never
    // touch the key itself. -1 marks an empty slot.
    struct Slot
    {
        int position = -1;
        std::uint32_t tag = 0;
    };

    static std::uint32_t Tag(std::uint64_t hash)
    {
        return std::uint32_t(hash >> 32);
    }
    // The slot count need not be a power of two: the home slot scales the hash into the table
    // (a multiply and a shift), so the table can be sized to the keys, not to the next power.
    std::size_t Home(std::uint64_t hash) const
    {
        return std::size_t(MultiplyHigh64(hash, m_slots.size()));
    }
    std::size_t Next(std::size_t i) const
    {
        return i + 1 == m_slots.size() ? 0 : i + 1;
    }
    // At most three quarters full: the hash tags keep probes cheap at that load.
    bool Crowded() const
    {
        return (m_count + 1) * 4 > m_slots.size() * 3;
    }
    void Place(std::uint64_t hash, int position);

    template <class KeyAt> void Grow(const KeyAt& keyAt)
    {
        std::vector<Slot> old(m_slots.size() * 2);
        old.swap(m_slots);
        for (const Slot& slot : old)
            if (slot.position >= 0)
                Place(Hash(keyAt(slot.position)), slot.position);
    }

    std::uint64_t m_seed;
    std::vector<Slot> m_slots;
    std::size_t m_count = 0;
};
