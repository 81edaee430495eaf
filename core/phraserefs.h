#pragma once
#include "phraseline.h"

#include <QtGlobal>
#include <algorithm>
#include <cstddef>

// What PhraseDocument keeps per phrase besides its line number and state, each packed in a fixed
// few bytes: a template of a million phrases keeps a million of each.

/// Where a phrase's defining line lies in the template: its offset in the low 40 bits (a
/// terabyte) and its length in the 24 above, all ones for a line too long to say there.
class LineSpanRef
{
public:
    static constexpr int OffsetBits = 40;
    static constexpr int LengthBits = 24;
    static constexpr quint64 MaxOffset = (quint64(1) << OffsetBits) - 1;
    /// The length kept for a line of this many bytes or more, which is measured again when read.
    static constexpr quint64 LongLine = (quint64(1) << LengthBits) - 1;

    constexpr LineSpanRef() = default;
    /// The line from start, of length bytes; start is at most MaxOffset (the template's size is
    /// checked against it when loaded).
    static constexpr LineSpanRef Of(qsizetype start, qsizetype length)
    {
        Q_ASSERT(start >= 0 && quint64(start) <= MaxOffset && length >= 0);
        return LineSpanRef(quint64(start) | std::min(quint64(length), LongLine) << OffsetBits);
    }

    constexpr qsizetype Start() const { return qsizetype(m_bits & MaxOffset); }
    /// False for a line of LongLine bytes or more: Length is then LongLine, not the line's.
    constexpr bool LengthKnown() const { return m_bits >> OffsetBits != LongLine; }
    constexpr qsizetype Length() const { return qsizetype(m_bits >> OffsetBits); }

private:
    explicit constexpr LineSpanRef(quint64 bits) : m_bits(bits) {}
    quint64 m_bits = 0;
};
static_assert(LineSpanRef::OffsetBits + LineSpanRef::LengthBits == 64);
static_assert(sizeof(LineSpanRef) == sizeof(quint64));

/// Where a phrase's translation is, in 64 bits. All zero: the phrase's own template value. Top
/// bit clear otherwise: a value in the source-th merged file (from 1, bits 56..62), its length in
/// bits 40..55 and its offset in bits 0..39. Top bit set: an entry of one of two lists that the
/// document keeps, at the index in bits 0..61; bit 62 names the list (owned texts, or views of
/// merged values that the bits here cannot locate).
class TranslationRef
{
public:
    static constexpr int OffsetBits = 40;
    static constexpr int LengthBits = 16;
    static constexpr int SourceBits = 7;
    static constexpr quint64 MaxOffset = (quint64(1) << OffsetBits) - 1;
    static constexpr quint64 MaxLength = (quint64(1) << LengthBits) - 1;
    static constexpr quint64 MaxSource = (quint64(1) << SourceBits) - 1;
    static constexpr quint64 MaxIndex = (quint64(1) << 62) - 1;

    constexpr TranslationRef() = default; ///< the template's value
    static constexpr TranslationRef Template() { return TranslationRef(); }
    /// Whether a merged value can be located by source, offset and length here; one that cannot
    /// is named by a merged view.
    static constexpr bool CanRefer(quint64 source, quint64 offset, quint64 length)
    {
        return source >= 1 && source <= MaxSource && offset <= MaxOffset && length <= MaxLength;
    }
    /// A value in a merged file, for which CanRefer holds.
    static constexpr TranslationRef Merged(quint64 source, quint64 offset, quint64 length)
    {
        Q_ASSERT(CanRefer(source, offset, length));
        return TranslationRef(source << SourceShift | length << OffsetBits | offset);
    }
    /// An entry of the owned texts.
    static constexpr TranslationRef Owned(std::size_t index)
    {
        Q_ASSERT(quint64(index) <= MaxIndex);
        return TranslationRef(ListBit | quint64(index));
    }
    /// An entry of the views of merged values.
    static constexpr TranslationRef MergedView(std::size_t index)
    {
        Q_ASSERT(quint64(index) <= MaxIndex);
        return TranslationRef(ListBit | ViewBit | quint64(index));
    }

    constexpr bool IsTemplate() const { return m_bits == 0; }
    constexpr bool IsOwned() const { return (m_bits & (ListBit | ViewBit)) == ListBit; }
    constexpr bool IsMergedView() const
    {
        return (m_bits & (ListBit | ViewBit)) == (ListBit | ViewBit);
    }
    /// For an owned text or a merged view: its place in its list.
    constexpr std::size_t Index() const { return std::size_t(m_bits & MaxIndex); }
    /// For a value located in a merged file: the file (from 1), and the offset and length there.
    constexpr std::size_t Source() const { return std::size_t(m_bits >> SourceShift & MaxSource); }
    constexpr qsizetype Offset() const { return qsizetype(m_bits & MaxOffset); }
    constexpr qsizetype Length() const { return qsizetype(m_bits >> OffsetBits & MaxLength); }

    friend constexpr bool operator==(TranslationRef, TranslationRef) = default;

private:
    static constexpr int SourceShift = OffsetBits + LengthBits;
    static constexpr quint64 ListBit = quint64(1) << 63;
    static constexpr quint64 ViewBit = quint64(1) << 62;
    explicit constexpr TranslationRef(quint64 bits) : m_bits(bits) {}
    quint64 m_bits = 0;
};
static_assert(TranslationRef::OffsetBits + TranslationRef::LengthBits + TranslationRef::SourceBits +
                  1 ==
              64);
static_assert(sizeof(TranslationRef) == sizeof(quint64));

/// A phrase's kind and the convention its translation's text is in (the quote it was read in:
/// ' or ", h for a heredoc, n for a nowdoc, or none), in a byte.
class PhraseKindCode
{
public:
    constexpr PhraseKindCode() = default;
    constexpr PhraseKindCode(PhraseLineKind kind, char quote)
        : m_bits(quint8(quint8(kind) | QuoteBits(quote) << QuoteShift))
    {
    }
    constexpr PhraseLineKind Kind() const { return PhraseLineKind(m_bits & KindMask); }
    /// ' " h n, or 0.
    constexpr char Quote() const
    {
        constexpr char quotes[] = {'"', '\'', 'h', 'n', '\0'};
        const int q = m_bits >> QuoteShift;
        return q < 5 ? quotes[q] : '"';
    }

private:
    static constexpr quint8 KindMask = 0x0F;
    static constexpr int QuoteShift = 4;
    static constexpr quint8 QuoteBits(char quote)
    {
        return quote == '\'' ? 1 : quote == 'h' ? 2 : quote == 'n' ? 3 : quote == '\0' ? 4 : 0;
    }
    static_assert(quint8(PhraseLineKind::lkAppend) <= KindMask);
    quint8 m_bits = 0;
};
static_assert(sizeof(PhraseKindCode) == 1);
