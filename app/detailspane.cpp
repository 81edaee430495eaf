#include "detailspane.h"

#include "edithistory.h"
#include "edittext.h"
#include "phrasedocument.h"
#include "phrasemodel.h"
#include "stringtable.h"
#include "textcodec.h"

#include <QAbstractTextDocumentLayout>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QGridLayout>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextObjectInterface>

#include <algorithm>
#include <optional>
#include <utility>

namespace {

// The characters a QTextDocument makes a block break of when they are put into it.
bool MakesBlockBreak(QChar c)
{
    return c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator || c == u'\xfdd0' ||
           c == u'\xfdd1';
}

// The most characters of a long text one block holds. Laying out a block costs in proportion to
// its length, at every change of it; a block ends after the last blank of its second half, so that
// its break falls between words.
constexpr qsizetype BlockSize = 2048;

// text with a paragraph separator after each block of it; caret, a place in text, becomes the same
// place in the result.
QString InBlocks(QStringView text, qsizetype* caret = nullptr)
{
    QString out;
    out.reserve(text.size() + text.size() / (BlockSize / 2) + 1);
    qsizetype from = 0;
    qsizetype breaksBeforeCaret = 0;
    while (text.size() - from > BlockSize) {
        qsizetype cut = from + BlockSize;
        while (cut > from + BlockSize / 2 && text[cut - 1] != u' ')
            --cut;
        if (cut == from + BlockSize / 2) {
            cut = from + BlockSize; // no blank: cut anywhere but inside a surrogate pair
            if (text[cut - 1].isHighSurrogate())
                --cut;
        }
        out += text.sliced(from, cut - from);
        out += QChar::ParagraphSeparator;
        if (caret && cut < *caret)
            ++breaksBeforeCaret;
        from = cut;
    }
    out += text.sliced(from);
    if (caret)
        *caret += breaksBeforeCaret;
    return out;
}

// A code part in a box shows as one token: one object character of the box's text, drawn as its
// code on a tint. The caret steps over it, Backspace and Delete take it whole, a selection that
// holds it cuts, copies and pastes it whole, and nothing typed goes into it.
constexpr int CodeTokenType = QTextFormat::UserObject + 1;
constexpr int CodeProperty = QTextFormat::UserProperty + 1;
// The clipboard's form of a value copied from a box, code parts included, beside its plain text.
constexpr char ValueMimeType[] = "application/x-quillmar-value";

QTextCharFormat TokenFormat(const QString& code)
{
    QTextCharFormat format;
    format.setObjectType(CodeTokenType);
    format.setProperty(CodeProperty, code);
    return format;
}

class CodeTokens : public QObject, public QTextObjectInterface
{
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)
public:
    using QObject::QObject;

    // The token stands on the baseline as high as the font's ascent; its tint reaches down over
    // the descent too, as the text beside it does.
    QSizeF intrinsicSize(QTextDocument* document, int, const QTextFormat& format) override
    {
        const QFontMetricsF fm(document->defaultFont());
        return {fm.horizontalAdvance(Shown(format)) + 2 * Padding, fm.ascent()};
    }
    void drawObject(QPainter* painter, const QRectF& rect, QTextDocument* document, int,
                    const QTextFormat& format) override
    {
        const QFontMetricsF fm(document->defaultFont());
        const QRectF box(rect.left(), rect.bottom() - fm.ascent(), rect.width(),
                         fm.ascent() + fm.descent());
        painter->save();
        QColor ink = painter->pen().color();
        QColor tint = ink;
        tint.setAlphaF(0.12f);
        painter->setPen(Qt::NoPen);
        painter->setBrush(tint);
        painter->drawRoundedRect(box, 3, 3);
        ink.setAlphaF(0.8f);
        painter->setPen(ink);
        painter->setFont(document->defaultFont());
        painter->drawText(QPointF(rect.left() + Padding, rect.bottom()), Shown(format));
        painter->restore();
    }

private:
    static QString Shown(const QTextFormat& format)
    {
        return ShownCode(format.property(CodeProperty).toString()).toString();
    }

    static constexpr qreal Padding = 2;
};

// A box that shows one value wrapped: its line breaks as breaks, its code parts as tokens. A long
// value with no break of its own is put into it in blocks (InBlocks), whose breaks are the box's
// own, not the value's: its text, a copy of a selection and the caret's place leave them out, and
// the keys step over them.
class ValueEdit : public QPlainTextEdit
{
public:
    explicit ValueEdit(QWidget* parent) : QPlainTextEdit(parent)
    {
        document()->documentLayout()->registerHandler(CodeTokenType, new CodeTokens(this));
    }

    // Shows value, the caret at caret, a place in value.
    void SetValue(const QString& value, qsizetype caret)
    {
        // The box's text: each code part one object character, each line break one break. An
        // object character the value holds itself is dropped: it would read as a token.
        const auto marked = [](QChar c) {
            return c == CodeOpen || c == CodeClose || c == u'\r' || c == u'\n' ||
                   c == QChar::ObjectReplacementCharacter;
        };
        // Most values, long ones above all, have nothing to turn into tokens or breaks: they
        // are shown as they are, without a copy character by character.
        const bool plain = std::none_of(value.cbegin(), value.cend(), marked);
        QString shown;
        if (plain)
            shown = value;
        else
            shown.reserve(value.size());
        QStringList codes;
        m_lineBreak = QStringLiteral("\n");
        bool breakSeen = false;
        qsizetype position = plain ? std::min(caret, value.size()) : -1;
        for (qsizetype i = plain ? value.size() : 0; i < value.size();) {
            const QChar c = value[i];
            qsizetype n = 1;
            if (c == CodeOpen) {
                qsizetype close = value.indexOf(CodeClose, i + 1);
                if (close < 0)
                    close = value.size();
                codes << value.sliced(i + 1, close - i - 1);
                n = std::min(close + 1, value.size()) - i;
            } else if (c == u'\r' && i + 1 < value.size() && value[i + 1] == u'\n') {
                n = 2;
            }
            const qsizetype before = shown.size();
            if (c == CodeOpen) {
                shown += QChar::ObjectReplacementCharacter;
            } else if (c == u'\r' || c == u'\n') {
                if (!std::exchange(breakSeen, true))
                    m_lineBreak = value.sliced(i, n);
                shown += u'\n';
            } else if (c != QChar::ObjectReplacementCharacter && c != CodeClose) {
                shown += c;
            }
            if (position < 0 && caret < i + n)
                position = caret > i ? shown.size() : before;
            i += n;
        }
        if (position < 0)
            position = shown.size();
        m_inBlocks = shown.size() > LongValueSize &&
                     std::none_of(shown.cbegin(), shown.cend(), MakesBlockBreak);
        position = std::clamp<qsizetype>(position, 0, shown.size());
        setPlainText(m_inBlocks ? InBlocks(shown, &position) : shown);
        if (!codes.isEmpty()) {
            const QString text = document()->toRawText();
            QTextCursor token(document());
            qsizetype next = 0;
            for (qsizetype at = text.indexOf(QChar::ObjectReplacementCharacter); at >= 0;
                 at = text.indexOf(QChar::ObjectReplacementCharacter, at + 1)) {
                token.setPosition(int(at));
                token.setPosition(int(at) + 1, QTextCursor::KeepAnchor);
                token.setCharFormat(TokenFormat(codes.value(next++)));
            }
        }
        QTextCursor cursor = textCursor();
        cursor.setPosition(int(position));
        setTextCursor(cursor);
        blocks = blockCount();
    }
    QString Value() const { return ValueBetween(0, document()->characterCount()); }
    // The place in the value of position, a place in the box's text.
    qsizetype ValuePosition(int position) const { return ValueBetween(0, position).size(); }
    // The value of the box's text from one place to another: code parts in their markers,
    // breaks as the value had them.
    QString ValueBetween(int from, int to) const
    {
        QString out;
        for (QTextBlock block = document()->findBlock(from);
             block.isValid() && block.position() < to; block = block.next()) {
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextFragment fragment = it.fragment();
                const int begin = std::max(from, fragment.position());
                const int end = std::min(to, fragment.position() + fragment.length());
                if (begin >= end)
                    continue;
                const QString text =
                    fragment.text().sliced(begin - fragment.position(), end - begin);
                if (fragment.charFormat().objectType() != CodeTokenType) {
                    out += text;
                    continue;
                }
                const QString code = fragment.charFormat().property(CodeProperty).toString();
                for (const QChar c : text) {
                    if (c == QChar::ObjectReplacementCharacter)
                        out += CodeOpen + code + CodeClose;
                    else
                        out += c;
                }
            }
            const int breakAt = block.position() + block.length() - 1;
            if (!m_inBlocks && block.next().isValid() && breakAt >= from && breakAt < to)
                out += m_lineBreak;
        }
        return out;
    }
    // Whether a long text may go in in blocks: the value holds no break of its own.
    bool MayUseBlocks() const { return m_inBlocks || blockCount() == 1; }
    void UseBlocks() { m_inBlocks = true; }

    // How many blocks the text may have: one more is a break that got in unasked (an input
    // method's, say), which the value does not take.
    int blocks = 1;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (!m_inBlocks) {
            QPlainTextEdit::keyPressEvent(event);
            return;
        }
        // Backspace at a block's start and Delete at its end take the character beyond the
        // break, which is none of the value's.
        QTextCursor cursor = textCursor();
        if (!cursor.hasSelection()) {
            const bool back =
                event->key() == Qt::Key_Backspace && !(event->modifiers() & ~Qt::ShiftModifier);
            const bool forward = event->matches(QKeySequence::Delete);
            bool moved = false;
            while (back && cursor.atBlockStart() && cursor.blockNumber() > 0)
                moved = cursor.movePosition(QTextCursor::PreviousCharacter);
            while (forward && cursor.atBlockEnd() && cursor.block().next().isValid())
                moved = cursor.movePosition(QTextCursor::NextCharacter);
            if (moved)
                setTextCursor(cursor);
        }
        const QTextCursor before = textCursor();
        QPlainTextEdit::keyPressEvent(event);
        // Left and Right pass a break as no character: one more step.
        if (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right) {
            QTextCursor after = textCursor();
            const int step = after.position() - before.position();
            if (std::abs(step) == 1 && after.blockNumber() != before.blockNumber()) {
                after.movePosition(
                    step < 0 ? QTextCursor::PreviousCharacter : QTextCursor::NextCharacter,
                    event->modifiers() & Qt::ShiftModifier ? QTextCursor::KeepAnchor
                                                           : QTextCursor::MoveAnchor);
                setTextCursor(after);
            }
        }
    }
    QMimeData* createMimeDataFromSelection() const override
    {
        const QTextCursor cursor = textCursor();
        const QString value = ValueBetween(cursor.selectionStart(), cursor.selectionEnd());
        auto* data = new QMimeData;
        // Other programs read the code as it is written; this one, from its own form, the tokens.
        QString plain = PlainValue(value);
        if (m_lineBreak != QStringLiteral("\n"))
            plain.replace(m_lineBreak, QStringLiteral("\n"));
        data->setText(plain);
        if (HasCodePart(value))
            data->setData(QString::fromLatin1(ValueMimeType), value.toUtf8());
        return data;
    }
    // Puts value (a text form) in at the caret, in place of the selection, as one change: its
    // code parts as tokens, its breaks as breaks.
    void InsertValue(QStringView value)
    {
        QTextCursor cursor = textCursor();
        cursor.beginEditBlock();
        cursor.removeSelectedText();
        for (qsizetype i = 0; i < value.size();) {
            if (value[i] == CodeOpen) {
                qsizetype close = value.indexOf(CodeClose, i + 1);
                if (close < 0)
                    close = value.size();
                cursor.insertText(QString(QChar::ObjectReplacementCharacter),
                                  TokenFormat(value.sliced(i + 1, close - i - 1).toString()));
                i = close + 1;
                continue;
            }
            qsizetype j = i;
            while (j < value.size() && value[j] != CodeOpen)
                ++j;
            QString run = value.sliced(i, j - i).toString();
            run.remove(CodeClose);
            run.remove(QChar::ObjectReplacementCharacter);
            cursor.insertText(run, QTextCharFormat());
            i = j;
        }
        // The editor's own caret moved on with the text put in; this copy of it is set no more:
        // the change may have been taken back by now.
        cursor.endEditBlock();
    }

    bool m_inBlocks = false;
    // What a break of the value is: the value's first one, else LF.
    QString m_lineBreak = QStringLiteral("\n");
};

// The number of line breaks in text, a pair CR LF being one.
int CountBreaks(QStringView text)
{
    int breaks = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\n' ||
            (text[i] == u'\r' && (i + 1 == text.size() || text[i + 1] != u'\n')))
            ++breaks;
    }
    return breaks;
}

// The translation's editor. Enter makes no line break: Shift+Enter does (the pane's
// InsertLineBreak), and a pasted text keeps its lines where the original has lines of its own;
// elsewhere they are joined with blanks, as the cell editor takes them. Tab moves nowhere and
// types nothing, as in the grid.
class TranslationEdit : public ValueEdit
{
public:
    using ValueEdit::ValueEdit;

    // Set while a text whose lines were joined goes in.
    bool joined = false;
    // Whether a pasted text keeps its line breaks.
    bool keepsBreaks = false;

    // Makes a line break in place of the selection: a value in blocks is laid out whole from
    // now on, its break among the box's own being none of theirs. Returns the text to store when
    // the box was laid out anew (its change is then no typing to store), else nothing.
    std::optional<std::pair<QString, qsizetype>> BreakLine()
    {
        if (!m_inBlocks) {
            ++blocks;
            insertPlainText(QStringLiteral("\n"));
            return std::nullopt;
        }
        const QTextCursor cursor = textCursor();
        const qsizetype from = ValuePosition(cursor.selectionStart());
        const qsizetype to = ValuePosition(cursor.selectionEnd());
        QString value = Value();
        value.replace(from, to - from, QStringLiteral("\n"));
        return std::pair{value, from + 1};
    }

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
            ValueEdit::keyPressEvent(event);
        }
    }
    void insertFromMimeData(const QMimeData* source) override
    {
        const QString ownType = QString::fromLatin1(ValueMimeType);
        if (!source->hasText() && !source->hasFormat(ownType))
            return;
        QString text =
            source->hasFormat(ownType) ? QString::fromUtf8(source->data(ownType)) : source->text();
        if (!source->hasFormat(ownType)) {
            // Only a value copied here brings code parts: in any other text the markers are
            // no characters to keep.
            text.remove(CodeOpen);
            text.remove(CodeClose);
        }
        text.remove(QChar::ObjectReplacementCharacter);
        if (keepsBreaks) {
            text.replace(QChar::ParagraphSeparator, u'\n');
            text.remove(QChar(0));
            // A long value in blocks has no break of its own to keep them among: there they
            // are joined, as elsewhere.
            if (!m_inBlocks) {
                blocks += CountBreaks(text);
                InsertValue(text);
                return;
            }
        }
        const JoinedLines lines = JoinLines(text);
        joined = lines.joined;
        // A long text goes in in blocks, as a long value is shown: one block of it all would be
        // laid out at once.
        if (lines.text.size() > BlockSize && MayUseBlocks() && !HasCodePart(lines.text)) {
            UseBlocks();
            const QString pieces = InBlocks(lines.text);
            blocks += int(pieces.size() - lines.text.size());
            insertPlainText(pieces);
        } else {
            InsertValue(lines.text);
        }
        joined = false;
    }
    void inputMethodEvent(QInputMethodEvent* event) override
    {
        const QString commit = event->commitString();
        if (std::none_of(commit.cbegin(), commit.cend(), BreaksPastedLine)) {
            ValueEdit::inputMethodEvent(event);
            return;
        }
        const JoinedLines text = JoinLines(commit);
        QInputMethodEvent one(event->preeditString(), event->attributes());
        one.setCommitString(text.text, event->replacementStart(), event->replacementLength());
        joined = text.joined;
        ValueEdit::inputMethodEvent(&one);
        joined = false;
        event->accept();
    }
};

// What of after differs from before, with a character more on either side (a surrogate pair the
// change completes is whole in it), or the whole of after where it holds a replacement character,
// which stands for bytes the encoding could not read. A keystroke's check for characters the
// encoding cannot write converts only that: the rest of a long value was written before.
QString ChangedPart(const QString& before, const QString& after)
{
    if (after.contains(QChar::ReplacementCharacter))
        return after;
    const qsizetype most = std::min(before.size(), after.size());
    const auto prefix = std::mismatch(before.cbegin(), before.cbegin() + most, after.cbegin());
    qsizetype begin = prefix.second - after.cbegin();
    qsizetype end = after.size();
    qsizetype beforeEnd = before.size();
    while (end > begin && beforeEnd > begin && before[beforeEnd - 1] == after[end - 1]) {
        --end;
        --beforeEnd;
    }
    begin = std::max<qsizetype>(0, begin - 1);
    if (begin > 0 && after[begin].isLowSurrogate())
        --begin;
    end = std::min(after.size(), end + 1);
    if (end < after.size() && after[end - 1].isHighSurrogate())
        ++end;
    return after.sliced(begin, end - begin);
}

ValueEdit* AsValueEdit(QPlainTextEdit* box)
{
    return static_cast<ValueEdit*>(box);
}

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
      m_original(new ValueEdit(this)), m_translation(new TranslationEdit(this)),
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
    // The same phrase again (its other column became current) is shown already: a long value is
    // not read and laid out anew.
    if (phrase == m_phrase)
        return;
    EndEdit();
    m_phrase = phrase;
    Reload();
}

void DetailsPane::Reload()
{
    if (isHidden())
        return;
    const bool any = m_phrase >= 0 && m_phrase < m_doc.PhraseCount();
    // The phrase's line read once for its three texts, which are decoded without a copy first.
    BorrowedPhraseTexts texts;
    if (any)
        m_doc.BorrowPhraseTexts(m_phrase, texts, true, true);
    m_key->setText(m_codec.ToUnicode(texts.key));
    m_line->setText(any ? QString::number(m_doc.PhraseKeyTag(m_phrase)) : QString());
    AsValueEdit(m_original)->SetValue(m_codec.ToUnicode(texts.original), 0);
    const bool editable = any && m_doc.PhraseEditable(m_phrase);
    m_translation->setReadOnly(!editable);
    QString why;
    if (any && m_doc.PhraseState(m_phrase) == TranslationState::tsObsolete)
        why = EditTexts::Obsolete();
    else if (any && !editable)
        why = EditTexts::NotEditable();
    m_translation->setToolTip(why);
    static_cast<TranslationEdit*>(m_translation)->keepsBreaks =
        texts.original.contains('\n') || texts.original.contains('\r');
    const QString text = m_codec.ToUnicode(texts.translation);
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

void DetailsPane::TypeKey(const QKeyEvent& key)
{
    QKeyEvent copy(key.type(), key.key(), key.modifiers(), key.text(), key.isAutoRepeat(),
                   key.count());
    QCoreApplication::sendEvent(m_translation, &copy);
}

QString DetailsPane::EditorText() const
{
    return AsValueEdit(m_translation)->Value();
}

QString DetailsPane::OriginalText() const
{
    return AsValueEdit(m_original)->Value();
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
    AsValueEdit(m_translation)->SetValue(text, caret);
    m_loading = false;
    // As the editor gives it back: its breaks all in the value's first one's spelling.
    m_lastGood = AsValueEdit(m_translation)->Value();
}

void DetailsPane::InsertLineBreak(int caret)
{
    if (m_phrase < 0 || m_translation->isReadOnly())
        return;
    auto* editor = static_cast<TranslationEdit*>(m_translation);
    if (caret >= 0)
        SetEditorText(m_codec.ToUnicode(m_doc.PhraseTranslation(m_phrase)), caret);
    const auto laidOut = editor->BreakLine();
    if (!laidOut)
        return; // typed: stored as every change is
    SetEditorText(laidOut->first, int(laidOut->second));
    Store(m_lastGood);
}

void DetailsPane::OnTextChanged()
{
    if (m_loading || m_phrase < 0)
        return;
    auto* editor = static_cast<TranslationEdit*>(m_translation);
    const bool joined = editor->joined;
    const QString text = editor->Value();
    const auto caretIn = [&] {
        return int(editor->ValuePosition(m_translation->textCursor().position()));
    };
    const int caret = caretIn() - int(text.size() - m_lastGood.size());
    // A break no key and no paste lets in (an input method's, say) is no part of a one-line
    // translation: the change is taken back like a character the encoding refuses.
    if (m_translation->blockCount() > editor->blocks) {
        SetEditorText(m_lastGood, caret);
        return;
    }
    if (const auto bad = UnwritableCharacter(m_codec, ChangedPart(m_lastGood, text))) {
        SetEditorText(m_lastGood, caret);
        emit CharacterRefused(m_translation, *bad);
        return;
    }
    editor->blocks = m_translation->blockCount();
    m_lastGood = text;
    Store(text);
    if (joined)
        emit LinesJoined(m_translation);
    // A code part typed or pasted beyond those the phrase has was stored as text: the editor
    // shows it so.
    if (HasCodePart(text)) {
        const QString stored = m_codec.ToUnicode(m_doc.PhraseTranslation(m_phrase));
        if (stored != text) {
            SetEditorText(stored, caretIn());
            return;
        }
    }
    // A block typed long, or a value that became long in one, is put in blocks anew.
    if (m_translation->textCursor().block().length() > LongValueSize && editor->MayUseBlocks())
        SetEditorText(text, caretIn());
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
    case QEvent::KeyPress: {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier) {
            PutBackStartText();
            emit LeaveRequested();
            return true;
        }
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            (key->modifiers() & ~Qt::KeypadModifier) == Qt::ShiftModifier) {
            InsertLineBreak();
            return true;
        }
        break;
    }
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

#include "detailspane.moc"
