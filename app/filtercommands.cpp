// View > filter: which phrases the grid shows, the phrase being edited kept in sight, and the
// current phrase kept through a change of the rows.
#include "mainform.h"

#include "detailspane.h"
#include "edithistory.h"
#include "phrasegrid.h"
#include "phrasemodel.h"

#include <QItemSelectionModel>
#include <QMetaObject>

void TMainForm::SetPhraseFilter(PhraseFilter filter)
{
    m_model->SetFilter(filter); // AboutToRefilter and Refiltered keep the current phrase
}

void TMainForm::SetCurrentCell(int row, int column)
{
    const QModelIndex target = m_model->index(row, column);
    m_grid->selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect);
    m_grid->scrollTo(target);
}

void TMainForm::ReleaseLater(int phrase)
{
    // Released once the view is done with the change that ended the hold (a move of the current
    // cell, say), so the rows never change under it.
    if (phrase < 0)
        return;
    QMetaObject::invokeMethod(
        this,
        [this, phrase] {
            if (phrase != m_history->EditedPhrase() && phrase != m_revealedPhrase)
                m_model->ReleasePhrase(phrase);
        },
        Qt::QueuedConnection);
}

void TMainForm::ConnectFilter()
{
    // The phrase of an open edit keeps its row until the edit ends: a translation typed under
    // "Needs work" does not vanish at its first keystroke.
    connect(m_history, &EditHistory::EditBegan, m_model, &PhraseTableModel::HoldPhrase);
    connect(m_history, &EditHistory::EditEnded, this, &TMainForm::ReleaseLater);
    // A phrase an undo showed keeps its row until the current cell leaves it.
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (m_revealedPhrase >= 0 && m_model->PhraseAt(current.row()) != m_revealedPhrase)
                    ReleaseLater(std::exchange(m_revealedPhrase, -1));
            });
    connect(m_model, &PhraseTableModel::AboutToRefilter, this, [this] {
        // Closed as a move would close it, before the rows go: the grid keeps the focus.
        m_grid->EndEditing();
        m_details->EndEdit();
        const QModelIndex current = m_grid->currentIndex();
        m_refilterPhrase = current.isValid() ? m_model->PhraseAt(current.row()) : -1;
        m_refilterColumn =
            current.isValid() ? current.column() : int(PhraseTableModel::ColumnTranslated);
    });
    connect(m_model, &PhraseTableModel::Refiltered, this, [this] {
        m_revealedPhrase = -1; // the rows were made anew, without holds
        // Without a current phrase before (no rows were shown), the first row becomes current.
        const int row = m_model->NearestRow(std::max(m_refilterPhrase, 0));
        if (row >= 0)
            SetCurrentCell(row, m_refilterColumn);
        m_grid->LayoutColumns(); // the rows may need a scroll bar now, or no longer
    });
    // Rows come and go one by one only under a filter.
    connect(m_model, &QAbstractItemModel::rowsInserted, m_grid, &PhraseGrid::LayoutColumns);
    connect(m_model, &QAbstractItemModel::rowsRemoved, m_grid, &PhraseGrid::LayoutColumns);
}
