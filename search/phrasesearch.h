#pragma once
#include "phrasedocument.h"
#include "textcodec.h"

#include <QByteArray>
#include <optional>
#include <vector>

/// What the find dialog asks for.
struct SearchRequest
{
    QByteArray pattern;           ///< as typed, not trimmed, in the document's encoding
    bool inOriginal = true;       ///< the key column: keys, or originals when they are shown
    bool inTranslated = true;     ///< the translation column
    bool caseSensitive = false;   ///< off: pattern and texts are upper-cased by the encoding
    bool masksAsOrdinary = false; ///< '*' and '?' are plain characters
};

/// The first phrase, from index `from` on, whose key-column text or translation matches; nothing
/// when the scan runs past the last phrase. A pattern holding '*' or '?' is a whole-text wildcard
/// mask unless masksAsOrdinary; otherwise it is a byte substring. Code parts are matched as
/// their code, without the markers of the text form. An invalid mask throws
/// Exception ("'%s' is an invalid mask at (%d)") when the first text is tested.
/// With `shown` (phrase indices in order, as a filtered grid lists them) only those are scanned,
/// and `from` and the result are positions in that list.
std::optional<int> FindPhrase(const PhraseDocument& doc, int from, const SearchRequest& request,
                              const TextCodec& codec, const std::vector<int>* shown = nullptr);

/// The first phrase after `current` (a phrase index, -1 for none) in the given state; with
/// `shown`, the first of those phrases, `current` and the result being positions in that list.
std::optional<int> FindNextState(const PhraseDocument& doc, int current, TranslationState state,
                                 const std::vector<int>* shown = nullptr);
