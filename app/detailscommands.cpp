// View > Details pane: showing and hiding it, its height, the focus between it and the grid.
#include "mainform.h"

#include "detailspane.h"
#include "phrasegrid.h"
#include "phrasemodel.h"

#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QSplitter>

void TMainForm::ConnectDetails()
{
    // The pane shows the current row's phrase.
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { m_details->ShowPhrase(CurrentPhrase()); });
    connect(m_model, &QAbstractItemModel::modelReset, this,
            [this] { m_details->ShowPhrase(CurrentPhrase()); });
    // One editor at a time: the cell editor's edit ends as the pane's begins, so neither shows a
    // text the other has changed since.
    connect(m_details, &DetailsPane::EditorFocused, m_grid, &PhraseGrid::EndEditing);
    connect(m_details, &DetailsPane::LeaveRequested, this, [this] { m_grid->setFocus(); });
    // A long value, or one with lines or code parts, is edited here, not in its cell: the pane
    // shows it whole, and takes the keys (the one that asked for the edit first) when it is a
    // translation.
    connect(m_grid, &PhraseGrid::PaneEditRequested, this,
            [this](const QModelIndex& index, const QKeyEvent* key) {
                SetDetailsVisible(true);
                if (index.column() != PhraseTableModel::ColumnTranslated)
                    return;
                m_details->FocusEditor();
                if (key)
                    m_details->TypeKey(*key);
            });
    // Shift+Enter in a cell: the pane, whose editor shows lines, makes the line break.
    connect(m_grid, &PhraseGrid::LineBreakRequested, this, [this](const QModelIndex&, int caret) {
        SetDetailsVisible(true);
        m_details->FocusEditor();
        m_details->InsertLineBreak(caret);
    });
}

void TMainForm::ViewDetailsActionExecute()
{
    SetDetailsVisible(m_details->isHidden());
}

void TMainForm::ViewSwitchPaneActionExecute()
{
    if (m_details->isHidden())
        return;
    if (m_details->EditorHasFocus())
        m_grid->setFocus();
    else
        m_details->FocusEditor();
}

bool TMainForm::DetailsVisible() const
{
    return !m_details->isHidden();
}

void TMainForm::SetDetailsVisible(bool visible)
{
    if (visible == !m_details->isHidden())
        return;
    if (!visible) {
        m_detailsHeight = DetailsHeight();
        // The keys go back to the grid, not to whatever follows the pane's editor.
        if (m_details->EditorHasFocus())
            m_grid->setFocus();
        m_details->hide();
    } else {
        // First shown: a third of the room, or the least the pane can show.
        if (m_detailsHeight <= 0)
            m_detailsHeight =
                std::max(m_details->minimumSizeHint().height(), m_splitter->height() / 3);
        m_details->show();
        ApplyDetailsHeight();
    }
    UpdateActions();
}

int TMainForm::DetailsHeight() const
{
    // Laid out only while shown; hidden, the pane's height is the one it had when last shown.
    if (m_details->isVisible())
        return m_splitter->sizes().value(1);
    return m_detailsHeight;
}

void TMainForm::SetDetailsHeight(int height)
{
    m_detailsHeight = std::max(0, height);
    if (!m_details->isHidden())
        ApplyDetailsHeight();
}

void TMainForm::ApplyDetailsHeight()
{
    // The grid takes what the pane leaves; a window not laid out yet shares its room the same way
    // once it is, the grid alone stretching.
    m_splitter->setSizes({std::max(1, m_splitter->height() - m_detailsHeight), m_detailsHeight});
}
