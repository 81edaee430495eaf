#include "phrasesearch.h"

#include "asciicase.h"
#include "masks.h"
#include "stringtable.h"

#include <QByteArrayMatcher>
#include <algorithm>
#include <array>

namespace {

enum class Folded { Found, NotFound, NeedsDecoding };

// Looks for an upper-cased pattern in text, folding the text byte by byte as it goes instead of
// copying it first. With asciiOnly, a byte above 0x7F stops the scan: in a multi-byte encoding
// it may begin a character whose capital only the codec knows.
Folded FoldedContains(QByteArrayView text, QByteArrayView pattern,
                      const std::array<unsigned char, 256>& upper, bool asciiOnly)
{
    const auto* t = reinterpret_cast<const unsigned char*>(text.data());
    const auto* p = reinterpret_cast<const unsigned char*>(pattern.data());
    const qsizetype n = text.size();
    const qsizetype m = pattern.size();
    if (asciiOnly)
        for (qsizetype i = 0; i < n; ++i)
            if (t[i] >= 0x80)
                return Folded::NeedsDecoding;
    if (m == 0)
        return Folded::Found;
    for (qsizetype i = 0; i + m <= n; ++i) {
        if (upper[t[i]] != p[0])
            continue;
        qsizetype k = 1;
        while (k < m && upper[t[i + k]] == p[k])
            ++k;
        if (k == m)
            return Folded::Found;
    }
    return Folded::NotFound;
}

} // namespace

std::optional<int> FindPhrase(const PhraseDocument& doc, int from, const SearchRequest& request,
                              const TextCodec& codec, const std::vector<int>* shown)
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
    // Plain searches fold as they scan: with a byte table (single-byte encodings), or with the
    // ASCII table for texts without high bytes when the pattern itself is ASCII.
    const std::array<unsigned char, 256>* table = codec.UpperTable();
    const bool patternAscii = std::all_of(pattern.begin(), pattern.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x80;
    });
    const bool fusedFold = fold && !maskMode && (table || patternAscii);
    QByteArray plain; // likewise
    auto matches = [&](QByteArrayView text) {
        // A code part is found by its code as written: the markers around it are no text.
        if (text.contains(PhpCodeOpen)) {
            plain = text.toByteArray();
            plain.removeIf([](char c) { return c == PhpCodeOpen || c == PhpCodeClose; });
            text = plain;
        }
        if (fusedFold) {
            const Folded r =
                FoldedContains(text, pattern, table ? *table : AsciiUpperTable, !table);
            if (r != Folded::NeedsDecoding)
                return r == Folded::Found;
        }
        QByteArrayView subject = text;
        if (fold) {
            codec.UpperCaseInto(text, folded);
            subject = folded;
        }
        if (!maskMode)
            return matcher.indexIn(subject) >= 0;
        if (!mask) {
            try {
                mask.emplace(pattern, codec.LeadBytes());
            } catch (const EMaskError& e) {
                // One arg() call, so a '%1' inside the mask (printf patterns) stays as typed.
                throw Exception(QString::fromLatin1(strings::InvalidMask)
                                    .arg(codec.ToUnicode(e.mask()), QString::number(e.position())));
            }
        }
        return mask->Accepts(subject);
    };

    BorrowedPhraseTexts texts; // refilled for every phrase, its storage reused
    const int count = shown ? int(shown->size()) : doc.PhraseCount();
    for (int at = std::max(from, 0); at < count; ++at) {
        const int i = shown ? (*shown)[size_t(at)] : at;
        doc.BorrowPhraseTexts(i, texts, request.inOriginal, request.inTranslated);
        if (request.inOriginal && matches(texts.column))
            return at;
        if (request.inTranslated && matches(texts.translation))
            return at;
    }
    return std::nullopt;
}

std::optional<int> FindNextState(const PhraseDocument& doc, int current, TranslationState state,
                                 const std::vector<int>* shown)
{
    const int count = shown ? int(shown->size()) : doc.PhraseCount();
    for (int at = std::max(current + 1, 0); at < count; ++at)
        if (doc.PhraseState(shown ? (*shown)[size_t(at)] : at) == state)
            return at;
    return std::nullopt;
}
