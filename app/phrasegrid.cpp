#include "phrasegrid.h"

#include "edittext.h"
#include "phrasemodel.h"
#include "stringtable.h"
#include "textcodec.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionHeader>
#include <QStylePainter>
#include <QTextLayout>
#include <functional>
#include <limits>

namespace {

constexpr char EditedProperty[] = "quillmarEdited";

constexpr char LastGoodProperty[] = "quillmarLastGood";

// The cell's one-line editor. A paste from the keyboard that would make its text long is offered
// to pasteLong first: the editor would lay the whole text out at once.
class CellEditor : public QLineEdit
{
public:
    CellEditor(QWidget* parent, std::function<bool(QLineEdit*)> pasteLong)
        : QLineEdit(parent), m_pasteLong(std::move(pasteLong))
    {
    }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->matches(QKeySequence::Paste) && !isReadOnly() && m_pasteLong(this)) {
            event->accept();
            return;
        }
        QLineEdit::keyPressEvent(event);
    }

private:
    std::function<bool(QLineEdit*)> m_pasteLong;
};

// A translation is one line: the lines of a text pasted (or put in by an input method) are joined
// with blanks. What was put in ends at the caret, the rest of the text being the text before's
// own; where it begins the text before cannot tell when the pasted text begins as the text it
// replaced does, so the clipboard tells. Returns whether lines were joined.
bool JoinInsertedLines(const QString& before, QString& text, int& caret)
{
    if (std::none_of(text.cbegin(), text.cend(), BreaksPastedLine))
        return false;
    const QString& after = text; // read through a const view: indexing must not detach text
    const qsizetype end = std::clamp<qsizetype>(caret, 0, after.size());
    const qsizetype most =
        std::min(end, before.size() - std::min(before.size(), after.size() - end));
    qsizetype begin = 0;
    while (begin < most && before[begin] == after[begin])
        ++begin;
    for (const QClipboard::Mode mode : {QClipboard::Clipboard, QClipboard::Selection}) {
        const QString pasted = QGuiApplication::clipboard()->text(mode);
        if (!pasted.isEmpty() && pasted.size() <= end && end - pasted.size() <= begin &&
            QStringView(after).sliced(end - pasted.size(), pasted.size()) == pasted) {
            begin = end - pasted.size();
            break;
        }
    }
    const JoinedLines inserted = JoinLines(QStringView(after).sliced(begin, end - begin));
    QString joined = after.first(begin) + inserted.text + after.sliced(end);
    caret = int(begin + inserted.text.size());
    bool any = inserted.joined;
    // Never a break in what is stored, whatever put it where.
    if (std::any_of(joined.cbegin(), joined.cend(), IsLineBreak)) {
        JoinedLines whole = JoinLines(joined);
        joined = std::move(whole.text);
        caret = int(joined.size());
        any = any || whole.joined;
    }
    text = std::move(joined);
    return any;
}

} // namespace

PhraseDelegate::PhraseDelegate(const TextCodec& codec, QObject* parent)
    : QStyledItemDelegate(parent), m_codec(codec)
{
}

QWidget* PhraseDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                      const QModelIndex& index) const
{
    const QPersistentModelIndex where(index);
    auto* editor = new CellEditor(
        parent, [this, where](QLineEdit* line) { return PasteLongText(line, where); });
    editor->setFrame(false);
    // A text that becomes long is handed on as a whole (TextBecameLong), never cut at the
    // editor's usual limit.
    editor->setMaxLength(std::numeric_limits<int>::max());
    // Files dropped on an open cell go to the window, which opens them, not into the text.
    editor->setAcceptDrops(false);
    emit const_cast<PhraseDelegate*>(this)->EditorOpened(index);
    connect(editor, &QLineEdit::textEdited, this, [this, editor, where](const QString& edited) {
        QString text = edited;
        int caret = editor->cursorPosition();
        const bool joined =
            JoinInsertedLines(editor->property(LastGoodProperty).toString(), text, caret);
        TakeEdit(editor, where, text, caret, joined);
    });
    return editor;
}

void PhraseDelegate::TakeEdit(QLineEdit* editor, const QPersistentModelIndex& where,
                              const QString& text, int caret, bool joined) const
{
    auto* self = const_cast<PhraseDelegate*>(this);
    const QString lastGood = editor->property(LastGoodProperty).toString();
    // A change the encoding cannot hold is taken back at once: nothing is ever stored as '?' or
    // dropped, and the editor keeps the text it had.
    if (const auto bad = UnwritableCharacter(m_codec, text)) {
        if (editor->text() != lastGood) {
            editor->setText(lastGood);
            editor->setCursorPosition(std::max(0, caret - int(text.size() - lastGood.size())));
        }
        emit self->CharacterRefused(editor, *bad);
        return;
    }
    if (joined)
        emit self->LinesJoined(editor);
    if (text.size() > LongValueSize) {
        emit self->TextBecameLong(editor, where, text);
        return;
    }
    if (editor->text() != text) {
        editor->setText(text);
        editor->setCursorPosition(caret);
    }
    editor->setProperty(LastGoodProperty, text);
    editor->setProperty(EditedProperty, true);
    emit self->EditorTextEdited(editor, where, text);
}

bool PhraseDelegate::PasteLongText(QLineEdit* editor, const QPersistentModelIndex& where) const
{
    const JoinedLines pasted = JoinLines(QGuiApplication::clipboard()->text());
    const qsizetype replaced = editor->selectedText().size();
    if (editor->text().size() - replaced + pasted.text.size() <= LongValueSize)
        return false;
    const int from =
        editor->hasSelectedText() ? editor->selectionStart() : editor->cursorPosition();
    QString text = editor->text();
    text.replace(from, replaced, pasted.text);
    TakeEdit(editor, where, text, int(from + pasted.text.size()), pasted.joined);
    return true;
}

void PhraseDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (!line)
        return;
    // The view calls this again whenever the cell changes, and every keystroke changes it: the
    // text the user is typing is already the cell's, so it stays as it is, caret and all.
    const QString text = index.data(Qt::EditRole).toString();
    if (line->property(EditedProperty).isValid() && line->text() == text)
        return;
    line->setText(text);
    line->setProperty(LastGoodProperty, text);
    line->selectAll();
    line->setProperty(EditedProperty, false);
}

void PhraseDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                  const QModelIndex& index) const
{
    // A text the user never touched is not handed back: re-encoding it could change its bytes.
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (line && line->property(EditedProperty).toBool())
        model->setData(index, line->text(), Qt::EditRole);
}

void PhraseDelegate::destroyEditor(QWidget* editor, const QModelIndex& index) const
{
    emit const_cast<PhraseDelegate*>(this)->EditorClosed(index);
    QStyledItemDelegate::destroyEditor(editor, index);
}

void PhraseDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const
{
    const auto marks = index.data(PhraseTableModel::MarksRole).value<QList<ValueMark>>();
    if (marks.isEmpty()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    // The cell as the style draws it without its text (background, selection, focus, mark of
    // problems), then the text with its marks set apart: a line break's mark faint, a code
    // part on a tint of its own, so that neither reads as the translator's text.
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QString text = opt.text;
    opt.text.clear();
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, &opt, widget) + 1;
    const QRect box = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget)
                          .adjusted(margin, 0, -margin, 0);
    const bool selected = opt.state & QStyle::State_Selected;
    const QPalette::ColorGroup group = !(opt.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (opt.state & QStyle::State_Active) ? QPalette::Active
                                                                            : QPalette::Inactive;
    const QColor ink =
        opt.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text);
    QList<QTextLayout::FormatRange> formats;
    for (const ValueMark& mark : marks) {
        QTextCharFormat format;
        if (mark.kind == ValueMark::LineBreak) {
            QColor faint = ink;
            faint.setAlphaF(0.55f);
            format.setForeground(faint);
        } else {
            QColor tint = ink;
            tint.setAlphaF(0.12f);
            format.setBackground(tint);
        }
        formats.append({int(mark.start), int(mark.length), format});
    }
    QTextLayout layout(text, opt.font);
    QTextOption textOption;
    textOption.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(textOption);
    layout.setFormats(formats);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(std::numeric_limits<int>::max() / 4);
    layout.endLayout();
    painter->save();
    painter->setClipRect(box, Qt::IntersectClip);
    painter->setPen(ink);
    layout.draw(painter, QPointF(box.left(), box.top() + (box.height() - line.height()) / 2));
    painter->restore();
}

void PhraseDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    // A long value shows only its start: the ellipsis that says it goes on stands where the cell
    // ends. Other texts are cut at the cell's edge, as they always were.
    option->textElideMode =
        index.data(PhraseTableModel::LongValueRole).toBool() ? Qt::ElideRight : Qt::ElideNone;
    // Selected translation cells keep their state colour on the highlight; the current cell
    // alone shows the plain highlight colours.
    const auto* view = qobject_cast<const QAbstractItemView*>(option->widget);
    if (index.column() == PhraseTableModel::ColumnTranslated && view &&
        view->currentIndex() != index) {
        const QVariant fg = index.data(Qt::ForegroundRole);
        if (fg.canConvert<QColor>()) {
            for (auto group : {QPalette::Active, QPalette::Inactive})
                option->palette.setColor(group, QPalette::HighlightedText, fg.value<QColor>());
        }
    }
}

PhraseGrid::PhraseGrid(const TextCodec& codec, QWidget* parent)
    : QTableView(parent), m_delegate(new PhraseDelegate(codec, this))
{
    setItemDelegate(m_delegate);
    setSelectionMode(ContiguousSelection);
    setSelectionBehavior(SelectItems);
    // A double-click edits too: translators expect it, and it stores nothing by itself.
    setEditTriggers(EditKeyPressed | AnyKeyPressed | SelectedClicked | DoubleClicked);
    setTabKeyNavigation(false);
    setWordWrap(false);
    setTextElideMode(Qt::ElideNone);
    setShowGrid(false);
    setCornerButtonEnabled(false);
    horizontalHeader()->setSectionsMovable(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setMinimumSectionSize(0);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setHighlightSections(false);
    verticalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    verticalHeader()->setSectionsClickable(false);
    horizontalHeader()->setSectionsClickable(false);
    // The grid stays the window's active control behind modal dialogs: keep the active colours.
    QPalette pal = palette();
    for (auto role : {QPalette::Highlight, QPalette::HighlightedText})
        pal.setColor(QPalette::Inactive, role, pal.color(QPalette::Active, role));
    setPalette(pal);

    m_corner = findChild<QAbstractButton*>();
    if (m_corner)
        m_corner->installEventFilter(this);

    connect(m_delegate, &PhraseDelegate::EditorTextEdited, this,
            [this](QWidget* editor, const QModelIndex& index, const QString&) {
                OnEditorTextEdited(editor, index);
            });
    connect(m_delegate, &PhraseDelegate::TextBecameLong, this, &PhraseGrid::HandOverToPane);
}

void PhraseGrid::SetGridLineWidth(int width)
{
    m_gridLineWidth = width;
    setShowGrid(width > 0);
}

void PhraseGrid::LayoutColumns()
{
    const QFontMetrics fm(font());
    const int h = fm.height();
    verticalHeader()->setDefaultSectionSize(h * 4 / 3);
    const int w0 = std::max(fm.horizontalAdvance(QStringLiteral("999999")),
                            QFontMetrics(verticalHeader()->font())
                                .horizontalAdvance(QString::fromLatin1(strings::LineHeader))) +
                   20;
    verticalHeader()->setFixedWidth(w0);

    // The client width left of a vertical scroll bar, when the rows need one.
    const int frame = 2 * frameWidth();
    const int rowsHeight = model() ? model()->rowCount() * (h * 4 / 3) : 0;
    const int visibleHeight = height() - frame - horizontalHeader()->sizeHint().height();
    int client = width() - frame - w0;
    if (rowsHeight > visibleHeight)
        client -= verticalScrollBar()->sizeHint().width();
    const int half = std::max(0, (client - 3 * m_gridLineWidth) / 2);
    setColumnWidth(PhraseTableModel::ColumnOriginal, half);
    setColumnWidth(PhraseTableModel::ColumnTranslated, half);
    viewport()->update();
}

void PhraseGrid::setModel(QAbstractItemModel* model)
{
    disconnect(m_followRemoved);
    QTableView::setModel(model);
    // After the view and its headers have taken the removal in.
    if (model)
        m_followRemoved = connect(model, &QAbstractItemModel::rowsRemoved, this,
                                  &PhraseGrid::FollowRemovedCurrent);
}

void PhraseGrid::rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end)
{
    // Seen before the selection model, which would move the current cell to the row above.
    const QModelIndex current = currentIndex();
    const bool removed = current.isValid() && current.row() >= start && current.row() <= end;
    m_removedCurrentRow = removed ? start : -1;
    m_removedCurrentColumn = current.column();
    QTableView::rowsAboutToBeRemoved(parent, start, end);
}

void PhraseGrid::FollowRemovedCurrent()
{
    // A translator working down a list goes on with the phrase that followed the one removed.
    const int row = std::exchange(m_removedCurrentRow, -1);
    if (row < 0 || model()->rowCount() == 0)
        return;
    const QModelIndex target =
        model()->index(std::min(row, model()->rowCount() - 1), m_removedCurrentColumn);
    selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect);
}

void PhraseGrid::EndEditing()
{
    if (state() != EditingState || !m_editIndex.isValid())
        return;
    if (QWidget* editor = indexWidget(m_editIndex)) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

void PhraseGrid::MoveToRow(int row)
{
    if (!model() || row < 0 || row >= model()->rowCount())
        return;
    const int col = currentIndex().isValid() ? currentIndex().column()
                                             : int(PhraseTableModel::ColumnTranslated);
    const QModelIndex target = model()->index(row, col);
    if (target == currentIndex())
        return;
    selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect);
    scrollTo(target);
}

bool PhraseGrid::OpensEditor(const QModelIndex& index, EditTrigger trigger) const
{
    // As the view judges it; a click on the selected cell opens the editor a moment later, with
    // every trigger, unless a double click came first.
    if (!index.isValid() || state() == EditingState || indexWidget(index) ||
        !(model()->flags(index) & Qt::ItemIsEditable))
        return false;
    return trigger == AllEditTriggers || (trigger != SelectedClicked && (editTriggers() & trigger));
}

bool PhraseGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    const bool opens = OpensEditor(index, trigger);
    if (opens && index.data(PhraseTableModel::PaneEditRole).toBool()) {
        const bool typed = trigger == AnyKeyPressed && event && event->type() == QEvent::KeyPress;
        emit PaneEditRequested(index, typed ? static_cast<QKeyEvent*>(event) : nullptr);
        return true;
    }
    const bool caretAtEnd = trigger == EditKeyPressed && event &&
                            event->type() == QEvent::KeyPress &&
                            static_cast<QKeyEvent*>(event)->key() == Qt::Key_F2;
    const bool wasEditing = state() == EditingState;
    // Taken before the editor opens: a typed character that opens it is stored at once. Read only
    // then: the view asks here at every move of the current cell too.
    const QByteArray before =
        opens ? index.data(PhraseTableModel::BytesRole).toByteArray() : QByteArray();
    if (!QTableView::edit(index, trigger, event))
        return false;
    if (wasEditing || state() != EditingState)
        return true;
    m_editIndex = index;
    m_savedEditText = opens ? before : index.data(PhraseTableModel::BytesRole).toByteArray();
    if (auto* line =
            qobject_cast<QLineEdit*>(indexWidget(index) ? indexWidget(index) : focusWidget())) {
        line->installEventFilter(this);
        if (caretAtEnd) {
            line->deselect();
            line->end(false);
        }
    }
    return true;
}

void PhraseGrid::keyPressEvent(QKeyEvent* event)
{
    // Tab is no key of the grid's: it moves neither the current cell nor the focus.
    if (event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab) {
        event->accept();
        return;
    }
    // Enter opens the editor on the current cell with its whole text selected.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        state() != EditingState && currentIndex().isValid()) {
        edit(currentIndex(), EditKeyPressed, nullptr);
        return;
    }
    // Backspace opens the editor like a typed character and then clears the selected text.
    if (event->key() == Qt::Key_Backspace && event->modifiers() == Qt::NoModifier &&
        state() != EditingState && currentIndex().isValid() &&
        edit(currentIndex(), AnyKeyPressed, event))
        return;
    QTableView::keyPressEvent(event);
}

void PhraseGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
    // The delegate's answer to Tab and Shift+Tab in the editor: they end no edit and move to no
    // other cell, the text typed so far being stored already.
    if (hint == QAbstractItemDelegate::EditNextItem ||
        hint == QAbstractItemDelegate::EditPreviousItem)
        return;
    // Esc: the cell gets back the bytes it held when the editor opened; state and the modified
    // flag keep what the edits set.
    if (hint == QAbstractItemDelegate::RevertModelCache && m_editIndex.isValid() &&
        m_editIndex.column() == PhraseTableModel::ColumnTranslated) {
        model()->setData(m_editIndex, m_savedEditText, PhraseTableModel::BytesRole);
    }
    m_editIndex = QPersistentModelIndex();
    QTableView::closeEditor(editor, hint);
}

void PhraseGrid::OnEditorTextEdited(QWidget* editor, const QModelIndex& index)
{
    if (index.column() == PhraseTableModel::ColumnTranslated) {
        commitData(editor); // stored at every keystroke
        return;
    }
    // Keys are not edited: the first change closes the editor and stores nothing.
    m_editIndex = QPersistentModelIndex();
    QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void PhraseGrid::HandOverToPane(QWidget* editor, const QModelIndex& index, const QString& text)
{
    const QPersistentModelIndex where(index);
    // Stored as the editor stores every keystroke; the key column stores nothing, as ever.
    if (where.column() == PhraseTableModel::ColumnTranslated)
        model()->setData(where, text, Qt::EditRole);
    m_editIndex = QPersistentModelIndex();
    QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
    if (where.isValid() && where.column() == PhraseTableModel::ColumnTranslated)
        emit PaneEditRequested(where, nullptr);
}

void PhraseGrid::BreakInPane(QLineEdit* editor)
{
    const QPersistentModelIndex where(m_editIndex);
    QString text = editor->text();
    int caret = editor->cursorPosition();
    if (editor->hasSelectedText()) {
        caret = editor->selectionStart();
        text.remove(caret, editor->selectedText().size());
    }
    if (text != editor->text()) {
        editor->setProperty(EditedProperty, true);
        editor->setText(text);
    }
    commitData(editor);
    m_editIndex = QPersistentModelIndex();
    QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
    if (where.isValid())
        emit LineBreakRequested(where, caret);
}

bool PhraseGrid::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_corner && event->type() == QEvent::Paint) {
        PaintCorner(m_corner);
        return true;
    }
    if (event->type() == QEvent::FocusIn && qobject_cast<QLineEdit*>(watched) &&
        m_editIndex.isValid()) {
        // Back from a menu the edit goes on where it was: the text Esc puts back is the cell's
        // text as it is now, not as it was before the editor first opened.
        m_savedEditText = m_editIndex.data(PhraseTableModel::BytesRole).toByteArray();
    }
    // Shift+Enter asks for a line break, which the pane's editor of several lines makes. Seen
    // before the delegate, which would end the edit on Enter.
    if (event->type() == QEvent::KeyPress && qobject_cast<QLineEdit*>(watched) &&
        m_editIndex.isValid() && m_editIndex.column() == PhraseTableModel::ColumnTranslated) {
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            (key->modifiers() & ~Qt::KeypadModifier) == Qt::ShiftModifier) {
            BreakInPane(static_cast<QLineEdit*>(watched));
            return true;
        }
    }
    if ((event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) &&
        qobject_cast<QLineEdit*>(watched)) {
        // The window's commands win over the editor's own keys (Ctrl+C copies the grid's cells).
        // The key itself reaches the editor only while its command is disabled; it does nothing
        // then: the editor's own undo would part its text from the document's.
        auto* key = static_cast<QKeyEvent*>(event);
        const QKeySequence pressed(key->keyCombination());
        for (const QKeySequence& s : m_windowShortcuts)
            if (s == pressed) {
                if (event->type() == QEvent::ShortcutOverride)
                    event->ignore();
                else
                    event->accept();
                return true;
            }
    }
    return QTableView::eventFilter(watched, event);
}

bool PhraseGrid::focusNextPrevChild(bool)
{
    // The grid is the only control of its window that takes the focus: Tab and Shift+Tab, in
    // the grid or its editor, keep it here.
    return true;
}

void PhraseGrid::PaintCorner(QWidget* corner)
{
    QStylePainter painter(corner);
    QStyleOptionHeader opt;
    opt.initFrom(corner);
    // The corner button is disabled (it selects nothing), but its title must not look greyed.
    opt.palette = horizontalHeader()->palette();
    opt.palette.setCurrentColorGroup(QPalette::Active);
    opt.state = QStyle::State_Raised | QStyle::State_Enabled;
    opt.rect = corner->rect();
    opt.position = QStyleOptionHeader::OnlyOneSection;
    opt.orientation = Qt::Horizontal;
    opt.text = model()
                   ? model()->headerData(PhraseTableModel::ColumnLine, Qt::Horizontal).toString()
                   : QString();
    opt.textAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    painter.drawControl(QStyle::CE_Header, opt);
}

void PhraseGrid::resizeEvent(QResizeEvent* event)
{
    QTableView::resizeEvent(event);
    LayoutColumns();
}

void PhraseGrid::changeEvent(QEvent* event)
{
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        // Headers follow the grid font so the header row matches the rows below it.
        horizontalHeader()->setFont(font());
        verticalHeader()->setFont(font());
    }
}
