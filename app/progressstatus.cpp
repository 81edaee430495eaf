#include "progressstatus.h"

#include "phrasedocument.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>

#include <algorithm>

ProgressStatus::ProgressStatus(const PhraseDocument& document, QWidget* parent)
    : QWidget(parent), m_doc(document), m_modified(new QLabel(tr("Modified"), this)),
      m_bar(new QProgressBar(this)), m_label(new QLabel(this))
{
    setObjectName(QStringLiteral("ProgressStatus"));
    m_modified->setObjectName(QStringLiteral("ModifiedMark"));
    m_modified->setToolTip(tr("The translation has changes that are not saved yet"));
    m_bar->setObjectName(QStringLiteral("ProgressBar"));
    m_bar->setTextVisible(false);
    // Small beside the text: as wide as the text's digits, as high as a line of it.
    const QFontMetrics fm(font());
    m_bar->setFixedSize(fm.horizontalAdvance(QStringLiteral("0000000000")), fm.height() * 2 / 3);
    m_label->setObjectName(QStringLiteral("ProgressLabel"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_modified);
    layout->addWidget(m_bar);
    layout->addWidget(m_label);

    connect(&m_doc, &PhraseDocument::TemplateLoaded, this, &ProgressStatus::Update);
    connect(&m_doc, &PhraseDocument::Cleared, this, &ProgressStatus::Update);
    connect(&m_doc, &PhraseDocument::TranslationsMerged, this, &ProgressStatus::Update);
    connect(&m_doc, &PhraseDocument::TranslationChanged, this, &ProgressStatus::Update);
    connect(&m_doc, &PhraseDocument::ModifiedChanged, this, &ProgressStatus::Update);
    Update();
}

QString ProgressStatus::ProgressText(const PhraseStatistics& st, const QLocale& locale)
{
    const int percent = st.phrases > 0 ? int(qint64(st.translated) * 100 / st.phrases) : 0;
    return tr("%1 of %2 translated (%3 %)")
        .arg(locale.toString(st.translated), locale.toString(st.phrases), locale.toString(percent));
}

void ProgressStatus::Update()
{
    const bool loaded = m_doc.IsDocumentLoaded();
    if (!loaded) {
        hide();
        return;
    }
    const PhraseStatistics st = m_doc.Statistics();
    // A range of 0 to 0 would show a busy bar: a template without phrases shows an empty one.
    m_bar->setRange(0, std::max(st.phrases, 1));
    m_bar->setValue(st.translated);
    m_label->setText(ProgressText(st, QLocale::system()));
    m_modified->setVisible(m_doc.Modified());
    show();
}
