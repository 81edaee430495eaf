// Loading a template, merging translations and writing the translation file, on any bytes.
// The input is the template's bytes, then up to three translations, each behind a 0xFF 0x00 pair.
// Before each merge a text is typed into one phrase. After every step the document's invariants
// are checked; an untranslated template is written back byte for byte, and the written file,
// merged into the template again, gives back the translations it was written with.
#include "errors.h"
#include "fuzzcheck.h"
#include "phplexer.h"
#include "phpvalue.h"
#include "phrasedocument.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <set>
#include <vector>

namespace {

// Bytes in a block of exactly their size, handed over as raw data: a read past the end of a
// template or translation is then a read past the block, which the address sanitizer reports.
class ExactBytes
{
public:
    explicit ExactBytes(QByteArrayView bytes)
        : m_bytes(std::make_unique<char[]>(size_t(bytes.size()))), m_size(bytes.size())
    {
        if (m_size > 0)
            std::memcpy(m_bytes.get(), bytes.data(), size_t(m_size));
    }
    QByteArray Raw() const { return QByteArray::fromRawData(m_bytes.get(), m_size); }

private:
    std::unique_ptr<char[]> m_bytes;
    qsizetype m_size;
};

// The template's text as the document reads it: up to its NUL, or to the end of a
// __halt_compiler(); statement. The bytes after it are kept, not read.
QByteArrayView TemplateText(const PhraseDocument& doc, QByteArrayView templ)
{
    const std::optional<NulCut>& cut = doc.TemplateCut();
    return cut ? templ.first(templ.size() - qsizetype(cut->bytesAfter)) : templ;
}

// What holds after any load or merge: every phrase answers for its texts, borrowed or copied
// alike; keys are unique and found again; template phrases follow the order of their statements'
// lines and the obsolete ones follow them; the counts by state are a count of the states.
void CheckInvariants(const PhraseDocument& doc)
{
    const int phrases = doc.PhraseCount();
    const PhraseStatistics st = doc.Statistics();
    const int templatePhrases = phrases - st.obsolete;
    FUZZ_REQUIRE(doc.IsDocumentLoaded() == (doc.TemplateLineCount() > 0));
    std::set<QByteArray> keys;
    int counted[4] = {0, 0, 0, 0};
    int previousLine = -1;
    BorrowedPhraseTexts texts;
    for (int i = 0; i < phrases; ++i) {
        FUZZ_REQUIRE(doc.PhraseKind(i) != PhraseLineKind::lkNone);
        FUZZ_REQUIRE(keys.insert(doc.PhraseKey(i)).second);
        FUZZ_REQUIRE(doc.FindKey(doc.PhraseKey(i)) == i);
        doc.BorrowPhraseTexts(i, texts, true, true);
        FUZZ_REQUIRE(texts.key == doc.PhraseKey(i) && texts.original == doc.PhraseOriginal(i) &&
                     texts.translation == doc.PhraseTranslation(i));
        const TranslationState state = doc.PhraseState(i);
        FUZZ_REQUIRE((state == TranslationState::tsObsolete) == (i >= templatePhrases));
        ++counted[int(state)];
        if (i >= templatePhrases) {
            FUZZ_REQUIRE(!doc.PhraseEditable(i));
            continue;
        }
        const int line = doc.PhraseKeyTag(i);
        FUZZ_REQUIRE(line >= previousLine && line < doc.TemplateLineCount());
        previousLine = line;
        const int first = doc.TemplateLineTag(line);
        FUZZ_REQUIRE(first >= 0 && first <= i && doc.PhraseKeyTag(first) == line);
        if (state == TranslationState::tsMissing)
            FUZZ_REQUIRE(doc.PhraseTranslation(i) == doc.PhraseOriginal(i));
    }
    FUZZ_REQUIRE(st.phrases == templatePhrases && st.missing == counted[0] &&
                 st.untranslated == counted[1] && st.translated == counted[2]);
}

// A text with every line break as LF, as a written text is compared: the writer puts a typed
// break as the line breaks of the value it replaces.
QByteArray UnifiedBreaks(QByteArray text)
{
    return text.replace("\r\n", "\n").replace('\r', '\n');
}

// Whether a stored text is one the writer and reader give back byte for byte: no backslash
// (escapes are read in the literal's own terms), no code marker (its code is written as
// code), no line break (the literal's own break style is written), and no "[[" or "<?": in a
// file without an open tag, a line that begins with one is a bracket line, or opens PHP code.
bool ReadsBackExactly(const QByteArray& text)
{
    if (text.contains("[[") || text.contains("<?"))
        return false;
    for (const char c : text)
        if (c == '\\' || c == PhpCodeOpen || c == PhpCodeClose || c == '\r' || c == '\n' ||
            c == '$' || c == '{')
            return false;
    return true;
}

// Whether bytes hold a string, comment or heredoc never closed, read as a file or as code: then
// where a value ends depends on what is written into it, and nothing can be read back.
bool HasUnclosed(QByteArrayView bytes)
{
    bool unclosed = false;
    for (const bool inCode : {false, true}) {
        PhpLexOptions options;
        options.startInCode = inCode;
        LexPhp(bytes, options, [&](const PhpToken& t) {
            unclosed =
                unclosed || t.kind == PhpTokenKind::Bad || (t.flags & PhpTokenFlag::Unterminated);
        });
    }
    return unclosed;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    constexpr int MaxTranslations = 3;
    const QByteArrayView input(reinterpret_cast<const char*>(data), qsizetype(size));
    std::vector<ExactBytes> parts;
    qsizetype start = 0;
    while (int(parts.size()) < MaxTranslations) {
        const qsizetype separator = input.indexOf(QByteArrayView("\xFF\x00", 2), start);
        if (separator < 0)
            break;
        parts.emplace_back(input.sliced(start, separator - start));
        start = separator + 2;
    }
    parts.emplace_back(input.sliced(start));

    PhraseDocument doc;
    const ExactBytes& templ = parts.front();
    try {
        doc.LoadTemplateData(templ.Raw());
    } catch (const EListError&) {
        return 0; // beyond what a line number or a record can hold
    }
    CheckInvariants(doc);
    // Nothing translated yet: every byte of the file is the template's own.
    doc.SetLayout(SaveLayout::Lines);
    FUZZ_REQUIRE(doc.BuildTranslationFile() == templ.Raw());
    doc.SetLayout(SaveLayout::Template);
    FUZZ_REQUIRE(doc.BuildTranslationFile().endsWith(
        templ.Raw().sliced(TemplateText(doc, templ.Raw()).size())));
    for (size_t t = 1; t < parts.size(); ++t) {
        // A text typed before each merge, taken from the translation's first bytes, into a
        // phrase picked by its size: typed texts are held apart from the files' bytes.
        const QByteArray bytes = parts[t].Raw();
        if (doc.PhraseCount() > 0) {
            const int phrase = int(bytes.size() % doc.PhraseCount());
            const QByteArray typed = bytes.first(std::min<qsizetype>(bytes.size(), 8)); // a copy
            const QByteArray before = doc.PhraseTranslation(phrase);
            if (!doc.PhraseEditable(phrase)) {
                FUZZ_REQUIRE(!doc.CommitTranslation(phrase, typed));
                FUZZ_REQUIRE(doc.PhraseTranslation(phrase) == before);
            } else {
                doc.CommitTranslation(phrase, typed);
                const QByteArray stored = doc.PhraseTranslation(phrase);
                FUZZ_REQUIRE(!stored.contains('\0'));
                if (stored != before)
                    FUZZ_REQUIRE(doc.PhraseState(phrase) == TranslationState::tsTranslated);
            }
            CheckInvariants(doc);
        }
        const int templatePhrases = doc.PhraseCount() - doc.Statistics().obsolete;
        doc.MergeTranslationData(bytes);
        CheckInvariants(doc);
        FUZZ_REQUIRE(doc.PhraseCount() - doc.Statistics().obsolete == templatePhrases);
    }

    // Written in either layout and merged into the template again, every translation that
    // reads back exactly is there again, and no phrase of the template goes missing that had a
    // text. Not where the template or a code part a translation gave holds code never closed.
    bool readable = !HasUnclosed(TemplateText(doc, templ.Raw()));
    for (int i = 0; readable && i < doc.PhraseCount(); ++i) {
        const QByteArray translation = doc.PhraseTranslation(i);
        for (const QByteArrayView code : PhpCodeParts(translation))
            readable = readable && !HasUnclosed(code);
        // A "[[" or "<?" beginning a line of a file without an open tag changes how the whole
        // file is read again, every phrase's text with it.
        readable = readable && !translation.contains("[[") && !translation.contains("<?");
    }
    for (const SaveLayout layout : {SaveLayout::Template, SaveLayout::Lines}) {
        if (!readable)
            break;
        doc.SetLayout(layout);
        const QByteArray written = doc.BuildTranslationFile();
        FUZZ_REQUIRE(written.endsWith(templ.Raw().sliced(TemplateText(doc, templ.Raw()).size())));
        PhraseDocument again;
        again.LoadTemplateData(templ.Raw());
        again.MergeTranslationData(written);
        CheckInvariants(again);
        for (int i = 0; i < doc.PhraseCount() - doc.Statistics().obsolete; ++i) {
            const QByteArray text = doc.PhraseTranslation(i);
            if (!ReadsBackExactly(text) || !ReadsBackExactly(doc.PhraseKey(i)) ||
                doc.PhraseKind(i) == PhraseLineKind::lkBracket)
                continue;
            const std::optional<int> found = again.FindKey(doc.PhraseKey(i));
            if (!found)
                continue; // a key the template's own code reads otherwise once rewritten
            FUZZ_REQUIRE(UnifiedBreaks(again.PhraseTranslation(*found)) == UnifiedBreaks(text));
        }
    }
    return 0;
}
