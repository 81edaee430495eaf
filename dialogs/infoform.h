#pragma once
#include <QDialog>
#include <QPointer>

class QPushButton;

/// The frame the About and Credits dialogs share: a white tool window with a thin caption and no
/// caption buttons, a fixed size, and an OK button that is the default, first in the tab order
/// and focused when the dialog opens. Created once and only hidden between uses.
class TInfoForm : public QDialog
{
    Q_OBJECT
public:
    /// Shows the dialog modally. The first time it is centred over mainWindow; afterwards it
    /// comes back where it was when it was last closed, which is where the user may have dragged
    /// it. Returns the dialog's result, which the callers are free to ignore.
    int ShowModalOver(const QWidget* mainWindow);

    /// Where the dialog goes the first time: centred over the main window's frame, halves
    /// rounded toward zero as the layout arithmetic always did.
    static QPoint CentredOver(const QRect& mainFrame, const QSize& dialogFrame);

    QPushButton* OKButton() const { return m_okButton; }

protected:
    /// caption: the window title; okTop: the OK button's top at the design resolution.
    TInfoForm(const QString& caption, int okTop, QWidget* parent);
    void showEvent(QShowEvent* event) override;

private:
    QPushButton* m_okButton;
    QPointer<const QWidget> m_centreOver; // the window to centre over at the first show
    bool m_placed = false;
};
