#pragma once
// A PHP lexer over bytes: it cuts a PHP file into the tokens PHP's own scanner sees, each a kind
// and a byte span into the input, without copying or decoding anything.
//
// What it reads, as PHP 8 reads it:
// - Text outside PHP tags is inline HTML, up to `<?=`, `<?php` followed by a blank, a line break
//   or the end, and, with short open tags on, any `<?`. `<?php` is matched in any case.
//   https://www.php.net/manual/en/language.basic-syntax.phptags.php
// - `?>` closes PHP code and takes one directly following line break (LF, CR LF or CR) with it.
// - Blanks are space, tab, CR and LF; other control bytes are bad characters, one byte each.
// - `//` and `#` comments run to the line break or to `?>`, whichever comes first; `#[` opens an
//   attribute. `/* */` comments (`/**` followed by a blank is a doc comment) run to `*/`, or to
//   the end when never closed. https://www.php.net/manual/en/language.basic-syntax.comments.php
// - Single-quoted, double-quoted and backquoted strings, with an optional `b` prefix; a
//   backslash takes the next byte with it. Double-quoted, backquoted and heredoc texts may hold
//   `$name`, `$name[offset]`, `$name->prop`, `$name?->prop`, `{$ expression }` and
//   `${ expression }`; an expression is read as PHP code up to its matching brace, so quotes
//   and braces inside it do not end the text. Heredoc (`<<<ID`, `<<<"ID"`) and nowdoc
//   (`<<<'ID'`) end at a line whose first non-blank bytes are the marker followed by a byte
//   that cannot continue a name (flexible closing markers, PHP 7.3); as in PHP, a marker that
//   ends the input exactly closes nothing.
//   https://www.php.net/manual/en/language.types.string.php
// - Names `[A-Za-z_\x80-\xff][A-Za-z0-9_\x80-\xff]*`, namespaced too (`Foo\Bar`,
//   `\define`); keywords are names here, as keyword case does not matter to PHP
//   (PhpNameEquals compares them). `yield from` and the casts `( int )` are one token each.
// - Numbers: decimal, `0x`, `0b`, `0o` and leading-zero octal integers, floats with a point
//   and/or exponent, `_` between digits.
// - Operators, longest first: `<=>`, `===`, `!==`, `**=`, `...`, `<<=`, `>>=`, `??=`, `?->`,
//   the two-byte ones (`=>`, `.=`, `==`, `!=`, `<>`, `&&`, `||`, `::`, `->`, `??`, ...) and
//   single bytes. https://www.php.net/manual/en/tokens.php
// - `__halt_compiler` (any case) followed by `(`, `)` and `;` or `?>` ends the code: the rest
//   of the input is one Data token. https://www.php.net/manual/en/function.halt-compiler.php
// Line breaks are LF, CR LF and CR, as PHP counts them.
//
// Bytes from 0x80 are name and text bytes. With a double-byte LeadByteTable, inside strings,
// heredocs and comments a lead byte takes its trail byte with it, so a trail byte 0x5C (the
// second byte of many Shift_JIS and Big5 characters) never escapes the quote after it. PHP
// itself does not know encodings, so there the spans are this program's, not PHP's.
//
// What it does not read: `<script language="php">` and ASP tags `<% %>` (gone since PHP 7),
// the `asp_tags` and `zend.multibyte` settings, and a shebang line (PHP skips it only when it
// runs a file). An expression nested in strings deeper than PhpLexMaxNesting levels makes the
// string Bad to the end. Inside `{$ }`, `?>` does not leave PHP code.
#include "leadbytes.h"

#include <QByteArrayView>
#include <cstdint>
#include <vector>

enum class PhpTokenKind : quint8 {
    InlineHtml,   ///< text outside PHP tags
    OpenTag,      ///< `<?php` with its blank or line break, or a short `<?`
    EchoOpenTag,  ///< `<?=`
    CloseTag,     ///< `?>` and one line break after it
    Whitespace,   ///< space, tab, CR, LF
    LineComment,  ///< `//` or `#`, without its line break
    BlockComment, ///< `/* */`, doc comments too (PhpTokenFlag::DocComment)
    SingleQuoted, ///< '...', b'...'
    DoubleQuoted, ///< "...", b"...", interpolation included (SplitPhpInterpolation)
    Backquoted,   ///< `...`, a shell command, interpolated as "..."
    Heredoc,      ///< <<<ID ... ID, from `<<<` to the end of the closing marker
    Nowdoc,       ///< <<<'ID' ... ID
    Variable,     ///< $name
    Identifier,   ///< names and keywords, namespaced names, `yield from`
    Number,       ///< integer or float (PhpTokenFlag::Float)
    Operator,     ///< operators and punctuation, casts such as `(int)`, the attribute `#[`
    HaltCompiler, ///< `__halt_compiler`
    Data,         ///< all bytes after `__halt_compiler();`
    Bad,          ///< a string or heredoc never closed (to the end), or a byte PHP rejects
};

namespace PhpTokenFlag {
enum : quint8 {
    Unterminated = 1, ///< a comment, string or heredoc that runs to the end of the input
    DocComment = 2,   ///< a `/** ` comment
    Float = 4,        ///< a number written with a point or an exponent
};
}

/// One token: its kind and where it stands in the input.
struct PhpToken
{
    qsizetype offset = 0;
    qsizetype length = 0;
    qint32 line = 1; ///< the line of its first byte, from 1
    PhpTokenKind kind = PhpTokenKind::Bad;
    quint8 flags = 0;
};

struct PhpLexOptions
{
    bool shortOpenTags = true; ///< `<?` opens PHP code, as old language files expect
    /// The file's encoding; a double-byte table keeps trail bytes inside texts.
    LeadByteTable encoding = LeadByteTable::SingleByte();
    /// The input begins inside PHP code, as a piece of code cut from a file does.
    bool startInCode = false;
};

/// How deep `{$ "{$ ...}" }` may nest before the string is taken as Bad.
inline constexpr int PhpLexMaxNesting = 200;

/// A pull lexer: Next() gives the tokens in order, and false at the end of the input.
class PhpLexer
{
public:
    PhpLexer(QByteArrayView input, const PhpLexOptions& options);
    /// The next token; false once the input is used up.
    bool Next(PhpToken& token);

private:
    enum class Mode : quint8 { Html, Code, Data };
    const unsigned char* m_s;
    qsizetype m_n;
    PhpLexOptions m_options; // a copy: the lexer may outlive the options it was given
    qsizetype m_pos = 0;
    qint32 m_line = 1;
    Mode m_mode = Mode::Html;
    int m_haltStage = 0; // tokens of `__halt_compiler ( ) ;` seen so far
};

/// Calls onToken(const PhpToken&) for every token of input, in order.
template <class F> void LexPhp(QByteArrayView input, const PhpLexOptions& options, F&& onToken)
{
    PhpLexer lexer(input, options);
    PhpToken token;
    while (lexer.Next(token))
        onToken(static_cast<const PhpToken&>(token));
}

/// All tokens of input.
std::vector<PhpToken> LexPhp(QByteArrayView input, const PhpLexOptions& options = {});

/// One piece of an interpolated text, its span relative to the text given.
struct PhpStringPiece
{
    enum class Kind : quint8 {
        Text,         ///< literal bytes, escapes as written
        Variable,     ///< `$name`, `$name[...]`, `$name->prop`, `$name?->prop`
        Braced,       ///< `{$ ... }`
        DollarBraced, ///< `${ ... }`
    };
    Kind kind = Kind::Text;
    qsizetype offset = 0;
    qsizetype length = 0;
};

/// Cuts the inside of a double-quoted or backquoted string, or a heredoc body, into literal
/// runs and interpolations; a backslash keeps the byte after it in the run (in a heredoc not
/// a line break, as PHP reads it). An interpolation never closed runs to the end.
std::vector<PhpStringPiece> SplitPhpInterpolation(QByteArrayView inside,
                                                  const PhpLexOptions& options = {},
                                                  bool heredoc = false);

/// True when name is keyword in ASCII case-insensitive comparison; keyword is given in lower case.
bool PhpNameEquals(QByteArrayView name, QByteArrayView keyword);
