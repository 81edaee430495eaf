#pragma once
// A phrase's value as the translator edits it, and back as PHP code.
//
// A value is a sequence of text parts (string literals of any kind, joined by `.`, and the text
// runs of an interpolating string) and code parts (variables, constants, calls, anything else).
// Its text form, which the grid and the editor show, holds the text parts in the convention of
// one quote, escapes as written, and each code part between PhpCodeOpen and PhpCodeClose, its
// source unchanged. The conventions, by the quote the text form is in:
// - `'`: the literal's bytes, `\'` read as `'`;
// - `"`: the literal's bytes, `\"` read as `"` and `\$` as `$`;
// - `h` (heredoc): the body without its closing marker's indentation, `\$` read as `$`;
// - `n` (nowdoc): the body without its closing marker's indentation.
// Written back, every text reads in PHP as the text form says: a `$`, `{$` or an invalid `\u{`
// that the translator typed is escaped, so that nothing typed becomes code.
// https://www.php.net/manual/en/language.types.string.php
#include "phplexer.h"

#include <QByteArray>
#include <QByteArrayView>

/// The bytes around a code part in a text form. Both are ASCII control bytes, below 0x80 and
/// so never a trail byte of a double-byte encoding, and never part of a language file's text.
inline constexpr char PhpCodeOpen = '\x0e';
inline constexpr char PhpCodeClose = '\x0f';

enum class PhpValueShape : quint8 {
    Literal, ///< one quoted literal, no interpolation
    Heredoc, ///< one heredoc (no interpolation) or nowdoc
    Parts,   ///< text and code parts: a concatenation or an interpolating string
    Code,    ///< no text part at all: a number, a constant, a call
};

/// A value read from its code.
struct PhpValue
{
    PhpValueShape shape = PhpValueShape::Code;
    char quote = '"';     ///< the convention of text: ' " h n
    QByteArray text;      ///< the text form
    QByteArray marker;    ///< a heredoc's or nowdoc's marker
    qsizetype indent = 0; ///< the bytes of indentation before a heredoc's closing marker
    /// A single interpolating string (not a concatenation): code parts go back inside it.
    bool interpolated = false;
    /// The first line break inside the value, or empty when it has none.
    QByteArrayView lineBreak;
};

/// Reads a value from its code (from its first token to its last).
PhpValue ReadPhpValue(QByteArrayView code, const PhpLexOptions& options);

/// How a text form is written back: where the value stood and how it was shaped there.
struct PhpValueLayout
{
    PhpValueShape shape = PhpValueShape::Literal;
    bool interpolated = false;
    QByteArrayView marker;           ///< for a heredoc or nowdoc; empty gives "EOT"
    qsizetype indent = 0;            ///< of a heredoc's lines and closing marker
    QByteArrayView lineBreak = "\n"; ///< what a line break in the text is written as
};

/// Appends text, a text form in the convention of quote, as PHP code that gives it back.
void AppendPhpValue(QByteArray& out, QByteArrayView text, char quote, const PhpValueLayout& layout);

/// Converts a text form from one quote's convention to another's, keeping what PHP reads from
/// its text parts; code parts are kept as they are.
QByteArray ConvertPhpText(QByteArrayView text, char from, char to);

/// The text form of a literal's body (between its quotes) in the convention of quote: body
/// itself when it holds no backslash, else the text put in scratch.
QByteArrayView PhpLiteralText(QByteArrayView body, char quote, QByteArray& scratch);

/// The code parts of a text form, in order.
QList<QByteArrayView> PhpCodeParts(QByteArrayView text);

/// PHP's own value of a text part in the convention of quote: escapes resolved.
QByteArray PhpTextValue(QByteArrayView text, char quote);
