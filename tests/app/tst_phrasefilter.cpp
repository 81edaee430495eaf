#include "../support/fixture.h"
#include "find.h"
#include "gridkeys.h"
#include "mainform.h"
#include "openedwindow.h"
#include "phrasegrid.h"
#include "phrasemodel.h"
#include "scriptedseam.h"
#include "testmain.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QSet>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>

namespace {

// Phrase p stands on template line p + 1. States after the merge: translated, untranslated,
// missing, translated, missing, untranslated.
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

class TestPhraseFilter : public WindowTest
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void rowsUnderEachFilter_data();
    void rowsUnderEachFilter();
    void viewMenuAndToolBar();
    void changeKeepsCurrentPhrase_data();
    void changeKeepsCurrentPhrase();
    void nextStateWithinFilter_data();
    void nextStateWithinFilter();
    void findWithinFilter_data();
    void findWithinFilter();
    void copyCopiesRowsShown();
    void editedPhraseStaysUntilEditorLeaves_data();
    void editedPhraseStaysUntilEditorLeaves();
    void statesChangedElsewhere();
    void filterStaysForTheRun();

private:
    void Filter(const QString& actionName);
};

void TestPhraseFilter::init()
{
    // Every test checks the model's signals against its rows, whatever the filter does.
    OpenWindow(Template, Translation, 6);
}

void TestPhraseFilter::cleanup()
{
    CloseWindow();
}

void TestPhraseFilter::Filter(const QString& actionName)
{
    auto* action = m_form->findChild<QAction*>(actionName);
    QVERIFY2(action, qPrintable(actionName));
    action->trigger();
}

void TestPhraseFilter::rowsUnderEachFilter_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<Phrases>("shown");
    QTest::newRow("all") << "FilterAllAction" << Phrases{0, 1, 2, 3, 4, 5};
    QTest::newRow("needs work") << "FilterNeedsWorkAction" << Phrases{1, 2, 4, 5};
    QTest::newRow("missing") << "FilterMissingAction" << Phrases{2, 4};
    QTest::newRow("untranslated") << "FilterUntranslatedAction" << Phrases{1, 5};
    QTest::newRow("translated") << "FilterTranslatedAction" << Phrases{0, 3};
}

void TestPhraseFilter::rowsUnderEachFilter()
{
    QFETCH(QString, filter);
    QFETCH(Phrases, shown);
    const PhraseDocument& doc = m_form->Document();
    Filter(filter);
    QCOMPARE(Shown(), shown);
    for (int row = 0; row < shown.size(); ++row) {
        const int p = shown[row];
        QCOMPARE(Model()->RowOf(p), row);
        // "Line #" is the phrase's template line; every cell and role is the phrase's own.
        QCOMPARE(Model()->headerData(row, Qt::Vertical, Qt::DisplayRole).toString(),
                 QString::number(p + 1));
        QCOMPARE(Model()->GetCellText(PhraseTableModel::ColumnOriginal, row + 1),
                 doc.PhraseOriginal(p));
        const QModelIndex cell = Model()->index(row, PhraseTableModel::ColumnTranslated);
        QCOMPARE(cell.data(PhraseTableModel::BytesRole).toByteArray(), doc.PhraseTranslation(p));
        QCOMPARE(cell.data(PhraseTableModel::StateRole).toInt(), int(doc.PhraseState(p)));
    }
    for (int p = 0; p < doc.PhraseCount(); ++p)
        QCOMPARE(Model()->RowOf(p) >= 0, shown.contains(p));
    // The menu's mark and the tool bar's box show the filter chosen.
    QAction* checked = m_form->FilterGroup()->checkedAction();
    QVERIFY(checked);
    QCOMPARE(checked->objectName(), filter);
    QCOMPARE(m_form->FilterBox()->currentText(), checked->iconText());

    Filter(QStringLiteral("FilterAllAction"));
    QCOMPARE(Shown(), (Phrases{0, 1, 2, 3, 4, 5}));
}

void TestPhraseFilter::viewMenuAndToolBar()
{
    QStringList menus;
    for (QAction* a : m_form->menuBar()->actions())
        menus << a->text();
    QCOMPARE(menus, (QStringList{"&File", "Edit", "&View", "Options", "&Help"}));
    QMenu* view = m_form->menuBar()->actions().at(2)->menu();
    // The filters first, in their group's order; the details pane's entries follow them.
    const QList<QAction*> filters = m_form->FilterGroup()->actions();
    QCOMPARE(view->actions().first(filters.size()), filters);
    QVERIFY(m_form->FilterGroup()->isExclusive());
    QCOMPARE(m_form->FilterGroup()->checkedAction(), m_form->FilterAllAction());

    // No two commands of the window share a shortcut, second keys included.
    QSet<QKeySequence> seen;
    for (QAction* a : m_form->findChildren<QAction*>()) {
        for (const QKeySequence& key : a->shortcuts()) {
            QVERIFY2(!seen.contains(key), qPrintable(key.toString()));
            seen.insert(key);
        }
    }

    // The box stands after a separator just before the bar's last button, and chooses as the
    // menu does.
    const QList<QAction*> bar = m_form->ToolBar()->actions();
    QCOMPARE(m_form->ToolBar()->widgetForAction(bar.at(bar.size() - 2)), m_form->FilterBox());
    QVERIFY(bar.at(bar.size() - 3)->isSeparator());
    QCOMPARE(m_form->ToolBar()->widgetForAction(bar.last())->objectName(),
             QString("ToolBarButton"));
    QCOMPARE(m_form->FilterBox()->count(), m_form->FilterGroup()->actions().size());
    emit m_form->FilterBox()->activated(2);
    QCOMPARE(m_form->FilterGroup()->checkedAction(), m_form->FilterMissingAction());
    QCOMPARE(Shown(), (Phrases{2, 4}));
    // The shortcut works while a cell is being edited, like the window's other commands.
    PressKey(Grid(), Qt::Key_Return);
    QVERIFY(Grid()->IsEditing());
    PressKey(Grid(), Qt::Key_2, Qt::ControlModifier);
    QCOMPARE(m_form->FilterGroup()->checkedAction(), m_form->FilterNeedsWorkAction());
    QCOMPARE(m_form->FilterBox()->currentIndex(), 1);
}

void TestPhraseFilter::changeKeepsCurrentPhrase_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<int>("current");
    QTest::newRow("shown: stays") << 1 << 2 << "FilterNeedsWorkAction" << 1;
    QTest::newRow("hidden: the next shown") << 0 << 2 << "FilterNeedsWorkAction" << 1;
    QTest::newRow("after wins over as near before") << 3 << 2 << "FilterMissingAction" << 4;
    QTest::newRow("none after: the one before") << 5 << 2 << "FilterMissingAction" << 4;
    QTest::newRow("the key column stays") << 2 << 1 << "FilterTranslatedAction" << 3;
}

void TestPhraseFilter::changeKeepsCurrentPhrase()
{
    QFETCH(int, start);
    QFETCH(int, column);
    QFETCH(QString, filter);
    QFETCH(int, current);
    GoToPhrase(start, column);
    Filter(filter);
    QCOMPARE(CurrentPhrase(), current);
    QCOMPARE(Grid()->currentIndex().column(), column);
    QVERIFY(Grid()->selectionModel()->isSelected(Grid()->currentIndex()));
    // Every phrase is shown under All: the phrase stays.
    Filter(QStringLiteral("FilterAllAction"));
    QCOMPARE(CurrentPhrase(), current);
}

void TestPhraseFilter::nextStateWithinFilter_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<int>("start");
    QTest::addColumn<bool>("missing");   // Ctrl+M, else Ctrl+L
    QTest::addColumn<Phrases>("visits"); // the current phrase after each of three presses
    QTest::newRow("missing among needs work")
        << "FilterNeedsWorkAction" << 1 << true << Phrases{2, 4, 4};
    QTest::newRow("untranslated among needs work")
        << "FilterNeedsWorkAction" << 2 << false << Phrases{5, 5, 5};
    QTest::newRow("none shown in that state")
        << "FilterTranslatedAction" << 0 << true << Phrases{0, 0, 0};
    QTest::newRow("earlier ones are not found")
        << "FilterMissingAction" << 4 << true << Phrases{4, 4, 4};
}

void TestPhraseFilter::nextStateWithinFilter()
{
    QFETCH(QString, filter);
    QFETCH(int, start);
    QFETCH(bool, missing);
    QFETCH(Phrases, visits);
    Filter(filter);
    GoToPhrase(start);
    Phrases visited;
    for (int i = 0; i < visits.size(); ++i) {
        (missing ? m_form->NextMissingAction() : m_form->NextLatinAction())->trigger();
        visited << CurrentPhrase();
    }
    QCOMPARE(visited, visits);
    QVERIFY(m_seam->notices.isEmpty());
}

void TestPhraseFilter::findWithinFilter_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("start");
    QTest::addColumn<bool>("again");
    QTest::addColumn<int>("found"); // -1: "Text not found", the current phrase staying
    QTest::newRow("a hidden match is passed over") << "FilterNeedsWorkAction"
                                                   << "lta" << 1 << false << -1;
    QTest::newRow("the current row's phrase first") << "FilterNeedsWorkAction"
                                                    << "eta" << 1 << false << 1;
    QTest::newRow("again: the next row shown") << "FilterNeedsWorkAction"
                                               << "eta" << 1 << true << 5;
    QTest::newRow("again from the last row: no wrap") << "FilterNeedsWorkAction"
                                                      << "eta" << 5 << true << -1;
    QTest::newRow("mask among translated") << "FilterTranslatedAction"
                                           << "*!" << 0 << false << 3;
    QTest::newRow("all: every phrase") << "FilterAllAction"
                                       << "lta" << 1 << false << 3;
}

void TestPhraseFilter::findWithinFilter()
{
    QFETCH(QString, filter);
    QFETCH(QString, text);
    QFETCH(int, start);
    QFETCH(bool, again);
    QFETCH(int, found);
    Filter(filter);
    GoToPhrase(start);
    m_form->FindForm()->FindEdit()->setText(text);
    m_form->FindText(again);
    QCOMPARE(m_seam->notices.isEmpty(), found >= 0);
    QCOMPARE(CurrentPhrase(), found >= 0 ? found : start);
}

void TestPhraseFilter::copyCopiesRowsShown()
{
    Filter(QStringLiteral("FilterNeedsWorkAction"));
    Grid()->selectionModel()->setCurrentIndex(Model()->index(0, 1),
                                              QItemSelectionModel::ClearAndSelect);
    Grid()->selectionModel()->select(QItemSelection(Model()->index(0, 1), Model()->index(2, 2)),
                                     QItemSelectionModel::ClearAndSelect);
    QCOMPARE(m_form->SelectionText(), QString("Beta\tBeta\r\nGamma\tGamma\r\nEpsilon\tEpsilon"));
}

void TestPhraseFilter::editedPhraseStaysUntilEditorLeaves_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<QKeyCombination>("leave"); // the key that ends the edit
    QTest::addColumn<int>("current");
    QTest::addColumn<Phrases>("shown");
    // Under Needs work, which shows 1, 2, 4 and 5; typing makes the phrase translated.
    QTest::newRow("down: on to the next")
        << 1 << QKeyCombination(Qt::Key_Down) << 2 << Phrases{2, 4, 5};
    QTest::newRow("enter on the first row: the row that follows")
        << 1 << QKeyCombination(Qt::Key_Return) << 2 << Phrases{2, 4, 5};
    QTest::newRow("enter amid the rows: the row that follows")
        << 2 << QKeyCombination(Qt::Key_Return) << 4 << Phrases{1, 4, 5};
    QTest::newRow("up: back to the one before")
        << 4 << QKeyCombination(Qt::Key_Up) << 2 << Phrases{1, 2, 5};
    QTest::newRow("enter on the last row: the one before")
        << 5 << QKeyCombination(Qt::Key_Return) << 4 << Phrases{1, 2, 4};
    QTest::newRow("ctrl+m: the next missing")
        << 1 << (Qt::ControlModifier | Qt::Key_M) << 2 << Phrases{2, 4, 5};
    QTest::newRow("esc: text back, still translated")
        << 2 << QKeyCombination(Qt::Key_Escape) << 4 << Phrases{1, 4, 5};
    QTest::newRow("another filter: shown there")
        << 1 << (Qt::ControlModifier | Qt::Key_5) << 1 << Phrases{0, 1, 3};
}

void TestPhraseFilter::editedPhraseStaysUntilEditorLeaves()
{
    QFETCH(int, start);
    QFETCH(QKeyCombination, leave);
    QFETCH(int, current);
    QFETCH(Phrases, shown);
    const PhraseDocument& doc = m_form->Document();
    const QByteArray before = doc.PhraseTranslation(start);
    Filter(QStringLiteral("FilterNeedsWorkAction"));
    GoToPhrase(start);
    const int row = Grid()->currentIndex().row();
    TypeKeys(Grid(), "xy");
    // Translated now, and still on its row while the editor is open.
    QCOMPARE(doc.PhraseState(start), TranslationState::tsTranslated);
    QCOMPARE(doc.PhraseTranslation(start), QByteArray("xy"));
    QCOMPARE(Model()->PhraseAt(row), start);
    QCOMPARE(Model()->rowCount(), 4);
    QVERIFY(Grid()->IsEditing());

    PressKey(Grid(), leave.key(), leave.keyboardModifiers());
    QVERIFY(!Grid()->IsEditing());
    // The row goes once the view is done with closing the editor.
    QTRY_COMPARE(Shown(), shown);
    QCOMPARE(CurrentPhrase(), current);
    QVERIFY(Grid()->hasFocus());
    // Esc puts back the text of the phrase edited, not of whatever its row shows now.
    if (leave.key() == Qt::Key_Escape)
        QCOMPARE(doc.PhraseTranslation(start), before);
    else
        QCOMPARE(doc.PhraseTranslation(start), QByteArray("xy"));
    QCOMPARE(doc.PhraseState(start), TranslationState::tsTranslated);
}

void TestPhraseFilter::statesChangedElsewhere()
{
    // States changed by no editor: rows come and go at once.
    PhraseDocument& doc = m_form->Document();
    Filter(QStringLiteral("FilterNeedsWorkAction"));
    GoToPhrase(2);
    QVERIFY(doc.CommitTranslation(2, "Gamma!"));
    QCOMPARE(Shown(), (Phrases{1, 4, 5}));
    QCOMPARE(CurrentPhrase(), 4); // the row that followed
    Filter(QStringLiteral("FilterTranslatedAction"));
    QCOMPARE(CurrentPhrase(), 3); // 4 is not translated: the one before it
    QVERIFY(doc.CommitTranslation(4, "Epsilon!"));
    QCOMPARE(Shown(), (Phrases{0, 2, 3, 4}));
    QCOMPARE(CurrentPhrase(), 3);

    // A merge: the rows are made anew, the current phrase kept where it is still shown.
    Filter(QStringLiteral("FilterNeedsWorkAction"));
    GoToPhrase(5);
    doc.MergeTranslationData("define(\"_B\",\"Bete\");\n");
    QCOMPARE(Shown(), (Phrases{5}));
    QCOMPARE(CurrentPhrase(), 5);

    // A reload goes back to the files' states and keeps the phrase, now on another row.
    m_seam->asks.enqueue(true); // drop the changes
    m_form->FileReloadAction()->trigger();
    QCOMPARE(Shown(), (Phrases{1, 2, 4, 5}));
    QCOMPARE(CurrentPhrase(), 5);
}

void TestPhraseFilter::filterStaysForTheRun()
{
    Filter(QStringLiteral("FilterTranslatedAction"));
    // A template alone: nothing is translated, so no row and no current cell.
    m_seam->files.enqueue(WriteFixture(*m_dir, "lang-english.php", Template));
    m_form->FileNewAction()->trigger();
    QCOMPARE(Model()->rowCount(), 0);
    QVERIFY(!Grid()->currentIndex().isValid());
    m_form->NextMissingAction()->trigger(); // nothing to go to, nothing to fail
    QCOMPARE(m_form->FilterGroup()->checkedAction(), m_form->FilterTranslatedAction());

    // Opened with its translation, the first row shown becomes current.
    m_seam->files.enqueue(WriteFixture(*m_dir, "lang-english.php", Template));
    m_seam->files.enqueue(WriteFixture(*m_dir, "lang-french.php", Translation));
    m_form->FileOpenAction()->trigger();
    QCOMPARE(Shown(), (Phrases{0, 3}));
    QCOMPARE(CurrentPhrase(), 0);
    QCOMPARE(m_form->FilterBox()->currentText(), QString("Translated"));
}

QUILLMAR_GUI_TEST_MAIN(TestPhraseFilter)
#include "tst_phrasefilter.moc"
