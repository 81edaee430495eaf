#pragma once
#include "keyindex.h"
#include "phraseline.h"
#include "textlines.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

/// The state of one phrase's translation, kept as the tag of its translation entry.
enum TranslationState : int {
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
    const QString& TranslationFileName() const { return m_translationFileName; }
    void SetTranslationFileName(const QString& path) { m_translationFileName = path; }
    bool Modified() const { return m_modified; }
    bool ShowOriginal() const { return m_showOriginal; }
    void SetShowOriginal(bool show);

    /// The bytes of the template and of the merged translations, as read.
    const QByteArray& TemplateData() const { return m_templateData; }
    const QList<QByteArray>& MergedData() const { return m_mergedData; }

    // --- template lines
    int TemplateLineCount() const { return int(m_lines.size()); }
    QByteArrayView TemplateLine(int line) const;
    int TemplateLineTag(int line) const { return m_lineTags.at(size_t(line)); }

    // --- phrases
    int PhraseCount() const { return int(m_keys.size()); }
    PhraseLineKind PhraseKind(int i) const { return PhraseLineKind(m_kinds.at(size_t(i))); }
    const QByteArray& PhraseKey(int i) const { return m_keys.at(i); }
    int PhraseKeyTag(int i) const { return m_keyLines.at(size_t(i)); } ///< its template line
    const QByteArray& PhraseOriginal(int i) const { return m_originals.at(i); }
    const QByteArray& PhraseTranslation(int i) const { return m_translations.at(i); }
    TranslationState PhraseState(int i) const { return TranslationState(m_states.at(size_t(i))); }
    /// What the key column shows: the original text when ShowOriginal is set, else the key.
    const QByteArray& PhraseColumnText(int i) const
    {
        return m_showOriginal ? PhraseOriginal(i) : PhraseKey(i);
    }

    /// True once a template with at least one line is loaded.
    bool IsDocumentLoaded() const { return !m_lines.empty(); }

    /// The index of the phrase whose key equals key byte for byte, if any.
    std::optional<int> FindKey(QByteArrayView key) const;

    /// Reads a template file into the cleared document; throws EFOpenError, leaving it empty.
    void LoadTemplate(const QString& path);
    /// Builds the phrase table from template bytes already in memory.
    /// The texts returned by the accessors stay valid until the next load or clear.
    void LoadTemplateData(QByteArray data);

    /// Takes path as the translation file name, then reads and merges it; throws EFOpenError.
    void LoadTranslation(const QString& path);
    /// Merges translation bytes already in memory and sets the status text.
    void MergeTranslationData(QByteArray data);

    /// The translation file's bytes: the template's lines, phrase lines rebuilt, CR LF after each.
    QByteArray BuildTranslationFile() const;
    /// The same bytes handed to sink piece by piece, in order.
    void ProduceTranslationFile(const std::function<void(QByteArrayView)>& sink) const;
    /// Writes the translation file to TranslationFileName and clears Modified.
    /// Throws EFCreateError or EWriteError, the previous file and Modified untouched.
    void SaveTranslation();

    /// Stores an edited translation; returns false when text equals the stored one.
    bool CommitTranslation(int phrase, const QByteArray& text);
    /// Puts back a translation's text alone, as the editor's cancel does; state and Modified stay.
    void RestoreTranslationText(int phrase, const QByteArray& text);

    /// Empties the document; ShowOriginal stays.
    void ClearDocument();

    PhraseStatistics Statistics() const;
    /// The summary of the last merge ("Phrases: %d, Untranslated: %d, Missing: %d"), or empty.
    const QString& StatusText() const { return m_statusText; }

signals:
    /// The lines and phrases are about to be replaced (by a load) or emptied (by a clear).
    void AboutToReset();
    /// A template was loaded: the grid takes phrases + 1 rows, the translation column, a new layout.
    void TemplateLoaded();
    /// The document was emptied: the grid goes back to its single header row.
    void Cleared();
    /// A merge replaced translations and states: the grid repaints.
    void TranslationsMerged();
    void TranslationChanged(int phrase);
    void ShowOriginalChanged(bool show);
    void ModifiedChanged(bool modified);
    void StatusTextChanged(const QString& text);

private:
    void SetModified(bool modified);
    void ResetPhrases();
    void SetStatusText(const QString& text);

    QString m_translationFileName;
    bool m_modified = false;
    bool m_showOriginal = false;
    QString m_statusText;

    // The template's bytes; lines, keys and originals refer into them (QByteArray::fromRawData),
    // so the template is held once. Likewise merged translations refer into m_mergedData.
    // Both are released only after every list that refers into them has been emptied.
    QByteArray m_templateData;
    QList<QByteArray> m_mergedData;
    std::vector<LineSpan> m_lines;
    std::vector<int> m_lineTags;

    // Kinds and states are small numbers: a byte each keeps a million phrases compact.
    std::vector<quint8> m_kinds;
    QList<QByteArray> m_keys;
    std::vector<int> m_keyLines;
    QList<QByteArray> m_originals;
    QList<QByteArray> m_translations;
    std::vector<quint8> m_states;

    // Key -> phrase index. Keys are unique by construction, so the first line carrying a key wins.
    KeyIndex m_keyIndex;
};
