#pragma once
#include <QChar>
#include <QCoreApplication>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringView>
#include <optional>

class TextCodec;

// What an editor of a translation lets into the text: characters the document's encoding can
// write, line breaks only where the phrase has lines, code parts only as the whole tokens the
// value came with. The grid's cell editor and the details pane check typed and pasted text alike
// with these.

/// A value's text form, decoded, holds each code part between these two characters (the bytes
/// PhpCodeOpen and PhpCodeClose, which every encoding the program reads decodes as themselves).
inline constexpr QChar CodeOpen = u'\x0e';
inline constexpr QChar CodeClose = u'\x0f';

/// Whether text holds a code part.
inline bool HasCodePart(QStringView text)
{
    return text.contains(CodeOpen);
}

/// One mark in a value as the grid shows it: a line break, or a code part with its brackets.
struct ValueMark
{
    enum Kind : quint8 { LineBreak, Code };
    qsizetype start = 0;
    qsizetype length = 0;
    Kind kind = Code;
    friend bool operator==(const ValueMark&, const ValueMark&) = default;
};

/// A value as one line of the grid: each line break a visible mark, each code part its code
/// between angle brackets, never the control characters of the text form.
struct ShownValue
{
    QString text;
    QList<ValueMark> marks; ///< in order
};
ShownValue ShowValue(QStringView value);

/// The mark a line break is shown as in the grid, and the brackets around a code part.
inline constexpr QChar LineBreakMark = QChar(0x21b5); // ↵
inline constexpr QChar CodeMarkOpen = QChar(0x27e8);  // ⟨
inline constexpr QChar CodeMarkClose = QChar(0x27e9); // ⟩

/// value with its code parts as their code alone (ShownCode), as another program reads a copy.
QString PlainValue(QStringView value);

/// How a code part shows: the reader keeps a variable read from inside a string as a string of
/// its own ("$name", "{$user->name}"); it shows as it stands in the string. Other code shows as
/// written.
QStringView ShownCode(QStringView code);

/// The texts about editing a value that the window shows.
class EditTexts
{
    Q_DECLARE_TR_FUNCTIONS(EditTexts)
public:
    /// Why a value takes no typing: it holds no text, only code.
    static QString NotEditable();
    /// What an obsolete phrase is, naming its state.
    static QString Obsolete();
    /// A pasted text's lines were joined into the one line of the phrase.
    static QString LinesJoined();
};

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

/// A text put into a translation of one line: a pasted text may hold line breaks, which such a
/// translation does not take.
struct JoinedLines
{
    QString text;
    /// Whether a break between two lines became a blank (not just one at either end dropped).
    bool joined = false;
};

/// text as one line: each run of breaks (BreaksPastedLine) between two lines becomes one blank,
/// and those at its start or end go, as the end of a copied line does.
JoinedLines JoinLines(QStringView text);

Q_DECLARE_METATYPE(ValueMark)
