#include "../support/fixture.h"
#include "find.h"
#include "gridkeys.h"
#include "mainform.h"
#include "phrasegrid.h"
#include "phrasemodel.h"
#include "scriptedseam.h"
#include "testmain.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

class TestSearchCommands : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void findStartsAtCurrentRowAgainBelow();
    void findOptions_data();
    void findOptions();
    void invalidMaskShowsErrorAndStays();
    void caseFoldingBeyondAscii();
    void dialogKeepsContentsWhenClosed();
    void againNeedsText();
    void nextStateWalksAndStops();
    void templateOnlyEverythingMissing();

private:
    void Open(const QByteArray& templ, const QByteArray& translation);
    void Search(const QString& text, bool again = false);
    int Row() { return m_form->DrawGrid()->currentIndex().row(); }
    void GoTo(int row) { m_form->DrawGrid()->setCurrentIndex(m_form->Model()->index(row, 2)); }

    QTemporaryDir* m_dir = nullptr;
    ScriptedSeam* m_seam = nullptr;
    TMainForm* m_form = nullptr;
};

namespace {

const QByteArray Template = "define(\"_WELCOME\",\"A welcome\");\n" // 0
                            "define(\"_THE\",\"Other\");\n"         // 1
                            "define(\"_STAR\",\"Five * stars\");\n" // 2
                            "define(\"_BRACKET\",\"[x] box\");\n"   // 3
                            "define(\"_END\",\"the end\");\n";      // 4
const QByteArray Translation = "define(\"_WELCOME\",\"Bienvenue\");\n"
                               "define(\"_THE\",\"Other\");\n"
                               "define(\"_BRACKET\",\"[x] case\");\n";

} // namespace

void TestSearchCommands::init()
{
    m_dir = new QTemporaryDir;
    m_seam = new ScriptedSeam;
    m_form = new TMainForm(*m_seam);
}

void TestSearchCommands::cleanup()
{
    QCOMPARE(m_seam->unexpected, 0);
    delete m_form;
    delete m_seam;
    delete m_dir;
}

void TestSearchCommands::Open(const QByteArray& templ, const QByteArray& translation)
{
    m_seam->files.enqueue(WriteFixture(*m_dir, "t.php", templ));
    if (translation.isNull())
        m_seam->files.enqueue(std::nullopt);
    else
        m_seam->files.enqueue(WriteFixture(*m_dir, "tr.php", translation));
    m_form->FileOpenAction()->trigger();
}

void TestSearchCommands::Search(const QString& text, bool again)
{
    m_form->FindForm()->FindEdit()->setText(text);
    if (again)
        m_form->EditAgainAction()->trigger();
    else
        m_form->EditFindActionExecute();
}

void TestSearchCommands::findStartsAtCurrentRowAgainBelow()
{
    Open(Template, Translation);
    // Find runs when the dialog's Find button is pressed.
    QTimer::singleShot(0, m_form, [this] { m_form->FindForm()->FindButton()->click(); });
    Search(QStringLiteral("e"));
    QCOMPARE(Row(), 0); // the current row's own phrase matches: nothing moves
    m_form->EditAgainAction()->trigger();
    QCOMPARE(Row(), 1);
    GoTo(4);
    m_form->EditAgainAction()->trigger(); // from the last row: never wraps
    QCOMPARE(Row(), 4);
    QCOMPARE(m_seam->notices, QStringList{"Text not found"});
}

void TestSearchCommands::findOptions_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("original");
    QTest::addColumn<bool>("translated");
    QTest::addColumn<bool>("caseSensitive");
    QTest::addColumn<bool>("ordinary");
    QTest::addColumn<int>("row"); // -1: not found
    QTest::newRow("both columns off") << "welcome" << false << false << false << false << -1;
    QTest::newRow("plain any case") << "BIENV" << true << true << false << false << 0;
    QTest::newRow("plain case-sensitive") << "bienv" << true << true << true << false << -1;
    QTest::newRow("translations only") << "case" << false << true << false << false << 3;
    QTest::newRow("mask must fit whole text") << "WEL*" << true << false << false << false << -1;
    QTest::newRow("mask with stars") << "*WEL*" << true << false << false << false << 0;
    QTest::newRow("mask folds a-z even case-sensitive")
        << "*wel*" << true << false << true << false << 0;
    QTest::newRow("star as ordinary character") << "*" << true << true << false << true << 2;
    QTest::newRow("bracket without star is plain") << "[x]" << true << false << false << false << 3;
    QTest::newRow("blanks are part of the pattern")
        << " the " << true << true << false << false << -1;
}

void TestSearchCommands::findOptions()
{
    QFETCH(QString, text);
    QFETCH(bool, original);
    QFETCH(bool, translated);
    QFETCH(bool, caseSensitive);
    QFETCH(bool, ordinary);
    QFETCH(int, row);
    Open(Template, Translation);
    TFindForm* f = m_form->FindForm();
    f->OriginalBox()->setChecked(original);
    f->TranslatedBox()->setChecked(translated);
    f->RegistryBox()->setChecked(caseSensitive);
    f->MaskOrdBox()->setChecked(ordinary);
    f->FindEdit()->setText(text);
    m_form->FindText(false);
    QCOMPARE(m_seam->notices.isEmpty(), row >= 0);
    QCOMPARE(Row(), row >= 0 ? row : 0);
}

void TestSearchCommands::invalidMaskShowsErrorAndStays()
{
    Open(Template, Translation);
    GoTo(2);
    m_form->FindForm()->FindEdit()->setText(QStringLiteral("*["));
    m_form->Guarded([this] { m_form->FindText(false); });
    QCOMPARE(m_seam->errors,
             QStringList{"'*[' is an invalid mask at (3)"}); // no full stop after ')'
    QVERIFY(m_seam->notices.isEmpty());
    QCOMPARE(Row(), 2);

    // Case-insensitive searches report the pattern as tested: upper-cased.
    m_form->FindForm()->FindEdit()->setText(QStringLiteral("*a["));
    m_form->EditAgainAction()->trigger();
    QCOMPARE(m_seam->errors.last(), QString("'*A[' is an invalid mask at (4)"));
}

void TestSearchCommands::caseFoldingBeyondAscii()
{
    // "привет" in windows-1251, searched for in capitals.
    Open("define(\"_HI\",\"\xEF\xF0\xE8\xE2\xE5\xF2\");\ndefine(\"_X\",\"x\");\n", QByteArray());
    m_form->ChooseEncoding("windows-1251");
    GoTo(1);
    m_form->FindForm()->FindEdit()->setText(QString::fromUtf8("ПРИВЕТ"));
    m_form->FindText(false);
    QCOMPARE(m_seam->notices, QStringList{"Text not found"}); // never wraps to row 0
    GoTo(0);
    m_form->FindText(false);
    QCOMPARE(Row(), 0);
    m_form->FindForm()->RegistryBox()->setChecked(true);
    m_form->FindText(false);
    QCOMPARE(m_seam->notices.size(), 2);
}

void TestSearchCommands::dialogKeepsContentsWhenClosed()
{
    Open(Template, Translation);
    TFindForm* f = m_form->FindForm();
    QTimer::singleShot(0, f, [f] {
        f->FindEdit()->setText(QStringLiteral("END"));
        f->RegistryBox()->setChecked(false);
        f->CloseButton()->click();
    });
    m_form->EditFindActionExecute();
    QCOMPARE(Row(), 0); // Close runs no search
    QVERIFY(m_form->EditAgainAction()->isEnabled());
    m_form->EditAgainAction()->trigger();
    QCOMPARE(Row(), 4);
    QCOMPARE(f->FindEdit()->text(), QString("END"));
}

void TestSearchCommands::againNeedsText()
{
    QVERIFY(!m_form->EditFindAction()->isEnabled());
    Open(Template, Translation);
    QVERIFY(m_form->EditFindAction()->isEnabled());
    m_form->FindForm()->FindEdit()->setText(QStringLiteral(" \t "));
    QVERIFY(!m_form->EditAgainAction()->isEnabled());
    m_form->FindForm()->FindEdit()->setText(QStringLiteral(" x "));
    QVERIFY(m_form->EditAgainAction()->isEnabled());
}

void TestSearchCommands::nextStateWalksAndStops()
{
    Open(Template, Translation); // states: translated, untranslated, missing, translated, missing
    QAction* missing = m_form->NextMissingAction();
    QAction* untranslated = m_form->NextLatinAction();
    missing->trigger();
    QCOMPARE(Row(), 2);
    missing->trigger();
    QCOMPARE(Row(), 4);
    missing->trigger(); // the last one: stays, no message
    QCOMPARE(Row(), 4);
    untranslated->trigger(); // earlier matches are never found
    QCOMPARE(Row(), 4);
    GoTo(0);
    untranslated->trigger();
    QCOMPARE(Row(), 1);
    QVERIFY(m_seam->notices.isEmpty());
}

void TestSearchCommands::templateOnlyEverythingMissing()
{
    Open(Template, QByteArray());
    for (int row = 1; row < 5; ++row) {
        m_form->NextMissingAction()->trigger();
        QCOMPARE(Row(), row);
    }
    GoTo(0);
    m_form->NextLatinAction()->trigger();
    QCOMPARE(Row(), 0);

    // Lines but no phrase: the commands are enabled and do nothing.
    m_seam->files.enqueue(WriteFixture(*m_dir, "t.php", "<?php\n?>\n"));
    m_form->FileNewAction()->trigger();
    QVERIFY(m_form->NextMissingAction()->isEnabled());
    QCOMPARE(m_form->SelectionText(), QString("Translated")); // the header row's current cell
    m_form->NextMissingAction()->trigger();
    m_form->FindForm()->FindEdit()->setText(QStringLiteral("x"));
    m_form->FindText(false);
    QCOMPARE(m_seam->notices, QStringList{"Text not found"});
}

QUILLMAR_GUI_TEST_MAIN(TestSearchCommands)
#include "tst_searchcommands.moc"
