// The wildcard mask matcher, on any mask and text. The input is the mask, a line feed, then the
// text. Every answer, and every compile error with its position, is compared with a plain
// recursive matcher below, in a single-byte encoding and in multi-byte ones whose characters take
// two (Shift_JIS), three (EUC-JP), four (GB18030) or up to four (UTF-8) bytes. The same text,
// upper-cased by each codec, keeps its characters as they were split.
#include "fuzzcheck.h"
#include "masks.h"
#include "textcodec.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace {

using Byte = unsigned char;

Byte Upper(Byte b)
{
    return b >= 'a' && b <= 'z' ? Byte(b - 'a' + 'A') : b;
}

QByteArrayView UpToNul(QByteArrayView bytes)
{
    const qsizetype nul = bytes.indexOf('\0');
    return nul < 0 ? bytes : bytes.first(nul);
}

// The characters of bytes, split by the encoding's lead bytes, as views into them.
std::vector<QByteArrayView> Split(QByteArrayView bytes, const LeadByteTable& lead)
{
    std::vector<QByteArrayView> out;
    const auto* const begin = reinterpret_cast<const Byte*>(bytes.data());
    const auto* const end = begin + bytes.size();
    for (const Byte* p = begin; p < end;) {
        const std::size_t n = lead.CharLength(p, end);
        FUZZ_REQUIRE(n >= 1 && n <= 4 && n <= std::size_t(end - p));
        out.emplace_back(bytes.sliced(p - begin, qsizetype(n)));
        p += n;
    }
    return out;
}

bool Is(QByteArrayView ch, char c)
{
    return ch.size() == 1 && ch[0] == c;
}

// What a character is compared by: a single byte ASCII upper-cased, a longer character as its
// bytes read as one number, which puts it above every single byte.
std::int64_t Value(QByteArrayView ch)
{
    if (ch.size() == 1)
        return Upper(Byte(ch[0]));
    std::int64_t v = 0;
    for (char c : ch)
        v = v * 256 + Byte(c);
    return v;
}

// One element of a mask as written: a run of stars, any one character, a set, or a literal.
struct Element
{
    enum Kind { Star, Any, Set, Literal };
    explicit Element(Kind k) : kind(k) {}

    Kind kind;
    std::int64_t value = 0;                                    // Literal
    bool negated = false;                                      // Set
    std::vector<std::pair<std::int64_t, std::int64_t>> ranges; // Set: values, ends included
};

// The mask's elements, or the 1-based byte where it fails to compile: a '-' with no single
// member before it, a set without its ']' (reported one past the end), a set with no member
// (at its ']'), or more than MaxStarGroups elements behind runs of stars (at the byte that ends
// the element; the end of the mask counts as one, at one past the end). A '?' with only stars
// and '?' between it and a star is dropped.
struct Compiled
{
    std::vector<Element> elements;
    int errorPosition = 0;
};

Compiled Compile(QByteArrayView maskBytes, const LeadByteTable& lead)
{
    const QByteArrayView mask = UpToNul(maskBytes);
    const std::vector<QByteArrayView> chars = Split(mask, lead);
    const auto n = chars.size();
    // The 1-based position of the last byte of character i.
    const auto endOf = [&](std::size_t i) {
        return int(chars[i].data() - mask.data() + chars[i].size());
    };
    Compiled c;
    bool afterStar = false;
    int groups = 0;
    // False when this element is one group too many.
    const auto add = [&](Element e, int position) {
        if (afterStar && ++groups > MaxStarGroups) {
            c.errorPosition = position;
            return false;
        }
        afterStar = false;
        c.elements.push_back(std::move(e));
        return true;
    };
    for (std::size_t i = 0; i < n;) {
        if (Is(chars[i], '*')) {
            if (c.elements.empty() || c.elements.back().kind != Element::Star)
                c.elements.push_back(Element(Element::Star));
            afterStar = true;
            ++i;
        } else if (Is(chars[i], '?')) {
            if (!afterStar && !add(Element(Element::Any), endOf(i)))
                return c;
            ++i;
        } else if (Is(chars[i], '[')) {
            Element set(Element::Set);
            std::size_t j = i + 1;
            if (j < n && Is(chars[j], '!')) {
                set.negated = true;
                ++j;
            }
            std::int64_t single = -1; // the last single member: where a range starts
            for (; j < n && !Is(chars[j], ']'); ++j) {
                if (!Is(chars[j], '-')) {
                    single = Value(chars[j]);
                    set.ranges.emplace_back(single, single);
                    continue;
                }
                if (single < 0) {
                    c.errorPosition = endOf(j);
                    return c;
                }
                if (++j == n)
                    break;
                if (Value(chars[j]) >= single)
                    set.ranges.emplace_back(single, Value(chars[j]));
            }
            if (j >= n) {
                c.errorPosition = int(mask.size() + 1);
                return c;
            }
            if (set.ranges.empty()) {
                c.errorPosition = endOf(j);
                return c;
            }
            if (!add(std::move(set), endOf(j)))
                return c;
            i = j + 1;
        } else {
            Element literal(Element::Literal);
            literal.value = Value(chars[i]);
            if (!add(std::move(literal), endOf(i)))
                return c;
            ++i;
        }
    }
    if (afterStar && ++groups > MaxStarGroups)
        c.errorPosition = int(mask.size() + 1);
    return c;
}

// Does text[t...] fit elements[k...]? Memoised, so its work is elements times text characters.
class Matcher
{
public:
    Matcher(const std::vector<Element>& elements, QByteArrayView text, const LeadByteTable& lead)
        : m_elements(elements), m_text(Split(UpToNul(text), lead)),
          m_memo((elements.size() + 1) * (m_text.size() + 1), -1)
    {
    }

    bool Match(size_t k = 0, size_t t = 0)
    {
        if (k == m_elements.size())
            return t == m_text.size();
        signed char& memo = m_memo[k * (m_text.size() + 1) + t];
        if (memo >= 0)
            return memo;
        const Element& e = m_elements[k];
        const bool more = t < m_text.size();
        const std::int64_t v = more ? Value(m_text[t]) : -1;
        bool fits = false;
        switch (e.kind) {
        case Element::Star:
            fits = Match(k + 1, t) || (more && Match(k, t + 1));
            break;
        case Element::Any:
            fits = more && Match(k + 1, t + 1);
            break;
        case Element::Set: {
            bool member = false;
            for (const auto& [from, to] : e.ranges)
                member = member || (v >= from && v <= to);
            fits = more && member != e.negated && Match(k + 1, t + 1);
            break;
        }
        case Element::Literal:
            fits = more && v == e.value && Match(k + 1, t + 1);
            break;
        }
        memo = fits;
        return fits;
    }

private:
    const std::vector<Element>& m_elements;
    std::vector<QByteArrayView> m_text;
    std::vector<signed char> m_memo;
};

// Compiles and matches; the outcome is the answer, or the error position when compiling fails.
struct Outcome
{
    bool accepted = false;
    int errorPosition = 0;
};

Outcome Run(QByteArrayView mask, QByteArrayView text, const LeadByteTable& lead)
{
    try {
        const TMask compiled(mask, lead);
        return {compiled.Accepts(text), 0};
    } catch (const EMaskError& e) {
        FUZZ_REQUIRE(e.mask() == UpToNul(mask));
        FUZZ_REQUIRE(e.position() >= 1 && e.position() <= UpToNul(mask).size() + 1);
        FUZZ_REQUIRE(std::strlen(e.what()) > 0);
        return {false, e.position()};
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The recursion goes as deep as elements plus text characters; these bounds keep it shallow
    // and quick. Longer inputs still go through the matcher itself.
    constexpr qsizetype MaxReferenceMask = 256;
    constexpr qsizetype MaxReferenceText = 256;

    const QByteArrayView input(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype lf = input.indexOf('\n');
    const QByteArrayView mask = lf < 0 ? input : input.first(lf);
    const QByteArrayView text = lf < 0 ? QByteArrayView() : input.sliced(lf + 1);
    const bool checked =
        UpToNul(mask).size() <= MaxReferenceMask && UpToNul(text).size() <= MaxReferenceText;

    // Made once: the codecs ask the converters which bytes lead and which letters fold.
    static const TextCodec codecs[] = {TextCodec("windows-1251"), TextCodec("UTF-8"),
                                       TextCodec("Shift_JIS"), TextCodec("EUC-JP"),
                                       TextCodec("GB18030")};
    for (const TextCodec& codec : codecs) {
        const LeadByteTable& lead = codec.LeadBytes();
        const Outcome outcome = Run(mask, text, lead);
        if (checked) {
            const Compiled reference = Compile(mask, lead);
            FUZZ_REQUIRE(outcome.errorPosition == reference.errorPosition);
            if (reference.errorPosition == 0)
                FUZZ_REQUIRE(outcome.accepted == Matcher(reference.elements, text, lead).Match());
        }
        // Upper-casing changes letters, never how a text of whole characters splits: a
        // case-insensitive search steps over the capitals as over the text. (A lone lead byte
        // and a digit may join a capital that is longer than its letter into one GB18030
        // character, as è of two bytes becomes È of four.)
        const std::vector<QByteArrayView> chars = Split(UpToNul(text), lead);
        const bool whole = std::none_of(chars.begin(), chars.end(), [&](QByteArrayView ch) {
            return ch.size() == 1 && lead.IsLead(Byte(ch[0]));
        });
        if (whole)
            FUZZ_REQUIRE(Split(codec.UpperCase(UpToNul(text)), lead).size() == chars.size());
    }
    return 0;
}
