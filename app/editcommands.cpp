// Undo and Redo, and the edit commands that make steps of their own: Copy original to
// translation and Done and next.
#include "mainform.h"

#include "detailspane.h"
#include "edithistory.h"
#include "edittext.h"
#include "phrasegrid.h"
#include "phrasemodel.h"
#include "phrasesearch.h"

#include <QAction>
#include <QStatusBar>

namespace {

// How long the status line says that pasted lines were joined, in milliseconds.
constexpr int JoinedNoticeTime = 10000;

} // namespace

void TMainForm::ConnectHistory()
{
    // The cell editor's edit runs from its opening to its closing, Esc and every keystroke in it.
    connect(
        m_grid->Delegate(), &PhraseDelegate::EditorOpened, this,
        [this](const QModelIndex& index) { m_history->BeginEdit(m_model->PhraseAt(index.row())); });
    connect(m_grid->Delegate(), &PhraseDelegate::EditorClosed, m_history, &EditHistory::EndEdit);
    connect(m_history, &EditHistory::AvailabilityChanged, this, &TMainForm::UpdateActions);
    // A pasted text of several lines went in as one: the status line says so, as nothing in the
    // one line shown tells where its lines were.
    const auto saysJoined = [this] {
        statusBar()->showMessage(EditTexts::LinesJoined(), JoinedNoticeTime);
    };
    connect(m_grid->Delegate(), &PhraseDelegate::LinesJoined, this, saysJoined);
    connect(m_details, &DetailsPane::LinesJoined, this, saysJoined);
    // The translator sees what an undo or redo changed: its phrase becomes current. Where the
    // filter hides the phrase (or would now, its state changed back), it keeps a row as an edited
    // phrase does, until the current cell leaves it.
    connect(m_history, &EditHistory::AboutToRestore, this, [this](int phrase) {
        if (m_revealedPhrase >= 0 && m_revealedPhrase != phrase)
            ReleaseLater(std::exchange(m_revealedPhrase, -1));
        m_model->RevealPhrase(phrase);
    });
    // Taking out or putting back the obsolete phrases makes the rows anew: the current phrase
    // stays current, or the first phrase put back becomes it, and the checks run again.
    connect(m_history, &EditHistory::AboutToChangeObsolete, this, [this] {
        const QModelIndex current = m_grid->currentIndex();
        m_obsoleteKeptPhrase = current.isValid() ? m_model->PhraseAt(current.row()) : -1;
        m_obsoleteKeptColumn =
            current.isValid() ? current.column() : int(PhraseTableModel::ColumnTranslated);
    });
    connect(m_history, &EditHistory::ObsoleteChanged, this, [this](int putBack) {
        m_model->UpdateProblems();
        const int phrase = putBack >= 0 ? putBack : m_obsoleteKeptPhrase;
        const int row = m_model->NearestRow(std::max(phrase, 0));
        if (row >= 0)
            SetCurrentCell(row, m_obsoleteKeptColumn);
        m_grid->LayoutColumns();
        UpdateActions();
    });
    connect(m_history, &EditHistory::Restored, this, [this](int phrase) {
        const int row = m_model->RowOf(phrase);
        if (row >= 0)
            SetCurrentCell(row, PhraseTableModel::ColumnTranslated);
        m_revealedPhrase = phrase;
    });
}

int TMainForm::CurrentPhrase() const
{
    const QModelIndex current = m_grid->currentIndex();
    return current.isValid() ? m_model->PhraseAt(current.row()) : -1;
}

void TMainForm::EndEdits()
{
    m_grid->EndEditing();
    m_details->EndEdit();
    m_history->EndEdit();
}

void TMainForm::EditUndoActionExecute()
{
    EndEdits();
    m_history->Undo();
}

void TMainForm::EditRedoActionExecute()
{
    EndEdits();
    m_history->Redo();
}

void TMainForm::EditCopyOriginalActionExecute()
{
    EndEdits();
    const int phrase = CurrentPhrase();
    if (phrase < 0)
        return;
    m_history->BeginEdit(phrase);
    m_doc.CommitTranslation(phrase, m_doc.PhraseOriginal(phrase));
    m_history->EndEdit();
}

void TMainForm::EditDoneNextActionExecute()
{
    EndEdits();
    // As Next untranslated and Next missing go: among the rows shown, after the current one, and
    // nowhere past the last.
    const int current = m_grid->currentIndex().isValid() ? m_grid->currentIndex().row() : -1;
    std::optional<int> next;
    for (const TranslationState state :
         {TranslationState::tsMissing, TranslationState::tsUntranslated}) {
        const std::optional<int> row =
            FindNextState(m_doc, current, state, m_model->ShownPhrases());
        if (row && (!next || *row < *next))
            next = row;
    }
    if (next)
        m_grid->MoveToRow(*next);
}

void TMainForm::EditRemoveObsoleteActionExecute()
{
    EndEdits();
    m_history->RemoveObsolete();
}
