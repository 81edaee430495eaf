#include "../support/fixture.h"
#include "detailspane.h"
#include "gridkeys.h"
#include "mainform.h"
#include "openedwindow.h"
#include "phrasegrid.h"
#include "phrasemodel.h"
#include "registry.h"
#include "scriptedseam.h"
#include "testmain.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QLabel>
#include <QMenu>

namespace {

// Phrase p stands on template line p + 1. After the merge 1 and 3 lose their placeholder; 2 is
// missing and 4 untranslated, which the checks leave alone.
const QByteArray Template = "<?php\n"
                            "define(\"_A\",\"Hello %s\");\n"
                            "define(\"_B\",\"Bye %s\");\n"
                            "define(\"_C\",\"Plain %s\");\n"
                            "define(\"_D\",\"%d files\");\n"
                            "define(\"_E\",\"Size %d\");\n";
const QByteArray Translation = "define(\"_A\",\"Bonjour %s\");\n"
                               "define(\"_B\",\"Salut\");\n"
                               "define(\"_D\",\"fichiers\");\n"
                               "define(\"_E\",\"Size %d\");\n";

using Phrases = QList<int>;

} // namespace

// The checks' findings in the grid: the mark and tool tip of a translation, the jump to the next
// phrase with problems, the filter and the count in the status line.
class TestPhraseProblems : public WindowTest
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void openShowsProblemsOfTranslatedPhrases();
    void typingUpdatesMarkAndCount();
    void undoAndCopyOriginalRecheck();
    void nextProblem_data();
    void nextProblem();
    void withProblemsFilter();
    void skippedCheckIsSilentAndStored();
    void detailsPaneListsProblems();
    void checkedInTheDocumentsEncoding();
    void codeIsAnErrorListedFirst();

private:
    QModelIndex Cell(int phrase)
    {
        return Model()->index(Model()->RowOf(phrase), PhraseTableModel::ColumnTranslated);
    }
    bool Marked(int phrase) { return !Cell(phrase).data(Qt::DecorationRole).isNull(); }
    QString Tip(int phrase) { return Cell(phrase).data(Qt::ToolTipRole).toString(); }
    QString CountText() { return m_form->ProblemsLabel()->text(); }
};

void TestPhraseProblems::init()
{
    QDir(TRegistry::StoreFileName()).removeRecursively();
    QFile::remove(TRegistry::StoreFileName());
    OpenWindow(Template, Translation, 5);
}

void TestPhraseProblems::cleanup()
{
    CloseWindow();
}

void TestPhraseProblems::openShowsProblemsOfTranslatedPhrases()
{
    for (int p = 0; p < 5; ++p) {
        const bool faulty = p == 1 || p == 3;
        QCOMPARE(Marked(p), faulty);
        QCOMPARE(Tip(p).startsWith(QLatin1String("[placeholders] ")), faulty);
        QVERIFY2(faulty || Tip(p).isEmpty(), qPrintable(Tip(p)));
        // The mark is on the translation alone.
        const QModelIndex original = Model()->index(Model()->RowOf(p), 1);
        QVERIFY(original.data(Qt::DecorationRole).isNull());
    }
    QCOMPARE(CountText(), QString("2 problems"));
}

void TestPhraseProblems::typingUpdatesMarkAndCount()
{
    GoToPhrase(0);
    PressKey(Grid(), Qt::Key_Return);
    QVERIFY(Grid()->IsEditing());
    PressKey(Grid(), Qt::Key_End);
    for (int i = 0; i < 3; ++i)
        PressKey(Grid(), Qt::Key_Backspace);
    // Each keystroke is stored and checked: the mark is there while the editor is still open.
    QVERIFY(Grid()->IsEditing());
    QVERIFY(Marked(0));
    QVERIFY2(Tip(0).contains(QLatin1String("%s")), qPrintable(Tip(0)));
    QCOMPARE(CountText(), QString("3 problems"));

    TypeKeys(Grid(), QStringLiteral(" %s"));
    QVERIFY(!Marked(0));
    QCOMPARE(Tip(0), QString());
    QCOMPARE(CountText(), QString("2 problems"));
    PressKey(Grid(), Qt::Key_Return);

    // Mending a faulty phrase takes it out of the count.
    GoToPhrase(1);
    PressKey(Grid(), Qt::Key_Return);
    PressKey(Grid(), Qt::Key_End);
    TypeKeys(Grid(), QStringLiteral(" %s"));
    PressKey(Grid(), Qt::Key_Return);
    QVERIFY(!Marked(1));
    QCOMPARE(CountText(), QString("1 problem"));
}

void TestPhraseProblems::undoAndCopyOriginalRecheck()
{
    GoToPhrase(3);
    m_form->EditCopyOriginalAction()->trigger();
    QVERIFY(!Marked(3));
    QCOMPARE(CountText(), QString("1 problem"));

    m_form->EditUndoAction()->trigger();
    QVERIFY(Marked(3));
    QCOMPARE(CountText(), QString("2 problems"));
    m_form->EditRedoAction()->trigger();
    QVERIFY(!Marked(3));
    QCOMPARE(CountText(), QString("1 problem"));
}

void TestPhraseProblems::nextProblem_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<int>("start");
    QTest::addColumn<Phrases>("visits"); // the current phrase after each press

    QTest::newRow("all, from the top") << "FilterAllAction" << 0 << Phrases{1, 3, 3};
    QTest::newRow("all, from a faulty one") << "FilterAllAction" << 1 << Phrases{3, 3};
    QTest::newRow("all, past the last") << "FilterAllAction" << 4 << Phrases{4};
    QTest::newRow("with problems") << "FilterWithProblemsAction" << 1 << Phrases{3, 3};
    QTest::newRow("none shown") << "FilterNeedsWorkAction" << 2 << Phrases{2, 2};
}

void TestPhraseProblems::nextProblem()
{
    QFETCH(QString, filter);
    QFETCH(int, start);
    QFETCH(Phrases, visits);

    m_form->findChild<QAction*>(filter)->trigger();
    GoToPhrase(start);
    QVERIFY(m_form->NextProblemAction()->isEnabled());
    for (int expected : visits) {
        PressKey(Grid(), Qt::Key_F8);
        QCOMPARE(CurrentPhrase(), expected);
    }
}

void TestPhraseProblems::withProblemsFilter()
{
    QAction* filter = m_form->FilterWithProblemsAction();
    QVERIFY(filter);
    QCOMPARE(filter->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_6));
    filter->trigger();
    QCOMPARE(Model()->rowCount(), 2);
    QCOMPARE(Model()->PhraseAt(0), 1);
    QCOMPARE(Model()->PhraseAt(1), 3);

    // A phrase that gains a problem gains its row.
    m_form->FilterAllAction()->trigger();
    GoToPhrase(0);
    PressKey(Grid(), Qt::Key_Return);
    PressKey(Grid(), Qt::Key_End);
    PressKey(Grid(), Qt::Key_Backspace);
    PressKey(Grid(), Qt::Key_Return);
    filter->trigger();
    QCOMPARE(Model()->rowCount(), 3);
    QCOMPARE(Model()->PhraseAt(0), 0);

    // A mended phrase leaves once its edit ends.
    GoToPhrase(1);
    m_form->EditCopyOriginalAction()->trigger();
    GoToPhrase(3);
    QCoreApplication::processEvents();
    QCOMPARE(Model()->RowOf(1), -1);
    QCOMPARE(Model()->rowCount(), 2);
}

void TestPhraseProblems::skippedCheckIsSilentAndStored()
{
    const QString name = QStringLiteral("SkippedChecks");
    auto stored = [&]() -> QVariant {
        TRegistry registry;
        if (!registry.OpenKey(QString::fromLatin1(SettingsKeyPath), false) ||
            !registry.ValueExists(name))
            return {};
        return registry.ReadString(name);
    };
    // Never turned off: nothing stored.
    SaveFormSettings(*m_form);
    QVERIFY(stored().isNull());

    auto* placeholders = m_form->findChild<QAction*>(QStringLiteral("Check_placeholders"));
    QVERIFY(placeholders);
    QCOMPARE(m_form->ChecksMenu()->actions().size(), PhraseCheckCount);
    QVERIFY(placeholders->isChecked());
    placeholders->trigger();
    QVERIFY(!placeholders->isChecked());
    QVERIFY(!Marked(1));
    QVERIFY(!Marked(3));
    QCOMPARE(CountText(), QString());
    // A phrase edited meanwhile is checked without it too.
    GoToPhrase(0);
    PressKey(Grid(), Qt::Key_Return);
    PressKey(Grid(), Qt::Key_End);
    PressKey(Grid(), Qt::Key_Backspace);
    PressKey(Grid(), Qt::Key_Return);
    QVERIFY(!Marked(0));

    SaveFormSettings(*m_form);
    QCOMPARE(stored().toByteArray(), QByteArray("placeholders"));
    {
        // The next window starts with it off; unknown names are passed over.
        TRegistry registry;
        QVERIFY(registry.OpenKey(QString::fromLatin1(SettingsKeyPath), false));
        registry.WriteString(name, "placeholders,nosuchcheck, markup");
    }
    {
        TMainForm next(*m_seam);
        QCOMPARE(next.SkippedChecks(), QString("placeholders,markup"));
        QVERIFY(!next.findChild<QAction*>(QStringLiteral("Check_placeholders"))->isChecked());
        QVERIFY(next.findChild<QAction*>(QStringLiteral("Check_variables"))->isChecked());
        // Settings stored before the code check existed name it nowhere: it is on.
        QVERIFY(next.findChild<QAction*>(QStringLiteral("Check_code"))->isChecked());
    }

    // On again: the problems come back, and the emptied list is stored.
    placeholders->trigger();
    QVERIFY(Marked(0));
    QVERIFY(Marked(1));
    QCOMPARE(CountText(), QString("3 problems"));
    SaveFormSettings(*m_form);
    QCOMPARE(stored().toByteArray(), QByteArray());
    QVERIFY(!stored().isNull());
}

void TestPhraseProblems::detailsPaneListsProblems()
{
    m_form->ViewDetailsAction()->trigger();
    QLabel* problems = m_form->Details()->ProblemsLabel();
    GoToPhrase(1);
    QCOMPARE(problems->text(), Tip(1));
    QVERIFY(problems->text().startsWith(QLatin1String("[placeholders] ")));
    GoToPhrase(0);
    QCOMPARE(problems->text(), QString());
    // Typed in the grid, the pane follows at once.
    PressKey(Grid(), Qt::Key_Return);
    PressKey(Grid(), Qt::Key_End);
    PressKey(Grid(), Qt::Key_Backspace);
    QCOMPARE(problems->text(), Tip(0));
    QVERIFY(!problems->text().isEmpty());
}

void TestPhraseProblems::checkedInTheDocumentsEncoding()
{
    // Files that declare windows-1251: their Cyrillic bytes are no valid UTF-8, so whether the
    // encoding check speaks depends on the encoding the checks ran with. Opening them changes
    // the window's encoding; reading them again with a new problem on disk keeps it.
    const QByteArray templ = "<?php\n"
                             "define(\"_CHARSET\",\"windows-1251\");\n"
                             "define(\"_A\",\"Hello\");\n"
                             "define(\"_B\",\"Bye %s\");\n";
    const QByteArray cyrillic = "define(\"_CHARSET\",\"windows-1251\");\n"
                                "define(\"_A\",\"\xCF\xF0\xE8\xE2\xE5\xF2\");\n"
                                "define(\"_B\",\"\xCF\xEE\xEA\xE0 %s\");\n";
    m_seam->files.enqueue(WriteFixture(*m_dir, QStringLiteral("cp-english.php"), templ));
    const QString translation = WriteFixture(*m_dir, QStringLiteral("cp-russian.php"), cyrillic);
    m_seam->files.enqueue(translation);
    m_form->FileOpenAction()->trigger();
    QCOMPARE(m_form->EncodingLabel()->text(), QString("windows-1251"));
    QCOMPARE(CountText(), QString());
    QVERIFY(!Marked(1));

    m_form->ChooseEncoding("UTF-8");
    QVERIFY(Marked(1));
    QVERIFY2(Tip(1).startsWith(QLatin1String("[encoding] ")), qPrintable(Tip(1)));
    QCOMPARE(CountText(), QString("2 problems"));
    m_form->ChooseEncoding(QByteArray()); // back to what the files say
    QCOMPARE(CountText(), QString());

    QByteArray lost = cyrillic;
    lost.replace(" %s", "");
    WriteFixture(*m_dir, QStringLiteral("cp-russian.php"), lost);
    m_form->FileReloadAction()->trigger();
    QCOMPARE(m_form->EncodingLabel()->text(), QString("windows-1251"));
    QVERIFY(!Marked(1));
    QVERIFY(Marked(2));
    QVERIFY2(Tip(2).startsWith(QLatin1String("[placeholders] ")), qPrintable(Tip(2)));
    QCOMPARE(CountText(), QString("1 problem"));
}

// Code a translation adds is an error: its line comes first among the phrase's problems and is
// marked as one, its mark is not the warnings', and Options > Checks turns it off like the rest.
void TestPhraseProblems::codeIsAnErrorListedFirst()
{
    const QByteArray templ = "<?php\n"
                             "define(\"_A\",\"Hello $name\");\n"
                             "define(\"_B\",\"Bye %s\");\n";
    const QByteArray translation = "<?php\n"
                                   "define(\"_A\",\"Salut {$name->x}.\");\n"
                                   "define(\"_B\",\"Salut\");\n";
    m_seam->files.enqueue(WriteFixture(*m_dir, QStringLiteral("code-english.php"), templ));
    m_seam->files.enqueue(WriteFixture(*m_dir, QStringLiteral("code-french.php"), translation));
    m_form->FileOpenAction()->trigger();
    const QStringList lines = Tip(0).split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines[0].startsWith(QLatin1String("Error: [code] remove {$name->x}, ")),
             qPrintable(lines[0]));
    QVERIFY2(lines[1].startsWith(QLatin1String("[punctuation] ")), qPrintable(lines[1]));
    const PhraseProblems& problems = Model()->Problems();
    QCOMPARE(problems.Severity(0), PhraseSeverity::Error);
    QCOMPARE(problems.Severity(1), PhraseSeverity::Warning);
    QCOMPARE(problems.Severity(2), std::nullopt);
    const auto image = [](const QIcon& icon) { return icon.pixmap(16).toImage(); };
    QVERIFY(!problems.Mark(0).isNull() && !problems.Mark(1).isNull());
    QVERIFY(image(problems.Mark(0)) != image(problems.Mark(1)));
    QVERIFY(problems.Mark(2).isNull());

    QAction* code = m_form->ChecksMenu()->actions().first();
    QCOMPARE(code->objectName(), QString("Check_code"));
    QVERIFY(code->isChecked());
    code->trigger();
    QCOMPARE(Tip(0), lines[1]);
    QCOMPARE(problems.Severity(0), PhraseSeverity::Warning);
    QCOMPARE(m_form->SkippedChecks(), QString("code"));
}

QUILLMAR_GUI_TEST_MAIN(TestPhraseProblems)
#include "tst_phraseproblems.moc"
