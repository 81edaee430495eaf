#include "translationwriter.h"
#include "phpreader.h"
#include "phpvalue.h"
#include "stringtable.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace {

// Collects the file's bytes and hands them on in pieces of about a megabyte, so a huge file is
// never held twice.
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
        if (bytes.isEmpty())
            return;
        if (m_used + bytes.size() > m_buffer.size()) {
            Flush();
            if (bytes.size() > m_buffer.size()) {
                m_sink(bytes);
                return;
            }
        }
        std::memcpy(m_buffer.data() + m_used, bytes.data(), size_t(bytes.size()));
        m_used += bytes.size();
    }
    void Put(char c) { Put(QByteArrayView(&c, 1)); }
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

// The line break that ends the line holding pos, or the text's first, or LF.
QByteArrayView BreakAfter(QByteArrayView text, qsizetype pos)
{
    for (qsizetype i = std::max<qsizetype>(0, pos); i < text.size(); ++i) {
        if (text[i] == '\n')
            return "\n";
        if (text[i] == '\r')
            return i + 1 < text.size() && text[i + 1] == '\n' ? QByteArrayView("\r\n")
                                                              : QByteArrayView("\r");
    }
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text[i] == '\n' || text[i] == '\r')
            return BreakAfter(text, i);
    return "\n";
}

// Where the line holding pos ends (at its break), or the text's end.
qsizetype LineEnd(QByteArrayView text, qsizetype pos)
{
    while (pos < text.size() && text[pos] != '\n' && text[pos] != '\r')
        ++pos;
    return pos;
}

qsizetype LineStart(QByteArrayView text, qsizetype pos)
{
    while (pos > 0 && text[pos - 1] != '\n' && text[pos - 1] != '\r')
        --pos;
    return pos;
}

// Whether a text in quote's convention can be put between quotes as it stands.
bool Plain(QByteArrayView text, char quote)
{
    for (const char c : text) {
        if (c == quote || c == '\\' || c == '\n' || c == '\r' || c == PhpCodeOpen)
            return false;
        if (quote == '"' && (c == '$' || c == '{'))
            return false;
    }
    return true;
}

// Writes phrase i's translation as PHP code in the shape the template's value had.
void PutValue(PieceWriter& out, const PhraseStore& store, int i, QByteArrayView text, char quote,
              QByteArray& buffer)
{
    const PhraseRecord& r = store.Record(i);
    if (store.Kind(i) == PhraseLineKind::lkBracket) {
        out.Put(text);
        return;
    }
    if (r.literal && (quote == '\'' || quote == '"') && Plain(text, quote)) {
        out.Put(quote);
        out.Put(text);
        out.Put(quote);
        return;
    }
    PhpValueLayout layout;
    const QByteArrayView code = store.ValueCode(i);
    PhpValue templ;
    if (!r.literal) {
        templ = ReadPhpValue(code, store.LexOptions());
        layout.shape = templ.shape;
        layout.interpolated = templ.interpolated;
        layout.marker = templ.marker;
        layout.indent = templ.indent;
    }
    const QByteArrayView text0 = store.TemplateText();
    layout.lineBreak =
        templ.lineBreak.isEmpty() ? BreakAfter(text0, r.ValueBegin()) : templ.lineBreak;
    if (r.literal) {
        for (qsizetype k = 0; k < code.size(); ++k)
            if (code[k] == '\n' || code[k] == '\r') {
                layout.lineBreak = code[k] == '\n'                              ? "\n"
                                   : k + 1 < code.size() && code[k + 1] == '\n' ? "\r\n"
                                                                                : "\r";
                break;
            }
    }
    buffer.clear();
    AppendPhpValue(buffer, text, quote, layout);
    out.Put(buffer);
}

// An output shape cut at its two "%s".
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

// The fixed spelling of a classic line: define("K","V"); or case "K": $var = "V"; (break;).
void PutFixed(PieceWriter& out, const PhraseStore& store, int i, QByteArrayView text, char quote,
              QByteArray& buffer)
{
    const PhraseLineKind kind = store.Kind(i);
    const PhraseRecord& r = store.Record(i);
    const QByteArrayView key = store.Key(i);
    if (kind == PhraseLineKind::lkBracket) {
        static const Shape bracket = CutShape(strings::BracketLine);
        out.Put(bracket.prefix);
        out.Put(key);
        out.Put(bracket.middle);
        out.Put(text);
        out.Put(bracket.suffix);
        return;
    }
    static const Shape define = CutShape(strings::DefineLine);
    static const Shape caseLine = CutShape(strings::CaseLine);
    static const Shape lowered = CutShape(strings::CaseStrToLowerLine);
    const Shape& shape = kind == PhraseLineKind::lkDefine ? define
                         : kind == PhraseLineKind::lkCase ? caseLine
                                                          : lowered;
    QByteArray middle = shape.middle.toByteArray();
    QByteArray suffix = shape.suffix.toByteArray();
    if (kind != PhraseLineKind::lkDefine) {
        // The case keeps its own variable, and its break only when it had one.
        const QByteArrayView before =
            store.TemplateText().sliced(r.begin, r.ValueBegin() - r.begin);
        const qsizetype dollar = before.lastIndexOf('$');
        qsizetype nameEnd = dollar + 1;
        while (nameEnd < before.size() &&
               (std::isalnum(uchar(before[nameEnd])) || before[nameEnd] == '_' ||
                uchar(before[nameEnd]) >= 0x80))
            ++nameEnd;
        if (dollar >= 0)
            middle.replace("$tmp", before.sliced(dollar, nameEnd - dollar).toByteArray());
        const QByteArrayView after =
            store.TemplateText().sliced(r.ValueEnd(), r.End() - r.ValueEnd());
        if (!after.contains("break"))
            suffix.replace(" break;", "");
    }
    out.Put(shape.prefix);
    buffer.clear();
    AppendPhpLiteral(buffer, key, '"');
    out.Put(buffer);
    out.Put(middle);
    PutValue(out, store, i, text, quote, buffer);
    out.Put(suffix);
}

// Statement kinds whose obsolete copies stand as statements of their own.
bool IsStatement(PhraseLineKind kind)
{
    return kind == PhraseLineKind::lkDefine || kind == PhraseLineKind::lkConst ||
           kind == PhraseLineKind::lkElement || kind == PhraseLineKind::lkVariable ||
           kind == PhraseLineKind::lkAppend;
}

// The array an entry's key path lies in: the path without its last [..].
QByteArrayView ParentPath(QByteArrayView key)
{
    // Keys are built as prefix['a'][1]: the last '[' that starts a part ends the parent.
    qsizetype depth = 0;
    for (qsizetype k = key.size() - 1; k >= 0; --k) {
        if (key[k] == ']' && depth == 0)
            depth = 1;
        else if (key[k] == '[' && depth == 1)
            return key.first(k);
    }
    return key;
}

// Where each obsolete phrase goes: after the template phrase it is anchored to, or at the end
// (-1) when the template has no phrase of its kind.
std::multimap<int, size_t> ObsoleteAnchors(const PhraseStore& store)
{
    std::multimap<int, size_t> anchors;
    const auto& obsolete = store.ObsoletePhrases();
    if (obsolete.empty())
        return anchors;
    int lastStatement = -1, lastCase = -1, lastBracket = -1;
    std::map<QByteArray, int> lastEntry;
    for (int i = 0; i < store.TemplateCount(); ++i) {
        const PhraseLineKind kind = store.Kind(i);
        if (IsStatement(kind))
            lastStatement = i;
        else if (kind == PhraseLineKind::lkCase || kind == PhraseLineKind::lkCaseStrToLower)
            lastCase = i;
        else if (kind == PhraseLineKind::lkBracket)
            lastBracket = i;
        else if (kind == PhraseLineKind::lkEntry)
            lastEntry[ParentPath(store.Key(i)).toByteArray()] = i;
    }
    for (size_t k = 0; k < obsolete.size(); ++k) {
        const PhraseLineKind kind = obsolete[k].kind;
        int anchor = -1;
        if (IsStatement(kind))
            anchor = lastStatement;
        else if (kind == PhraseLineKind::lkCase || kind == PhraseLineKind::lkCaseStrToLower)
            anchor = lastCase;
        else if (kind == PhraseLineKind::lkBracket)
            anchor = lastBracket;
        else if (const auto it = lastEntry.find(ParentPath(obsolete[k].key).toByteArray());
                 it != lastEntry.end())
            anchor = it->second;
        anchors.emplace(anchor, k);
    }
    return anchors;
}

// An obsolete statement as the translation wrote it, ended as a statement of its own.
void PutObsoleteStatement(PieceWriter& out, const ObsoletePhrase& o)
{
    out.Put(o.statement);
    if (IsStatement(o.kind) && !o.statement.trimmed().endsWith(';'))
        out.Put(';');
}

void WriteFromTemplate(const PhraseStore& store, bool fixedLayout, PieceWriter& out)
{
    const QByteArrayView text = store.TemplateText();
    const QByteArrayView lineBreak = BreakAfter(text, 0);
    const std::multimap<int, size_t> anchors = ObsoleteAnchors(store);
    const auto& obsolete = store.ObsoletePhrases();
    qsizetype pos = 0;
    // The translation's own header comments replace the template's.
    const QByteArrayView templateHeader = store.TemplateHeader();
    const QByteArrayView mergedHeader = store.MergedHeader();
    QByteArray header;
    if (!mergedHeader.isEmpty() && templateHeader.data()) {
        const qsizetype at = templateHeader.data() - text.data();
        out.Put(text.first(at));
        // In the template's line ends, as every line around it.
        const QByteArrayView templateBreak = BreakAfter(text, at);
        for (qsizetype k = 0; k < mergedHeader.size(); ++k) {
            const char c = mergedHeader[k];
            if (c == '\r' || c == '\n') {
                if (c == '\r' && k + 1 < mergedHeader.size() && mergedHeader[k + 1] == '\n')
                    ++k;
                header.append(templateBreak);
            } else {
                header.append(c);
            }
        }
        out.Put(header);
        pos = at + templateHeader.size();
    }
    QByteArray scratch, buffer;
    for (int i = 0; i < store.TemplateCount(); ++i) {
        const PhraseRecord& r = store.Record(i);
        if (r.begin < pos)
            continue; // inside the header that was replaced: cannot happen for a phrase
        out.Put(text.sliced(pos, r.begin - pos));
        const bool untranslated = store.TranslationIsTemplate(i);
        const bool fixed = (fixedLayout && (r.flags & PhraseRecord::FixedLayout)) ||
                           (!untranslated && (r.flags & PhraseRecord::LayoutRequired));
        if (untranslated && !fixed) {
            out.Put(text.sliced(r.begin, r.endOffset));
        } else {
            const QByteArrayView translation = store.Translation(i, scratch);
            const char quote = store.TranslationQuote(i);
            if (fixed) {
                PutFixed(out, store, i, translation, quote, buffer);
            } else {
                out.Put(text.sliced(r.begin, r.valueOffset));
                PutValue(out, store, i, translation, quote, buffer);
                out.Put(text.sliced(r.ValueEnd(), r.End() - r.ValueEnd()));
            }
        }
        pos = r.End();
        const auto [first, last] = anchors.equal_range(i);
        if (first == last)
            continue;
        if (store.Kind(i) == PhraseLineKind::lkEntry) {
            // Entries go on in the same array: after this entry, each with its comma.
            const qsizetype indentAt = LineStart(text, r.begin);
            const QByteArrayView indent = text.sliced(indentAt, r.begin - indentAt);
            for (auto it = first; it != last; ++it) {
                out.Put(',');
                out.Put(lineBreak);
                out.Put(indent.trimmed().isEmpty() ? indent : QByteArrayView());
                out.Put(obsolete[it->second].statement);
            }
            continue;
        }
        const qsizetype end = LineEnd(text, pos);
        out.Put(text.sliced(pos, end - pos));
        pos = end;
        for (auto it = first; it != last; ++it) {
            out.Put(lineBreak);
            PutObsoleteStatement(out, obsolete[it->second]);
        }
    }
    // Obsolete phrases with nothing of their kind to follow: at the end of the code, before a
    // closing tag that ends the file.
    const auto [first, last] = anchors.equal_range(-1);
    qsizetype end = text.size();
    if (first != last) {
        const QByteArrayView rest = text.sliced(pos).trimmed();
        if (rest.endsWith("?>"))
            end = text.lastIndexOf("?>");
        end = std::max(end, pos);
        out.Put(text.sliced(pos, end - pos));
        pos = end;
        if (!text.first(end).trimmed().isEmpty() && !text.first(end).endsWith('\n') &&
            !text.first(end).endsWith('\r'))
            out.Put(lineBreak);
        for (auto it = first; it != last; ++it) {
            const ObsoletePhrase& o = obsolete[it->second];
            if (o.kind == PhraseLineKind::lkEntry) {
                // No array of the template takes it: its text is kept in a comment.
                out.Put("// ");
                QByteArray flat = o.statement;
                flat.replace('\r', ' ').replace('\n', ' ');
                out.Put(flat);
            } else {
                PutObsoleteStatement(out, o);
            }
            out.Put(lineBreak);
        }
    }
    out.Put(text.sliced(pos));
}

void WriteFromTranslation(const PhraseStore& store,
                          const std::vector<PhraseStore::MergedSpan>& spans, PieceWriter& out)
{
    const QByteArray& data = *store.LastMergedData();
    const QByteArrayView text = QByteArrayView(data).first(
        std::min<qsizetype>(data.size(), qsizetype(std::strlen(data.constData()))));
    const QByteArrayView lineBreak = BreakAfter(text, 0);
    struct Edit
    {
        qint64 at;
        qint64 end;
        int phrase;
        bool insert;
    };
    std::vector<Edit> edits;
    int previous = -1; // the last template phrase the translation has
    for (int i = 0; i < store.TemplateCount(); ++i) {
        const bool has = size_t(i) < spans.size() && spans[size_t(i)].begin >= 0;
        if (has) {
            if (store.TranslationTyped(i))
                edits.push_back({spans[size_t(i)].begin, spans[size_t(i)].end, i, false});
            previous = i;
            continue;
        }
        // A phrase the translation lacks: after the line of its neighbour from the template.
        qint64 at;
        if (previous >= 0 && store.Kind(i) == PhraseLineKind::lkEntry) {
            at = spans[size_t(previous)].end; // right after the neighbour's value, in its array
        } else if (previous >= 0) {
            at = LineEnd(text, qsizetype(spans[size_t(previous)].end));
        } else {
            at = -1; // before the first phrase the translation has, placed below
        }
        edits.push_back({at, at, i, true});
    }
    // Obsolete phrases the translator removed go from the file, with what ends their statement
    // (`;`, or an entry's comma) and their line when they stood alone on it.
    ReadPhpPhrases(text, store.LexOptions(), [&](const PhpStatement& st) {
        if (store.FindKey(st.key))
            return;
        qsizetype from = st.begin;
        const qsizetype lineStart = LineStart(text, from);
        const bool alone = text.sliced(lineStart, from - lineStart).trimmed().isEmpty();
        qsizetype to = st.fixedLayout ? st.layoutEnd : st.end;
        const auto blanks = [&] {
            while (to < text.size() && (text[to] == ' ' || text[to] == '\t'))
                ++to;
        };
        blanks();
        if (to < text.size() && text[to] == (st.kind == PhraseLineKind::lkEntry ? ',' : ';'))
            ++to;
        blanks();
        if (alone && (to == text.size() || text[to] == '\n' || text[to] == '\r')) {
            from = lineStart;
            if (to < text.size())
                to += text[to] == '\r' && to + 1 < text.size() && text[to + 1] == '\n' ? 2 : 1;
        }
        edits.push_back({from, to, -1, false});
    });
    // Phrases before any the translation has go before its first one's line.
    qint64 firstLine = text.size();
    for (const auto& s : spans)
        if (s.begin >= 0)
            firstLine = std::min<qint64>(firstLine, LineStart(text, qsizetype(s.begin)));
    for (Edit& e : edits)
        if (e.insert && e.at < 0)
            e.at = e.end = firstLine;
    std::stable_sort(edits.begin(), edits.end(),
                     [](const Edit& a, const Edit& b) { return a.at < b.at; });
    const QByteArrayView templ = store.TemplateText();
    QByteArray scratch, buffer;
    qint64 pos = 0;
    for (const Edit& e : edits) {
        out.Put(text.sliced(pos, e.at - pos));
        pos = e.at;
        if (e.phrase < 0) {
            pos = e.end; // removed
            continue;
        }
        const int i = e.phrase;
        const QByteArrayView translation = store.Translation(i, scratch);
        const char quote = store.TranslationQuote(i);
        if (!e.insert) {
            // The changed value in the shape the template gives it.
            PutValue(out, store, i, translation, quote, buffer);
            pos = e.end;
            continue;
        }
        const PhraseRecord& r = store.Record(i);
        const bool atLineStart = e.at == firstLine && e.at < text.size();
        if (store.Kind(i) == PhraseLineKind::lkEntry) {
            // An entry goes into the array with a comma between it and its neighbour.
            if (!atLineStart) {
                out.Put(",");
                out.Put(lineBreak);
            }
            const qsizetype indentAt = LineStart(templ, r.begin);
            const QByteArrayView indent = templ.sliced(indentAt, r.begin - indentAt);
            if (indent.trimmed().isEmpty())
                out.Put(indent);
            out.Put(templ.sliced(r.begin, r.valueOffset));
            if (store.TranslationIsTemplate(i))
                out.Put(store.ValueCode(i));
            else
                PutValue(out, store, i, translation, quote, buffer);
            out.Put(templ.sliced(r.ValueEnd(), r.End() - r.ValueEnd()));
            if (atLineStart) {
                out.Put(",");
                out.Put(lineBreak);
            }
            continue;
        }
        // The template's whole lines of the statement, its value translated.
        const qsizetype from = LineStart(templ, r.begin);
        const qsizetype to = LineEnd(templ, r.End());
        if (!atLineStart)
            out.Put(lineBreak);
        out.Put(templ.sliced(from, r.begin - from));
        out.Put(templ.sliced(r.begin, r.valueOffset));
        if (store.TranslationIsTemplate(i))
            out.Put(store.ValueCode(i));
        else
            PutValue(out, store, i, translation, quote, buffer);
        out.Put(templ.sliced(r.ValueEnd(), to - r.ValueEnd()));
        if (atLineStart)
            out.Put(lineBreak);
    }
    out.Put(text.sliced(pos));
}

} // namespace

void WriteTranslationFile(const PhraseStore& store, SaveLayout layout,
                          const std::function<void(QByteArrayView)>& sink)
{
    PieceWriter out(sink);
    // A translation that holds none of the template's phrases (an empty file, a file of another
    // application) has no place to update: the template's layout builds it.
    if (layout == SaveLayout::Translation && store.LastMergedData()) {
        const std::vector<PhraseStore::MergedSpan> spans = store.MergedValueSpans();
        if (std::any_of(spans.begin(), spans.end(),
                        [](const PhraseStore::MergedSpan& s) { return s.begin >= 0; })) {
            WriteFromTranslation(store, spans, out);
            out.Flush();
            return;
        }
    }
    WriteFromTemplate(store, layout == SaveLayout::Template, out);
    // What follows a NUL or __halt_compiler(); in the template is no text to rebuild: its bytes.
    out.Put(QByteArrayView(store.TemplateData()).sliced(store.TemplateText().size()));
    out.Flush();
}
