#include "phraseline.h"

#include <cstring>

namespace {

inline bool IsBlank(unsigned char b) { return b <= 32; }

inline bool StartsWith(const unsigned char* p, qsizetype avail, const char* literal)
{
    const auto n = static_cast<qsizetype>(std::strlen(literal));
    return avail >= n && std::memcmp(p, literal, size_t(n)) == 0;
}

// Reads a double-quoted literal body from i (just past the opening quote) up to and including e.
// Only \" is unescaped. Returns the position just past the closing quote, or e + 1 when the
// literal runs to the end of the trimmed line.
qsizetype ReadLiteral(const unsigned char* s, qsizetype i, qsizetype e, QByteArray& out, bool ref)
{
    if (ref) {
        // Most literals hold no escaped quote: find the first quote; unless a backslash stands
        // right before it, the literal ends there and is referred to where it stands.
        const void* q = i <= e ? std::memchr(s + i, '"', size_t(e - i + 1)) : nullptr;
        const qsizetype j = q ? static_cast<const unsigned char*>(q) - s : e + 1;
        if (!q || j == i || s[j - 1] != '\\') {
            out = QByteArray::fromRawData(reinterpret_cast<const char*>(s + i), j - i);
            return q ? j + 1 : j;
        }
    }
    qsizetype runStart = i;
    while (i <= e) {
        const unsigned char c = s[i];
        if (c == '\\' && i + 1 <= e && s[i + 1] == '"') {
            out.append(reinterpret_cast<const char*>(s + runStart), i - runStart);
            out.append('"');
            i += 2;
            runStart = i;
        } else if (c == '"') {
            out.append(reinterpret_cast<const char*>(s + runStart), i - runStart);
            return i + 1;
        } else {
            ++i;
        }
    }
    out.append(reinterpret_cast<const char*>(s + runStart), i - runStart);
    return i;
}

// Collects bracket text from p while p < e, stopping before a "]]" whose first ']' lies before e.
// The byte at e is never taken. Returns the position where collecting stopped.
qsizetype ReadBracket(const unsigned char* s, qsizetype p, qsizetype e, QByteArray& out, bool ref)
{
    const qsizetype start = p;
    while (p < e && !(s[p] == ']' && s[p + 1] == ']'))
        ++p;
    if (ref)
        out = QByteArray::fromRawData(reinterpret_cast<const char*>(s + start), p - start);
    else
        out.append(reinterpret_cast<const char*>(s + start), p - start);
    return p;
}

qsizetype FindQuote(const unsigned char* s, qsizetype from, qsizetype e)
{
    if (from > e)
        return -1;
    const void* q = std::memchr(s + from, '"', size_t(e - from + 1));
    return q ? static_cast<const unsigned char*>(q) - s : -1;
}

} // namespace

namespace {

// Finds the trimmed line [b, e] and classifies it by the keyword it begins with.
PhraseLineKind Classify(const unsigned char* s, qsizetype n, qsizetype& b, qsizetype& e)
{
    b = 0;
    while (b < n && IsBlank(s[b]))
        ++b;
    if (b == n)
        return lkNone;
    e = n - 1;
    while (IsBlank(s[e]))
        --e;
    const qsizetype avail = e - b + 1;
    // The longer keyword first: "case strtolower" also begins with "case".
    if (StartsWith(s + b, avail, "case strtolower"))
        return lkCaseStrToLower;
    if (StartsWith(s + b, avail, "case"))
        return lkCase;
    if (StartsWith(s + b, avail, "define"))
        return lkDefine;
    if (StartsWith(s + b, avail, "[["))
        return lkBracket;
    return lkNone;
}

} // namespace

PhraseLineKind PhraseLineKindOf(QByteArrayView line)
{
    qsizetype b, e;
    return Classify(reinterpret_cast<const unsigned char*>(line.data()), line.size(), b, e);
}

PhraseLineKind ParsePhraseLine(QByteArrayView line, QByteArray& key, QByteArray& value,
                               bool referenceLine)
{
    const auto* s = reinterpret_cast<const unsigned char*>(line.data());
    qsizetype b = 0;
    qsizetype e = 0;
    const PhraseLineKind kind = Classify(s, line.size(), b, e);
    if (kind == lkNone)
        return lkNone;

    key.clear();
    value.clear();

    if (kind == lkBracket) {
        const qsizetype stop = ReadBracket(s, b + 2, e, key, referenceLine);
        if (key.isEmpty())
            return kind;
        qsizetype p = stop;
        while (p < e && !(s[p] == '[' && s[p + 1] == '['))
            ++p;
        if (p >= e)
            return kind;
        p += 2;
        if (p >= e)
            return kind;
        ReadBracket(s, p, e, value, referenceLine);
        return kind;
    }

    const qsizetype open = FindQuote(s, b, e);
    if (open < 0)
        return kind;
    const qsizetype after = ReadLiteral(s, open + 1, e, key, referenceLine);
    if (key.isEmpty())
        return kind;
    const qsizetype open2 = FindQuote(s, after, e);
    if (open2 < 0)
        return kind;
    ReadLiteral(s, open2 + 1, e, value, referenceLine);
    return kind;
}

QByteArray QuotePhpString(QByteArrayView text)
{
    QByteArray out;
    out.reserve(text.size() + 2);
    out.append('"');
    for (char c : text) {
        if (c == '"')
            out.append('\\');
        out.append(c);
    }
    out.append('"');
    return out;
}
