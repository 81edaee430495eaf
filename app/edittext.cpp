#include "edittext.h"

#include "textcodec.h"

std::optional<QString> UnwritableCharacter(const TextCodec& codec, const QString& text)
{
    if (text.contains(QChar::ReplacementCharacter))
        return QString(QChar::ReplacementCharacter);
    QString bad;
    if (codec.FromUnicode(text, &bad))
        return std::nullopt;
    return bad;
}

JoinedLines JoinLines(QStringView text)
{
    JoinedLines out;
    qsizetype from = 0;
    while (from < text.size() && BreaksPastedLine(text[from]))
        ++from;
    qsizetype to = text.size();
    while (to > from && BreaksPastedLine(text[to - 1]))
        --to;
    out.text.reserve(to - from);
    for (qsizetype i = from; i < to;) {
        if (!BreaksPastedLine(text[i])) {
            const qsizetype start = i;
            while (i < to && !BreaksPastedLine(text[i]))
                ++i;
            out.text += text.sliced(start, i - start);
            continue;
        }
        while (BreaksPastedLine(text[i]))
            ++i;
        out.text += u' ';
        out.joined = true;
    }
    return out;
}
