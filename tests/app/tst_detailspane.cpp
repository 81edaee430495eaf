#include "../support/fixture.h"
#include "detailspane.h"
#include "edithistory.h"
#include "edittext.h"
#include "gridkeys.h"
#include "mainform.h"
#include "openedwindow.h"
#include "phrasegrid.h"
#include "phrasemodel.h"
#include "progressstatus.h"
#include "scriptedseam.h"
#include "testmain.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QUndoStack>

namespace {

// States after the merge: translated, untranslated, missing, translated, missing, untranslated.
// The first original is longer than any cell shows.
const QByteArray Template =
    "<?php\n"
    "define(\"_A\",\"Alpha, the first letter, with a text much longer than its cell\");\n"
    "define(\"_B\",\"Beta\");\n"
    "define(\"_C\",\"Gamma\");\n"
    "define(\"_D\",\"Delta\");\n"
    "define(\"_E\",\"Epsilon\");\n"
    "define(\"_F\",\"Zeta\");\n";
const QByteArray Translation = "define(\"_A\",\"Alfa\");\n"
                               "define(\"_B\",\"Beta\");\n"
                               "define(\"_D\",\"Delta!\");\n"
                               "define(\"_F\",\"Zeta\");\n";

} // namespace

// The details pane below the grid: what it shows, and its translation editor, which stores as
// the cell editor does.
class TestDetailsPane : public WindowTest
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void hiddenByDefault();
    void followsTheCurrentRow();
    void typingStoresEveryKeystroke();
    void escapePutsBackTheText();
    void noLineBreakGetsIn_data();
    void noLineBreakGetsIn();
    void refusesWhatTheEncodingCannotWrite();
    void oneEditorAtATime();
    void copyOriginal_data();
    void copyOriginal();
    void doneAndNext_data();
    void doneAndNext();
    void longValueEditsAtBlockEdges_data();
    void longValueEditsAtBlockEdges();
    void longValueTakesALineBreak();
    void longValueCopyLeavesOutBlockBreaks();
    void longPasteGoesInWhole();
    void longValueRefusesWhatTheEncodingCannotWrite();

private:
    DetailsPane* Pane() { return m_form->Details(); }
    QPlainTextEdit* Editor() { return Pane()->TranslationEditor(); }
    QUndoStack* Stack() { return m_form->History()->Stack(); }
    /// Shows the pane and puts the keyboard focus into its translation editor, as F6 does.
    void EnterPane();
    void TypeInPane(const QString& text);
    QString Progress() { return m_form->Progress()->Label()->text(); }
    /// Opens a template whose phrase 1 has original as its text and a translation that gives it
    /// translated, and enters the pane on it.
    void EnterLongValue(const QByteArray& original, const QByteArray& translated);
    /// The caret's place between the pane editor's first two blocks, at the end of the first
    /// (else at the start of the second); the value's place there.
    int CaretAtFirstBreak(bool atEnd);
};

void TestDetailsPane::init()
{
    OpenWindow(Template, Translation, 6);
}

void TestDetailsPane::cleanup()
{
    CloseWindow();
}

void TestDetailsPane::EnterPane()
{
    if (Pane()->isHidden())
        m_form->ViewDetailsAction()->trigger();
    QTest::keyClick(Grid(), Qt::Key_F6);
    QVERIFY(Editor()->hasFocus());
}

void TestDetailsPane::TypeInPane(const QString& text)
{
    for (QChar c : text)
        QTest::keyClick(Editor(), c.toLatin1());
}

void TestDetailsPane::EnterLongValue(const QByteArray& original, const QByteArray& translated)
{
    m_seam->files.enqueue(
        WriteFixture(*m_dir, "lang-english.php",
                     "<?php\ndefine('_A','Alpha');\ndefine('_LONG','" + original + "');\n"));
    m_seam->files.enqueue(
        WriteFixture(*m_dir, "lang-french.php", "<?php\ndefine('_LONG','" + translated + "');\n"));
    m_form->FileOpenAction()->trigger();
    QCOMPARE(m_form->Document().PhraseCount(), 2);
    GoToPhrase(1);
    EnterPane();
}

int TestDetailsPane::CaretAtFirstBreak(bool atEnd)
{
    const QTextBlock first = Editor()->document()->firstBlock();
    QTextCursor cursor = Editor()->textCursor();
    cursor.setPosition(first.position() + first.length() - (atEnd ? 1 : 0));
    Editor()->setTextCursor(cursor);
    return first.length() - 1;
}

void TestDetailsPane::hiddenByDefault()
{
    QVERIFY(Pane()->isHidden());
    QVERIFY(!m_form->ViewDetailsAction()->isChecked());
    QVERIFY(!m_form->ViewSwitchPaneAction()->isEnabled());
    // Hidden, F6 leaves the keys with the grid.
    QTest::keyClick(Grid(), Qt::Key_F6);
    QVERIFY(Grid()->hasFocus());
    m_form->ViewDetailsAction()->trigger();
    QVERIFY(Pane()->isVisible());
    QVERIFY(m_form->ViewDetailsAction()->isChecked());
    // Shown, the grid keeps the focus until the pane is asked for; F6 goes there and back.
    QVERIFY(Grid()->hasFocus());
    QTest::keyClick(Grid(), Qt::Key_F6);
    QVERIFY(Editor()->hasFocus());
    QTest::keyClick(Editor(), Qt::Key_F6);
    QVERIFY(Grid()->hasFocus());
    // Hidden from its editor, the pane hands the keys back to the grid.
    QTest::keyClick(Grid(), Qt::Key_F6);
    m_form->ViewDetailsAction()->trigger();
    QVERIFY(Pane()->isHidden());
    QVERIFY(Grid()->hasFocus());
}

void TestDetailsPane::followsTheCurrentRow()
{
    m_form->ViewDetailsAction()->trigger();
    QCOMPARE(Pane()->KeyLabel()->text(), QString("_A"));
    QCOMPARE(Pane()->LineLabel()->text(), Model()->GetCellText(PhraseTableModel::ColumnLine, 1));
    QCOMPARE(Pane()->OriginalView()->toPlainText(),
             QString("Alpha, the first letter, with a text much longer than its cell"));
    QCOMPARE(Editor()->toPlainText(), QString("Alfa"));
    PressKey(Grid(), Qt::Key_Down);
    QCOMPARE(Pane()->KeyLabel()->text(), QString("_B"));
    QCOMPARE(Pane()->LineLabel()->text(), QString("2"));
    QCOMPARE(Editor()->toPlainText(), QString("Beta"));
    // Under a filter the rows are other phrases: the pane shows the phrase, not the row number.
    m_form->FilterMissingAction()->trigger();
    QCOMPARE(CurrentPhrase(), 2);
    QCOMPARE(Pane()->KeyLabel()->text(), QString("_C"));
    PressKey(Grid(), Qt::Key_Down);
    QCOMPARE(Pane()->KeyLabel()->text(), QString("_E"));
    QCOMPARE(Pane()->OriginalView()->toPlainText(), QString("Epsilon"));
    // What the grid's editor types shows in the pane at once.
    TypeKeys(Grid(), "Ep");
    QCOMPARE(Editor()->toPlainText(), QString("Ep"));
    // No document, nothing to show.
    m_seam->confirms.enqueue(DialogSeam::Answer::No);
    m_seam->files.enqueue(std::nullopt);
    m_form->FileNewAction()->trigger();
    QCOMPARE(Pane()->KeyLabel()->text(), QString());
    QCOMPARE(Editor()->toPlainText(), QString());
}

void TestDetailsPane::typingStoresEveryKeystroke()
{
    const PhraseDocument& doc = m_form->Document();
    GoToPhrase(2); // missing
    EnterPane();
    QCOMPARE(Progress(), QString("2 of 6 translated (33 %)"));
    Editor()->selectAll();
    TypeInPane("G");
    QCOMPARE(doc.PhraseTranslation(2), QByteArray("G"));
    QCOMPARE(doc.PhraseState(2), TranslationState::tsTranslated);
    QCOMPARE(Model()->data(Model()->index(2, 2), Qt::DisplayRole).toString(), QString("G"));
    QCOMPARE(Progress(), QString("3 of 6 translated (50 %)"));
    QVERIFY(doc.Modified());
    TypeInPane("amma!");
    QCOMPARE(doc.PhraseTranslation(2), QByteArray("Gamma!"));
    QVERIFY(m_form->EditUndoAction()->isEnabled());
    // Leaving the phrase ends the pane's edit: one step, whatever it typed.
    m_form->NextMissingAction()->trigger();
    QCOMPARE(CurrentPhrase(), 4);
    QVERIFY(Editor()->hasFocus());
    QCOMPARE(Stack()->count(), 1);
    TypeInPane("E");
    QCOMPARE(doc.PhraseTranslation(4), QByteArray("EpsilonE"));
    QTest::keyClick(Editor(), Qt::Key_Z, Qt::ControlModifier); // the window's Undo
    QCOMPARE(doc.PhraseTranslation(4), QByteArray("Epsilon"));
    QCOMPARE(Editor()->toPlainText(), QString("Epsilon"));
    QCOMPARE(Stack()->count(), 2);
    m_form->EditUndoAction()->trigger();
    QCOMPARE(CurrentPhrase(), 2);
    QCOMPARE(doc.PhraseTranslation(2), QByteArray("Gamma"));
    QCOMPARE(doc.PhraseState(2), TranslationState::tsMissing);
    QCOMPARE(Editor()->toPlainText(), QString("Gamma"));
    QCOMPARE(Progress(), QString("2 of 6 translated (33 %)"));
    QVERIFY(!doc.Modified());
}

void TestDetailsPane::escapePutsBackTheText()
{
    const PhraseDocument& doc = m_form->Document();
    EnterPane(); // on _A, translated
    TypeInPane("xy");
    QCOMPARE(doc.PhraseTranslation(0), QByteArray("Alfaxy"));
    QTest::keyClick(Editor(), Qt::Key_Escape);
    QCOMPARE(doc.PhraseTranslation(0), QByteArray("Alfa"));
    QCOMPARE(Editor()->toPlainText(), QString("Alfa"));
    QVERIFY(Grid()->hasFocus());
    QCOMPARE(Stack()->count(), 0);
    QVERIFY(!doc.Modified());

    // Untranslated, the phrase stays translated as after Esc in a cell: that is a step.
    GoToPhrase(1);
    EnterPane();
    TypeInPane("z");
    QTest::keyClick(Editor(), Qt::Key_Escape);
    QCOMPARE(doc.PhraseTranslation(1), QByteArray("Beta"));
    QCOMPARE(doc.PhraseState(1), TranslationState::tsTranslated);
    QCOMPARE(Stack()->count(), 1);
}

void TestDetailsPane::noLineBreakGetsIn_data()
{
    // Pressed, or with a text: Ctrl+V with it on the clipboard, or an input method's committing it.
    QTest::addColumn<QKeyCombination>("key");
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("joined"); // the status line says so
    const QKeyCombination paste = Qt::ControlModifier | Qt::Key_V;
    const QKeyCombination inputMethod(Qt::Key_unknown);
    QTest::newRow("Return") << QKeyCombination(Qt::Key_Return) << ""
                            << "Beta" << false;
    QTest::newRow("Enter") << QKeyCombination(Qt::Key_Enter) << ""
                           << "Beta" << false;
    QTest::newRow("Tab") << QKeyCombination(Qt::Key_Tab) << ""
                         << "Beta" << false;
    QTest::newRow("pasted CR LF") << paste << "X\r\nY"
                                  << "BetaX Y" << true;
    QTest::newRow("pasted LF first") << paste << "\nY"
                                     << "BetaY" << false;
    QTest::newRow("pasted line with its end") << paste << "Y\r\n"
                                              << "BetaY" << false;
    QTest::newRow("pasted NUL") << paste << QString("a") + QChar(0) + "b"
                                << "Betaa b" << true;
    QTest::newRow("pasted paragraphs") << paste << QString("a") + QChar::ParagraphSeparator + "b"
                                       << "Betaa b" << true;
    QTest::newRow("input method's lines") << inputMethod << "a\nb"
                                          << "Betaa b" << true;
}

void TestDetailsPane::noLineBreakGetsIn()
{
    QFETCH(QKeyCombination, key);
    QFETCH(QString, clipboard);
    QFETCH(QString, text);
    QFETCH(bool, joined);
    GoToPhrase(1);
    EnterPane();
    if (key.key() == Qt::Key_unknown) {
        QInputMethodEvent commit;
        commit.setCommitString(clipboard);
        QApplication::sendEvent(Editor(), &commit);
    } else {
        if (!clipboard.isEmpty())
            QApplication::clipboard()->setText(clipboard);
        QTest::keyClick(Editor(), key.key(), key.keyboardModifiers());
    }
    QCOMPARE(Editor()->toPlainText(), text);
    QCOMPARE(Editor()->blockCount(), 1);
    QCOMPARE(m_form->Document().PhraseTranslation(1), text.toLatin1());
    QVERIFY(Editor()->hasFocus());
    QCOMPARE(CurrentPhrase(), 1);
    QCOMPARE(m_form->statusBar()->currentMessage(), joined ? EditTexts::LinesJoined() : QString());
}

void TestDetailsPane::refusesWhatTheEncodingCannotWrite()
{
    m_form->ChooseEncoding("windows-1252");
    EnterPane();
    Editor()->moveCursor(QTextCursor::End);
    QApplication::clipboard()->setText(QString::fromUtf8("\xd0\x96")); // a Cyrillic letter
    QTest::keyClick(Editor(), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(Editor()->toPlainText(), QString("Alfa"));
    QCOMPARE(Editor()->textCursor().position(), 4);
    QCOMPARE(m_form->Document().PhraseTranslation(0), QByteArray("Alfa"));
    QVERIFY(Editor()->toolTip().contains("windows-1252"));
    // What it can write goes in, in its bytes.
    QApplication::clipboard()->setText(QString::fromUtf8("\xc3\xa9"));
    QTest::keyClick(Editor(), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(m_form->Document().PhraseTranslation(0), QByteArray("Alfa\xe9"));
}

void TestDetailsPane::oneEditorAtATime()
{
    const PhraseDocument& doc = m_form->Document();
    m_form->ViewDetailsAction()->trigger();
    TypeKeys(Grid(), "Al");
    QVERIFY(Grid()->IsEditing());
    // The pane's editor taking the focus ends the cell's edit as leaving the cell does.
    QTest::keyClick(Grid()->indexWidget(Grid()->currentIndex()), Qt::Key_F6);
    QVERIFY(!Grid()->IsEditing());
    QVERIFY(Editor()->hasFocus());
    QCOMPARE(Stack()->count(), 1);
    TypeInPane("pha");
    QCOMPARE(doc.PhraseTranslation(0), QByteArray("Alpha"));
    QCOMPARE(Model()->data(Model()->index(0, 2), Qt::DisplayRole).toString(), QString("Alpha"));
    // And back in the grid, the pane's edit is a step of its own.
    QTest::keyClick(Editor(), Qt::Key_F6);
    QVERIFY(Grid()->hasFocus());
    QCOMPARE(Stack()->count(), 2);
    m_form->EditUndoAction()->trigger();
    QCOMPARE(doc.PhraseTranslation(0), QByteArray("Al"));
}

void TestDetailsPane::copyOriginal_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<int>("steps"); // the edit it ends, if any, and its own
    QTest::newRow("grid") << "grid" << 1;
    QTest::newRow("cell editor") << "cell editor" << 2;
    QTest::newRow("pane") << "pane" << 2;
}

void TestDetailsPane::copyOriginal()
{
    QFETCH(QString, from);
    QFETCH(int, steps);
    const PhraseDocument& doc = m_form->Document();
    GoToPhrase(3); // translated as "Delta!"
    if (from == "cell editor") {
        TypeKeys(Grid(), "D");
    } else if (from == "pane") {
        EnterPane();
        Editor()->selectAll();
        TypeInPane("D");
    }
    QWidget* target = from == "pane" ? static_cast<QWidget*>(Editor()) : KeyTarget(Grid());
    QTest::keyClick(target, Qt::Key_B, Qt::ControlModifier);
    QVERIFY(!Grid()->IsEditing());
    QCOMPARE(doc.PhraseTranslation(3), QByteArray("Delta"));
    QCOMPARE(doc.PhraseState(3), TranslationState::tsTranslated);
    QCOMPARE(Stack()->count(), steps);
    if (from == "pane") {
        QCOMPARE(Editor()->toPlainText(), QString("Delta"));
        QVERIFY(Editor()->hasFocus());
    }
    m_form->EditUndoAction()->trigger();
    QCOMPARE(doc.PhraseTranslation(3), from == "grid" ? QByteArray("Delta!") : QByteArray("D"));
    // Where the translation is the original already, there is nothing to copy and no step: what
    // could be redone stays.
    GoToPhrase(1);
    m_form->EditCopyOriginalAction()->trigger();
    QCOMPARE(Stack()->index(), steps - 1);
    QVERIFY(m_form->EditRedoAction()->isEnabled());
    QCOMPARE(doc.PhraseState(1), TranslationState::tsUntranslated);
}

void TestDetailsPane::doneAndNext_data()
{
    QTest::addColumn<QString>("filter"); // the View menu's action
    QTest::addColumn<int>("start");
    QTest::addColumn<bool>("inPane");
    QTest::addColumn<int>("next"); // the phrase current after Ctrl+Enter
    QTest::addColumn<QList<int>>("shown");
    QTest::newRow("all: the next untranslated")
        << "FilterAllAction" << 0 << false << 1 << QList<int>{0, 1, 2, 3, 4, 5};
    QTest::newRow("all: the next missing, past a translated phrase")
        << "FilterAllAction" << 2 << false << 4 << QList<int>{0, 1, 2, 3, 4, 5};
    QTest::newRow("needs work: the edited row goes")
        << "FilterNeedsWorkAction" << 1 << false << 2 << QList<int>{2, 4, 5};
    QTest::newRow("missing: rows shown only")
        << "FilterMissingAction" << 2 << false << 4 << QList<int>{4};
    QTest::newRow("the last phrase: it stays")
        << "FilterAllAction" << 5 << false << 5 << QList<int>{0, 1, 2, 3, 4, 5};
    QTest::newRow("from the pane")
        << "FilterNeedsWorkAction" << 1 << true << 2 << QList<int>{2, 4, 5};
}

void TestDetailsPane::doneAndNext()
{
    QFETCH(QString, filter);
    QFETCH(int, start);
    QFETCH(bool, inPane);
    QFETCH(int, next);
    QFETCH(QList<int>, shown);
    m_form->findChild<QAction*>(filter)->trigger();
    GoToPhrase(start);
    if (inPane)
        EnterPane();
    QTest::keyClick(inPane ? Editor() : KeyTarget(Grid()), Qt::Key_X);
    QTest::keyClick(inPane ? Editor() : KeyTarget(Grid()), Qt::Key_Return, Qt::ControlModifier);
    QVERIFY(!Grid()->IsEditing());
    QCOMPARE(m_form->Document().PhraseState(start), TranslationState::tsTranslated);
    QCOMPARE(Stack()->count(), 1);
    QCOMPARE(CurrentPhrase(), next);
    QTRY_COMPARE(Shown(), shown);
    QCOMPARE(CurrentPhrase(), next);
    if (inPane) {
        QVERIFY(Editor()->hasFocus());
        QCOMPARE(Pane()->Phrase(), next);
    }
}

void TestDetailsPane::longValueEditsAtBlockEdges_data()
{
    // At the end of the pane editor's first block or the start of its second, key is pressed and
    // typed typed; the value loses length characters at from (from the break) and gains typed.
    QTest::addColumn<bool>("atEnd");
    QTest::addColumn<QKeyCombination>("key");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("length");
    QTest::newRow("Backspace at a block's start takes the character before the break")
        << false << QKeyCombination(Qt::Key_Backspace) << "" << -1 << 1;
    QTest::newRow("Delete at a block's end takes the character after it")
        << true << QKeyCombination(Qt::Key_Delete) << "" << 0 << 1;
    QTest::newRow("Left from a block's start passes one character")
        << false << QKeyCombination(Qt::Key_Left) << "!" << -1 << 0;
    QTest::newRow("Right from a block's end passes one character")
        << true << QKeyCombination(Qt::Key_Right) << "!" << 1 << 0;
    QTest::newRow("Shift+Left from a block's start selects one character")
        << false << (Qt::ShiftModifier | Qt::Key_Left) << "!" << -1 << 1;
    QTest::newRow("typed at a block's start")
        << false << QKeyCombination(Qt::Key_unknown) << "!" << 0 << 0;
}

// A long value is laid out in blocks, so that a keystroke lays out one of them; their breaks are
// not the value's: what the pane shows and stores is the value, edited where the caret is.
void TestDetailsPane::longValueEditsAtBlockEdges()
{
    QFETCH(bool, atEnd);
    QFETCH(QKeyCombination, key);
    QFETCH(QString, typed);
    QFETCH(int, from);
    QFETCH(int, length);
    const QByteArray original = Words(3 * LongValueSize, 'O');
    const QByteArray translated = Words(3 * LongValueSize, 'T');
    EnterLongValue(original, translated);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(Pane()->OriginalText().toLatin1(), original);
    QCOMPARE(Pane()->EditorText().toLatin1(), translated);
    QVERIFY(Editor()->blockCount() > 1); // else there is no break to edit at
    const int at = CaretAtFirstBreak(atEnd);
    if (key.key() != Qt::Key_unknown)
        QTest::keyClick(Editor(), key.key(), key.keyboardModifiers());
    TypeInPane(typed);
    const QByteArray expected = QByteArray(translated).replace(at + from, length, typed.toLatin1());
    QCOMPARE(m_form->Document().PhraseTranslation(1), expected);
    QCOMPARE(Pane()->EditorText().toLatin1(), expected);
}

// A line break of the value's own cannot stand among the pane's block breaks: the value is laid
// out whole from then on, and goes on being edited where the caret is.
void TestDetailsPane::longValueTakesALineBreak()
{
    const QByteArray translated = Words(3 * LongValueSize, 'T');
    EnterLongValue("Alpha", translated);
    if (QTest::currentTestFailed())
        return;
    const int at = CaretAtFirstBreak(true);
    QTest::keyClick(Editor(), Qt::Key_Return, Qt::ShiftModifier);
    QByteArray expected = QByteArray(translated).insert(at, '\n');
    QCOMPARE(m_form->Document().PhraseTranslation(1), expected);
    QCOMPARE(Pane()->EditorText().toLatin1(), expected);
    QCOMPARE(Editor()->blockCount(), 2);
    TypeInPane("x");
    expected.insert(at + 1, 'x');
    QCOMPARE(m_form->Document().PhraseTranslation(1), expected);
    QTest::keyClick(Editor(), Qt::Key_Escape);
    QCOMPARE(m_form->Document().PhraseTranslation(1), translated);
}

void TestDetailsPane::longValueCopyLeavesOutBlockBreaks()
{
    const QByteArray translated = Words(3 * LongValueSize, 'T');
    EnterLongValue("Alpha", translated);
    if (QTest::currentTestFailed())
        return;
    const int at = CaretAtFirstBreak(true);
    QTextCursor cursor = Editor()->textCursor();
    cursor.setPosition(at - 5);
    cursor.setPosition(at + 6, QTextCursor::KeepAnchor); // over the break
    Editor()->setTextCursor(cursor);
    QTest::keyClick(Editor(), Qt::Key_C, Qt::ControlModifier); // the editor's own Copy
    QCOMPARE(QApplication::clipboard()->text().toLatin1(), translated.mid(at - 5, 10));
}

// A long text pasted into a short translation goes in whole, in blocks; its lines joined.
void TestDetailsPane::longPasteGoesInWhole()
{
    const PhraseDocument& doc = m_form->Document();
    GoToPhrase(1); // "Beta"
    EnterPane();
    const QByteArray first = Words(2 * LongValueSize, 'P');
    const QByteArray second = Words(LongValueSize, 'Q');
    QApplication::clipboard()->setText(QString::fromLatin1(first + "\r\n" + second));
    QTest::keyClick(Editor(), Qt::Key_V, Qt::ControlModifier);
    const QByteArray expected = "Beta" + first + ' ' + second;
    QCOMPARE(doc.PhraseTranslation(1), expected);
    QCOMPARE(Pane()->EditorText().toLatin1(), expected);
    QVERIFY(Editor()->blockCount() > 1);
    QCOMPARE(m_form->statusBar()->currentMessage(), EditTexts::LinesJoined());
    // Typed on in its blocks, it stays exact; Esc puts back the text before the paste.
    const int at = CaretAtFirstBreak(false);
    QTest::keyClick(Editor(), Qt::Key_Backspace);
    QCOMPARE(doc.PhraseTranslation(1), QByteArray(expected).remove(at - 1, 1));
    QTest::keyClick(Editor(), Qt::Key_Escape);
    QCOMPARE(doc.PhraseTranslation(1), QByteArray("Beta"));
    QCOMPARE(Pane()->EditorText(), QString("Beta"));
}

void TestDetailsPane::longValueRefusesWhatTheEncodingCannotWrite()
{
    const QByteArray translated = Words(3 * LongValueSize, 'T');
    EnterLongValue("Alpha", translated);
    if (QTest::currentTestFailed())
        return;
    m_form->ChooseEncoding("windows-1252");
    QVERIFY(Editor()->hasFocus());
    const int at = CaretAtFirstBreak(false);
    QApplication::clipboard()->setText(QString::fromUtf8("\xd0\x96")); // a Cyrillic letter
    QTest::keyClick(Editor(), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(Pane()->EditorText().toLatin1(), translated);
    QCOMPARE(m_form->Document().PhraseTranslation(1), translated);
    QVERIFY(Editor()->toolTip().contains("windows-1252"));
    // The caret stays where it was: what it can write goes in there, in its bytes.
    QApplication::clipboard()->setText(QString::fromUtf8("\xc3\xa9"));
    QTest::keyClick(Editor(), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(m_form->Document().PhraseTranslation(1), QByteArray(translated).insert(at, '\xe9'));
}

QUILLMAR_GUI_TEST_MAIN(TestDetailsPane)
#include "tst_detailspane.moc"
