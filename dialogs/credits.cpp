#include "credits.h"
#include "dialogseam.h"
#include "errors.h"
#include "formscale.h"

#include <QEvent>
#include <QItemSelectionModel>
#include <QListWidget>
#include <QPalette>
#include <QStyledItemDelegate>
#include <QUrl>

namespace {

// One line per contributor, "name <address>", then an empty line that opens a mail to nobody.
const char* const Contributors[] = {
    "Quillmar translators <translators@example.org>",
    "Quillmar developers <developers@example.org>",
    "",
};

/// Gives every line of the list the same fixed height, whatever the font asks for.
class FixedHeightDelegate : public QStyledItemDelegate
{
public:
    FixedHeightDelegate(int height, QObject* parent) : QStyledItemDelegate(parent), m_height(height)
    {
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return {QStyledItemDelegate::sizeHint(option, index).width(), m_height};
    }

private:
    int m_height;
};

} // namespace

TCreditsForm::TCreditsForm(DialogSeam& seam, QWidget* parent)
    : TInfoForm(QStringLiteral("Special thanks to:"), 162, parent), m_seam(seam)
{
    const FormScale px(this);

    m_listBox = new QListWidget(this);
    m_listBox->setObjectName(QStringLiteral("ListBox"));
    m_listBox->setGeometry(px(4, 4, 242, 145));
    m_listBox->setSelectionMode(QAbstractItemView::SingleSelection);
    m_listBox->setFont(FormFont(9));
    m_listBox->setUniformItemSizes(true);
    m_listBox->setItemDelegate(new FixedHeightDelegate(px(16), m_listBox));
    QPalette pal = m_listBox->palette();
    pal.setColor(QPalette::Base, QColor(0, 128, 128));
    pal.setColor(QPalette::Text, QColor(0, 255, 255));
    m_listBox->setPalette(pal);
    for (const char* line : Contributors)
        m_listBox->addItem(QString::fromUtf8(line));
    // Every line is shown whole: where the longest is wider than the list, list and dialog
    // widen together, keeping the list's margins.
    const int needed = m_listBox->sizeHintForColumn(0) + 2 * m_listBox->frameWidth();
    if (needed > m_listBox->width()) {
        m_listBox->resize(needed, m_listBox->height());
        setFixedWidth(2 * m_listBox->x() + needed);
    }

    // The double-click arrives at the viewport, also below the last line, where no item
    // signal would report it.
    m_listBox->viewport()->installEventFilter(this);
}

bool TCreditsForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_listBox->viewport() && event->type() == QEvent::MouseButtonDblClick)
        ListBoxDblClick();
    return TInfoForm::eventFilter(watched, event);
}

int TCreditsForm::SelectedIndex() const
{
    const QModelIndexList rows = m_listBox->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

QString TCreditsForm::ItemText(int index) const
{
    if (index < 0 || index >= m_listBox->count())
        throw EListError(index);
    return m_listBox->item(index)->text();
}

void TCreditsForm::ListBoxDblClick()
{
    // Called from the event loop, which must never see an exception: the error box takes it.
    try {
        // The whole line, name and angle brackets included; the mail client sorts it out.
        m_seam.OpenUrl(
            QUrl(QStringLiteral("mailto:") + ItemText(SelectedIndex()), QUrl::TolerantMode));
    } catch (const Exception& e) {
        m_seam.ShowError(ErrorBoxText(e.Message()));
    }
}
