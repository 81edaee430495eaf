#include "phrasemodel.h"

#include "phrasedocument.h"
#include "stringtable.h"
#include "textcodec.h"

#include <algorithm>

PhraseTableModel::PhraseTableModel(PhraseDocument& document, const TextCodec& codec,
                                   QObject* parent)
    : QAbstractTableModel(parent), m_doc(document), m_codec(codec), m_problems(document)
{
    connect(&m_doc, &PhraseDocument::AboutToReset, this, [this] { beginResetModel(); });
    connect(&m_doc, &PhraseDocument::TemplateLoaded, this, [this] {
        ForgetProblems();
        BuildRows();
        endResetModel();
    });
    connect(&m_doc, &PhraseDocument::Cleared, this, [this] {
        m_problems.Clear();
        BuildRows();
        endResetModel();
        emit ProblemsChanged();
    });
    connect(&m_doc, &PhraseDocument::TranslationsMerged, this, [this] {
        ForgetProblems();
        // A merge may change any state: a filtered list is made anew.
        if (Filtered())
            Refilter(m_filter);
        else if (rowCount() > 0)
            emit dataChanged(index(0, ColumnTranslated), index(rowCount() - 1, ColumnTranslated));
    });
    connect(&m_doc, &PhraseDocument::TranslationChanged, this,
            &PhraseTableModel::OnTranslationChanged);
    connect(&m_doc, &PhraseDocument::ShowOriginalChanged, this, [this] {
        if (rowCount() > 0)
            emit dataChanged(index(0, ColumnOriginal), index(rowCount() - 1, ColumnOriginal),
                             {Qt::DisplayRole, Qt::EditRole});
    });
}

QByteArray PhraseTableModel::GetCellText(int col, int row) const
{
    if (row == 0) {
        switch (col) {
        case ColumnLine:
            return strings::LineHeader;
        case ColumnOriginal:
            return strings::OriginalHeader;
        case ColumnTranslated:
            return strings::TranslatedHeader;
        }
        return {};
    }
    const int phrase = PhraseAt(row - 1);
    if (phrase < 0)
        return {};
    switch (col) {
    case ColumnLine:
        return QByteArray::number(m_doc.PhraseKeyTag(phrase));
    case ColumnOriginal:
        // An obsolete phrase has no original: its key stands for it.
        if (m_doc.PhraseState(phrase) == TranslationState::tsObsolete)
            return m_doc.PhraseKey(phrase);
        return m_doc.PhraseColumnText(phrase);
    case ColumnTranslated:
        return m_doc.PhraseTranslation(phrase);
    }
    return {};
}

QByteArrayView PhraseTableModel::BorrowCellText(const QModelIndex& index,
                                                BorrowedPhraseTexts& texts) const
{
    const int phrase = PhraseAt(index.row());
    if (phrase < 0)
        return {};
    switch (index.column()) {
    case ColumnOriginal:
        m_doc.BorrowPhraseTexts(phrase, texts, true, false);
        if (m_doc.PhraseState(phrase) == TranslationState::tsObsolete)
            return texts.key;
        return texts.column;
    case ColumnTranslated:
        m_doc.BorrowPhraseTexts(phrase, texts, false, true);
        return texts.translation;
    }
    return {};
}

namespace {

// Whether bytes hold what the grid shows as a mark: a line break or a code part.
bool HasMarks(QByteArrayView bytes)
{
    return bytes.contains('\n') || bytes.contains('\r') || bytes.contains(PhpCodeOpen);
}

} // namespace

ShownValue PhraseTableModel::ShownText(const QModelIndex& index) const
{
    if (index.column() == ColumnLine)
        return {QString::fromLatin1(GetCellText(ColumnLine, index.row() + 1)), {}};
    // Read in place, and only the start of a long value decoded: every paint asks for this.
    BorrowedPhraseTexts texts;
    QByteArrayView bytes = BorrowCellText(index, texts);
    const bool isLong = bytes.size() > LongValueSize;
    QString shown;
    if (!isLong) {
        shown = m_codec.ToUnicode(bytes);
    } else {
        // No encoding takes more than four bytes for a character: these bytes hold the
        // characters shown, and the last one decoded, which may be cut, is not among them.
        bytes = bytes.first(4 * ShownCharacters);
        shown = m_codec.ToUnicode(bytes);
        qsizetype keep = std::min(shown.size() - 1, ShownCharacters);
        if (keep > 0 && shown[keep - 1].isHighSurrogate())
            --keep;
        shown.truncate(std::max<qsizetype>(keep, 0));
    }
    ShownValue out;
    if (HasMarks(bytes))
        out = ShowValue(shown);
    else
        out.text = std::move(shown);
    if (isLong)
        out.text += QChar(0x2026); // an ellipsis: the value goes on
    return out;
}

bool PhraseTableModel::EditedInPane(const QModelIndex& index) const
{
    const int phrase = PhraseAt(index.row());
    if (phrase < 0 || index.column() == ColumnLine)
        return false;
    BorrowedPhraseTexts texts;
    const QByteArrayView bytes = BorrowCellText(index, texts);
    if (bytes.size() > LongValueSize || HasMarks(bytes))
        return true;
    // A translation goes where its original's lines and code parts can be kept.
    if (index.column() != ColumnTranslated)
        return false;
    m_doc.BorrowPhraseTexts(phrase, texts, true, false);
    return HasMarks(texts.original);
}

QColor PhraseTableModel::StateColor(TranslationState state)
{
    switch (state) {
    case TranslationState::tsMissing:
        return QColor(255, 0, 0);
    case TranslationState::tsUntranslated:
        return QColor(0, 0, 128);
    case TranslationState::tsTranslated:
        return QColor(0, 128, 0);
    case TranslationState::tsObsolete:
        return QColor(128, 128, 128); // grey: kept in the file, gone from the template
    }
    return {};
}

int PhraseTableModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    return Filtered() ? int(m_shown.size()) : m_doc.PhraseCount();
}

int PhraseTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant PhraseTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= ColumnCount)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return ShownText(index).text;
    case MarksRole:
        return QVariant::fromValue(ShownText(index).marks);
    case PaneEditRole:
        return EditedInPane(index);
    case Qt::EditRole:
        return m_codec.ToUnicode(GetCellText(index.column(), index.row() + 1));
    case LongValueRole: {
        BorrowedPhraseTexts texts;
        return BorrowCellText(index, texts).size() > LongValueSize;
    }
    case Qt::ForegroundRole: {
        const TranslationState state = m_doc.PhraseState(PhraseAt(index.row()));
        // An obsolete phrase is grey across its row: it is no phrase of the template.
        if (index.column() == ColumnTranslated || state == TranslationState::tsObsolete)
            return StateColor(state);
        return {};
    }
    case BytesRole:
        return GetCellText(index.column(), index.row() + 1);
    case StateRole:
        if (index.column() == ColumnTranslated)
            return int(m_doc.PhraseState(PhraseAt(index.row())));
        return {};
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::ToolTipRole:
        if (m_doc.PhraseState(PhraseAt(index.row())) == TranslationState::tsObsolete)
            return EditTexts::Obsolete();
        if (index.column() != ColumnTranslated)
            return {};
        if (!m_doc.PhraseEditable(PhraseAt(index.row())))
            return EditTexts::NotEditable();
        if (m_problems.HasProblems(PhraseAt(index.row())))
            return m_problems.Text(PhraseAt(index.row()));
        return {};
    case Qt::DecorationRole:
        if (index.column() == ColumnTranslated)
            if (const QIcon mark = m_problems.Mark(PhraseAt(index.row())); !mark.isNull())
                return mark;
        return {};
    }
    return {};
}

QVariant PhraseTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= ColumnCount)
            return {};
        return m_codec.ToUnicode(GetCellText(section, 0));
    }
    // The vertical header is the grid's "Line #" column.
    if (section < 0 || section >= rowCount())
        return {};
    return QString::fromLatin1(GetCellText(ColumnLine, section + 1));
}

Qt::ItemFlags PhraseTableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid() || index.column() == ColumnLine)
        return Qt::NoItemFlags;
    // The key column opens an editor too (it closes at the first change), but never stores.
    // A value that is not one literal is kept as the template has it, so it takes no typing.
    if (index.column() == ColumnTranslated && index.row() < rowCount() &&
        !m_doc.PhraseEditable(PhraseAt(index.row())))
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

bool PhraseTableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.column() != ColumnTranslated || index.row() >= rowCount())
        return false;
    const int phrase = PhraseAt(index.row());
    if (role == BytesRole) {
        m_doc.RestoreTranslationText(phrase, value.toByteArray());
        return true;
    }
    if (role != Qt::EditRole)
        return false;
    const auto bytes = m_codec.FromUnicode(value.toString());
    if (!bytes)
        return false; // the editor refuses such characters; never store a lossy text
    // Unchanged text stores nothing, so cells the user did not edit keep their bytes.
    return m_doc.CommitTranslation(phrase, *bytes);
}

void PhraseTableModel::RefreshAll()
{
    // A new encoding may read the translations' bytes otherwise.
    UpdateProblems();
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
    emit headerDataChanged(Qt::Vertical, 0, std::max(0, rowCount() - 1));
}

// ---------------------------------------------------------------- the filter

bool PhraseTableModel::Accepts(int phrase) const
{
    return PhraseFilterAccepts(m_filter, m_doc, phrase, m_problems.HasProblems(phrase));
}

void PhraseTableModel::CheckAll()
{
    m_checkedEncoding = m_codec.Name();
    m_problems.CheckAll(m_checkedEncoding);
    emit ProblemsChanged();
}

void PhraseTableModel::ForgetProblems()
{
    m_problems.Clear();
    m_checkedEncoding.clear();
    emit ProblemsChanged();
}

void PhraseTableModel::UpdateProblems()
{
    if (m_codec.Name() == m_checkedEncoding)
        return;
    CheckAll();
    if (m_filter == PhraseFilter::WithProblems)
        Refilter(m_filter);
    else if (rowCount() > 0)
        emit dataChanged(index(0, ColumnTranslated), index(rowCount() - 1, ColumnTranslated),
                         {Qt::DecorationRole, Qt::ToolTipRole});
}

void PhraseTableModel::SetEnabledChecks(PhraseCheckSet enabled)
{
    if (enabled == m_problems.Enabled())
        return;
    m_checkedEncoding = m_codec.Name();
    m_problems.SetEnabled(enabled);
    m_problems.CheckAll(m_checkedEncoding);
    if (m_filter == PhraseFilter::WithProblems)
        Refilter(m_filter);
    else if (rowCount() > 0)
        emit dataChanged(index(0, ColumnTranslated), index(rowCount() - 1, ColumnTranslated),
                         {Qt::DecorationRole, Qt::ToolTipRole});
    emit ProblemsChanged();
}

std::optional<int> PhraseTableModel::NextProblemRow(int current) const
{
    // Phrases with problems are few; walk them rather than the rows.
    const int from = PhraseAt(std::max(current + 1, 0));
    if (from < 0)
        return std::nullopt;
    for (std::optional<int> p = m_problems.NextFrom(from); p; p = m_problems.NextFrom(*p + 1)) {
        const int row = RowOf(*p);
        if (row > current)
            return row;
    }
    return std::nullopt;
}

void PhraseTableModel::BuildRows()
{
    // Rows are made anew from the states alone: a phrase held before is shown as it is now.
    m_held.clear();
    std::vector<int>().swap(m_shown);
    if (!Filtered())
        return;
    for (int p = 0; p < m_doc.PhraseCount(); ++p)
        if (Accepts(p))
            m_shown.push_back(p);
    m_shown.shrink_to_fit();
}

void PhraseTableModel::Refilter(PhraseFilter filter)
{
    emit AboutToRefilter();
    beginResetModel();
    m_filter = filter;
    BuildRows();
    endResetModel();
    emit Refiltered();
}

void PhraseTableModel::SetFilter(PhraseFilter filter)
{
    if (filter != m_filter)
        Refilter(filter);
}

int PhraseTableModel::PhraseAt(int row) const
{
    if (row < 0 || row >= rowCount())
        return -1;
    return Filtered() ? m_shown[size_t(row)] : row;
}

int PhraseTableModel::RowOf(int phrase) const
{
    if (phrase < 0 || phrase >= m_doc.PhraseCount())
        return -1;
    if (!Filtered())
        return phrase;
    const auto it = std::lower_bound(m_shown.begin(), m_shown.end(), phrase);
    return it != m_shown.end() && *it == phrase ? int(it - m_shown.begin()) : -1;
}

int PhraseTableModel::NearestRow(int phrase) const
{
    const int rows = rowCount();
    if (rows == 0)
        return -1;
    if (!Filtered())
        return std::clamp(phrase, 0, rows - 1);
    // The first row showing phrase or a later one; past the end, the last row.
    const auto it = std::lower_bound(m_shown.begin(), m_shown.end(), phrase);
    return std::min(int(it - m_shown.begin()), rows - 1);
}

void PhraseTableModel::HoldPhrase(int phrase)
{
    if (phrase >= 0 && std::find(m_held.begin(), m_held.end(), phrase) == m_held.end())
        m_held.push_back(phrase);
}

void PhraseTableModel::ReleasePhrase(int phrase)
{
    const auto it = std::find(m_held.begin(), m_held.end(), phrase);
    if (it == m_held.end())
        return;
    m_held.erase(it);
    // Its state is judged now, as it would have been at its last change.
    const int row = RowOf(phrase);
    if (Filtered() && row >= 0 && !Accepts(phrase))
        RemoveRow(row);
}

void PhraseTableModel::RemoveRow(int row)
{
    beginRemoveRows(QModelIndex(), row, row);
    m_shown.erase(m_shown.begin() + row);
    endRemoveRows();
}

void PhraseTableModel::InsertRow(int phrase)
{
    const auto at = std::lower_bound(m_shown.begin(), m_shown.end(), phrase);
    const int row = int(at - m_shown.begin());
    beginInsertRows(QModelIndex(), row, row);
    m_shown.insert(at, phrase);
    endInsertRows();
}

void PhraseTableModel::RevealPhrase(int phrase)
{
    if (phrase < 0 || phrase >= m_doc.PhraseCount())
        return;
    HoldPhrase(phrase);
    if (Filtered() && RowOf(phrase) < 0)
        InsertRow(phrase);
}

void PhraseTableModel::OnTranslationChanged(int phrase)
{
    // Only this phrase's text changed: only it is checked again.
    if (m_problems.CheckPhrase(phrase))
        emit ProblemsChanged();
    const int row = RowOf(phrase);
    const bool held = std::find(m_held.begin(), m_held.end(), phrase) != m_held.end();
    if (Filtered() && row < 0 && Accepts(phrase)) {
        InsertRow(phrase);
        return;
    }
    if (row < 0)
        return;
    if (Filtered() && !held && !Accepts(phrase)) {
        RemoveRow(row);
        return;
    }
    const QModelIndex i = index(row, ColumnTranslated);
    emit dataChanged(i, i,
                     {Qt::DisplayRole, Qt::EditRole, Qt::ForegroundRole, StateRole,
                      Qt::DecorationRole, Qt::ToolTipRole});
}
