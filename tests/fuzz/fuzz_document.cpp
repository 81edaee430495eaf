// Loading a template, merging translations and writing the translation file, on any bytes.
// The input is the template's bytes, then up to three translations, each behind a 0xFF 0x00 pair.
// Before each merge a text is typed into one phrase. After every step the document's invariants
// are checked; the written file is then loaded as a
// template and merged into the first template, and must give back what was written.
#include "fuzzcheck.h"
#include "phrasedocument.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
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

// A phrase as the document shows it; its texts are its own, so it survives the next load.
struct Phrase
{
    PhraseLineKind kind;
    QByteArray key;
    int line;
    QByteArray original;
    QByteArray translation;
    TranslationState state;
};

std::vector<Phrase> Snapshot(const PhraseDocument& doc)
{
    std::vector<Phrase> phrases;
    for (int i = 0; i < doc.PhraseCount(); ++i)
        phrases.push_back({doc.PhraseKind(i), doc.PhraseKey(i), doc.PhraseKeyTag(i),
                           doc.PhraseOriginal(i), doc.PhraseTranslation(i), doc.PhraseState(i)});
    return phrases;
}

// The written line of a phrase reads back with other texts in two cases: in a quoted literal, a
// typed escape of the quote or a final backslash reads back as what it means in PHP (the
// literal round trip is the phrase-line fuzzer's to check); in brackets, the text ends at its
// first "]]", and a final ']' forms one with the closing brackets.
bool ChangesWhenWritten(PhraseLineKind kind, const QByteArray& text)
{
    if (kind == PhraseLineKind::lkBracket)
        return text.endsWith(']') || text.contains("]]");
    return text.contains('\\');
}

// A line's value is read only after a non-empty key: a text typed for a phrase without a key is
// written but does not read back.
bool TranslationReadsBack(const Phrase& p)
{
    return !p.key.isEmpty() && !ChangesWhenWritten(p.kind, p.translation);
}

// The lines of the template bytes the document was loaded from, read apart from it.
std::vector<QByteArrayView> TemplateLines(QByteArrayView data)
{
    std::vector<QByteArrayView> lines;
    for (const LineSpan& s : SplitLines(data))
        lines.push_back(data.sliced(s.offset, s.length));
    return lines;
}

// The template's text as the document reads it: up to its NUL, or to the end of a
// __halt_compiler(); statement. The bytes after it are kept, not read.
QByteArrayView TemplateText(const PhraseDocument& doc, QByteArrayView templ)
{
    const std::optional<NulCut>& cut = doc.TemplateCut();
    return cut ? templ.first(templ.size() - qsizetype(cut->bytesAfter)) : templ;
}

// What holds after any load or merge: the per-phrase lists answer for every phrase (their index
// checks are on in this build), tags point both ways between a phrase and its defining line,
// phrases follow their lines' order, keys are unique, and each phrase is defined by the first
// line that carries its key, with that line's kind, key and value.
void CheckInvariants(const PhraseDocument& doc, QByteArrayView templ)
{
    const int lines = doc.TemplateLineCount();
    const int phrases = doc.PhraseCount();
    const std::vector<QByteArrayView> lineTexts = TemplateLines(TemplateText(doc, templ));
    FUZZ_REQUIRE(lineTexts.size() == size_t(lines));
    FUZZ_REQUIRE(doc.IsDocumentLoaded() == (lines > 0));
    FUZZ_REQUIRE(phrases <= lines);

    std::set<QByteArray> keys;
    PhraseStatistics counted;
    counted.phrases = phrases;
    int previousLine = -1;
    BorrowedPhraseTexts texts;
    for (int i = 0; i < phrases; ++i) {
        const int line = doc.PhraseKeyTag(i);
        FUZZ_REQUIRE(line > previousLine && line < lines);
        previousLine = line;
        FUZZ_REQUIRE(doc.TemplateLineTag(line) == i);
        FUZZ_REQUIRE(doc.PhraseKind(i) != PhraseLineKind::lkNone);
        FUZZ_REQUIRE(keys.insert(doc.PhraseKey(i)).second);
        FUZZ_REQUIRE(doc.FindKey(doc.PhraseKey(i)) == i);
        doc.BorrowPhraseTexts(i, texts, true, true);
        FUZZ_REQUIRE(texts.key == doc.PhraseKey(i) && texts.original == doc.PhraseOriginal(i) &&
                     texts.translation == doc.PhraseTranslation(i));
        const TranslationState state = doc.PhraseState(i);
        FUZZ_REQUIRE(state == TranslationState::tsMissing ||
                     state == TranslationState::tsUntranslated ||
                     state == TranslationState::tsTranslated);
        if (state == TranslationState::tsMissing) {
            FUZZ_REQUIRE(doc.PhraseTranslation(i) == doc.PhraseOriginal(i));
            ++counted.missing;
        } else if (state == TranslationState::tsUntranslated) {
            ++counted.untranslated;
        }
    }
    const PhraseStatistics st = doc.Statistics();
    FUZZ_REQUIRE(st.phrases == counted.phrases && st.untranslated == counted.untranslated &&
                 st.missing == counted.missing);

    QByteArray key, value;
    for (int l = 0; l < lines; ++l) {
        const int tag = doc.TemplateLineTag(l);
        FUZZ_REQUIRE(tag >= -1 && tag < phrases);
        const PhraseLineKind kind = ParsePhraseLine(lineTexts[size_t(l)], key, value);
        if (kind == PhraseLineKind::lkNone) {
            FUZZ_REQUIRE(tag == -1);
            continue;
        }
        const std::optional<int> owner = doc.FindKey(key);
        FUZZ_REQUIRE(owner.has_value());
        FUZZ_REQUIRE(doc.PhraseKey(*owner) == key);
        if (tag < 0) {
            FUZZ_REQUIRE(doc.PhraseKeyTag(*owner) < l);
            continue;
        }
        FUZZ_REQUIRE(tag == *owner && doc.PhraseKeyTag(tag) == l);
        FUZZ_REQUIRE(doc.PhraseKind(tag) == kind && doc.PhraseOriginal(tag) == value);
    }
}

// The written file: one line per template line, each ended by CR LF, with no other break and no
// NUL inside; lines that define no phrase stand as they are in the template. Then the template's
// bytes after its text, as they are; a line they go on in is not ended.
void CheckWritten(const PhraseDocument& doc, QByteArrayView templ, const QByteArray& written)
{
    const int lines = doc.TemplateLineCount();
    const QByteArrayView text = TemplateText(doc, templ);
    const QByteArrayView tail = templ.sliced(text.size());
    FUZZ_REQUIRE(QByteArrayView(written).endsWith(tail));
    const QByteArray head = written.first(written.size() - tail.size());
    const bool open = !tail.isEmpty() && lines > 0 && !text.endsWith('\n') && !text.endsWith('\r');
    const int ended = open ? lines - 1 : lines;
    FUZZ_REQUIRE(head.count("\r\n") == ended);
    FUZZ_REQUIRE(head.count('\r') == ended && head.count('\n') == ended);
    FUZZ_REQUIRE(ended == 0 || open || head.endsWith("\r\n"));
    FUZZ_REQUIRE(!head.contains('\0'));
    const std::vector<LineSpan> spans = SplitLines(head);
    FUZZ_REQUIRE(spans.size() == size_t(lines));
    const std::vector<QByteArrayView> lineTexts = TemplateLines(text);
    for (int l = 0; l < lines; ++l) {
        if (doc.TemplateLineTag(l) < 0)
            FUZZ_REQUIRE(
                QByteArrayView(head).sliced(spans[size_t(l)].offset, spans[size_t(l)].length) ==
                lineTexts[size_t(l)]);
    }
}

// Merges translation bytes and checks the outcome against what the merge promises: as in PHP,
// the first line that carries a key gives its value, judged against the text held before; a
// phrase kept as its template line has it takes no text but counts as present; a line whose
// value is not one literal gives nothing; the other phrases keep text and state.
void MergeAndCheck(PhraseDocument& doc, QByteArrayView templ, const ExactBytes& translation)
{
    std::vector<Phrase> expected = Snapshot(doc);
    const QByteArray bytes = translation.Raw();
    std::set<int> taken;
    PhraseLineParts parts;
    for (const LineSpan& s : SplitLines(bytes)) {
        if (ReadPhraseLine(QByteArrayView(bytes).sliced(s.offset, s.length), parts) ==
            PhraseLineKind::lkNone)
            continue;
        const std::optional<int> i = doc.FindKey(parts.key);
        if (!i || !taken.insert(*i).second)
            continue;
        Phrase& p = expected[size_t(*i)];
        if (!doc.PhraseEditable(*i)) {
            p.state = TranslationState::tsUntranslated;
            continue;
        }
        if (!parts.editable)
            continue;
        p.state = parts.value == p.translation ? TranslationState::tsUntranslated
                                               : TranslationState::tsTranslated;
        p.translation = parts.value;
    }

    doc.MergeTranslationData(bytes);
    CheckInvariants(doc, templ);
    FUZZ_REQUIRE(doc.PhraseCount() == int(expected.size()));
    for (int i = 0; i < doc.PhraseCount(); ++i) {
        FUZZ_REQUIRE(doc.PhraseTranslation(i) == expected[size_t(i)].translation);
        FUZZ_REQUIRE(doc.PhraseState(i) == expected[size_t(i)].state);
    }
}

// The written file, loaded as a template, has the same lines and phrases, its originals being the
// translations written; merged into the template it came from, it gives every phrase its written
// translation back: a later line that repeats a key is dead, as in PHP.
void CheckWrittenReadsBack(PhraseDocument& doc, const ExactBytes& templ, const QByteArray& written)
{
    const std::vector<Phrase> before = Snapshot(doc);
    const int lines = doc.TemplateLineCount();
    // A key that reads back as another one may meet a key of its own document: nothing to compare.
    for (const Phrase& p : before) {
        if (ChangesWhenWritten(p.kind, p.key))
            return;
    }

    const ExactBytes file(written);
    doc.LoadTemplateData(file.Raw());
    CheckInvariants(doc, file.Raw());
    FUZZ_REQUIRE(doc.TemplateLineCount() == lines);
    FUZZ_REQUIRE(doc.PhraseCount() == int(before.size()));
    for (int i = 0; i < doc.PhraseCount(); ++i) {
        const Phrase& p = before[size_t(i)];
        FUZZ_REQUIRE(doc.PhraseKey(i) == p.key);
        FUZZ_REQUIRE(doc.PhraseKind(i) == p.kind);
        FUZZ_REQUIRE(doc.PhraseKeyTag(i) == p.line);
        if (TranslationReadsBack(p))
            FUZZ_REQUIRE(doc.PhraseOriginal(i) == p.translation);
    }

    doc.LoadTemplateData(templ.Raw());
    doc.MergeTranslationData(file.Raw());
    CheckInvariants(doc, templ.Raw());
    for (int i = 0; i < doc.PhraseCount(); ++i) {
        const Phrase& p = before[size_t(i)];
        FUZZ_REQUIRE(doc.PhraseState(i) != TranslationState::tsMissing);
        if (TranslationReadsBack(p))
            FUZZ_REQUIRE(doc.PhraseTranslation(i) == p.translation);
    }
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
    doc.LoadTemplateData(templ.Raw());
    CheckInvariants(doc, templ.Raw());
    for (size_t t = 1; t < parts.size(); ++t) {
        // A text typed before each merge, taken from the translation's first bytes, into a
        // phrase picked by its size: typed texts are held apart from the files' bytes.
        const QByteArray bytes = parts[t].Raw();
        if (doc.PhraseCount() > 0) {
            const int phrase = int(bytes.size() % doc.PhraseCount());
            const QByteArray typed = bytes.first(std::min<qsizetype>(bytes.size(), 8)); // a copy
            const QByteArray stored = typed.first(LineLengthAt(typed, 0)); // one line at most
            const QByteArray before = doc.PhraseTranslation(phrase);
            const TranslationState state = doc.PhraseState(phrase);
            if (!doc.PhraseEditable(phrase)) {
                FUZZ_REQUIRE(!doc.CommitTranslation(phrase, typed));
                FUZZ_REQUIRE(doc.PhraseTranslation(phrase) == before);
            } else {
                FUZZ_REQUIRE(doc.CommitTranslation(phrase, typed) == (stored != before));
                FUZZ_REQUIRE(doc.PhraseTranslation(phrase) == stored);
                FUZZ_REQUIRE(doc.PhraseState(phrase) ==
                             (stored != before ? TranslationState::tsTranslated : state));
            }
        }
        MergeAndCheck(doc, templ.Raw(), parts[t]);
    }

    const QByteArray written = doc.BuildTranslationFile();
    CheckWritten(doc, templ.Raw(), written);
    CheckWrittenReadsBack(doc, templ, written);
    return 0;
}
