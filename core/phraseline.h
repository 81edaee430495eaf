#pragma once
#include <QByteArray>
#include <QByteArrayView>

/// The shape of a language-file line; the value is stored per phrase and picks the output shape.
enum class PhraseLineKind : quint8 {
    lkNone = 0,
    lkCase = 1,
    lkDefine = 2,
    lkBracket = 3,
    lkCaseStrToLower = 4,
    lkConst = 5,    ///< const KEY = value;
    lkElement = 6,  ///< $name['KEY'] = value;
    lkVariable = 7, ///< $name = 'text';
    lkEntry = 8,    ///< 'KEY' => value, in an array literal assigned or returned
    lkAppend = 9,   ///< $name['KEY'] .= value;
};

/// A phrase line as read, with what writing it back needs.
struct PhraseLineParts
{
    PhraseLineKind kind = PhraseLineKind::lkNone;
    QByteArray key;
    /// The value's text; for a value that is not one literal, its source text as written.
    QByteArray value;
    /// The value literal in the line, from its opening quote to just past its closing one; for
    /// a bracket line the value's text between its brackets (empty when it has none).
    qsizetype valueBegin = 0;
    qsizetype valueEnd = 0;
    char valueQuote = '"';
    /// Written in the kind's fixed layout: the classic spelling, both texts in double quotes.
    /// Other spellings keep their line, only the value literal replaced.
    bool fixedLayout = false;
    /// False when the value is not one literal on this line (an expression, a constant, a
    /// literal that goes on over more lines): the line is then kept as it is.
    bool editable = true;
};

/// Reads one line (without its line break) as PHP reads the statements of language files:
/// define('K', 'text') and case 'K': / case strtolower('K'): $var = 'text', keywords in any case,
/// blanks between the parts, single or double quotes, optionally behind if (!defined('K')).
/// A literal's text keeps its escapes as written, but for an escaped quote of its own kind.
/// Lines that begin with case or define but are none of these are read by their first two
/// double-quoted texts and are not editable; [[key]] = [[value]] lines by their brackets.
/// With referenceLine, texts that need no unescaping refer to the line's bytes.
PhraseLineKind ReadPhraseLine(QByteArrayView line, PhraseLineParts& parts,
                              bool referenceLine = false);

/// Classifies one line (without its line break) and extracts key and value.
/// For PhraseLineKind::lkNone, key and value are left exactly as the caller had them.
/// With referenceLine, a key or value that needs no unescaping refers to the line's bytes
/// instead of copying them (QByteArray::fromRawData): the caller keeps those bytes alive.
PhraseLineKind ParsePhraseLine(QByteArrayView line, QByteArray& key, QByteArray& value,
                               bool referenceLine = false);

/// A first guess at the kind of a line, for counting: every phrase line has a kind other than
/// PhraseLineKind::lkNone here, some other lines too.
PhraseLineKind PhraseLineKindOf(QByteArrayView line);

/// Appends text as a PHP literal in the given quote (' or "), so that it reads back as the same
/// text: a backslash and the byte after it are kept together, a quote of the literal's kind is
/// escaped, and a final lone backslash is doubled so that it cannot escape the closing quote.
void AppendPhpLiteral(QByteArray& out, QByteArrayView text, char quote);
/// The same as a double-quoted literal of its own.
QByteArray QuotePhpString(QByteArrayView text);
