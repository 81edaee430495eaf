#pragma once
#include <QAbstractTableModel>
#include <QColor>

class PhraseDocument;
class TextCodec;
enum class TranslationState : quint8;

/// The grid's view of the phrase document: one row per phrase, every cell read from the document
/// through GetCellText on demand, no copy kept. Row r of the model is grid row r + 1; the grid's
/// header row is the view's horizontal header.
class PhraseTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { ColumnLine = 0, ColumnOriginal = 1, ColumnTranslated = 2, ColumnCount = 3 };
    /// The phrase's TranslationState, for the translation column.
    static constexpr int StateRole = Qt::UserRole + 1;
    /// The cell's bytes as the document holds them; setData with it puts a translation's text
    /// back without touching its state (the editor's cancel).
    static constexpr int BytesRole = Qt::UserRole + 2;

    PhraseTableModel(PhraseDocument& document, const TextCodec& codec,
                     QObject* parent = nullptr);

    /// The text of a grid cell; row 0 is the header row, row r >= 1 shows phrase r - 1.
    QByteArray GetCellText(int col, int row) const;
    /// The colour of a translation in the given state.
    static QColor StateColor(TranslationState state);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    /// Stores an edited translation (encoded by the codec); the key column never stores anything.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    /// Every cell may show something else now (encoding or display mode changed).
    void RefreshAll();

private:
    PhraseDocument& m_doc;
    const TextCodec& m_codec; // the main window's codec; a new encoding is assigned into it
};
