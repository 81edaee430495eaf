// View > filter: which phrases the grid shows, the phrase being edited kept in sight, and the
// current phrase kept through a change of the rows.
#include "mainform.h"

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

void TMainForm::ConnectFilter()
{
    // The phrase under an editor keeps its row until the editor has gone: a translation typed
    // under "Needs work" does not vanish at its first keystroke.
    connect(
        m_grid->Delegate(), &PhraseDelegate::EditorOpened, this,
        [this](const QModelIndex& index) { m_model->HoldPhrase(m_model->PhraseAt(index.row())); });
    connect(m_grid->Delegate(), &PhraseDelegate::EditorClosed, this,
            [this](const QModelIndex& index) {
                // Released once the view is done with the change that closed the editor (a move of
                // the current cell, say), so the rows never change under it.
                const int phrase = m_model->PhraseAt(index.row());
                if (phrase >= 0)
                    QMetaObject::invokeMethod(
                        m_model, [model = m_model, phrase] { model->ReleasePhrase(phrase); },
                        Qt::QueuedConnection);
            });
    connect(m_model, &PhraseTableModel::AboutToRefilter, this, [this] {
        // Closed as a move would close it, before the rows go: the grid keeps the focus.
        m_grid->EndEditing();
        const QModelIndex current = m_grid->currentIndex();
        m_refilterPhrase = current.isValid() ? m_model->PhraseAt(current.row()) : -1;
        m_refilterColumn =
            current.isValid() ? current.column() : int(PhraseTableModel::ColumnTranslated);
    });
    connect(m_model, &PhraseTableModel::Refiltered, this, [this] {
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
