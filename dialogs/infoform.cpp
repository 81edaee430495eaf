#include "infoform.h"
#include "formscale.h"

#include <QPalette>
#include <QPushButton>

namespace {

// The dialogs were laid out as a 258 x 227 window; what lies inside its 4-pixel border and
// 19-pixel tool-window caption is the client area the controls are placed in.
constexpr int ClientWidth = 250;
constexpr int ClientHeight = 200;

} // namespace

TInfoForm::TInfoForm(const QString& caption, int okTop, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    const FormScale px(this);
    setWindowTitle(caption);
    setFixedSize(px(QSize(ClientWidth, ClientHeight)));
    setFont(FormFont(8));

    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setAutoFillBackground(true);

    // Made before any other control, so it leads the tab order.
    m_okButton = new QPushButton(QStringLiteral("OK"), this);
    m_okButton->setObjectName(QStringLiteral("OKButton"));
    m_okButton->setGeometry(px(6, okTop, 90, 30));
    m_okButton->setDefault(true);
    connect(m_okButton, &QPushButton::clicked, this, &QDialog::accept);
}

QPoint TInfoForm::CentredOver(const QRect& mainFrame, const QSize& dialogFrame)
{
    // Integer division in C++ truncates toward zero, also for a dialog wider than the window.
    return {mainFrame.left() + (mainFrame.width() - dialogFrame.width()) / 2,
            mainFrame.top() + (mainFrame.height() - dialogFrame.height()) / 2};
}

int TInfoForm::ShowModalOver(const QWidget* mainWindow)
{
    if (!m_placed)
        m_centreOver = mainWindow;
    return exec();
}

void TInfoForm::showEvent(QShowEvent* event)
{
    if (!m_placed) {
        m_placed = true;
        // Placed here rather than before showing: only a window about to appear knows the
        // frame the platform gives it. Moving also tells QDialog to leave the place alone on
        // every later show.
        if (m_centreOver)
            move(CentredOver(m_centreOver->frameGeometry(), frameGeometry().size()));
        m_centreOver = nullptr;
    }
    QDialog::showEvent(event);
    m_okButton->setFocus(Qt::OtherFocusReason);
}
