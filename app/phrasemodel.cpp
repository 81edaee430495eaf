#include "phrasemodel.h"

#include "phrasedocument.h"
#include "stringtable.h"
#include "textcodec.h"

PhraseTableModel::PhraseTableModel(PhraseDocument& document, const TextCodec& codec,
                                   QObject* parent)
    : QAbstractTableModel(parent), m_doc(document), m_codec(codec)
{
    connect(&m_doc, &PhraseDocument::AboutToReset, this, [this] { beginResetModel(); });
    connect(&m_doc, &PhraseDocument::TemplateLoaded, this, [this] { endResetModel(); });
    connect(&m_doc, &PhraseDocument::Cleared, this, [this] { endResetModel(); });
    connect(&m_doc, &PhraseDocument::TranslationsMerged, this, [this] {
        if (rowCount() > 0)
            emit dataChanged(index(0, ColumnTranslated), index(rowCount() - 1, ColumnTranslated));
    });
    connect(&m_doc, &PhraseDocument::TranslationChanged, this, [this](int phrase) {
        const QModelIndex i = index(phrase, ColumnTranslated);
        emit dataChanged(i, i, {Qt::DisplayRole, Qt::EditRole, Qt::ForegroundRole, StateRole});
    });
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
    const int phrase = row - 1;
    if (phrase < 0 || phrase >= m_doc.PhraseCount())
        return {};
    switch (col) {
    case ColumnLine:
        return QByteArray::number(m_doc.PhraseKeyTag(phrase));
    case ColumnOriginal:
        return m_doc.PhraseColumnText(phrase);
    case ColumnTranslated:
        return m_doc.PhraseTranslation(phrase);
    }
    return {};
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
    }
    return {};
}

int PhraseTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_doc.PhraseCount();
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
    case Qt::EditRole:
        return m_codec.ToUnicode(GetCellText(index.column(), index.row() + 1));
    case Qt::ForegroundRole:
        if (index.column() == ColumnTranslated)
            return StateColor(m_doc.PhraseState(index.row()));
        return {};
    case BytesRole:
        return GetCellText(index.column(), index.row() + 1);
    case StateRole:
        if (index.column() == ColumnTranslated)
            return int(m_doc.PhraseState(index.row()));
        return {};
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::ToolTipRole:
        if (index.column() == ColumnTranslated && !m_doc.PhraseEditable(index.row()))
            return QString::fromLatin1(strings::NotEditable);
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
        !m_doc.PhraseEditable(index.row()))
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

bool PhraseTableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.column() != ColumnTranslated || index.row() >= rowCount())
        return false;
    if (role == BytesRole) {
        m_doc.RestoreTranslationText(index.row(), value.toByteArray());
        return true;
    }
    if (role != Qt::EditRole)
        return false;
    const auto bytes = m_codec.FromUnicode(value.toString());
    if (!bytes)
        return false; // the editor refuses such characters; never store a lossy text
    // Unchanged text stores nothing, so cells the user did not edit keep their bytes.
    return m_doc.CommitTranslation(index.row(), *bytes);
}

void PhraseTableModel::RefreshAll()
{
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
    emit headerDataChanged(Qt::Vertical, 0, std::max(0, rowCount() - 1));
}
