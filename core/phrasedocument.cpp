#include "phrasedocument.h"
#include "errors.h"
#include "phpvalue.h"
#include "stringtable.h"
#include "translationwriter.h"

#include <QIODevice>
#include <algorithm>
#include <cstring>
#include <utility>

namespace {

// A typed text up to its first NUL, which would end the file's text there, with only the code
// parts that known lists allow; any other code marker is dropped, so what is typed stays text.
QByteArray TypedText(const QByteArray& typed, const QList<QByteArrayView>& allowed)
{
    const QByteArray text = typed.first(TextBeforeNul(typed).size());
    if (text.indexOf(PhpCodeOpen) < 0 && text.indexOf(PhpCodeClose) < 0)
        return text;
    QList<QByteArrayView> left = allowed;
    QByteArray out;
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype open = text.indexOf(PhpCodeOpen, i);
        const qsizetype close = open < 0 ? -1 : text.indexOf(PhpCodeClose, open + 1);
        const qsizetype nested = open < 0 ? -1 : text.indexOf(PhpCodeOpen, open + 1);
        if (close < 0 || (nested >= 0 && nested < close)) {
            const qsizetype until = open < 0 ? text.size() : (nested >= 0 ? nested : text.size());
            for (qsizetype k = i; k < until; ++k)
                if (text[k] != PhpCodeOpen && text[k] != PhpCodeClose)
                    out.append(text[k]);
            i = until;
            continue;
        }
        for (qsizetype k = i; k < open; ++k)
            if (text[k] != PhpCodeClose)
                out.append(text[k]);
        const QByteArrayView code = QByteArrayView(text).sliced(open + 1, close - open - 1);
        const auto known = std::find(left.begin(), left.end(), code);
        if (known != left.end()) {
            left.erase(known); // each code part of the original once
            out.append(text.sliced(open, close + 1 - open));
        } else {
            out.append(code); // not code from the original: its bytes are text
        }
        i = close + 1;
    }
    return out;
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
    return m_store.PhraseOnLine(line);
}

bool PhraseDocument::PhraseEditable(int i) const
{
    return i >= 0 && i < PhraseCount() && m_store.Editable(i);
}

QByteArray PhraseDocument::PhraseKey(int i) const
{
    return m_store.Key(i).toByteArray();
}

QByteArray PhraseDocument::PhraseOriginal(int i) const
{
    QByteArray scratch;
    const QByteArrayView text = m_store.Original(i, scratch);
    return text.data() == scratch.constData() ? scratch : text.toByteArray();
}

QByteArray PhraseDocument::PhraseTranslation(int i) const
{
    QByteArray scratch;
    const QByteArrayView text = m_store.Translation(i, scratch);
    return text.data() == scratch.constData() ? scratch : text.toByteArray();
}

void PhraseDocument::BorrowPhraseTexts(int i, BorrowedPhraseTexts& texts, bool templateTexts,
                                       bool translation) const
{
    texts.key = texts.original = texts.column = texts.translation = QByteArrayView();
    if (templateTexts) {
        texts.key = m_store.Key(i);
        texts.original = m_store.Original(i, texts.m_originalScratch);
        texts.column = m_showOriginal ? texts.original : texts.key;
    }
    if (translation)
        texts.translation = m_store.Translation(i, texts.m_translationScratch);
}

DocumentEncoding PhraseDocument::DetectEncoding(const QLocale& locale) const
{
    QList<QByteArray> merged;
    if (const QByteArray* last = m_store.LastMergedData())
        merged.append(*last);
    return DetectDocumentEncoding(m_store.TemplateData(), merged, locale);
}

std::optional<int> PhraseDocument::FindKey(QByteArrayView key) const
{
    return m_store.FindKey(key);
}

void PhraseDocument::LoadTemplateData(QByteArray data)
{
    PhraseStore store;
    store.LoadTemplate(std::move(data), m_lexOptions); // throws with the document untouched
    emit AboutToReset();
    m_store = std::move(store);
    m_templatePath = FilePath();
    m_templateStamp = FileStamp();
    const bool show = m_store.PrefersOriginals();
    const bool showOriginalChanged = m_showOriginal != show;
    m_showOriginal = show;
    emit TemplateLoaded();
    if (showOriginalChanged)
        emit ShowOriginalChanged(m_showOriginal);
}

void PhraseDocument::MergeTranslationData(QByteArray data)
{
    const int before = m_store.Count();
    m_store.Merge(std::move(data));
    if (m_store.Count() != before) {
        // Obsolete phrases came or went: the grid takes a new row count.
        emit AboutToReset();
        emit TemplateLoaded();
    }
    emit TranslationsMerged();
    SetStatusText(StatisticsText(m_store.StateCounts()));
}

void PhraseDocument::ProduceTranslationFile(const std::function<void(QByteArrayView)>& sink) const
{
    WriteTranslationFile(m_store, m_layout, sink);
}

QByteArray PhraseDocument::BuildTranslationFile() const
{
    QByteArray out;
    ProduceTranslationFile([&out](QByteArrayView piece) { out.append(piece); });
    return out;
}

bool PhraseDocument::CommitTranslation(int phrase, const QByteArray& typed)
{
    if (phrase < 0 || phrase >= PhraseCount() || !PhraseEditable(phrase))
        return false;
    const QByteArray original = PhraseOriginal(phrase);
    const QByteArray current = PhraseTranslation(phrase);
    QList<QByteArrayView> allowed = PhpCodeParts(original);
    for (const QByteArrayView code : PhpCodeParts(current))
        if (!allowed.contains(code))
            allowed.append(code);
    const QByteArray text = TypedText(typed, allowed);
    if (current == text)
        return false;
    m_store.SetTranslation(phrase, text, TranslationState::tsTranslated);
    SetModified(true);
    emit TranslationChanged(phrase);
    return true;
}

void PhraseDocument::RestoreTranslationText(int phrase, const QByteArray& text)
{
    if (phrase < 0 || phrase >= PhraseCount() || m_store.IsObsolete(phrase) ||
        PhraseTranslation(phrase) == text)
        return;
    m_store.SetTranslation(phrase, text, m_store.State(phrase));
    emit TranslationChanged(phrase);
}

void PhraseDocument::RestoreTranslation(int phrase, const QByteArray& text, TranslationState state)
{
    if (phrase < 0 || phrase >= PhraseCount() || m_store.IsObsolete(phrase))
        return;
    const bool sameText = PhraseTranslation(phrase) == text;
    if (sameText && m_store.State(phrase) == state)
        return;
    if (sameText)
        m_store.SetState(phrase, state);
    else
        m_store.SetTranslation(phrase, text, state);
    emit TranslationChanged(phrase);
}

std::vector<ObsoletePhrase> PhraseDocument::RemoveObsolete()
{
    if (m_store.ObsoletePhrases().empty())
        return {};
    emit AboutToReset();
    std::vector<ObsoletePhrase> removed = m_store.TakeObsolete();
    emit TemplateLoaded();
    emit TranslationsMerged();
    SetModified(true);
    return removed;
}

void PhraseDocument::PutBackObsolete(std::vector<ObsoletePhrase> phrases)
{
    emit AboutToReset();
    m_store.PutObsolete(std::move(phrases));
    emit TemplateLoaded();
    emit TranslationsMerged();
}

void PhraseDocument::ClearDocument()
{
    SetModified(false);
    emit AboutToReset();
    m_store.Clear();
    emit Cleared();
    m_translationPath = FilePath();
    m_templatePath = FilePath();
    m_templateStamp = FileStamp();
    m_stampedPath = FilePath();
    m_nulCut.reset();
    SetStatusText(QString());
    emit FilesChanged();
}

PhraseStatistics PhraseDocument::Statistics() const
{
    const auto& counts = m_store.StateCounts();
    PhraseStatistics st;
    st.phrases = m_store.TemplateCount();
    st.missing = counts[size_t(TranslationState::tsMissing)];
    st.untranslated = counts[size_t(TranslationState::tsUntranslated)];
    st.translated = counts[size_t(TranslationState::tsTranslated)];
    st.obsolete = int(m_store.ObsoletePhrases().size());
    return st;
}

QString PhraseDocument::StatisticsText(const std::array<int, 4>& counts)
{
    return QString::fromLatin1(strings::Statistics)
        .arg(counts[0] + counts[1] + counts[2])
        .arg(counts[size_t(TranslationState::tsUntranslated)])
        .arg(counts[size_t(TranslationState::tsMissing)]);
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
