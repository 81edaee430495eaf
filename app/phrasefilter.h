#pragma once

class PhraseDocument;

/// Which phrases the grid shows (View menu). A new value needs a case in PhraseFilterAccepts
/// and an entry in the View menu's list (actions.cpp).
enum class PhraseFilter {
    All,          ///< every phrase
    NeedsWork,    ///< missing and untranslated
    Missing,      ///< tsMissing
    Untranslated, ///< tsUntranslated
    Translated,   ///< tsTranslated
    WithProblems, ///< translated phrases the checks find fault with
    Obsolete,     ///< tsObsolete: phrases the translation has and the template does not
};

/// Whether filter shows the document's phrase as it is now; hasProblems tells whether the
/// checks find fault with its translation.
bool PhraseFilterAccepts(PhraseFilter filter, const PhraseDocument& doc, int phrase,
                         bool hasProblems);
