#include "../support/fixture.h"
#include "detailspane.h"
#include "edithistory.h"
#include "edittext.h"
#include "gridkeys.h"
#include "mainform.h"
#include "openedwindow.h"
#include "phrasegrid.h"
#include "phrasemodel.h"
#include "phrasesearch.h"
#include "progressstatus.h"
#include "scriptedseam.h"
#include "testmain.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTextBlock>
#include <QUndoStack>

namespace {

// Phrases: 0 a text with a code part, 1 a text over two lines, 2 code alone, 3 a plain text,
// 4 obsolete (the translation's only). States: translated, translated, missing, missing,
// obsolete.
const QByteArray Template = "<?php\n"
                            "define('_HELLO', 'Hello ' . $name . '!');\n"
                            "define('_LINES', \"First line\n"
                            "Second line\");\n"
                            "define('_EOL', PHP_EOL);\n"
                            "define('_PLAIN', 'Plain');\n";
const QByteArray Translation = "<?php\n"
                               "define('_HELLO', 'Bonjour ' . $name . ' !');\n"
                               "define('_LINES', \"Ligne un\n"
                               "Ligne deux\");\n"
                               "define('_GONE', 'Parti');\n";
enum Phrase { Hello, Lines, Eol, Plain, Gone };

const QString Token = QStringLiteral("\x0e$name\x0f");
const QString Arrow = QString(LineBreakMark);

using Marks = QList<ValueMark>;

} // namespace

// Values as the reader gives them now, in the window: texts over several lines, code parts
// among the text, values of code alone, and phrases only the translation has.
class TestValueShapes : public WindowTest
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void shownValue_data();
    void shownValue();
    void cellsShowMarks_data();
    void cellsShowMarks();
    void copyGivesCodeAsWritten();
    void findSeesCodeAsWritten();
    void readOnlyPhrases_data();
    void readOnlyPhrases();
    void obsoleteRows();
    void removeObsoleteIsOneStep();
    void cellEditsGoToPane_data();
    void cellEditsGoToPane();
    void shiftEnterInCellBreaksInPane();
    void paneEditsLines_data();
    void paneEditsLines();
    void codeTokensGoWhole();
    void codeTokensMove();
    void codeTypedAsTextStaysText();

private:
    DetailsPane* Pane() { return m_form->Details(); }
    QPlainTextEdit* Editor() { return Pane()->TranslationEditor(); }
    QUndoStack* Stack() { return m_form->History()->Stack(); }
    QByteArray Translated(int phrase) { return m_form->Document().PhraseTranslation(phrase); }
    /// The phrase current, the pane shown and its translation editor given the keys, as F6 does.
    void EnterPane(int phrase);
    /// Puts the pane editor's caret at position, a place in its text (a token is one place).
    void PlaceCaret(int position, int anchor = -1);
};

void TestValueShapes::init()
{
    OpenWindow(Template, Translation, 5);
}

void TestValueShapes::cleanup()
{
    CloseWindow();
}

void TestValueShapes::EnterPane(int phrase)
{
    GoToPhrase(phrase);
    if (Pane()->isHidden())
        m_form->ViewDetailsAction()->trigger();
    if (!Editor()->hasFocus())
        QTest::keyClick(Grid(), Qt::Key_F6);
    QVERIFY(Editor()->hasFocus());
    QCOMPARE(Pane()->Phrase(), phrase);
}

void TestValueShapes::PlaceCaret(int position, int anchor)
{
    QTextCursor cursor = Editor()->textCursor();
    cursor.setPosition(anchor >= 0 ? anchor : position);
    cursor.setPosition(position, QTextCursor::KeepAnchor);
    Editor()->setTextCursor(cursor);
}

void TestValueShapes::shownValue_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<Marks>("marks");
    QTest::addColumn<QString>("plain"); // as copied for another program
    const auto code = [](qsizetype at, qsizetype length) {
        return ValueMark{at, length, ValueMark::Code};
    };
    const auto lineBreak = [](qsizetype at) { return ValueMark{at, 1, ValueMark::LineBreak}; };
    QTest::newRow("plain") << "Hello"
                           << "Hello" << Marks{} << "Hello";
    QTest::newRow("LF, CR LF and CR: one mark each")
        << "a\nb\r\nc\rd"
        << "a" + Arrow + "b" + Arrow + "c" + Arrow + "d"
        << Marks{lineBreak(1), lineBreak(3), lineBreak(5)} << "a\nb\r\nc\rd";
    QTest::newRow("a code part in brackets")
        << "Hi " + Token + "!" << QString("Hi \u27e8$name\u27e9!") << Marks{code(3, 7)}
        << "Hi $name!";
    QTest::newRow("code parts side by side")
        << "\x0e$a\x0f\x0e$b\x0f" << QString("\u27e8$a\u27e9\u27e8$b\u27e9")
        << Marks{code(0, 4), code(4, 4)} << "$a$b";
    // The start of a long value may end inside a code part.
    QTest::newRow("a code part cut short")
        << "x\x0e$na" << QString("x\u27e8$na\u27e9") << Marks{code(1, 5)} << "x$na";
    // A variable read from inside a string shows as it stands there.
    QTest::newRow("an interpolation")
        << "Hi \x0e\"{$u->name}\"\x0f!" << QString("Hi \u27e8{$u->name}\u27e9!")
        << Marks{code(3, 12)} << "Hi {$u->name}!";
    QTest::newRow("a string that is no interpolation")
        << "\x0e\"a\"\x0f" << QString("\u27e8\"a\"\u27e9") << Marks{code(0, 5)} << "\"a\"";
    QTest::newRow("a stray close") << "a\x0f"
                                   << "a" << Marks{} << "a";
}

// A cell never shows the control characters of a value: breaks and code parts are marks. A copy
// for another program has the code as it is written.
void TestValueShapes::shownValue()
{
    QFETCH(QString, value);
    QFETCH(QString, shown);
    QFETCH(Marks, marks);
    QFETCH(QString, plain);
    const ShownValue out = ShowValue(value);
    QCOMPARE(out.text, shown);
    QCOMPARE(out.marks, marks);
    QCOMPARE(PlainValue(value), plain);
}

void TestValueShapes::cellsShowMarks_data()
{
    QTest::addColumn<int>("phrase");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("marks");
    QTest::newRow("original with a code part")
        << int(Hello) << 1 << QString("Hello \u27e8$name\u27e9!") << 1;
    QTest::newRow("translation with a code part")
        << int(Hello) << 2 << QString("Bonjour \u27e8$name\u27e9 !") << 1;
    QTest::newRow("original over two lines")
        << int(Lines) << 1 << "First line" + Arrow + "Second line" << 1;
    QTest::newRow("translation over two lines")
        << int(Lines) << 2 << "Ligne un" + Arrow + "Ligne deux" << 1;
    QTest::newRow("code alone") << int(Eol) << 2 << QString("\u27e8PHP_EOL\u27e9") << 1;
    QTest::newRow("plain") << int(Plain) << 2 << "Plain" << 0;
    QTest::newRow("obsolete: its key for the original") << int(Gone) << 1 << "_GONE" << 0;
    QTest::newRow("obsolete: its translation") << int(Gone) << 2 << "Parti" << 0;
}

void TestValueShapes::cellsShowMarks()
{
    QFETCH(int, phrase);
    QFETCH(int, column);
    QFETCH(QString, shown);
    QFETCH(int, marks);
    if (!m_form->Document().ShowOriginal())
        m_form->ShowOriginalAction()->trigger();
    const QModelIndex cell = Model()->index(Model()->RowOf(phrase), column);
    QCOMPARE(cell.data(Qt::DisplayRole).toString(), shown);
    QCOMPARE(cell.data(PhraseTableModel::MarksRole).value<Marks>().size(), marks);
    // The bytes stay the document's: the marks are the grid's alone.
    if (column == 2)
        QCOMPARE(cell.data(PhraseTableModel::BytesRole).toByteArray(), Translated(phrase));
}

// Copied cells give another program the code as it is written, never the markers.
void TestValueShapes::copyGivesCodeAsWritten()
{
    GoToPhrase(Hello, PhraseTableModel::ColumnOriginal);
    Grid()->selectionModel()->select(
        QItemSelection(Model()->index(Hello, 1), Model()->index(Lines, 2)),
        QItemSelectionModel::ClearAndSelect);
    m_form->EditCopyAction()->trigger();
    QCOMPARE(
        QApplication::clipboard()->text(),
        QString("Hello $name!\tBonjour $name !\r\nFirst line\nSecond line\tLigne un\nLigne deux"));
}

void TestValueShapes::findSeesCodeAsWritten()
{
    for (const QByteArray pattern : {"bonjour $name !", "Hello $NAME!", "*$name*"}) {
        SearchRequest request;
        request.pattern = pattern;
        QCOMPARE(FindPhrase(m_form->Document(), 0, request, m_form->Codec()), int(Hello));
    }
}

void TestValueShapes::readOnlyPhrases_data()
{
    QTest::addColumn<int>("phrase");
    QTest::addColumn<QString>("why"); // the start of the tool tip
    QTest::newRow("code alone") << int(Eol) << "This value is code";
    QTest::newRow("obsolete") << int(Gone) << "Obsolete";
}

// A value with no text, and a phrase the template lacks, take no typing in the cell nor the pane,
// and say why.
void TestValueShapes::readOnlyPhrases()
{
    QFETCH(int, phrase);
    QFETCH(QString, why);
    const QByteArray before = Translated(phrase);
    const QModelIndex cell = Model()->index(phrase, PhraseTableModel::ColumnTranslated);
    QVERIFY(!(cell.flags() & Qt::ItemIsEditable));
    QVERIFY(cell.data(Qt::ToolTipRole).toString().startsWith(why));
    GoToPhrase(phrase);
    for (const Qt::Key key : {Qt::Key_X, Qt::Key_F2, Qt::Key_Return, Qt::Key_Backspace})
        PressKey(Grid(), key);
    QVERIFY(!Grid()->IsEditing());
    EnterPane(phrase);
    QVERIFY(Editor()->isReadOnly());
    QVERIFY(Editor()->toolTip().startsWith(why));
    QTest::keyClick(Editor(), Qt::Key_X);
    QTest::keyClick(Editor(), Qt::Key_Return, Qt::ShiftModifier);
    QApplication::clipboard()->setText(QStringLiteral("pasted"));
    QTest::keyClick(Editor(), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(Translated(phrase), before);
    QVERIFY(!m_form->Document().Modified());
    QCOMPARE(Stack()->count(), 0);
}

// An obsolete phrase is an extra row after the template's, grey across, in no count of the
// template's phrases and under a filter of its own.
void TestValueShapes::obsoleteRows()
{
    const PhraseDocument& doc = m_form->Document();
    QCOMPARE(doc.PhraseState(Gone), TranslationState::tsObsolete);
    QCOMPARE(Model()->index(Gone, 2).data(PhraseTableModel::StateRole).toInt(),
             int(TranslationState::tsObsolete));
    for (const int column : {1, 2})
        QCOMPARE(Model()->index(Gone, column).data(Qt::ForegroundRole).value<QColor>(),
                 QColor(128, 128, 128));
    QVERIFY(!Model()->index(Plain, 1).data(Qt::ForegroundRole).isValid());
    QVERIFY(m_form->Progress()->Label()->text().startsWith("2 of 4 translated"));
    QCOMPARE(m_form->StatusLabel()->text(), QString("Phrases: 4, Untranslated: 0, Missing: 2"));

    m_form->FilterObsoleteAction()->trigger();
    QCOMPARE(Shown(), (QList<int>{Gone}));
    QCOMPARE(CurrentPhrase(), int(Gone));
    // Nothing obsolete needs work: it is no phrase of the template to translate.
    m_form->FilterNeedsWorkAction()->trigger();
    QCOMPARE(Shown(), (QList<int>{Eol, Plain}));
    PressKey(Grid(), Qt::Key_7, Qt::ControlModifier);
    QCOMPARE(m_form->FilterGroup()->checkedAction(), m_form->FilterObsoleteAction());
    QCOMPARE(m_form->FilterBox()->currentText(), m_form->FilterObsoleteAction()->iconText());
}

// Edit > Remove obsolete phrases takes them out of the rows and the saved file as one step of the
// history, which Undo takes back; the steps of edits on either side of it stay good.
void TestValueShapes::removeObsoleteIsOneStep()
{
    PhraseDocument& doc = m_form->Document();
    QAction* remove = m_form->EditRemoveObsoleteAction();
    QVERIFY(remove->isEnabled());
    GoToPhrase(Plain);
    TypeKeys(Grid(), "Simple");
    PressKey(Grid(), Qt::Key_Return);
    QCOMPARE(Stack()->count(), 1);
    GoToPhrase(Lines);
    remove->trigger();
    QCOMPARE(doc.PhraseCount(), 4);
    QCOMPARE(doc.Statistics().obsolete, 0);
    QCOMPARE(Model()->rowCount(), 4);
    QVERIFY(!remove->isEnabled());
    QCOMPARE(CurrentPhrase(), int(Lines)); // the translator stays where they were
    QVERIFY(doc.Modified());
    QCOMPARE(Stack()->count(), 2);
    QVERIFY(!doc.BuildTranslationFile().contains("_GONE"));
    QVERIFY(doc.BuildTranslationFile().contains("'Simple'"));

    m_form->EditUndoAction()->trigger();
    QCOMPARE(doc.PhraseCount(), 5);
    QCOMPARE(doc.PhraseKey(Gone), QByteArray("_GONE"));
    QCOMPARE(doc.PhraseTranslation(Gone), QByteArray("Parti"));
    QCOMPARE(CurrentPhrase(), int(Gone)); // what came back is shown
    QVERIFY(remove->isEnabled());
    QVERIFY(doc.BuildTranslationFile().contains("define('_GONE', 'Parti');"));
    m_form->EditUndoAction()->trigger();
    QCOMPARE(Translated(Plain), QByteArray("Plain"));
    QVERIFY(!doc.Modified()); // back where the file was read
    m_form->EditRedoAction()->trigger();
    m_form->EditRedoAction()->trigger();
    QCOMPARE(doc.PhraseCount(), 4);
    QCOMPARE(Translated(Plain), QByteArray("Simple"));
    QVERIFY(!m_form->EditRedoAction()->isEnabled());
    // Saved so, the file has no obsolete phrase; the undo makes it unsaved again.
    m_seam->files.enqueue(m_dir->filePath("saved.php"));
    m_form->FileSaveAsAction()->trigger();
    QVERIFY(!doc.Modified());
    QVERIFY(!ReadAll(m_dir->filePath("saved.php")).contains("_GONE"));
    m_form->EditUndoAction()->trigger();
    QVERIFY(doc.Modified());
    QCOMPARE(doc.PhraseCount(), 5);
}

void TestValueShapes::cellEditsGoToPane_data()
{
    QTest::addColumn<int>("phrase");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("inPane");
    QTest::newRow("code part: F2") << int(Hello) << int(Qt::Key_F2) << true;
    QTest::newRow("code part: a typed letter") << int(Hello) << int(Qt::Key_X) << true;
    QTest::newRow("lines: Enter") << int(Lines) << int(Qt::Key_Return) << true;
    QTest::newRow("lines: a typed letter") << int(Lines) << int(Qt::Key_X) << true;
    QTest::newRow("plain: the cell's editor") << int(Plain) << int(Qt::Key_F2) << false;
}

// A one-line editor cannot show lines nor keep code parts whole: such values are edited in the
// details pane, as long ones are.
void TestValueShapes::cellEditsGoToPane()
{
    QFETCH(int, phrase);
    QFETCH(int, key);
    QFETCH(bool, inPane);
    const QByteArray before = Translated(phrase);
    GoToPhrase(phrase);
    PressKey(Grid(), Qt::Key(key));
    QCOMPARE(Grid()->IsEditing(), !inPane);
    QCOMPARE(Pane()->isVisible(), inPane);
    QCOMPARE(Pane()->EditorHasFocus(), inPane);
    if (inPane && key == Qt::Key_X)
        QCOMPARE(Translated(phrase), before + 'x'); // at the end: no code part is lost
    else
        QCOMPARE(Translated(phrase), before);
}

// Shift+Enter in a cell's editor makes the line break where the caret was, in the pane; what the
// selection held goes.
void TestValueShapes::shiftEnterInCellBreaksInPane()
{
    GoToPhrase(Plain);
    PressKey(Grid(), Qt::Key_F2);
    auto* editor = qobject_cast<QLineEdit*>(KeyTarget(Grid()));
    QVERIFY(editor);
    editor->setSelection(2, 1); // the "a"
    QTest::keyClick(editor, Qt::Key_Return, Qt::ShiftModifier);
    QApplication::processEvents();
    QVERIFY(!Grid()->IsEditing());
    QVERIFY(Pane()->EditorHasFocus());
    QCOMPARE(Translated(Plain), QByteArray("Pl\nin"));
    QCOMPARE(Editor()->blockCount(), 2);
    QTest::keyClick(Editor(), Qt::Key_X);
    QCOMPARE(Translated(Plain), QByteArray("Pl\nxin"));
    QVERIFY(m_form->Document().BuildTranslationFile().contains("define('_PLAIN', 'Pl\nxin');\n"));
}

void TestValueShapes::paneEditsLines_data()
{
    // On the second line's start, key is pressed, or the clipboard's text pasted.
    QTest::addColumn<int>("phrase");
    QTest::addColumn<QKeyCombination>("key");
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QByteArray>("translation");
    const QKeyCombination paste = Qt::ControlModifier | Qt::Key_V;
    QTest::newRow("Shift+Enter breaks the line")
        << int(Lines) << (Qt::ShiftModifier | Qt::Key_Return) << QString()
        << QByteArray("Ligne un\n\nLigne deux");
    QTest::newRow("Enter does nothing") << int(Lines) << QKeyCombination(Qt::Key_Return)
                                        << QString() << QByteArray("Ligne un\nLigne deux");
    QTest::newRow("Backspace joins the lines") << int(Lines) << QKeyCombination(Qt::Key_Backspace)
                                               << QString() << QByteArray("Ligne unLigne deux");
    QTest::newRow("lines pasted where the original has lines")
        << int(Lines) << paste << "a\r\nb\rc" << QByteArray("Ligne un\na\nb\ncLigne deux");
    QTest::newRow("lines pasted where the original is one line")
        << int(Plain) << paste << "a\r\nb" << QByteArray("Plaa bin");
}

void TestValueShapes::paneEditsLines()
{
    QFETCH(int, phrase);
    QFETCH(QKeyCombination, key);
    QFETCH(QString, clipboard);
    QFETCH(QByteArray, translation);
    EnterPane(phrase);
    if (phrase == Lines) {
        QCOMPARE(Pane()->OriginalView()->blockCount(), 2);
        QCOMPARE(Pane()->OriginalText(), QString("First line\nSecond line"));
        QCOMPARE(Editor()->blockCount(), 2);
        PlaceCaret(Editor()->document()->lastBlock().position());
    } else {
        PlaceCaret(3);
    }
    if (!clipboard.isEmpty())
        QApplication::clipboard()->setText(clipboard);
    QTest::keyClick(Editor(), key.key(), key.keyboardModifiers());
    QCOMPARE(Translated(phrase), translation);
    QCOMPARE(Pane()->EditorText().toLatin1(), translation);
    QCOMPARE(Editor()->blockCount(), int(translation.count('\n')) + 1);
    QVERIFY(Editor()->hasFocus());
    // Saved, the lines stand as typed, in the template's line ends.
    const QByteArray saved = m_form->Document().BuildTranslationFile();
    QVERIFY(!saved.contains('\r'));
    QVERIFY2(saved.contains(translation), saved.constData());
    // The edit is one step.
    QTest::keyClick(Editor(), Qt::Key_F6);
    m_form->EditUndoAction()->trigger();
    QCOMPARE(Pane()->EditorText().toLatin1(),
             phrase == Lines ? QByteArray("Ligne un\nLigne deux") : QByteArray("Plain"));
}

// A code part is one token in the pane's editor: the caret passes it in one step, Backspace and
// Delete take it whole, and a key typed beside it is text.
void TestValueShapes::codeTokensGoWhole()
{
    EnterPane(Hello);
    QCOMPARE(Pane()->EditorText(), "Bonjour " + Token + " !");
    QCOMPARE(Pane()->OriginalText(), "Hello " + Token + "!");
    QCOMPARE(Editor()->document()->characterCount() - 1, 11); // "Bonjour ", the token, " !"
    QVERIFY(!Editor()->toPlainText().contains(u'\x0e'));
    PlaceCaret(8); // before the token
    QTest::keyClick(Editor(), Qt::Key_Right);
    QCOMPARE(Editor()->textCursor().position(), 9);
    QTest::keyClick(Editor(), Qt::Key_X);
    QCOMPARE(Translated(Hello), QByteArray("Bonjour \x0e$name\x0fx !"));
    QTest::keyClick(Editor(), Qt::Key_Left);
    QTest::keyClick(Editor(), Qt::Key_Backspace);
    QCOMPARE(Translated(Hello), QByteArray("Bonjour x !"));
    QCOMPARE(Pane()->EditorText(), QString("Bonjour x !"));
    QTest::keyClick(Editor(), Qt::Key_Escape);
    QCOMPARE(Translated(Hello), QByteArray("Bonjour \x0e$name\x0f !"));
    QCOMPARE(Pane()->EditorText(), "Bonjour " + Token + " !");
    // Delete from before it, and a selection over it typed over.
    EnterPane(Hello);
    PlaceCaret(8);
    QTest::keyClick(Editor(), Qt::Key_Delete);
    QCOMPARE(Translated(Hello), QByteArray("Bonjour  !"));
    QTest::keyClick(Editor(), Qt::Key_Z, Qt::ControlModifier); // the window's Undo
    PlaceCaret(10, 7);
    QTest::keyClick(Editor(), Qt::Key_Y);
    QCOMPARE(Translated(Hello), QByteArray("Bonjoury!"));
}

// Cut and pasted, a token moves: the translator may put the code where their language wants it.
void TestValueShapes::codeTokensMove()
{
    EnterPane(Hello);
    PlaceCaret(9, 8); // the token
    QTest::keyClick(Editor(), Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(Translated(Hello), QByteArray("Bonjour  !"));
    // Other programs get the code as written.
    QCOMPARE(QApplication::clipboard()->text(), QString("$name"));
    PlaceCaret(0);
    QTest::keyClick(Editor(), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(Translated(Hello), QByteArray("\x0e$name\x0f"
                                           "Bonjour  !"));
    QCOMPARE(Editor()->textCursor().position(), 1);
    QVERIFY(m_form->Document().BuildTranslationFile().contains(
        "define('_HELLO', $name . 'Bonjour  !');"));
}

// Code the phrase does not have never becomes code: the markers of a pasted text are dropped, and
// a token pasted once more than the phrase has it goes in as its text.
void TestValueShapes::codeTypedAsTextStaysText()
{
    EnterPane(Plain);
    PlaceCaret(5);
    QApplication::clipboard()->setText(QStringLiteral(" \x0e$evil\x0f"));
    QTest::keyClick(Editor(), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(Translated(Plain), QByteArray("Plain $evil"));
    QCOMPARE(Pane()->EditorText(), QString("Plain $evil"));

    EnterPane(Hello);
    PlaceCaret(9, 8);
    QTest::keyClick(Editor(), Qt::Key_C, Qt::ControlModifier);
    PlaceCaret(11);
    QTest::keyClick(Editor(), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(Translated(Hello), QByteArray("Bonjour \x0e$name\x0f !$name"));
    QCOMPARE(Pane()->EditorText(), "Bonjour " + Token + " !$name");
    QCOMPARE(Editor()->document()->characterCount() - 1, 16); // one token, the rest text
    QVERIFY(m_form->Document().BuildTranslationFile().contains(
        "define('_HELLO', 'Bonjour ' . $name . ' !$name');"));
}

QUILLMAR_GUI_TEST_MAIN(TestValueShapes)
#include "tst_valueshapes.moc"
