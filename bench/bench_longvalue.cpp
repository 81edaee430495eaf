// Times the window's actions around one very long value, offscreen:
//   QT_QPA_PLATFORM=offscreen bench_longvalue [MEGABYTES...]   (default: 1 10)
// For each size a template holds a few short phrases and two whose original is that long, and the
// translation gives one of them a translation as long. Each action is timed until its events are
// handled and the grid (and the details pane, when shown) painted: opening, moving the current
// cell onto the long value and off it, resizing, the details pane showing it, opening an editor
// on it, typing, ending the edit, undo, redo, a filter change and copying the cell.
#include "benchanswers.h"
#include "detailspane.h"
#include "mainform.h"
#include "phrasegrid.h"
#include "phrasemodel.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <cstdlib>

namespace {

// Words of several lengths, so that wrapping and shaping work as on a real text.
QByteArray LongText(qsizetype bytes, char salt)
{
    static const char* const words[] = {"lorem", "ipsum",       "dolor",      "sit",
                                        "amet,", "consectetur", "adipiscing", "elit",
                                        "sed",   "do",          "eiusmod",    "tempor."};
    QByteArray text;
    text.reserve(bytes + 16);
    for (unsigned i = 0; text.size() < bytes; ++i) {
        text += words[(i * 7 + unsigned(salt)) % std::size(words)];
        text += ' ';
    }
    text.truncate(bytes);
    text[0] = salt;
    return text;
}

void Write(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
}

class Bench
{
public:
    Bench(TMainForm& form) : m_form(form), m_grid(form.DrawGrid()) { m_timer.start(); }

    // Runs action, then handles the events it posted and paints what shows; prints the time.
    template <class F> void Time(const char* label, F&& action)
    {
        QApplication::processEvents();
        m_timer.restart();
        action();
        QApplication::processEvents();
        m_grid->viewport()->repaint();
        if (m_form.Details()->isVisible())
            m_form.Details()->repaint();
        const double ms = m_timer.nsecsElapsed() / 1e6;
        std::printf("  %-44s %10.1f ms\n", label, ms);
        std::fflush(stdout);
    }
    // Where the user's keys go now: an open cell editor, else the focus.
    QWidget* KeyTarget() const
    {
        QWidget* editor = m_grid->indexWidget(m_grid->currentIndex());
        if (editor)
            return editor;
        return QApplication::focusWidget() ? QApplication::focusWidget() : m_grid;
    }
    void Current(int row, int column)
    {
        m_grid->setCurrentIndex(m_form.Model()->index(row, column));
    }

private:
    TMainForm& m_form;
    PhraseGrid* m_grid;
    QElapsedTimer m_timer;
};

void Run(qsizetype bytes)
{
    QTemporaryDir dir;
    const QByteArray original = LongText(bytes, 'O');
    const QByteArray translated = LongText(bytes, 'T');
    const QString templ = dir.filePath(QStringLiteral("lang-english.php"));
    const QString translation = dir.filePath(QStringLiteral("lang-french.php"));
    Write(templ, "<?php\ndefine('K0','Short');\ndefine('K1','" + original +
                     "');\ndefine('K2','Two');\ndefine('K3','" + original +
                     "');\ndefine('K4','Four');\n");
    Write(translation, "<?php\ndefine('K0','Court');\ndefine('K1','" + translated + "');\n");
    std::printf("value of %lld bytes\n", static_cast<long long>(bytes));

    Answers answers;
    answers.files = {templ, translation};
    TMainForm form(answers);
    form.resize(1000, 700);
    form.show();
    QApplication::setActiveWindow(&form);
    if (!QTest::qWaitForWindowActive(&form))
        std::fprintf(stderr, "the window did not become active\n");
    PhraseGrid* grid = form.DrawGrid();
    Bench b(form);
    const int T = PhraseTableModel::ColumnTranslated;
    const int O = PhraseTableModel::ColumnOriginal;

    b.Time("open, long values in view", [&] { form.FileOpenAction()->trigger(); });
    b.Time("move onto the long translation", [&] { b.Current(1, T); });
    b.Time("move onto the long original", [&] { b.Current(1, O); });
    b.Time("move off it", [&] { b.Current(2, T); });
    b.Time("resize the window", [&] { form.resize(1100, 750); });
    b.Time("copy the long cell", [&] {
        b.Current(1, T);
        form.EditCopyAction()->trigger();
    });
    if (QApplication::clipboard()->text().size() != translated.size())
        std::printf("  ! the copy is not the whole value\n");

    b.Time("show the details pane on it", [&] { form.ViewDetailsAction()->trigger(); });
    b.Time("move off it, pane shown", [&] { b.Current(2, T); });
    b.Time("move onto it, pane shown", [&] { b.Current(1, T); });
    grid->setFocus();
    b.Time("F2 on it", [&] { QTest::keyClick(grid, Qt::Key_F2); });
    b.Time("type a character", [&] { QTest::keyClick(b.KeyTarget(), Qt::Key_X); });
    {
        constexpr int Keys = 10;
        QApplication::processEvents();
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < Keys; ++i) {
            QTest::keyClick(b.KeyTarget(), (i & 1) ? Qt::Key_Backspace : Qt::Key_Y);
            QApplication::processEvents();
        }
        grid->viewport()->repaint();
        form.Details()->repaint();
        std::printf("  %-44s %10.1f ms\n", "a keystroke, of ten typed and painted",
                    t.nsecsElapsed() / 1e6 / Keys);
    }
    b.Time("end the edit: leave the row", [&] {
        grid->setFocus();
        b.Current(2, T);
    });
    if (const QByteArray stored = form.Document().PhraseTranslation(1); stored != translated + 'x')
        std::printf("  ! the stored translation is not the whole value typed: %lld bytes, ending "
                    "%s\n",
                    static_cast<long long>(stored.size()), stored.right(12).constData());
    b.Time("undo", [&] { form.EditUndoAction()->trigger(); });
    b.Time("redo", [&] { form.EditRedoAction()->trigger(); });
    b.Time("filter: Needs work", [&] { form.FilterNeedsWorkAction()->trigger(); });
    b.Time("filter: All", [&] { form.FilterAllAction()->trigger(); });
    b.Time("hide the pane", [&] { form.ViewDetailsAction()->trigger(); });
    grid->setFocus();
    b.Current(1, T);
    b.Time("type a character on it, pane hidden", [&] { QTest::keyClick(grid, Qt::Key_Z); });
    b.Time("end that edit", [&] {
        form.EndEdits();
        grid->setFocus();
    });
    form.Document().ClearDocument(); // no question at exit
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QApplication app(argc, argv);
    QList<double> sizes;
    for (int i = 1; i < argc; ++i)
        sizes << std::atof(argv[i]);
    if (sizes.isEmpty())
        sizes = {1, 10};
    for (double mb : sizes)
        Run(qsizetype(mb * 1024 * 1024));
    return 0;
}
