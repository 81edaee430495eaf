#include "phrasechecks.h"
#include "phpvalue.h"

#include "asciicase.h"
#include "encodingdetect.h"

#include <QStringList>
#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

using Token = PhraseChecker::Token;

constexpr const char* CheckNames[PhraseCheckCount] = {
    "placeholders", "variables", "markup", "whitespace", "punctuation",
    "empty",        "encoding",  "code",   "brackets",
};

// What the checks tell the translator to do; %1 and %2 are lists of what the texts hold.
constexpr char AddMissing[] = "add the original's %1";
constexpr char RemoveExtra[] = "remove %1, which the original does not have";
// Around the original's placeholders in their order; not filled by arg(), since the advice
// itself shows placeholders.
constexpr char PlaceholderOrderBefore[] =
    "the placeholders take other arguments than the original's ";
constexpr char PlaceholderOrderAfter[] =
    ": keep its order, or number them (%1$s, %2$d) to change it";
constexpr char RemoveVariable[] =
    "remove %1 or write it with a backslash before the $: PHP reads it as a variable, which the "
    "original does not have";
constexpr char CloseEntity[] = "end %1 with a semicolon: %1;";
constexpr char AddLeadingBlanks[] = "start with the blanks the original starts with";
constexpr char RemoveLeadingBlanks[] = "remove the blanks at the start: the original has none";
constexpr char MatchLeadingBlanks[] = "start with the same blanks as the original";
constexpr char AddTrailingBlanks[] = "end with the blanks the original ends with";
constexpr char RemoveTrailingBlanks[] = "remove the blanks at the end: the original has none";
constexpr char MatchTrailingBlanks[] = "end with the same blanks as the original";
constexpr char RemoveDoubledSpace[] = "remove the doubled space: the original has none";
constexpr char AddFinalMark[] = "end with a mark like the original's final %1";
constexpr char RemoveFinalMark[] = "remove the final %1: the original ends without one";
constexpr char TranslateEmpty[] = "translate the text: the translation is empty";
constexpr char RemoveCode[] =
    "remove %1, which PHP runs as code when it reads the file and the original does not have; a "
    "backslash before each $ keeps it as text";
constexpr char EndsBracketValue[] =
    "remove %1: a bracket file's value ends at the first ]] and cannot end with ], so the text "
    "would be read back cut there and the rest lost at the next save";
constexpr char Unreadable[] =
    "retype the text from byte %1 on: its bytes are not valid %2 and show as replacement "
    "characters";

QString Text(const char* text)
{
    return QString::fromLatin1(text);
}

// Byte classes the checks look for: a phrase whose texts hold none of a check's bytes skips it.
enum ByteClass : quint8 {
    Percent = 1, // placeholders
    Brace = 2,   // placeholders
    Dollar = 4,  // variables
    Markup = 8,  // < and &
    High = 16,   // encoding, and characters of more than one byte
};

constexpr std::array<quint8, 256> ByteClasses = [] {
    std::array<quint8, 256> t{};
    t['%'] = Percent;
    t['{'] = Brace;
    t['$'] = Dollar;
    t['<'] = Markup;
    t['&'] = Markup;
    for (int b = 0x80; b < 256; ++b)
        t[size_t(b)] = High;
    return t;
}();

quint8 ClassesOf(QByteArrayView text)
{
    quint8 classes = 0;
    for (const char c : text)
        classes |= ByteClasses[uchar(c)];
    return classes;
}

bool IsDigit(uchar c)
{
    return c >= '0' && c <= '9';
}

bool IsAsciiLetter(uchar c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsAsciiAlnum(uchar c)
{
    return IsAsciiLetter(c) || IsDigit(c);
}

uchar At(QByteArrayView text, qsizetype i)
{
    return i < text.size() ? uchar(text[i]) : 0;
}

// --- printf placeholders, as PHP's sprintf reads them

// The conversions PHP's sprintf knows.
bool IsConversion(uchar c)
{
    return c && std::strchr("bcdeEfFgGhHosuxX", c);
}

// Reads a placeholder at text[i] == '%'; returns its end, or i when the % is text. The space
// flag is not taken: "100% sure" is prose, not a placeholder padded with blanks.
qsizetype ReadPlaceholder(QByteArrayView text, qsizetype i, int& argument, char& kind)
{
    qsizetype j = i + 1;
    if (At(text, j) == '%') {
        argument = 0;
        kind = '%';
        return j + 1;
    }
    argument = -1; // takes the next argument
    qsizetype k = j;
    while (IsDigit(At(text, k)))
        ++k;
    if (k > j && At(text, k) == '$' && At(text, j) != '0') {
        bool ok = false;
        const int n = text.sliced(j, k - j).toInt(&ok);
        argument = ok ? std::min(n, 1 << 20) : 1 << 20;
        j = k + 1;
    }
    for (;;) {
        const uchar c = At(text, j);
        if (c == '-' || c == '+' || c == '0')
            ++j;
        else if (c == '\'' && j + 1 < text.size())
            j += 2; // a padding character of one's choice
        else
            break;
    }
    while (IsDigit(At(text, j)))
        ++j;
    if (At(text, j) == '.') {
        ++j;
        while (IsDigit(At(text, j)))
            ++j;
    }
    if (!IsConversion(At(text, j)))
        return i;
    kind = char(text[j]);
    return j + 1;
}

// Steps through a text by characters where an ASCII byte may be the second byte of one.
class CharWalk
{
public:
    CharWalk(const LeadByteTable& lead, bool byChars) : m_lead(lead), m_byChars(byChars) {}
    qsizetype Step(QByteArrayView text, qsizetype i) const
    {
        if (!m_byChars || uchar(text[i]) < 0x80)
            return 1;
        const auto* p = reinterpret_cast<const unsigned char*>(text.data());
        return qsizetype(m_lead.CharLength(p + i, p + text.size()));
    }

private:
    const LeadByteTable& m_lead;
    bool m_byChars;
};

// {name} placeholders: a letter, digit or underscore first, then also . and -.
void FindBracePlaceholders(QByteArrayView text, const CharWalk& walk, std::vector<Token>& tokens)
{
    for (qsizetype i = 0; i < text.size(); i += walk.Step(text, i)) {
        if (text[i] != '{')
            continue;
        qsizetype j = i + 1;
        const uchar first = At(text, j);
        if (!IsAsciiAlnum(first) && first != '_')
            continue;
        while (IsAsciiAlnum(At(text, j)) || At(text, j) == '_' || At(text, j) == '.' ||
               At(text, j) == '-')
            ++j;
        if (At(text, j) != '}')
            continue;
        tokens.push_back({text.sliced(i, j + 1 - i), text.sliced(i + 1, j - i - 1), 0, '{'});
        i = j; // the step then passes the closing brace
    }
}

// --- PHP variables, as PHP reads them in a double-quoted literal: bytes, not characters

bool IsNameStart(uchar c)
{
    return IsAsciiLetter(c) || c == '_' || c >= 0x80;
}

bool IsNameByte(uchar c)
{
    return IsNameStart(c) || IsDigit(c);
}

void FindVariables(QByteArrayView text, std::vector<Token>& tokens)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const uchar c = uchar(text[i]);
        if (c == '\\') {
            ++i; // \$ is a dollar sign, and \\ a backslash that escapes nothing after it
            continue;
        }
        if (c != '$')
            continue;
        // ${name}: the name inside the braces.
        const bool braced = At(text, i + 1) == '{';
        const qsizetype start = i + (braced ? 2 : 1);
        if (!IsNameStart(At(text, start)))
            continue; // $5, a lone $
        qsizetype end = start + 1;
        while (IsNameByte(At(text, end)))
            ++end;
        if (braced && At(text, end) != '}')
            continue;
        tokens.push_back(
            {text.sliced(i, end - i + (braced ? 1 : 0)), text.sliced(start, end - start), 0, '$'});
        i = end - 1;
    }
}

// --- PHP code in a value: what runs when PHP reads the file, as its scanner finds it (bytes)

// The offset of the quote that ends a quoted text whose body starts at text[i], or the text's
// end when none does: a backslash takes the byte after it along.
qsizetype ClosingQuote(QByteArrayView text, qsizetype i, char quote)
{
    for (; i < text.size(); ++i) {
        if (text[i] == '\\')
            ++i;
        else if (text[i] == quote)
            return i;
    }
    return text.size();
}

// Just past the bracket that closes one opened before text[i], or the text's end: what stands
// inside is PHP source, whose quoted texts may hold brackets of their own.
qsizetype ClosingBracket(QByteArrayView text, qsizetype i, char open, char close)
{
    int depth = 1;
    while (i < text.size()) {
        const char c = text[i++];
        if (c == '\'' || c == '"' || c == '`')
            i = std::min(ClosingQuote(text, i, c) + 1, text.size());
        else if (c == open)
            ++depth;
        else if (c == close && --depth == 0)
            return i;
    }
    return text.size();
}

qsizetype NameEnd(QByteArrayView text, qsizetype i)
{
    while (IsNameByte(At(text, i)))
        ++i;
    return i;
}

// Just past the access PHP reads after a variable in double quotes, at text[i]: one ->name,
// ?->name or [...]; i when none follows. Each may call code of the object's class.
qsizetype AccessEnd(QByteArrayView text, qsizetype i)
{
    if (At(text, i) == '[') {
        const qsizetype close = text.indexOf(']', i + 1);
        return close < 0 ? text.size() : close + 1;
    }
    const qsizetype arrow = At(text, i) == '?' ? i + 1 : i;
    if (At(text, arrow) == '-' && At(text, arrow + 1) == '>' && IsNameStart(At(text, arrow + 2)))
        return NameEnd(text, arrow + 3);
    return i;
}

// The code the text of a double-quoted literal interpolates. { is special only right before a
// $, so "{ $x}" holds a plain variable; a backslash passes the byte after it, so "\{$x}" holds
// one too, while "\\{$x}" and "\{${x}}" hold code.
void FindInterpolatedCode(QByteArrayView text, std::vector<QByteArrayView>& code)
{
    for (qsizetype i = 0; i < text.size();) {
        const char c = text[i];
        qsizetype end = i + 1;
        if (c == '\\') {
            end = i + 2;
        } else if (c == '{' && At(text, i + 1) == '$') {
            end = ClosingBracket(text, i + 1, '{', '}');
            code.push_back(text.sliced(i, end - i));
        } else if (c == '$' && At(text, i + 1) == '{') {
            end = ClosingBracket(text, i + 2, '{', '}');
            code.push_back(text.sliced(i, end - i));
        } else if (c == '$' && IsNameStart(At(text, i + 1))) {
            const qsizetype name = NameEnd(text, i + 2);
            end = AccessEnd(text, name);
            if (end > name)
                code.push_back(text.sliced(i, end - i));
        }
        i = std::min(end, text.size());
    }
}

// A name that calls nothing when ( follows it: array(1, 2) only builds a value.
bool IsValueConstruct(QByteArrayView name)
{
    constexpr QByteArrayView array = "array";
    if (name.size() != array.size())
        return false;
    for (qsizetype i = 0; i < name.size(); ++i)
        if (AsciiLower(uchar(name[i])) != uchar(array[i]))
            return false;
    return true;
}

// The code in PHP source that is not one literal: calls and backtick commands outside its
// literals, and what its double-quoted literals interpolate.
void FindExpressionCode(QByteArrayView text, std::vector<QByteArrayView>& code)
{
    for (qsizetype i = 0; i < text.size();) {
        const uchar c = uchar(text[i]);
        qsizetype end = i + 1;
        if (c == '\'' || c == '"' || c == '`') {
            const qsizetype close = ClosingQuote(text, i + 1, char(c));
            end = std::min(close + 1, text.size());
            if (c == '"')
                FindInterpolatedCode(text.sliced(i + 1, close - i - 1), code);
            else if (c == '`')
                code.push_back(text.sliced(i, end - i));
        } else if (c == '$' || c == '\\' || IsNameStart(c)) {
            // A function's name (namespaced or not) or a variable holding one; a call when (
            // follows.
            const qsizetype start = c == '$' ? i + 1 : i;
            qsizetype nameEnd = start;
            while (IsNameByte(At(text, nameEnd)) || At(text, nameEnd) == '\\')
                ++nameEnd;
            end = std::max(nameEnd, i + 1);
            qsizetype open = nameEnd;
            while (At(text, open) == ' ' || At(text, open) == '\t')
                ++open;
            if (nameEnd > start && At(text, open) == '(' &&
                !IsValueConstruct(text.sliced(start, nameEnd - start))) {
                end = ClosingBracket(text, open + 1, '(', ')');
                code.push_back(text.sliced(i, end - i));
            }
        }
        i = std::min(end, text.size());
    }
}

// --- HTML tags and entities

// The end of a tag at text[i] == '<', or i: a letter (after / for an end tag) must follow, and a
// > must close it before any other <. "<3" and "a < b" are text.
qsizetype ReadTag(QByteArrayView text, qsizetype i, qsizetype& nameEnd)
{
    qsizetype j = i + 1;
    if (At(text, j) == '/')
        ++j;
    if (!IsAsciiLetter(At(text, j)))
        return i;
    while (IsAsciiAlnum(At(text, j)) || At(text, j) == ':' || At(text, j) == '-')
        ++j;
    nameEnd = j;
    const uchar after = At(text, j);
    if (after != '>' && after != '/' && after != ' ' && after != '\t')
        return i;
    for (; j < text.size(); ++j) {
        if (text[j] == '>')
            return j + 1;
        if (text[j] == '<')
            return i;
    }
    return i;
}

// Entity names that are surely meant as one when written without their semicolon.
bool IsCommonEntity(QByteArrayView name)
{
    static constexpr const char* names[] = {
        "amp",   "lt",    "gt",    "quot",  "apos",  "nbsp", "hellip", "mdash", "ndash", "laquo",
        "raquo", "lsquo", "rsquo", "ldquo", "rdquo", "copy", "reg",    "trade", "euro",  "bull",
    };
    return std::any_of(std::begin(names), std::end(names),
                       [name](const char* n) { return name == QByteArrayView(n); });
}

// Reads an entity at text[i] == '&': &name; &#123; &#x1F; give kind '&' and the whole entity,
// the same without the semicolon kind '!' (broken, when known) and its name; plain text gives i.
qsizetype ReadEntity(QByteArrayView text, qsizetype i, char& kind, QByteArrayView& name)
{
    qsizetype j = i + 1;
    if (At(text, j) == '#') {
        ++j;
        const bool hex = At(text, j) == 'x' || At(text, j) == 'X';
        if (hex)
            ++j;
        const qsizetype digits = j;
        while (hex ? std::isxdigit(At(text, j)) != 0 : IsDigit(At(text, j)))
            ++j;
        if (j == digits)
            return i;
        name = text.sliced(i + 1, j - i - 1);
        kind = At(text, j) == ';' ? '&' : '!';
        return kind == '&' ? j + 1 : j;
    }
    if (!IsAsciiLetter(At(text, j)))
        return i; // Tom & Jerry
    while (IsAsciiAlnum(At(text, j)) && j - i <= 32)
        ++j;
    name = text.sliced(i + 1, j - i - 1);
    kind = At(text, j) == ';' ? '&' : '!';
    return kind == '&' ? j + 1 : j;
}

// Whether whole is the entity that broken writes without its semicolon: &amp; and &amp.
bool SameEntity(const Token& whole, const Token& broken)
{
    return whole.kind == '&' && broken.kind == '!' && whole.key.size() == broken.key.size() + 2 &&
           whole.key.sliced(1, broken.key.size()) == broken.key;
}

void FindMarkup(QByteArrayView text, std::vector<Token>& tokens)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '<') {
            qsizetype nameEnd = 0;
            const qsizetype end = ReadTag(text, i, nameEnd);
            if (end == i)
                continue;
            tokens.push_back(
                {text.sliced(i, end - i), text.sliced(i + 1, nameEnd - i - 1), 0, '<'});
            i = end - 1;
        } else if (text[i] == '&') {
            char kind = 0;
            QByteArrayView name;
            const qsizetype end = ReadEntity(text, i, kind, name);
            if (end == i)
                continue;
            // A broken entity counts once its name is known; otherwise R&D is text.
            tokens.push_back(
                {text.sliced(i, end - i), kind == '&' ? text.sliced(i, end - i) : name, 0, kind});
            i = end - 1;
        }
    }
}

// --- comparing what two texts hold

int CompareBytes(QByteArrayView a, QByteArrayView b, bool ignoreCase)
{
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        uchar x = uchar(a[i]), y = uchar(b[i]);
        if (ignoreCase) {
            x = AsciiLower(x);
            y = AsciiLower(y);
        }
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

// Orders tokens by kind, then by what the check compares: the argument for printf placeholders,
// else the key (tag names in any case).
int CompareTokens(const Token& a, const Token& b)
{
    if (a.kind != b.kind)
        return a.kind < b.kind ? -1 : 1;
    if (a.argument != b.argument)
        return a.argument < b.argument ? -1 : 1;
    if (a.argument > 0 || a.kind == '%')
        return 0;
    return CompareBytes(a.key, b.key, a.kind == '<');
}

void SortUnique(std::vector<Token>& tokens)
{
    std::stable_sort(tokens.begin(), tokens.end(),
                     [](const Token& a, const Token& b) { return CompareTokens(a, b) < 0; });
    tokens.erase(
        std::unique(tokens.begin(), tokens.end(),
                    [](const Token& a, const Token& b) { return CompareTokens(a, b) == 0; }),
        tokens.end());
}

// Calls missing(token) for each of the original's tokens the translation lacks and extra(token)
// for each of the translation's the original lacks; both lists sorted and unique.
template <class Missing, class Extra>
void Differences(const std::vector<Token>& original, const std::vector<Token>& translation,
                 Missing&& missing, Extra&& extra)
{
    auto o = original.begin();
    auto t = translation.begin();
    while (o != original.end() || t != translation.end()) {
        const int c = o == original.end() ? 1 : t == translation.end() ? -1 : CompareTokens(*o, *t);
        if (c < 0)
            missing(*o++);
        else if (c > 0)
            extra(*t++);
        else
            ++o, ++t;
    }
}

// Lists afresh what find(text, tokens) reports in the original and in the translation.
template <class Find>
void FindInBoth(QByteArrayView original, QByteArrayView translation, std::vector<Token>& inOriginal,
                std::vector<Token>& inTranslation, Find&& find)
{
    inOriginal.clear();
    inTranslation.clear();
    find(original, inOriginal);
    find(translation, inTranslation);
}

// The tokens' texts as shown, in the order they stand in their text.
template <class Show> QStringList InTextOrder(std::vector<Token>& tokens, Show&& show)
{
    std::sort(tokens.begin(), tokens.end(),
              [](const Token& a, const Token& b) { return a.text.data() < b.text.data(); });
    QStringList shown;
    for (const Token& t : tokens)
        shown << show(t);
    return shown;
}

// "add the original's X, Y; remove Z, which the original does not have"
QString AddRemoveMessage(const QStringList& missing, const QStringList& extra)
{
    QStringList parts;
    if (!missing.isEmpty())
        parts << Text(AddMissing).arg(missing.join(QStringLiteral(", ")));
    if (!extra.isEmpty())
        parts << Text(RemoveExtra).arg(extra.join(QStringLiteral(", ")));
    return parts.join(QStringLiteral("; "));
}

// --- blanks at the ends: spaces, tabs and the escapes \n \r \t as written

qsizetype BlankLengthAt(QByteArrayView text, qsizetype i)
{
    const uchar c = At(text, i);
    if (c == ' ' || c == '\t')
        return 1;
    if (c == '\\' && (At(text, i + 1) == 'n' || At(text, i + 1) == 'r' || At(text, i + 1) == 't'))
        return 2;
    return 0;
}

qsizetype LeadingBlanks(QByteArrayView text)
{
    qsizetype i = 0;
    while (const qsizetype n = BlankLengthAt(text, i))
        i += n;
    return i;
}

// The length of the blanks that end text, not reaching into its first from bytes.
qsizetype TrailingBlanks(QByteArrayView text, qsizetype from = 0)
{
    qsizetype end = text.size();
    for (;;) {
        if (end - 1 >= from && (text[end - 1] == ' ' || text[end - 1] == '\t'))
            end -= 1;
        else if (end - 2 >= from && text[end - 2] == '\\' && BlankLengthAt(text, end - 2) == 2)
            end -= 2;
        else
            return text.size() - end;
    }
}

// The sentence marks of the scripts (besides . : ! ? ;) and the blanks that may stand after one.
constexpr char32_t SentenceMarks[] = {
    0x2026,                                                 // …
    0x3002, 0xFF0E, 0xFF61, 0xFF01, 0xFF1F, 0xFF1A, 0xFF1B, // 。．｡！？：；
    0x061F, 0x06D4,                                         // ؟ ۔ (Arabic script)
    0x0964, 0x0965,                                         // । ॥ (Indic scripts)
    0x037E,                                                 // Greek question mark
    0x0589, 0x055C, 0x055E,                                 // Armenian
    0x1362, 0x1367,                                         // Ethiopic
    0x104B, 0x17D4, 0x0F0D,                                 // Myanmar, Khmer, Tibetan
    0x203C, 0x2047, 0x2048, 0x2049,                         // ‼ ⁇ ⁈ ⁉
};
constexpr char32_t NoBreakSpaces[] = {0x00A0, 0x202F, 0x3000};

bool IsAsciiMark(uchar c)
{
    return c == '.' || c == ':' || c == '!' || c == '?' || c == ';';
}

} // namespace

const char* PhraseSeverityName(PhraseSeverity severity)
{
    return severity == PhraseSeverity::Error ? "error" : "warning";
}

void FindPhpCode(QByteArrayView value, PhpValueForm form, std::vector<QByteArrayView>& code)
{
    switch (form) {
    case PhpValueForm::DoubleQuoted:
        FindInterpolatedCode(value, code);
        break;
    case PhpValueForm::SingleQuoted:
        break;
    case PhpValueForm::Expression:
        FindExpressionCode(value, code);
        break;
    }
}

const char* PhraseCheckName(PhraseCheck check)
{
    return CheckNames[std::clamp(int(check), 0, PhraseCheckCount - 1)];
}

std::optional<PhraseCheck> PhraseCheckFromName(QByteArrayView name)
{
    for (int i = 0; i < PhraseCheckCount; ++i)
        if (name == QByteArrayView(CheckNames[i]))
            return PhraseCheck(i);
    return std::nullopt;
}

PhraseChecker::PhraseChecker(const QByteArray& encoding, PhraseCheckSet enabled)
    : m_enabled(enabled), m_codec(encoding), m_lead(m_codec.LeadBytes()),
      m_decoder(m_codec.Name().constData(), QStringConverter::Flag::Stateless)
{
    if (m_lead.scheme == LeadByteTable::Scheme::DoubleByte) {
        m_asciiTrails = m_lead.fourByteForms;
        for (int b = 0; b < 0x80; ++b)
            m_asciiTrails |= m_lead.trail[size_t(b)];
    }
    if (m_lead.scheme == LeadByteTable::Scheme::SingleByte) {
        for (int b = 0x80; b < 256; ++b) {
            const char c = char(b);
            m_decoder.resetState();
            const QString s = m_decoder.decode(QByteArrayView(&c, 1));
            m_unreadableByte[size_t(b)] =
                m_decoder.hasError() || s.isEmpty() || s.front() == QChar::ReplacementCharacter;
        }
    }
    const auto encoded = [this](const auto& chars, std::vector<QByteArray>& out) {
        for (const char32_t c : chars)
            if (const auto bytes = m_codec.FromUnicode(QString::fromUcs4(&c, 1)))
                out.push_back(*bytes);
    };
    encoded(SentenceMarks, m_marks);
    encoded(NoBreakSpaces, m_noBreakSpaces);
}

QString PhraseChecker::Shown(QByteArrayView bytes) const
{
    return m_codec.ToUnicode(bytes);
}

int PhraseChecker::Check(QByteArrayView original, QByteArrayView translation, char quote,
                         std::vector<PhraseProblem>& problems)
{
    if (translation == original || m_enabled.IsEmpty())
        return 0;
    const size_t before = problems.size();
    // An empty translation has nothing to compare; every other check would only repeat that.
    if (translation.isEmpty()) {
        if (m_enabled.Contains(PhraseCheck::Empty))
            problems.push_back({PhraseCheck::Empty, Text(TranslateEmpty)});
        return int(problems.size() - before);
    }
    const quint8 inTranslation = ClassesOf(translation);
    const quint8 inEither = quint8(ClassesOf(original) | inTranslation);
    // Only a double-quoted literal runs what it holds, and all of that begins with a $.
    // Code comes only from code parts: a text part is written so that PHP reads it as text.
    if (m_enabled.Contains(PhraseCheck::Code) && translation.indexOf(PhpCodeOpen) >= 0)
        CheckCode(original, translation, problems);
    // A bracket value has no escapes: ]] inside it, or a ] before its closing ]], ends it early.
    if (m_enabled.Contains(PhraseCheck::Brackets) && quote == '\0') {
        if (translation.indexOf("]]") >= 0)
            problems.push_back({PhraseCheck::Brackets, Text(EndsBracketValue).arg(u"]]")});
        else if (translation.endsWith(']'))
            problems.push_back({PhraseCheck::Brackets, Text(EndsBracketValue).arg(u"the final ]")});
    }
    if (m_enabled.Contains(PhraseCheck::Placeholders) && (inEither & (Percent | Brace)))
        CheckPlaceholders(original, translation, problems);
    if (m_enabled.Contains(PhraseCheck::Variables) && (inEither & Dollar))
        CheckVariables(original, translation, quote, problems);
    if (m_enabled.Contains(PhraseCheck::Markup) && (inEither & Markup))
        CheckMarkup(original, translation, problems);
    if (m_enabled.Contains(PhraseCheck::Whitespace))
        CheckWhitespace(original, translation, problems);
    if (m_enabled.Contains(PhraseCheck::Punctuation))
        CheckPunctuation(original, translation, problems);
    if (m_enabled.Contains(PhraseCheck::Encoding) && (inTranslation & High))
        CheckEncoding(translation, problems);
    return int(problems.size() - before);
}

int PhraseChecker::CheckPhrase(const PhraseDocument& doc, int i,
                               std::vector<PhraseProblem>& problems)
{
    if (doc.PhraseState(i) != TranslationState::tsTranslated)
        return 0;
    doc.BorrowPhraseTexts(i, m_texts, true, true);
    return Check(m_texts.original, m_texts.translation, doc.TranslationQuote(i), problems);
}

void PhraseChecker::FindPlaceholders(QByteArrayView text, std::vector<Token>& tokens) const
{
    // A % is never the second byte of a character, so sprintf's own byte scan is followed; a {
    // may be one in some double-byte encodings.
    if (text.isEmpty())
        return;
    int next = 0;
    for (const char* p =
             static_cast<const char*>(std::memchr(text.data(), '%', size_t(text.size())));
         p;
         p = static_cast<const char*>(std::memchr(p, '%', size_t(text.data() + text.size() - p)))) {
        const qsizetype i = p - text.data();
        int argument = 0;
        char kind = 0;
        const qsizetype end = ReadPlaceholder(text, i, argument, kind);
        if (end == i) {
            ++p;
            continue;
        }
        if (argument < 0)
            argument = ++next;
        tokens.push_back({text.sliced(i, end - i), text.sliced(i, end - i), argument, kind});
        p = text.data() + end;
    }
    if (text.contains('{'))
        FindBracePlaceholders(text, CharWalk(m_lead, m_asciiTrails), tokens);
}

void PhraseChecker::CheckPlaceholders(QByteArrayView original, QByteArrayView translation,
                                      std::vector<PhraseProblem>& problems)
{
    FindInBoth(original, translation, m_originalTokens, m_translationTokens,
               [this](QByteArrayView text, std::vector<Token>& tokens) {
                   FindPlaceholders(text, tokens);
               });
    SortUnique(m_originalTokens);
    SortUnique(m_translationTokens);
    std::vector<Token> missing, extra;
    Differences(
        m_originalTokens, m_translationTokens, [&](const Token& t) { missing.push_back(t); },
        [&](const Token& t) { extra.push_back(t); });
    if (missing.empty() && extra.empty())
        return;
    const auto shown = [this](const Token& t) { return Shown(t.text); };
    // The same conversions for as many arguments, taken in another order.
    const auto conversions = [](const std::vector<Token>& tokens) {
        QByteArray kinds;
        for (const Token& t : tokens)
            if (t.argument > 0)
                kinds += t.kind;
        std::sort(kinds.begin(), kinds.end());
        return kinds;
    };
    const auto numbered = [](const Token& t) { return t.argument > 0; };
    if (std::any_of(missing.begin(), missing.end(), numbered) &&
        conversions(m_originalTokens) == conversions(m_translationTokens)) {
        std::vector<Token> inOrder;
        FindPlaceholders(original, inOrder);
        std::erase_if(inOrder, [](const Token& t) { return t.argument == 0; });
        problems.push_back(
            {PhraseCheck::Placeholders, Text(PlaceholderOrderBefore) +
                                            InTextOrder(inOrder, shown).join(QStringLiteral(", ")) +
                                            Text(PlaceholderOrderAfter)});
        return;
    }
    problems.push_back({PhraseCheck::Placeholders,
                        AddRemoveMessage(InTextOrder(missing, shown), InTextOrder(extra, shown))});
}

void PhraseChecker::CheckVariables(QByteArrayView original, QByteArrayView translation, char quote,
                                   std::vector<PhraseProblem>& problems)
{
    FindInBoth(original, translation, m_originalTokens, m_translationTokens, FindVariables);
    SortUnique(m_originalTokens);
    SortUnique(m_translationTokens);
    // A variable the original lacks matters only where PHP reads it: in double quotes.
    std::vector<Token> missing, extra;
    Differences(
        m_originalTokens, m_translationTokens, [&](const Token& t) { missing.push_back(t); },
        [&](const Token& t) {
            if (quote == '"')
                extra.push_back(t);
        });
    const auto shown = [this](const Token& t) { return Shown(t.text); };
    if (!missing.empty())
        problems.push_back(
            {PhraseCheck::Variables,
             Text(AddMissing).arg(InTextOrder(missing, shown).join(QStringLiteral(", ")))});
    if (!extra.empty())
        problems.push_back(
            {PhraseCheck::Variables,
             Text(RemoveVariable).arg(InTextOrder(extra, shown).join(QStringLiteral(", ")))});
}

void PhraseChecker::CheckMarkup(QByteArrayView original, QByteArrayView translation,
                                std::vector<PhraseProblem>& problems)
{
    FindInBoth(original, translation, m_originalTokens, m_translationTokens, FindMarkup);
    // A broken entity is one by its name: common ones, or one the original writes whole.
    const auto known = [this](const Token& t) {
        if (IsCommonEntity(t.key))
            return true;
        return std::any_of(m_originalTokens.begin(), m_originalTokens.end(),
                           [&t](const Token& o) { return SameEntity(o, t); });
    };
    std::erase_if(m_translationTokens, [&](const Token& t) { return t.kind == '!' && !known(t); });
    std::erase_if(m_originalTokens,
                  [&](const Token& t) { return t.kind == '!' && !IsCommonEntity(t.key); });
    SortUnique(m_originalTokens);
    SortUnique(m_translationTokens);
    std::vector<Token> missing, extra, broken;
    Differences(
        m_originalTokens, m_translationTokens,
        [&](const Token& t) {
            if (t.kind != '!')
                missing.push_back(t);
        },
        [&](const Token& t) { (t.kind == '!' ? broken : extra).push_back(t); });
    // A broken entity is reported as such, not also as its whole form missing.
    std::erase_if(missing, [&broken](const Token& m) {
        return std::any_of(broken.begin(), broken.end(),
                           [&m](const Token& b) { return SameEntity(m, b); });
    });
    const auto shown = [this](const Token& t) {
        if (t.kind != '<')
            return Shown(t.text);
        return QLatin1Char('<') + Shown(t.key) + QLatin1Char('>');
    };
    for (const QString& b : InTextOrder(broken, shown))
        problems.push_back({PhraseCheck::Markup, Text(CloseEntity).arg(b)});
    if (!missing.empty() || !extra.empty())
        problems.push_back({PhraseCheck::Markup, AddRemoveMessage(InTextOrder(missing, shown),
                                                                  InTextOrder(extra, shown))});
}

void PhraseChecker::CheckWhitespace(QByteArrayView original, QByteArrayView translation,
                                    std::vector<PhraseProblem>& problems)
{
    const qsizetype originalLead = LeadingBlanks(original);
    const qsizetype translationLead = LeadingBlanks(translation);
    const QByteArrayView originalStart = original.first(originalLead);
    const QByteArrayView translationStart = translation.first(translationLead);
    if (originalStart != translationStart)
        problems.push_back(
            {PhraseCheck::Whitespace, Text(originalStart.isEmpty()      ? RemoveLeadingBlanks
                                           : translationStart.isEmpty() ? AddLeadingBlanks
                                                                        : MatchLeadingBlanks)});
    const qsizetype originalTrail = TrailingBlanks(original, originalLead);
    const qsizetype translationTrail = TrailingBlanks(translation, translationLead);
    const QByteArrayView originalEnd = original.last(originalTrail);
    const QByteArrayView translationEnd = translation.last(translationTrail);
    if (originalEnd != translationEnd)
        problems.push_back(
            {PhraseCheck::Whitespace, Text(originalEnd.isEmpty()      ? RemoveTrailingBlanks
                                           : translationEnd.isEmpty() ? AddTrailingBlanks
                                                                      : MatchTrailingBlanks)});
    const QByteArrayView inner = translation.sliced(
        translationLead, translation.size() - translationLead - translationTrail);
    if (inner.contains("  ") && !original.contains("  "))
        problems.push_back({PhraseCheck::Whitespace, Text(RemoveDoubledSpace)});
}

QByteArrayView PhraseChecker::FinalMark(QByteArrayView text) const
{
    // Where the last character begins: in UTF-8 and single-byte encodings at once, in the
    // double-byte ones by walking from the start.
    const auto lastChar = [this](QByteArrayView t) -> QByteArrayView {
        if (t.isEmpty())
            return t;
        qsizetype start = t.size() - 1;
        if (m_lead.scheme == LeadByteTable::Scheme::Utf8) {
            while (start > 0 && t.size() - start < 4 && (uchar(t[start]) & 0xC0) == 0x80)
                --start;
        } else if (m_lead.scheme == LeadByteTable::Scheme::DoubleByte) {
            const auto* p = reinterpret_cast<const unsigned char*>(t.data());
            for (qsizetype i = 0; i < t.size();) {
                start = i;
                i += qsizetype(m_lead.CharLength(p + i, p + t.size()));
            }
        }
        return t.sliced(start);
    };
    // Blanks, no-break spaces, &nbsp; and tags after the last word are passed over.
    for (bool passed = true; passed && !text.isEmpty();) {
        passed = false;
        if (const qsizetype blanks = TrailingBlanks(text)) {
            text.chop(blanks);
            passed = true;
        }
        const QByteArrayView last = lastChar(text);
        if (std::find(m_noBreakSpaces.begin(), m_noBreakSpaces.end(), last) !=
            m_noBreakSpaces.end()) {
            text.chop(last.size());
            passed = true;
        }
        for (const char* nbsp : {"&nbsp;", "&#160;", "&#xA0;", "&#xa0;"})
            if (text.endsWith(QByteArrayView(nbsp))) {
                text.chop(qsizetype(std::strlen(nbsp)));
                passed = true;
            }
        if (text.endsWith('>')) {
            const qsizetype open = text.lastIndexOf('<');
            qsizetype nameEnd = 0;
            if (open >= 0 && ReadTag(text, open, nameEnd) == text.size()) {
                text.truncate(open);
                passed = true;
            }
        }
    }
    if (text.endsWith(';')) {
        // An entity at the end is its character: &hellip; ends a sentence, &quot; does not.
        const qsizetype amp = text.lastIndexOf('&');
        char kind = 0;
        QByteArrayView name;
        if (amp >= 0 && ReadEntity(text, amp, kind, name) == text.size()) {
            const bool ellipsis =
                name == "hellip" || name == "#8230" || name == "#x2026" || name == "#X2026";
            return ellipsis ? text.sliced(amp) : QByteArrayView();
        }
    }
    const QByteArrayView last = lastChar(text);
    if ((last.size() == 1 && IsAsciiMark(uchar(last[0]))) ||
        std::find(m_marks.begin(), m_marks.end(), last) != m_marks.end())
        return last;
    return {};
}

void PhraseChecker::CheckPunctuation(QByteArrayView original, QByteArrayView translation,
                                     std::vector<PhraseProblem>& problems)
{
    const QByteArrayView originalMark = FinalMark(original);
    const QByteArrayView translationMark = FinalMark(translation);
    if (originalMark.isEmpty() == translationMark.isEmpty())
        return;
    const auto quoted = [this](QByteArrayView mark) {
        return QLatin1Char('"') + Shown(mark) + QLatin1Char('"');
    };
    if (translationMark.isEmpty())
        problems.push_back(
            {PhraseCheck::Punctuation, Text(AddFinalMark).arg(quoted(originalMark))});
    else
        problems.push_back(
            {PhraseCheck::Punctuation, Text(RemoveFinalMark).arg(quoted(translationMark))});
}

qsizetype PhraseChecker::FirstUnreadable(QByteArrayView text)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    switch (m_lead.scheme) {
    case LeadByteTable::Scheme::Utf8:
        if (IsValidUtf8(text))
            return -1;
        for (const unsigned char* c = p; c < end;) {
            const size_t n = m_lead.CharLength(c, end);
            if (n == 1 && *c >= 0x80)
                return c - p;
            c += n;
        }
        return -1;
    case LeadByteTable::Scheme::SingleByte:
        for (const unsigned char* c = p; c < end; ++c)
            if (m_unreadableByte[*c])
                return c - p;
        return -1;
    case LeadByteTable::Scheme::DoubleByte:
        // A lead byte without the bytes that complete it; then a character the decoder does not
        // know, looked for one by one only once the whole text failed.
        for (const unsigned char* c = p; c < end;) {
            const size_t n = m_lead.CharLength(c, end);
            if (n == 1 && m_lead.IsLead(*c))
                return c - p;
            c += n;
        }
        m_decoder.resetState();
        (void)m_decoder.decode(text);
        if (!m_decoder.hasError())
            return -1;
        for (const unsigned char* c = p; c < end;) {
            const size_t n = m_lead.CharLength(c, end);
            if (*c >= 0x80) {
                m_decoder.resetState();
                (void)m_decoder.decode(QByteArrayView(c, qsizetype(n)));
                if (m_decoder.hasError())
                    return c - p;
            }
            c += n;
        }
        return -1;
    }
    return -1;
}

void PhraseChecker::CheckEncoding(QByteArrayView translation, std::vector<PhraseProblem>& problems)
{
    const qsizetype at = FirstUnreadable(translation);
    if (at >= 0)
        problems.push_back({PhraseCheck::Encoding,
                            Text(Unreadable).arg(at + 1).arg(QString::fromLatin1(m_codec.Name()))});
}

void PhraseChecker::CheckCode(QByteArrayView original, QByteArrayView translation,
                              std::vector<PhraseProblem>& problems)
{
    m_translationCode.clear();
    for (const QByteArrayView part : PhpCodeParts(translation))
        FindPhpCode(part, PhpValueForm::Expression, m_translationCode);
    if (m_translationCode.empty())
        return;
    // The original's code is the application's own; only what the translation adds is foreign.
    m_originalCode.clear();
    for (const QByteArrayView part : PhpCodeParts(original))
        FindPhpCode(part, PhpValueForm::Expression, m_originalCode);
    // Sorted, so that a text of many pieces costs no more than sorting them; each piece named
    // once, where it first stands.
    const auto less = [](QByteArrayView a, QByteArrayView b) {
        return CompareBytes(a, b, false) < 0;
    };
    std::sort(m_originalCode.begin(), m_originalCode.end(), less);
    std::stable_sort(m_translationCode.begin(), m_translationCode.end(), less);
    m_translationCode.erase(std::unique(m_translationCode.begin(), m_translationCode.end()),
                            m_translationCode.end());
    std::erase_if(m_translationCode, [&](QByteArrayView piece) {
        return std::binary_search(m_originalCode.begin(), m_originalCode.end(), piece, less);
    });
    std::sort(m_translationCode.begin(), m_translationCode.end(),
              [](QByteArrayView a, QByteArrayView b) { return a.data() < b.data(); });
    QStringList added;
    for (const QByteArrayView piece : m_translationCode)
        added << Shown(piece);
    if (!added.isEmpty())
        problems.push_back(
            {PhraseCheck::Code, Text(RemoveCode).arg(added.join(QStringLiteral(", ")))});
}
