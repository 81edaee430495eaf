#include "phplexer.h"

#include "asciicase.h"

#include <array>
#include <cstring>

namespace {

// What the first byte of a token in PHP code starts.
enum class Start : quint8 { Bad, Blank, Name, Digit, Punct };

constexpr std::array<Start, 256> StartTable = [] {
    std::array<Start, 256> t{};
    for (int b = 0; b < 256; ++b) {
        Start k = Start::Bad;
        if (b == ' ' || b == '\t' || b == '\n' || b == '\r')
            k = Start::Blank;
        else if ((b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || b == '_' || b >= 0x80)
            k = Start::Name;
        else if (b >= '0' && b <= '9')
            k = Start::Digit;
        else
            for (const char* p = ";:,.[]()|^&+-/*=%!~$<>?@{}\\`'\"#"; *p; ++p)
                if (static_cast<unsigned char>(*p) == b)
                    k = Start::Punct;
        t[static_cast<std::size_t>(b)] = k;
    }
    return t;
}();

constexpr std::array<bool, 256> NameTable = [] {
    std::array<bool, 256> t{};
    for (int b = 0; b < 256; ++b)
        t[static_cast<std::size_t>(b)] = (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') ||
                                         (b >= '0' && b <= '9') || b == '_' || b >= 0x80;
    return t;
}();

// Bytes a text scan must look at; every other byte is copied over in a tight loop.
constexpr std::array<bool, 256> StopTable(const char* bytes)
{
    std::array<bool, 256> t{};
    for (const char* p = bytes; *p; ++p)
        t[static_cast<unsigned char>(*p)] = true;
    return t;
}
constexpr std::array<bool, 256> SingleQuotedStops = StopTable("'\\");
constexpr std::array<bool, 256> InterpolatedStops = StopTable("\"`\\${");
constexpr std::array<bool, 256> LineCommentStops = StopTable("\n\r?");

bool IsNameStart(unsigned char b)
{
    return StartTable[b] == Start::Name;
}
bool IsDigit(unsigned char b)
{
    return b >= '0' && b <= '9';
}
bool IsHexDigit(unsigned char b)
{
    return IsDigit(b) || ((b | 0x20) >= 'a' && (b | 0x20) <= 'f');
}
bool IsBlank(unsigned char b)
{
    return b == ' ' || b == '\t' || b == '\n' || b == '\r';
}

struct Scan
{
    qsizetype end;
    PhpTokenKind kind;
    quint8 flags = 0;
};

struct Body
{
    qsizetype end;
    bool closed;
};

// The scanner proper: every function reads from a position and answers where something ends.
class Scanner
{
public:
    Scanner(const unsigned char* s, qsizetype n, const PhpLexOptions& options)
        : s(s), n(n), opt(options),
          doubleByte(options.encoding.scheme == LeadByteTable::Scheme::DoubleByte)
    {
    }

    Scan HtmlToken(qsizetype i) const;
    Scan CodeToken(qsizetype i, int depth) const;
    Body InterpolatedBody(qsizetype i, unsigned char quote, bool heredoc, int depth,
                          std::vector<PhpStringPiece>* pieces) const;

private:
    unsigned char At(qsizetype i) const { return i < n ? s[i] : 0; }
    // The end of the text character at i: a lead byte takes its trail byte with it.
    qsizetype CharEnd(qsizetype i) const
    {
        if (doubleByte && opt.encoding.IsLead(s[i]))
            return i + qsizetype(opt.encoding.CharLength(s + i, s + n));
        return i + 1;
    }
    // The first byte from i that stops marks, or n; trail bytes of characters are skipped.
    qsizetype FindStop(qsizetype i, const std::array<bool, 256>& stops) const
    {
        if (!doubleByte) {
            while (i < n && !stops[s[i]])
                ++i;
            return i;
        }
        while (i < n && !stops[s[i]])
            i = CharEnd(i);
        return i;
    }
    qsizetype NameEnd(qsizetype i) const
    {
        while (i < n && NameTable[s[i]])
            ++i;
        return i;
    }
    qsizetype DigitsEnd(qsizetype i, bool (*digit)(unsigned char)) const
    {
        while (i < n && digit(s[i])) {
            ++i;
            if (At(i) == '_' && digit(At(i + 1)))
                ++i;
        }
        return i;
    }
    bool OpensCode(qsizetype i) const;
    qsizetype PhpTagEnd(qsizetype i) const;
    Scan Name(qsizetype i) const;
    Scan NumberToken(qsizetype i) const;
    Scan Cast(qsizetype i) const;
    qsizetype OperatorEnd(qsizetype i) const;
    Scan LineComment(qsizetype i) const;
    Scan BlockComment(qsizetype i) const;
    Scan SingleQuoted(qsizetype i) const;
    Scan Interpolated(qsizetype i, int depth) const;
    bool HeredocStart(qsizetype i, int depth, Scan& out) const;
    qsizetype MarkerEnd(qsizetype i, qsizetype label, qsizetype labelLength) const;
    qsizetype Interpolation(qsizetype i, int depth, PhpStringPiece::Kind& kind, bool& closed) const;
    qsizetype BracedEnd(qsizetype i, int depth, bool& closed) const;

    const unsigned char* s;
    qsizetype n;
    const PhpLexOptions& opt;
    bool doubleByte;
};

// `<?php` at i in any case; the end of the tag with its one blank or line break, or -1 when
// `<?php` is followed by anything else.
qsizetype Scanner::PhpTagEnd(qsizetype i) const
{
    if (n - i < 5 || AsciiLower(s[i + 2]) != 'p' || AsciiLower(s[i + 3]) != 'h' ||
        AsciiLower(s[i + 4]) != 'p')
        return -1;
    const qsizetype k = i + 5;
    if (k == n)
        return k;
    if (s[k] == ' ' || s[k] == '\t' || s[k] == '\n')
        return k + 1;
    if (s[k] == '\r')
        return At(k + 1) == '\n' ? k + 2 : k + 1;
    return -1;
}

// Whether the `<` at i opens PHP code, which ends the inline text before it.
bool Scanner::OpensCode(qsizetype i) const
{
    if (At(i + 1) != '?')
        return false;
    return opt.shortOpenTags || At(i + 2) == '=' || PhpTagEnd(i) >= 0;
}

Scan Scanner::HtmlToken(qsizetype i) const
{
    if (s[i] == '<' && At(i + 1) == '?') {
        if (At(i + 2) == '=')
            return {i + 3, PhpTokenKind::EchoOpenTag};
        if (const qsizetype end = PhpTagEnd(i); end >= 0)
            return {end, PhpTokenKind::OpenTag};
        if (opt.shortOpenTags) // `<?phpx` too is `<?` and a name
            return {i + 2, PhpTokenKind::OpenTag};
    }
    qsizetype j = i + 1;
    while (j < n) {
        const void* lt = std::memchr(s + j, '<', size_t(n - j));
        if (!lt)
            return {n, PhpTokenKind::InlineHtml};
        j = static_cast<const unsigned char*>(lt) - s;
        if (OpensCode(j))
            return {j, PhpTokenKind::InlineHtml};
        ++j;
    }
    return {n, PhpTokenKind::InlineHtml};
}

Scan Scanner::Name(qsizetype i) const
{
    qsizetype j = NameEnd(i);
    const qsizetype first = j;
    while (At(j) == '\\' && IsNameStart(At(j + 1)))
        j = NameEnd(j + 1);
    if (j == first) {
        const QByteArrayView word(s + i, j - i);
        if (word.size() == 15 && PhpNameEquals(word, "__halt_compiler"))
            return {j, PhpTokenKind::HaltCompiler};
        // `yield from` with blanks between is one token, when a byte follows it.
        if (word.size() == 5 && PhpNameEquals(word, "yield") && IsBlank(At(j))) {
            qsizetype k = j;
            while (k < n && IsBlank(s[k]))
                ++k;
            if (n - k > 4 && PhpNameEquals(QByteArrayView(s + k, 4), "from") &&
                !NameTable[s[k + 4]])
                return {k + 4, PhpTokenKind::Identifier};
        }
    }
    return {j, PhpTokenKind::Identifier};
}

Scan Scanner::NumberToken(qsizetype i) const
{
    if (s[i] == '0') {
        const unsigned char x = AsciiLower(At(i + 1));
        if (x == 'x' && IsHexDigit(At(i + 2)))
            return {DigitsEnd(i + 2, IsHexDigit), PhpTokenKind::Number};
        if (x == 'b' && (At(i + 2) == '0' || At(i + 2) == '1'))
            return {DigitsEnd(i + 2, [](unsigned char b) { return b == '0' || b == '1'; }),
                    PhpTokenKind::Number};
        if (x == 'o' && At(i + 2) >= '0' && At(i + 2) <= '7')
            return {DigitsEnd(i + 2, [](unsigned char b) { return b >= '0' && b <= '7'; }),
                    PhpTokenKind::Number};
    }
    qsizetype j = DigitsEnd(i, IsDigit);
    quint8 flags = 0;
    // A point after digits makes a float even with no digits behind it (`1.`).
    if (At(j) == '.' && (j > i || IsDigit(At(j + 1)))) {
        j = DigitsEnd(j + 1, IsDigit);
        flags = PhpTokenFlag::Float;
    }
    if (AsciiLower(At(j)) == 'e') {
        const qsizetype k = At(j + 1) == '+' || At(j + 1) == '-' ? j + 2 : j + 1;
        if (IsDigit(At(k))) {
            j = DigitsEnd(k, IsDigit);
            flags = PhpTokenFlag::Float;
        }
    }
    return {j, PhpTokenKind::Number, flags};
}

// `(int)`, `( string )` and the other casts, blanks and tabs allowed inside the parentheses.
Scan Scanner::Cast(qsizetype i) const
{
    static constexpr const char* Types[] = {"int",    "integer", "bool",   "boolean",
                                            "float",  "double",  "real",   "string",
                                            "binary", "array",   "object", "unset"};
    qsizetype j = i + 1;
    while (At(j) == ' ' || At(j) == '\t')
        ++j;
    const qsizetype word = j;
    while (j < n && AsciiLower(s[j]) >= 'a' && AsciiLower(s[j]) <= 'z')
        ++j;
    const QByteArrayView type(s + word, j - word);
    while (At(j) == ' ' || At(j) == '\t')
        ++j;
    if (At(j) == ')' && !type.isEmpty())
        for (const char* t : Types)
            if (PhpNameEquals(type, t))
                return {j + 1, PhpTokenKind::Operator};
    return {i + 1, PhpTokenKind::Operator};
}

// The end of the operator at i, longest first.
qsizetype Scanner::OperatorEnd(qsizetype i) const
{
    const unsigned char c1 = At(i + 1);
    const unsigned char c2 = At(i + 2);
    switch (s[i]) {
    case '=':
        return c1 == '=' ? (c2 == '=' ? i + 3 : i + 2) : c1 == '>' ? i + 2 : i + 1;
    case '!':
        return c1 == '=' ? (c2 == '=' ? i + 3 : i + 2) : i + 1;
    case '<':
        if (c1 == '=')
            return c2 == '>' ? i + 3 : i + 2;
        if (c1 == '<')
            return c2 == '=' ? i + 3 : i + 2;
        return c1 == '>' ? i + 2 : i + 1;
    case '>':
        if (c1 == '>')
            return c2 == '=' ? i + 3 : i + 2;
        return c1 == '=' ? i + 2 : i + 1;
    case '*':
        if (c1 == '*')
            return c2 == '=' ? i + 3 : i + 2;
        return c1 == '=' ? i + 2 : i + 1;
    case '.':
        if (c1 == '.' && c2 == '.')
            return i + 3;
        return c1 == '=' ? i + 2 : i + 1;
    case '?':
        if (c1 == '?')
            return c2 == '=' ? i + 3 : i + 2;
        return c1 == '-' && c2 == '>' ? i + 3 : i + 1;
    case '&':
        return c1 == '&' || c1 == '=' ? i + 2 : i + 1;
    case '|':
        return c1 == '|' || c1 == '=' ? i + 2 : i + 1;
    case '+':
        return c1 == '+' || c1 == '=' ? i + 2 : i + 1;
    case '-':
        return c1 == '-' || c1 == '=' || c1 == '>' ? i + 2 : i + 1;
    case ':':
        return c1 == ':' ? i + 2 : i + 1;
    case '/':
    case '%':
    case '^':
        return c1 == '=' ? i + 2 : i + 1;
    case '#':
        return i + 2; // `#[`, the caller has seen the bracket
    default:
        return i + 1;
    }
}

// `//` or `#` from i: to the line break or `?>`, which stay outside.
Scan Scanner::LineComment(qsizetype i) const
{
    qsizetype j = i;
    for (;;) {
        j = FindStop(j, LineCommentStops);
        if (j >= n || s[j] != '?' || At(j + 1) == '>')
            return {j < n ? j : n, PhpTokenKind::LineComment};
        ++j;
    }
}

Scan Scanner::BlockComment(qsizetype i) const
{
    const bool doc = At(i + 2) == '*' && IsBlank(At(i + 3));
    const quint8 flags = doc ? PhpTokenFlag::DocComment : 0;
    qsizetype j = doc ? i + 4 : i + 2;
    while (j < n) {
        if (!doubleByte) {
            const void* star = std::memchr(s + j, '*', size_t(n - j));
            if (!star)
                break;
            j = static_cast<const unsigned char*>(star) - s;
        }
        if (s[j] == '*' && At(j + 1) == '/')
            return {j + 2, PhpTokenKind::BlockComment, flags};
        j = doubleByte ? CharEnd(j) : j + 1;
    }
    return {n, PhpTokenKind::BlockComment, quint8(flags | PhpTokenFlag::Unterminated)};
}

// A single-quoted string whose quote is at i - 1.
Scan Scanner::SingleQuoted(qsizetype i) const
{
    qsizetype j = i;
    for (;;) {
        j = FindStop(j, SingleQuotedStops);
        if (j >= n)
            return {n, PhpTokenKind::Bad, PhpTokenFlag::Unterminated};
        if (s[j] == '\'')
            return {j + 1, PhpTokenKind::SingleQuoted};
        if (j + 1 >= n)
            return {n, PhpTokenKind::Bad, PhpTokenFlag::Unterminated};
        j = CharEnd(j + 1); // a backslash takes the next character, whatever it is
    }
}

// The end of the expression that begins at i inside `{$` or `${`: past its matching brace.
qsizetype Scanner::BracedEnd(qsizetype i, int depth, bool& closed) const
{
    closed = false;
    if (depth >= PhpLexMaxNesting)
        return n;
    int level = 0;
    while (i < n) {
        const Scan t = CodeToken(i, depth + 1);
        if (t.kind == PhpTokenKind::Operator && t.end == i + 1) {
            if (s[i] == '{') {
                ++level;
            } else if (s[i] == '}') {
                if (level == 0) {
                    closed = true;
                    return t.end;
                }
                --level;
            }
        }
        i = t.end;
    }
    return n;
}

// The interpolation at i (`$name...`, `{$`, `${`); its end, or i when none starts there.
qsizetype Scanner::Interpolation(qsizetype i, int depth, PhpStringPiece::Kind& kind,
                                 bool& closed) const
{
    closed = true;
    const unsigned char c1 = At(i + 1);
    if (s[i] == '{') {
        if (c1 != '$')
            return i;
        kind = PhpStringPiece::Kind::Braced;
        return BracedEnd(i + 1, depth, closed);
    }
    if (c1 == '{') {
        kind = PhpStringPiece::Kind::DollarBraced;
        return BracedEnd(i + 2, depth, closed);
    }
    if (!IsNameStart(c1))
        return i;
    kind = PhpStringPiece::Kind::Variable;
    const qsizetype k = NameEnd(i + 1);
    if (At(k) == '[') {
        // An offset ends at `]`; a blank, backslash, quote or `#` leaves it without ending the
        // text, as PHP reads it, and anything else, a double quote too, stays inside.
        qsizetype j = k + 1;
        while (j < n) {
            const unsigned char c = s[j];
            if (c == ']')
                return j + 1;
            if (IsBlank(c) || c == '\\' || c == '\'' || c == '#')
                return j;
            j = CharEnd(j);
        }
        return n;
    }
    if (At(k) == '-' && At(k + 1) == '>' && IsNameStart(At(k + 2)))
        return NameEnd(k + 2);
    if (At(k) == '?' && At(k + 1) == '-' && At(k + 2) == '>' && IsNameStart(At(k + 3)))
        return NameEnd(k + 3);
    return k;
}

// A text with interpolation from i up to quote (none: to the end); pieces, when given, gets its
// literal runs and interpolations.
Body Scanner::InterpolatedBody(qsizetype i, unsigned char quote, bool heredoc, int depth,
                               std::vector<PhpStringPiece>* pieces) const
{
    qsizetype text = i;
    auto flush = [&](qsizetype end) {
        if (pieces && end > text)
            pieces->push_back({PhpStringPiece::Kind::Text, text, end - text});
    };
    qsizetype j = i;
    while (j < n) {
        j = FindStop(j, InterpolatedStops);
        if (j >= n)
            break;
        const unsigned char c = s[j];
        if (c == quote) {
            flush(j);
            return {j + 1, true};
        }
        if (c == '\\') {
            if (j + 1 < n && !(heredoc && (s[j + 1] == '\n' || s[j + 1] == '\r')))
                j = CharEnd(j + 1);
            else
                ++j;
            continue;
        }
        if (c == '$' || c == '{') {
            PhpStringPiece::Kind kind = PhpStringPiece::Kind::Text;
            bool closed = true;
            const qsizetype end = Interpolation(j, depth, kind, closed);
            if (end > j) {
                flush(j);
                if (pieces)
                    pieces->push_back({kind, j, end - j});
                text = j = end;
                if (!closed)
                    return {n, false};
                continue;
            }
        }
        ++j;
    }
    flush(n);
    return {n, false};
}

// A double-quoted or backquoted string whose quote is at i - 1.
Scan Scanner::Interpolated(qsizetype i, int depth) const
{
    const unsigned char quote = s[i - 1];
    const Body body = InterpolatedBody(i, quote, false, depth, nullptr);
    if (!body.closed)
        return {n, PhpTokenKind::Bad, PhpTokenFlag::Unterminated};
    return {body.end, quote == '"' ? PhpTokenKind::DoubleQuoted : PhpTokenKind::Backquoted};
}

// The end of the closing marker when the line from i holds one: blanks and tabs, the label,
// and a byte that cannot continue a name (PHP wants that byte: a marker that ends the input
// closes nothing); -1 otherwise.
qsizetype Scanner::MarkerEnd(qsizetype i, qsizetype label, qsizetype labelLength) const
{
    while (i < n && (s[i] == ' ' || s[i] == '\t'))
        ++i;
    if (labelLength < n - i && std::memcmp(s + i, s + label, size_t(labelLength)) == 0 &&
        !NameTable[s[i + labelLength]])
        return i + labelLength;
    return -1;
}

// `<<<` at i starts a heredoc or nowdoc when a label and a line break follow.
bool Scanner::HeredocStart(qsizetype i, int depth, Scan& out) const
{
    if (At(i + 1) != '<' || At(i + 2) != '<')
        return false;
    qsizetype j = i + 3;
    while (At(j) == ' ' || At(j) == '\t')
        ++j;
    const unsigned char quote = At(j) == '\'' || At(j) == '"' ? s[j] : 0;
    if (quote)
        ++j;
    if (!IsNameStart(At(j)))
        return false;
    const qsizetype label = j;
    j = NameEnd(j);
    const qsizetype labelLength = j - label;
    if (quote && At(j++) != quote)
        return false;
    if (At(j) == '\r')
        j += At(j + 1) == '\n' ? 2 : 1;
    else if (At(j) == '\n')
        ++j;
    else
        return false;
    const bool nowdoc = quote == '\'';
    const PhpTokenKind kind = nowdoc ? PhpTokenKind::Nowdoc : PhpTokenKind::Heredoc;
    if (const qsizetype end = MarkerEnd(j, label, labelLength); end >= 0) {
        out = {end, kind};
        return true;
    }
    while (j < n) {
        const unsigned char c = s[j];
        if (c == '\n' || c == '\r') {
            j += c == '\r' && At(j + 1) == '\n' ? 2 : 1;
            if (const qsizetype end = MarkerEnd(j, label, labelLength); end >= 0) {
                out = {end, kind};
                return true;
            }
            continue;
        }
        if (!nowdoc && c == '\\') {
            j += j + 1 < n && s[j + 1] != '\n' && s[j + 1] != '\r' ? 2 : 1;
            continue;
        }
        if (!nowdoc && (c == '$' || c == '{')) {
            PhpStringPiece::Kind piece = PhpStringPiece::Kind::Text;
            bool closed = true;
            const qsizetype end = Interpolation(j, depth, piece, closed);
            if (end > j) {
                if (!closed)
                    break;
                j = end;
                continue;
            }
        }
        j = CharEnd(j);
    }
    out = {n, PhpTokenKind::Bad, PhpTokenFlag::Unterminated};
    return true;
}

Scan Scanner::CodeToken(qsizetype i, int depth) const
{
    const unsigned char c = s[i];
    const unsigned char c1 = At(i + 1);
    switch (StartTable[c]) {
    case Start::Blank: {
        qsizetype j = i + 1;
        while (j < n && IsBlank(s[j]))
            ++j;
        return {j, PhpTokenKind::Whitespace};
    }
    case Start::Name:
        if (c == 'b' || c == 'B') {
            if (c1 == '\'')
                return SingleQuoted(i + 2);
            if (c1 == '"')
                return Interpolated(i + 2, depth);
            if (Scan h{}; c1 == '<' && HeredocStart(i + 1, depth, h))
                return h;
        }
        return Name(i);
    case Start::Digit:
        return NumberToken(i);
    case Start::Bad:
        return {i + 1, PhpTokenKind::Bad};
    case Start::Punct:
        break;
    }
    switch (c) {
    case '$':
        if (IsNameStart(c1))
            return {NameEnd(i + 1), PhpTokenKind::Variable};
        break;
    case '\\':
        if (IsNameStart(c1))
            return {Name(i + 1).end, PhpTokenKind::Identifier};
        break;
    case '.':
        if (IsDigit(c1))
            return NumberToken(i);
        break;
    case '\'':
        return SingleQuoted(i + 1);
    case '"':
    case '`':
        return Interpolated(i + 1, depth);
    case '#':
        if (c1 == '[')
            return {i + 2, PhpTokenKind::Operator};
        return LineComment(i + 1);
    case '/':
        if (c1 == '/')
            return LineComment(i + 2);
        if (c1 == '*')
            return BlockComment(i);
        break;
    case '?':
        if (c1 == '>') {
            qsizetype j = i + 2;
            if (At(j) == '\r')
                j += At(j + 1) == '\n' ? 2 : 1;
            else if (At(j) == '\n')
                ++j;
            return {j, PhpTokenKind::CloseTag};
        }
        break;
    case '<':
        if (Scan h{}; HeredocStart(i, depth, h))
            return h;
        break;
    case '(':
        return Cast(i);
    default:
        break;
    }
    return {OperatorEnd(i), PhpTokenKind::Operator};
}

// Line breaks in [b, e): LF, CR LF and a lone CR; a CR at e whose LF follows is counted with
// that LF.
qint32 CountBreaks(const unsigned char* s, qsizetype n, qsizetype b, qsizetype e)
{
    qint32 count = 0;
    for (qsizetype p = b; p < e; ++p) {
        if (s[p] == '\n')
            ++count;
        else if (s[p] == '\r' && (p + 1 >= n || s[p + 1] != '\n'))
            ++count;
    }
    return count;
}

} // namespace

PhpLexer::PhpLexer(QByteArrayView input, const PhpLexOptions& options)
    : m_s(reinterpret_cast<const unsigned char*>(input.data())), m_n(input.size()),
      m_options(options), m_mode(options.startInCode ? Mode::Code : Mode::Html)
{
}

bool PhpLexer::Next(PhpToken& token)
{
    if (m_pos >= m_n)
        return false;
    const Scanner scanner(m_s, m_n, m_options);
    Scan t{m_n, PhpTokenKind::Data};
    if (m_mode == Mode::Html) {
        t = scanner.HtmlToken(m_pos);
        if (t.kind != PhpTokenKind::InlineHtml)
            m_mode = Mode::Code;
    } else if (m_mode == Mode::Code) {
        t = scanner.CodeToken(m_pos, 0);
        if (t.kind == PhpTokenKind::CloseTag)
            m_mode = Mode::Html;
    }

    // `__halt_compiler ( ) ;` ends the code; blanks and comments may stand between.
    if (t.kind == PhpTokenKind::HaltCompiler) {
        m_haltStage = 1;
    } else if (m_haltStage > 0 && t.kind != PhpTokenKind::Whitespace &&
               t.kind != PhpTokenKind::LineComment && t.kind != PhpTokenKind::BlockComment &&
               t.kind != PhpTokenKind::OpenTag) {
        const unsigned char c = m_s[m_pos];
        const bool one = t.end == m_pos + 1;
        const bool expected = m_haltStage == 1 ? one && c == '('
                              : m_haltStage == 2
                                  ? one && c == ')'
                                  : (one && c == ';') || t.kind == PhpTokenKind::CloseTag;
        m_haltStage = expected ? m_haltStage + 1 : 0;
        if (m_haltStage == 4) {
            m_haltStage = 0;
            m_mode = Mode::Data;
        }
    }

    token.offset = m_pos;
    token.length = t.end - m_pos;
    token.line = m_line;
    token.kind = t.kind;
    token.flags = t.flags;
    switch (t.kind) {
    case PhpTokenKind::Variable:
    case PhpTokenKind::Number:
    case PhpTokenKind::Operator:
    case PhpTokenKind::HaltCompiler:
        break;
    default:
        m_line += CountBreaks(m_s, m_n, m_pos, t.end);
    }
    m_pos = t.end;
    return true;
}

std::vector<PhpToken> LexPhp(QByteArrayView input, const PhpLexOptions& options)
{
    std::vector<PhpToken> tokens;
    // Language files run to about one token in five or six bytes.
    tokens.reserve(size_t(input.size() / 5 + 16));
    LexPhp(input, options, [&](const PhpToken& t) { tokens.push_back(t); });
    return tokens;
}

std::vector<PhpStringPiece> SplitPhpInterpolation(QByteArrayView inside,
                                                  const PhpLexOptions& options, bool heredoc)
{
    std::vector<PhpStringPiece> pieces;
    const Scanner scanner(reinterpret_cast<const unsigned char*>(inside.data()), inside.size(),
                          options);
    scanner.InterpolatedBody(0, 0, heredoc, 0, &pieces);
    return pieces;
}

bool PhpNameEquals(QByteArrayView name, QByteArrayView keyword)
{
    if (name.size() != keyword.size())
        return false;
    for (qsizetype i = 0; i < name.size(); ++i)
        if (AsciiLower(static_cast<unsigned char>(name[i])) !=
            static_cast<unsigned char>(keyword[i]))
            return false;
    return true;
}
