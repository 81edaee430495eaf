#include "../support/fixture.h"
#include "gridkeys.h"
#include "mainform.h"
#include "openedwindow.h"
#include "phrasegrid.h"
#include "phrasemodel.h"
#include "scriptedseam.h"
#include "testmain.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLineEdit>
#include <QPointer>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>

namespace {

const QByteArray Template = "<?php\r\n"
                            "define(\"_HELLO\",\"Hello\");\r\n"
                            "define(\"_BYE\",\"Bye\");\r\n"
                            "define(\"_OK\",\"OK\");\r\n"
                            "define(\"_TAB\",\"a\tb\");\r\n";
const QByteArray Translation = "define(\"_HELLO\",\"Bonjour\");\r\n"
                               "define(\"_BYE\",\"Bye\");\r\n";

// Exposes how the delegate prepares a cell for painting.
class PaintProbe : public PhraseDelegate
{
public:
    using PhraseDelegate::initStyleOption;
    using PhraseDelegate::PhraseDelegate;
};

} // namespace

class TestPhraseGrid : public WindowTest
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void modelIsConsistent();
    void cellTexts();
    void typingStoresEveryKeystroke();
    void escapePutsBackTextButKeepsState();
    void escapeAfterMenuPutsBackTextFromThen();
    void keyColumnNeverStores_data();
    void keyColumnNeverStores();
    void editorOpening_data();
    void editorOpening();
    void jumpWhileEditingCommitsFirst();
    void valueThatIsNoTextTakesNoTyping();
    void stateColours();
    void copySelection_data();
    void copySelection();
    void copyWhileEditingCopiesCells();
    void pasteKeepsFirstLine_data();
    void pasteKeepsFirstLine();
    void layoutColumns();
    void toggles();
    void tabKeepsFocusAndCell_data();
    void tabKeepsFocusAndCell();
    void gridIsTheOnlyFocusTaker();
    void fontChooser();

private:
    QModelIndex Cell(int row, int col) { return m_form->Model()->index(row, col); }
    void Select(int top, int left, int bottom, int right);
};

void TestPhraseGrid::init()
{
    OpenWindow(Template, Translation, 4);
}

void TestPhraseGrid::cleanup()
{
    CloseWindow();
}

void TestPhraseGrid::Select(int top, int left, int bottom, int right)
{
    Grid()->selectionModel()->setCurrentIndex(Cell(top, left), QItemSelectionModel::ClearAndSelect);
    Grid()->selectionModel()->select(QItemSelection(Cell(top, left), Cell(bottom, right)),
                                     QItemSelectionModel::ClearAndSelect);
}

void TestPhraseGrid::modelIsConsistent()
{
    QAbstractItemModelTester tester(m_form->Model(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    TypeKeys(Grid(), "Hi");
    PressKey(Grid(), Qt::Key_Escape);
    m_form->ShowOriginalActionExecute();
    m_seam->confirms.enqueue(DialogSeam::Answer::No);
    m_seam->files.enqueue(std::nullopt);
    m_form->FileNewAction()->trigger();
}

void TestPhraseGrid::cellTexts()
{
    PhraseTableModel* m = m_form->Model();
    QCOMPARE(m->GetCellText(0, 0), QByteArray("Line #"));
    QCOMPARE(m->GetCellText(1, 0), QByteArray("Original"));
    QCOMPARE(m->GetCellText(2, 0), QByteArray("Translated"));
    QCOMPARE(m->GetCellText(0, 1), QByteArray("1"));     // zero-based template line
    QCOMPARE(m->GetCellText(1, 1), QByteArray("Hello")); // define files show originals
    QCOMPARE(m->headerData(0, Qt::Vertical, Qt::DisplayRole).toString(), QString("1"));
    m_form->ShowOriginalActionExecute();
    QCOMPARE(m->GetCellText(1, 1), QByteArray("_HELLO"));
    QCOMPARE(m->GetCellText(1, 0), QByteArray("Original")); // header stays
    QVERIFY(!(m->flags(Cell(0, 0)) & Qt::ItemIsSelectable));
    QVERIFY(m->flags(Cell(0, 2)) & Qt::ItemIsEditable);
}

void TestPhraseGrid::typingStoresEveryKeystroke()
{
    PhraseDocument& doc = m_form->Document();
    Grid()->setCurrentIndex(Cell(2, 2)); // _OK, missing
    TypeKeys(Grid(), "Da");
    QCOMPARE(doc.PhraseTranslation(2), QByteArray("Da"));
    QCOMPARE(doc.PhraseState(2), TranslationState::tsTranslated);
    QVERIFY(doc.Modified());
    QVERIFY(m_form->FileSaveAction()->isEnabled());
    // Back to exactly the template's text: still translated.
    PressKey(Grid(), Qt::Key_Backspace);
    PressKey(Grid(), Qt::Key_Backspace);
    TypeKeys(Grid(), "OK");
    QCOMPARE(doc.PhraseTranslation(2), QByteArray("OK"));
    QCOMPARE(doc.PhraseState(2), TranslationState::tsTranslated);
    PressKey(Grid(), Qt::Key_Return);
    QVERIFY(!Grid()->IsEditing());
    // Deleting everything stores the empty text.
    PressKey(Grid(), Qt::Key_Backspace);
    QCOMPARE(doc.PhraseTranslation(2), QByteArray());
}

void TestPhraseGrid::escapePutsBackTextButKeepsState()
{
    PhraseDocument& doc = m_form->Document();
    Grid()->setCurrentIndex(Cell(1, 2)); // _BYE, untranslated
    PressKey(Grid(), Qt::Key_Return);
    PressKey(Grid(), Qt::Key_Escape); // no change made: nothing at all happens
    QCOMPARE(doc.PhraseState(1), TranslationState::tsUntranslated);
    QVERIFY(!doc.Modified());

    TypeKeys(Grid(), "Au revoir");
    QCOMPARE(doc.PhraseTranslation(1), QByteArray("Au revoir"));
    PressKey(Grid(), Qt::Key_Escape);
    QVERIFY(!Grid()->IsEditing());
    QCOMPARE(doc.PhraseTranslation(1), QByteArray("Bye"));
    QCOMPARE(doc.PhraseState(1), TranslationState::tsTranslated);
    QVERIFY(doc.Modified());
    QCOMPARE(Grid()->SavedEditText(), QByteArray("Bye"));
}

void TestPhraseGrid::escapeAfterMenuPutsBackTextFromThen()
{
    PhraseDocument& doc = m_form->Document();
    Grid()->setCurrentIndex(Cell(1, 2)); // _BYE
    TypeKeys(Grid(), "Au revoir");
    // A menu opened and closed again: the focus events Qt sends the focus widget around a popup
    // (sent by hand, as the offscreen platform hands the popup the window activation instead).
    QWidget* editor = KeyTarget(Grid());
    QFocusEvent out(QEvent::FocusOut, Qt::PopupFocusReason);
    QApplication::sendEvent(editor, &out);
    QFocusEvent in(QEvent::FocusIn, Qt::PopupFocusReason);
    QApplication::sendEvent(editor, &in);
    QVERIFY(Grid()->IsEditing()); // the edit goes on
    QCOMPARE(KeyTarget(Grid()), editor);
    QCOMPARE(Grid()->SavedEditText(), QByteArray("Au revoir"));
    TypeKeys(Grid(), "!");
    PressKey(Grid(), Qt::Key_Escape);
    QVERIFY(!Grid()->IsEditing());
    QCOMPARE(doc.PhraseTranslation(1), QByteArray("Au revoir"));
    QCOMPARE(doc.PhraseState(1), TranslationState::tsTranslated);
}

void TestPhraseGrid::keyColumnNeverStores_data()
{
    QTest::addColumn<int>("opener");
    QTest::newRow("typed letter") << int(Qt::Key_X);
    QTest::newRow("enter then letter") << int(Qt::Key_Return);
    QTest::newRow("f2 then escape") << int(Qt::Key_F2);
}

void TestPhraseGrid::keyColumnNeverStores()
{
    QFETCH(int, opener);
    PhraseDocument& doc = m_form->Document();
    Grid()->setCurrentIndex(Cell(0, 1));
    PressKey(Grid(), Qt::Key(opener));
    if (opener == Qt::Key_Return)
        TypeKeys(Grid(), "y");
    if (opener == Qt::Key_F2) {
        QVERIFY(Grid()->IsEditing());
        PressKey(Grid(), Qt::Key_Escape);
    }
    QVERIFY(!Grid()->IsEditing());
    QCOMPARE(m_form->Model()->GetCellText(1, 1), QByteArray("Hello"));
    QCOMPARE(doc.PhraseKey(0), QByteArray("_HELLO"));
    QVERIFY(!doc.Modified());
}

void TestPhraseGrid::editorOpening_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("allSelected");
    QTest::addColumn<QByteArray>("after"); // after typing "!"
    QTest::newRow("F2 puts the caret at the end")
        << int(Qt::Key_F2) << false << QByteArray("Bonjour!");
    QTest::newRow("Enter selects everything") << int(Qt::Key_Return) << true << QByteArray("!");
}

void TestPhraseGrid::editorOpening()
{
    QFETCH(int, key);
    QFETCH(bool, allSelected);
    QFETCH(QByteArray, after);
    PressKey(Grid(), Qt::Key(key));
    auto* editor = qobject_cast<QLineEdit*>(Grid()->indexWidget(Grid()->currentIndex()));
    QVERIFY(editor);
    QCOMPARE(editor->text(), QString("Bonjour"));
    QCOMPARE(editor->selectedText() == editor->text(), allSelected);
    TypeKeys(Grid(), "!");
    QCOMPARE(m_form->Document().PhraseTranslation(0), after);
}

void TestPhraseGrid::valueThatIsNoTextTakesNoTyping()
{
    // An expression is shown and kept as written: the cell opens no editor and says why.
    m_seam->files.enqueue(WriteFixture(
        *m_dir, "lang-expr.php", "define('_EXPR', 'Dear %s,' . PHP_EOL);\ndefine('_OK','OK');\n"));
    m_form->FileNewAction()->trigger();
    PhraseDocument& doc = m_form->Document();
    QCOMPARE(doc.PhraseCount(), 2);
    QCOMPARE(doc.PhraseTranslation(0), QByteArray("'Dear %s,' . PHP_EOL"));
    Grid()->setCurrentIndex(Cell(0, 2));
    for (const Qt::Key key : {Qt::Key_X, Qt::Key_F2, Qt::Key_Return})
        PressKey(Grid(), key);
    QVERIFY(!Grid()->IsEditing());
    QCOMPARE(doc.PhraseTranslation(0), QByteArray("'Dear %s,' . PHP_EOL"));
    QVERIFY(!doc.Modified());
    QVERIFY(m_form->Model()->data(Cell(0, 2), Qt::ToolTipRole).toString().contains("expression"));
    QVERIFY(!m_form->Model()->data(Cell(1, 2), Qt::ToolTipRole).isValid());
    Grid()->setCurrentIndex(Cell(1, 2));
    TypeKeys(Grid(), "D'accord");
    QCOMPARE(doc.PhraseTranslation(1), QByteArray("D'accord"));
    QVERIFY(doc.BuildTranslationFile().endsWith("define('_OK','D\\'accord');\r\n"));
}

void TestPhraseGrid::jumpWhileEditingCommitsFirst()
{
    PhraseDocument& doc = m_form->Document();
    TypeKeys(Grid(), "Salut");
    m_form->NextMissingAction()->trigger();
    QVERIFY(!Grid()->IsEditing());
    QCOMPARE(Grid()->currentIndex(), Cell(2, 2));
    QCOMPARE(doc.PhraseTranslation(0), QByteArray("Salut"));
    QCOMPARE(doc.PhraseState(0), TranslationState::tsTranslated);
    // The jump keeps the current column.
    Grid()->setCurrentIndex(Cell(0, 1));
    m_form->NextMissingAction()->trigger();
    QCOMPARE(Grid()->currentIndex(), Cell(2, 1));
}

void TestPhraseGrid::stateColours()
{
    PhraseTableModel* m = m_form->Model();
    QCOMPARE(m->data(Cell(0, 2), Qt::ForegroundRole).value<QColor>(), QColor(0, 128, 0));
    QCOMPARE(m->data(Cell(1, 2), Qt::ForegroundRole).value<QColor>(), QColor(0, 0, 128));
    QCOMPARE(m->data(Cell(2, 2), Qt::ForegroundRole).value<QColor>(), QColor(255, 0, 0));
    QVERIFY(!m->data(Cell(2, 1), Qt::ForegroundRole).isValid());

    // In a selected range, translation cells keep their state colour; the current one does not.
    Select(0, 1, 2, 2);
    PaintProbe probe(m_form->Codec());
    auto highlightText = [&](int row) {
        QStyleOptionViewItem opt;
        opt.initFrom(Grid());
        opt.widget = Grid();
        probe.initStyleOption(&opt, Cell(row, 2));
        return opt.palette.color(QPalette::Active, QPalette::HighlightedText);
    };
    QCOMPARE(highlightText(1), QColor(0, 0, 128));
    QCOMPARE(highlightText(2), QColor(255, 0, 0));
    Grid()->selectionModel()->setCurrentIndex(Cell(2, 2), QItemSelectionModel::NoUpdate);
    QCOMPARE(highlightText(2),
             Grid()->palette().color(QPalette::Active, QPalette::HighlightedText));
}

void TestPhraseGrid::copySelection_data()
{
    QTest::addColumn<QRect>("range"); // left, top, right, bottom in model cells
    QTest::addColumn<QString>("text");
    QTest::newRow("single cell") << QRect(QPoint(2, 0), QPoint(2, 0)) << "Bonjour";
    QTest::newRow("two columns, three rows")
        << QRect(QPoint(1, 0), QPoint(2, 2)) << "Hello\tBonjour\r\nBye\tBye\r\nOK\tOK";
    QTest::newRow("tab inside a cell is copied as is")
        << QRect(QPoint(1, 3), QPoint(2, 3)) << "a\tb\ta\tb";
}

void TestPhraseGrid::copySelection()
{
    QFETCH(QRect, range);
    QFETCH(QString, text);
    Select(range.top(), range.left(), range.bottom(), range.right());
    m_form->EditCopyAction()->trigger();
    QCOMPARE(QApplication::clipboard()->text(), text);
}

void TestPhraseGrid::copyWhileEditingCopiesCells()
{
    TypeKeys(Grid(), "Salut");
    auto* editor = qobject_cast<QLineEdit*>(Grid()->indexWidget(Grid()->currentIndex()));
    QVERIFY(editor);
    editor->setSelection(0, 2); // "Sa" selected inside the editor
    QTest::keyClick(editor, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QString("Salut"));
}

void TestPhraseGrid::pasteKeepsFirstLine_data()
{
    QTest::addColumn<int>("caret");
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("caretAfter");
    QTest::newRow("CR LF at the end") << 3 << "X\r\nY"
                                      << "ByeX" << 4;
    QTest::newRow("LF in the middle") << 1 << "12\n34"
                                      << "B12ye" << 3;
    QTest::newRow("CR first") << 0 << "\rZ"
                              << "Bye" << 0;
    QTest::newRow("NUL") << 3 << QString("a") + QChar(0) + "b"
                         << "Byea" << 4;
    QTest::newRow("one line") << 3 << "!"
                              << "Bye!" << 4;
}

// A translation is one line of the file: of a pasted text only its first line goes in, so the
// saved file keeps its lines.
void TestPhraseGrid::pasteKeepsFirstLine()
{
    QFETCH(int, caret);
    QFETCH(QString, clipboard);
    QFETCH(QString, text);
    QFETCH(int, caretAfter);
    Grid()->setCurrentIndex(Cell(1, 2)); // _BYE
    PressKey(Grid(), Qt::Key_Return);
    auto* editor = qobject_cast<QLineEdit*>(Grid()->indexWidget(Grid()->currentIndex()));
    QVERIFY(editor);
    editor->setCursorPosition(caret);
    QApplication::clipboard()->setText(clipboard);
    QTest::keyClick(editor, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(editor->text(), text);
    QCOMPARE(editor->cursorPosition(), caretAfter);
    QCOMPARE(m_form->Document().PhraseTranslation(1), text.toLatin1());
    QCOMPARE(m_form->Document().BuildTranslationFile().count('\n'), 5);
}

void TestPhraseGrid::layoutColumns()
{
    QApplication::processEvents(); // the view lays itself out in posted events
    const QFontMetrics fm(Grid()->font());
    QCOMPARE(Grid()->verticalHeader()->defaultSectionSize(), fm.height() * 4 / 3);
    QCOMPARE(Grid()->columnWidth(1), Grid()->columnWidth(2));
    const int w0 = Grid()->verticalHeader()->width();
    QCOMPARE(w0,
             std::max(fm.horizontalAdvance("999999"),
                      QFontMetrics(Grid()->verticalHeader()->font()).horizontalAdvance("Line #")) +
                 20);
    const int used = 2 * Grid()->columnWidth(1);
    QVERIFY(used <= Grid()->viewport()->width());
    QVERIFY(Grid()->viewport()->width() - used <= 1);
    m_form->resize(900, 600);
    QApplication::processEvents();
    QCOMPARE(Grid()->columnWidth(1), Grid()->columnWidth(2));
    QTRY_VERIFY(Grid()->viewport()->width() - 2 * Grid()->columnWidth(1) <= 1);
}

void TestPhraseGrid::toggles()
{
    QAction* grid = m_form->ShowGridAction();
    QVERIFY(!grid->isChecked());
    grid->trigger();
    QVERIFY(grid->isChecked());
    QCOMPARE(Grid()->GridLineWidth(), 1);
    m_form->SetGridLineWidth(3); // a stored width above one shows as checked, then toggles off
    QVERIFY(grid->isChecked());
    grid->trigger();
    QCOMPARE(Grid()->GridLineWidth(), 0);
    QVERIFY(!grid->isChecked());

    QAction* original = m_form->ShowOriginalAction();
    QVERIFY(original->isChecked()); // define lines win
    original->trigger();
    QVERIFY(!original->isChecked());
    QCOMPARE(m_form->Model()->data(Cell(0, 1), Qt::DisplayRole).toString(), QString("_HELLO"));

    QAction* bar = m_form->ViewToolBarAction();
    QVERIFY(bar->isChecked());
    auto* hide = m_form->ToolBar()->findChild<QToolButton*>("ToolBarButton");
    QVERIFY(hide);
    QCOMPARE(hide->toolTip(), QString("Hide toolbar"));
    hide->click();
    QVERIFY(m_form->ToolBar()->isHidden());
    QVERIFY(!bar->isChecked());
    bar->trigger();
    QVERIFY(!m_form->ToolBar()->isHidden());
    QVERIFY(bar->isChecked());
}

void TestPhraseGrid::tabKeepsFocusAndCell_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("editing");
    QTest::newRow("Tab") << int(Qt::Key_Tab) << false;
    QTest::newRow("Shift+Tab") << int(Qt::Key_Backtab) << false;
    QTest::newRow("Tab in the editor") << int(Qt::Key_Tab) << true;
    QTest::newRow("Shift+Tab in the editor") << int(Qt::Key_Backtab) << true;
}

void TestPhraseGrid::tabKeepsFocusAndCell()
{
    QFETCH(int, key);
    QFETCH(bool, editing);
    PhraseDocument& doc = m_form->Document();
    Grid()->setCurrentIndex(Cell(1, 2));
    if (editing)
        TypeKeys(Grid(), "Ciao");
    const QPointer<QWidget> focus = QApplication::focusWidget();
    QVERIFY(focus == KeyTarget(Grid()));
    // Sent through the window as the user's key is, so that Qt's own focus chain runs.
    QTest::keyClick(m_form->windowHandle(), Qt::Key(key),
                    key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
    QApplication::processEvents();
    QVERIFY(focus);
    QCOMPARE(QApplication::focusWidget(), focus.data());
    QCOMPARE(Grid()->currentIndex(), Cell(1, 2));
    QCOMPARE(Grid()->IsEditing(), editing);
    QCOMPARE(doc.PhraseTranslation(1), editing ? QByteArray("Ciao") : QByteArray("Bye"));
    // The arrow keys still move the cell.
    QTest::keyClick(m_form->windowHandle(), Qt::Key_Down);
    QApplication::processEvents();
    QCOMPARE(Grid()->currentIndex(), Cell(2, 2));
}

void TestPhraseGrid::gridIsTheOnlyFocusTaker()
{
    // Whatever is clicked, the arrow keys must reach the grid: no other control of the window,
    // the tool bar's buttons included, takes the focus.
    QStringList takers;
    for (QWidget* w : m_form->findChildren<QWidget*>()) {
        if (w->window() != m_form || w == Grid() || Grid()->isAncestorOf(w))
            continue;
        if (w->focusPolicy() != Qt::NoFocus)
            takers << QStringLiteral("%1 %2").arg(w->metaObject()->className(), w->objectName());
    }
    QVERIFY2(takers.isEmpty(), qPrintable(takers.join(", ")));
}

void TestPhraseGrid::fontChooser()
{
    QFont big(QStringLiteral("DejaVu Sans"), 20);
    big.setBold(true);
    m_seam->fonts.enqueue(std::pair{big, QColor(10, 20, 30)});
    m_form->SetupFontAction()->trigger();
    QCOMPARE(Grid()->font().pointSize(), 20);
    QVERIFY(Grid()->font().bold());
    QCOMPARE(Grid()->palette().color(QPalette::Text), QColor(10, 20, 30));
    QCOMPARE(Grid()->verticalHeader()->defaultSectionSize(),
             QFontMetrics(Grid()->font()).height() * 4 / 3);
    QCOMPARE(m_form->GridFont().color, quint32(0x001E140A));

    m_seam->fonts.enqueue(std::nullopt); // cancelled: nothing changes
    m_form->SetupFontAction()->trigger();
    QCOMPARE(Grid()->font().pointSize(), 20);
}

QUILLMAR_GUI_TEST_MAIN(TestPhraseGrid)
#include "tst_phrasegrid.moc"
