#include "textcodec.h"
#include "asciicase.h"

#include <QList>
#include <QLocale>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QStringList>

namespace {

bool DecoderKnows(const QByteArray& name)
{
    QStringDecoder d(name.constData());
    return d.isValid();
}

QString Decode(const QByteArray& name, QByteArrayView bytes)
{
    QStringDecoder d(name.constData(), QStringConverter::Flag::Stateless);
    return d.decode(bytes);
}

QByteArray Encode(const QByteArray& name, QStringView text)
{
    QStringEncoder e(name.constData(), QStringConverter::Flag::Stateless);
    return e.encode(text);
}

bool IsUtf8Name(const QByteArray& name)
{
    const QByteArray n = name.toLower();
    return n == "utf-8" || n == "utf8";
}

// A byte leads a double-byte character when, followed by a trail byte, the pair decodes to one
// character: this asks the converter rather than repeating its tables. Every probe ends in a
// space, so that a byte the converter holds back as the start of an unfinished character does
// not pass for part of the probe.
LeadByteTable ProbeLeadBytes(const QByteArray& name)
{
    QStringDecoder d(name.constData(), QStringConverter::Flag::Stateless);
    // The one character the bytes decode to before the closing space, or -1.
    const auto one = [&](std::initializer_list<unsigned char> bytes) -> char32_t {
        QByteArray probe;
        for (unsigned char b : bytes)
            probe += char(b);
        probe += ' ';
        const QList<uint> cps = QString(d.decode(probe)).toUcs4();
        return cps.size() == 2 && cps.at(1) == ' ' ? char32_t(cps.at(0)) : char32_t(-1);
    };
    const auto isChar = [](char32_t c) { return c != char32_t(-1) && c != 0xFFFD && c != 0x1A; };

    LeadByteTable t;
    for (int b = 0x81; b <= 0xFE; ++b) {
        if (isChar(one({static_cast<unsigned char>(b)})))
            continue; // a character of its own, such as half-width katakana
        for (int trail = 0x21; trail <= 0xFE; ++trail) {
            // An unassigned pair still makes one replacement character: its trail byte is part
            // of it, not a character of its own.
            const char32_t c =
                one({static_cast<unsigned char>(b), static_cast<unsigned char>(trail)});
            if (c == char32_t(-1))
                continue;
            t.trail.set(size_t(trail));
            if (isChar(c))
                t.lead[size_t(b)] = true;
        }
    }
    for (int b = 0x81; b <= 0xFE; ++b) {
        if (t.lead[size_t(b)])
            continue;
        // EUC-JP's 0x8F: two trail bytes follow.
        if (isChar(one({static_cast<unsigned char>(b), 0xB0, 0xA1}))) {
            t.lead[size_t(b)] = true;
            t.threeByteLead.set(size_t(b));
        }
    }
    // GB18030's four-byte forms: 81 30 81 30 is U+0080.
    t.fourByteForms = t.lead[0x81] && isChar(one({0x81, '0', 0x81, '0'}));
    for (bool l : t.lead)
        if (l) {
            t.scheme = LeadByteTable::Scheme::DoubleByte;
            break;
        }
    return t;
}

// The capital of every character of a double-byte encoding that has one there. All characters
// are decoded in one call, each behind a line feed, which no lead byte takes as its trail.
std::unordered_map<std::uint32_t, std::uint32_t> ProbeCapitals(const QByteArray& name,
                                                               const LeadByteTable& lead)
{
    QList<std::uint32_t> values;
    QByteArray bytes;
    const auto add = [&](std::initializer_list<int> character) {
        std::uint32_t v = 0;
        for (int b : character) {
            bytes += char(b);
            v = v << 8 | std::uint32_t(b);
        }
        bytes += '\n';
        values.append(v);
    };
    for (int b = 0x80; b <= 0xFF; ++b) {
        if (!lead.lead[size_t(b)]) {
            add({b});
            continue;
        }
        for (int t = 0; t < 256; ++t) {
            if (!lead.trail[size_t(t)])
                continue;
            if (!lead.threeByteLead[size_t(b)]) {
                add({b, t});
                continue;
            }
            for (int u = 0; u < 256; ++u)
                if (lead.trail[size_t(u)])
                    add({b, t, u});
        }
    }
    // GB18030's four-byte forms from 81 30 81 30 to 84 31 A4 39 hold the rest of the Basic
    // Multilingual Plane, many Latin letters among them. The forms for the planes above are
    // left as they are: decoding all of them would cost more than their few letters are worth.
    if (lead.fourByteForms)
        for (int b = 0x81; b <= 0x84; ++b)
            for (int c = '0'; c <= '9'; ++c)
                for (int d = 0x81; d <= 0xFE; ++d)
                    for (int e = '0'; e <= '9'; ++e)
                        add({b, c, d, e});
    std::unordered_map<std::uint32_t, std::uint32_t> capitals;
    const QStringList chars = Decode(name, bytes).split(u'\n');
    if (chars.size() != values.size() + 1)
        return capitals; // the converter split the probes differently: fold ASCII only
    QStringEncoder e(name.constData(), QStringConverter::Flag::Stateless);
    for (qsizetype i = 0; i < values.size(); ++i) {
        const QList<uint> cps = chars.at(i).toUcs4();
        if (cps.size() != 1 || cps.at(0) == 0xFFFD)
            continue;
        const char32_t upper = QChar::toUpper(char32_t(cps.at(0)));
        if (upper == cps.at(0))
            continue;
        const QByteArray back = e.encode(QStringView(QString::fromUcs4(&upper, 1)));
        const auto* p = reinterpret_cast<const unsigned char*>(back.constData());
        // Only a capital that is one character of the encoding and decodes back to itself.
        if (back.isEmpty() || back.size() > 4 ||
            lead.CharLength(p, p + back.size()) != size_t(back.size()) ||
            Decode(name, back) != QString::fromUcs4(&upper, 1))
            continue;
        capitals.emplace(values.at(i), LeadByteTable::CharValue(p, size_t(back.size())));
    }
    return capitals;
}

// Appends the UTF-8 form of a code point.
char* PutUtf8(char32_t c, char* out)
{
    if (c < 0x80) {
        *out++ = char(c);
    } else if (c < 0x800) {
        *out++ = char(0xC0 | c >> 6);
        *out++ = char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *out++ = char(0xE0 | c >> 12);
        *out++ = char(0x80 | (c >> 6 & 0x3F));
        *out++ = char(0x80 | (c & 0x3F));
    } else {
        *out++ = char(0xF0 | c >> 18);
        *out++ = char(0x80 | (c >> 12 & 0x3F));
        *out++ = char(0x80 | (c >> 6 & 0x3F));
        *out++ = char(0x80 | (c & 0x3F));
    }
    return out;
}

// Upper-cases a text of a multi-byte encoding. Apart from UpperCaseInto(), whose byte-table loop
// for single-byte encodings stays as small as it was.
void UpperCaseCharacters(const LeadByteTable& lead,
                         const std::unordered_map<std::uint32_t, std::uint32_t>* capitals,
                         const unsigned char* src, qsizetype n, QByteArray& out)
{
    // Plain ASCII needs no character splitting, which keeps searches over English keys fast.
    // One pass folds and watches for the first byte that may begin a longer character.
    out.resize(n);
    auto* dst = out.data();
    qsizetype i = 0;
    for (; i < n; ++i) {
        const unsigned char c = src[i];
        if (c >= 0x80)
            break;
        dst[i] = char(AsciiUpper(c));
    }
    if (i == n)
        return;
    // Then character by character, so that a byte no character takes, or a letter whose capital
    // the encoding lacks, stays as it is and the rest of the text still folds.
    const bool utf8 = lead.scheme == LeadByteTable::Scheme::Utf8;
    const auto* const end = src + n;
    qsizetype w = i;
    for (const unsigned char* p = src + i; p < end;) {
        if (w + 4 > out.size())
            out.resize(out.size() * 2 + 8);
        dst = out.data();
        const std::size_t len = lead.CharLength(p, end);
        if (*p < 0x80 || (len == 1 && utf8)) {
            dst[w++] = char(AsciiUpper(*p));
            ++p;
            continue;
        }
        if (utf8) {
            char32_t c = *p & (len == 2 ? 0x1F : len == 3 ? 0x0F : 0x07);
            for (std::size_t k = 1; k < len; ++k)
                c = c << 6 | (p[k] & 0x3F);
            w = PutUtf8(QChar::toUpper(c), dst + w) - dst;
        } else {
            std::uint32_t v = LeadByteTable::CharValue(p, len);
            std::size_t outLen = len;
            if (capitals) {
                if (auto it = capitals->find(v); it != capitals->end()) {
                    v = it->second;
                    outLen = v > 0xFFFFFF ? 4 : v > 0xFFFF ? 3 : v > 0xFF ? 2 : 1;
                }
            }
            for (std::size_t k = outLen; k-- > 0;)
                dst[w++] = char(v >> (8 * k) & 0xFF);
        }
        p += len;
    }
    out.resize(w);
}

} // namespace

TextCodec::TextCodec(const QByteArray& name) : m_name(name)
{
    if (IsUtf8Name(name)) {
        m_name = "UTF-8";
        m_lead = LeadByteTable::Utf8();
        return;
    }
    if (!DecoderKnows(name)) {
        m_valid = false;
        m_name = "windows-1252";
    }
    m_lead = ProbeLeadBytes(m_name);
    if (m_lead.scheme == LeadByteTable::Scheme::DoubleByte)
        m_wideUpper = std::make_shared<const std::unordered_map<std::uint32_t, std::uint32_t>>(
            ProbeCapitals(m_name, m_lead));
    if (m_lead.scheme == LeadByteTable::Scheme::SingleByte) {
        auto upper = std::make_shared<std::array<unsigned char, 256>>();
        for (int b = 0; b < 256; ++b) {
            const char c = char(b);
            (*upper)[size_t(b)] = static_cast<unsigned char>(b);
            const QString s = Decode(m_name, QByteArrayView(&c, 1));
            if (s.size() != 1 || s.at(0) == QChar::ReplacementCharacter)
                continue;
            const QString u = s.toUpper();
            if (u == s || u.size() != 1)
                continue;
            const QByteArray back = Encode(m_name, u);
            // Only a capital that the encoding holds, as one byte that decodes back to it.
            if (back.size() == 1 && Decode(m_name, back) == u)
                (*upper)[size_t(b)] = static_cast<unsigned char>(back.at(0));
        }
        m_upper = std::move(upper);
    }
}

TextCodec TextCodec::Locale()
{
    // Qt 6 reads the locale's encoding through the C library; an empty or C locale means ASCII,
    // which UTF-8 covers.
    const QByteArray name = QStringConverter::nameForEncoding(QStringConverter::System);
    return TextCodec(name.isEmpty() ? QByteArray("UTF-8") : name);
}

struct TextCodec::Converters::Pair
{
    // Stateless, as a converter opened for each call was: a character cut off at the end of a
    // text is not held back for the next call.
    explicit Pair(const QByteArray& name)
        : decoder(name.constData(), QStringConverter::Flag::Stateless),
          encoder(name.constData(), QStringConverter::Flag::Stateless)
    {
    }
    QStringDecoder decoder;
    QStringEncoder encoder;
};

TextCodec::Converters::Converters() noexcept = default;
TextCodec::Converters::Converters(const Converters&) noexcept {}
TextCodec::Converters::Converters(Converters&&) noexcept = default;
TextCodec::Converters& TextCodec::Converters::operator=(Converters&&) noexcept = default;
TextCodec::Converters::~Converters() = default;

TextCodec::Converters& TextCodec::Converters::operator=(const Converters&) noexcept
{
    m_pair.reset(); // opened for the codec this one was; the new one opens on first use
    return *this;
}

TextCodec::Converters::Pair& TextCodec::Converters::Open(const QByteArray& name)
{
    if (!m_pair)
        m_pair = std::make_unique<Pair>(name);
    return *m_pair;
}

QStringDecoder& TextCodec::Converters::Decoder(const QByteArray& name)
{
    QStringDecoder& d = Open(name).decoder;
    d.resetState();
    return d;
}

QStringEncoder& TextCodec::Converters::Encoder(const QByteArray& name)
{
    QStringEncoder& e = Open(name).encoder;
    e.resetState();
    return e;
}

QString TextCodec::ToUnicode(QByteArrayView bytes) const
{
    if (IsUtf8())
        return QString::fromUtf8(bytes);
    return m_converters.Decoder(m_name).decode(bytes);
}

std::optional<QByteArray> TextCodec::FromUnicode(QStringView text, QString* badChar) const
{
    QByteArray bytes = IsUtf8() ? text.toUtf8() : m_converters.Encoder(m_name).encode(text);
    if (ToUnicode(bytes) == text)
        return bytes;
    if (badChar) {
        // Find the first character that does not survive the round trip.
        for (qsizetype i = 0; i < text.size();) {
            const qsizetype n = (text.at(i).isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
            const QStringView one = text.mid(i, n);
            const QByteArray b = IsUtf8() ? one.toUtf8() : m_converters.Encoder(m_name).encode(one);
            if (ToUnicode(b) != one) {
                *badChar = one.toString();
                break;
            }
            i += n;
        }
    }
    return std::nullopt;
}

QByteArray TextCodec::UpperCase(QByteArrayView bytes) const
{
    QByteArray out;
    UpperCaseInto(bytes, out);
    return out;
}

void TextCodec::UpperCaseInto(QByteArrayView bytes, QByteArray& out) const
{
    const auto* src = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    if (m_upper) {
        out.resize(n);
        auto* dst = reinterpret_cast<unsigned char*>(out.data());
        const auto& table = *m_upper;
        for (qsizetype i = 0; i < n; ++i)
            dst[i] = table[src[i]];
        return;
    }
    UpperCaseCharacters(m_lead, m_wideUpper.get(), src, n, out);
}
