#include "phrasestore.h"
#include "asciicase.h"
#include "errors.h"
#include "phpreader.h"
#include "textlines.h"

#include <QHash>
#include <algorithm>
#include <cstring>
#include <limits>
#include <unordered_map>

namespace {

// A key's bytes as a 64-bit reference: offset in the low 39 bits, length in the 24 above, and
// the top bit set when the bytes are in the key arena instead of the template.
constexpr int KeyOffsetBits = 39;
constexpr quint64 KeyOffsetMask = (quint64(1) << KeyOffsetBits) - 1;
constexpr quint64 KeyMaxLength = (quint64(1) << 24) - 1;
constexpr quint64 KeyInArena = quint64(1) << 63;

quint64 KeyRef(qsizetype offset, qsizetype length, bool arena)
{
    return (arena ? KeyInArena : 0) | quint64(length) << KeyOffsetBits | quint64(offset);
}

// Where a __halt_compiler(); statement that begins line (after blanks) ends in it, or -1. PHP
// reads nothing after it: what follows is data of the script's own, often binary.
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

// Hands the phrases of text to handle(statement, hash) in batches: the index slots of a batch's
// keys are fetched together before any is looked up, so that the cache misses of a huge file
// overlap instead of following each other. Keys that are not views of text are copied for the
// batch's time.
template <class Handle>
void ForEachHashedPhrase(QByteArrayView text, const PhpLexOptions& options, const KeyIndex& index,
                         Handle&& handle)
{
    constexpr int BatchSize = 16;
    struct Pending
    {
        PhpStatement statement;
        qsizetype keyAt = -1; // in keys, for a key that is not in text
        std::uint64_t hash = 0;
    };
    std::array<Pending, BatchSize> batch;
    int count = 0;
    QByteArray keys;
    keys.reserve(4096);
    const auto flush = [&] {
        for (int j = 0; j < count; ++j) {
            Pending& p = batch[size_t(j)];
            if (p.keyAt >= 0)
                p.statement.key = QByteArrayView(keys).sliced(p.keyAt, p.statement.key.size());
        }
        for (int j = 0; j < count; ++j)
            handle(std::as_const(batch[size_t(j)].statement), batch[size_t(j)].hash);
        count = 0;
        keys.resize(0);
    };
    ReadPhpPhrases(text, options, [&](const PhpStatement& s) {
        Pending& p = batch[size_t(count++)];
        p.statement = s;
        const bool inText =
            s.key.data() >= text.data() && s.key.data() + s.key.size() <= text.data() + text.size();
        p.keyAt = -1;
        if (!inText) {
            p.keyAt = keys.size();
            keys.append(s.key);
        }
        p.hash = index.Hash(s.key);
        index.Prefetch(p.hash);
        if (count == BatchSize)
            flush();
    });
    flush();
}

bool IsComment(const PhpToken& t)
{
    return t.kind == PhpTokenKind::LineComment || t.kind == PhpTokenKind::BlockComment;
}

template <class T> void Release(std::vector<T>& v)
{
    std::vector<T>().swap(v);
}

} // namespace

QByteArrayView PhpFileHeader(QByteArrayView text, const PhpLexOptions& options)
{
    PhpLexer lexer(text, options);
    PhpToken t;
    qsizetype begin = -1;
    bool comment = false;
    while (lexer.Next(t)) {
        if (begin < 0) {
            if (t.kind == PhpTokenKind::OpenTag)
                begin = t.offset + t.length;
            else if (t.kind != PhpTokenKind::InlineHtml)
                return {};
            continue;
        }
        if (IsComment(t)) {
            comment = true;
            continue;
        }
        if (t.kind == PhpTokenKind::Whitespace)
            continue;
        // The header ends where the first statement's line begins.
        qsizetype end = t.offset;
        while (end > begin && text[end - 1] != '\n' && text[end - 1] != '\r')
            --end;
        return comment ? text.sliced(begin, end - begin) : text.sliced(begin, 0);
    }
    return {};
}

void PhraseStore::LoadTemplate(QByteArray data, const PhpLexOptions& options)
{
    // The text ends at the first NUL, or after a __halt_compiler(); before it; the bytes after
    // are kept and written back unchanged.
    const QByteArrayView beforeNul = TextBeforeNul(data);
    qsizetype textEnd = beforeNul.size();
    qsizetype lines = 0;
    int haltLine = -1;
    ForEachLine(beforeNul, [&](qsizetype start, qsizetype length) {
        if (haltLine >= 0)
            return;
        if (length >= 15 && start + length <= beforeNul.size()) {
            const QByteArrayView line = beforeNul.sliced(start, length);
            if (const qsizetype end = HaltCompilerEnd(line); end >= 0) {
                haltLine = int(std::min<qsizetype>(lines, std::numeric_limits<int>::max()));
                textEnd = start + end;
            }
        }
        ++lines;
    });
    std::optional<NulCut> cut;
    if (haltLine >= 0 && textEnd < data.size()) {
        cut = NulCut{haltLine, data.size() - textEnd, true};
    } else if (beforeNul.size() < data.size()) {
        NulCut nul;
        nul.line = int(std::max<qsizetype>(0, lines - 1));
        if (lines > 0 && (beforeNul.endsWith('\n') || beforeNul.endsWith('\r')))
            nul.line = int(lines);
        nul.bytesAfter = data.size() - beforeNul.size();
        cut = nul;
    }
    if (lines >= std::numeric_limits<int>::max())
        throw EListError(lines);
    if (quint64(textEnd) > KeyOffsetMask)
        throw EListError(textEnd);

    // Built aside and put in place at the end, so that running out of memory on the way leaves
    // the store as it was.
    const QByteArrayView text(data.constData(), textEnd);
    std::vector<PhraseRecord> records;
    std::vector<int> phraseLines;
    std::vector<quint64> keys;
    std::vector<PhraseKindCode> kinds;
    QByteArray arena;
    // Room for a phrase per line, which language files come close to: growing a million
    // entries by doubling would copy them and leave up to half of each list unused.
    const size_t expected = size_t(lines) + 16;
    records.reserve(expected);
    phraseLines.reserve(expected);
    keys.reserve(expected);
    kinds.reserve(expected);
    KeyIndex index;
    index.Reserve(expected);
    const auto keyAt = [&](int p) -> QByteArrayView {
        const quint64 ref = keys[size_t(p)];
        const qsizetype offset = qsizetype(ref & KeyOffsetMask);
        const qsizetype length = qsizetype(ref >> KeyOffsetBits & KeyMaxLength);
        return (ref & KeyInArena) ? QByteArrayView(arena).sliced(offset, length)
                                  : text.sliced(offset, length);
    };
    int counts[4] = {0, 0, 0, 0}; // case, define, bracket lines
    bool lastWinsRepeated = false;
    std::vector<bool> dead;
    std::unordered_map<int, int> latestCopy; // first position of a key -> its latest copy
    ForEachHashedPhrase(text, options, index, [&](const PhpStatement& s, std::uint64_t hash) {
        if (quint64(s.key.size()) > KeyMaxLength)
            return;
        const int kind = int(s.kind);
        if (kind >= 1 && kind <= 3)
            ++counts[kind];
        const int found = index.FindOrInsert(keyAt, s.key, hash, int(records.size()));
        if (found >= 0) {
            if (s.firstWins)
                return; // PHP keeps the first copy; this one is dead code
            // The index keeps the first position; the copy before this one is dead.
            dead.resize(records.size() + 1, false);
            const auto latest = latestCopy.find(found);
            dead[size_t(latest != latestCopy.end() ? latest->second : found)] = true;
            latestCopy[found] = int(records.size());
            lastWinsRepeated = true;
        }
        const qsizetype end = s.fixedLayout ? s.layoutEnd : s.end;
        PhraseRecord r;
        r.begin = s.begin;
        if (end - s.begin > qsizetype(std::numeric_limits<quint32>::max()))
            throw EListError(end - s.begin);
        r.valueOffset = quint32(s.valueBegin - s.begin);
        r.valueLength = quint32(s.valueEnd - s.valueBegin);
        r.endOffset = quint32(end - s.begin);
        r.flags = quint8((s.fixedLayout ? PhraseRecord::FixedLayout : 0) |
                         (s.firstWins ? PhraseRecord::FirstWins : 0) |
                         (s.layoutRequired ? PhraseRecord::LayoutRequired : 0));
        const QByteArrayView code = text.sliced(s.valueBegin, s.valueEnd - s.valueBegin);
        char quote = 0;
        if (s.kind != PhraseLineKind::lkBracket) {
            r.literal = s.literal;
            if (r.literal && !std::memchr(code.data(), '\\', size_t(code.size())))
                r.flags |= PhraseRecord::PlainBody;
            quote = r.literal ? r.literal : ReadPhpValue(code, options).quote;
        }
        r.quote = quote;
        // The key: in the template where it stands there as it is, else in the arena.
        const bool inText =
            s.key.data() >= text.data() && s.key.data() + s.key.size() <= text.data() + text.size();
        if (inText) {
            keys.push_back(KeyRef(s.key.data() - text.data(), s.key.size(), false));
        } else {
            keys.push_back(KeyRef(arena.size(), s.key.size(), true));
            arena.append(s.key);
        }
        records.push_back(r);
        phraseLines.push_back(s.line);
        kinds.push_back(PhraseKindCode(s.kind, quote));
    });
    if (lastWinsRepeated) {
        // Earlier copies of keys set again later are dead: dropped, and the index rebuilt.
        dead.resize(records.size(), false);
        size_t to = 0;
        std::vector<quint64> keptKeys;
        for (size_t from = 0; from < records.size(); ++from) {
            if (dead[from])
                continue;
            records[to] = records[from];
            phraseLines[to] = phraseLines[from];
            kinds[to] = kinds[from];
            keptKeys.push_back(keys[from]);
            ++to;
        }
        records.resize(to);
        phraseLines.resize(to);
        kinds.resize(to);
        keys.swap(keptKeys);
        index = KeyIndex();
        index.Reserve(to);
        for (size_t p = 0; p < to; ++p)
            index.FindOrInsert(keyAt, keyAt(int(p)), int(p));
    }
    // Given back only where most of the room went unused: a copy costs as much as it saves.
    if (records.size() < records.capacity() / 2) {
        records.shrink_to_fit();
        phraseLines.shrink_to_fit();
        keys.shrink_to_fit();
        kinds.shrink_to_fit();
    }
    std::vector<TranslationState> states(records.size(), TranslationState::tsMissing);
    std::vector<TranslationRef> translations(records.size(), TranslationRef::Template());
    std::vector<bool> typed(records.size(), false);
    const QByteArrayView header = PhpFileHeader(text, options);

    // From here on nothing allocates: the old lists leave with the swapped locals.
    Release(m_ownedTexts);
    Release(m_mergedViews);
    Release(m_mergedTexts);
    Release(m_obsolete);
    m_mergedData.clear();
    m_mergedHeader = {};
    m_templateData = std::move(data); // moved, not copied: text still points at its bytes
    m_templateText = text;
    m_templateCut = cut;
    m_templateHeader = header;
    m_options = options;
    m_lineCount = int(lines);
    m_records.swap(records);
    m_lines.swap(phraseLines);
    m_keys.swap(keys);
    m_keyArena.swap(arena);
    m_kinds.swap(kinds);
    m_states.swap(states);
    m_stateCounts = {int(m_states.size()), 0, 0, 0};
    m_translations.swap(translations);
    m_typed.swap(typed);
    m_keyIndex = std::move(index);
    // Case lines win ties, then define lines beat bracket lines only when strictly more.
    int winner = 1;
    for (int k : {2, 3})
        if (counts[k] > counts[winner])
            winner = k;
    m_prefersOriginals = winner == 2 && counts[2] > 0;
}

void PhraseStore::Clear()
{
    Release(m_records);
    Release(m_lines);
    Release(m_keys);
    m_keyArena.clear();
    Release(m_kinds);
    Release(m_states);
    m_stateCounts = {};
    Release(m_translations);
    Release(m_typed);
    Release(m_ownedTexts);
    Release(m_mergedViews);
    Release(m_obsolete);
    m_keyIndex.Clear();
    Release(m_mergedTexts);
    m_mergedData.clear();
    m_mergedHeader = {};
    m_templateHeader = {};
    m_templateText = {};
    m_templateData.clear();
    m_templateCut.reset();
    m_lineCount = 0;
    m_prefersOriginals = false;
}

PhraseLineKind PhraseStore::Kind(int i) const
{
    return IsObsolete(i) ? Obsolete(i).kind : m_kinds[size_t(i)].Kind();
}

int PhraseStore::Line(int i) const
{
    return IsObsolete(i) ? Obsolete(i).line : m_lines[size_t(i)];
}

int PhraseStore::PhraseOnLine(int line) const
{
    const auto it = std::lower_bound(m_lines.begin(), m_lines.end(), line);
    return it != m_lines.end() && *it == line ? int(it - m_lines.begin()) : -1;
}

QByteArrayView PhraseStore::Key(int i) const
{
    if (IsObsolete(i))
        return Obsolete(i).key;
    const quint64 ref = m_keys[size_t(i)];
    const qsizetype offset = qsizetype(ref & KeyOffsetMask);
    const qsizetype length = qsizetype(ref >> KeyOffsetBits & KeyMaxLength);
    return (ref & KeyInArena) ? QByteArrayView(m_keyArena).sliced(offset, length)
                              : m_templateText.sliced(offset, length);
}

QByteArrayView PhraseStore::ValueCode(int i) const
{
    const PhraseRecord& r = m_records[size_t(i)];
    return m_templateText.sliced(r.ValueBegin(), r.valueLength);
}

QByteArrayView PhraseStore::Original(int i, QByteArray& scratch) const
{
    if (IsObsolete(i))
        return {};
    const PhraseRecord& r = m_records[size_t(i)];
    const QByteArrayView code = ValueCode(i);
    if (m_kinds[size_t(i)].Kind() == PhraseLineKind::lkBracket)
        return code;
    if (r.flags & PhraseRecord::PlainBody)
        return code.sliced(1, code.size() - 2); // read without a scan of a long value
    if (r.literal)
        return PhpLiteralText(code.sliced(1, code.size() - 2), r.literal, scratch);
    scratch = ReadPhpValue(code, m_options).text;
    return scratch;
}

char PhraseStore::OriginalQuote(int i) const
{
    if (IsObsolete(i))
        return Obsolete(i).quote;
    return m_records[size_t(i)].quote;
}

QByteArrayView PhraseStore::Translation(int i, QByteArray& scratch) const
{
    if (IsObsolete(i))
        return Obsolete(i).text;
    const TranslationRef ref = m_translations[size_t(i)];
    return ref.IsTemplate() ? Original(i, scratch) : StoredText(ref);
}

char PhraseStore::TranslationQuote(int i) const
{
    if (IsObsolete(i))
        return Obsolete(i).quote;
    return m_kinds[size_t(i)].Quote();
}

bool PhraseStore::Editable(int i) const
{
    if (IsObsolete(i))
        return false;
    const PhraseRecord& r = m_records[size_t(i)];
    if (r.literal || m_kinds[size_t(i)].Kind() == PhraseLineKind::lkBracket)
        return true;
    return ReadPhpValue(ValueCode(i), m_options).shape != PhpValueShape::Code;
}

std::optional<int> PhraseStore::FindKey(QByteArrayView key) const
{
    const int i = m_keyIndex.Find([this](int p) { return Key(p); }, key);
    if (i >= 0)
        return i;
    for (size_t k = 0; k < m_obsolete.size(); ++k)
        if (m_obsolete[k].key == key)
            return int(m_records.size() + k);
    return std::nullopt;
}

QByteArrayView PhraseStore::StoredText(TranslationRef ref) const
{
    if (ref.IsOwned())
        return m_ownedTexts[ref.Index()];
    if (ref.IsMergedView())
        return m_mergedViews[ref.Index()];
    return m_mergedTexts[ref.Source() - 1].sliced(ref.Offset(), ref.Length());
}

void PhraseStore::SetStateCounted(int i, TranslationState state)
{
    TranslationState& s = m_states[size_t(i)];
    --m_stateCounts[size_t(s)];
    ++m_stateCounts[size_t(state)];
    s = state;
}

void PhraseStore::SetState(int i, TranslationState state)
{
    if (!IsObsolete(i))
        SetStateCounted(i, state);
}

void PhraseStore::SetTranslation(int i, const QByteArray& text, TranslationState state)
{
    if (IsObsolete(i))
        return;
    TranslationRef& ref = m_translations[size_t(i)];
    if (ref.IsOwned()) {
        m_ownedTexts[ref.Index()] = text;
    } else {
        ref = TranslationRef::Owned(m_ownedTexts.size());
        m_ownedTexts.push_back(text);
    }
    m_typed[size_t(i)] = true;
    SetStateCounted(i, state);
}

std::vector<ObsoletePhrase> PhraseStore::TakeObsolete()
{
    std::vector<ObsoletePhrase> taken;
    taken.swap(m_obsolete);
    m_stateCounts[size_t(TranslationState::tsObsolete)] = 0;
    return taken;
}

void PhraseStore::PutObsolete(std::vector<ObsoletePhrase> phrases)
{
    m_obsolete = std::move(phrases);
    m_stateCounts[size_t(TranslationState::tsObsolete)] = int(m_obsolete.size());
}

void PhraseStore::Merge(QByteArray data)
{
    // Merged texts are read from the file's bytes, so they stay until the store is reset. The
    // translations are merged into copies that replace them at the end, so that running out of
    // memory on the way leaves them, and the list of merged files, as they were.
    m_mergedTexts.reserve(m_mergedTexts.size() + 1);
    m_mergedData.append(std::move(data));
    m_mergedTexts.push_back(TextBeforeNul(m_mergedData.constLast()));
    try {
        const QByteArrayView text = m_mergedTexts.back();
        const quint64 source = m_mergedTexts.size();
        std::vector<TranslationRef> translations = m_translations;
        std::vector<TranslationState> states = m_states;
        std::array<int, 4> counts = m_stateCounts;
        std::vector<PhraseKindCode> kinds = m_kinds;
        std::vector<QByteArray> owned = m_ownedTexts;
        std::vector<QByteArrayView> views = m_mergedViews;
        std::vector<bool> typed = m_typed;
        std::vector<ObsoletePhrase> obsolete;
        QHash<QByteArray, size_t> obsoleteAt;
        std::vector<bool> taken(m_records.size(), false);
        const auto setState = [&](size_t i, TranslationState state) {
            TranslationState& s = states[i];
            --counts[size_t(s)];
            ++counts[size_t(state)];
            s = state;
        };
        const auto stored = [&](TranslationRef ref) -> QByteArrayView {
            if (ref.IsOwned())
                return owned[ref.Index()];
            if (ref.IsMergedView())
                return views[ref.Index()];
            return m_mergedTexts[ref.Source() - 1].sliced(ref.Offset(), ref.Length());
        };
        QByteArray scratch, templScratch;
        ForEachHashedPhrase(
            text, m_options, m_keyIndex, [&](const PhpStatement& s, std::uint64_t hash) {
                const QByteArrayView code = text.sliced(s.valueBegin, s.valueEnd - s.valueBegin);
                const bool bracket = s.kind == PhraseLineKind::lkBracket;
                const int found = m_keyIndex.Find([this](int p) { return Key(p); }, s.key, hash);
                // The translation's text in its quote's convention.
                char quote = 0;
                QByteArrayView value;
                const char literal = bracket ? 0 : s.literal;
                if (bracket) {
                    value = code;
                } else if (literal) {
                    quote = literal;
                    value = PhpLiteralText(code.sliced(1, code.size() - 2), literal, scratch);
                } else {
                    const PhpValue v = ReadPhpValue(code, m_options);
                    scratch = v.text;
                    value = scratch;
                    quote = v.quote;
                }
                if (found < 0) {
                    // A phrase the template does not have: kept, as PHP keeps its copy of the key.
                    const QByteArray key = s.key.toByteArray();
                    const auto at = obsoleteAt.constFind(key);
                    if (at != obsoleteAt.constEnd() && s.firstWins)
                        return;
                    ObsoletePhrase o;
                    o.kind = s.kind;
                    o.key = key;
                    o.statement =
                        text.sliced(s.begin, (s.fixedLayout ? s.layoutEnd : s.end) - s.begin)
                            .toByteArray();
                    o.text = value.toByteArray();
                    o.quote = quote;
                    o.line = s.line;
                    if (at != obsoleteAt.constEnd()) {
                        obsolete[*at] = std::move(o);
                    } else {
                        obsoleteAt.insert(key, obsolete.size());
                        obsolete.push_back(std::move(o));
                    }
                    return;
                }
                const size_t i = size_t(found);
                if ((m_records[i].flags & PhraseRecord::FirstWins) && taken[i])
                    return;
                taken[i] = true;
                // Compared with the text held now, which an earlier merged file may have given.
                TranslationRef& ref = translations[i];
                QByteArrayView held;
                char heldQuote;
                if (ref.IsTemplate()) {
                    held = Original(int(i), templScratch);
                    heldQuote = OriginalQuote(int(i));
                } else {
                    held = stored(ref);
                    heldQuote = kinds[i].Quote();
                }
                // Texts in two conventions are compared as PHP reads them; a bracket text has none.
                const bool same = heldQuote == quote || !quote || !heldQuote
                                      ? value == held
                                      : ConvertPhpText(value, quote, heldQuote) == held;
                setState(i,
                         same ? TranslationState::tsUntranslated : TranslationState::tsTranslated);
                kinds[i] = PhraseKindCode(kinds[i].Kind(), quote);
                typed[i] = false;
                // A value read where it stands is referred to there, through a view when a
                // reference cannot locate it by itself; one that was read into a text of its own is
                // owned.
                const bool inText =
                    value.isEmpty() || (value.data() >= text.data() &&
                                        value.data() + value.size() <= text.data() + text.size());
                const quint64 offset =
                    value.isEmpty() || !inText ? 0 : quint64(value.data() - text.data());
                const bool wasOwned = ref.IsOwned();
                const bool wasView = ref.IsMergedView();
                if (wasOwned)
                    owned[ref.Index()] = QByteArray();
                if (wasView)
                    views[ref.Index()] = QByteArrayView();
                if (!inText) {
                    if (wasOwned) {
                        owned[ref.Index()] = value.toByteArray();
                    } else {
                        ref = TranslationRef::Owned(owned.size());
                        owned.push_back(value.toByteArray());
                    }
                } else if (TranslationRef::CanRefer(source, offset, quint64(value.size()))) {
                    ref = TranslationRef::Merged(source, offset, quint64(value.size()));
                } else if (wasView) {
                    views[ref.Index()] = value;
                } else {
                    ref = TranslationRef::MergedView(views.size());
                    views.push_back(value);
                }
            });
        counts[size_t(TranslationState::tsObsolete)] = int(obsolete.size());
        const QByteArrayView header = PhpFileHeader(text, m_options);
        m_translations.swap(translations);
        m_states.swap(states);
        m_stateCounts = counts;
        m_kinds.swap(kinds);
        m_ownedTexts.swap(owned);
        m_mergedViews.swap(views);
        m_typed.swap(typed);
        m_obsolete.swap(obsolete);
        m_mergedHeader = header;
    } catch (...) {
        m_mergedTexts.pop_back();
        m_mergedData.removeLast();
        throw;
    }
}

std::vector<PhraseStore::MergedSpan> PhraseStore::MergedValueSpans() const
{
    std::vector<MergedSpan> spans(m_records.size());
    if (m_mergedTexts.empty())
        return spans;
    // The same copies the merge took: the first of a key that PHP keeps first, else the last.
    std::vector<bool> taken(m_records.size(), false);
    ReadPhpPhrases(m_mergedTexts.back(), m_options, [&](const PhpStatement& s) {
        const int found = m_keyIndex.Find([this](int p) { return Key(p); }, s.key);
        if (found < 0)
            return;
        const size_t i = size_t(found);
        if ((m_records[i].flags & PhraseRecord::FirstWins) && taken[i])
            return;
        taken[i] = true;
        spans[i] = {s.valueBegin, s.valueEnd};
    });
    return spans;
}
