#pragma once
// The reader of a language file's phrases: it reads the file's PHP statements over the tokens of
// PhpLexer, as PHP would run them, and reports every text the file gives a name to.
//
// A phrase is one of these statements (keywords and function names in any case, blanks and
// comments anywhere between tokens, statements over several lines):
// - `define(KEY, VALUE)`, also as `@define`, `\define`, behind `if (!defined(KEY))` guards and
//   inside any block; `const KEY = VALUE;` (several names after one `const` too). The key is the
//   constant's name. https://www.php.net/manual/en/function.define.php
// - `case KEY: $var = VALUE;` and `case strtolower(KEY): $var = VALUE;` in a switch, KEY a
//   string literal (a `case` with a number is code). The key is KEY's text.
// - `$name[K1][K2]... = VALUE;` for any variable (`$GLOBALS['x'][...]` is `$x[...]`), string or
//   integer keys, `[]` taking the next index as PHP does; `$name = VALUE;`, VALUE a
//   text or code of its own (`$flags = true;`, shown as code). `.=` appends: the appended value is
//   a phrase of its own, `KEY .=`. https://www.php.net/manual/en/language.types.array.php
// - Every `K => VALUE` (or `VALUE`, numbered as PHP numbers it) of an array literal, `array(...)`
//   or `[...]`, that is assigned (`=`, `+=`, or an argument of `array_merge(...)` assigned) or
//   returned (`return [...];`), nested literals giving key paths.
// Keys are shown as the code names them: `_JOINED`, `$lang['KEY']`, `$txt[17]`,
// `return['auth']['failed']`; a string key that PHP takes as an integer ("17") is the integer.
// Where a key is given twice, the copy PHP keeps wins: the first `define`, `const` or `case`,
// the last assignment or array entry; PhpStatement::firstWins says which.
// Outside PHP code, lines `[[key]] = [[value]]` are phrases as well (bracket files).
//
// Assignments and returns inside functions and classes are not phrases (they are the code of
// the switch that holds the case phrases); defines and cases are read everywhere.
//
// What it does not read: keys computed by code (`define($prefix . 'X', ...)`, `$lang[$k]`), a
// value assigned to several variables at once (`$a = $b = '...'`), `list()` and destructuring,
// arrays filled by loops or functions other than array_merge, `+=` read as "first wins", the
// `extract()`/`compact()` family, and values of class constants and properties as such.
#include "phplexer.h"
#include "phraseline.h"

#include <QByteArray>
#include <QByteArrayView>
#include <functional>

/// One phrase as the reader finds it; the views last for the call that hands it over.
struct PhpStatement
{
    PhraseLineKind kind = PhraseLineKind::lkNone;
    QByteArrayView key;
    /// The statement, from its first token (a guard's `@` or `\` included) to its last; for an
    /// array entry the entry, from its key to the end of its value.
    qsizetype begin = 0;
    qsizetype end = 0;
    /// The value's code, from its first token to its last.
    qsizetype valueBegin = 0;
    qsizetype valueEnd = 0;
    int line = 0; ///< the statement's first line, from 0
    /// The classic spelling that the fixed layout rewrites: `define("K","V");` or
    /// `case "K": $var = "V";` standing first on its line, double quotes, one literal value.
    /// layoutEnd is then where the rewritten part ends (after `;`, and a `break;` after it).
    bool fixedLayout = false;
    qsizetype layoutEnd = 0;
    /// The statement can only be written in the fixed layout: a bracket line whose value is
    /// not closed has no place to replace it in.
    bool layoutRequired = false;
    /// The quote of a value that is one plain literal (' or ", no `$` inside), else 0.
    char literal = 0;
    /// For a case phrase: the variable it assigns, `$` included.
    QByteArrayView caseVariable;
    /// Whether PHP keeps the first copy of a repeated key (define, const, case) or the last.
    bool firstWins = true;
};

/// Calls onPhrase for every phrase of text (a whole file, up to its NUL or __halt_compiler
/// data), in the order of the statements.
void ReadPhpPhrases(QByteArrayView text, const PhpLexOptions& options,
                    const std::function<void(const PhpStatement&)>& onPhrase);

/// The bytes a key string is shown with inside `[...]`: in single quotes, backslash and quote
/// escaped, or as a number when PHP takes the string as an integer key.
void AppendPhpKey(QByteArray& out, QByteArrayView keyValue);
