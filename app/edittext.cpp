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
