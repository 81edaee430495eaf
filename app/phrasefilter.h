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
};

/// Whether filter shows the document's phrase as it is now.
bool PhraseFilterAccepts(PhraseFilter filter, const PhraseDocument& doc, int phrase);
