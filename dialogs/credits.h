#pragma once
#include "infoform.h"

class DialogSeam;
class QListWidget;

/// The Credits dialog: the list of contributors; double-clicking a line starts a new mail to it.
class TCreditsForm : public TInfoForm
{
    Q_OBJECT
public:
    explicit TCreditsForm(DialogSeam& seam, QWidget* parent = nullptr);

    QListWidget* ListBox() const { return m_listBox; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ListBoxDblClick();
    /// The selected line, -1 when none is selected.
    int SelectedIndex() const;
    /// The whole text of line index; EListError when there is no such line.
    QString ItemText(int index) const;

    DialogSeam& m_seam;
    QListWidget* m_listBox;
};
