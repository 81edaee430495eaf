#include "../support/fixture.h"
#include "edithistory.h"
#include "gridkeys.h"
#include "mainform.h"
#include "openedwindow.h"
#include "phrasegrid.h"
#include "phrasemodel.h"
#include "progressstatus.h"
#include "scriptedseam.h"
#include "testmain.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QUndoStack>

namespace {

// States after the merge: translated, untranslated, missing, translated, missing, untranslated.
const QByteArray Template = "<?php\n"
                            "define(\"_A\",\"Alpha\");\n"
                            "define(\"_B\",\"Beta\");\n"
                            "define(\"_C\",\"Gamma\");\n"
                            "define(\"_D\",\"Delta\");\n"
                            "define(\"_E\",\"Epsilon\");\n"
                            "define(\"_F\",\"Zeta\");\n";
const QByteArray Translation = "define(\"_A\",\"Alfa\");\n"
                               "define(\"_B\",\"Beta\");\n"
                               "define(\"_D\",\"Delta!\");\n"
                               "define(\"_F\",\"Zeta\");\n";

using Phrases = QList<int>;

} // namespace

// Undo and redo of translations typed in the grid: one step per edit of a cell.
class TestEditHistory : public WindowTest
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void undoAndRedoAcrossCells();
    void oneStepPerEdit_data();
    void oneStepPerEdit();
    void undoWhileEditingEndsTheEditFirst_data();
    void undoWhileEditingEndsTheEditFirst();
    void disabledUndoKeyLeavesTheEditorAlone();
    void modifiedFollowsTheSavedState();
    void saveDuringAnEditSplitsIt();
    void historyStartsAnew_data();
    void historyStartsAnew();
    void undoShowsItsPhrase();
    void undoUnderAFilter();

private:
    QUndoStack* Stack() { return m_form->History()->Stack(); }
    /// Types text into phrase's cell and leaves it with Enter.
    void Edit(int phrase, const QString& text);
    QString Progress() { return m_form->Progress()->Label()->text(); }
};

void TestEditHistory::init()
{
    OpenWindow(Template, Translation, 6);
}

void TestEditHistory::cleanup()
{
    CloseWindow();
}

void TestEditHistory::Edit(int phrase, const QString& text)
{
    GoToPhrase(phrase);
    TypeKeys(Grid(), text);
    PressKey(Grid(), Qt::Key_Return);
    QVERIFY(!Grid()->IsEditing());
}

void TestEditHistory::undoAndRedoAcrossCells()
{
    const PhraseDocument& doc = m_form->Document();
    QAction* undo = m_form->EditUndoAction();
    QAction* redo = m_form->EditRedoAction();
    QVERIFY(!undo->isEnabled());
    QVERIFY(!redo->isEnabled());
    QCOMPARE(Progress(), QString("2 of 6 translated (33 %)"));

    Edit(0, "Ah");
    Edit(1, "Bee");
    QCOMPARE(Progress(), QString("3 of 6 translated (50 %)"));
    QVERIFY(undo->isEnabled());
    QVERIFY(!redo->isEnabled());
    GoToPhrase(5);

    undo->trigger();
    QCOMPARE(doc.PhraseTranslation(1), QByteArray("Beta"));
    QCOMPARE(doc.PhraseState(1), TranslationState::tsUntranslated);
    QCOMPARE(Progress(), QString("2 of 6 translated (33 %)"));
    QCOMPARE(CurrentPhrase(), 1);
    QVERIFY(redo->isEnabled());
    undo->trigger();
    QCOMPARE(doc.PhraseTranslation(0), QByteArray("Alfa"));
    QCOMPARE(doc.PhraseState(0), TranslationState::tsTranslated);
    QCOMPARE(CurrentPhrase(), 0);
    QVERIFY(!undo->isEnabled());
    QVERIFY(!doc.Modified());

    redo->trigger();
    QCOMPARE(doc.PhraseTranslation(0), QByteArray("Ah"));
    QCOMPARE(doc.PhraseTranslation(1), QByteArray("Beta"));
    QVERIFY(doc.Modified());
    redo->trigger();
    QCOMPARE(doc.PhraseTranslation(1), QByteArray("Bee"));
    QCOMPARE(doc.PhraseState(1), TranslationState::tsTranslated);
    QCOMPARE(CurrentPhrase(), 1);
    QVERIFY(!redo->isEnabled());

    // A new edit after an undo drops what could have been redone.
    undo->trigger();
    Edit(2, "Gee");
    QVERIFY(!redo->isEnabled());
    QCOMPARE(Stack()->count(), 2);
}

void TestEditHistory::oneStepPerEdit_data()
{
    QTest::addColumn<int>("phrase");
    QTest::addColumn<QString>("keys"); // typed after F2, the caret at the end; '<' is Backspace
    QTest::addColumn<int>("leave");
    QTest::addColumn<int>("steps");
    QTest::addColumn<bool>("modified");
    QTest::newRow("many keystrokes, left with Down")
        << 0 << "a<<bc" << int(Qt::Key_Down) << 1 << true;
    QTest::newRow("many keystrokes, left with Enter")
        << 2 << "xyz<" << int(Qt::Key_Return) << 1 << true;
    QTest::newRow("nothing typed") << 0 << "" << int(Qt::Key_Return) << 0 << false;
    QTest::newRow("typed back to the same text") << 0 << "x<" << int(Qt::Key_Return) << 0 << false;
    QTest::newRow("Esc on a translated phrase") << 0 << "xy" << int(Qt::Key_Escape) << 0 << false;
    // Esc puts the text back but the phrase stays translated: that is a change, and its step.
    QTest::newRow("Esc on an untranslated phrase") << 1 << "xy" << int(Qt::Key_Escape) << 1 << true;
}

void TestEditHistory::oneStepPerEdit()
{
    QFETCH(int, phrase);
    QFETCH(QString, keys);
    QFETCH(int, leave);
    QFETCH(int, steps);
    QFETCH(bool, modified);
    PhraseDocument& doc = m_form->Document();
    const QByteArray before = doc.PhraseTranslation(phrase);
    const TranslationState state = doc.PhraseState(phrase);
    GoToPhrase(phrase);
    PressKey(Grid(), Qt::Key_F2);
    for (QChar c : keys) {
        if (c == u'<')
            PressKey(Grid(), Qt::Key_Backspace);
        else
            TypeKeys(Grid(), QString(c));
    }
    PressKey(Grid(), Qt::Key(leave));
    QVERIFY(!Grid()->IsEditing());
    QCOMPARE(Stack()->count(), steps);
    QCOMPARE(doc.Modified(), modified);
    QCOMPARE(m_form->EditUndoAction()->isEnabled(), steps > 0);
    // The one step takes the whole edit back, state included.
    m_form->EditUndoAction()->trigger();
    QCOMPARE(doc.PhraseTranslation(phrase), before);
    QCOMPARE(doc.PhraseState(phrase), state);
    QVERIFY(!doc.Modified());
}

void TestEditHistory::undoWhileEditingEndsTheEditFirst_data()
{
    QTest::addColumn<QKeyCombination>("redoKey");
    QTest::newRow("Ctrl+Shift+Z") << (Qt::ControlModifier | Qt::ShiftModifier | Qt::Key_Z);
    QTest::newRow("Ctrl+Y") << (Qt::ControlModifier | Qt::Key_Y);
}

void TestEditHistory::undoWhileEditingEndsTheEditFirst()
{
    QFETCH(QKeyCombination, redoKey);
    const PhraseDocument& doc = m_form->Document();
    Edit(0, "Ah");
    GoToPhrase(2);
    TypeKeys(Grid(), "Gee");
    QVERIFY(Grid()->IsEditing());
    // Undo is there to take back the edit still open.
    QVERIFY(m_form->EditUndoAction()->isEnabled());
    QVERIFY(!m_form->EditRedoAction()->isEnabled());
    PressKey(Grid(), Qt::Key_Z, Qt::ControlModifier); // in the editor
    QVERIFY(!Grid()->IsEditing());
    QCOMPARE(doc.PhraseTranslation(2), QByteArray("Gamma"));
    QCOMPARE(doc.PhraseState(2), TranslationState::tsMissing);
    QCOMPARE(doc.PhraseTranslation(0), QByteArray("Ah")); // the step before stays
    QCOMPARE(Stack()->count(), 2);

    // Redo's keys reach the window from the editor too.
    PressKey(Grid(), Qt::Key_F2);
    QVERIFY(Grid()->IsEditing());
    PressKey(Grid(), redoKey.key(), redoKey.keyboardModifiers());
    QVERIFY(!Grid()->IsEditing());
    QCOMPARE(doc.PhraseTranslation(2), QByteArray("Gee"));
    QCOMPARE(doc.PhraseState(2), TranslationState::tsTranslated);
}

void TestEditHistory::disabledUndoKeyLeavesTheEditorAlone()
{
    // Nothing to undo: the key must not undo inside the editor, whose text would then differ
    // from the document's.
    GoToPhrase(0);
    PressKey(Grid(), Qt::Key_F2);
    TypeKeys(Grid(), "x");
    PressKey(Grid(), Qt::Key_Backspace);
    QVERIFY(!m_form->EditUndoAction()->isEnabled());
    auto* editor = qobject_cast<QLineEdit*>(KeyTarget(Grid()));
    QVERIFY(editor);
    PressKey(Grid(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(editor->text(), QString("Alfa"));
    QCOMPARE(m_form->Document().PhraseTranslation(0), QByteArray("Alfa"));
}

void TestEditHistory::modifiedFollowsTheSavedState()
{
    PhraseDocument& doc = m_form->Document();
    QAction* undo = m_form->EditUndoAction();
    QAction* redo = m_form->EditRedoAction();
    Edit(0, "Ah");
    Edit(1, "Bee");
    m_form->FileSaveAction()->trigger();
    QVERIFY(!doc.Modified());
    QVERIFY(!m_form->FileSaveAction()->isEnabled());

    undo->trigger();
    QVERIFY(doc.Modified());
    QVERIFY(m_form->FileSaveAction()->isEnabled());
    QVERIFY(m_form->Progress()->ModifiedMark()->isVisible());
    redo->trigger();
    QVERIFY(!doc.Modified());
    QVERIFY(m_form->Progress()->ModifiedMark()->isHidden());
    // Back beyond the saved state and forward to it again.
    undo->trigger();
    undo->trigger();
    QVERIFY(doc.Modified());
    redo->trigger();
    redo->trigger();
    QVERIFY(!doc.Modified());
    // Back at the saved state, nothing asks about unsaved changes.
    QVERIFY(m_form->LogOutQuery([] { return true; }));
    QVERIFY(m_seam->confirmTexts.isEmpty());

    // A new step from before the saved state: no redo reaches that state any more, even where
    // the texts are the same again.
    undo->trigger();
    Edit(1, "Bee");
    QVERIFY(doc.Modified());
    undo->trigger();
    redo->trigger();
    QVERIFY(doc.Modified());
    m_seam->confirms.enqueue(DialogSeam::Answer::Cancel);
    QVERIFY(!m_form->close());
    QCOMPARE(m_seam->confirmTexts.size(), 1);
}

void TestEditHistory::saveDuringAnEditSplitsIt()
{
    // Saved while the editor is open: what is on disk is a step's end, so undo can reach it.
    PhraseDocument& doc = m_form->Document();
    GoToPhrase(2);
    TypeKeys(Grid(), "Ga");
    m_form->FileSaveAction()->trigger();
    QVERIFY(Grid()->IsEditing());
    QVERIFY(!doc.Modified());
    TypeKeys(Grid(), "mm");
    QVERIFY(doc.Modified());
    PressKey(Grid(), Qt::Key_Return);
    QCOMPARE(Stack()->count(), 2);
    m_form->EditUndoAction()->trigger();
    QCOMPARE(doc.PhraseTranslation(2), QByteArray("Ga"));
    QVERIFY(!doc.Modified());
    m_form->EditUndoAction()->trigger();
    QCOMPARE(doc.PhraseTranslation(2), QByteArray("Gamma"));
    QCOMPARE(doc.PhraseState(2), TranslationState::tsMissing);
    QVERIFY(doc.Modified());
}

void TestEditHistory::historyStartsAnew_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("New") << "New";
    QTest::newRow("Open") << "Open";
    QTest::newRow("Reload") << "Reload";
}

void TestEditHistory::historyStartsAnew()
{
    QFETCH(QString, command);
    Edit(0, "Ah");
    m_form->EditUndoAction()->trigger();
    Edit(1, "Bee");
    QVERIFY(m_form->EditUndoAction()->isEnabled());
    const QString templ = m_dir->filePath("lang-english.php");
    if (command == "Reload") {
        m_seam->asks.enqueue(true); // drop the changes
        m_form->FileReloadAction()->trigger();
    } else {
        m_seam->confirms.enqueue(DialogSeam::Answer::No);
        m_seam->files.enqueue(templ);
        if (command == "Open")
            m_seam->files.enqueue(m_dir->filePath("lang-french.php"));
        (command == "New" ? m_form->FileNewAction() : m_form->FileOpenAction())->trigger();
    }
    QCOMPARE(Stack()->count(), 0);
    QVERIFY(!m_form->EditUndoAction()->isEnabled());
    QVERIFY(!m_form->EditRedoAction()->isEnabled());
    QVERIFY(!m_form->Document().Modified());
    // The new document's own edits are steps again.
    Edit(0, "Ah");
    QCOMPARE(Stack()->count(), 1);
}

void TestEditHistory::undoShowsItsPhrase()
{
    Edit(3, "Dee");
    GoToPhrase(0, PhraseTableModel::ColumnOriginal);
    m_form->EditUndoAction()->trigger();
    QCOMPARE(Grid()->currentIndex(), Model()->index(3, PhraseTableModel::ColumnTranslated));
    GoToPhrase(5);
    m_form->EditRedoAction()->trigger();
    QCOMPARE(CurrentPhrase(), 3);
    QVERIFY(Grid()->hasFocus());
}

void TestEditHistory::undoUnderAFilter()
{
    const PhraseDocument& doc = m_form->Document();
    m_form->FilterNeedsWorkAction()->trigger();
    QCOMPARE(Shown(), (Phrases{1, 2, 4, 5}));
    Edit(1, "Bee"); // translated: its row goes as the editor leaves it
    QTRY_COMPARE(Shown(), (Phrases{2, 4, 5}));

    // Untranslated again, the phrase is back in the rows and current.
    GoToPhrase(5);
    m_form->EditUndoAction()->trigger();
    QCOMPARE(Shown(), (Phrases{1, 2, 4, 5}));
    QCOMPARE(CurrentPhrase(), 1);
    // Redone, it is translated and hidden by the filter, but keeps its row while current.
    m_form->EditRedoAction()->trigger();
    QCOMPARE(doc.PhraseState(1), TranslationState::tsTranslated);
    QCOMPARE(CurrentPhrase(), 1);
    QApplication::processEvents();
    QCOMPARE(Shown(), (Phrases{1, 2, 4, 5}));
    PressKey(Grid(), Qt::Key_Down);
    QTRY_COMPARE(Shown(), (Phrases{2, 4, 5}));
    QCOMPARE(CurrentPhrase(), 2);

    // A step on a phrase the filter hides before and after it: shown for the translator to see.
    m_form->FilterAllAction()->trigger();
    Edit(3, "Dee");
    m_form->FilterNeedsWorkAction()->trigger();
    QCOMPARE(Shown(), (Phrases{2, 4, 5}));
    m_form->EditUndoAction()->trigger();
    QCOMPARE(doc.PhraseTranslation(3), QByteArray("Delta!"));
    QCOMPARE(Shown(), (Phrases{2, 3, 4, 5}));
    QCOMPARE(CurrentPhrase(), 3);
    m_form->EditUndoAction()->trigger(); // the first edit, on another phrase: 3 goes
    QCOMPARE(CurrentPhrase(), 1);
    QTRY_COMPARE(Shown(), (Phrases{1, 2, 4, 5}));
}

QUILLMAR_GUI_TEST_MAIN(TestEditHistory)
#include "tst_edithistory.moc"
