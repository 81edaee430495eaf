#pragma once
#include "errors.h"
#include "leadbytes.h"

#include <QByteArray>
#include <QByteArrayView>
#include <array>
#include <bitset>
#include <cstdint>
#include <utility>
#include <vector>

/// At most this many steps of a mask may follow a group of '*'; it also sizes the backtrack stack.
inline constexpr int MaxStarGroups = 30;

/// A mask that cannot be compiled: "'<mask>' is an invalid mask at (<position>)".
class EMaskError : public Exception
{
public:
    /// position is 1-based and counts bytes of the mask; lead tells how to decode the mask text.
    EMaskError(QByteArrayView mask, int position, const LeadByteTable& lead);

    /// The mask bytes up to its end (its first NUL), for callers that decode them their own way.
    const QByteArray& mask() const noexcept { return m_mask; }
    /// The 1-based byte of the mask at which compiling found the fault.
    int position() const noexcept { return m_position; }

private:
    QByteArray m_mask;
    int m_position;
};

/// One compiled element of a mask; a mask always ends with an mkChar step whose Char is 0.
struct MaskStep
{
    enum class Kind : unsigned char { mkChar, mkAnyChar, mkCharSet, mkDoubleByte };

    bool AfterStar = false; // a group of '*' stands before this step
    Kind kind = Kind::mkChar;
    unsigned char Char = 0;   // mkChar: the ASCII upper-cased byte; 0 marks the end of the mask
    bool Negated = false;     // mkCharSet: the set began with '!'
    std::bitset<256> Members; // mkCharSet: ASCII upper-cased byte values in the set
    // mkCharSet: the characters of more than one byte in the set, as ranges (both ends included)
    // of LeadByteTable::CharValue.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> WideMembers;
    std::array<unsigned char, 4> Bytes{}; // mkDoubleByte: one whole character, exactly as written
    unsigned char ByteCount = 0;          // mkDoubleByte: 2-4, as the encoding's character is long
};

/// A compiled wildcard mask: '*' any run, '?' one character, [set], [!set], literal otherwise.
/// In a multi-byte encoding every step, a set's members and its ranges included, takes whole
/// characters.
class TMask
{
public:
    /// Compiles mask; throws EMaskError. lead: which bytes begin multi-byte characters.
    explicit TMask(QByteArrayView mask, const LeadByteTable& lead = LeadByteTable::SingleByte());

    /// True when the whole text (up to its first NUL) fits the mask; only ASCII letters fold case.
    bool Accepts(QByteArrayView text) const;

private:
    using Byte = unsigned char;

    const Byte* Find(const MaskStep& step, const Byte* p, const Byte* end) const;
    int Pass(const MaskStep& step, const Byte* p, const Byte* end) const;
    // Find() and Pass() where characters may be longer than one byte: apart, so that the
    // single-byte scans stay as lean as they were.
    const Byte* FindCharacter(const MaskStep& step, const Byte* p, const Byte* end) const;
    int PassCharacter(const MaskStep& step, const Byte* p, const Byte* end) const;
    static bool IsWideMember(const MaskStep& step, const Byte* p, std::size_t len);
    // Bytes of the text character at p (p < end); a lead byte without what completes it is one.
    std::size_t CharLength(const Byte* p, const Byte* end) const
    {
        return m_multiByte ? m_lead.CharLength(p, end) : 1;
    }

    std::vector<MaskStep> m_steps;
    LeadByteTable m_lead;
    bool m_multiByte = false; // some byte begins a multi-byte character
};

/// Compiles mask and tests text against it in one call; an invalid mask throws EMaskError.
bool WildcardMatch(QByteArrayView text, QByteArrayView mask,
                   const LeadByteTable& lead = LeadByteTable::SingleByte());
