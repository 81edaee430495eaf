#pragma once
#include "encodingdetect.h"
#include "fileio.h"
#include "keyindex.h"
#include "phraseline.h"
#include "phrasestore.h"
#include "textlines.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <array>
#include <functional>
#include <optional>
#include <vector>

/// Counts of a document's phrases by state.
struct PhraseStatistics
{
    int phrases = 0;
    int untranslated = 0;
    int missing = 0;
    int translated = 0;
    int obsolete = 0;
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
    // The texts that are not views of a file's bytes as they stand.
    QByteArray m_originalScratch;
    QByteArray m_translationScratch;
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
    const std::optional<NulCut>& TemplateCut() const { return m_store.TemplateCut(); }
    /// Where a NUL cut short the translation file last read at TranslationPath, if one did.
    std::optional<NulCut> TranslationNulCut() const;
    bool Modified() const { return m_modified; }
    bool ShowOriginal() const { return m_showOriginal; }
    /// How the translation file is laid out when written (SaveLayout).
    SaveLayout Layout() const { return m_layout; }
    void SetLayout(SaveLayout layout) { m_layout = layout; }
    /// Whether phrase lines keep the template's own layout when written, only their translation
    /// replaced, instead of the kind's fixed layout: the Lines layout.
    bool KeepLayout() const { return m_layout == SaveLayout::Lines; }
    void SetKeepLayout(bool keep) { m_layout = keep ? SaveLayout::Lines : SaveLayout::Template; }
    void SetShowOriginal(bool show);

    /// The encoding the template and the merged translations are in, detected from their bytes
    /// (see DetectDocumentEncoding).
    DocumentEncoding DetectEncoding(const QLocale& locale) const;

    // --- template lines
    int TemplateLineCount() const { return m_store.LineCount(); }
    /// The phrase that line defines, or -1 (a search among the phrases' lines).
    int TemplateLineTag(int line) const;

    // --- phrases
    // Keys, originals and merged translations are read from their lines when asked for. The
    // texts returned are the caller's own: they outlive any later load or clear.
    /// The template's phrases, then the obsolete ones (PhraseState tsObsolete).
    int PhraseCount() const { return m_store.Count(); }
    PhraseLineKind PhraseKind(int i) const { return m_store.Kind(i); }
    /// False for a phrase whose value is not one literal on its line: it is kept as it is.
    bool PhraseEditable(int i) const;
    QByteArray PhraseKey(int i) const;
    /// The line its statement begins on, from 0: in the template, or for an obsolete phrase in
    /// the translation file.
    int PhraseKeyTag(int i) const { return m_store.Line(i); }
    QByteArray PhraseOriginal(int i) const;
    QByteArray PhraseTranslation(int i) const;
    TranslationState PhraseState(int i) const
    {
        return m_store.IsObsolete(i) ? TranslationState::tsObsolete : m_store.State(i);
    }
    /// The quote phrase i's translation is written in (' or "), or 0 where it is not a PHP
    /// literal (a bracket line): what tells whether PHP reads variables in it.
    char TranslationQuote(int i) const
    {
        const char q = m_store.TranslationQuote(i);
        return q == 'h' ? '"' : q == 'n' ? '\'' : q;
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
    bool IsDocumentLoaded() const { return m_store.LineCount() > 0; }
    /// The phrases and their texts, for the writer and for scans that read the records.
    const PhraseStore& Store() const { return m_store; }

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

    /// The translation file's bytes as Layout lays them out (see translationwriter.h).
    QByteArray BuildTranslationFile() const;
    /// The same bytes handed to sink piece by piece, in order.
    void ProduceTranslationFile(const std::function<void(QByteArrayView)>& sink) const;
    /// Writes the translation file to TranslationPath and clears Modified.
    /// Throws EFCreateError or EWriteError, the previous file and Modified untouched.
    /// Asks nothing: whether the file may be overwritten is the caller's question.
    void SaveTranslation();

    /// Stores an edited translation, up to its first NUL; returns false when that equals the
    /// stored text or the phrase takes no text. Code parts (between PhpCodeOpen and PhpCodeClose)
    /// are kept only when the phrase's original or its translation has them: anything else
    /// typed is text, never code.
    bool CommitTranslation(int phrase, const QByteArray& text);
    /// Puts back a translation's text alone, as the editor's cancel does; state and Modified stay.
    void RestoreTranslationText(int phrase, const QByteArray& text);
    /// Puts back a translation's text and state as an earlier edit left them (undo and redo);
    /// Modified is the caller's to set.
    void RestoreTranslation(int phrase, const QByteArray& text, TranslationState state);
    /// Sets the unsaved-changes flag; an undo history sets it as it moves to or from the state
    /// last saved.
    void SetModified(bool modified);

    /// Removes the obsolete phrases; returns them, for PutBackObsolete to undo it.
    std::vector<ObsoletePhrase> RemoveObsolete();
    void PutBackObsolete(std::vector<ObsoletePhrase> phrases);

    /// The encoding the files are read in by the PHP lexer (which bytes may be trail bytes).
    void SetLexOptions(const PhpLexOptions& options) { m_lexOptions = options; }

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
    void SetStatusText(const QString& text);
    static QString StatisticsText(const std::array<int, 4>& counts);

    FilePath m_translationPath;
    FilePath m_templatePath;
    FileStamp m_templateStamp;
    // The translation file as last read or written, and where a NUL cut it short when read.
    FilePath m_stampedPath;
    FileStamp m_translationStamp;
    std::optional<NulCut> m_nulCut;
    bool m_modified = false;
    bool m_showOriginal = false;
    SaveLayout m_layout = SaveLayout::Template;
    QString m_statusText;
    PhpLexOptions m_lexOptions;
    PhraseStore m_store;
};
