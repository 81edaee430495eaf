#include "detailspane.h"

#include "edithistory.h"
#include "edittext.h"
#include "phrasedocument.h"
#include "phrasemodel.h"
#include "stringtable.h"
#include "textcodec.h"

#include <QFocusEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>

#include <algorithm>

namespace {

// The translation's editor: a translation is one line of the file, so no key makes a line break
// and of a pasted or dropped text only its first line goes in, as the cell editor takes it. Tab
// moves nowhere and types nothing, as in the grid.
class OneLineEdit : public QPlainTextEdit
{
public:
    using QPlainTextEdit::QPlainTextEdit;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            event->accept();
            return;
        default:
            QPlainTextEdit::keyPressEvent(event);
        }
    }
    void insertFromMimeData(const QMimeData* source) override
    {
        if (!source->hasText())
            return;
        const QString text = source->text();
        const qsizetype cut = std::find_if(text.cbegin(), text.cend(), IsLineBreak) - text.cbegin();
        insertPlainText(text.first(cut));
    }
};

QLabel* Caption(const char* text, QWidget* parent)
{
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

// Selectable text that never takes the focus: the grid keeps the keys.
QLabel* ValueLabel(const char* name, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setFocusPolicy(Qt::NoFocus);
    return label;
}

} // namespace

DetailsPane::DetailsPane(const PhraseDocument& document, PhraseTableModel& model,
                         const TextCodec& codec, EditHistory& history, QWidget* parent)
    : QWidget(parent), m_doc(document), m_model(model), m_codec(codec), m_history(history),
      m_key(ValueLabel("DetailsKey", this)), m_line(ValueLabel("DetailsLine", this)),
      m_original(new QPlainTextEdit(this)), m_translation(new OneLineEdit(this)),
      m_problems(ValueLabel("DetailsProblems", this))
{
    m_problems->setWordWrap(true);
    setObjectName(QStringLiteral("DetailsPane"));
    m_original->setObjectName(QStringLiteral("DetailsOriginal"));
    m_original->setReadOnly(true);
    m_original->setFocusPolicy(Qt::NoFocus);
    m_original->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    m_translation->setObjectName(QStringLiteral("DetailsTranslation"));
    m_translation->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    // The window's Undo and Redo are the only ones: each edit is a step of the document's history.
    m_translation->setUndoRedoEnabled(false);
    m_translation->setFocusPolicy(Qt::NoFocus); // until the pane is shown
    m_translation->installEventFilter(this);
    // Dropped files go to the window, which opens them, not into the translation.
    m_translation->setAcceptDrops(false);

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(Caption("Key", this), 0, 0);
    layout->addWidget(m_key, 0, 1);
    layout->addWidget(Caption(strings::LineHeader, this), 0, 2);
    layout->addWidget(m_line, 0, 3);
    layout->addWidget(Caption(strings::OriginalHeader, this), 1, 0);
    layout->addWidget(m_original, 1, 1, 1, 3);
    layout->addWidget(Caption(strings::TranslatedHeader, this), 2, 0);
    layout->addWidget(m_translation, 2, 1, 1, 3);
    layout->addWidget(m_problems, 3, 1, 1, 3);
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(1, 1);
    layout->setRowStretch(2, 2);

    connect(m_translation, &QPlainTextEdit::textChanged, this, &DetailsPane::OnTextChanged);
    connect(&m_doc, &PhraseDocument::TranslationChanged, this, &DetailsPane::OnTranslationChanged);
    connect(&m_doc, &PhraseDocument::TranslationsMerged, this, &DetailsPane::Reload);
    connect(&m_history, &EditHistory::EditEnded, this, [this] { m_editing = false; });
    // The problems follow every keystroke, wherever it was typed.
    connect(&m_model, &PhraseTableModel::ProblemsChanged, this, [this] {
        if (!isHidden())
            m_problems->setText(m_phrase >= 0 ? m_model.Problems().Text(m_phrase) : QString());
    });
}

void DetailsPane::setVisible(bool visible)
{
    if (!visible)
        EndEdit();
    QWidget::setVisible(visible);
    // Shown, the editor is reached by a click or the window's command; hidden, it is no place
    // for the focus to go.
    m_translation->setFocusPolicy(visible ? Qt::ClickFocus : Qt::NoFocus);
    if (visible)
        Reload();
}

void DetailsPane::ShowPhrase(int phrase)
{
    if (phrase != m_phrase)
        EndEdit();
    m_phrase = phrase;
    Reload();
}

void DetailsPane::Reload()
{
    if (isHidden())
        return;
    const bool any = m_phrase >= 0 && m_phrase < m_doc.PhraseCount();
    m_key->setText(any ? m_codec.ToUnicode(m_doc.PhraseKey(m_phrase)) : QString());
    m_line->setText(any ? QString::number(m_doc.PhraseKeyTag(m_phrase)) : QString());
    m_original->setPlainText(any ? m_codec.ToUnicode(m_doc.PhraseOriginal(m_phrase)) : QString());
    const bool editable = any && m_doc.PhraseEditable(m_phrase);
    m_translation->setReadOnly(!editable);
    m_translation->setToolTip(any && !editable ? QString::fromLatin1(strings::NotEditable)
                                               : QString());
    const QString text = any ? m_codec.ToUnicode(m_doc.PhraseTranslation(m_phrase)) : QString();
    SetEditorText(text, int(text.size()));
    m_problems->setText(any ? m_model.Problems().Text(m_phrase) : QString());
}

bool DetailsPane::Editing() const
{
    return m_editing && m_phrase >= 0 && m_history.EditedPhrase() == m_phrase;
}

void DetailsPane::EndEdit()
{
    if (Editing())
        m_history.EndEdit();
    m_editing = false;
}

void DetailsPane::FocusEditor()
{
    m_translation->setFocus(Qt::ShortcutFocusReason);
}

bool DetailsPane::EditorHasFocus() const
{
    return m_translation->hasFocus();
}

void DetailsPane::SetWindowShortcuts(const QList<QKeySequence>& shortcuts)
{
    const QList<QKeySequence> copy = QKeySequence::keyBindings(QKeySequence::Copy);
    m_windowShortcuts.clear();
    for (const QKeySequence& s : shortcuts)
        if (!copy.contains(s))
            m_windowShortcuts.append(s);
}

void DetailsPane::SetTextFont(const QFont& font)
{
    // Each text box may shrink to one line of its text: the splitter leaves the grid the room.
    for (QPlainTextEdit* box : {m_original, m_translation}) {
        box->setFont(font);
        box->setMinimumHeight(QFontMetrics(font).lineSpacing() + 2 * box->frameWidth() +
                              2 * int(box->document()->documentMargin()));
    }
}

void DetailsPane::SetEditorText(const QString& text, int caret)
{
    m_loading = true;
    m_translation->setPlainText(text);
    QTextCursor cursor = m_translation->textCursor();
    cursor.setPosition(std::clamp(caret, 0, int(text.size())));
    m_translation->setTextCursor(cursor);
    m_loading = false;
    m_lastGood = text;
}

void DetailsPane::OnTextChanged()
{
    if (m_loading || m_phrase < 0)
        return;
    const QString text = m_translation->document()->toRawText();
    const int caret = m_translation->textCursor().position() - int(text.size() - m_lastGood.size());
    // A paragraph break no key and no paste lets in (an input method's, say) is no part of a
    // one-line translation: the change is taken back like a character the encoding refuses.
    if (text.contains(QChar::ParagraphSeparator)) {
        SetEditorText(m_lastGood, caret);
        return;
    }
    if (const auto bad = UnwritableCharacter(m_codec, text)) {
        SetEditorText(m_lastGood, caret);
        emit CharacterRefused(m_translation, *bad);
        return;
    }
    m_lastGood = text;
    Store(text);
}

void DetailsPane::Store(const QString& text)
{
    if (!Editing()) {
        m_history.BeginEdit(m_phrase);
        m_editing = true;
    }
    const int row = m_model.RowOf(m_phrase);
    if (row < 0)
        return; // the shown phrase has a row while it is edited: its edit holds it
    m_storing = true;
    m_model.setData(m_model.index(row, PhraseTableModel::ColumnTranslated), text, Qt::EditRole);
    m_storing = false;
}

void DetailsPane::OnTranslationChanged(int phrase)
{
    // Changed by the grid, an undo or a command: the editor shows it, caret at the end.
    if (phrase != m_phrase || m_storing || isHidden())
        return;
    const QString text = m_codec.ToUnicode(m_doc.PhraseTranslation(phrase));
    if (text != m_lastGood)
        SetEditorText(text, int(text.size()));
}

void DetailsPane::PutBackStartText()
{
    if (!Editing())
        return;
    // The text alone, as Esc in the cell editor puts it back; the edit's step is judged after.
    const int row = m_model.RowOf(m_phrase);
    if (row >= 0)
        m_model.setData(m_model.index(row, PhraseTableModel::ColumnTranslated),
                        m_history.EditStartText(), PhraseTableModel::BytesRole);
    EndEdit();
}

bool DetailsPane::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_translation)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::FocusIn:
        emit EditorFocused();
        break;
    case QEvent::FocusOut: {
        // A menu or a dialog over the window takes the focus for a while; the edit goes on.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
            EndEdit();
        break;
    }
    case QEvent::ShortcutOverride: {
        // The window's commands win over the editor's own keys (its Undo above all).
        auto* key = static_cast<QKeyEvent*>(event);
        if (m_windowShortcuts.contains(QKeySequence(key->keyCombination()))) {
            event->ignore();
            return true;
        }
        break;
    }
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
            static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
            PutBackStartText();
            emit LeaveRequested();
            return true;
        }
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}
