#pragma once
#include <array>
#include <cstddef>

/// Which bytes of an encoding begin a character of more than one byte.
struct LeadByteTable
{
    enum class Scheme { SingleByte, DoubleByte, Utf8 };

    Scheme scheme = Scheme::SingleByte;
    std::array<bool, 256> lead{}; // true for a byte that starts a multi-byte character

    bool IsLead(unsigned char b) const { return lead[b]; }

    /// Length in bytes of the character that starts at p, never reaching past end (at least 1).
    std::size_t CharLength(const unsigned char* p, const unsigned char* end) const
    {
        if (p >= end)
            return 0;
        std::size_t n = 1;
        if (lead[*p]) {
            if (scheme == Scheme::Utf8)
                n = *p >= 0xF0 ? 4 : *p >= 0xE0 ? 3 : 2;
            else
                n = 2;
        }
        const auto left = static_cast<std::size_t>(end - p);
        return n < left ? n : left;
    }

    static LeadByteTable SingleByte() { return {}; }
    static LeadByteTable Utf8()
    {
        LeadByteTable t;
        t.scheme = Scheme::Utf8;
        for (int b = 0xC2; b <= 0xF4; ++b)
            t.lead[static_cast<std::size_t>(b)] = true;
        return t;
    }
};
