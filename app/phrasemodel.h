#pragma once
#include "edittext.h"
#include "phrasefilter.h"
#include "phraseproblems.h"

#include <QAbstractTableModel>
#include <QColor>
#include <optional>
#include <vector>

class BorrowedPhraseTexts;
class PhraseDocument;
class TextCodec;
enum class TranslationState : quint8;

/// The grid's view of the phrase document: one row per phrase the filter shows, in the document's
/// order, every cell read from the document through GetCellText on demand, no copy kept. Row r of
/// the model is grid row r + 1; the grid's header row is the view's horizontal header. Rows and
/// phrases are told apart everywhere: PhraseAt and RowOf map between them.
/// Under a filter other than All the model keeps the list of phrases shown; a phrase whose state
/// changes gains or loses its row at once, unless it is held (being edited): it keeps its row
/// until released.
class PhraseTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { ColumnLine = 0, ColumnOriginal = 1, ColumnTranslated = 2, ColumnCount = 3 };
    /// The phrase's TranslationState, for the translation column.
    static constexpr int StateRole = Qt::UserRole + 1;
    /// The cell's bytes as the document holds them; setData with it puts a translation's text
    /// back without touching its state (the editor's cancel).
    static constexpr int BytesRole = Qt::UserRole + 2;
    /// Whether the cell's value is long (LongValueSize): DisplayRole then holds its first
    /// ShownCharacters characters and an ellipsis, and it is edited in the details pane.
    static constexpr int LongValueRole = Qt::UserRole + 3;
    /// The marks in DisplayRole's text (QList<ValueMark>): its line breaks and code parts, which
    /// the grid draws apart from the text.
    static constexpr int MarksRole = Qt::UserRole + 4;
    /// Whether the cell is edited in the details pane rather than in its one-line editor: its
    /// value is long, or holds line breaks or code parts, or (for a translation) its original does.
    static constexpr int PaneEditRole = Qt::UserRole + 5;
    /// How much of a long value a cell shows: far more than a row of any screen holds, little
    /// enough to lay out at every paint.
    static constexpr qsizetype ShownCharacters = 2000;

    PhraseTableModel(PhraseDocument& document, const TextCodec& codec, QObject* parent = nullptr);

    /// The text of a grid cell; row 0 is the header row, row r >= 1 shows the phrase of model
    /// row r - 1.
    QByteArray GetCellText(int col, int row) const;
    /// The colour of a translation in the given state.
    static QColor StateColor(TranslationState state);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    /// Stores an edited translation (encoded by the codec); the key column never stores anything.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    /// Every cell may show something else now (encoding or display mode changed).
    void RefreshAll();

    // --- the checks of the translations
    /// What the checks found per phrase; kept up to date with the document and, through
    /// UpdateProblems, the codec.
    const PhraseProblems& Problems() const { return m_problems; }
    /// Checks every phrase again unless they were checked with the codec's encoding since the
    /// last load or merge. The owner of the codec calls it once the encoding is settled after a
    /// load, so that opening a file in another encoding checks it once, not twice.
    void UpdateProblems();
    /// Turns checks on or off; every phrase is checked again.
    void SetEnabledChecks(PhraseCheckSet enabled);
    /// The row of the first shown phrase with problems after row current (-1: from the top).
    std::optional<int> NextProblemRow(int current) const;

    // --- the filter
    PhraseFilter Filter() const { return m_filter; }
    /// Shows the phrases filter accepts: the rows are made anew (a model reset between
    /// AboutToRefilter and Refiltered), and holds end.
    void SetFilter(PhraseFilter filter);
    /// The phrase model row `row` shows, or -1 for no such row.
    int PhraseAt(int row) const;
    /// The model row that shows phrase, or -1 when it is not shown.
    int RowOf(int phrase) const;
    /// The row of phrase, else of the first shown phrase after it, else of the last one before
    /// it; -1 when no row is shown.
    int NearestRow(int phrase) const;
    /// The phrases shown, in row order; nullptr while every phrase is shown (row = phrase).
    const std::vector<int>* ShownPhrases() const
    {
        return m_filter == PhraseFilter::All ? nullptr : &m_shown;
    }
    /// Keeps phrase's row while it is being edited, even when it stops matching the filter.
    void HoldPhrase(int phrase);
    /// Ends phrase's hold; when it no longer matches the filter its row goes now.
    void ReleasePhrase(int phrase);
    /// Holds phrase and gives it its row at once where the filter hides it.
    void RevealPhrase(int phrase);

signals:
    /// The rows are about to be made anew for the filter (after a filter change or a merge);
    /// the current phrase is still where it was.
    void AboutToRefilter();
    /// The rows were made anew; no phrase is current.
    void Refiltered();
    /// The number of phrases with problems, or what one of them has, may have changed.
    void ProblemsChanged();

private:
    bool Filtered() const { return m_filter != PhraseFilter::All; }
    /// The bytes of the cell at index, lent as BorrowedPhraseTexts lends them.
    QByteArrayView BorrowCellText(const QModelIndex& index, BorrowedPhraseTexts& texts) const;
    /// What the cell shows: its whole text, or the start of a long one and an ellipsis; line
    /// breaks and code parts as marks.
    ShownValue ShownText(const QModelIndex& index) const;
    /// PaneEditRole's answer.
    bool EditedInPane(const QModelIndex& index) const;
    bool Accepts(int phrase) const;
    void BuildRows();
    void Refilter(PhraseFilter filter);
    void RemoveRow(int row);
    void InsertRow(int phrase);
    void OnTranslationChanged(int phrase);
    /// Checks every phrase for the codec's encoding.
    void CheckAll();
    /// Drops what was found, as a load or merge makes it wrong, until UpdateProblems runs.
    void ForgetProblems();

    PhraseDocument& m_doc;
    const TextCodec& m_codec; // the main window's codec; a new encoding is assigned into it
    PhraseFilter m_filter = PhraseFilter::All;
    // The phrases shown in row order, ascending, while filtered; empty under All.
    std::vector<int> m_shown;
    // Phrases being edited: they keep their rows whatever their state. One, or two for a moment
    // while an editor closes and the next opens.
    std::vector<int> m_held;
    PhraseProblems m_problems;
    // The encoding m_problems last checked in, empty while they wait for UpdateProblems; a codec
    // of another name means checking anew.
    QByteArray m_checkedEncoding;
};
