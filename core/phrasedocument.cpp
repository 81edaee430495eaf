#include "phrasedocument.h"
#include "errors.h"
#include "stringtable.h"

#include <QIODevice>
#include <algorithm>
#include <cstring>

namespace {

void AppendQuoted(QByteArray& out, QByteArrayView text)
{
    out.append('"');
    qsizetype run = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '"') {
            out.append(text.sliced(run, i - run));
            out.append('\\');
            run = i;
        }
    }
    out.append(text.sliced(run));
    out.append('"');
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
void AppendShape(QByteArray& out, PhraseLineKind kind, QByteArrayView key, QByteArrayView text)
{
    const Shape& shape = ShapeFor(kind);
    out.append(shape.prefix);
    if (kind == lkBracket)
        out.append(key);
    else
        AppendQuoted(out, key);
    out.append(shape.middle);
    if (kind == lkBracket)
        out.append(text);
    else
        AppendQuoted(out, text);
    out.append(shape.suffix);
}

} // namespace

PhraseDocument::PhraseDocument(QObject* parent) : QObject(parent) {}

void PhraseDocument::SetShowOriginal(bool show)
{
    if (m_showOriginal == show)
        return;
    m_showOriginal = show;
    emit ShowOriginalChanged(show);
}

QByteArrayView PhraseDocument::TemplateLine(int line) const
{
    const LineSpan& s = m_lines.at(size_t(line));
    return QByteArrayView(m_templateData.constData() + s.offset, s.length);
}

std::optional<int> PhraseDocument::FindKey(QByteArrayView key) const
{
    const int i = m_keyIndex.Find(m_keys, key);
    if (i < 0)
        return std::nullopt;
    return i;
}

void PhraseDocument::LoadTemplate(const QString& path)
{
    LoadTemplateData(ReadFileBytes(path));
}

void PhraseDocument::LoadTemplateData(QByteArray data)
{
    emit AboutToReset();
    ResetPhrases();
    m_templateData = std::move(data);
    m_lines = SplitLines(m_templateData);
    m_lineTags.assign(m_lines.size(), -1);

    // Room for every phrase line, counted first: growing ten million entries by doubling would
    // leave up to half of each list unused.
    qsizetype candidates = 0;
    for (size_t l = 0; l < m_lines.size(); ++l)
        candidates += PhraseLineKindOf(TemplateLine(int(l))) != lkNone;
    m_keys.reserve(candidates);
    m_keyLines.reserve(size_t(candidates));
    m_originals.reserve(candidates);
    m_translations.reserve(candidates);
    m_states.reserve(size_t(candidates));
    m_kinds.reserve(size_t(candidates));

    int counts[4] = {0, 0, 0, 0}; // by kind; case strtolower lines are not counted
    QByteArray key;
    QByteArray value;
    for (size_t l = 0; l < m_lines.size(); ++l) {
        const PhraseLineKind kind = ParsePhraseLine(TemplateLine(int(l)), key, value, true);
        if (kind == lkNone)
            continue;
        if (kind <= lkBracket)
            ++counts[kind];
        const int phrase = int(m_keys.size());
        if (m_keyIndex.FindOrInsert(m_keys, key, phrase) >= 0)
            continue;
        m_keys.append(key);
        m_keyLines.push_back(int(l));
        m_originals.append(value);
        m_translations.append(value);
        m_states.push_back(tsMissing);
        m_kinds.push_back(kind);
        m_lineTags[l] = phrase;
    }

    // Case lines win ties, then define lines beat bracket lines only when strictly more.
    PhraseLineKind winner = lkCase;
    for (PhraseLineKind k : {lkDefine, lkBracket})
        if (counts[k] > counts[winner])
            winner = k;
    const bool showOriginalChanged = m_showOriginal != (winner == lkDefine);
    m_showOriginal = winner == lkDefine;

    emit TemplateLoaded();
    if (showOriginalChanged)
        emit ShowOriginalChanged(m_showOriginal);
}

void PhraseDocument::LoadTranslation(const QString& path)
{
    // The chosen name is kept even when reading fails, so a later Save goes there.
    m_translationFileName = path;
    MergeTranslationData(ReadFileBytes(path));
}

void PhraseDocument::MergeTranslationData(QByteArray data)
{
    // Merged texts refer into the file's bytes, which stay with the document until it is reset.
    m_mergedData.append(std::move(data));
    const QByteArray& bytes = m_mergedData.constLast();
    QByteArray key;
    QByteArray value;
    for (const LineSpan& s : SplitLines(bytes)) {
        const PhraseLineKind kind = ParsePhraseLine(
            QByteArrayView(bytes.constData() + s.offset, s.length), key, value, true);
        if (kind == lkNone)
            continue;
        const int i = m_keyIndex.Find(m_keys, key);
        if (i < 0)
            continue;
        // Compared with the text held now, so a key repeated in the file is judged against the
        // text its previous occurrence stored, and the last occurrence decides.
        m_states[size_t(i)] = (value == m_translations.at(i)) ? tsUntranslated : tsTranslated;
        m_translations[i] = value;
    }
    emit TranslationsMerged();
    const PhraseStatistics st = Statistics();
    SetStatusText(QString::fromLatin1(strings::Statistics)
                      .arg(st.phrases)
                      .arg(st.untranslated)
                      .arg(st.missing));
}

void PhraseDocument::ProduceTranslationFile(const std::function<void(QByteArrayView)>& sink) const
{
    // Handed over in pieces of about a megabyte, so a huge file is never held twice.
    constexpr qsizetype Piece = 1 << 20;
    QByteArray buffer;
    buffer.reserve(Piece + 4096);
    for (size_t l = 0; l < m_lines.size(); ++l) {
        const int phrase = m_lineTags[l];
        if (phrase < 0)
            buffer.append(TemplateLine(int(l)));
        else
            AppendShape(buffer, PhraseLineKind(m_kinds[size_t(phrase)]), m_keys.at(phrase), m_translations.at(phrase));
        buffer.append("\r\n", 2);
        if (buffer.size() >= Piece) {
            sink(buffer);
            buffer.resize(0);
        }
    }
    if (!buffer.isEmpty())
        sink(buffer);
}

QByteArray PhraseDocument::BuildTranslationFile() const
{
    QByteArray out;
    ProduceTranslationFile([&out](QByteArrayView piece) { out.append(piece); });
    return out;
}

void PhraseDocument::SaveTranslation()
{
    WriteFileAtomically(m_translationFileName, [this](QIODevice& file) {
        bool ok = true;
        ProduceTranslationFile([&](QByteArrayView piece) {
            ok = ok && file.write(piece.data(), piece.size()) == piece.size();
        });
        return ok;
    });
    SetModified(false);
}

bool PhraseDocument::CommitTranslation(int phrase, const QByteArray& text)
{
    if (phrase < 0 || phrase >= PhraseCount() || m_translations.at(phrase) == text)
        return false;
    m_states[size_t(phrase)] = tsTranslated;
    m_translations[phrase] = text;
    SetModified(true);
    emit TranslationChanged(phrase);
    return true;
}

void PhraseDocument::RestoreTranslationText(int phrase, const QByteArray& text)
{
    if (phrase < 0 || phrase >= PhraseCount() || m_translations.at(phrase) == text)
        return;
    m_translations[phrase] = text;
    emit TranslationChanged(phrase);
}

void PhraseDocument::ClearDocument()
{
    SetModified(false);
    emit AboutToReset();
    ResetPhrases();
    m_lines.clear();
    m_lineTags.clear();
    m_templateData.clear();
    emit Cleared();
    m_translationFileName.clear();
    SetStatusText(QString());
}

void PhraseDocument::ResetPhrases()
{
    // The phrase lists refer into the file bytes, so they go before the bytes do.
    m_kinds.clear();
    m_keys.clear();
    m_keyLines.clear();
    m_originals.clear();
    m_translations.clear();
    m_states.clear();
    m_keyIndex.Clear();
    m_mergedData.clear();
}

PhraseStatistics PhraseDocument::Statistics() const
{
    PhraseStatistics st;
    st.phrases = PhraseCount();
    for (quint8 s : m_states) {
        if (s == tsUntranslated)
            ++st.untranslated;
        else if (s == tsMissing)
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
