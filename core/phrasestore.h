#pragma once
// The phrases of an open template and their translations, apart from the files they came from:
// where each text lies, the packed per-phrase records, the key index and the rules by which a
// translation file is merged in. PhraseDocument owns one and adds files, stamps and signals;
// the writer (translationwriter.h) turns one back into a file.
#include "keyindex.h"
#include "phplexer.h"
#include "phpvalue.h"
#include "phraseline.h"
#include "phraserefs.h"

#include <QByteArray>
#include <QList>
#include <array>
#include <optional>
#include <vector>

/// The state of one phrase's translation.
enum class TranslationState : quint8 {
    tsMissing = 0,      ///< no merged translation carried the key; the text is the template's
    tsUntranslated = 1, ///< the translation carried the key with the text held at that moment
    tsTranslated = 2,   ///< a different text was merged or typed
    tsObsolete = 3,     ///< a phrase the translation has and the template does not
};

/// Where a NUL ended the text of a file before its end: the bytes after it are not read.
struct NulCut
{
    int line = 0;          ///< the line (from 0) on which the NUL stands
    qint64 bytesAfter = 0; ///< the bytes from the NUL to the end of the file, NUL included
    /// A template's text ended after __halt_compiler(); on that line instead: the bytes after
    /// it are the script's data.
    bool haltCompiler = false;
};

/// How a translation file is laid out when written.
enum class SaveLayout : quint8 {
    Template,    ///< the template's statements, classic lines in their fixed spelling
    Lines,       ///< the template's statements, each keeping its own spelling
    Translation, ///< the translation file as read, only changed values replaced
};

/// Where one template phrase stands: its statement, its value and the part the fixed layout
/// rewrites, all in the template's text.
struct PhraseRecord
{
    qint64 begin = 0;        ///< the statement (for the fixed layout: its line's start)
    quint32 valueOffset = 0; ///< from begin
    quint32 valueLength = 0;
    quint32 endOffset = 0; ///< from begin: the statement's end, or the fixed layout's
    /// The value's one literal quote (' or "), 0 when it is not a single plain literal.
    char literal = 0;
    /// The convention of the value's text (' " h n), 0 for a bracket line.
    char quote = 0;
    quint8 flags = 0;
    enum : quint8 {
        FixedLayout = 1,
        FirstWins = 2,
        LayoutRequired = 4,
        PlainBody = 8, ///< a literal without a backslash: its text is its body as it stands
    };

    qint64 ValueBegin() const { return begin + valueOffset; }
    qint64 ValueEnd() const { return begin + valueOffset + valueLength; }
    qint64 End() const { return begin + endOffset; }
};
static_assert(sizeof(PhraseRecord) == 24); // a million phrases keep a million of them

/// A phrase the translation has and the template does not, kept as the translation wrote it.
struct ObsoletePhrase
{
    PhraseLineKind kind = PhraseLineKind::lkNone;
    QByteArray key;
    QByteArray statement; ///< its source, from its first token to the end of its value
    QByteArray text;      ///< its value's text form
    char quote = '"';
    int line = 0; ///< in the translation file, from 0
};

class PhraseStore
{
public:
    PhraseStore() = default;

    // --- the template
    /// Reads template bytes: its phrases, lines and the kept bytes after its text. Throws
    /// EListError when the file is beyond what the records can hold; out of memory leaves the
    /// store as it was.
    void LoadTemplate(QByteArray data, const PhpLexOptions& options);
    void Clear();
    /// Merges translation bytes; returns the counts by state. Out of memory leaves it as it was.
    void Merge(QByteArray data);

    const QByteArray& TemplateData() const { return m_templateData; }
    QByteArrayView TemplateText() const { return m_templateText; }
    const std::optional<NulCut>& TemplateCut() const { return m_templateCut; }
    int LineCount() const { return m_lineCount; }
    const PhpLexOptions& LexOptions() const { return m_options; }

    /// Template phrases first, then the obsolete ones.
    int Count() const { return int(m_records.size() + m_obsolete.size()); }
    int TemplateCount() const { return int(m_records.size()); }
    bool IsObsolete(int i) const { return i >= TemplateCount(); }
    const ObsoletePhrase& Obsolete(int i) const { return m_obsolete[size_t(i) - m_records.size()]; }
    const std::vector<ObsoletePhrase>& ObsoletePhrases() const { return m_obsolete; }
    const PhraseRecord& Record(int i) const { return m_records[size_t(i)]; }
    PhraseLineKind Kind(int i) const;
    int Line(int i) const;
    /// The first template phrase whose statement begins on line, or -1.
    int PhraseOnLine(int line) const;

    QByteArrayView Key(int i) const;
    /// The template value's text form; scratch holds it when it is not a view of the file.
    QByteArrayView Original(int i, QByteArray& scratch) const;
    /// The template value's code.
    QByteArrayView ValueCode(int i) const;
    /// The convention of the template value's text (' " h n), 0 for a bracket line.
    char OriginalQuote(int i) const;
    QByteArrayView Translation(int i, QByteArray& scratch) const;
    /// The convention the translation's text is in (' " h n), 0 for a bracket line.
    char TranslationQuote(int i) const;
    /// Whether the template's value holds a text the translator can edit.
    bool Editable(int i) const;
    TranslationState State(int i) const { return m_states[size_t(i)]; }
    const std::array<int, 4>& StateCounts() const { return m_stateCounts; }
    std::optional<int> FindKey(QByteArrayView key) const;

    /// Sets a typed translation (its code parts already checked) and its state.
    void SetTranslation(int i, const QByteArray& text, TranslationState state);
    void SetState(int i, TranslationState state);
    /// Removes the obsolete phrases, returning them (for undo), or puts them back.
    std::vector<ObsoletePhrase> TakeObsolete();
    void PutObsolete(std::vector<ObsoletePhrase> phrases);

    /// Whether phrase i's translation is still the template's own value.
    bool TranslationIsTemplate(int i) const { return m_translations[size_t(i)].IsTemplate(); }
    /// The merged file's bytes and where phrase i's translation value stood there, if the
    /// translation came from the last merged file unchanged; for the translation layout.
    const QByteArray* LastMergedData() const
    {
        return m_mergedData.isEmpty() ? nullptr : &m_mergedData.constLast();
    }
    /// Where each template phrase's value stands in the last merged file (begin -1: it has
    /// none), read again from that file: only the translation layout needs them.
    struct MergedSpan
    {
        qint64 begin = -1, end = -1;
    };
    std::vector<MergedSpan> MergedValueSpans() const;
    /// In the last merged file: its header (the comments after its open tag) and where its
    /// obsolete phrases' statements stood.
    QByteArrayView MergedHeader() const { return m_mergedHeader; }
    QByteArrayView TemplateHeader() const { return m_templateHeader; }
    /// Whether the translation value at i was changed since the merge (typed or restored).
    bool TranslationTyped(int i) const
    {
        return m_translations[size_t(i)].IsOwned() && m_typed[size_t(i)];
    }

    /// Whether the phrase kinds make the key column show originals (mostly define lines).
    bool PrefersOriginals() const { return m_prefersOriginals; }

private:
    QByteArrayView StoredText(TranslationRef ref) const;
    void SetStateCounted(int i, TranslationState state);

    QByteArray m_templateData;
    QByteArrayView m_templateText;
    std::optional<NulCut> m_templateCut;
    QByteArrayView m_templateHeader;
    PhpLexOptions m_options;
    int m_lineCount = 0;
    bool m_prefersOriginals = false;

    std::vector<PhraseRecord> m_records;
    std::vector<int> m_lines;
    std::vector<quint64> m_keys; // a key's bytes: in the template (top bit clear) or the arena
    QByteArray m_keyArena;
    std::vector<PhraseKindCode> m_kinds; // the kind, and the translation's quote
    std::vector<TranslationState> m_states;
    std::array<int, 4> m_stateCounts{};
    std::vector<TranslationRef> m_translations;
    std::vector<bool> m_typed;
    std::vector<QByteArray> m_ownedTexts;
    std::vector<QByteArrayView> m_mergedViews;
    QList<QByteArray> m_mergedData;
    std::vector<QByteArrayView> m_mergedTexts;
    QByteArrayView m_mergedHeader;
    std::vector<ObsoletePhrase> m_obsolete;
    KeyIndex m_keyIndex;
};

/// The comments between a file's first open tag and its first statement, with the blank lines
/// among them, or an empty view (the file has none, or no open tag).
QByteArrayView PhpFileHeader(QByteArrayView text, const PhpLexOptions& options);
