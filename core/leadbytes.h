#pragma once
#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>

/// Which bytes of an encoding begin a character of more than one byte, and which bytes may
/// complete one. A byte that does not begin a well-formed character is a character of its own,
/// as the decoders show it: one replacement character per stray byte.
struct LeadByteTable
{
    enum class Scheme { SingleByte, DoubleByte, Utf8 };

    Scheme scheme = Scheme::SingleByte;
    std::array<bool, 256> lead{}; // true for a byte that starts a multi-byte character
    // DoubleByte: the bytes after a lead byte that complete its character.
    std::bitset<256> trail;
    // DoubleByte: a lead byte whose character takes two trail bytes (0x8F of EUC-JP).
    std::bitset<256> threeByteLead;
    // DoubleByte: lead, digit, lead, digit is one character (the four-byte forms of GB18030).
    bool fourByteForms = false;

    bool IsLead(unsigned char b) const { return lead[b]; }

    /// Length in bytes of the character that starts at p, never reaching past end (at least 1
    /// while p < end): a lead byte not followed by the bytes that complete it stands alone.
    std::size_t CharLength(const unsigned char* p, const unsigned char* end) const
    {
        if (p >= end)
            return 0;
        if (!lead[*p])
            return 1;
        const auto left = static_cast<std::size_t>(end - p);
        if (scheme == Scheme::Utf8) {
            const std::size_t n = *p >= 0xF0 ? 4 : *p >= 0xE0 ? 3 : 2;
            if (left < n)
                return 1;
            // The second byte's range excludes overlong forms, surrogates and values above
            // U+10FFFF, as the decoder does.
            const unsigned char lo = *p == 0xE0 ? 0xA0 : *p == 0xF0 ? 0x90 : 0x80;
            const unsigned char hi = *p == 0xED ? 0x9F : *p == 0xF4 ? 0x8F : 0xBF;
            if (p[1] < lo || p[1] > hi)
                return 1;
            for (std::size_t i = 2; i < n; ++i)
                if (p[i] < 0x80 || p[i] > 0xBF)
                    return 1;
            return n;
        }
        if (left < 2)
            return 1;
        if (fourByteForms && p[1] >= '0' && p[1] <= '9')
            return left >= 4 && lead[p[2]] && p[3] >= '0' && p[3] <= '9' ? 4 : 1;
        if (!trail[p[1]])
            return 1;
        if (threeByteLead[*p])
            return left >= 3 && trail[p[2]] ? 3 : 1;
        return 2;
    }

    /// The character of len bytes at p as one number, its bytes read big-endian: in UTF-8 the
    /// order of code points, in the double-byte encodings the order of their code tables. Every
    /// character of more than one byte comes after every single byte.
    static std::uint32_t CharValue(const unsigned char* p, std::size_t len)
    {
        std::uint32_t v = 0;
        for (std::size_t i = 0; i < len; ++i)
            v = v << 8 | p[i];
        return v;
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
