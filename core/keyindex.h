#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <cstdint>
#include <vector>

/// An open-addressing index from key bytes to a position in a list of keys that the owner keeps.
/// It stores only positions, so the keys are held once; lookups compare with the owner's list.
class KeyIndex
{
public:
    KeyIndex();

    void Clear();
    /// The position of key in keys, or -1.
    int Find(const QList<QByteArray>& keys, QByteArrayView key) const;
    /// Records that keys[position] is now indexed; the key must not be indexed yet.
    void Insert(const QList<QByteArray>& keys, int position);
    /// The position of key in keys; when it is absent, indexes it at newPosition (where the
    /// caller appends it next) and returns -1. Hashes the key once for both steps.
    int FindOrInsert(const QList<QByteArray>& keys, QByteArrayView key, int newPosition);

private:
    std::uint64_t Hash(QByteArrayView key) const;
    // Up to three quarters full: the hash tags keep probes cheap, and a million keys need half
    // the slots that a half-full table would.
    bool Crowded() const { return (m_count + 1) * 4 > m_slots.size() * 3; }
    void Grow(const QList<QByteArray>& keys);

    std::uint64_t m_seed;
    // A slot keeps the key's position and 32 bits of its hash, so most probes that miss never
    // touch the key itself. -1 marks an empty slot; the size is a power of two, at most three quarters full.
    struct Slot
    {
        int position = -1;
        std::uint32_t tag = 0;
    };
    void Place(std::uint64_t hash, int position);

    std::vector<Slot> m_slots;
    std::size_t m_count = 0;
};
