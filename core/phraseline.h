#pragma once
#include <QByteArray>
#include <QByteArrayView>

/// The shape of a language-file line; the value is stored per phrase and picks the output shape.
enum PhraseLineKind : int {
    lkNone = 0,
    lkCase = 1,
    lkDefine = 2,
    lkBracket = 3,
    lkCaseStrToLower = 4,
};

/// Classifies one line (without its line break) and extracts key and value.
/// For lkNone, key and value are left exactly as the caller had them.
/// With referenceLine, a key or value that needs no unescaping refers to the line's bytes
/// instead of copying them (QByteArray::fromRawData): the caller keeps those bytes alive.
PhraseLineKind ParsePhraseLine(QByteArrayView line, QByteArray& key, QByteArray& value,
                               bool referenceLine = false);

/// The kind of a line alone, without reading key or value.
PhraseLineKind PhraseLineKindOf(QByteArrayView line);

/// A double-quoted PHP literal of text: a backslash before every double quote, nothing else changed.
QByteArray QuotePhpString(QByteArrayView text);
