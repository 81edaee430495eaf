#pragma once
#include <QChar>
#include <QString>
#include <QStringView>
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

/// Whether c breaks the lines of a pasted text: a line break, NUL, or the paragraph separator a
/// text editor's paragraph break comes through the clipboard as.
inline bool BreaksPastedLine(QChar c)
{
    return IsLineBreak(c) || c == QChar::ParagraphSeparator;
}

/// A value of more than this many bytes (or characters, in an editor) is a long value: a grid
/// cell shows only its start, and the details pane edits it instead of the cell's editor, whose
/// cost grows with the whole text at every keystroke.
inline constexpr qsizetype LongValueSize = 10000;

/// A text put into a translation: a pasted text may hold line breaks, which a translation of one
/// line of the file cannot.
struct JoinedLines
{
    QString text;
    /// Whether a break between two lines became a blank (not just one at either end dropped).
    bool joined = false;
};

/// text as one line: each run of breaks (BreaksPastedLine) between two lines becomes one blank,
/// and those at its start or end go, as the end of a copied line does.
JoinedLines JoinLines(QStringView text);
