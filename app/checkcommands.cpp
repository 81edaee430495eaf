// The checks of the translations: the jump to the next phrase they find fault with and the
// count in the status line.
#include "mainform.h"

#include "phrasegrid.h"
#include "phrasemodel.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QStringList>

void TMainForm::NextProblemActionExecute()
{
    // Like the jumps to the next untranslated or missing phrase: only the rows shown, from the
    // row after the current one, and nothing happens past the last.
    const int current = m_grid->currentIndex().isValid() ? m_grid->currentIndex().row() : -1;
    if (const std::optional<int> next = m_model->NextProblemRow(current))
        m_grid->MoveToRow(*next);
}

void TMainForm::ConnectChecks()
{
    connect(m_model, &PhraseTableModel::ProblemsChanged, this, [this] {
        const int count = m_model->Problems().Count();
        m_problemsLabel->setText(count == 0   ? QString()
                                 : count == 1 ? tr("1 problem")
                                              : tr("%1 problems").arg(count));
    });
}

void TMainForm::CreateChecksMenu(QMenu* options)
{
    options->addSeparator();
    m_checksMenu = options->addMenu(tr("&Checks"));
    m_checksMenu->setObjectName(QStringLiteral("ChecksMenu"));
    // Code, an error, first, as the problems are listed.
    for (const PhraseCheck check : PhraseChecksInOrder) {
        QAction* a = m_checksMenu->addAction(QString::fromLatin1(PhraseCheckName(check)));
        a->setObjectName(QStringLiteral("Check_%1").arg(QLatin1String(PhraseCheckName(check))));
        a->setCheckable(true);
        a->setData(int(check));
        connect(a, &QAction::triggered, this, [this, check](bool on) {
            PhraseCheckSet enabled = m_model->Problems().Enabled();
            if (on)
                enabled.Insert(check);
            else
                enabled.Remove(check);
            m_model->SetEnabledChecks(enabled);
            UpdateActions();
        });
    }
    connect(m_checksMenu, &QMenu::aboutToShow, this, &TMainForm::UpdateActions);
}

QString TMainForm::SkippedChecks() const
{
    // Stored as the checks turned off, by name: a check a later version adds is on for the
    // settings written before it.
    QStringList names;
    for (const PhraseCheck check : PhraseChecksInOrder)
        if (!m_model->Problems().Enabled().Contains(check))
            names << QString::fromLatin1(PhraseCheckName(check));
    return names.join(QLatin1Char(','));
}

void TMainForm::SetSkippedChecks(const QString& names)
{
    // Names this version does not know (a check of a later one) are passed over.
    PhraseCheckSet enabled = PhraseCheckSet::All();
    for (const QString& name : names.split(QLatin1Char(','), Qt::SkipEmptyParts))
        if (const auto check = PhraseCheckFromName(name.trimmed().toLatin1()))
            enabled.Remove(*check);
    m_model->SetEnabledChecks(enabled);
    UpdateActions();
}
