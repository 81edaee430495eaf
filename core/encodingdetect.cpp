#include "encodingdetect.h"

bool IsValidUtf8(QByteArrayView text)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
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

QByteArray DetectEncoding(const QList<QByteArrayView>& files, const QLocale& locale)
{
    for (QByteArrayView f : files)
        if (!IsValidUtf8(f))
            return LegacyEncodingFor(locale.language(), locale.script());
    return "UTF-8";
}
