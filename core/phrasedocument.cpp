#include "phrasedocument.h"
#include "asciicase.h"
#include "errors.h"
#include "stringtable.h"

#include <QIODevice>
#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <utility>

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
    const bool plain = text.isEmpty() || (!std::memchr(text.data(), quote, size_t(text.size())) &&
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
void PutShape(PieceWriter& out, PhraseLineKind kind, QByteArrayView key, QByteArrayView text,
              char quote)
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

// The line a span stands for in text.
QByteArrayView SpanLine(QByteArrayView text, LineSpanRef span)
{
    const qsizetype start = span.Start();
    return text.sliced(start, span.LengthKnown() ? span.Length() : LineLengthAt(text, start));
}

// Whether text lies within bytes, compared as addresses. A text read with referenceLine lies in
// its line unless it had to be unescaped, which gives it a block of its own.
bool LiesIn(QByteArrayView text, QByteArrayView bytes)
{
    const quintptr at = quintptr(text.data());
    const quintptr base = quintptr(bytes.data());
    return at >= base && at + quintptr(text.size()) <= base + quintptr(bytes.size());
}

// A text read from line with referenceLine, as a QByteArray of the caller's own: one that refers
// into the line is copied, an unescaped one is handed on.
QByteArray OwnedText(const QByteArray& text, QByteArrayView line)
{
    return LiesIn(text, line) ? QByteArray(text.constData(), text.size()) : text;
}

// Reads phrases' template lines, keeping the last one read. A key lookup compares with the key of
// each line it probes, the last of them being the one found: the merge then judges that line's
// value without reading it again.
class TemplatePhrases
{
public:
    TemplatePhrases(QByteArrayView text, const std::vector<LineSpanRef>& spans)
        : m_text(text), m_spans(spans)
    {
    }
    // Phrase p's line, read; the reference lasts until another phrase is read.
    const PhraseLineParts& Read(int p)
    {
        if (p != m_phrase) {
            ReadPhraseLine(SpanLine(m_text, m_spans[size_t(p)]), m_parts, true);
            m_phrase = p;
        }
        return m_parts;
    }
    const QByteArray& KeyOf(int p) { return Read(p).key; }

private:
    QByteArrayView m_text;
    const std::vector<LineSpanRef>& m_spans; // may grow while read: a phrase's span never changes
    int m_phrase = -1;
    PhraseLineParts m_parts;
};

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
void ForEachParsedLine(QByteArrayView text, const KeyIndex& index, Handle&& handle,
                       Stages&&... stages)
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
QByteArray FirstLine(const QByteArray& typed)
{
    return typed.first(LineLengthAt(typed, 0));
}

// Where a __halt_compiler(); statement that begins line (after blanks) ends in it, or -1. PHP
// reads nothing after it: what follows is data of the script's own, often binary. Only lines
// that begin with "__" are looked at further, so the check costs next to nothing per line.
qsizetype HaltCompilerEnd(QByteArrayView line)
{
    static constexpr QByteArrayView Name("__halt_compiler");
    qsizetype p = 0;
    const auto blanks = [&] {
        while (p < line.size() && (line[p] == ' ' || line[p] == '\t'))
            ++p;
    };
    blanks();
    if (line.size() - p < Name.size() || line[p] != '_' || line[p + 1] != '_')
        return -1;
    for (qsizetype k = 2; k < Name.size(); ++k) // keywords are read in any case
        if (AsciiLower(uchar(line[p + k])) != uchar(Name[k]))
            return -1;
    p += Name.size();
    blanks();
    if (p >= line.size() || line[p] != '(')
        return -1;
    ++p;
    blanks();
    if (p >= line.size() || line[p] != ')')
        return -1;
    ++p;
    blanks();
    if (p < line.size() && line[p] == ';')
        return p + 1;
    if (p + 1 < line.size() && line[p] == '?' && line[p + 1] == '>')
        return p + 2;
    return -1;
}

// Puts text in list, at the entry ref names when named (ref is of that list), else at a new entry
// that ref is then made to name by refTo.
template <class T>
void PutEntry(std::vector<T>& list, TranslationRef& ref, bool named,
              TranslationRef (*refTo)(std::size_t), T text)
{
    if (named) {
        list[ref.Index()] = std::move(text);
        return;
    }
    ref = refTo(list.size());
    list.push_back(std::move(text));
}

// Empties a vector and gives its memory back; clear() alone would keep a huge file's capacity.
template <class T> void Release(std::vector<T>& v)
{
    std::vector<T>().swap(v);
}

} // namespace

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

bool PhraseDocument::PhraseEditable(int i) const
{
    PhraseLineParts parts;
    ReadPhraseLine(PhraseLine(i), parts, true);
    return parts.editable;
}

QByteArray PhraseDocument::PhraseKey(int i) const
{
    const QByteArrayView line = PhraseLine(i);
    PhraseLineParts parts;
    ReadPhraseLine(line, parts, true);
    return OwnedText(parts.key, line);
}

QByteArray PhraseDocument::PhraseOriginal(int i) const
{
    const QByteArrayView line = PhraseLine(i);
    PhraseLineParts parts;
    ReadPhraseLine(line, parts, true);
    return OwnedText(parts.value, line);
}

QByteArray PhraseDocument::PhraseTranslation(int i) const
{
    const TranslationRef ref = m_translations.at(size_t(i));
    if (ref.IsTemplate())
        return PhraseOriginal(i);
    if (ref.IsOwned())
        return m_ownedTexts.at(ref.Index()); // owned already: shared, not copied
    return StoredText(ref).toByteArray();
}

void PhraseDocument::BorrowPhraseTexts(int i, BorrowedPhraseTexts& texts, bool templateTexts,
                                       bool translation) const
{
    const TranslationRef ref = m_translations.at(size_t(i));
    texts.key = texts.original = texts.column = texts.translation = QByteArrayView();
    if (templateTexts || (translation && ref.IsTemplate())) {
        PhraseLineParts& parts = texts.m_templateParts;
        ReadPhraseLine(PhraseLine(i), parts, true);
        if (templateTexts) {
            texts.key = parts.key;
            texts.original = parts.value;
            texts.column = m_showOriginal ? texts.original : texts.key;
        }
        if (translation && ref.IsTemplate())
            texts.translation = parts.value;
    }
    if (translation && !ref.IsTemplate())
        texts.translation = StoredText(ref);
}

QByteArrayView PhraseDocument::StoredText(TranslationRef ref, const std::vector<QByteArray>& owned,
                                          const std::vector<QByteArrayView>& views) const
{
    if (ref.IsOwned())
        return owned.at(ref.Index());
    if (ref.IsMergedView())
        return views.at(ref.Index());
    return m_mergedTexts.at(ref.Source() - 1).sliced(ref.Offset(), ref.Length());
}

void PhraseDocument::SetTranslation(int phrase, const QByteArray& text)
{
    TranslationRef& ref = m_translations[size_t(phrase)];
    if (ref.IsOwned()) {
        m_ownedTexts[ref.Index()] = text;
    } else {
        ref = TranslationRef::Owned(m_ownedTexts.size());
        m_ownedTexts.push_back(text);
    }
}

DocumentEncoding PhraseDocument::DetectEncoding(const QLocale& locale) const
{
    return DetectDocumentEncoding(m_templateData, m_mergedData, locale);
}

std::optional<int> PhraseDocument::FindKey(QByteArrayView key) const
{
    TemplatePhrases phrases(m_templateText, m_phraseSpans);
    const int i =
        m_keyIndex.Find([&phrases](int p) -> const QByteArray& { return phrases.KeyOf(p); }, key);
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
    // Both files are read before anything is replaced: a translation that cannot be read now
    // (its permissions changed, another program is replacing it) must not leave the template
    // alone in its place, unmodified, for the next save to write over the translation.
    const FilePath templatePath = m_templatePath;
    const FilePath translationPath = m_translationPath;
    const bool merge = TranslationStamp().has_value();
    FileStamp templateStamp;
    QByteArray templateData = ReadFileBytes(templatePath, options, &templateStamp);
    RefuseWideEncoding(templatePath, templateData);
    FileStamp translationStamp;
    QByteArray translationData;
    if (merge) {
        translationData = ReadFileBytes(translationPath, options, &translationStamp);
        RefuseWideEncoding(translationPath, translationData);
    }
    LoadTemplateData(std::move(templateData)); // throws with the document untouched
    m_templatePath = templatePath;
    m_templateStamp = templateStamp;
    m_translationPath = translationPath;
    SetModified(false);
    SetStatusText(QString());
    if (merge) {
        const std::optional<NulCut> cut = FindNulCut(translationData);
        try {
            MergeTranslationData(std::move(translationData));
        } catch (...) {
            // The template is in place but its translation is not: nothing that could be saved
            // over the translation file may stay.
            ClearDocument();
            throw;
        }
        m_stampedPath = translationPath;
        m_translationStamp = translationStamp;
        m_nulCut = cut;
    }
    emit FilesChanged();
}

void PhraseDocument::LoadTemplateData(QByteArray data)
{
    // Counted first: the lines must fit a line number, and every list takes exactly its room,
    // since growing ten million entries by doubling would leave up to half of each unused.
    // The text ends at the first NUL, or after a __halt_compiler(); before it; the bytes after
    // are kept and written back unchanged.
    qsizetype lines = 0;
    qsizetype candidates = 0;
    const QByteArrayView beforeNul = TextBeforeNul(data);
    qsizetype textEnd = beforeNul.size();
    int haltLine = -1;
    ForEachLine(beforeNul, [&](qsizetype start, qsizetype length) {
        if (haltLine >= 0)
            return;
        const QByteArrayView line = beforeNul.sliced(start, length);
        if (const qsizetype end = HaltCompilerEnd(line); end >= 0) {
            haltLine = int(std::min<qsizetype>(lines, std::numeric_limits<int>::max()));
            textEnd = start + end;
        } else {
            candidates += PhraseLineKindOf(line) != PhraseLineKind::lkNone;
        }
        ++lines;
    });
    std::optional<NulCut> cut;
    if (haltLine >= 0 && textEnd < data.size())
        cut = NulCut{haltLine, data.size() - textEnd, true};
    else
        cut = FindNulCut(data);
    const QByteArrayView counted = QByteArrayView(data).first(textEnd);
    if (lines >= std::numeric_limits<int>::max())
        throw EListError(lines);
    if (quint64(counted.size()) > LineSpanRef::MaxOffset)
        throw EListError(counted.size());

    // Built aside and put in place at the end, so that running out of memory on the way leaves
    // the document as it was.
    const QByteArrayView text(data.constData(), counted.size());
    std::vector<LineSpanRef> spans;
    std::vector<int> phraseLines;
    std::vector<PhraseKindCode> kinds;
    spans.reserve(size_t(candidates));
    phraseLines.reserve(size_t(candidates));
    kinds.reserve(size_t(candidates));
    KeyIndex index;
    index.Reserve(size_t(candidates));

    int counts[4] = {0, 0, 0, 0}; // by kind; case strtolower lines are not counted
    TemplatePhrases phrases(text, spans);
    const auto keyAt = [&phrases](int p) -> const QByteArray& { return phrases.KeyOf(p); };
    int line = 0;
    ForEachParsedLine(text, index, [&](const ParsedLine& parsed) {
        const int l = line++;
        if (parsed.kind == PhraseLineKind::lkNone)
            return;
        if (parsed.kind <= PhraseLineKind::lkBracket)
            ++counts[int(parsed.kind)];
        if (index.FindOrInsert(keyAt, parsed.parts.key, parsed.hash, int(spans.size())) >= 0)
            return;
        spans.push_back(LineSpanRef::Of(parsed.start, parsed.length));
        phraseLines.push_back(l);
        kinds.push_back(PhraseKindCode(parsed.kind, parsed.parts.valueQuote));
    });
    std::vector<TranslationState> states(spans.size(), TranslationState::tsMissing);
    std::vector<TranslationRef> translations(spans.size(), TranslationRef::Template());

    // Case lines win ties, then define lines beat bracket lines only when strictly more.
    PhraseLineKind winner = PhraseLineKind::lkCase;
    for (PhraseLineKind k : {PhraseLineKind::lkDefine, PhraseLineKind::lkBracket})
        if (counts[int(k)] > counts[int(winner)])
            winner = k;

    // From here on nothing allocates: the old lists leave with the swapped locals.
    emit AboutToReset();
    Release(m_ownedTexts);
    Release(m_mergedViews);
    Release(m_mergedTexts);
    m_mergedData.clear();
    m_templateData = std::move(data); // moved, not copied: text still points at its bytes
    m_templateText = text;
    m_templateCut = cut;
    m_templatePath = FilePath();
    m_templateStamp = FileStamp();
    m_lineCount = int(lines);
    m_phraseSpans.swap(spans);
    m_phraseLines.swap(phraseLines);
    m_kinds.swap(kinds);
    m_states.swap(states);
    m_stateCounts = {int(m_states.size()), 0, 0}; // every phrase missing
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
    std::vector<TranslationRef> translations = m_translations;
    std::vector<TranslationState> states = m_states;
    StateCounts counts = m_stateCounts;
    const auto setState = [&](int i, TranslationState state) {
        TranslationState& s = states[size_t(i)];
        --counts[size_t(s)];
        ++counts[size_t(state)];
        s = state;
    };
    std::vector<PhraseKindCode> kinds = m_kinds;
    std::vector<QByteArray> owned = m_ownedTexts;
    std::vector<QByteArrayView> views = m_mergedViews;
    // As in PHP, the first line that carries a key defines it; later copies are dead code.
    std::vector<bool> taken(states.size(), false);
    TemplatePhrases phrases(m_templateText, m_phraseSpans);
    const auto keyAt = [&phrases](int p) -> const QByteArray& { return phrases.KeyOf(p); };
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
            PrefetchAt(m_templateText.data() + m_phraseSpans[size_t(p)].Start());
    };
    ForEachParsedLine(
        text, m_keyIndex,
        [&](const ParsedLine& line) {
            if (line.kind == PhraseLineKind::lkNone)
                return;
            const QByteArray& value = line.parts.value;
            const int i = m_keyIndex.Find(keyAt, line.parts.key, line.hash);
            if (i < 0 || taken[size_t(i)])
                return;
            taken[size_t(i)] = true;
            // The found phrase's line, which the lookup has just read to compare keys.
            const PhraseLineParts& templ = phrases.Read(i);
            // A template line that is kept as it is takes no text; neither does a template literal
            // from a value that is not one literal: it could not be written there.
            if (!templ.editable) {
                setState(i, TranslationState::tsUntranslated);
                return;
            }
            if (!line.parts.editable)
                return;
            // Compared with the text held now, which an earlier merged file may have given.
            TranslationRef& ref = translations[size_t(i)];
            const bool same =
                ref.IsTemplate() ? value == templ.value : value == StoredText(ref, owned, views);
            setState(i, same ? TranslationState::tsUntranslated : TranslationState::tsTranslated);
            kinds[size_t(i)] = PhraseKindCode(kinds[size_t(i)].Kind(), line.parts.valueQuote);
            // A value read where it stands is referred to there, through a view when a reference
            // cannot locate it by itself; one that was unescaped is owned. The entry the reference
            // named before is emptied, and reused when it is of the same list.
            const bool unescaped = !value.isEmpty() && !LiesIn(value, text);
            const quint64 offset =
                value.isEmpty() || unescaped ? 0 : quint64(value.constData() - text.data());
            const bool wasOwned = ref.IsOwned();
            const bool wasView = ref.IsMergedView();
            if (wasOwned)
                owned[ref.Index()] = QByteArray();
            if (wasView)
                views[ref.Index()] = QByteArrayView();
            if (unescaped)
                PutEntry(owned, ref, wasOwned, &TranslationRef::Owned, value);
            else if (TranslationRef::CanRefer(source, offset, quint64(value.size())))
                ref = TranslationRef::Merged(source, offset, quint64(value.size()));
            else
                PutEntry(views, ref, wasView, &TranslationRef::MergedView, QByteArrayView(value));
        },
        fetchPhrase, fetchLine);
    // The summary is made before the swap, so nothing after it can fail.
    QString status = StatisticsText(counts);
    m_translations.swap(translations);
    m_states.swap(states);
    m_stateCounts = counts;
    m_kinds.swap(kinds);
    m_ownedTexts.swap(owned);
    m_mergedViews.swap(views);
    return status;
}

void PhraseDocument::ProduceTranslationFile(const std::function<void(QByteArrayView)>& sink) const
{
    PieceWriter out(sink);
    // What follows a NUL or __halt_compiler(); in the template is no text to rebuild: its bytes.
    const QByteArrayView tail = QByteArrayView(m_templateData).sliced(m_templateText.size());
    size_t phrase = 0; // the next phrase, whose line comes at or after the current one
    PhraseLineParts parts;
    ForEachLine(m_templateText, [&](qsizetype start, qsizetype length) {
        const QByteArrayView line = m_templateText.sliced(start, length);
        if (phrase < m_phraseSpans.size() && m_phraseSpans[phrase].Start() == start) {
            const PhraseLineKind kind = ReadPhraseLine(line, parts, true);
            const TranslationRef ref = m_translations[phrase];
            const QByteArrayView text =
                ref.IsTemplate() ? QByteArrayView(parts.value) : StoredText(ref);
            const char quote = m_kinds[phrase].Quote();
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
        // A line the cut ends half-way goes on in the kept bytes: no line break between them.
        if (tail.isEmpty() || start + length < m_templateText.size())
            out.EndLine();
    });
    out.Put(tail);
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
    const bool wasUnchanged = TranslationDiskState() == DiskState::Unchanged;
    FileStamp stamp;
    try {
        stamp = WriteFileSafely(m_translationPath,
                                [this](const auto& sink) { ProduceTranslationFile(sink); });
    } catch (const EWriteError&) {
        // A failed write in place puts the old bytes back, which moves the file's times: it is
        // still the file this document read, not one another program changed.
        const FileStamp now = StampOf(m_translationPath);
        if (wasUnchanged && now.SameFile(m_translationStamp) &&
            now.size == m_translationStamp.size) {
            m_translationStamp = now;
            emit FilesChanged();
        }
        throw;
    }
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
    TranslationState& state = m_states[size_t(phrase)];
    --m_stateCounts[size_t(state)];
    ++m_stateCounts[size_t(TranslationState::tsTranslated)];
    state = TranslationState::tsTranslated;
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

void PhraseDocument::RestoreTranslation(int phrase, const QByteArray& text, TranslationState state)
{
    if (phrase < 0 || phrase >= PhraseCount())
        return;
    TranslationState& current = m_states[size_t(phrase)];
    const bool sameText = PhraseTranslation(phrase) == text;
    if (sameText && current == state)
        return;
    --m_stateCounts[size_t(current)];
    ++m_stateCounts[size_t(state)];
    current = state;
    if (!sameText)
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
    m_templateCut.reset();
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
    m_stateCounts = {};
    Release(m_translations);
    Release(m_ownedTexts);
    Release(m_mergedViews);
    m_keyIndex.Clear();
    Release(m_mergedTexts);
    m_mergedData.clear();
}

PhraseStatistics PhraseDocument::Statistics() const
{
    PhraseStatistics st;
    st.phrases = PhraseCount();
    st.missing = m_stateCounts[size_t(TranslationState::tsMissing)];
    st.untranslated = m_stateCounts[size_t(TranslationState::tsUntranslated)];
    st.translated = m_stateCounts[size_t(TranslationState::tsTranslated)];
    return st;
}

QString PhraseDocument::StatisticsText(const StateCounts& counts)
{
    return QString::fromLatin1(strings::Statistics)
        .arg(counts[0] + counts[1] + counts[2])
        .arg(counts[size_t(TranslationState::tsUntranslated)])
        .arg(counts[size_t(TranslationState::tsMissing)]);
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
