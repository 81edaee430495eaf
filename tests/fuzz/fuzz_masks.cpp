// The wildcard mask matcher, on any mask and text. The input is the mask, a line feed, then the
// text. In the single-byte case every answer, and every compile error with its position, is
// compared with a plain recursive matcher below; the UTF-8 and Shift_JIS tables must give the same
// answers when no lead byte occurs, and must not crash when one does.
#include "fuzzcheck.h"
#include "masks.h"

#include <bitset>
#include <cstdint>
#include <cstring>
#include <optional>
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

// One element of a mask as written: a run of stars, any one byte, a set, or a literal byte.
struct Element
{
    enum Kind { Star, Any, Set, Literal };
    explicit Element(Kind k) : kind(k) {}

    Kind kind;
    Byte upper = 0;           // Literal
    bool negated = false;     // Set
    std::bitset<256> members; // Set: upper-cased bytes
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

Compiled Compile(QByteArrayView maskBytes)
{
    const QByteArrayView mask = UpToNul(maskBytes);
    const auto at = [&](qsizetype i) { return Byte(mask[i]); };
    const qsizetype n = mask.size();
    Compiled c;
    bool afterStar = false;
    int groups = 0;
    // False when this element is one group too many.
    const auto add = [&](Element e, qsizetype position) {
        if (afterStar && ++groups > MaxStarGroups) {
            c.errorPosition = int(position);
            return false;
        }
        afterStar = false;
        if (e.kind != Element::Star || c.elements.empty() || c.elements.back().kind != Element::Star)
            c.elements.push_back(e);
        return true;
    };
    for (qsizetype i = 0; i < n;) {
        const Byte b = at(i);
        if (b == '*') {
            if (c.elements.empty() || c.elements.back().kind != Element::Star)
                c.elements.push_back(Element(Element::Star));
            afterStar = true;
            ++i;
        } else if (b == '?') {
            if (!afterStar && !add(Element(Element::Any), i + 1))
                return c;
            ++i;
        } else if (b == '[') {
            Element set(Element::Set);
            qsizetype j = i + 1;
            if (j < n && at(j) == '!') {
                set.negated = true;
                ++j;
            }
            int single = -1; // the last single member: where a range starts
            for (; j < n && at(j) != ']'; ++j) {
                if (at(j) != '-') {
                    single = Upper(at(j));
                    set.members.set(size_t(single));
                    continue;
                }
                if (single < 0) {
                    c.errorPosition = int(j + 1);
                    return c;
                }
                if (++j == n)
                    break;
                for (int v = single; v <= Upper(at(j)); ++v)
                    set.members.set(size_t(v));
            }
            if (j >= n) {
                c.errorPosition = int(n + 1);
                return c;
            }
            if (set.members.none()) {
                c.errorPosition = int(j + 1);
                return c;
            }
            if (!add(set, j + 1))
                return c;
            i = j + 1;
        } else {
            Element literal(Element::Literal);
            literal.upper = Upper(b);
            if (!add(literal, i + 1))
                return c;
            ++i;
        }
    }
    if (afterStar && ++groups > MaxStarGroups)
        c.errorPosition = int(n + 1);
    return c;
}

// Does text[t...] fit elements[k...]? Memoised, so its work is elements times text length.
class Matcher
{
public:
    Matcher(const std::vector<Element>& elements, QByteArrayView text)
        : m_elements(elements), m_text(UpToNul(text)),
          m_memo((elements.size() + 1) * size_t(m_text.size() + 1), -1)
    {
    }

    bool Match(size_t k = 0, qsizetype t = 0)
    {
        if (k == m_elements.size())
            return t == m_text.size();
        signed char& memo = m_memo[k * size_t(m_text.size() + 1) + size_t(t)];
        if (memo >= 0)
            return memo;
        const Element& e = m_elements[k];
        const bool more = t < m_text.size();
        const Byte c = more ? Upper(Byte(m_text[t])) : 0;
        bool fits = false;
        switch (e.kind) {
        case Element::Star:
            fits = Match(k + 1, t) || (more && Match(k, t + 1));
            break;
        case Element::Any:
            fits = more && Match(k + 1, t + 1);
            break;
        case Element::Set:
            fits = more && e.members[c] != e.negated && Match(k + 1, t + 1);
            break;
        case Element::Literal:
            fits = more && c == e.upper && Match(k + 1, t + 1);
            break;
        }
        memo = fits;
        return fits;
    }

private:
    const std::vector<Element>& m_elements;
    QByteArrayView m_text;
    std::vector<signed char> m_memo;
};

// Compiles and matches; the outcome is the answer, or the error position when compiling fails.
struct Outcome
{
    bool accepted = false;
    int errorPosition = 0;
    friend bool operator==(const Outcome&, const Outcome&) = default;
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

bool HasLeadByte(QByteArrayView bytes, const LeadByteTable& lead)
{
    for (char c : UpToNul(bytes))
        if (lead.IsLead(Byte(c)))
            return true;
    return false;
}

LeadByteTable ShiftJis()
{
    LeadByteTable t;
    t.scheme = LeadByteTable::Scheme::DoubleByte;
    for (int b = 0x81; b <= 0xFC; ++b)
        t.lead[size_t(b)] = b <= 0x9F || b >= 0xE0;
    return t;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The recursion goes as deep as elements plus text bytes; these bounds keep it shallow and
    // quick. Longer inputs still go through the matcher itself.
    constexpr qsizetype MaxReferenceMask = 256;
    constexpr qsizetype MaxReferenceText = 256;

    const QByteArrayView input(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype lf = input.indexOf('\n');
    const QByteArrayView mask = lf < 0 ? input : input.first(lf);
    const QByteArrayView text = lf < 0 ? QByteArrayView() : input.sliced(lf + 1);

    const Outcome single = Run(mask, text, LeadByteTable::SingleByte());
    if (UpToNul(mask).size() <= MaxReferenceMask && UpToNul(text).size() <= MaxReferenceText) {
        const Compiled reference = Compile(mask);
        FUZZ_REQUIRE(single.errorPosition == reference.errorPosition);
        if (reference.errorPosition == 0)
            FUZZ_REQUIRE(single.accepted == Matcher(reference.elements, text).Match());
    }

    static const LeadByteTable tables[] = {LeadByteTable::Utf8(), ShiftJis()};
    for (const LeadByteTable& lead : tables) {
        const Outcome multi = Run(mask, text, lead);
        if (!HasLeadByte(mask, lead) && !HasLeadByte(text, lead))
            FUZZ_REQUIRE(multi == single);
    }
    return 0;
}
