#include "phpvalue.h"
#include "phraseline.h"

#include <QList>
#include <cstring>

namespace {

bool IsNameStart(unsigned char b)
{
    return (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || b == '_' || b >= 0x80;
}

bool IsHex(unsigned char b)
{
    return (b >= '0' && b <= '9') || ((b | 0x20) >= 'a' && (b | 0x20) <= 'f');
}

// A line break at text[i], or 0.
qsizetype BreakAt(QByteArrayView text, qsizetype i)
{
    if (text[i] == '\n')
        return 1;
    if (text[i] == '\r')
        return i + 1 < text.size() && text[i + 1] == '\n' ? 2 : 1;
    return 0;
}

// The first line break in text, or empty.
QByteArrayView FirstBreak(QByteArrayView text)
{
    for (qsizetype i = 0; i < text.size(); ++i)
        if (const qsizetype n = BreakAt(text, i))
            return text.sliced(i, n);
    return {};
}

// A literal's body in the convention of its quote: the own quote's escape read as the quote,
// and in double quotes `\$` as `$`. Every other escape stays as written.
void AppendBody(QByteArray& out, QByteArrayView body, char quote)
{
    qsizetype run = 0;
    for (qsizetype i = 0; i < body.size(); ++i) {
        if (body[i] != '\\' || i + 1 >= body.size())
            continue;
        const char next = body[i + 1];
        if (next == quote || (quote != '\'' && next == '$')) {
            out.append(body.sliced(run, i - run));
            run = i + 1; // the escaped byte starts the next run
        }
        ++i;
    }
    out.append(body.sliced(run));
}

// A heredoc or nowdoc token cut into its marker, its body and the closing marker's indentation.
struct HeredocParts
{
    QByteArrayView marker;
    QByteArrayView body; // from after the opening line's break to before the closing line's
    qsizetype indent = 0;
};

HeredocParts CutHeredoc(QByteArrayView token)
{
    HeredocParts h;
    qsizetype i = 3;
    while (i < token.size() && (token[i] == ' ' || token[i] == '\t'))
        ++i;
    if (i < token.size() && (token[i] == '\'' || token[i] == '"'))
        ++i;
    const qsizetype label = i;
    while (i < token.size() &&
           (IsNameStart(uchar(token[i])) || (token[i] >= '0' && token[i] <= '9')))
        ++i;
    h.marker = token.sliced(label, i - label);
    while (i < token.size() && !BreakAt(token, i))
        ++i;
    const qsizetype bodyStart = i < token.size() ? i + BreakAt(token, i) : i;
    // The closing marker ends the token, its indentation before it.
    qsizetype closing = token.size() - h.marker.size();
    qsizetype lineStart = closing;
    while (lineStart > bodyStart && (token[lineStart - 1] == ' ' || token[lineStart - 1] == '\t'))
        --lineStart;
    h.indent = closing - lineStart;
    // The body ends before the line break that precedes the closing line, if it has one.
    qsizetype bodyEnd = lineStart;
    if (bodyEnd > bodyStart && token[bodyEnd - 1] == '\n')
        --bodyEnd;
    if (bodyEnd > bodyStart && token[bodyEnd - 1] == '\r')
        --bodyEnd;
    h.body = token.sliced(bodyStart, std::max<qsizetype>(0, bodyEnd - bodyStart));
    return h;
}

// A heredoc body without the closing marker's indentation on each line, as PHP reads it.
QByteArray Dedent(QByteArrayView body, qsizetype indent)
{
    QByteArray out;
    out.reserve(body.size());
    qsizetype i = 0;
    bool lineStart = true;
    while (i < body.size()) {
        if (lineStart) {
            qsizetype k = 0;
            while (k < indent && i < body.size() && (body[i] == ' ' || body[i] == '\t'))
                ++i, ++k;
            lineStart = false;
            continue;
        }
        const qsizetype n = BreakAt(body, i);
        if (n) {
            out.append(body.sliced(i, n));
            i += n;
            lineStart = true;
        } else {
            out.append(body[i++]);
        }
    }
    return out;
}

// Appends code as a code part.
void AppendCode(QByteArray& out, QByteArrayView code)
{
    out.append(PhpCodeOpen);
    out.append(code);
    out.append(PhpCodeClose);
}

// The text runs and interpolations of an interpolating body, into out.
void AppendInterpolated(QByteArray& out, QByteArrayView inside, char quote,
                        const PhpLexOptions& options, bool heredoc)
{
    for (const PhpStringPiece& piece : SplitPhpInterpolation(inside, options, heredoc)) {
        const QByteArrayView bytes = inside.sliced(piece.offset, piece.length);
        if (piece.kind == PhpStringPiece::Kind::Text) {
            AppendBody(out, bytes, quote);
        } else {
            // An interpolation is code only inside a string: kept as a string of its own, which
            // is code that gives the same text anywhere a concatenation puts it.
            out.append(PhpCodeOpen);
            out.append('"');
            out.append(bytes);
            out.append('"');
            out.append(PhpCodeClose);
        }
    }
}

bool Interpolates(QByteArrayView inside, const PhpLexOptions& options, bool heredoc)
{
    if (!std::memchr(inside.data(), '$', size_t(inside.size())))
        return false;
    for (const PhpStringPiece& piece : SplitPhpInterpolation(inside, options, heredoc))
        if (piece.kind != PhpStringPiece::Kind::Text)
            return true;
    return false;
}

// Skips a `b` prefix of a binary string literal.
QByteArrayView Unprefixed(QByteArrayView token)
{
    return !token.isEmpty() && (token[0] == 'b' || token[0] == 'B') ? token.sliced(1) : token;
}

// A text run of quote's convention written inside a double-quoted literal or a heredoc: what
// would start an interpolation or an invalid escape is escaped, so it reads as typed.
void AppendInterpolationSafe(QByteArray& out, QByteArrayView text, char literalQuote)
{
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = text[i];
        if (c == '\\') {
            if (i + 1 == n) {
                out.append("\\\\");
                continue;
            }
            const char next = text[i + 1];
            if (next == 'u' && i + 2 < n && text[i + 2] == '{') {
                // \u{...} must hold hex digits and close, or PHP refuses the file.
                qsizetype j = i + 3;
                while (j < n && IsHex(uchar(text[j])))
                    ++j;
                if (j == i + 3 || j >= n || text[j] != '}' || j - (i + 3) > 6) {
                    out.append("\\\\");
                    continue;
                }
            }
            out.append(c);
            out.append(next);
            ++i;
            continue;
        }
        if (c == '$' && i + 1 < n && (IsNameStart(uchar(text[i + 1])) || text[i + 1] == '{')) {
            out.append("\\$");
            continue;
        }
        if (c == '{' && i + 1 < n && text[i + 1] == '$') {
            out.append("{\\$");
            ++i;
            continue;
        }
        if (c == literalQuote) {
            out.append('\\');
            out.append(c);
            continue;
        }
        out.append(c);
    }
}

// Text with every line break written as lineBreak.
QByteArray WithBreaks(QByteArrayView text, QByteArrayView lineBreak)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        if (const qsizetype n = BreakAt(text, i)) {
            out.append(lineBreak);
            i += n;
        } else {
            out.append(text[i++]);
        }
    }
    return out;
}

// A text run in the convention of quote, as a literal of that quote.
void AppendLiteral(QByteArray& out, QByteArrayView text, char quote)
{
    if (quote == '\'') {
        AppendPhpLiteral(out, text, '\'');
        return;
    }
    out.append('"');
    AppendInterpolationSafe(out, text, '"');
    out.append('"');
}

// Whether a line of text would close a heredoc of this marker early.
bool ClosesEarly(QByteArrayView text, QByteArrayView marker)
{
    qsizetype i = 0;
    while (i <= text.size()) {
        qsizetype j = i;
        while (j < text.size() && (text[j] == ' ' || text[j] == '\t'))
            ++j;
        if (text.sliced(j).startsWith(marker)) {
            const qsizetype after = j + marker.size();
            if (after >= text.size() ||
                !(IsNameStart(uchar(text[after])) || (text[after] >= '0' && text[after] <= '9')))
                return true;
        }
        while (i < text.size() && !BreakAt(text, i))
            ++i;
        if (i >= text.size())
            break;
        i += BreakAt(text, i);
    }
    return false;
}

void AppendHeredoc(QByteArray& out, QByteArrayView text, char quote, const PhpValueLayout& layout)
{
    const QByteArrayView marker = layout.marker.isEmpty() ? QByteArrayView("EOT") : layout.marker;
    const QByteArray indent(layout.indent, ' ');
    out.append("<<<");
    if (quote == 'n')
        out.append('\'');
    out.append(marker);
    if (quote == 'n')
        out.append('\'');
    out.append(layout.lineBreak);
    if (!text.isEmpty()) {
        out.append(indent);
        for (qsizetype i = 0; i < text.size();) {
            if (const qsizetype n = BreakAt(text, i)) {
                out.append(layout.lineBreak);
                out.append(indent);
                i += n;
            } else if (quote == 'n') {
                out.append(text[i++]);
            } else {
                // One byte at a time through the escaper would split escapes: find the run.
                qsizetype j = i;
                while (j < text.size() && !BreakAt(text, j))
                    ++j;
                AppendInterpolationSafe(out, text.sliced(i, j - i), '\0');
                i = j;
            }
        }
        out.append(layout.lineBreak);
    }
    out.append(indent);
    out.append(marker);
}

} // namespace

PhpValue ReadPhpValue(QByteArrayView code, const PhpLexOptions& options)
{
    PhpLexOptions inCode = options;
    inCode.startInCode = true;
    PhpValue value;
    value.lineBreak = FirstBreak(code);
    // A heredoc's closing marker that ends the input closes nothing, for PHP as for the lexer:
    // the code is read with a byte after it.
    QByteArray padded;
    if (code.indexOf("<<<") >= 0) {
        padded = code.toByteArray() + ';';
        code = QByteArrayView(padded).first(code.size());
    }
    const QByteArrayView lexed = padded.isEmpty() ? code : QByteArrayView(padded);
    // The operands between top-level `.` operators; any other operator there makes it code.
    struct Operand
    {
        qsizetype begin = -1, end = -1;
        int tokens = 0;
        PhpToken token;
    };
    QList<Operand> operands(1);
    int depth = 0;
    bool code_only = false;
    LexPhp(lexed, inCode, [&](const PhpToken& t) {
        if (t.offset >= code.size())
            return;
        if (t.offset + t.length > code.size()) {
            code_only = true; // a token that runs on past the value: not one to take apart
            return;
        }
        if (t.kind == PhpTokenKind::Whitespace || t.kind == PhpTokenKind::LineComment ||
            t.kind == PhpTokenKind::BlockComment)
            return;
        const QByteArrayView bytes = code.sliced(t.offset, t.length);
        if (t.kind == PhpTokenKind::Operator && depth == 0 && bytes == ".") {
            operands.append(Operand());
            return;
        }
        if (t.kind == PhpTokenKind::Operator) {
            const char c = bytes[0];
            if (bytes.size() == 1 && (c == '(' || c == '[' || c == '{'))
                ++depth;
            else if (bytes.size() == 1 && (c == ')' || c == ']' || c == '}'))
                --depth;
            else if (depth == 0 && bytes != "->" && bytes != "::" && bytes != "?->" &&
                     bytes != "\\")
                code_only = true; // a ternary, arithmetic, a comparison: no text to edit
        }
        Operand& op = operands.back();
        if (op.begin < 0)
            op.begin = t.offset;
        op.end = t.offset + t.length;
        if (op.tokens++ == 0)
            op.token = t;
    });
    const auto isText = [](const Operand& op) {
        if (op.tokens != 1)
            return false;
        const PhpTokenKind k = op.token.kind;
        return k == PhpTokenKind::SingleQuoted || k == PhpTokenKind::DoubleQuoted ||
               k == PhpTokenKind::Heredoc || k == PhpTokenKind::Nowdoc;
    };
    bool anyText = false;
    for (const Operand& op : operands) {
        if (op.tokens == 0)
            code_only = true; // a stray `.`: not a value this reader takes apart
        anyText = anyText || isText(op);
    }
    if (code_only || !anyText) {
        value.shape = PhpValueShape::Code;
        value.text.clear();
        AppendCode(value.text, code.trimmed());
        return value;
    }
    // The convention of the whole: the first text part's quote (a heredoc's, or `"` for its
    // interpolated runs); other text parts are converted to it.
    char quote = 0;
    for (const Operand& op : operands) {
        if (!isText(op))
            continue;
        const PhpTokenKind k = op.token.kind;
        quote = k == PhpTokenKind::SingleQuoted ? '\''
                : k == PhpTokenKind::Nowdoc     ? 'n'
                : k == PhpTokenKind::Heredoc    ? 'h'
                                                : '"';
        break;
    }
    const bool single = operands.size() == 1;
    for (const Operand& op : operands) {
        const QByteArrayView bytes = code.sliced(op.begin, op.end - op.begin);
        if (!isText(op)) {
            AppendCode(value.text, bytes);
            continue;
        }
        const PhpTokenKind k = op.token.kind;
        QByteArray part;
        char partQuote;
        bool interpolates = false;
        if (k == PhpTokenKind::Heredoc || k == PhpTokenKind::Nowdoc) {
            const HeredocParts h = CutHeredoc(bytes);
            partQuote = k == PhpTokenKind::Nowdoc ? 'n' : 'h';
            const QByteArray body = Dedent(h.body, h.indent);
            if (partQuote == 'h' && Interpolates(body, options, true)) {
                interpolates = true;
                AppendInterpolated(part, body, '"', options, true);
            } else if (partQuote == 'h') {
                AppendBody(part, body, '\0');
            } else {
                part = body;
            }
            if (single) {
                value.marker = h.marker.toByteArray();
                value.indent = h.indent;
            }
        } else {
            const QByteArrayView literal = Unprefixed(bytes);
            const QByteArrayView inside = literal.sliced(1, literal.size() - 2);
            partQuote = literal[0];
            if (partQuote == '"' && Interpolates(inside, options, false)) {
                interpolates = true;
                AppendInterpolated(part, inside, '"', options, false);
            } else {
                AppendBody(part, inside, partQuote);
            }
        }
        if (single && !interpolates) {
            value.shape = k == PhpTokenKind::Heredoc || k == PhpTokenKind::Nowdoc
                              ? PhpValueShape::Heredoc
                              : PhpValueShape::Literal;
            value.quote = partQuote;
            value.text = part;
            return value;
        }
        if (single)
            value.interpolated = true;
        const char from = partQuote == 'h' && interpolates ? '"' : partQuote;
        value.text += from == quote ? part : ConvertPhpText(part, from, quote);
    }
    value.shape = PhpValueShape::Parts;
    value.quote = quote;
    if (value.interpolated && quote == 'h') {
        // The heredoc's runs were read in the double-quoted convention.
        value.quote = '"';
    }
    return value;
}

QByteArrayView PhpLiteralText(QByteArrayView body, char quote, QByteArray& scratch)
{
    if (!std::memchr(body.data(), '\\', size_t(body.size())))
        return body;
    scratch.clear();
    AppendBody(scratch, body, quote);
    return scratch;
}

QList<QByteArrayView> PhpCodeParts(QByteArrayView text)
{
    QList<QByteArrayView> parts;
    qsizetype i = 0;
    while ((i = text.indexOf(PhpCodeOpen, i)) >= 0) {
        const qsizetype close = text.indexOf(PhpCodeClose, i + 1);
        if (close < 0)
            break;
        parts.append(text.sliced(i + 1, close - i - 1));
        i = close + 1;
    }
    return parts;
}

QByteArray PhpTextValue(QByteArrayView text, char quote)
{
    QByteArray out;
    out.reserve(text.size());
    const qsizetype n = text.size();
    if (quote == '\'' || quote == 'n') {
        for (qsizetype i = 0; i < n; ++i) {
            if (quote == '\'' && text[i] == '\\' && i + 1 < n &&
                (text[i + 1] == '\\' || text[i + 1] == '\''))
                ++i;
            out.append(text[i]);
        }
        return out;
    }
    for (qsizetype i = 0; i < n; ++i) {
        const char c = text[i];
        if (c != '\\' || i + 1 >= n) {
            out.append(c);
            continue;
        }
        const char e = text[i + 1];
        const auto simple = [&](char v) {
            out.append(v);
            ++i;
        };
        switch (e) {
        case 'n':
            simple('\n');
            break;
        case 't':
            simple('\t');
            break;
        case 'r':
            simple('\r');
            break;
        case 'v':
            simple('\v');
            break;
        case 'e':
            simple('\x1b');
            break;
        case 'f':
            simple('\f');
            break;
        case '\\':
            simple('\\');
            break;
        case '$':
            simple('$');
            break;
        case '"':
            if (quote == '"')
                simple('"');
            else
                out.append(c);
            break;
        case 'x':
            if (i + 2 < n && IsHex(uchar(text[i + 2]))) {
                qsizetype j = i + 2;
                int v = 0;
                while (j < n && j < i + 4 && IsHex(uchar(text[j]))) {
                    const char h = text[j++];
                    v = v * 16 + (h <= '9' ? h - '0' : (h | 0x20) - 'a' + 10);
                }
                out.append(char(v));
                i = j - 1;
            } else {
                out.append(c);
            }
            break;
        case 'u':
            if (i + 2 < n && text[i + 2] == '{') {
                qsizetype j = i + 3;
                uint v = 0;
                while (j < n && IsHex(uchar(text[j]))) {
                    const char h = text[j++];
                    v = v * 16 + uint(h <= '9' ? h - '0' : (h | 0x20) - 'a' + 10);
                }
                if (j < n && text[j] == '}') {
                    const char32_t cp = char32_t(v);
                    out.append(QString::fromUcs4(&cp, 1).toUtf8());
                    i = j;
                    break;
                }
            }
            out.append(c);
            break;
        default:
            if (e >= '0' && e <= '7') {
                qsizetype j = i + 1;
                int v = 0;
                while (j < n && j < i + 4 && text[j] >= '0' && text[j] <= '7')
                    v = v * 8 + (text[j++] - '0');
                out.append(char(v & 0xff));
                i = j - 1;
            } else {
                out.append(c);
            }
        }
    }
    return out;
}

QByteArray ConvertPhpText(QByteArrayView text, char from, char to)
{
    if (from == to || ((from == '"' || from == 'h') && (to == '"' || to == 'h')))
        return text.toByteArray();
    QByteArray out;
    qsizetype i = 0;
    const auto convertRun = [&](QByteArrayView run) {
        const QByteArray value = PhpTextValue(run, from);
        if (to == 'n') {
            out.append(value);
            return;
        }
        for (const char c : value) {
            // In single quotes only a backslash before a backslash, a quote or the end needs
            // doubling; doubling every one is read the same. In double quotes and heredocs a
            // backslash is doubled and `$` written as typed (the writer escapes it).
            if (c == '\\')
                out.append("\\\\");
            else
                out.append(c);
        }
    };
    while (i < text.size()) {
        const qsizetype open = text.indexOf(PhpCodeOpen, i);
        const qsizetype close = open < 0 ? -1 : text.indexOf(PhpCodeClose, open + 1);
        if (close < 0) {
            convertRun(text.sliced(i));
            break;
        }
        convertRun(text.sliced(i, open - i));
        out.append(text.sliced(open, close + 1 - open));
        i = close + 1;
    }
    return out;
}

void AppendPhpValue(QByteArray& out, QByteArrayView text, char quote, const PhpValueLayout& layout)
{
    const QByteArray withBreaks = WithBreaks(text, layout.lineBreak);
    text = withBreaks;
    if (text.indexOf(PhpCodeOpen) < 0) {
        const bool heredoc = quote == 'h' || quote == 'n';
        if (heredoc && !ClosesEarly(text, layout.marker.isEmpty() ? "EOT" : layout.marker)) {
            AppendHeredoc(out, text, quote, layout);
            return;
        }
        if (heredoc) {
            // A line of the text would close the heredoc: a literal instead.
            const char literal = quote == 'n' ? '\'' : '"';
            AppendLiteral(out, ConvertPhpText(text, quote, literal), literal);
            return;
        }
        AppendLiteral(out, text, quote);
        return;
    }
    // Text and code parts. In one interpolating string when the value was one and every code
    // part can stand inside a string; else a concatenation of literals and code.
    const char literal = quote == '\'' ? '\'' : '"';
    const QByteArray converted = quote == 'n' ? ConvertPhpText(text, 'n', '\'') : QByteArray();
    const QByteArrayView source = quote == 'n' ? QByteArrayView(converted) : text;
    struct Piece
    {
        bool code;
        QByteArrayView bytes;
    };
    QList<Piece> pieces;
    for (qsizetype i = 0; i < source.size();) {
        const qsizetype open = source.indexOf(PhpCodeOpen, i);
        const qsizetype close = open < 0 ? -1 : source.indexOf(PhpCodeClose, open + 1);
        if (close < 0) {
            pieces.append({false, source.sliced(i)});
            break;
        }
        if (open > i)
            pieces.append({false, source.sliced(i, open - i)});
        pieces.append({true, source.sliced(open + 1, close - open - 1)});
        i = close + 1;
    }
    // An interpolation read from a string is kept as "...": inside a string again, its quotes go.
    const auto interpolation = [](QByteArrayView code) {
        return code.size() >= 3 && code.startsWith('"') && code.endsWith('"') &&
               (code[1] == '$' || code.sliced(1).startsWith("{$"));
    };
    bool inline_ = layout.interpolated && literal == '"';
    for (const Piece& p : pieces)
        if (p.code && !interpolation(p.bytes))
            inline_ = false;
    if (inline_) {
        out.append('"');
        for (const Piece& p : pieces) {
            if (!p.code) {
                AppendInterpolationSafe(out, p.bytes, '"');
                continue;
            }
            const QByteArrayView inner = p.bytes.sliced(1, p.bytes.size() - 2);
            bool plainName = inner.size() > 1 && inner[0] == '$' && IsNameStart(uchar(inner[1]));
            for (qsizetype k = 2; plainName && k < inner.size(); ++k)
                plainName = IsNameStart(uchar(inner[k])) || (inner[k] >= '0' && inner[k] <= '9');
            if (plainName)
                out.append('{').append(inner).append('}'); // braced: the text after stays text
            else
                out.append(inner);
        }
        out.append('"');
        return;
    }
    bool first = true;
    for (const Piece& p : pieces) {
        if (!p.code && p.bytes.isEmpty())
            continue;
        if (!first)
            out.append(" . ");
        first = false;
        if (p.code)
            out.append(p.bytes);
        else
            AppendLiteral(out, p.bytes, literal);
    }
    if (first)
        out.append(literal == '\'' ? "''" : "\"\"");
}
