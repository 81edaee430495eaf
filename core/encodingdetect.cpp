#include "encodingdetect.h"

#include <QStringDecoder>
#include <uchardet/uchardet.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr quint64 HighBits = 0x8080808080808080ULL;

// Eight bytes at a time: language files are mostly ASCII, and this keeps a scan of a large
// file near the speed of memory.
bool EightAscii(const unsigned char* p)
{
    quint64 word;
    std::memcpy(&word, p, sizeof word);
    return (word & HighBits) == 0;
}

} // namespace

bool IsValidUtf8(QByteArrayView text)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        if (end - p >= 8 && EightAscii(p)) {
            p += 8;
            continue;
        }
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int n;
        unsigned char lo = 0x80, hi = 0xBF; // allowed range of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            n = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            n = 2;
            if (c == 0xE0)
                lo = 0xA0; // no overlong forms
            if (c == 0xED)
                hi = 0x9F; // no surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            n = 3;
            if (c == 0xF0)
                lo = 0x90;
            if (c == 0xF4)
                hi = 0x8F;
        } else {
            return false;
        }
        if (end - p <= n)
            return false;
        if (p[1] < lo || p[1] > hi)
            return false;
        for (int i = 2; i <= n; ++i)
            if ((p[i] & 0xC0) != 0x80)
                return false;
        p += n + 1;
    }
    return true;
}

QByteArray LegacyEncodingFor(QLocale::Language language, QLocale::Script script)
{
    switch (language) {
    case QLocale::Russian:
    case QLocale::Ukrainian:
    case QLocale::Belarusian:
    case QLocale::Bulgarian:
    case QLocale::Macedonian:
        return "windows-1251";
    case QLocale::Serbian:
        return script == QLocale::LatinScript ? "windows-1250" : "windows-1251";
    case QLocale::Polish:
    case QLocale::Czech:
    case QLocale::Slovak:
    case QLocale::Hungarian:
    case QLocale::Croatian:
    case QLocale::Slovenian:
    case QLocale::Romanian:
        return "windows-1250";
    case QLocale::Greek:
        return "windows-1253";
    case QLocale::Turkish:
        return "windows-1254";
    case QLocale::Hebrew:
        return "windows-1255";
    case QLocale::Arabic:
    case QLocale::Persian:
        return "windows-1256";
    case QLocale::Estonian:
    case QLocale::Latvian:
    case QLocale::Lithuanian:
        return "windows-1257";
    case QLocale::Vietnamese:
        return "windows-1258";
    case QLocale::Thai:
        return "windows-874";
    case QLocale::Japanese:
        return "Shift_JIS";
    case QLocale::Chinese:
        return script == QLocale::TraditionalChineseScript ? "Big5" : "GBK";
    case QLocale::Korean:
        return "windows-949";
    default:
        return "windows-1252";
    }
}

// ---------------------------------------------------------------- names

namespace {

struct NameAlias
{
    const char* key; // lower case, without '-', '_', '.' and blanks
    const char* name;
};

// The spellings files and the detector use, each to the name the Options menu shows.
// clang-format off
constexpr NameAlias Aliases[] = {
    {"utf8", "UTF-8"},
    {"cp1250", "windows-1250"}, {"win1250", "windows-1250"}, {"windows1250", "windows-1250"}, {"xcp1250", "windows-1250"},
    {"cp1251", "windows-1251"}, {"win1251", "windows-1251"}, {"windows1251", "windows-1251"}, {"xcp1251", "windows-1251"},
    {"cp1252", "windows-1252"}, {"win1252", "windows-1252"}, {"windows1252", "windows-1252"},
    {"cp1253", "windows-1253"}, {"win1253", "windows-1253"}, {"windows1253", "windows-1253"},
    {"cp1254", "windows-1254"}, {"win1254", "windows-1254"}, {"windows1254", "windows-1254"},
    {"cp1255", "windows-1255"}, {"win1255", "windows-1255"}, {"windows1255", "windows-1255"},
    {"cp1256", "windows-1256"}, {"win1256", "windows-1256"}, {"windows1256", "windows-1256"},
    {"cp1257", "windows-1257"}, {"win1257", "windows-1257"}, {"windows1257", "windows-1257"},
    {"cp1258", "windows-1258"}, {"win1258", "windows-1258"}, {"windows1258", "windows-1258"},
    {"cp874", "windows-874"}, {"windows874", "windows-874"}, {"tis620", "TIS-620"},
    {"iso88591", "ISO-8859-1"}, {"latin1", "ISO-8859-1"},
    {"iso88592", "ISO-8859-2"}, {"latin2", "ISO-8859-2"},
    {"iso88593", "ISO-8859-3"}, {"iso88594", "ISO-8859-4"}, {"iso88595", "ISO-8859-5"},
    {"iso88596", "ISO-8859-6"}, {"iso88597", "ISO-8859-7"}, {"iso88598", "ISO-8859-8"},
    {"iso88599", "ISO-8859-9"}, {"iso885910", "ISO-8859-10"}, {"iso885913", "ISO-8859-13"},
    {"iso885914", "ISO-8859-14"}, {"iso885915", "ISO-8859-15"}, {"iso885916", "ISO-8859-16"},
    {"koi8r", "KOI8-R"}, {"koi8", "KOI8-R"}, {"koi8u", "KOI8-U"},
    {"cp866", "CP866"}, {"ibm866", "CP866"},
    {"shiftjis", "Shift_JIS"}, {"sjis", "Shift_JIS"}, {"xsjis", "Shift_JIS"}, {"cp932", "Shift_JIS"},
    {"windows31j", "Shift_JIS"}, {"mskanji", "Shift_JIS"}, {"eucjp", "EUC-JP"},
    {"gbk", "GBK"}, {"cp936", "GBK"}, {"gb2312", "GBK"}, {"euccn", "GBK"}, {"gb18030", "GB18030"},
    {"big5", "Big5"}, {"cp950", "Big5"},
    {"euckr", "EUC-KR"}, {"cp949", "windows-949"}, {"windows949", "windows-949"}, {"uhc", "windows-949"},
};
// clang-format on

QByteArray AliasKey(QByteArrayView name)
{
    QByteArray key;
    for (char c : name)
        if (c != '-' && c != '_' && c != '.' && c != ' ')
            key += char(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return key;
}

bool DecoderKnows(const QByteArray& name)
{
    return QStringDecoder(name.constData()).isValid();
}

// Encodings in which one character may take more than one byte, where a wrong name shows as
// undecodable bytes.
bool IsMultiByte(const QByteArray& canonical)
{
    static const QByteArray names[] = {"UTF-8",   "Shift_JIS", "EUC-JP", "GBK",
                                       "GB18030", "Big5",      "EUC-KR", "windows-949"};
    return std::find(std::begin(names), std::end(names), canonical) != std::end(names);
}

// Pairs where one encoding only adds characters to the other, so text in either reads right.
bool Compatible(const QByteArray& a, const QByteArray& b)
{
    if (a == b)
        return true;
    static const std::pair<const char*, const char*> supersets[] = {{"ISO-8859-1", "windows-1252"},
                                                                    {"GBK", "GB18030"},
                                                                    {"EUC-KR", "windows-949"},
                                                                    {"TIS-620", "windows-874"}};
    for (const auto& [x, y] : supersets)
        if ((a == x && b == y) || (a == y && b == x))
            return true;
    return false;
}

} // namespace

QByteArray CanonicalEncodingName(QByteArrayView name)
{
    if (name.isEmpty() || name.size() > 40)
        return {};
    const QByteArray key = AliasKey(name);
    for (const NameAlias& a : Aliases)
        if (key == a.key)
            return a.name;
    const QByteArray given = name.toByteArray();
    return DecoderKnows(given) ? given : QByteArray();
}

// ---------------------------------------------------------------- declarations

namespace {

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c + 32) : c;
}
bool IsNameChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || c == '.' || c == ':';
}

bool StartsWithNoCase(QByteArrayView text, qsizetype at, const char* word)
{
    const qsizetype n = qsizetype(std::strlen(word));
    if (at + n > text.size())
        return false;
    for (qsizetype i = 0; i < n; ++i)
        if (Lower(text[at + i]) != word[i])
            return false;
    return true;
}

// The encoding named after a declaring word: the quotes, brackets and blanks of the statement,
// an '=' or ',' among them, then the name (define("_CHARSET","x"), $lang_charset = 'x',
// 'charset' => 'x', charset=x). A word in prose ("the charset windows-1251") names nothing, nor
// does a longer word (_CHARSET_NOTE, _ISO_CODE).
QByteArray NameAfter(QByteArrayView text, qsizetype at)
{
    bool assigned = false;
    qsizetype i = at;
    for (; i < text.size() && i - at <= 16; ++i) {
        const char c = text[i];
        if (c == '=' || c == ',')
            assigned = true;
        else if (!(c == '"' || c == '\'' || c == ' ' || c == '\t' || c == '>' || c == '[' ||
                   c == ']' || c == '('))
            break;
    }
    if (!assigned)
        return {};
    const qsizetype start = i;
    while (i < text.size() && i - start <= 40 && IsNameChar(text[i]))
        ++i;
    // define('_ISO', 'charset=iso-8859-2') names "charset" here, and the scan goes on to it.
    return CanonicalEncodingName(text.sliced(start, i - start));
}

} // namespace

QByteArray DeclaredEncoding(QByteArrayView text)
{
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = Lower(text[i]);
        if (c == 'c' && StartsWithNoCase(text, i, "charset")) {
            if (QByteArray name = NameAfter(text, i + 7); !name.isEmpty())
                return name;
            i += 6;
        } else if (c == '_' && StartsWithNoCase(text, i + 1, "iso")) {
            if (QByteArray name = NameAfter(text, i + 4); !name.isEmpty())
                return name;
            i += 3;
        }
    }
    return {};
}

// ---------------------------------------------------------------- one file

namespace {

// Files up to this size are read whole; larger ones by samples, which detection of a 100 MB
// file keeps to a few milliseconds.
constexpr qsizetype WholeFileBytes = qsizetype(4) << 20;
constexpr qsizetype HeadBytes = qsizetype(1) << 20;
constexpr qsizetype WindowBytes = qsizetype(32) << 10;
constexpr int Windows = 48;
// The detector reads this much of the lines that hold 8-bit bytes: more changes no guess.
constexpr qsizetype GuessBytes = qsizetype(64) << 10;
// Fewer 8-bit bytes than this are a word or two, which any code page decodes to something:
// the user's own language then is the better guess.
constexpr int GuessMinimum = 16;

qsizetype FirstHighByte(QByteArrayView text, qsizetype from = 0)
{
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    qsizetype i = from;
    const qsizetype n = text.size();
    for (; i + 8 <= n; i += 8)
        if (!EightAscii(s + i))
            break;
    for (; i < n; ++i)
        if (s[i] >= 0x80)
            return i;
    return -1;
}

// A piece of a large file, moved off a character cut in two: leading UTF-8 continuation bytes
// are dropped, and an unfinished sequence at the end.
QByteArrayView Window(QByteArrayView text, qsizetype from, qsizetype size)
{
    qsizetype begin = from;
    qsizetype end = std::min(text.size(), from + size);
    for (int k = 0; k < 3 && begin < end && (uchar(text[begin]) & 0xC0) == 0x80; ++k)
        ++begin;
    if (end < text.size()) {
        for (int k = 1; k <= 4 && end - k >= begin; ++k) {
            const uchar c = uchar(text[end - k]);
            if ((c & 0xC0) == 0x80)
                continue;
            const int length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
            if (length > k)
                end -= k;
            break;
        }
    }
    return text.sliced(begin, end - begin);
}

std::vector<QByteArrayView> Samples(QByteArrayView text)
{
    if (text.size() <= WholeFileBytes)
        return {text};
    std::vector<QByteArrayView> samples{Window(text, 0, HeadBytes)};
    const qsizetype rest = text.size() - HeadBytes - WindowBytes;
    for (int k = 0; k < Windows; ++k)
        samples.push_back(Window(text, HeadBytes + rest * k / (Windows - 1), WindowBytes));
    return samples;
}

// Calls f with each line of the samples that holds an 8-bit byte, until f returns false.
template <class F> void ForEachEightBitLine(const std::vector<QByteArrayView>& samples, F f)
{
    for (QByteArrayView s : samples) {
        for (qsizetype at = FirstHighByte(s); at >= 0;) {
            qsizetype begin = at;
            while (begin > 0 && s[begin - 1] != '\n')
                --begin;
            qsizetype end = s.indexOf('\n', at);
            end = end < 0 ? s.size() : end + 1;
            if (!f(s.sliced(begin, end - begin)))
                return;
            at = FirstHighByte(s, end);
        }
    }
}

struct Guess
{
    QByteArray name;
    qsizetype eightBitBytes = 0;
};

Guess GuessFromBytes(const std::vector<QByteArrayView>& samples)
{
    Guess g;
    std::unique_ptr<std::remove_pointer_t<uchardet_t>, void (*)(uchardet_t)> detector(
        uchardet_new(), uchardet_delete);
    if (!detector)
        return g;
    qsizetype fed = 0;
    ForEachEightBitLine(samples, [&](QByteArrayView line) {
        uchardet_handle_data(detector.get(), line.data(), size_t(line.size()));
        for (char c : line)
            g.eightBitBytes += uchar(c) >= 0x80;
        fed += line.size();
        return fed < GuessBytes;
    });
    uchardet_data_end(detector.get());
    g.name = CanonicalEncodingName(uchardet_get_charset(detector.get()));
    return g;
}

// Whether the 8-bit lines decode in a multi-byte encoding without a byte it cannot read.
bool DecodesCleanly(const std::vector<QByteArrayView>& samples, const QByteArray& name)
{
    bool clean = true;
    qsizetype checked = 0;
    ForEachEightBitLine(samples, [&](QByteArrayView line) {
        QStringDecoder decoder(name.constData(), QStringConverter::Flag::Stateless);
        const QString text = decoder.decode(line);
        clean = !decoder.hasError() && !text.contains(QChar::ReplacementCharacter);
        checked += line.size();
        return clean && checked < GuessBytes;
    });
    return clean;
}

} // namespace

FileEncoding DetectFileEncoding(QByteArrayView bytes, const QLocale& locale)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return {"UTF-8", EncodingSource::ByteOrderMark, true};

    std::vector<QByteArrayView> samples = Samples(bytes);
    bool eightBit = false;
    for (QByteArrayView s : samples)
        eightBit = eightBit || FirstHighByte(s) >= 0;
    if (!eightBit && samples.size() > 1) {
        // The samples are plain ASCII, but a few letters elsewhere decide the encoding all the
        // same.
        if (const qsizetype at = FirstHighByte(bytes); at >= 0) {
            samples.push_back(
                Window(bytes, std::max<qsizetype>(0, at - WindowBytes / 2), WindowBytes));
            eightBit = true;
        }
    }

    if (eightBit && std::all_of(samples.begin(), samples.end(), IsValidUtf8))
        return {"UTF-8", EncodingSource::Utf8, true};

    for (QByteArrayView s : samples) {
        const QByteArray declared = DeclaredEncoding(s);
        if (declared.isEmpty())
            continue;
        // A declaration the bytes contradict (UTF-8 over bytes that are not, GBK over bytes
        // GBK cannot read) is a copied header, not the file's encoding.
        if (!eightBit || !IsMultiByte(declared) ||
            (declared != "UTF-8" && DecodesCleanly(samples, declared)))
            return {declared, EncodingSource::Declared, eightBit};
        break;
    }
    if (!eightBit)
        return {"UTF-8", EncodingSource::Ascii, false};

    Guess guess = GuessFromBytes(samples);
    if (guess.eightBitBytes >= GuessMinimum && !guess.name.isEmpty() && guess.name != "UTF-8") {
        // The detector names GB18030 for any simplified Chinese; GBK, which it extends, is what
        // the files say and what the Options menu offers, whenever it reads every byte.
        if (guess.name == "GB18030" && DecodesCleanly(samples, "GBK"))
            guess.name = "GBK";
        return {guess.name, EncodingSource::Guessed, true};
    }
    return {LegacyEncodingFor(locale.language(), locale.script()), EncodingSource::Locale, true};
}

// ---------------------------------------------------------------- a document

DocumentEncoding DetectDocumentEncoding(QByteArrayView templ, const QList<QByteArray>& merged,
                                        const QLocale& locale)
{
    DocumentEncoding d;
    d.templ = DetectFileEncoding(templ, locale);
    if (!merged.isEmpty())
        d.translation = DetectFileEncoding(merged.constLast(), locale);
    // A template in plain ASCII fits any encoding; its charset phrase is one the translator
    // translates, so only its bytes bind the document.
    const bool templateTells = d.templ.eightBit;
    const bool translationTells = d.translation && d.translation->source != EncodingSource::Ascii;
    if (translationTells)
        d.name = d.translation->name;
    else if (templateTells)
        d.name = d.templ.name;
    else
        d.name = "UTF-8";
    d.mismatch =
        translationTells && templateTells && !Compatible(d.templ.name, d.translation->name);
    return d;
}

QString EncodingMismatchText(const DocumentEncoding& encoding, const QString& templateName,
                             const QString& translationName)
{
    return QStringLiteral("The translation %1 is in %2, but its template %3 is in %4. The "
                          "translations are shown in %2; lines the saved file takes from the "
                          "template keep their %4 bytes, so it will mix both encodings.")
        .arg(translationName,
             QString::fromLatin1(encoding.translation ? encoding.translation->name : encoding.name),
             templateName, QString::fromLatin1(encoding.templ.name));
}
