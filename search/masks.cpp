#include "masks.h"
#include "asciicase.h"
#include "stringtable.h"
#include "textlines.h"

#include <QString>
#include <algorithm>
#include <cstring>

namespace {

using Byte = unsigned char;

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

TMask::TMask(QByteArrayView maskView, const LeadByteTable& lead) : m_lead(lead)
{
    m_multiByte = std::find(lead.lead.begin(), lead.lead.end(), true) != lead.lead.end();

    const QByteArrayView mask = TextBeforeNul(maskView);
    const auto* const m = reinterpret_cast<const Byte*>(mask.data());
    const auto n = mask.size();
    const auto* const mend = m + n;
    const auto fail = [&](qsizetype position) {
        throw EMaskError(mask, static_cast<int>(position), lead);
    };

    bool pendingStar = false;
    int starGroups = 0;
    // position: the 1-based byte that completes the step, which is where a 31st group is reported.
    const auto append = [&](MaskStep step, qsizetype position) {
        step.AfterStar = pendingStar;
        if (pendingStar && ++starGroups > MaxStarGroups)
            fail(position);
        pendingStar = false;
        m_steps.push_back(std::move(step));
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
                step.kind = MaskStep::Kind::mkAnyChar;
                append(step, i + 1);
            }
            ++i;
        } else if (c == '[') {
            qsizetype j = i + 1;
            step.kind = MaskStep::Kind::mkCharSet;
            if (j < n && m[j] == '!') {
                step.Negated = true;
                ++j;
            }
            // A set compares characters by value: a single byte ASCII upper-cased, a longer
            // character by LeadByteTable::CharValue, which puts it above every single byte.
            const auto valueAt = [&](qsizetype at, std::size_t len) -> std::uint32_t {
                return len > 1 ? LeadByteTable::CharValue(m + at, len) : AsciiUpper(m[at]);
            };
            // The last single member; a range starts from it and leaves it as is.
            std::int64_t last = -1;
            while (j < n && m[j] != ']') {
                const std::size_t len = CharLength(m + j, mend);
                if (m[j] == '-' && len == 1) {
                    if (last < 0)
                        fail(j + 1);
                    if (++j >= n)
                        break; // unterminated, reported below
                    // The range end may be any character, ']' included; a multi-byte one goes
                    // whole, so that its trail byte is neither a member nor the closing ']'.
                    const std::size_t toLen = CharLength(m + j, mend);
                    const std::int64_t to = valueAt(j, toLen);
                    j += static_cast<qsizetype>(toLen);
                    for (std::int64_t v = last; v <= std::min<std::int64_t>(to, 255); ++v)
                        step.Members.set(static_cast<std::size_t>(v));
                    const std::int64_t wideFrom = std::max<std::int64_t>(last, 256);
                    if (wideFrom <= to)
                        step.WideMembers.emplace_back(static_cast<std::uint32_t>(wideFrom),
                                                      static_cast<std::uint32_t>(to));
                } else {
                    last = valueAt(j, len);
                    if (len > 1)
                        step.WideMembers.emplace_back(static_cast<std::uint32_t>(last),
                                                      static_cast<std::uint32_t>(last));
                    else
                        step.Members.set(static_cast<std::size_t>(last));
                    j += static_cast<qsizetype>(len);
                }
            }
            if (j >= n)
                fail(n + 1);
            if (step.Members.none() && step.WideMembers.empty())
                fail(j + 1);
            append(std::move(step), j + 1);
            i = j + 1;
        } else if (const auto len = CharLength(m + i, mend); len > 1) {
            step.kind = MaskStep::Kind::mkDoubleByte;
            step.ByteCount = static_cast<Byte>(len);
            std::copy_n(m + i, len, step.Bytes.begin());
            i += static_cast<qsizetype>(len);
            append(step, i);
        } else {
            // Also a lead byte that nothing completes: a one-byte literal, which fits only the
            // same lone byte in the text.
            step.Char = AsciiUpper(c);
            append(step, i + 1);
            ++i;
        }
    }
    append(MaskStep{}, n + 1); // the end step: Char 0 passes only at the end of the text
}

bool TMask::IsWideMember(const MaskStep& step, const Byte* p, std::size_t len)
{
    const std::uint32_t v = LeadByteTable::CharValue(p, len);
    return std::any_of(step.WideMembers.begin(), step.WideMembers.end(),
                       [&](const auto& range) { return v >= range.first && v <= range.second; });
}

// Bytes the step consumes at p, or -1 when it does not pass there.
int TMask::Pass(const MaskStep& step, const Byte* p, const Byte* end) const
{
    if (m_multiByte)
        return PassCharacter(step, p, end);
    switch (step.kind) {
    case MaskStep::Kind::mkChar:
        if (p == end)
            return step.Char == 0 ? 0 : -1;
        return AsciiUpper(*p) == step.Char ? 1 : -1;
    case MaskStep::Kind::mkAnyChar:
        return p < end ? 1 : -1;
    case MaskStep::Kind::mkCharSet:
        if (p == end)
            return -1;
        return step.Members[AsciiUpper(*p)] != step.Negated ? 1 : -1;
    case MaskStep::Kind::mkDoubleByte:
        break; // only compiled where lead bytes exist
    }
    return -1;
}

int TMask::PassCharacter(const MaskStep& step, const Byte* p, const Byte* end) const
{
    switch (step.kind) {
    case MaskStep::Kind::mkChar:
        if (p == end)
            return step.Char == 0 ? 0 : -1;
        // A literal byte never matches the first byte of a longer character.
        if (AsciiUpper(*p) != step.Char || CharLength(p, end) > 1)
            return -1;
        return 1;
    case MaskStep::Kind::mkAnyChar:
        return p < end ? static_cast<int>(CharLength(p, end)) : -1;
    case MaskStep::Kind::mkCharSet: {
        if (p == end)
            return -1;
        const auto len = CharLength(p, end);
        const bool member = len == 1 ? step.Members[AsciiUpper(*p)] : IsWideMember(step, p, len);
        return member != step.Negated ? static_cast<int>(len) : -1;
    }
    case MaskStep::Kind::mkDoubleByte:
        if (CharLength(p, end) != step.ByteCount ||
            std::memcmp(p, step.Bytes.data(), step.ByteCount) != 0)
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
    if (m_multiByte)
        return FindCharacter(step, p, end);
    if (step.kind == MaskStep::Kind::mkChar) {
        if (step.Char == 0)
            return end;
        // The hot loop of a "*WORD*" search: no folding, just both spellings of the byte.
        const Byte upper = step.Char;
        const Byte lower = AsciiLower(upper);
        auto hit = static_cast<const Byte*>(std::memchr(p, upper, end - p));
        if (lower != upper) {
            const Byte* const limit = hit ? hit : end;
            if (auto first = static_cast<const Byte*>(std::memchr(p, lower, limit - p)))
                hit = first;
        }
        return hit ? hit : end;
    }
    while (p < end && Pass(step, p, end) < 0)
        ++p;
    return p;
}

const TMask::Byte* TMask::FindCharacter(const MaskStep& step, const Byte* p, const Byte* end) const
{
    if (step.kind == MaskStep::Kind::mkChar) {
        if (step.Char == 0)
            return end;
        const Byte upper = step.Char;
        const Byte lower = AsciiLower(upper);
        // By index, so that stepping over a character cut short by the end forms no pointer
        // beyond it.
        const auto n = static_cast<std::size_t>(end - p);
        std::size_t i = 0;
        for (;;) {
            // Runs of bytes that begin no longer character are the common case; stepping over
            // them by one lets the scan run ahead of the loads.
            for (; i < n && !m_lead.lead[p[i]]; ++i)
                if (p[i] == upper || p[i] == lower)
                    return p + i;
            if (i >= n)
                return end;
            const std::size_t len = m_lead.CharLength(p + i, end);
            if (len == 1 && (p[i] == upper || p[i] == lower))
                return p + i;
            i += len;
        }
    }
    if (step.kind == MaskStep::Kind::mkDoubleByte && m_lead.scheme == LeadByteTable::Scheme::Utf8) {
        // A UTF-8 lead byte is never inside another character, so the first occurrence of the
        // bytes is the first place on a character boundary where they stand.
        const Byte first = step.Bytes[0];
        while (auto hit = static_cast<const Byte*>(std::memchr(p, first, end - p))) {
            if (static_cast<std::size_t>(end - hit) >= step.ByteCount &&
                std::memcmp(hit, step.Bytes.data(), step.ByteCount) == 0)
                return hit;
            p = hit + 1;
        }
        return end;
    }
    while (p < end && PassCharacter(step, p, end) < 0)
        p += CharLength(p, end);
    return p;
}

bool TMask::Accepts(QByteArrayView textView) const
{
    const QByteArrayView text = TextBeforeNul(textView);
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
