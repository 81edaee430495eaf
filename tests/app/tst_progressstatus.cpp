#include "../support/fixture.h"
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
#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>
#include <QTemporaryDir>

namespace {

// States after the merge: translated, untranslated, missing, missing.
const QByteArray Template = "define(\"_A\",\"Alpha\");\n"
                            "define(\"_B\",\"Beta\");\n"
                            "define(\"_C\",\"Gamma\");\n"
                            "define(\"_D\",\"Delta\");\n";
const QByteArray Translation = "define(\"_A\",\"Alfa\");\n"
                               "define(\"_B\",\"Beta\");\n";

} // namespace

class TestProgressStatus : public WindowTest
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void progressText_data();
    void progressText();
    void followsTheDocument();

private:
    QString Text() { return m_form->Progress()->Label()->text(); }
};

void TestProgressStatus::init()
{
    ShowWindow();
}

void TestProgressStatus::cleanup()
{
    CloseWindow();
}

void TestProgressStatus::progressText_data()
{
    QTest::addColumn<int>("translated");
    QTest::addColumn<int>("phrases");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");
    QTest::newRow("group separator") << 812 << 1000 << "en_US"
                                     << "812 of 1,000 translated (81 %)";
    QTest::newRow("the locale's separator") << 1234567 << 2000000 << "de_DE"
                                            << "1.234.567 of 2.000.000 translated (61 %)";
    QTest::newRow("rounded down below all") << 999 << 1000 << "en_US"
                                            << "999 of 1,000 translated (99 %)";
    QTest::newRow("all") << 1000 << 1000 << "en_US"
                         << "1,000 of 1,000 translated (100 %)";
    QTest::newRow("none") << 0 << 7 << "en_US"
                          << "0 of 7 translated (0 %)";
    QTest::newRow("no phrases") << 0 << 0 << "en_US"
                                << "0 of 0 translated (0 %)";
    QTest::newRow("no overflow near the int limit")
        << 2000000000 << 2100000000 << "en_US"
        << "2,000,000,000 of 2,100,000,000 translated (95 %)";
}

void TestProgressStatus::progressText()
{
    QFETCH(int, translated);
    QFETCH(int, phrases);
    QFETCH(QString, locale);
    QFETCH(QString, text);
    PhraseStatistics st;
    st.phrases = phrases;
    st.translated = translated;
    QCOMPARE(ProgressStatus::ProgressText(st, QLocale(locale)), text);
}

void TestProgressStatus::followsTheDocument()
{
    ProgressStatus* progress = m_form->Progress();
    QLabel* mark = progress->ModifiedMark();
    // The start screen shows no progress.
    QVERIFY(progress->isHidden());

    m_seam->files.enqueue(WriteFixture(*m_dir, "lang-english.php", Template));
    m_seam->files.enqueue(WriteFixture(*m_dir, "lang-french.php", Translation));
    m_form->FileOpenAction()->trigger();
    QVERIFY(progress->isVisible());
    QCOMPARE(Text(), QString("1 of 4 translated (25 %)"));
    QCOMPARE(progress->Bar()->maximum(), 4);
    QCOMPARE(progress->Bar()->value(), 1);
    QVERIFY(mark->isHidden());
    // The merge's summary stays as it was, beside it.
    QCOMPARE(m_form->StatusLabel()->text(), QString("Phrases: 4, Untranslated: 1, Missing: 2"));

    // The first keystroke into a missing phrase counts it, and marks the changes unsaved.
    PhraseGrid* grid = m_form->DrawGrid();
    grid->setCurrentIndex(m_form->Model()->index(2, PhraseTableModel::ColumnTranslated));
    TypeKeys(grid, "G");
    QCOMPARE(Text(), QString("2 of 4 translated (50 %)"));
    QCOMPARE(progress->Bar()->value(), 2);
    QVERIFY(mark->isVisible());
    QVERIFY(!mark->toolTip().isEmpty());
    TypeKeys(grid, "a");
    PressKey(grid, Qt::Key_Escape); // the text goes back; the state, and so the count, stays
    QCOMPARE(Text(), QString("2 of 4 translated (50 %)"));
    PressKey(grid, Qt::Key_Down);
    TypeKeys(grid, "D");
    QCOMPARE(Text(), QString("3 of 4 translated (75 %)"));

    m_seam->files.enqueue(m_dir->filePath("saved.php"));
    m_form->FileSaveAsAction()->trigger();
    QVERIFY(mark->isHidden());
    QCOMPARE(Text(), QString("3 of 4 translated (75 %)"));

    // New, cancelled at the chooser: no document, no progress.
    m_seam->files.enqueue(std::nullopt);
    m_form->FileNewAction()->trigger();
    QVERIFY(!m_form->Document().IsDocumentLoaded());
    QVERIFY(progress->isHidden());
}

QUILLMAR_GUI_TEST_MAIN(TestProgressStatus)
#include "tst_progressstatus.moc"
