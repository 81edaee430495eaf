#pragma once
#include <QChar>
#include <QString>
#include <optional>

class TextCodec;

// What an editor of a translation lets into the text: one line of characters the document's
// encoding can write. The grid's cell editor and the details pane check typed and pasted text
// alike with these.

/// The first character of text that codec cannot write, or nothing. A replacement character
/// counts too: it stands for bytes the encoding could not read, which storing the text would
/// lose.
std::optional<QString> UnwritableCharacter(const TextCodec& codec, const QString& text);

/// Whether c ends the one line a translation is: a line break or NUL.
inline bool IsLineBreak(QChar c)
{
    return c == u'\n' || c == u'\r' || c == QChar(0);
}
