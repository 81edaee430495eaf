#include "phraseline.h"

#include <cstring>

namespace {

inline bool IsBlank(unsigned char b)
{
    return b <= 32;
}

inline bool IsWordByte(unsigned char b)
{
    return (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') || b == '_' ||
           b >= 0x80;
}

template <qsizetype Size>
inline bool StartsWith(const unsigned char* p, qsizetype avail, const char (&literal)[Size])
{
    constexpr qsizetype n = Size - 1;
    return avail >= n && std::memcmp(p, literal, size_t(n)) == 0;
}

// The trimmed line: the first and last byte that is not blank, or false for a blank line.
bool Trim(const unsigned char* s, qsizetype n, qsizetype& b, qsizetype& e)
{
    b = 0;
    while (b < n && IsBlank(s[b]))
        ++b;
    if (b == n)
        return false;
    e = n - 1;
    while (IsBlank(s[e]))
        --e;
    return true;
}

// Reads a literal's body from i (just past its opening quote) up to and including e, as PHP
// finds its end: a backslash escapes the byte after it, so "x\\" ends after the second
// backslash. The text keeps every escape as written except an escaped quote of the literal's
// own kind, which becomes the quote. Returns the position of the closing quote, or e + 1 when
// the literal does not close on the line.
qsizetype ReadLiteral(const unsigned char* s, qsizetype i, qsizetype e, char quote, QByteArray& out,
                      bool ref)
{
    const auto q = static_cast<unsigned char>(quote);
    if (i <= e) {
        // Most literals end at their first quote: one without a backslash right before it can
        // be escaped by none, and no quote before it can have been escaped, so the text is the
        // bytes as they stand, referred to there or copied.
        const void* end = std::memchr(s + i, q, size_t(e - i + 1));
        const qsizetype j = end ? static_cast<const unsigned char*>(end) - s : e + 1;
        if (end && (j == i || s[j - 1] != '\\')) {
            if (ref)
                out = QByteArray::fromRawData(reinterpret_cast<const char*>(s + i), j - i);
            else
                out = QByteArray(reinterpret_cast<const char*>(s + i), j - i);
            return j;
        }
    }
    out.clear();
    qsizetype runStart = i;
    while (i <= e) {
        const unsigned char c = s[i];
        if (c == '\\' && i + 1 <= e) {
            if (s[i + 1] == q) {
                out.append(reinterpret_cast<const char*>(s + runStart), i - runStart);
                out.append(char(q));
                runStart = i + 2;
            }
            i += 2;
        } else if (c == q) {
            out.append(reinterpret_cast<const char*>(s + runStart), i - runStart);
            return i;
        } else {
            ++i;
        }
    }
    i = std::min(i, e + 1);
    out.append(reinterpret_cast<const char*>(s + runStart), i - runStart);
    return e + 1;
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

// A cursor over the trimmed line that reads PHP's small grammar of these statements.
class Scanner
{
public:
    Scanner(const unsigned char* s, qsizetype b, qsizetype e) : m_s(s), m_p(b), m_e(e) {}

    qsizetype Pos() const { return m_p; }
    bool AtEnd() const { return m_p > m_e; }
    unsigned char Peek() const { return m_p <= m_e ? m_s[m_p] : 0; }
    void SkipBlanks()
    {
        while (m_p <= m_e && IsBlank(m_s[m_p]))
            ++m_p;
    }
    // A byte, blanks before it skipped.
    bool Take(char c)
    {
        SkipBlanks();
        if (Peek() != static_cast<unsigned char>(c))
            return false;
        ++m_p;
        return true;
    }
    // A keyword of lower-case letters, blanks before it skipped; PHP reads keywords and
    // function names in any case.
    template <qsizetype Size> bool TakeWord(const char (&word)[Size])
    {
        SkipBlanks();
        constexpr qsizetype n = Size - 1;
        if (m_e - m_p + 1 < n)
            return false;
        for (qsizetype k = 0; k < n; ++k) {
            // For a letter, setting this bit gives its lower case and nothing else.
            if ((m_s[m_p + k] | 0x20) != static_cast<unsigned char>(word[k]))
                return false;
        }
        if (m_p + n <= m_e && IsWordByte(m_s[m_p + n]))
            return false;
        m_p += n;
        return true;
    }
    // A variable name: '$' and the bytes of a name.
    bool TakeVariable()
    {
        SkipBlanks();
        if (Peek() != '$')
            return false;
        ++m_p;
        const qsizetype start = m_p;
        while (m_p <= m_e && IsWordByte(m_s[m_p]))
            ++m_p;
        return m_p > start;
    }
    // A quoted literal, blanks before it skipped. Sets where its quotes stand; closed is false
    // when it runs to the end of the line.
    bool TakeLiteral(QByteArray& text, bool ref, char& quote, qsizetype& open, qsizetype& close,
                     bool& closed)
    {
        SkipBlanks();
        const unsigned char c = Peek();
        if (c != '"' && c != '\'')
            return false;
        quote = char(c);
        open = m_p;
        close = ReadLiteral(m_s, m_p + 1, m_e, quote, text, ref);
        closed = close <= m_e;
        m_p = close + 1;
        return true;
    }
    bool TakeLiteral(QByteArray& text, bool ref)
    {
        char quote;
        qsizetype open, close;
        bool closed;
        return TakeLiteral(text, ref, quote, open, close, closed) && closed;
    }

private:
    const unsigned char* m_s;
    qsizetype m_p;
    qsizetype m_e;
};

// The last byte of a value that is not one literal: up to the ')' that closes define( or the
// ';' that ends the assignment, outside quotes, or the line's end; blanks before it dropped.
qsizetype ExpressionEnd(const unsigned char* s, qsizetype from, qsizetype e, bool define)
{
    int depth = 0;
    qsizetype p = from;
    while (p <= e) {
        const unsigned char c = s[p];
        if (c == '"' || c == '\'') {
            for (++p; p <= e && s[p] != c; ++p)
                if (s[p] == '\\')
                    ++p;
        } else if (c == '(') {
            ++depth;
        } else if (c == ')' && define && depth-- == 0) {
            break;
        } else if (c == ';' && !define) {
            break;
        }
        ++p;
    }
    qsizetype end = std::min(p, e + 1) - 1;
    while (end >= from && IsBlank(s[end]))
        --end;
    return end;
}

// The classic spellings, which most lines of large files have, read without the general
// grammar: define("K","V") and case "K": $var = "V"; with blanks only where the grammar allows
// them. False when the line is any other; then the general reading decides.
bool ReadClassic(const unsigned char* s, qsizetype b, qsizetype e, PhraseLineParts& parts, bool ref)
{
    const qsizetype avail = e - b + 1;
    const bool define = StartsWith(s + b, avail, "define(\"");
    if (!define && !StartsWith(s + b, avail, "case \""))
        return false;
    const qsizetype keyStart = b + (define ? 8 : 6);
    const qsizetype keyClose = ReadLiteral(s, keyStart, e, '"', parts.key, ref);
    if (keyClose > e || keyClose == keyStart)
        return false;
    qsizetype p = keyClose + 1;
    const auto skipBlanks = [&] {
        while (p <= e && IsBlank(s[p]))
            ++p;
    };
    if (define) {
        if (p > e || s[p] != ',')
            return false;
        ++p;
    } else {
        skipBlanks();
        if (p > e || s[p] != ':')
            return false;
        ++p;
        skipBlanks();
        if (p > e || s[p] != '$')
            return false;
        const qsizetype name = ++p;
        while (p <= e && IsWordByte(s[p]))
            ++p;
        if (p == name)
            return false;
        skipBlanks();
        if (p > e || s[p] != '=')
            return false;
        ++p;
    }
    skipBlanks();
    if (p > e || s[p] != '"')
        return false;
    const qsizetype open = p;
    const qsizetype close = ReadLiteral(s, open + 1, e, '"', parts.value, ref);
    if (close > e)
        return false;
    p = close + 1;
    skipBlanks();
    if (p > e || s[p] != (define ? ')' : ';'))
        return false;
    parts.kind = define ? PhraseLineKind::lkDefine : PhraseLineKind::lkCase;
    parts.valueBegin = open;
    parts.valueEnd = close + 1;
    parts.valueQuote = '"';
    parts.fixedLayout = true;
    parts.editable = true;
    return true;
}

// The statements as PHP reads them: an optional guard "if (!defined('K'))" with or without a
// brace, then define('K', 'text') or case ['K' | strtolower('K')]: $var = 'text'. Keywords in
// any case, blanks anywhere between the parts, single or double quotes.
bool ReadStatement(const unsigned char* s, qsizetype b, qsizetype e, PhraseLineParts& parts,
                   bool ref)
{
    Scanner in(s, b, e);
    const bool guarded = in.TakeWord("if");
    if (guarded) {
        QByteArray guardKey;
        if (!in.Take('(') || !in.Take('!') || !in.TakeWord("defined") || !in.Take('(') ||
            !in.TakeLiteral(guardKey, true) || !in.Take(')') || !in.Take(')'))
            return false;
        in.Take('{');
    }
    char keyQuote = '"';
    qsizetype keyOpen = 0, keyClose = 0;
    bool closed = false;
    bool define = false;
    if (in.TakeWord("define")) {
        if (!in.Take('(') || !in.TakeLiteral(parts.key, ref, keyQuote, keyOpen, keyClose, closed) ||
            !closed || !in.Take(','))
            return false;
        parts.kind = PhraseLineKind::lkDefine;
        define = true;
    } else if (!guarded && in.TakeWord("case")) {
        const Scanner beforeFunction = in;
        if (in.TakeWord("strtolower")) {
            if (!in.Take('(') ||
                !in.TakeLiteral(parts.key, ref, keyQuote, keyOpen, keyClose, closed) || !closed ||
                !in.Take(')'))
                return false;
            parts.kind = PhraseLineKind::lkCaseStrToLower;
        } else {
            in = beforeFunction;
            if (!in.TakeLiteral(parts.key, ref, keyQuote, keyOpen, keyClose, closed) || !closed)
                return false;
            parts.kind = PhraseLineKind::lkCase;
        }
        if (!in.Take(':') || !in.TakeVariable() || !in.Take('='))
            return false;
    } else {
        return false;
    }

    // No value is read without a key, as the plain reader always did; such a line names
    // nothing a translation could refer to, so it is kept as written.
    if (parts.key.isEmpty()) {
        parts.editable = false;
        return true;
    }
    // The value: one literal that the statement ends after, or anything else, kept as written.
    in.SkipBlanks();
    const qsizetype valueStart = in.Pos();
    qsizetype open = 0, close = 0;
    char quote = '"';
    if (in.TakeLiteral(parts.value, ref, quote, open, close, closed)) {
        if (!closed) {
            parts.editable = false; // continues on the next line
        } else {
            in.SkipBlanks();
            const unsigned char next = in.Peek();
            parts.editable = define ? (next == ')' || next == ',') : next == ';';
        }
    } else {
        parts.editable = false;
    }
    if (parts.editable) {
        parts.valueBegin = open;
        parts.valueEnd = close + 1;
        parts.valueQuote = quote;
    } else {
        const qsizetype end = ExpressionEnd(s, valueStart, e, define);
        parts.value = QByteArray(reinterpret_cast<const char*>(s + valueStart),
                                 std::max<qsizetype>(0, end - valueStart + 1));
        parts.valueBegin = valueStart;
        parts.valueEnd = valueStart;
    }
    // The classic spelling, written in the kind's fixed layout: the keyword at the start of
    // the line as the old reader took it, both texts in double quotes.
    if (!guarded && parts.editable && keyQuote == '"' && quote == '"') {
        const qsizetype avail = e - b + 1;
        const bool caseLowered = StartsWith(s + b, avail, "case strtolower");
        parts.fixedLayout = parts.kind == PhraseLineKind::lkCaseStrToLower ? caseLowered
                            : parts.kind == PhraseLineKind::lkCase
                                ? !caseLowered && StartsWith(s + b, avail, "case")
                                : StartsWith(s + b, avail, "define");
    }
    return true;
}

// Lines that begin like a statement but are none of the shapes above ("caseless", "case _X:",
// "defined(...) or die()"): read as the plain reader always read them, by the first two
// double-quoted texts, and kept as they are.
PhraseLineKind ReadLoosely(const unsigned char* s, qsizetype b, qsizetype e, PhraseLineParts& parts,
                           bool ref)
{
    const qsizetype avail = e - b + 1;
    PhraseLineKind kind;
    if (StartsWith(s + b, avail, "case strtolower"))
        kind = PhraseLineKind::lkCaseStrToLower;
    else if (StartsWith(s + b, avail, "case"))
        kind = PhraseLineKind::lkCase;
    else if (StartsWith(s + b, avail, "define"))
        kind = PhraseLineKind::lkDefine;
    else
        return PhraseLineKind::lkNone;
    parts.kind = kind;
    parts.editable = false;
    parts.fixedLayout = false;
    const void* q = std::memchr(s + b, '"', size_t(avail));
    if (!q)
        return kind;
    const qsizetype keyOpen = static_cast<const unsigned char*>(q) - s;
    const qsizetype keyClose = ReadLiteral(s, keyOpen + 1, e, '"', parts.key, ref);
    if (parts.key.isEmpty() || keyClose > e)
        return kind;
    const void* q2 =
        keyClose + 1 <= e ? std::memchr(s + keyClose + 1, '"', size_t(e - keyClose)) : nullptr;
    if (q2) {
        const qsizetype open = static_cast<const unsigned char*>(q2) - s;
        ReadLiteral(s, open + 1, e, '"', parts.value, ref);
    }
    return kind;
}

PhraseLineKind ReadBracketLine(const unsigned char* s, qsizetype b, qsizetype e,
                               PhraseLineParts& parts, bool ref)
{
    parts.kind = PhraseLineKind::lkBracket;
    parts.fixedLayout = true;
    const qsizetype stop = ReadBracket(s, b + 2, e, parts.key, ref);
    if (parts.key.isEmpty())
        return PhraseLineKind::lkBracket;
    qsizetype p = stop;
    while (p < e && !(s[p] == '[' && s[p + 1] == '['))
        ++p;
    if (p >= e)
        return PhraseLineKind::lkBracket;
    p += 2;
    if (p >= e)
        return PhraseLineKind::lkBracket;
    const qsizetype end = ReadBracket(s, p, e, parts.value, ref);
    // Only a value closed by its brackets can be replaced where it stands.
    if (end < e && s[end] == ']' && s[end + 1] == ']') {
        parts.valueBegin = p;
        parts.valueEnd = end;
    }
    return PhraseLineKind::lkBracket;
}

} // namespace

PhraseLineKind PhraseLineKindOf(QByteArrayView line)
{
    // Only a first guess, for counting: whatever may begin a phrase line.
    const auto* s = reinterpret_cast<const unsigned char*>(line.data());
    qsizetype b, e;
    if (!Trim(s, line.size(), b, e))
        return PhraseLineKind::lkNone;
    const unsigned char c = s[b] | 0x20;
    if (StartsWith(s + b, e - b + 1, "[["))
        return PhraseLineKind::lkBracket;
    if (c == 'c')
        return PhraseLineKind::lkCase;
    if (c == 'd' || c == 'i')
        return PhraseLineKind::lkDefine;
    return PhraseLineKind::lkNone;
}

PhraseLineKind ReadPhraseLine(QByteArrayView line, PhraseLineParts& parts, bool referenceLine)
{
    const auto* s = reinterpret_cast<const unsigned char*>(line.data());
    qsizetype b = 0;
    qsizetype e = 0;
    parts = PhraseLineParts();
    if (!Trim(s, line.size(), b, e))
        return PhraseLineKind::lkNone;
    if (StartsWith(s + b, e - b + 1, "[["))
        return ReadBracketLine(s, b, e, parts, referenceLine);
    const unsigned char c = s[b] | 0x20;
    if (c != 'c' && c != 'd' && c != 'i')
        return PhraseLineKind::lkNone;
    if (ReadClassic(s, b, e, parts, referenceLine))
        return parts.kind;
    parts = PhraseLineParts();
    if (ReadStatement(s, b, e, parts, referenceLine))
        return parts.kind;
    parts = PhraseLineParts();
    return ReadLoosely(s, b, e, parts, referenceLine);
}

PhraseLineKind ParsePhraseLine(QByteArrayView line, QByteArray& key, QByteArray& value,
                               bool referenceLine)
{
    PhraseLineParts parts;
    const PhraseLineKind kind = ReadPhraseLine(line, parts, referenceLine);
    if (kind == PhraseLineKind::lkNone)
        return PhraseLineKind::lkNone;
    key = std::move(parts.key);
    value = std::move(parts.value);
    return kind;
}

void AppendPhpLiteral(QByteArray& out, QByteArrayView text, char quote)
{
    out.append(quote);
    // A backslash and the byte after it stay together as they were typed or read, so escapes
    // keep their meaning; a quote of the literal's own kind is escaped, and a backslash with
    // nothing after it is doubled, since it would escape the closing quote.
    const char* p = text.data();
    const char* const end = p + text.size();
    const char* run = p;
    while (p != end) {
        if (*p == '\\') {
            if (p + 1 == end) {
                out.append(run, p - run);
                out.append("\\\\", 2);
                run = ++p;
                continue;
            }
            p += 2;
        } else if (*p == quote) {
            out.append(run, p - run);
            out.append('\\');
            out.append(quote);
            run = ++p;
        } else {
            ++p;
        }
    }
    out.append(run, end - run);
    out.append(quote);
}

QByteArray QuotePhpString(QByteArrayView text)
{
    QByteArray out;
    out.reserve(text.size() + 2);
    AppendPhpLiteral(out, text, '"');
    return out;
}
