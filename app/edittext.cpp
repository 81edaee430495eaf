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

ShownValue ShowValue(QStringView value)
{
    ShownValue out;
    out.text.reserve(value.size());
    for (qsizetype i = 0; i < value.size();) {
        const QChar c = value[i];
        if (c == u'\r' || c == u'\n') {
            out.marks.append({out.text.size(), 1, ValueMark::LineBreak});
            out.text += LineBreakMark;
            i += c == u'\r' && i + 1 < value.size() && value[i + 1] == u'\n' ? 2 : 1;
        } else if (c == CodeOpen) {
            // A value cut short (a long one's start) may end inside a code part.
            qsizetype close = value.indexOf(CodeClose, i + 1);
            if (close < 0)
                close = value.size();
            const qsizetype start = out.text.size();
            out.text += CodeMarkOpen;
            out.text += ShownCode(value.sliced(i + 1, close - i - 1));
            out.text += CodeMarkClose;
            out.marks.append({start, out.text.size() - start, ValueMark::Code});
            i = close + 1;
        } else {
            if (c != CodeClose) // a stray close is no character of the text
                out.text += c;
            ++i;
        }
    }
    return out;
}

QString PlainValue(QStringView value)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size();) {
        if (value[i] == CodeOpen) {
            qsizetype close = value.indexOf(CodeClose, i + 1);
            if (close < 0)
                close = value.size();
            out += ShownCode(value.sliced(i + 1, close - i - 1));
            i = close + 1;
            continue;
        }
        if (value[i] != CodeClose)
            out += value[i];
        ++i;
    }
    return out;
}

QStringView ShownCode(QStringView code)
{
    if (code.size() >= 3 && code.front() == u'"' && code.back() == u'"' &&
        (code[1] == u'$' || code[1] == u'{'))
        return code.sliced(1, code.size() - 2);
    return code;
}

QString EditTexts::NotEditable()
{
    return tr("This value is code, not text (a constant, a number or an expression), so it is kept "
              "as the template has it");
}

QString EditTexts::Obsolete()
{
    return tr("Obsolete: the translation has this phrase and the template does not. It is saved "
              "until Edit > Remove obsolete phrases takes it out");
}

QString EditTexts::LinesJoined()
{
    return tr("The pasted lines were joined with blanks, as the original is one line; Shift+Enter "
              "makes a line break");
}
