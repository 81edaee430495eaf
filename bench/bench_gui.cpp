// Times the program's grid on a generated document, offscreen:
//   QT_QPA_PLATFORM=offscreen bench_gui TEMPLATE TRANSLATION
// Opening through File > Open, scrolling to the end, moving the current cell there and typing,
// a keystroke's cost at either end, with the details pane too, undo and redo of one edit,
// changing the filter, saving, then opening again through File > Open and as from the command line.
#include "benchanswers.h"
#include "detailspane.h"
#include "mainform.h"
#include "phrasegrid.h"
#include "phrasemodel.h"
#include "progressstatus.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <algorithm>
#include <cstdio>

namespace {

double Seconds(QElapsedTimer& t)
{
    QApplication::processEvents();
    const double s = t.nsecsElapsed() / 1e9;
    t.restart();
    return s;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_gui TEMPLATE TRANSLATION\n");
        return 2;
    }
    Answers answers;
    answers.files = {QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2])};
    TMainForm form(answers);
    form.resize(1000, 700);
    form.show();
    QApplication::processEvents();
    PhraseGrid* grid = form.DrawGrid();

    QElapsedTimer t;
    t.start();
    form.FileOpenAction()->trigger();
    grid->viewport()->repaint();
    std::printf("%-40s %7.3f s\n", "open template and translation, painted", Seconds(t));

    grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum());
    grid->viewport()->repaint();
    std::printf("%-40s %7.3f s\n", "scroll to the end, painted", Seconds(t));

    const int last = form.Model()->rowCount() - 1;
    auto moveAndType = [&](int row, const char* label) {
        grid->setCurrentIndex(form.Model()->index(row, 2));
        grid->viewport()->repaint();
        std::printf("%-40s %7.3f s\n", label, Seconds(t));
        QTest::keyClick(grid, Qt::Key_X);
        QWidget* editor = grid->indexWidget(grid->currentIndex());
        for (int i = 0; i < 20; ++i)
            QTest::keyClick(editor, Qt::Key_Y);
        grid->viewport()->repaint();
        std::printf("%-40s %7.3f s\n", "  21 keystrokes stored and painted", Seconds(t));
        QTest::keyClick(editor, Qt::Key_Return);
        QApplication::processEvents();
        t.restart();
    };
    moveAndType(0, "move to row 1, painted");
    moveAndType(last, "move to the last row, painted");
    grid->setCurrentIndex(form.Model()->index(0, 2));
    t.restart();
    for (int i = 0; i < 1000; ++i)
        form.NextMissingAction()->trigger();
    grid->viewport()->repaint();
    std::printf("%-40s %7.3f s\n", "1,000 x Ctrl+M, painted", Seconds(t));

    // One keystroke as the editor stores it: a commit through the model, the cell's change and
    // the progress field's update; the same at the first row and the last.
    PhraseTableModel* model = form.Model();
    auto keystrokes = [&](int row, const char* label) {
        const QModelIndex cell = model->index(row, 2);
        constexpr int Count = 10000;
        t.restart();
        for (int i = 0; i < Count; ++i)
            model->setData(cell, (i & 1) ? QStringLiteral("ab") : QStringLiteral("a"),
                           Qt::EditRole);
        const double s = t.nsecsElapsed() / 1e9;
        std::printf("%-40s %7.2f us  (%s)\n", label, s * 1e6 / Count,
                    qPrintable(form.Progress()->Label()->text()));
        t.restart();
    };
    keystrokes(1, "keystroke at model row 1");
    keystrokes(last, "keystroke at the last model row");

    // The same with the details pane shown: a key typed into the cell editor (the pane shows
    // the text too), then into the pane's editor (the grid shows it too); each painted.
    form.ViewDetailsAction()->trigger();
    QApplication::processEvents();
    QPlainTextEdit* pane = form.Details()->TranslationEditor();
    auto paneKeystrokes = [&](int row, const char* label) {
        constexpr int Count = 200;
        grid->setFocus();
        grid->setCurrentIndex(model->index(row, 2));
        QTest::keyClick(grid, Qt::Key_F2);
        QWidget* editor = grid->indexWidget(grid->currentIndex());
        t.restart();
        for (int i = 0; i < Count; ++i)
            QTest::keyClick(editor, (i & 1) ? Qt::Key_Backspace : Qt::Key_Z);
        grid->viewport()->repaint();
        std::printf("%-40s %7.2f us\n", label, t.nsecsElapsed() / 1e3 / Count);
        form.ViewSwitchPaneAction()->trigger(); // ends the cell's edit, into the pane
        t.restart();
        for (int i = 0; i < Count; ++i)
            QTest::keyClick(pane, (i & 1) ? Qt::Key_Backspace : Qt::Key_Z);
        pane->repaint();
        grid->viewport()->repaint();
        std::printf("%-40s %7.2f us\n", "  the same typed into the pane",
                    t.nsecsElapsed() / 1e3 / Count);
        form.ViewSwitchPaneAction()->trigger();
        t.restart();
    };
    paneKeystrokes(1, "cell keystroke, pane shown, row 1");
    paneKeystrokes(last, "cell keystroke, pane shown, last row");

    // Undo and redo of one edit, the current cell moved to its phrase and painted: from the far
    // end of the document, and under a filter, where the phrase comes back into the rows.
    auto undoRedo = [&](const char* label, QAction* first, QAction* second) {
        constexpr int Count = 50;
        double worst = 0;
        double total = 0;
        for (int i = 0; i < Count; ++i) {
            for (QAction* a : {first, second}) {
                grid->setCurrentIndex(model->index(i & 1 ? 0 : model->rowCount() / 2, 2));
                QApplication::processEvents();
                t.restart();
                a->trigger();
                grid->viewport()->repaint();
                const double s = Seconds(t);
                worst = std::max(worst, s);
                total += s;
            }
        }
        std::printf("%-40s %7.3f ms  (worst %.3f ms)\n", label, total * 1e3 / (2 * Count),
                    worst * 1e3);
    };
    grid->setCurrentIndex(model->index(last, 2));
    QTest::keyClick(grid, Qt::Key_X);
    QTest::keyClick(grid->indexWidget(grid->currentIndex()), Qt::Key_Return);
    QApplication::processEvents();
    undoRedo("undo or redo of one edit, painted", form.EditUndoAction(), form.EditRedoAction());
    form.FilterNeedsWorkAction()->trigger();
    form.EditUndoAction()->trigger(); // the phrase needs work again: redo takes its row away
    undoRedo("  the same under Needs work", form.EditRedoAction(), form.EditUndoAction());
    form.FilterAllAction()->trigger();
    form.ViewDetailsAction()->trigger();
    t.restart();

    // The filter, as the View menu changes it, the grid painted each time.
    grid->setCurrentIndex(model->index(last / 2, 2));
    t.restart();
    for (QAction* a :
         {form.FilterNeedsWorkAction(), form.FilterTranslatedAction(), form.FilterAllAction()}) {
        a->trigger();
        grid->viewport()->repaint();
        std::printf("filter -> %-31s %7.3f s  (%d rows)\n", qPrintable(a->iconText()), Seconds(t),
                    model->rowCount());
    }
    // Under a filter, a phrase typed into leaves it as the editor does: its row goes then.
    form.FilterNeedsWorkAction()->trigger();
    grid->setCurrentIndex(model->index(1, 2));
    QTest::keyClick(grid, Qt::Key_X);
    QApplication::processEvents();
    t.restart();
    QTest::keyClick(grid->indexWidget(grid->currentIndex()), Qt::Key_Down);
    grid->viewport()->repaint();
    std::printf("%-40s %7.3f s\n", "leave an edited row under Needs work", Seconds(t));
    form.FilterAllAction()->trigger();
    t.restart();

    // Saving: once to a new file beside the translation, then again over that file.
    answers.files = {QString::fromLocal8Bit(argv[2]) + QStringLiteral(".saved.php")};
    form.FileSaveAsAction()->trigger();
    std::printf("%-40s %7.3f s\n", "save as a new file", Seconds(t));
    form.FileSaveAction()->setEnabled(true);
    form.FileSaveActionExecute();
    std::printf("%-40s %7.3f s\n", "save over that file", Seconds(t));

    // The same two files opened again, through File > Open and as the command line opens them.
    answers.files = {QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2])};
    t.restart();
    form.FileOpenAction()->trigger();
    grid->viewport()->repaint();
    std::printf("%-40s %7.3f s\n", "open again through File > Open", Seconds(t));
    form.OpenStartFiles(
        {FilePath::FromNative(QByteArray(argv[1])), FilePath::FromNative(QByteArray(argv[2]))});
    grid->viewport()->repaint();
    std::printf("%-40s %7.3f s\n", "open again as from the command line", Seconds(t));

    form.Document().ClearDocument(); // no question at exit
    return 0;
}
