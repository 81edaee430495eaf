#pragma once
#include "encodingdetect.h"
#include "fileio.h"
#include "keyindex.h"
#include "phraseline.h"
#include "phraserefs.h"
#include "textlines.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <array>
#include <functional>
#include <optional>
#include <vector>

/// The state of one phrase's translation, kept as the tag of its translation entry.
enum class TranslationState : quint8 {
    tsMissing = 0,      ///< no merged translation carried the key; the text is the template's
    tsUntranslated = 1, ///< the translation carried the key with the text held at that moment
    tsTranslated = 2,   ///< a different text was merged or typed
};

/// Counts of a document's phrases by state.
struct PhraseStatistics
{
    int phrases = 0;
    int untranslated = 0;
    int missing = 0;
    int translated = 0;
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

/// Where the NUL that ends a file's text stands, when it has one: the NUL and whatever follows
/// it are not read, so saving over the file would drop them.
std::optional<NulCut> FindNulCut(QByteArrayView data);

/// One phrase's texts as PhraseDocument::BorrowPhraseTexts lends them, for a scan over many
/// phrases without a copy of each. The views refer into the document's bytes or into this
/// struct: they are valid until the document changes (a load, merge, edit or clear) or the struct
/// is filled again. Keep a text longer by copying it (QByteArrayView::toByteArray).
class BorrowedPhraseTexts
{
public:
    QByteArrayView key;
    QByteArrayView original;
    QByteArrayView column; ///< the key or the original, as PhraseColumnText
    QByteArrayView translation;

private:
    friend class PhraseDocument;
    // The template line as last read: it holds the texts that had to be unescaped.
    PhraseLineParts m_templateParts;
};

/// How the translation file on disk compares with the one last read or saved.
enum class DiskState {
    Unknown,   ///< this document has not read or written the file at that name
    Unchanged, ///< the same file, untouched since
    Changed,   ///< replaced or modified by another program
    Deleted,   ///< gone from its name
};

/// The open template, line for line, and the table of its phrases with their translations.
///
/// Texts are bytes exactly as read; nothing here decodes them. Observers (the grid, the status
/// line) learn of changes through the signals; the document shows nothing itself.
/// Invariants once a template is loaded: the per-phrase lists have equal length; the line tag of
/// phrase i's defining line is i and every other line's tag is -1; no two phrases share a key,
/// each phrase being defined by the first line that carries its key.
class PhraseDocument : public QObject
{
    Q_OBJECT
public:
    explicit PhraseDocument(QObject* parent = nullptr);

    // --- the file being worked on
    QString TranslationFileName() const { return m_translationPath.Display(); }
    void SetTranslationFileName(const QString& path)
    {
        m_translationPath = FilePath::FromText(path);
    }
    /// The translation file's name as the system spells it.
    const FilePath& TranslationPath() const { return m_translationPath; }
    void SetTranslationPath(const FilePath& path) { m_translationPath = path; }
    /// The template file last loaded from disk, and its stamp when it was read.
    const FilePath& TemplatePath() const { return m_templatePath; }
    const FileStamp& TemplateStamp() const { return m_templateStamp; }
    /// The stamp of the translation file as this document last read or wrote it, when that file
    /// is the one TranslationPath names; otherwise nothing.
    std::optional<FileStamp> TranslationStamp() const;
    /// Whether the file TranslationPath names changed on disk since this document read or wrote it.
    DiskState TranslationDiskState() const;
    /// Where the template's text ends before its last byte (a NUL, or __halt_compiler();), if
    /// it does; the bytes after are written back unchanged after the last line.
    const std::optional<NulCut>& TemplateCut() const { return m_templateCut; }
    /// Where a NUL cut short the translation file last read at TranslationPath, if one did.
    std::optional<NulCut> TranslationNulCut() const;
    bool Modified() const { return m_modified; }
    bool ShowOriginal() const { return m_showOriginal; }
    /// Whether phrase lines keep the template's own layout when written, only their translation
    /// replaced, instead of the kind's fixed layout.
    bool KeepLayout() const { return m_keepLayout; }
    void SetKeepLayout(bool keep) { m_keepLayout = keep; }
    void SetShowOriginal(bool show);

    /// The encoding the template and the merged translations are in, detected from their bytes
    /// (see DetectDocumentEncoding).
    DocumentEncoding DetectEncoding(const QLocale& locale) const;

    // --- template lines
    int TemplateLineCount() const { return m_lineCount; }
    /// The phrase that line defines, or -1 (a search among the phrases' lines).
    int TemplateLineTag(int line) const;

    // --- phrases
    // Keys, originals and merged translations are read from their lines when asked for. The
    // texts returned are the caller's own: they outlive any later load or clear.
    int PhraseCount() const { return int(m_kinds.size()); }
    PhraseLineKind PhraseKind(int i) const { return m_kinds.at(size_t(i)).Kind(); }
    /// False for a phrase whose value is not one literal on its line: it is kept as it is.
    bool PhraseEditable(int i) const;
    QByteArray PhraseKey(int i) const;
    int PhraseKeyTag(int i) const { return m_phraseLines.at(size_t(i)); } ///< its template line
    QByteArray PhraseOriginal(int i) const;
    QByteArray PhraseTranslation(int i) const;
    TranslationState PhraseState(int i) const { return m_states.at(size_t(i)); }
    /// The quote phrase i's translation is written in (' or "), or 0 where it is not a PHP
    /// literal (a bracket line): what tells whether PHP reads variables in it.
    char TranslationQuote(int i) const
    {
        const PhraseKindCode code = m_kinds.at(size_t(i));
        return code.Kind() == PhraseLineKind::lkBracket ? '\0' : code.Quote();
    }
    /// What the key column shows: the original text when ShowOriginal is set, else the key.
    QByteArray PhraseColumnText(int i) const
    {
        return m_showOriginal ? PhraseOriginal(i) : PhraseKey(i);
    }
    /// Lends phrase i's texts into texts without copying them, as a scan over every phrase wants
    /// them: with templateTexts its key, original and column text, with translation its
    /// translation (the template line parsed once for all); what is not asked for is left empty.
    /// The views last as BorrowedPhraseTexts says.
    void BorrowPhraseTexts(int i, BorrowedPhraseTexts& texts, bool templateTexts,
                           bool translation) const;

    /// True once a template with at least one line is loaded.
    bool IsDocumentLoaded() const { return m_lineCount > 0; }

    /// The index of the phrase whose key equals key byte for byte, if any.
    std::optional<int> FindKey(QByteArrayView key) const;

    /// Reads a template file and builds the phrase table from it. Throws EFOpenError for a file
    /// that cannot be read or is in a wide encoding (UTF-16, UTF-32), the document untouched.
    void LoadTemplate(const FilePath& path, const ReadOptions& options = {});
    void LoadTemplate(const QString& path) { LoadTemplate(FilePath::FromText(path)); }
    /// Builds the phrase table from template bytes already in memory. Throws EListError, the
    /// document untouched, when the lines outnumber what a line number can count. Out of memory
    /// leaves the document untouched too.
    void LoadTemplateData(QByteArray data);

    /// Takes path as the translation file name, then reads and merges it; throws EFOpenError
    /// as LoadTemplate does, the translations untouched.
    void LoadTranslation(const FilePath& path, const ReadOptions& options = {});
    void LoadTranslation(const QString& path) { LoadTranslation(FilePath::FromText(path)); }
    /// Reads the template again from TemplatePath and, when the document read or saved its
    /// translation file, that file too; what was typed and not saved is dropped. Throws as
    /// LoadTemplate, the document untouched when either file cannot be read.
    void Reload(const ReadOptions& options = {});
    /// Merges translation bytes already in memory and sets the status text. Out of memory
    /// leaves the translations untouched.
    void MergeTranslationData(QByteArray data);

    /// The translation file's bytes: the template's lines, phrase lines rebuilt, CR LF after each,
    /// then the template's bytes after a NUL or __halt_compiler(); as they are.
    QByteArray BuildTranslationFile() const;
    /// The same bytes handed to sink piece by piece, in order.
    void ProduceTranslationFile(const std::function<void(QByteArrayView)>& sink) const;
    /// Writes the translation file to TranslationPath and clears Modified.
    /// Throws EFCreateError or EWriteError, the previous file and Modified untouched.
    /// Asks nothing: whether the file may be overwritten is the caller's question.
    void SaveTranslation();

    /// Stores an edited translation, up to its first line break or NUL (a translation is one
    /// line of the file); returns false when that equals the stored text.
    bool CommitTranslation(int phrase, const QByteArray& text);
    /// Puts back a translation's text alone, as the editor's cancel does; state and Modified stay.
    void RestoreTranslationText(int phrase, const QByteArray& text);
    /// Puts back a translation's text and state as an earlier edit left them (undo and redo);
    /// Modified is the caller's to set.
    void RestoreTranslation(int phrase, const QByteArray& text, TranslationState state);
    /// Sets the unsaved-changes flag; an undo history sets it as it moves to or from the state
    /// last saved.
    void SetModified(bool modified);

    /// Empties the document; ShowOriginal stays.
    void ClearDocument();

    /// The phrases counted by state; the counts are kept as states change, so this reads no phrase.
    PhraseStatistics Statistics() const;
    /// The summary of the last merge ("Phrases: %d, Untranslated: %d, Missing: %d"), or empty.
    const QString& StatusText() const { return m_statusText; }

signals:
    /// The lines and phrases are about to be replaced (by a load) or emptied (by a clear).
    void AboutToReset();
    /// A template was loaded: the grid takes phrases + 1 rows, the translation column, a new
    /// layout.
    void TemplateLoaded();
    /// The document was emptied: the grid goes back to its single header row.
    void Cleared();
    /// A merge replaced translations and states: the grid repaints.
    void TranslationsMerged();
    void TranslationChanged(int phrase);
    void ShowOriginalChanged(bool show);
    void ModifiedChanged(bool modified);
    void StatusTextChanged(const QString& text);
    /// The files the document was read from or saved to, or their stamps, changed.
    void FilesChanged();

private:
    void ResetPhrases();
    void SetStatusText(const QString& text);
    QByteArrayView PhraseLine(int i) const;
    /// The bytes of a translation that is not the template's value: an owned text, or a value in
    /// a merged file. They stay with the document. The lists given stand for m_ownedTexts and
    /// m_mergedViews (the merge passes the copies it works on).
    QByteArrayView StoredText(TranslationRef ref) const
    {
        return StoredText(ref, m_ownedTexts, m_mergedViews);
    }
    QByteArrayView StoredText(TranslationRef ref, const std::vector<QByteArray>& owned,
                              const std::vector<QByteArrayView>& views) const;
    /// Merges the lines of text, the source-th merged file, into the translations; returns the
    /// status text that sums them up.
    QString MergeInto(QByteArrayView text, quint64 source);
    /// Phrases per TranslationState, indexed by its number.
    using StateCounts = std::array<int, 3>;
    static QString StatisticsText(const StateCounts& counts);
    void SetTranslation(int phrase, const QByteArray& text);

    FilePath m_translationPath;
    FilePath m_templatePath;
    FileStamp m_templateStamp;
    // The translation file as last read or written, and where a NUL cut it short when read.
    FilePath m_stampedPath;
    FileStamp m_translationStamp;
    std::optional<NulCut> m_nulCut;
    bool m_modified = false;
    bool m_showOriginal = false;
    bool m_keepLayout = false;
    QString m_statusText;

    // The template's bytes, and the same up to the NUL that ends its text. Phrases are read from
    // them on demand, so the template is held once and each phrase costs a few fixed bytes.
    QByteArray m_templateData;
    QByteArrayView m_templateText;
    std::optional<NulCut> m_templateCut;
    int m_lineCount = 0;
    // Every merged file's bytes, kept while any translation refers to one of its lines; likewise
    // cut at their NUL. Released only after the references into them.
    QList<QByteArray> m_mergedData;
    std::vector<QByteArrayView> m_mergedTexts;

    // Per phrase, in the order of their lines. Kinds and states are small numbers, a byte each.
    std::vector<LineSpanRef> m_phraseSpans; // where its defining line lies in the template
    std::vector<int> m_phraseLines;         // that line's number
    std::vector<PhraseKindCode> m_kinds;
    std::vector<TranslationState> m_states;
    // m_states counted by state, changed wherever a state changes; equals a count over m_states.
    StateCounts m_stateCounts{};
    // Where each translation's text is: the phrase's own template value, a value in a merged
    // file, or an entry of m_ownedTexts or m_mergedViews.
    std::vector<TranslationRef> m_translations;
    // Translations in blocks of their own: typed texts, and merged values that were unescaped.
    // Entries no reference names any more stay, emptied, until the next load or clear.
    std::vector<QByteArray> m_ownedTexts;
    // Merged values a TranslationRef cannot locate by itself (over 64 KB, past a terabyte in, or
    // from the 128th merged file on), seen where they stand in m_mergedData, which outlives them.
    std::vector<QByteArrayView> m_mergedViews;

    // Key -> phrase index. Keys are unique by construction, so the first line carrying a key wins.
    KeyIndex m_keyIndex;
};
