#include "phrasefilter.h"

#include "phrasedocument.h"

bool PhraseFilterAccepts(PhraseFilter filter, const PhraseDocument& doc, int phrase,
                         bool hasProblems)
{
    const TranslationState state = doc.PhraseState(phrase);
    switch (filter) {
    case PhraseFilter::All:
        return true;
    case PhraseFilter::NeedsWork:
        return state == TranslationState::tsMissing || state == TranslationState::tsUntranslated;
    case PhraseFilter::Missing:
        return state == TranslationState::tsMissing;
    case PhraseFilter::Untranslated:
        return state == TranslationState::tsUntranslated;
    case PhraseFilter::Translated:
        return state == TranslationState::tsTranslated;
    case PhraseFilter::WithProblems:
        return hasProblems;
    case PhraseFilter::Obsolete:
        return state == TranslationState::tsObsolete;
    }
    return true;
}
