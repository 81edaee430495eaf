#pragma once
#include "phrasedocument.h"
#include "textcodec.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>
#include <array>
#include <optional>
#include <vector>

/// One check of a translated phrase against its original. The numbers index PhraseCheckSet;
/// PhraseChecksInOrder gives the order in which problems and checks are listed.
enum class PhraseCheck : quint8 {
    Placeholders = 0, ///< printf placeholders (%s, %1$d, %%) and {name} placeholders
    Variables = 1,    ///< PHP variables ($name, {$x}, ${x})
    Markup = 2,       ///< HTML tags and character entities
    Whitespace = 3,   ///< leading and trailing blanks, doubled spaces
    Punctuation = 4,  ///< a final . : ! ? … or a script's own mark
    Empty = 5,        ///< an empty translation of a text
    Encoding = 6,     ///< bytes the document's encoding cannot read
    Code = 7,         ///< PHP code that runs when the file is read ({$...}, ${...}, $a->b)
    Brackets = 8,     ///< ]] in a bracket file's value, or a final ], which end the value early
};
inline constexpr int PhraseCheckCount = 9;

/// The checks in the order their problems are listed: the errors first, then the warnings.
inline constexpr std::array<PhraseCheck, PhraseCheckCount> PhraseChecksInOrder = {
    PhraseCheck::Code,        PhraseCheck::Brackets, PhraseCheck::Placeholders,
    PhraseCheck::Variables,   PhraseCheck::Markup,   PhraseCheck::Whitespace,
    PhraseCheck::Punctuation, PhraseCheck::Empty,    PhraseCheck::Encoding,
};

/// How much a problem matters. An error lets the saved file do what its original never does
/// (run code) or loses text when it is read back; a warning is a text that reads or shows wrong.
enum class PhraseSeverity : quint8 {
    Warning = 0,
    Error = 1,
};

/// The severity of every problem a check finds.
constexpr PhraseSeverity PhraseCheckSeverity(PhraseCheck check)
{
    return check == PhraseCheck::Code || check == PhraseCheck::Brackets ? PhraseSeverity::Error
                                                                        : PhraseSeverity::Warning;
}
/// "warning" or "error", as compilers write them.
const char* PhraseSeverityName(PhraseSeverity severity);

/// The short name of a check ("placeholders", "variables", ...), as the command line takes it.
const char* PhraseCheckName(PhraseCheck check);
/// The check of that name, if one has it.
std::optional<PhraseCheck> PhraseCheckFromName(QByteArrayView name);

/// How PHP reads the text of a value.
enum class PhpValueForm : quint8 {
    DoubleQuoted, ///< the text of a "..." literal, escapes as written: PHP interpolates in it
    SingleQuoted, ///< the text of a '...' literal: PHP reads nothing in it
    Expression,   ///< PHP source that is not one literal: its calls and literals are read
};

/// Appends to code, in their order, the pieces of value that PHP runs as code when it reads the
/// file. In double quotes: {$...} and ${...} up to their matching brace, and $name->prop,
/// $name?->prop and $name[...] (a plain $name is a variable and no code); a backslash and the
/// byte after it are passed over, as PHP passes them. In an expression: also its calls, name(...),
/// and its backtick commands, outside its literals, and the interpolations of its double-quoted
/// literals.
void FindPhpCode(QByteArrayView value, PhpValueForm form, std::vector<QByteArrayView>& code);

/// A set of checks, one bit each.
class PhraseCheckSet
{
public:
    constexpr PhraseCheckSet() = default; ///< empty
    static constexpr PhraseCheckSet All() { return PhraseCheckSet((1u << PhraseCheckCount) - 1); }

    constexpr bool Contains(PhraseCheck check) const { return m_bits & Bit(check); }
    constexpr void Insert(PhraseCheck check) { m_bits |= Bit(check); }
    constexpr void Remove(PhraseCheck check) { m_bits &= ~Bit(check); }
    constexpr bool IsEmpty() const { return m_bits == 0; }
    friend constexpr bool operator==(PhraseCheckSet, PhraseCheckSet) = default;

private:
    explicit constexpr PhraseCheckSet(unsigned bits) : m_bits(bits) {}
    static constexpr unsigned Bit(PhraseCheck check) { return 1u << unsigned(check); }
    unsigned m_bits = 0;
};

/// What one check found wrong with a translation, and what to do about it.
struct PhraseProblem
{
    PhraseCheck check = PhraseCheck::Placeholders;
    QString message;
    PhraseSeverity Severity() const { return PhraseCheckSeverity(check); }
    friend bool operator==(const PhraseProblem&, const PhraseProblem&) = default;
};

/// Checks translations against their originals, both as the document stores them: bytes in the
/// document's encoding, PHP escapes kept as written. A phrase whose texts hold none of the bytes
/// a check looks for (% $ < & { and bytes above 0x7F) costs a scan of both texts and no
/// allocation, so this can run on every keystroke and over a million phrases.
/// An object checks on one thread at a time: it reuses its scratch space and its decoder.
class PhraseChecker
{
public:
    /// Checks for texts in the named encoding (as DocumentEncoding::name gives it).
    explicit PhraseChecker(const QByteArray& encoding = "UTF-8",
                           PhraseCheckSet enabled = PhraseCheckSet::All());

    PhraseCheckSet Enabled() const { return m_enabled; }
    void SetEnabled(PhraseCheckSet enabled) { m_enabled = enabled; }
    const TextCodec& Codec() const { return m_codec; }

    /// Appends to problems what the enabled checks find in translation, in the order of
    /// PhraseChecksInOrder (errors first), and returns how many it appended. quote is the literal
    /// the translation is written in: '"' (PHP reads variables and escapes in it), '\'' or 0 (not a
    /// PHP literal). A translation equal to its original has no problems; an empty one has only
    /// Empty.
    int Check(QByteArrayView original, QByteArrayView translation, char quote,
              std::vector<PhraseProblem>& problems);

    /// Check for phrase i of doc as it stores it, when the phrase is translated; a missing or
    /// untranslated phrase has no problems.
    int CheckPhrase(const PhraseDocument& doc, int i, std::vector<PhraseProblem>& problems);

    /// One placeholder, variable, tag or entity found in a text, as the checks compare them
    /// (public for the scanners beside the class).
    struct Token
    {
        QByteArrayView text; ///< as written
        QByteArrayView key;  ///< what is compared: a name, or the text itself
        int argument = 0;    ///< printf placeholders: the argument they take (from 1), else 0
        char kind = 0;       ///< printf: the conversion letter; '{', '$', '<', '&' or '!' (broken)
    };

private:
    void CheckPlaceholders(QByteArrayView original, QByteArrayView translation,
                           std::vector<PhraseProblem>& problems);
    void CheckVariables(QByteArrayView original, QByteArrayView translation, char quote,
                        std::vector<PhraseProblem>& problems);
    void CheckMarkup(QByteArrayView original, QByteArrayView translation,
                     std::vector<PhraseProblem>& problems);
    void CheckWhitespace(QByteArrayView original, QByteArrayView translation,
                         std::vector<PhraseProblem>& problems);
    void CheckPunctuation(QByteArrayView original, QByteArrayView translation,
                          std::vector<PhraseProblem>& problems);
    void CheckEncoding(QByteArrayView translation, std::vector<PhraseProblem>& problems);
    void CheckCode(QByteArrayView original, QByteArrayView translation,
                   std::vector<PhraseProblem>& problems);

    // The placeholders of text, appended to tokens.
    void FindPlaceholders(QByteArrayView text, std::vector<Token>& tokens) const;
    // The mark that ends text's last sentence (before blanks, tags and &nbsp;), or nothing.
    QByteArrayView FinalMark(QByteArrayView text) const;
    // The offset of the first byte of text that does not begin a character the encoding reads,
    // or -1.
    qsizetype FirstUnreadable(QByteArrayView text);
    // A token's text as the message shows it.
    QString Shown(QByteArrayView bytes) const;

    PhraseCheckSet m_enabled;
    TextCodec m_codec;
    LeadByteTable m_lead;
    // A double-byte encoding whose second bytes include ASCII ones ({ of Shift_JIS and Big5): a
    // byte below 0x80 may then be part of a character, so scans step by characters.
    bool m_asciiTrails = false;
    // Single-byte encodings: the bytes that decode to no character.
    std::array<bool, 256> m_unreadableByte{};
    // Double-byte encodings: what tells whether a character is assigned.
    QStringDecoder m_decoder;
    // The sentence marks (. ! ? … 。 ؟ and the like) and the no-break spaces, in the encoding.
    std::vector<QByteArray> m_marks;
    std::vector<QByteArray> m_noBreakSpaces;

    // Scratch space kept from phrase to phrase.
    std::vector<Token> m_originalTokens;
    std::vector<Token> m_translationTokens;
    std::vector<QByteArrayView> m_originalCode;
    std::vector<QByteArrayView> m_translationCode;
    BorrowedPhraseTexts m_texts;
};
