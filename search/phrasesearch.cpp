#include "phrasesearch.h"

#include "masks.h"
#include "stringtable.h"

#include <QByteArrayMatcher>

std::optional<int> FindPhrase(const PhraseDocument& doc, int from, const SearchRequest& request,
                              const TextCodec& codec)
{
    const bool fold = !request.caseSensitive;
    const QByteArray pattern = fold ? codec.UpperCase(request.pattern) : request.pattern;
    const bool maskMode =
        !request.masksAsOrdinary && (pattern.contains('*') || pattern.contains('?'));

    // The mask is compiled once, when the first text is tested, so an invalid mask is reported
    // only when there was something to test.
    std::optional<TMask> mask;
    const QByteArrayMatcher matcher(pattern);
    QByteArray folded; // reused for every text: no allocation per phrase
    auto matches = [&](const QByteArray& text) {
        QByteArrayView subject = text;
        if (fold) {
            codec.UpperCaseInto(text, folded);
            subject = folded;
        }
        if (!maskMode)
            return matcher.indexIn(subject) >= 0;
        if (!mask) {
            try {
                mask.emplace(pattern, codec.leadBytes());
            } catch (const EMaskError& e) {
                // One arg() call, so a '%1' inside the mask (printf patterns) stays as typed.
                throw Exception(QString::fromLatin1(strings::InvalidMask)
                                    .arg(codec.ToUnicode(e.mask()), QString::number(e.position())));
            }
        }
        return mask->Accepts(subject);
    };

    for (int i = std::max(from, 0); i < doc.PhraseCount(); ++i) {
        if (request.inOriginal && matches(doc.PhraseColumnText(i)))
            return i;
        if (request.inTranslated && matches(doc.PhraseTranslation(i)))
            return i;
    }
    return std::nullopt;
}

std::optional<int> FindNextState(const PhraseDocument& doc, int current, TranslationState state)
{
    for (int i = std::max(current + 1, 0); i < doc.PhraseCount(); ++i)
        if (doc.PhraseState(i) == state)
            return i;
    return std::nullopt;
}
