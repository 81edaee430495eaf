#include "find.h"
#include "../dialogs/formscale.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

QString TrimControls(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= 0x20)
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= 0x20)
        --end;
    return text.mid(begin, end - begin);
}

namespace {

QCheckBox* OptionBox(const char* name, const char* caption, bool checked, const QRect& bounds,
                     QWidget* parent)
{
    auto* box = new QCheckBox(QString::fromLatin1(caption), parent);
    box->setObjectName(QLatin1String(name));
    box->setChecked(checked);
    box->setGeometry(bounds);
    return box;
}

} // namespace

TFindForm::TFindForm(QWidget* parent)
    : QDialog(parent,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    const FormScale px(this);
    setWindowTitle(QStringLiteral("Find..."));
    setFixedSize(px(QSize(412, 161)));
    setFont(FormFont(8));

    m_findLabel = new QLabel(QStringLiteral("Text to find:"), this);
    m_findLabel->setObjectName(QStringLiteral("FindLabel"));
    m_findLabel->setGeometry(px(8, 8, 67, 16));
    // A label is as wide as its caption, which the box was laid out for in a narrower face.
    m_findLabel->resize(qMax(m_findLabel->width(), m_findLabel->sizeHint().width()),
                        m_findLabel->height());

    m_findEdit = new QLineEdit(this);
    m_findEdit->setObjectName(QStringLiteral("FindEdit"));
    m_findEdit->setGeometry(px(8, 24, 297, 24));

    m_findNextAction = new QAction(QStringLiteral("Find"), this);
    m_findNextAction->setObjectName(QStringLiteral("FindNextAction"));
    m_findButton = new QPushButton(this);
    m_findButton->setObjectName(QStringLiteral("FindButton"));
    m_findButton->setGeometry(px(312, 24, 90, 30));
    m_findButton->setDefault(true);
    // The button shows its action's caption and state and runs the action when pressed.
    auto followAction = [this] {
        m_findButton->setText(m_findNextAction->text());
        m_findButton->setEnabled(m_findNextAction->isEnabled());
    };
    connect(m_findNextAction, &QAction::changed, m_findButton, followAction);
    followAction();
    connect(m_findButton, &QPushButton::clicked, m_findNextAction, &QAction::trigger);
    connect(m_findNextAction, &QAction::triggered, this, &TFindForm::FindNextActionExecute);

    m_closeButton = new QPushButton(QStringLiteral("Close"), this);
    m_closeButton->setObjectName(QStringLiteral("CloseButton"));
    m_closeButton->setGeometry(px(312, 64, 90, 30));
    connect(m_closeButton, &QPushButton::clicked, this, &TFindForm::CloseButtonClick);

    m_originalBox =
        OptionBox("OriginalBox", "Find in original column", true, px(8, 56, 297, 17), this);
    m_translatedBox =
        OptionBox("TranslatedBox", "Find in translated column", true, px(8, 80, 297, 17), this);
    m_registryBox = OptionBox("RegistryBox", "Case sensitive", false, px(8, 104, 393, 17), this);
    m_maskOrdBox = OptionBox("MaskOrdBox", "Use '*' and '?' symbols as ordinary characters", false,
                             px(8, 128, 393, 17), this);

    setTabOrder(m_findEdit, m_findButton);
    setTabOrder(m_findButton, m_closeButton);
    setTabOrder(m_closeButton, m_originalBox);
    setTabOrder(m_originalBox, m_translatedBox);
    setTabOrder(m_translatedBox, m_registryBox);
    setTabOrder(m_registryBox, m_maskOrdBox);

    connect(m_findEdit, &QLineEdit::textChanged, this, [this] {
        FindNextActionUpdate();
        emit SearchTextChanged();
    });
    FindNextActionUpdate();

    // Where the dialog was laid out on the screen; moving it also keeps QDialog from centring it.
    move(px(QPoint(320, 157)));
}

QString TFindForm::FindText() const
{
    return m_findEdit->text();
}

bool TFindForm::FindInOriginal() const
{
    return m_originalBox->isChecked();
}

bool TFindForm::FindInTranslated() const
{
    return m_translatedBox->isChecked();
}

bool TFindForm::CaseSensitive() const
{
    return m_registryBox->isChecked();
}

bool TFindForm::MasksAsOrdinary() const
{
    return m_maskOrdBox->isChecked();
}

bool TFindForm::HasSearchText() const
{
    return !TrimControls(m_findEdit->text()).isEmpty();
}

void TFindForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Each opening starts at the search text, ready to be typed over, wherever the focus was
    // when the dialog was last closed.
    m_findEdit->setFocus(Qt::OtherFocusReason);
    m_findEdit->selectAll();
}

void TFindForm::FindNextActionUpdate()
{
    m_findNextAction->setEnabled(HasSearchText());
}

void TFindForm::FindNextActionExecute()
{
    accept();
}

void TFindForm::CloseButtonClick()
{
    reject();
}
