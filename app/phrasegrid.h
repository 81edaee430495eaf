#pragma once
#include <QStyledItemDelegate>
#include <QTableView>

class QKeyEvent;
class QLineEdit;
class QPersistentModelIndex;
class TextCodec;

/// The in-place editor's delegate: a one-line editor that hands every change of its text to the
/// model at once, and refuses characters the document's encoding cannot hold. It draws the line
/// breaks and code parts of a value (PhraseTableModel::MarksRole) apart from its text.
class PhraseDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    PhraseDelegate(const TextCodec& codec, QObject* parent = nullptr);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
    void destroyEditor(QWidget* editor, const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

signals:
    /// An editor was made for the cell at index, and is about to show.
    void EditorOpened(const QModelIndex& index);
    /// The view let go of the editor of the cell at index (invalid when the rows were made anew).
    void EditorClosed(const QModelIndex& index);
    /// The editor's text was changed by the user (not by opening it).
    void EditorTextEdited(QWidget* editor, const QModelIndex& index, const QString& text);
    /// A typed character cannot be written in the document's encoding.
    void CharacterRefused(QWidget* editor, const QString& character);
    /// A pasted text's lines were joined with blanks to go into the one line of a translation.
    void LinesJoined(QWidget* editor);
    /// The editor's text would become text, which is long (LongValueSize): the cell's editor is
    /// the details pane's from here. The editor still holds the text before.
    void TextBecameLong(QWidget* editor, const QModelIndex& index, const QString& text);

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    /// Makes text, the caret at caret, the editor's text and hands it on; takes it back where the
    /// encoding cannot write it.
    void TakeEdit(QLineEdit* editor, const QPersistentModelIndex& where, const QString& text,
                  int caret, bool joined) const;
    /// A keyboard paste that makes the editor's text long, taken without the editor laying the
    /// text out; false for any other paste, which the editor takes itself.
    bool PasteLongText(QLineEdit* editor, const QPersistentModelIndex& where) const;

    const TextCodec& m_codec;
};

/// The phrase grid: a table whose current cell is edited in place. Column 0 ("Line #") is the
/// vertical header; the horizontal header is the grid's header row.
class PhraseGrid : public QTableView
{
    Q_OBJECT
public:
    explicit PhraseGrid(const TextCodec& codec, QWidget* parent = nullptr);

    int GridLineWidth() const { return m_gridLineWidth; }
    void SetGridLineWidth(int width);
    /// Row height from the font's "9", column 0 wide enough for six digits, the two text
    /// columns sharing the rest equally.
    void LayoutColumns();
    /// Moves the current cell to row (a model row), keeping the column, as a user's move does.
    void MoveToRow(int row);
    /// Closes an open editor as leaving its cell does (what was typed is stored already); the
    /// grid keeps the focus.
    void EndEditing();
    PhraseDelegate* Delegate() const { return m_delegate; }
    /// The bytes of the cell when the editor opened on it, or when the editor last got the
    /// focus back (after a menu); Esc puts them back.
    const QByteArray& SavedEditText() const { return m_savedEditText; }
    bool IsEditing() const { return state() == EditingState; }
    /// Key sequences that reach the window's actions even while a cell is being edited.
    void SetWindowShortcuts(QList<QKeySequence> shortcuts)
    {
        m_windowShortcuts = std::move(shortcuts);
    }
    void setModel(QAbstractItemModel* model) override;

signals:
    /// An edit was asked for (F2, Enter, a double click, a typed key, given as key) on a cell
    /// that the details pane edits (PhraseTableModel::PaneEditRole): a long value, whose every
    /// keystroke would have the cell's one-line editor lay out and draw the whole text, or one
    /// with line breaks or code parts, which a line of text cannot show. Or the cell editor's
    /// text became long.
    void PaneEditRequested(const QModelIndex& index, const QKeyEvent* key);
    /// Shift+Enter in the cell editor: the edit goes on in the details pane, which makes a line
    /// break at caret (a place in the translation as stored now).
    void LineBreakRequested(const QModelIndex& index, int caret);

protected:
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) override;

private:
    void FollowRemovedCurrent();

    void PaintCorner(QWidget* corner);
    void OnEditorTextEdited(QWidget* editor, const QModelIndex& index);
    /// Whether trigger opens an editor on index, as the view judges it.
    bool OpensEditor(const QModelIndex& index, EditTrigger trigger) const;
    /// Stores text as the cell's translation, closes the cell editor and asks the details pane to
    /// go on with the edit.
    void HandOverToPane(QWidget* editor, const QModelIndex& index, const QString& text);
    /// Shift+Enter in the cell editor: the selected text goes, and the pane takes the edit on.
    void BreakInPane(QLineEdit* editor);

    PhraseDelegate* m_delegate;
    int m_gridLineWidth = 0;
    QByteArray m_savedEditText;
    QPersistentModelIndex m_editIndex;
    QList<QKeySequence> m_windowShortcuts;
    QWidget* m_corner = nullptr;
    // The current cell's place while its row is being removed: it goes to the row that follows.
    int m_removedCurrentRow = -1;
    int m_removedCurrentColumn = -1;
    QMetaObject::Connection m_followRemoved;
};
