#include "phrasedocument.h"
#include "errors.h"
#include "stringtable.h"

#include <QIODevice>
#include <algorithm>
#include <array>
#include <utility>
#include <cstring>
#include <limits>

namespace {

// Collects the translation file's bytes and hands them on in pieces of about a megabyte, so a
// huge file is never held twice. Bytes are copied in with memcpy: lines are short and many.
class PieceWriter
{
public:
    static constexpr qsizetype Piece = 1 << 20;
    explicit PieceWriter(const std::function<void(QByteArrayView)>& sink) : m_sink(sink)
    {
        m_buffer.resize(Piece + 4096);
    }
    void Put(QByteArrayView bytes)
    {
        if (m_used + bytes.size() > m_buffer.size())
            m_buffer.resize(m_used + bytes.size());
        if (!bytes.isEmpty())
            std::memcpy(m_buffer.data() + m_used, bytes.data(), size_t(bytes.size()));
        m_used += bytes.size();
    }
    void Put(char c) { Put(QByteArrayView(&c, 1)); }
    void EndLine()
    {
        Put(QByteArrayView("\r\n", 2));
        if (m_used >= Piece)
            Flush();
    }
    void Flush()
    {
        if (m_used > 0)
            m_sink(QByteArrayView(m_buffer.constData(), m_used));
        m_used = 0;
    }

private:
    const std::function<void(QByteArrayView)>& m_sink;
    QByteArray m_buffer;
    qsizetype m_used = 0;
};

// A literal in the given quote that reads back as text (AppendPhpLiteral); a text without
// quotes or backslashes, the common case, is copied as it stands.
void PutLiteral(PieceWriter& out, QByteArrayView text, char quote)
{
    const bool plain = text.isEmpty() ||
                       (!std::memchr(text.data(), quote, size_t(text.size())) &&
                        !std::memchr(text.data(), '\\', size_t(text.size())));
    if (plain) {
        out.Put(quote);
        out.Put(text);
        out.Put(quote);
        return;
    }
    QByteArray literal;
    AppendPhpLiteral(literal, text, quote);
    out.Put(literal);
}

// An output shape cut at its two "%s": the key goes between prefix and middle, the
// translation between middle and suffix. Cut once, not for every line written.
struct Shape
{
    QByteArrayView prefix, middle, suffix;
};

Shape CutShape(const char* shape)
{
    const QByteArrayView s(shape);
    const qsizetype first = s.indexOf("%s");
    const qsizetype second = s.indexOf("%s", first + 2);
    return {s.first(first), s.sliced(first + 2, second - first - 2), s.sliced(second + 2)};
}

const Shape& ShapeFor(PhraseLineKind kind)
{
    static const Shape shapes[] = {CutShape(strings::CaseLine), CutShape(strings::DefineLine),
                                   CutShape(strings::BracketLine),
                                   CutShape(strings::CaseStrToLowerLine)};
    return shapes[std::clamp(int(kind), 1, 4) - 1];
}

// Fills one output shape with key and translation, each taken whole and uninterpreted: bracket
// lines as they are, the other shapes as double-quoted literals.
void PutShape(PieceWriter& out, PhraseLineKind kind, QByteArrayView key, QByteArrayView text, char quote)
{
    const Shape& shape = ShapeFor(kind);
    out.Put(shape.prefix);
    if (kind == PhraseLineKind::lkBracket)
        out.Put(key);
    else
        PutLiteral(out, key, '"');
    out.Put(shape.middle);
    if (kind == PhraseLineKind::lkBracket)
        out.Put(text);
    else
        PutLiteral(out, text, quote);
    out.Put(shape.suffix);
}

// Offsets into a file's bytes take 40 bits (a terabyte), which leaves room beside them.
constexpr int OffsetBits = 40;
constexpr quint64 OffsetMask = (quint64(1) << OffsetBits) - 1;

// A phrase's template line: its offset, and its length in the 24 bits above (all ones for a line
// too long to say, which is measured again when read).
constexpr quint64 LongLine = 0xffffff;
quint64 LineSpanCode(qsizetype start, qsizetype length)
{
    return quint64(start) | std::min(quint64(length), LongLine) << OffsetBits;
}

// The line a span code stands for in text.
QByteArrayView SpanLine(QByteArrayView text, quint64 code)
{
    const qsizetype start = qsizetype(code & OffsetMask);
    const quint64 length = code >> OffsetBits;
    return text.sliced(start, length == LongLine ? LineLengthAt(text, start) : qsizetype(length));
}

// A phrase's kind byte: the kind, and whether its translation is written in single quotes (the
// quote it was read in, from the template or from the merged line that gave it).
constexpr quint8 KindMask = 0x07;
constexpr quint8 SingleQuoted = 0x80;

// A translation reference. With the top bit set, the low 32 bits index the typed texts. Else 0
// stands for the phrase's own template value, and otherwise bits 56..62 name the merged file
// (from 1), bits 40..55 give the value's length and bits 0..39 its offset there.
constexpr quint64 OwnedBit = quint64(1) << 63;
constexpr quint64 OwnedIndexMask = 0xffffffffu;
constexpr quint64 TemplateRef = 0;
constexpr int SourceShift = 56;
constexpr quint64 MaxSource = 0x7f;
constexpr quint64 MaxMergedLength = 0xffff;

inline void PrefetchAt(const void* p)
{
#if defined(__GNUC__)
    __builtin_prefetch(p);
#else
    (void)p;
#endif
}

// One line as ForEachParsedLine hands it over: where it lies and, for a phrase line, its key,
// value and the hash of its key.
struct ParsedLine
{
    qsizetype start = 0;
    qsizetype length = 0;
    PhraseLineKind kind = PhraseLineKind::lkNone;
    PhraseLineParts parts;
    std::uint64_t hash = 0;
};

// Calls handle(line) for every line of text, in order. Lines are parsed in batches and their
// index slots fetched together, then each stage(line) runs over the batch to fetch what the
// handling will read; so the cache misses of a huge file overlap instead of following each other.
template <class Handle, class... Stages>
void ForEachParsedLine(QByteArrayView text, const KeyIndex& index, Handle&& handle, Stages&&... stages)
{
    constexpr int BatchSize = 16;
    std::array<ParsedLine, BatchSize> batch;
    int count = 0;
    const auto flush = [&] {
        [[maybe_unused]] const auto runStage = [&](auto& stage) {
            for (int j = 0; j < count; ++j)
                if (batch[size_t(j)].kind != PhraseLineKind::lkNone)
                    stage(std::as_const(batch[size_t(j)]));
        };
        (runStage(stages), ...);
        for (int j = 0; j < count; ++j)
            handle(std::as_const(batch[size_t(j)]));
        count = 0;
    };
    ForEachLine(text, [&](qsizetype start, qsizetype length) {
        ParsedLine& line = batch[size_t(count++)];
        line.start = start;
        line.length = length;
        line.kind = ReadPhraseLine(text.sliced(start, length), line.parts, true);
        if (line.kind != PhraseLineKind::lkNone) {
            line.hash = index.Hash(line.parts.key);
            index.Prefetch(line.hash);
        }
        if (count == BatchSize)
            flush();
    });
    flush();
}

// A typed text up to its first line break or NUL: a break written inside a phrase line would
// split it, and a NUL would end the file's text there.
QByteArray FirstLine(const QByteArray& typed) { return typed.first(LineLengthAt(typed, 0)); }

// Where the NUL that ends a file's text stands, when it has one: the NUL and whatever follows
// it are not read, so saving over the file would drop them.
std::optional<NulCut> FindNulCut(QByteArrayView data)
{
    const QByteArrayView text = TextBeforeNul(data);
    if (text.size() == data.size())
        return std::nullopt;
    NulCut cut;
    ForEachLine(text, [&cut](qsizetype, qsizetype) { ++cut.line; });
    // The NUL stands on the last line read unless a line break came just before it.
    if (cut.line > 0 && !text.endsWith('\n') && !text.endsWith('\r'))
        --cut.line;
    cut.bytesAfter = data.size() - text.size();
    return cut;
}

// Empties a vector and gives its memory back; clear() alone would keep a huge file's capacity.
template <class T> void Release(std::vector<T>& v) { std::vector<T>().swap(v); }

} // namespace

PhraseDocument::PhraseDocument(QObject* parent) : QObject(parent) {}

void PhraseDocument::SetShowOriginal(bool show)
{
    if (m_showOriginal == show)
        return;
    m_showOriginal = show;
    emit ShowOriginalChanged(show);
}

int PhraseDocument::TemplateLineTag(int line) const
{
    const auto it = std::lower_bound(m_phraseLines.begin(), m_phraseLines.end(), line);
    return it != m_phraseLines.end() && *it == line ? int(it - m_phraseLines.begin()) : -1;
}

QByteArrayView PhraseDocument::PhraseLine(int i) const
{
    return SpanLine(m_templateText, m_phraseSpans.at(size_t(i)));
}

void PhraseDocument::ParseTemplatePhrase(int i, QByteArray& key, QByteArray& value) const
{
    ParsePhraseLine(PhraseLine(i), key, value, true);
}

bool PhraseDocument::PhraseEditable(int i) const
{
    PhraseLineParts parts;
    ReadPhraseLine(PhraseLine(i), parts, true);
    return parts.editable;
}

QByteArray PhraseDocument::PhraseKey(int i) const
{
    QByteArray key, value;
    ParseTemplatePhrase(i, key, value);
    return key;
}

QByteArray PhraseDocument::PhraseOriginal(int i) const
{
    QByteArray key, value;
    ParseTemplatePhrase(i, key, value);
    return value;
}

QByteArray PhraseDocument::PhraseTranslation(int i) const
{
    return TextOf(i, m_translations.at(size_t(i)));
}

void PhraseDocument::ReadPhraseTexts(int i, QByteArray* columnText, QByteArray* translation) const
{
    const quint64 ref = m_translations.at(size_t(i));
    if (!columnText) {
        if (translation)
            *translation = TextOf(i, ref);
        return;
    }
    QByteArray key, value;
    ParseTemplatePhrase(i, key, value);
    *columnText = m_showOriginal ? value : key;
    if (translation)
        *translation = ref == TemplateRef ? value : TextOf(i, ref);
}

QByteArray PhraseDocument::TextOf(int phrase, quint64 ref) const
{
    return TextOf(phrase, ref, m_ownedTexts);
}

QByteArray PhraseDocument::TextOf(int phrase, quint64 ref, const std::vector<QByteArray>& owned) const
{
    if (ref & OwnedBit)
        return owned.at(size_t(ref & OwnedIndexMask));
    const quint64 source = ref >> SourceShift;
    if (source == 0)
        return PhraseOriginal(phrase);
    const QByteArrayView text = m_mergedTexts.at(size_t(source - 1));
    return QByteArray::fromRawData(text.data() + (ref & OffsetMask),
                                   qsizetype(ref >> OffsetBits & MaxMergedLength));
}

void PhraseDocument::SetTranslation(int phrase, const QByteArray& text)
{
    quint64& ref = m_translations[size_t(phrase)];
    if (ref & OwnedBit) {
        m_ownedTexts[size_t(ref & OwnedIndexMask)] = text;
    } else {
        ref = OwnedBit | quint64(m_ownedTexts.size());
        m_ownedTexts.push_back(text);
    }
}

DocumentEncoding PhraseDocument::DetectEncoding(const QLocale& locale) const
{
    return DetectDocumentEncoding(m_templateData, m_mergedData, locale);
}

std::optional<int> PhraseDocument::FindKey(QByteArrayView key) const
{
    const int i = m_keyIndex.Find([this](int p) { return PhraseKey(p); }, key);
    if (i < 0)
        return std::nullopt;
    return i;
}

void PhraseDocument::LoadTemplate(const FilePath& path, const ReadOptions& options)
{
    FileStamp stamp;
    QByteArray data = ReadFileBytes(path, options, &stamp);
    RefuseWideEncoding(path, data);
    LoadTemplateData(std::move(data));
    m_templatePath = path;
    m_templateStamp = stamp;
    emit FilesChanged();
}

void PhraseDocument::Reload(const ReadOptions& options)
{
    const FilePath templatePath = m_templatePath;
    const FilePath translationPath = m_translationPath;
    const bool merge = TranslationStamp().has_value();
    LoadTemplate(templatePath, options);
    m_translationPath = translationPath;
    SetModified(false);
    SetStatusText(QString());
    if (merge)
        LoadTranslation(translationPath, options);
}

void PhraseDocument::LoadTemplateData(QByteArray data)
{
    // Counted first: the lines must fit a line number, and every list takes exactly its room,
    // since growing ten million entries by doubling would leave up to half of each unused.
    qsizetype lines = 0;
    qsizetype candidates = 0;
    const QByteArrayView counted = TextBeforeNul(data);
    ForEachLine(counted, [&](qsizetype start, qsizetype length) {
        ++lines;
        candidates += PhraseLineKindOf(counted.sliced(start, length)) != PhraseLineKind::lkNone;
    });
    if (lines >= std::numeric_limits<int>::max())
        throw EListError(lines);
    if (quint64(counted.size()) > OffsetMask)
        throw EListError(counted.size());

    // Built aside and put in place at the end, so that running out of memory on the way leaves
    // the document as it was.
    const QByteArrayView text(data.constData(), counted.size());
    std::vector<quint64> spans;
    std::vector<int> phraseLines;
    std::vector<quint8> kinds;
    spans.reserve(size_t(candidates));
    phraseLines.reserve(size_t(candidates));
    kinds.reserve(size_t(candidates));
    KeyIndex index;
    index.Reserve(size_t(candidates));

    int counts[4] = {0, 0, 0, 0}; // by kind; case strtolower lines are not counted
    QByteArray key, value;
    const auto keyAt = [&](int p) -> const QByteArray& {
        ParsePhraseLine(SpanLine(text, spans[size_t(p)]), key, value, true);
        return key;
    };
    int line = 0;
    ForEachParsedLine(text, index, [&](const ParsedLine& parsed) {
        const int l = line++;
        if (parsed.kind == PhraseLineKind::lkNone)
            return;
        if (parsed.kind <= PhraseLineKind::lkBracket)
            ++counts[int(parsed.kind)];
        if (index.FindOrInsert(keyAt, parsed.parts.key, parsed.hash, int(spans.size())) >= 0)
            return;
        spans.push_back(LineSpanCode(parsed.start, parsed.length));
        phraseLines.push_back(l);
        kinds.push_back(quint8(parsed.kind) | (parsed.parts.valueQuote == '\'' ? SingleQuoted : 0));
    });
    std::vector<TranslationState> states(spans.size(), TranslationState::tsMissing);
    std::vector<quint64> translations(spans.size(), TemplateRef);

    // Case lines win ties, then define lines beat bracket lines only when strictly more.
    PhraseLineKind winner = PhraseLineKind::lkCase;
    for (PhraseLineKind k : {PhraseLineKind::lkDefine, PhraseLineKind::lkBracket})
        if (counts[int(k)] > counts[int(winner)])
            winner = k;

    // From here on nothing allocates: the old lists leave with the swapped locals.
    emit AboutToReset();
    Release(m_ownedTexts);
    Release(m_mergedTexts);
    m_mergedData.clear();
    m_templateData = std::move(data); // moved, not copied: text still points at its bytes
    m_templateText = text;
    m_templatePath = FilePath();
    m_templateStamp = FileStamp();
    m_lineCount = int(lines);
    m_phraseSpans.swap(spans);
    m_phraseLines.swap(phraseLines);
    m_kinds.swap(kinds);
    m_states.swap(states);
    m_translations.swap(translations);
    m_keyIndex = std::move(index);
    const bool showOriginalChanged = m_showOriginal != (winner == PhraseLineKind::lkDefine);
    m_showOriginal = winner == PhraseLineKind::lkDefine;

    emit TemplateLoaded();
    if (showOriginalChanged)
        emit ShowOriginalChanged(m_showOriginal);
}

void PhraseDocument::LoadTranslation(const FilePath& path, const ReadOptions& options)
{
    // The chosen name is kept even when reading fails, so a later Save goes there.
    m_translationPath = path;
    emit FilesChanged();
    FileStamp stamp;
    QByteArray data = ReadFileBytes(path, options, &stamp);
    RefuseWideEncoding(path, data);
    const std::optional<NulCut> cut = FindNulCut(data);
    MergeTranslationData(std::move(data));
    m_stampedPath = path;
    m_translationStamp = stamp;
    m_nulCut = cut;
    emit FilesChanged();
}

std::optional<FileStamp> PhraseDocument::TranslationStamp() const
{
    if (m_stampedPath.IsEmpty() || m_stampedPath != m_translationPath)
        return std::nullopt;
    return m_translationStamp;
}

DiskState PhraseDocument::TranslationDiskState() const
{
    const std::optional<FileStamp> known = TranslationStamp();
    if (!known)
        return DiskState::Unknown;
    const FileStamp now = StampOf(m_translationPath);
    if (!now.exists)
        return DiskState::Deleted;
    return now == *known ? DiskState::Unchanged : DiskState::Changed;
}

std::optional<NulCut> PhraseDocument::TranslationNulCut() const
{
    return TranslationStamp() ? m_nulCut : std::nullopt;
}

void PhraseDocument::MergeTranslationData(QByteArray data)
{
    // Merged texts are read from the file's lines, so its bytes stay until the document is reset.
    // The translations are merged into copies that replace them at the end, so that running
    // out of memory on the way leaves them, and the list of merged files, as they were.
    m_mergedTexts.reserve(m_mergedTexts.size() + 1);
    m_mergedData.append(std::move(data));
    m_mergedTexts.push_back(TextBeforeNul(m_mergedData.constLast()));
    QString status;
    try {
        status = MergeInto(m_mergedTexts.back(), m_mergedTexts.size());
    } catch (...) {
        m_mergedTexts.pop_back();
        m_mergedData.removeLast();
        throw;
    }
    emit TranslationsMerged();
    SetStatusText(status);
}

QString PhraseDocument::MergeInto(QByteArrayView text, quint64 source)
{
    std::vector<quint64> translations = m_translations;
    std::vector<TranslationState> states = m_states;
    std::vector<quint8> kinds = m_kinds;
    std::vector<QByteArray> owned = m_ownedTexts;
    // As in PHP, the first line that carries a key defines it; later copies are dead code.
    std::vector<bool> taken(states.size(), false);
    // The template line last read for a key comparison is kept: it is the found phrase's line,
    // whose value the state is judged against.
    int parsed = -1;
    PhraseLineParts parsedParts;
    const auto keyAt = [&](int p) -> const QByteArray& {
        ReadPhraseLine(PhraseLine(p), parsedParts, true);
        parsed = p;
        return parsedParts.key;
    };
    // Before a batch is handled, the phrase each line most likely names is fetched, then the
    // template line its key is compared with.
    const auto fetchPhrase = [&](const ParsedLine& line) {
        const int p = m_keyIndex.Likely(line.hash);
        if (p < 0)
            return;
        PrefetchAt(&m_phraseSpans[size_t(p)]);
        PrefetchAt(&translations[size_t(p)]);
        PrefetchAt(&states[size_t(p)]);
    };
    const auto fetchLine = [this](const ParsedLine& line) {
        const int p = m_keyIndex.Likely(line.hash);
        if (p >= 0)
            PrefetchAt(m_templateText.data() + (m_phraseSpans[size_t(p)] & OffsetMask));
    };
    ForEachParsedLine(text, m_keyIndex, [&](const ParsedLine& line) {
        if (line.kind == PhraseLineKind::lkNone)
            return;
        const QByteArray& value = line.parts.value;
        const int i = m_keyIndex.Find(keyAt, line.parts.key, line.hash);
        if (i < 0 || taken[size_t(i)])
            return;
        taken[size_t(i)] = true;
        if (parsed != i)
            keyAt(i);
        // A template line that is kept as it is takes no text; neither does a template literal
        // from a value that is not one literal: it could not be written there.
        if (!parsedParts.editable) {
            states[size_t(i)] = TranslationState::tsUntranslated;
            return;
        }
        if (!line.parts.editable)
            return;
        // Compared with the text held now, which an earlier merged file may have given.
        quint64& ref = translations[size_t(i)];
        const bool same = ref == TemplateRef ? value == parsedParts.value : value == TextOf(i, ref, owned);
        states[size_t(i)] = same ? TranslationState::tsUntranslated : TranslationState::tsTranslated;
        kinds[size_t(i)] = quint8((kinds[size_t(i)] & KindMask) |
                                  (line.parts.valueQuote == '\'' ? SingleQuoted : 0));
        // A value read where it stands is referred to there; one that was unescaped, or that a
        // reference cannot name, is held as a text.
        // (Compared as addresses: an unescaped value lies in a block of its own.)
        const quintptr at = quintptr(value.constData());
        const quintptr base = quintptr(text.data());
        const quint64 offset = value.isEmpty() ? 0 : quint64(at - base);
        const bool inPlace =
            value.isEmpty() || (at >= base && at + quintptr(value.size()) <= base + quintptr(text.size()));
        if (!inPlace || source > MaxSource || quint64(value.size()) > MaxMergedLength ||
            offset > OffsetMask) {
            if (ref & OwnedBit) {
                owned[size_t(ref & OwnedIndexMask)] = value;
            } else {
                ref = OwnedBit | quint64(owned.size());
                owned.push_back(value);
            }
            return;
        }
        if (ref & OwnedBit)
            owned[size_t(ref & OwnedIndexMask)] = QByteArray(); // no longer shown
        ref = source << SourceShift | quint64(value.size()) << OffsetBits | offset;
    }, fetchPhrase, fetchLine);
    // The summary is made before the swap, so nothing after it can fail.
    const PhraseStatistics st = StatisticsOf(states);
    QString status = QString::fromLatin1(strings::Statistics)
                         .arg(st.phrases)
                         .arg(st.untranslated)
                         .arg(st.missing);
    m_translations.swap(translations);
    m_states.swap(states);
    m_kinds.swap(kinds);
    m_ownedTexts.swap(owned);
    return status;
}

void PhraseDocument::ProduceTranslationFile(const std::function<void(QByteArrayView)>& sink) const
{
    PieceWriter out(sink);
    size_t phrase = 0; // the next phrase, whose line comes at or after the current one
    PhraseLineParts parts;
    ForEachLine(m_templateText, [&](qsizetype start, qsizetype length) {
        const QByteArrayView line = m_templateText.sliced(start, length);
        if (phrase < m_phraseSpans.size() &&
            qsizetype(m_phraseSpans[phrase] & OffsetMask) == start) {
            const PhraseLineKind kind = ReadPhraseLine(line, parts, true);
            const quint64 ref = m_translations[phrase];
            const QByteArray text = ref == TemplateRef ? parts.value : TextOf(int(phrase), ref);
            const char quote = (m_kinds[phrase] & SingleQuoted) ? '\'' : '"';
            if (!parts.editable) {
                out.Put(line); // kept as the template has it
            } else if (parts.fixedLayout && (!m_keepLayout || parts.valueEnd == 0)) {
                PutShape(out, kind, parts.key, text, quote);
            } else {
                // Any other spelling keeps its line; only the value literal is replaced.
                out.Put(line.first(parts.valueBegin));
                if (kind == PhraseLineKind::lkBracket)
                    out.Put(text);
                else
                    PutLiteral(out, text, quote);
                out.Put(line.sliced(parts.valueEnd));
            }
            ++phrase;
        } else {
            out.Put(line);
        }
        out.EndLine();
    });
    out.Flush();
}

QByteArray PhraseDocument::BuildTranslationFile() const
{
    QByteArray out;
    ProduceTranslationFile([&out](QByteArrayView piece) { out.append(piece); });
    return out;
}

void PhraseDocument::SaveTranslation()
{
    // Saved over the template, the template file changed by this document's own hand.
    const bool overTemplate = StampOf(m_translationPath).SameFile(m_templateStamp);
    const FileStamp stamp = WriteFileSafely(m_translationPath, [this](const auto& sink) {
        ProduceTranslationFile(sink);
    });
    // What is on disk now is what this document wrote: no NUL, nothing changed by others.
    m_stampedPath = m_translationPath;
    m_translationStamp = stamp;
    m_nulCut.reset();
    if (overTemplate)
        m_templateStamp = stamp;
    emit FilesChanged();
    SetModified(false);
}

bool PhraseDocument::CommitTranslation(int phrase, const QByteArray& typed)
{
    const QByteArray text = FirstLine(typed);
    if (phrase < 0 || phrase >= PhraseCount() || PhraseTranslation(phrase) == text ||
        !PhraseEditable(phrase))
        return false;
    m_states[size_t(phrase)] = TranslationState::tsTranslated;
    SetTranslation(phrase, text);
    SetModified(true);
    emit TranslationChanged(phrase);
    return true;
}

void PhraseDocument::RestoreTranslationText(int phrase, const QByteArray& typed)
{
    const QByteArray text = FirstLine(typed);
    if (phrase < 0 || phrase >= PhraseCount() || PhraseTranslation(phrase) == text)
        return;
    SetTranslation(phrase, text);
    emit TranslationChanged(phrase);
}

void PhraseDocument::ClearDocument()
{
    SetModified(false);
    emit AboutToReset();
    ResetPhrases();
    m_lineCount = 0;
    m_templateText = QByteArrayView();
    m_templateData.clear();
    emit Cleared();
    m_translationPath = FilePath();
    m_templatePath = FilePath();
    m_templateStamp = FileStamp();
    m_stampedPath = FilePath();
    m_nulCut.reset();
    SetStatusText(QString());
    emit FilesChanged();
}

void PhraseDocument::ResetPhrases()
{
    // The phrase lists refer into the file bytes, so they go before the bytes do.
    Release(m_phraseSpans);
    Release(m_phraseLines);
    Release(m_kinds);
    Release(m_states);
    Release(m_translations);
    Release(m_ownedTexts);
    m_keyIndex.Clear();
    Release(m_mergedTexts);
    m_mergedData.clear();
}

PhraseStatistics PhraseDocument::Statistics() const
{
    return StatisticsOf(m_states);
}

PhraseStatistics PhraseDocument::StatisticsOf(const std::vector<TranslationState>& states)
{
    PhraseStatistics st;
    st.phrases = int(states.size());
    for (TranslationState s : states) {
        if (s == TranslationState::tsUntranslated)
            ++st.untranslated;
        else if (s == TranslationState::tsMissing)
            ++st.missing;
    }
    return st;
}

void PhraseDocument::SetModified(bool modified)
{
    if (m_modified == modified)
        return;
    m_modified = modified;
    emit ModifiedChanged(modified);
}

void PhraseDocument::SetStatusText(const QString& text)
{
    if (m_statusText == text)
        return;
    m_statusText = text;
    emit StatusTextChanged(text);
}
