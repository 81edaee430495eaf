// Copy, the font chooser and the view toggles.
#include "mainform.h"

#include "about.h"
#include "credits.h"
#include "edittext.h"
#include "gridfont.h"
#include "phrasegrid.h"
#include "phrasemodel.h"

#include <QApplication>
#include <QClipboard>
#include <QItemSelectionModel>
#include <QToolBar>

QString TMainForm::SelectionText() const
{
    // The selection is one rectangle (the current cell alone when nothing more is selected).
    int top, bottom, left, right;
    const QItemSelection sel = m_grid->selectionModel()->selection();
    if (!sel.isEmpty()) {
        top = sel.first().top();
        bottom = sel.first().bottom();
        left = sel.first().left();
        right = sel.first().right();
        for (const QItemSelectionRange& r : sel) {
            top = std::min(top, r.top());
            bottom = std::max(bottom, r.bottom());
            left = std::min(left, r.left());
            right = std::max(right, r.right());
        }
    } else if (m_grid->currentIndex().isValid()) {
        top = bottom = m_grid->currentIndex().row();
        left = right = m_grid->currentIndex().column();
    } else {
        // No phrase row: the header row is then the grid's only row, and its translation cell
        // is the current one.
        return QString::fromLatin1(m_model->GetCellText(PhraseTableModel::ColumnTranslated, 0));
    }
    QString text;
    for (int row = top; row <= bottom; ++row) {
        for (int col = left; col <= right; ++col) {
            // Code parts as the code they are, without the markers only this program reads.
            text += PlainValue(m_codec.ToUnicode(m_model->GetCellText(col, row + 1)));
            if (col != right)
                text += u'\t';
        }
        if (row != bottom)
            text += QStringLiteral("\r\n");
    }
    return text;
}

void TMainForm::EditCopyActionExecute()
{
    QApplication::clipboard()->setText(SelectionText());
}

void TMainForm::SetupFontActionExecute()
{
    const QFont current = m_grid->font();
    const QColor color = m_grid->palette().color(QPalette::Text);
    const auto chosen = m_seam.ChooseFont(current, color);
    if (!chosen)
        return;
    m_gridFont = FromQFont(chosen->first, chosen->second, m_gridFont, QApplication::palette(),
                           m_grid->logicalDpiY());
    ApplyGridFont();
    // Layout measures in the font the grid now draws with.
    m_grid->viewport()->update();
    m_grid->LayoutColumns();
}

void TMainForm::ShowGridActionExecute()
{
    // A stored width above 1 shows as checked and becomes 0 at the next toggle.
    m_grid->SetGridLineWidth(m_grid->GridLineWidth() != 0 ? 0 : 1);
    UpdateActions();
}

void TMainForm::TemplateLayoutActionExecute()
{
    SetSaveLayout(SaveLayout::Template);
}

void TMainForm::KeepLayoutActionExecute()
{
    SetSaveLayout(SaveLayout::Lines);
}

void TMainForm::TranslationLayoutActionExecute()
{
    SetSaveLayout(SaveLayout::Translation);
}

void TMainForm::SetSaveLayout(SaveLayout layout)
{
    m_doc.SetLayout(layout);
    UpdateActions();
}

// The settings store the layout as two switches, the older one meaning the line layout as it
// always did; turned off, a switch leaves a layout that is not its own as it is.
void TMainForm::SetKeepLayout(bool keep)
{
    if (keep)
        SetSaveLayout(SaveLayout::Lines);
    else if (m_doc.Layout() == SaveLayout::Lines)
        SetSaveLayout(SaveLayout::Template);
}

void TMainForm::SetTranslationLayout(bool on)
{
    if (on)
        SetSaveLayout(SaveLayout::Translation);
    else if (m_doc.Layout() == SaveLayout::Translation)
        SetSaveLayout(SaveLayout::Template);
}

void TMainForm::ShowOriginalActionExecute()
{
    m_doc.SetShowOriginal(!m_doc.ShowOriginal());
}

void TMainForm::ViewToolBarActionExecute()
{
    SetToolBarVisible(m_toolBar->isHidden());
}

void TMainForm::ToolBarButtonClick()
{
    SetToolBarVisible(false);
}

void TMainForm::HelpAboutActionExecute()
{
    m_aboutForm->ShowModalOver(this);
}

void TMainForm::HelpCreditsActionExecute()
{
    m_creditsForm->ShowModalOver(this);
}
