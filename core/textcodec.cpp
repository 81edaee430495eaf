#include "textcodec.h"

#include <QLocale>
#include <QStringDecoder>
#include <QStringEncoder>

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

// A byte leads a double-byte character when, followed by a typical trail byte, the pair decodes
// to one character: this asks the converter rather than repeating its tables.
LeadByteTable ProbeLeadBytes(const QByteArray& name)
{
    LeadByteTable t;
    static constexpr unsigned char trails[] = {0x40, 0x41, 0x61, 0x80, 0xA1, 0xB0};
    for (int b = 0x81; b <= 0xFE; ++b) {
        for (unsigned char trail : trails) {
            const char pair[2] = {char(b), char(trail)};
            const QString s = Decode(name, QByteArrayView(pair, 2));
            if (s.size() == 1 && s.at(0) != QChar::ReplacementCharacter) {
                t.lead[size_t(b)] = true;
                break;
            }
        }
    }
    for (bool l : t.lead)
        if (l) {
            t.scheme = LeadByteTable::Scheme::DoubleByte;
            break;
        }
    return t;
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

QString TextCodec::ToUnicode(QByteArrayView bytes) const
{
    if (isUtf8())
        return QString::fromUtf8(bytes);
    return Decode(m_name, bytes);
}

std::optional<QByteArray> TextCodec::FromUnicode(QStringView text, QString* badChar) const
{
    QByteArray bytes = isUtf8() ? text.toUtf8() : Encode(m_name, text);
    if (ToUnicode(bytes) == text)
        return bytes;
    if (badChar) {
        // Find the first character that does not survive the round trip.
        for (qsizetype i = 0; i < text.size();) {
            const qsizetype n = (text.at(i).isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
            const QStringView one = text.mid(i, n);
            const QByteArray b = isUtf8() ? one.toUtf8() : Encode(m_name, one);
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
    // Multi-byte: plain ASCII needs no decoding, which keeps searches over English keys fast.
    // One pass folds and watches for a byte that needs the decoder.
    out.resize(n);
    auto* dst = out.data();
    qsizetype i = 0;
    for (; i < n; ++i) {
        const unsigned char c = src[i];
        if (c >= 0x80)
            break;
        dst[i] = (c >= 'a' && c <= 'z') ? char(c - 32) : char(c);
    }
    if (i == n)
        return;
    const QString upper = ToUnicode(bytes).toUpper();
    // A capital the encoding cannot hold: keep the text as it was rather than lose letters.
    if (auto enc = FromUnicode(upper))
        out = std::move(*enc);
    else
        out = bytes.toByteArray();
}
