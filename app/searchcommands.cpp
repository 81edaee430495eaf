// Find, Find again and the jumps to the next untranslated or missing phrase.
#include "mainform.h"

#include "find.h"
#include "phrasegrid.h"
#include "phrasemodel.h"
#include "phrasesearch.h"
#include "stringtable.h"

#include <QDialog>

void TMainForm::EditFindActionExecute()
{
    if (m_findForm->exec() != QDialog::Rejected)
        FindText(false);
}

void TMainForm::EditAgainActionExecute()
{
    FindText(true);
}

void TMainForm::FindText(bool again)
{
    // The first search tests the current row's own phrase; Find again starts below it. Only the
    // rows shown are searched: positions are rows.
    const int current = m_grid->currentIndex().isValid() ? m_grid->currentIndex().row() : -1;
    const int from = again ? current + 1 : std::max(current, 0);

    SearchRequest request;
    const QString typed = m_findForm->FindText();
    // A character the encoding cannot hold can match nothing; keep it as is so nothing is lost.
    request.pattern = m_codec.FromUnicode(typed).value_or(typed.toUtf8());
    request.inOriginal = m_findForm->FindInOriginal();
    request.inTranslated = m_findForm->FindInTranslated();
    request.caseSensitive = m_findForm->CaseSensitive();
    request.masksAsOrdinary = m_findForm->MasksAsOrdinary();

    const std::optional<int> found =
        FindPhrase(m_doc, from, request, m_codec, m_model->ShownPhrases());
    if (!found) {
        m_seam.ShowNotice(QString::fromLatin1(strings::TextNotFound));
        return;
    }
    m_grid->MoveToRow(*found);
}

void TMainForm::GotoNextState(TranslationState state)
{
    const int current = m_grid->currentIndex().isValid() ? m_grid->currentIndex().row() : -1;
    if (const std::optional<int> next =
            FindNextState(m_doc, current, state, m_model->ShownPhrases()))
        m_grid->MoveToRow(*next);
}
