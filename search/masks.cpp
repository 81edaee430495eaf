#include "masks.h"
#include "stringtable.h"

#include <QString>
#include <algorithm>
#include <cstring>

namespace {

using Byte = unsigned char;

// Only 'a'-'z' fold: other letters of the code page are compared exactly.
constexpr Byte AsciiUpper(Byte b)
{
    return b >= 'a' && b <= 'z' ? static_cast<Byte>(b - ('a' - 'A')) : b;
}

// Texts and masks end at their first NUL, wherever the view itself ends.
QByteArrayView UpToNul(QByteArrayView bytes)
{
    const void* nul = bytes.empty() ? nullptr : std::memchr(bytes.data(), 0, bytes.size());
    return nul ? bytes.first(static_cast<const char*>(nul) - bytes.data()) : bytes;
}

} // namespace

EMaskError::EMaskError(QByteArrayView mask, int position, const LeadByteTable& lead)
    // One arg() call for both values, so a '%2' inside the mask text is not replaced as well.
    : Exception(QString::fromLatin1(strings::InvalidMask)
                    .arg(lead.scheme == LeadByteTable::Scheme::Utf8 ? QString::fromUtf8(mask)
                                                                    : QString::fromLatin1(mask),
                         QString::number(position))),
      m_mask(mask.toByteArray()), m_position(position)
{
}

TMask::TMask(QByteArrayView maskView, const LeadByteTable& lead)
{
    // Character lengths by first byte are looked up once here, as every search steps by them.
    m_length.fill(1);
    m_multiByte = std::find(lead.lead.begin(), lead.lead.end(), true) != lead.lead.end();
    if (m_multiByte) {
        for (int b = 0; b < 256; ++b) {
            const Byte probe[4] = {static_cast<Byte>(b), 0x80, 0x80, 0x80};
            m_length[static_cast<std::size_t>(b)] =
                static_cast<Byte>(lead.CharLength(probe, probe + 4));
        }
    }

    const QByteArrayView mask = UpToNul(maskView);
    const auto* const m = reinterpret_cast<const Byte*>(mask.data());
    const auto n = mask.size();
    const auto* const mend = m + n;
    const auto fail = [&](qsizetype position) {
        throw EMaskError(mask, static_cast<int>(position), lead);
    };
    const auto isLead = [&](Byte b) { return m_length[b] > 1; };

    bool pendingStar = false;
    int starGroups = 0;
    // position: the 1-based byte that completes the step, which is where a 31st group is reported.
    const auto append = [&](MaskStep step, qsizetype position) {
        step.AfterStar = pendingStar;
        if (pendingStar && ++starGroups > MaxStarGroups)
            fail(position);
        pendingStar = false;
        m_steps.push_back(step);
    };

    qsizetype i = 0;
    while (i < n) {
        const Byte c = m[i];
        MaskStep step;
        if (c == '*') {
            pendingStar = true;
            ++i;
        } else if (c == '?') {
            // A '?' behind a '*' is dropped: "*?X" means "*X" and "A*?" means "A*".
            if (!pendingStar) {
                step.kind = MaskStep::mkAnyChar;
                append(step, i + 1);
            }
            ++i;
        } else if (c == '[') {
            qsizetype j = i + 1;
            step.kind = MaskStep::mkCharSet;
            if (j < n && m[j] == '!') {
                step.Negated = true;
                ++j;
            }
            int last = -1; // the last single member; a range starts from it and leaves it as is
            while (j < n && m[j] != ']') {
                const Byte b = m[j];
                if (isLead(b)) {
                    // A multi-byte character is never a member: skip it whole.
                    j += static_cast<qsizetype>(CharLength(m + j, mend));
                } else if (b == '-') {
                    if (last < 0)
                        fail(j + 1);
                    if (++j >= n)
                        break; // unterminated, reported below
                    const Byte to = AsciiUpper(m[j]);
                    // The range end may be any byte, ']' included. When it begins a multi-byte
                    // character, the whole character goes, so that its trail byte is neither
                    // read as a member nor taken for the closing ']'.
                    j += isLead(m[j]) ? static_cast<qsizetype>(CharLength(m + j, mend)) : 1;
                    for (int v = last; v <= to; ++v)
                        step.Members.set(static_cast<std::size_t>(v));
                } else {
                    last = AsciiUpper(b);
                    step.Members.set(static_cast<std::size_t>(last));
                    ++j;
                }
            }
            if (j >= n)
                fail(n + 1);
            if (step.Members.none())
                fail(j + 1);
            append(step, j + 1);
            i = j + 1;
        } else if (isLead(c) && CharLength(m + i, mend) > 1) {
            const auto len = CharLength(m + i, mend);
            step.kind = MaskStep::mkDoubleByte;
            step.ByteCount = static_cast<Byte>(len);
            std::copy_n(m + i, len, step.Bytes.begin());
            i += static_cast<qsizetype>(len);
            append(step, i);
        } else {
            // Also a lead byte that ends the mask: with no byte left to pair with, it is a
            // one-byte literal, which fits only a text that ends in that same lone byte.
            step.Char = AsciiUpper(c);
            append(step, i + 1);
            ++i;
        }
    }
    append(MaskStep{}, n + 1); // the end step: Char 0 passes only at the end of the text
}

// Bytes the step consumes at p, or -1 when it does not pass there.
int TMask::Pass(const MaskStep& step, const Byte* p, const Byte* end) const
{
    switch (step.kind) {
    case MaskStep::mkChar:
        if (p == end)
            return step.Char == 0 ? 0 : -1;
        return AsciiUpper(*p) == step.Char ? 1 : -1;
    case MaskStep::mkAnyChar:
        return p < end ? static_cast<int>(CharLength(p, end)) : -1;
    case MaskStep::mkCharSet: {
        if (p == end)
            return -1;
        const auto len = CharLength(p, end);
        const bool member = len == 1 && step.Members[AsciiUpper(*p)];
        return member != step.Negated ? static_cast<int>(len) : -1;
    }
    case MaskStep::mkDoubleByte:
        if (end - p < step.ByteCount || std::memcmp(p, step.Bytes.data(), step.ByteCount) != 0)
            return -1;
        return step.ByteCount;
    }
    return -1;
}

// The first position at p or later, on a character boundary, where the step passes; else end.
const TMask::Byte* TMask::Find(const MaskStep& step, const Byte* p, const Byte* end) const
{
    if (p == end)
        return end;
    if (step.kind == MaskStep::mkChar) {
        if (step.Char == 0)
            return end;
        // The hot loop of a "*WORD*" search: no folding, just both spellings of the byte.
        const Byte upper = step.Char;
        const Byte lower = upper >= 'A' && upper <= 'Z' ? upper + ('a' - 'A') : upper;
        if (!m_multiByte) {
            auto hit = static_cast<const Byte*>(std::memchr(p, upper, end - p));
            if (lower != upper) {
                const Byte* const limit = hit ? hit : end;
                if (auto first = static_cast<const Byte*>(std::memchr(p, lower, limit - p)))
                    hit = first;
            }
            return hit ? hit : end;
        }
        // By index, so that stepping over a character cut short by the end forms no pointer
        // beyond it.
        const auto n = static_cast<std::size_t>(end - p);
        std::size_t i = 0;
        for (;;) {
            // Runs of one-byte characters are the common case; stepping over them by one rather
            // than by the looked-up length lets the scan run ahead of the loads.
            for (; i < n && m_length[p[i]] == 1; ++i)
                if (p[i] == upper || p[i] == lower)
                    return p + i;
            if (i >= n)
                return end;
            if (p[i] == upper || p[i] == lower)
                return p + i;
            i += m_length[p[i]];
        }
    }
    while (p < end && Pass(step, p, end) < 0)
        p += CharLength(p, end);
    return p;
}

bool TMask::Accepts(QByteArrayView textView) const
{
    const QByteArrayView text = UpToNul(textView);
    const auto* const begin = reinterpret_cast<const Byte*>(text.data());
    const auto* const end = begin + text.size();
    const MaskStep* const steps = m_steps.data();
    const auto count = m_steps.size();

    // Each entry resumes the search of one '*' group one character further on. Reaching a star
    // step empties the stack first (see below), so it holds at most one entry.
    struct Entry
    {
        const Byte* p;
        std::size_t k;
    };
    std::array<Entry, MaxStarGroups> stack;
    std::size_t top = 0;

    const Byte* p = begin;
    std::size_t k = 0;
    for (;;) {
        bool passed = true;
        for (; k < count; ++k) {
            const MaskStep& step = steps[k];
            if (step.AfterStar) {
                // Every step takes exactly one character, so once a later star group is reached
                // at the earliest place, moving an earlier group can only end further right:
                // its entries can never lead to a match. Dropping them keeps a failing text
                // linear in the number of star groups instead of trying every combination.
                top = 0;
                p = Find(step, p, end);
                if (p != end)
                    stack[top++] = {p + CharLength(p, end), k};
            }
            const int len = Pass(step, p, end);
            if (len < 0) {
                passed = false;
                break;
            }
            p += len;
        }
        if (passed)
            return true;
        if (top == 0)
            return false;
        --top;
        p = stack[top].p;
        k = stack[top].k;
    }
}

bool WildcardMatch(QByteArrayView text, QByteArrayView mask, const LeadByteTable& lead)
{
    return TMask(mask, lead).Accepts(text);
}
