#include "phpreader.h"
#include "phpvalue.h"
#include "textlines.h"

#include <QHash>
#include <QList>
#include <charconv>
#include <cstring>
#include <limits>

namespace {

bool IsBlankByte(char c)
{
    return c == ' ' || c == '\t';
}

// Whether the string s is one PHP takes as an integer array key: decimal, no leading zero or
// plus, within 64 bits.
bool IntegerKey(QByteArrayView s, qint64& value)
{
    if (s.isEmpty() || s.size() > 20)
        return false;
    qsizetype i = s[0] == '-' ? 1 : 0;
    if (i == s.size() || (s[i] == '0' && s.size() > i + 1) || (i == 1 && s[1] == '0'))
        return false;
    for (qsizetype k = i; k < s.size(); ++k)
        if (s[k] < '0' || s[k] > '9')
            return false;
    bool ok = false;
    value = s.toLongLong(&ok);
    return ok;
}

// An integer number token's value: decimal, hexadecimal, octal or binary, `_` between digits.
bool NumberValue(QByteArrayView token, qint64& value)
{
    QByteArray digits;
    for (const char c : token)
        if (c != '_')
            digits.append(c);
    int base = 10;
    qsizetype from = 0;
    if (digits.size() > 1 && digits[0] == '0') {
        const char x = char(digits[1] | 0x20);
        base = x == 'x' ? 16 : x == 'b' ? 2 : 8;
        from = x == 'x' || x == 'b' || x == 'o' ? 2 : 1;
    }
    bool ok = false;
    value = digits.sliced(from).toLongLong(&ok, base);
    return ok || (digits == "0" && (value = 0, true));
}

class Reader
{
public:
    // Reads the piece of text from base, of length bytes, whose first line is line number
    // firstLine (from 1): the whole text, or one run of lines of a file without open tags.
    Reader(QByteArrayView text, const PhpLexOptions& options, qsizetype base, qsizetype length,
           int firstLine, const std::function<void(const PhpStatement&)>& onPhrase)
        : m_text(text), m_options(options), m_lexer(text.sliced(base, length), options),
          m_base(base), m_lineBase(firstLine - 1), m_onPhrase(onPhrase)
    {
    }

    void Run();

private:
    // --- tokens: cur is the token being looked at, next the one after it; whitespace and
    // comments are never seen.
    bool Advance()
    {
        m_cur = m_next;
        m_haveCur = m_haveNext;
        m_haveNext = Fetch(m_next);
        return m_haveCur;
    }
    bool Fetch(PhpToken& t)
    {
        while (m_lexer.Next(t)) {
            t.offset += m_base;
            t.line += m_lineBase;
            switch (t.kind) {
            case PhpTokenKind::Whitespace:
            case PhpTokenKind::LineComment:
            case PhpTokenKind::BlockComment:
                continue;
            case PhpTokenKind::InlineHtml:
                ReadBracketLines(t);
                return true;
            default:
                return true;
            }
        }
        return false;
    }
    QByteArrayView Bytes(const PhpToken& t) const { return m_text.sliced(t.offset, t.length); }
    bool NextIs(char c) const
    {
        return m_haveNext && m_next.kind == PhpTokenKind::Operator && m_next.length == 1 &&
               m_text[m_next.offset] == c;
    }
    bool NextIsOperator(QByteArrayView op) const
    {
        return m_haveNext && m_next.kind == PhpTokenKind::Operator && Bytes(m_next) == op;
    }
    bool CurIs(char c) const
    {
        return m_haveCur && m_cur.kind == PhpTokenKind::Operator && m_cur.length == 1 &&
               m_text[m_cur.offset] == c;
    }
    bool NextIsName(QByteArrayView keyword) const
    {
        return m_haveNext && m_next.kind == PhpTokenKind::Identifier &&
               PhpNameEquals(Bytes(m_next), keyword);
    }
    bool NextIsString() const
    {
        return m_haveNext && (m_next.kind == PhpTokenKind::SingleQuoted ||
                              m_next.kind == PhpTokenKind::DoubleQuoted);
    }
    // Whether t is the first token on its line, only blanks before it.
    bool FirstOnLine(const PhpToken& t) const
    {
        qsizetype i = t.offset;
        while (i > 0 && IsBlankByte(m_text[i - 1]))
            --i;
        return i == 0 || m_text[i - 1] == '\n' || m_text[i - 1] == '\r';
    }
    qsizetype LineStartOf(qsizetype offset) const
    {
        while (offset > 0 && m_text[offset - 1] != '\n' && m_text[offset - 1] != '\r')
            --offset;
        return offset;
    }

    // A string literal token's text as a key: its convention text (escapes as written, the
    // own quote unescaped) or its PHP value; false for an interpolating string.
    bool LiteralKey(const PhpToken& t, bool phpValue, QByteArrayView& key)
    {
        QByteArrayView literal = Bytes(t);
        if (literal[0] == 'b' || literal[0] == 'B')
            literal = literal.sliced(1);
        const char quote = literal[0];
        const QByteArrayView inside = literal.sliced(1, literal.size() - 2);
        if (quote == '"' && std::memchr(inside.data(), '$', size_t(inside.size()))) {
            for (const PhpStringPiece& p : SplitPhpInterpolation(inside, m_options))
                if (p.kind != PhpStringPiece::Kind::Text)
                    return false;
        }
        if (!std::memchr(inside.data(), '\\', size_t(inside.size()))) {
            key = inside;
            return true;
        }
        if (phpValue) {
            m_keyText = PhpTextValue(inside, quote);
        } else {
            // The convention text of the quote: only its own escaped quote unescaped.
            m_keyText.clear();
            for (qsizetype i = 0; i < inside.size(); ++i) {
                if (inside[i] == '\\' && i + 1 < inside.size()) {
                    if (inside[i + 1] != quote)
                        m_keyText.append('\\');
                    m_keyText.append(inside[++i]);
                } else {
                    m_keyText.append(inside[i]);
                }
            }
        }
        key = m_keyText;
        return true;
    }

    // An array key token (a string or an integer) appended to path as `[...]`; the integer it
    // stands for in index when it is one.
    bool AppendKeyToken(QByteArray& path, const PhpToken& t, bool negative, qint64& index,
                        bool& integer)
    {
        integer = false;
        if (t.kind == PhpTokenKind::Number) {
            if (t.flags & PhpTokenFlag::Float)
                return false;
            qint64 v = 0;
            if (!NumberValue(Bytes(t), v))
                return false;
            index = negative ? -v : v;
            integer = true;
            path.append('[').append(QByteArray::number(index)).append(']');
            return true;
        }
        QByteArrayView key;
        if (negative ||
            (t.kind != PhpTokenKind::SingleQuoted && t.kind != PhpTokenKind::DoubleQuoted) ||
            !LiteralKey(t, true, key))
            return false;
        if (IntegerKey(key, index))
            integer = true;
        path += '[';
        AppendPhpKey(path, key);
        path += ']';
        return true;
    }

    struct ValueSpan
    {
        qsizetype begin = -1;
        qsizetype end = -1;
        bool hasText = false;
        int tokens = 0;
        PhpTokenKind first = PhpTokenKind::Bad;
        // The quote of a value that is one plain literal (no `$` in double quotes), or 0.
        char Literal(QByteArrayView text) const
        {
            if (tokens != 1)
                return 0;
            const char q = text[begin];
            if (first == PhpTokenKind::SingleQuoted && q == '\'')
                return q;
            if (first == PhpTokenKind::DoubleQuoted && q == '"' &&
                !std::memchr(text.data() + begin, '$', size_t(end - begin)))
                return q;
            return 0;
        }
    };
    // Consumes the tokens of a value up to, not including, a terminator at depth 0: `,` `;`
    // `=>` or a closing bracket, a closing tag or the end of the code. With firstTaken the
    // current token is its first.
    ValueSpan ScanValue(bool firstTaken)
    {
        ValueSpan v;
        int depth = 0;
        const auto take = [&](const PhpToken& t) {
            if (v.begin < 0) {
                v.begin = t.offset;
                v.first = t.kind;
            }
            ++v.tokens;
            v.end = t.offset + t.length;
            if (t.kind == PhpTokenKind::SingleQuoted || t.kind == PhpTokenKind::DoubleQuoted ||
                t.kind == PhpTokenKind::Heredoc || t.kind == PhpTokenKind::Nowdoc)
                v.hasText = v.hasText || depth == 0;
            if (t.kind == PhpTokenKind::Operator && t.length == 1) {
                const char c = m_text[t.offset];
                if (c == '(' || c == '[' || c == '{')
                    ++depth;
                else if (c == ')' || c == ']' || c == '}')
                    --depth;
            }
        };
        if (firstTaken)
            take(m_cur);
        while (m_haveNext) {
            const PhpTokenKind k = m_next.kind;
            if (k == PhpTokenKind::CloseTag || k == PhpTokenKind::InlineHtml ||
                k == PhpTokenKind::OpenTag || k == PhpTokenKind::EchoOpenTag ||
                k == PhpTokenKind::HaltCompiler || k == PhpTokenKind::Data)
                break;
            if (k == PhpTokenKind::Operator && depth == 0) {
                const QByteArrayView b = Bytes(m_next);
                if (b == "," || b == ";" || b == "=>" || b == ")" || b == "]" || b == "}")
                    break;
            }
            Advance();
            take(m_cur);
        }
        return v;
    }

    void Emit(PhpStatement& s) { m_onPhrase(s); }

    void ReadBracketLines(const PhpToken& html);
    void ParseDefine(qsizetype begin, int line);
    void ParseConst();
    void ParseCase();
    void ParseAssignment();
    void ParseReturn();
    // Reads an array literal whose opening `[` or `(` is the current token, its entries being
    // phrases under path; leaves the closing bracket as the current token.
    void ParseArray(qsizetype pathLength, char close);
    // After `=`: an array literal or array_merge(...) read as entries under path, true; false
    // when the value is neither (nothing consumed).
    bool ParseArrayValue(qsizetype pathLength);
    void AppendIndex(qint64 index)
    {
        char digits[24];
        const auto [end, error] = std::to_chars(digits, digits + sizeof digits, index);
        m_path.append('[').append(digits, end - digits).append(']');
    }
    void EmitValue(PhraseLineKind kind, QByteArrayView key, qsizetype begin, int line,
                   const ValueSpan& v, bool firstWins)
    {
        PhpStatement s;
        s.kind = kind;
        s.key = key;
        s.begin = begin;
        s.end = v.end;
        s.valueBegin = v.begin;
        s.valueEnd = v.end;
        s.literal = v.Literal(m_text);
        s.line = line;
        s.firstWins = firstWins;
        Emit(s);
    }
    void NoteIndex(const QByteArray& parent, qint64 index)
    {
        qint64& next = m_nextIndex[parent];
        if (index >= next)
            next = index == std::numeric_limits<qint64>::max() ? index : index + 1;
    }

    QByteArrayView m_text;
    PhpLexOptions m_options;
    PhpLexer m_lexer;
    qsizetype m_base;
    int m_lineBase;
    const std::function<void(const PhpStatement&)>& m_onPhrase;
    PhpToken m_cur, m_next;
    bool m_haveCur = false;
    bool m_haveNext = false;
    QByteArray m_keyText;
    // The key path being read: a variable or `return`, then its [..] parts, grown and cut back
    // as nested array literals are entered and left.
    QByteArray m_path;
    // The next index `$name[] = ...` takes, per array path.
    QHash<QByteArray, qint64> m_nextIndex;
    // How many `.=` each key had so far: the second one is a phrase of its own.
    QHash<QByteArray, int> m_appends;
    // Per open brace: whether it opened a function's or class's body.
    QList<bool> m_braces;
    int m_codeBodies = 0;
};

void Reader::Run()
{
    m_haveNext = Fetch(m_next);
    bool boundary = true;     // the current token may start a statement
    bool pendingBody = false; // a function or class keyword waits for its body's brace
    qsizetype silenced = -1;  // where an `@` right before the current token stands
    QByteArrayView prev;      // the previous token's bytes when it is an operator or a name
    while (Advance()) {
        const PhpToken& t = m_cur;
        const qsizetype started = t.offset; // t follows m_cur as a parse advances
        const QByteArrayView bytes = Bytes(t);
        bool nextBoundary = false;
        qsizetype at = -1;
        switch (t.kind) {
        case PhpTokenKind::OpenTag:
        case PhpTokenKind::CloseTag:
        case PhpTokenKind::InlineHtml:
        case PhpTokenKind::EchoOpenTag:
            nextBoundary = true;
            break;
        case PhpTokenKind::Operator:
            if (bytes == "{") {
                m_braces.append(pendingBody);
                m_codeBodies += pendingBody;
                pendingBody = false;
                nextBoundary = true;
            } else if (bytes == "}") {
                if (!m_braces.isEmpty())
                    m_codeBodies -= m_braces.takeLast();
                nextBoundary = true;
            } else if (bytes == ";") {
                pendingBody = false; // an abstract method or interface has no body
                nextBoundary = true;
            } else if (bytes == ":") {
                nextBoundary = true;
            } else if (bytes == "@") {
                nextBoundary = boundary;
                at = t.offset;
            }
            break;
        case PhpTokenKind::Identifier: {
            const bool member = prev == "->" || prev == "::" || prev == "?->" ||
                                PhpNameEquals(prev, "function") || PhpNameEquals(prev, "const") ||
                                PhpNameEquals(prev, "new");
            const QByteArrayView name = bytes.startsWith('\\') ? bytes.sliced(1) : bytes;
            if (member)
                break;
            if (PhpNameEquals(name, "function") || PhpNameEquals(name, "class") ||
                PhpNameEquals(name, "interface") || PhpNameEquals(name, "trait") ||
                PhpNameEquals(name, "enum")) {
                pendingBody = true;
            } else if (PhpNameEquals(name, "define") && NextIs('(')) {
                ParseDefine(silenced >= 0 ? silenced : t.offset, t.line - 1);
            } else if (PhpNameEquals(bytes, "const") && boundary && m_codeBodies == 0) {
                ParseConst();
            } else if (PhpNameEquals(bytes, "case")) {
                ParseCase();
            } else if (PhpNameEquals(bytes, "return") && boundary && m_codeBodies == 0) {
                ParseReturn();
            } else if (PhpNameEquals(bytes, "else")) {
                nextBoundary = true;
            }
            break;
        }
        case PhpTokenKind::Variable:
            if (boundary && m_codeBodies == 0)
                ParseAssignment();
            break;
        default:
            break;
        }
        // A parse that moved on to the `;` ending its statement leaves a statement's start
        // after it (the braces it took in a value are balanced).
        if (m_haveCur && m_cur.offset != started && CurIs(';'))
            nextBoundary = true;
        boundary = nextBoundary;
        silenced = at;
        prev = m_haveCur && (m_cur.kind == PhpTokenKind::Operator ||
                             m_cur.kind == PhpTokenKind::Identifier)
                   ? Bytes(m_cur)
                   : QByteArrayView();
    }
}

void Reader::ReadBracketLines(const PhpToken& html)
{
    const QByteArrayView text = Bytes(html);
    PhraseLineParts parts;
    int line = html.line - 1;
    ForEachLine(text, [&](qsizetype start, qsizetype length) {
        const int l = line++;
        const QByteArrayView bytes = text.sliced(start, length);
        qsizetype b = 0;
        while (b < bytes.size() && uchar(bytes[b]) <= 32)
            ++b;
        if (!bytes.sliced(b).startsWith("[[") ||
            ReadPhraseLine(bytes, parts, true) != PhraseLineKind::lkBracket || parts.key.isEmpty())
            return;
        PhpStatement s;
        s.kind = PhraseLineKind::lkBracket;
        s.key = parts.key;
        s.begin = html.offset + start;
        s.end = s.begin + length;
        s.valueBegin = parts.valueEnd > 0 ? s.begin + parts.valueBegin : s.end;
        s.valueEnd = parts.valueEnd > 0 ? s.begin + parts.valueEnd : s.end;
        s.line = l;
        s.fixedLayout = true;
        s.layoutRequired = parts.valueEnd == 0;
        s.layoutEnd = s.end;
        s.firstWins = true;
        Emit(s);
    });
}

void Reader::ParseDefine(qsizetype begin, int line)
{
    const PhpToken keyword = m_cur;
    Advance(); // (
    if (!NextIsString())
        return;
    Advance();
    const PhpToken keyToken = m_cur;
    QByteArrayView key;
    if (!LiteralKey(keyToken, false, key) || key.isEmpty() || !NextIs(','))
        return;
    Advance(); // ,
    if (!m_haveNext)
        return;
    const ValueSpan v = ScanValue(false);
    if (v.begin < 0)
        return;
    // A third argument (case_insensitive, gone in PHP 8) is allowed.
    if (NextIs(',')) {
        Advance();
        ScanValue(false);
    }
    if (!NextIs(')'))
        return;
    Advance();
    const qsizetype closeEnd = m_cur.offset + m_cur.length;
    PhpStatement s;
    s.kind = PhraseLineKind::lkDefine;
    s.key = key; // its buffer is not used again before the phrase is handed over
    s.begin = begin;
    s.end = closeEnd;
    s.valueBegin = v.begin;
    s.valueEnd = v.end;
    s.line = line;
    s.firstWins = true;
    // The classic spelling: first on its line, lower case, both texts in double quotes, a
    // single literal value and the `;` right after.
    if (begin == keyword.offset && NextIs(';') && FirstOnLine(keyword) &&
        Bytes(keyword) == "define" && Bytes(keyToken).startsWith('"') && v.Literal(m_text) == '"') {
        s.fixedLayout = true;
        s.begin = LineStartOf(keyword.offset);
        s.layoutEnd = m_next.offset + m_next.length;
    }
    s.literal = v.Literal(m_text);
    Emit(s);
}

void Reader::ParseConst()
{
    // const NAME = VALUE, NAME = VALUE;
    while (m_haveNext && m_next.kind == PhpTokenKind::Identifier) {
        Advance();
        const PhpToken name = m_cur;
        if (!NextIs('='))
            return;
        Advance();
        const ValueSpan v = ScanValue(false);
        if (v.begin < 0)
            return;
        const QByteArray key = Bytes(name).toByteArray();
        PhpStatement s;
        s.kind = PhraseLineKind::lkConst;
        s.key = key;
        s.begin = name.offset;
        s.end = v.end;
        s.valueBegin = v.begin;
        s.valueEnd = v.end;
        s.literal = v.Literal(m_text);
        s.line = name.line - 1;
        s.firstWins = true;
        Emit(s);
        if (!NextIs(','))
            return;
        Advance();
    }
}

void Reader::ParseCase()
{
    const PhpToken keyword = m_cur;
    PhraseLineKind kind = PhraseLineKind::lkCase;
    if (NextIsName("strtolower")) {
        Advance();
        if (!NextIs('('))
            return;
        Advance();
        kind = PhraseLineKind::lkCaseStrToLower;
    }
    if (!NextIsString())
        return;
    Advance();
    const PhpToken keyToken = m_cur;
    QByteArrayView key;
    if (!LiteralKey(keyToken, false, key) || key.isEmpty())
        return;
    if (kind == PhraseLineKind::lkCaseStrToLower) {
        if (!NextIs(')'))
            return;
        Advance();
    }
    if (!NextIs(':') && !NextIs(';'))
        return;
    Advance();
    if (!m_haveNext || m_next.kind != PhpTokenKind::Variable)
        return;
    Advance();
    const PhpToken variable = m_cur;
    if (!NextIs('='))
        return;
    Advance();
    const ValueSpan v = ScanValue(false);
    if (v.begin < 0 || !NextIs(';'))
        return;
    PhpStatement s;
    s.kind = kind;
    s.key = key;
    s.begin = keyword.offset;
    s.literal = v.Literal(m_text);
    s.end = v.end;
    s.valueBegin = v.begin;
    s.valueEnd = v.end;
    s.line = keyword.line - 1;
    s.caseVariable = Bytes(variable);
    s.firstWins = true;
    const QByteArrayView lead = m_text.sliced(keyword.offset);
    const bool lowered = kind == PhraseLineKind::lkCaseStrToLower;
    if (FirstOnLine(keyword) && lead.startsWith(lowered ? "case strtolower" : "case") &&
        Bytes(keyToken).startsWith('"') && v.Literal(m_text) == '"') {
        Advance(); // ;
        s.fixedLayout = true;
        s.begin = LineStartOf(keyword.offset);
        s.layoutEnd = m_cur.offset + 1;
        // A `break;` right after on the same line belongs to the rewritten part.
        if (NextIsName("break")) {
            const qsizetype breakAt = m_next.offset;
            bool sameLine = true;
            for (qsizetype i = s.layoutEnd; i < breakAt; ++i)
                sameLine = sameLine && IsBlankByte(m_text[i]);
            if (sameLine) {
                Advance();
                if (NextIs(';')) {
                    Advance();
                    s.layoutEnd = m_cur.offset + 1;
                }
            }
        }
    }
    Emit(s);
}

void Reader::ParseAssignment()
{
    const PhpToken variable = m_cur;
    m_path.resize(0);
    m_path.append(Bytes(variable));
    bool selectors = false;
    // $GLOBALS['name'] is the global variable $name.
    if (m_path == "$GLOBALS" && NextIs('[')) {
        Advance();
        if (!NextIsString())
            return;
        Advance();
        QByteArrayView name;
        if (!LiteralKey(m_cur, true, name) || name.isEmpty() || !NextIs(']'))
            return;
        m_path.resize(0);
        m_path.append('$').append(name);
        Advance();
    }
    qsizetype parentLength = 0;
    qint64 lastIndex = 0;
    bool lastInteger = false;
    while (NextIs('[')) {
        Advance();
        parentLength = m_path.size();
        selectors = true;
        if (NextIs(']')) {
            // $name[] takes the next index.
            Advance();
            lastIndex = m_nextIndex.value(m_path, 0);
            lastInteger = true;
            AppendIndex(lastIndex);
            continue;
        }
        bool negative = false;
        if (NextIs('-')) {
            Advance();
            negative = true;
        }
        if (!m_haveNext)
            return;
        Advance();
        if (!AppendKeyToken(m_path, m_cur, negative, lastIndex, lastInteger) || !NextIs(']'))
            return;
        Advance();
    }
    if (!m_haveNext || m_next.kind != PhpTokenKind::Operator)
        return;
    const QByteArrayView op = Bytes(m_next);
    if (op != "=" && op != ".=" && op != "+=")
        return;
    Advance();
    if (lastInteger)
        NoteIndex(m_path.first(parentLength), lastIndex);
    if (op != ".=" && ParseArrayValue(m_path.size()))
        return;
    if (op == "+=")
        return;
    const ValueSpan v = ScanValue(false);
    if (v.begin < 0 || !(NextIs(';') || !m_haveNext || m_next.kind == PhpTokenKind::CloseTag))
        return;
    if (op == ".=") {
        const int n = ++m_appends[m_path];
        m_path.append(" .=");
        if (n > 1)
            m_path.append(' ').append(QByteArray::number(n));
        EmitValue(PhraseLineKind::lkAppend, m_path, variable.offset, variable.line - 1, v, false);
        return;
    }
    EmitValue(selectors ? PhraseLineKind::lkElement : PhraseLineKind::lkVariable, m_path,
              variable.offset, variable.line - 1, v, false);
}

bool Reader::ParseArrayValue(qsizetype pathLength)
{
    if (NextIs('[')) {
        Advance();
        ParseArray(pathLength, ']');
        return true;
    }
    if (NextIsName("array")) {
        Advance();
        if (!NextIs('('))
            return true;
        Advance();
        ParseArray(pathLength, ')');
        return true;
    }
    if (NextIsName("array_merge")) {
        Advance();
        if (!NextIs('('))
            return true;
        Advance();
        // Each literal argument adds its entries; other arguments (the array itself) are code.
        while (m_haveNext && !NextIs(')')) {
            m_path.resize(pathLength);
            if (!ParseArrayValue(pathLength))
                ScanValue(false);
            if (!NextIs(','))
                break;
            Advance();
        }
        if (NextIs(')'))
            Advance();
        return true;
    }
    return false;
}

void Reader::ParseArray(qsizetype pathLength, char close)
{
    qint64 nextIndex = 0;
    const auto emitEntry = [&](const PhpToken& first, const ValueSpan& v) {
        EmitValue(PhraseLineKind::lkEntry, m_path, first.offset, first.line - 1, v, false);
    };
    // After an expression: a key computed by code when `=>` follows (named by its code, true),
    // else the value of an entry without a key, numbered as PHP numbers it (false).
    const auto codeKeyOrEntry = [&](const PhpToken& first, const ValueSpan& v) {
        if (NextIsOperator("=>")) {
            m_path.append('[').append(m_text.sliced(v.begin, v.end - v.begin)).append(']');
            Advance();
            return true;
        }
        if (v.begin >= 0) {
            AppendIndex(nextIndex++);
            emitEntry(first, v);
        }
        return false;
    };
    while (m_haveNext && !NextIs(close)) {
        const PhpToken first = m_next;
        m_path.resize(pathLength);
        bool keyed = false;
        bool entryDone = false;
        // A key: a literal or a number, possibly negative, followed by `=>`.
        if (NextIsString() || m_next.kind == PhpTokenKind::Number || NextIs('-')) {
            bool negative = false;
            if (NextIs('-')) {
                Advance();
                negative = true;
            }
            Advance();
            const PhpToken keyToken = m_cur;
            if (NextIsOperator("=>")) {
                qint64 index = 0;
                bool integer = false;
                if (!AppendKeyToken(m_path, keyToken, negative, index, integer)) {
                    m_path.resize(pathLength);
                    m_path.append('[').append(Bytes(keyToken)).append(']');
                } else if (integer && index >= nextIndex) {
                    nextIndex = index == std::numeric_limits<qint64>::max() ? index : index + 1;
                }
                Advance(); // =>
                keyed = true;
            } else {
                // The literal begins an expression: a computed key or a value without a key.
                keyed = codeKeyOrEntry(first, ScanValue(true));
                entryDone = !keyed;
            }
        } else if (!(NextIs('[') || NextIsName("array"))) {
            keyed = codeKeyOrEntry(first, ScanValue(false));
            entryDone = !keyed;
        }
        if (!entryDone) {
            if (!keyed)
                AppendIndex(nextIndex++);
            const qsizetype entryLength = m_path.size();
            if (!ParseArrayValue(entryLength)) {
                const ValueSpan v = ScanValue(false);
                if (v.begin >= 0) {
                    m_path.resize(entryLength);
                    emitEntry(first, v);
                }
            } else if (!NextIs(',') && !NextIs(close)) {
                ScanValue(false); // an array literal with more code after it
            }
        }
        if (!NextIs(','))
            break;
        Advance();
    }
    if (NextIs(close))
        Advance();
}

void Reader::ParseReturn()
{
    m_path.resize(0);
    m_path.append("return");
    ParseArrayValue(m_path.size());
}

} // namespace

// Whether text is a PHP file as PHP sees one: its first `<?` opens its code and stands first on
// its line. A `<?` inside a text of a file without one (a fragment that only holds statements)
// does not make the file inline text.
static bool HasOpenTag(QByteArrayView text)
{
    const qsizetype at = text.indexOf("<?");
    if (at < 0)
        return false;
    qsizetype b = at;
    while (b > 0 && (text[b - 1] == ' ' || text[b - 1] == '\t'))
        --b;
    if (b == 0 || text[b - 1] == '\n' || text[b - 1] == '\r')
        return true;
    return b == 3 && text.startsWith("\xEF\xBB\xBF"); // after a byte order mark
}

void ReadPhpPhrases(QByteArrayView text, const PhpLexOptions& options,
                    const std::function<void(const PhpStatement&)>& onPhrase)
{
    if (options.startInCode || HasOpenTag(text)) {
        Reader(text, options, 0, text.size(), 1, onPhrase).Run();
        return;
    }
    // A file without an open tag is no PHP that PHP would run, but a language file all the
    // same (a fragment meant for inclusion, or one written by hand): its lines are read as code,
    // and lines that begin with [[ as bracket lines, each run of code lines lexed on its own so
    // that a quote in a bracket line cannot run on into the code.
    PhpLexOptions inCode = options;
    inCode.startInCode = true;
    qsizetype runStart = 0;
    int runLine = 1;
    int line = 1;
    const auto flushRun = [&](qsizetype end) {
        if (end > runStart)
            Reader(text, inCode, runStart, end - runStart, runLine, onPhrase).Run();
    };
    PhpLexOptions html = options;
    ForEachLine(text, [&](qsizetype start, qsizetype length) {
        const int l = line++;
        qsizetype b = start;
        while (b < start + length && uchar(text[b]) <= 32)
            ++b;
        if (!text.sliced(b, start + length - b).startsWith("[[")) {
            return;
        }
        flushRun(start);
        // The bracket line alone, read as the inline text it would be in PHP.
        Reader(text, html, start, length, l, onPhrase).Run();
        runStart = start + length;
        runLine = l; // the rest of this line (its break) starts the next run
    });
    flushRun(text.size());
}

void AppendPhpKey(QByteArray& out, QByteArrayView keyValue)
{
    qint64 index = 0;
    if (IntegerKey(keyValue, index)) {
        out.append(keyValue);
        return;
    }
    out.append('\'');
    for (const char c : keyValue) {
        if (c == '\\' || c == '\'')
            out.append('\\');
        out.append(c);
    }
    out.append('\'');
}
