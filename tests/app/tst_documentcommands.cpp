#include "../support/fixture.h"
#include "gridkeys.h"
#include "mainform.h"
#include "phrasegrid.h"
#include "phrasemodel.h"
#include "scriptedseam.h"
#include "testmain.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>

namespace {

const QByteArray Template = "<?php\r\n"
                            "define(\"_HELLO\",\"Hello\");\r\n"
                            "define(\"_BYE\",\"Bye\");\r\n"
                            "define(\"_OK\",\"OK\");\r\n";
const QByteArray Translation = "define(\"_HELLO\",\"Bonjour\");\r\n"
                               "define(\"_BYE\",\"Bye\");\r\n";

} // namespace

class TestDocumentCommands : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void newStartsUntitledTranslation();
    void openMergesAndShowsStatistics();
    void openCancelPaths_data();
    void openCancelPaths();
    void openErrors_data();
    void openErrors();
    void saveAsksOnceThenWritesToTheSameFile();
    void saveFailureKeepsModified();
    void confirmDiscard_data();
    void confirmDiscard();
    void closeAsksOnlyWithChanges();
    void logOut_data();
    void logOut();
    void choosersAreSetUpAndRemembered();

private:
    QTemporaryDir* m_dir = nullptr;
    ScriptedSeam* m_seam = nullptr;
    TMainForm* m_form = nullptr;
    QString m_template;
    QString m_translation;
};

void TestDocumentCommands::init()
{
    m_dir = new QTemporaryDir;
    m_seam = new ScriptedSeam;
    m_form = new TMainForm(*m_seam);
    m_template = WriteFixture(*m_dir, "lang-english.php", Template);
    m_translation = WriteFixture(*m_dir, "lang-french.php", Translation);
}

void TestDocumentCommands::cleanup()
{
    QCOMPARE(m_seam->unexpected, 0);
    delete m_form;
    delete m_seam;
    delete m_dir;
}

void TestDocumentCommands::newStartsUntitledTranslation()
{
    QVERIFY(!m_form->FileSaveAsAction()->isEnabled());
    QVERIFY(!m_form->EditCopyAction()->isEnabled());
    m_seam->files.enqueue(m_template);
    m_form->FileNewActionExecute();
    PhraseDocument& doc = m_form->Document();
    QCOMPARE(doc.PhraseCount(), 3);
    QVERIFY(doc.TranslationFileName().isEmpty());
    QVERIFY(m_form->StatusLabel()->text().isEmpty());
    QVERIFY(!m_form->FileSaveAction()->isEnabled());
    QVERIFY(m_form->FileSaveAsAction()->isEnabled());
    for (QAction* a : {m_form->EditFindAction(), m_form->NextLatinAction(),
                       m_form->NextMissingAction(), m_form->EditCopyAction()})
        QVERIFY2(a->isEnabled(), qPrintable(a->objectName()));
    // After a load the first phrase's translation is the current cell.
    QCOMPARE(m_form->DrawGrid()->currentIndex(),
             m_form->Model()->index(0, PhraseTableModel::ColumnTranslated));

    // One typed character is stored at once and enables Save.
    PressKey(m_form->DrawGrid(), Qt::Key_X);
    QCOMPARE(doc.PhraseTranslation(0), QByteArray("x"));
    QVERIFY(m_form->FileSaveAction()->isEnabled());

    // The first Save asks for a name.
    const QString out = m_dir->filePath("lang-new.php");
    m_seam->files.enqueue(out);
    m_form->FileSaveAction()->trigger();
    QCOMPARE(m_seam->choosersShown.last().title, QString("Save translation to language file"));
    QCOMPARE(ReadAll(out),
             QByteArray("<?php\r\ndefine(\"_HELLO\",\"x\");\r\ndefine(\"_BYE\",\"Bye\");\r\n"
                        "define(\"_OK\",\"OK\");\r\n"));
    QVERIFY(!m_form->FileSaveAction()->isEnabled());
}

void TestDocumentCommands::openMergesAndShowsStatistics()
{
    m_seam->files.enqueue(m_template);
    m_seam->files.enqueue(m_translation);
    m_form->FileOpenAction()->trigger();
    QCOMPARE(m_seam->choosersShown.size(), 2);
    QCOMPARE(m_seam->choosersShown.at(0).title, QString("Select language files template"));
    QCOMPARE(m_seam->choosersShown.at(1).title, QString("Select translation file"));
    QCOMPARE(m_form->StatusLabel()->text(), QString("Phrases: 3, Untranslated: 1, Missing: 1"));
    QCOMPARE(m_form->Document().TranslationFileName(), m_translation);
    QVERIFY(!m_form->Document().Modified());
    QCOMPARE(m_form->Model()->data(m_form->Model()->index(0, 2), Qt::DisplayRole).toString(),
             QString("Bonjour"));
}

void TestDocumentCommands::openCancelPaths_data()
{
    QTest::addColumn<bool>("cancelTemplate");
    QTest::addColumn<int>("phrases");
    QTest::newRow("template chooser cancelled") << true << 0;
    QTest::newRow("translation chooser cancelled") << false << 3;
}

void TestDocumentCommands::openCancelPaths()
{
    QFETCH(bool, cancelTemplate);
    QFETCH(int, phrases);
    // A document is open first; Open discards it whatever is chosen next.
    m_seam->files.enqueue(m_template);
    m_seam->files.enqueue(m_translation);
    m_form->FileOpenAction()->trigger();

    if (cancelTemplate) {
        m_seam->files.enqueue(std::nullopt);
    } else {
        m_seam->files.enqueue(m_template);
        m_seam->files.enqueue(std::nullopt);
    }
    m_form->FileOpenAction()->trigger();
    PhraseDocument& doc = m_form->Document();
    QCOMPARE(doc.PhraseCount(), phrases);
    QCOMPARE(doc.IsDocumentLoaded(), !cancelTemplate);
    QVERIFY(doc.TranslationFileName().isEmpty());
    QVERIFY(m_form->StatusLabel()->text().isEmpty());
    for (int i = 0; i < doc.PhraseCount(); ++i)
        QCOMPARE(doc.PhraseState(i), TranslationState::tsMissing);
    QVERIFY(m_seam->errors.isEmpty());
    // The translation chooser is preset with the (now empty) file name.
    if (!cancelTemplate)
        QVERIFY(m_seam->choosersShown.last().fileName.isEmpty());
}

void TestDocumentCommands::openErrors_data()
{
    QTest::addColumn<bool>("templateMissing");
    QTest::newRow("template unreadable") << true;
    QTest::newRow("translation unreadable") << false;
}

void TestDocumentCommands::openErrors()
{
    QFETCH(bool, templateMissing);
    const QString missing = m_dir->filePath("gone.php");
    m_seam->files.enqueue(templateMissing ? missing : m_template);
    if (!templateMissing)
        m_seam->files.enqueue(missing);
    m_form->FileOpenAction()->trigger();
    QCOMPARE(m_seam->errors, QStringList{"Cannot open file " + missing + "."});
    PhraseDocument& doc = m_form->Document();
    QCOMPARE(doc.IsDocumentLoaded(), !templateMissing);
    if (templateMissing)
        return;
    // The chosen translation name is kept: Save writes there without asking.
    QCOMPARE(doc.TranslationFileName(), missing);
    QVERIFY(m_form->StatusLabel()->text().isEmpty());
    PressKey(m_form->DrawGrid(), Qt::Key_Z);
    m_form->FileSaveAction()->trigger();
    QCOMPARE(m_seam->choosersShown.size(), 2);
    QVERIFY(ReadAll(missing).contains("define(\"_HELLO\",\"z\");"));
}

void TestDocumentCommands::saveAsksOnceThenWritesToTheSameFile()
{
    m_seam->files.enqueue(m_template);
    m_seam->files.enqueue(m_translation);
    m_form->FileOpenAction()->trigger();
    TypeKeys(m_form->DrawGrid(), "Salut");
    m_form->FileSaveAction()->trigger(); // the file name is known: no chooser
    QCOMPARE(m_seam->choosersShown.size(), 2);
    QVERIFY(ReadAll(m_translation).contains("define(\"_HELLO\",\"Salut\");"));

    // Save as always asks, preset with the current name.
    const QString other = m_dir->filePath("copy.php");
    m_seam->files.enqueue(other);
    m_form->FileSaveAsAction()->trigger();
    QCOMPARE(m_seam->choosersShown.last().fileName, m_translation);
    QCOMPARE(m_form->Document().TranslationFileName(), other);
    QCOMPARE(ReadAll(other), ReadAll(m_translation));

    // A cancelled Save as changes nothing.
    PressKey(m_form->DrawGrid(), Qt::Key_Backspace);
    m_seam->files.enqueue(std::nullopt);
    m_form->FileSaveAsAction()->trigger();
    QVERIFY(m_form->Document().Modified());
    QCOMPARE(m_form->Document().TranslationFileName(), other);
}

void TestDocumentCommands::saveFailureKeepsModified()
{
    m_seam->files.enqueue(m_template);
    m_form->FileNewActionExecute();
    PressKey(m_form->DrawGrid(), Qt::Key_Q);
    const QString bad = m_dir->filePath("no/such/dir/fr.php");
    m_seam->files.enqueue(bad);
    m_form->FileSaveAction()->trigger();
    QCOMPARE(m_seam->errors, QStringList{"Cannot create file " + bad + "."});
    QVERIFY(m_form->Document().Modified());
    QCOMPARE(m_form->Document().TranslationFileName(), bad);
    QVERIFY(m_form->FileSaveAction()->isEnabled());
}

void TestDocumentCommands::confirmDiscard_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("saveChooserAnswers"); // only for Yes: pick a file, or cancel
    QTest::addColumn<bool>("discarded");
    QTest::addColumn<bool>("written");
    QTest::newRow("cancel keeps everything")
        << int(DialogSeam::Answer::Cancel) << false << false << false;
    QTest::newRow("no discards unwritten") << int(DialogSeam::Answer::No) << false << true << false;
    QTest::newRow("yes saves through the chooser")
        << int(DialogSeam::Answer::Yes) << true << true << true;
    QTest::newRow("yes then cancelled chooser keeps everything")
        << int(DialogSeam::Answer::Yes) << false << false << false;
}

void TestDocumentCommands::confirmDiscard()
{
    QFETCH(int, answer);
    QFETCH(bool, saveChooserAnswers);
    QFETCH(bool, discarded);
    QFETCH(bool, written);
    m_seam->files.enqueue(m_template);
    m_seam->files.enqueue(m_translation);
    m_form->FileOpenAction()->trigger();
    TypeKeys(m_form->DrawGrid(), "Hi");
    const QByteArray before = ReadAll(m_translation);

    m_seam->confirms.enqueue(DialogSeam::Answer(answer));
    if (answer == int(DialogSeam::Answer::Yes))
        m_seam->files.enqueue(saveChooserAnswers ? std::optional<QString>(m_translation)
                                                 : std::nullopt);
    if (discarded)
        m_seam->files.enqueue(std::nullopt); // New's template chooser, cancelled
    m_form->FileNewAction()->trigger();

    QCOMPARE(m_seam->confirmTexts, QStringList{"Current translation not saved. Save this?"});
    if (answer == int(DialogSeam::Answer::Yes)) {
        // The chooser opens even though the document has a file name, preset with it.
        QCOMPARE(m_seam->choosersShown.at(2).title, QString("Save translation to language file"));
        QCOMPARE(m_seam->choosersShown.at(2).fileName, m_translation);
    }
    QCOMPARE(!m_form->Document().IsDocumentLoaded(), discarded);
    QCOMPARE(m_form->Document().Modified(), !discarded);
    QCOMPARE(ReadAll(m_translation) != before, written);
}

void TestDocumentCommands::closeAsksOnlyWithChanges()
{
    m_form->show();
    QVERIFY(m_form->close()); // nothing to lose: no question
    QVERIFY(m_seam->confirmTexts.isEmpty());

    m_form->show();
    m_seam->files.enqueue(m_template);
    m_form->FileNewActionExecute();
    PressKey(m_form->DrawGrid(), Qt::Key_A);
    m_seam->confirms.enqueue(DialogSeam::Answer::Cancel);
    QVERIFY(!m_form->close());
    QVERIFY(m_form->isVisible());
    QVERIFY(m_form->Document().Modified());

    m_seam->confirms.enqueue(DialogSeam::Answer::No);
    QVERIFY(m_form->close());
    QVERIFY(!m_form->Document().IsDocumentLoaded());
}

void TestDocumentCommands::logOut_data()
{
    QTest::addColumn<bool>("modified");
    QTest::addColumn<bool>("mayInteract");
    QTest::addColumn<int>("answer");              // -1: no question may be shown
    QTest::addColumn<bool>("saveChooserAnswers"); // only for Yes: pick a file, or cancel
    QTest::addColumn<bool>("goesOn");
    QTest::addColumn<bool>("written");
    const int none = -1;
    const int cancel = int(DialogSeam::Answer::Cancel);
    const int no = int(DialogSeam::Answer::No);
    const int yes = int(DialogSeam::Answer::Yes);
    QTest::newRow("nothing to lose") << false << true << none << false << true << false;
    QTest::newRow("no leave to ask: nothing shown or written")
        << true << false << none << false << true << false;
    QTest::newRow("cancel calls the log-out off")
        << true << true << cancel << false << false << false;
    QTest::newRow("no goes on, the document kept") << true << true << no << false << true << false;
    QTest::newRow("yes saves through the chooser") << true << true << yes << true << true << true;
    QTest::newRow("yes then cancelled chooser calls it off")
        << true << true << yes << false << false << false;
}

void TestDocumentCommands::logOut()
{
    QFETCH(bool, modified);
    QFETCH(bool, mayInteract);
    QFETCH(int, answer);
    QFETCH(bool, saveChooserAnswers);
    QFETCH(bool, goesOn);
    QFETCH(bool, written);
    m_seam->files.enqueue(m_template);
    m_seam->files.enqueue(m_translation);
    m_form->FileOpenAction()->trigger();
    if (modified)
        TypeKeys(m_form->DrawGrid(), "Hi");
    const QByteArray before = ReadAll(m_translation);

    if (answer >= 0)
        m_seam->confirms.enqueue(DialogSeam::Answer(answer));
    if (answer == int(DialogSeam::Answer::Yes))
        m_seam->files.enqueue(saveChooserAnswers ? std::optional<QString>(m_translation)
                                                 : std::nullopt);
    int leaveRequests = 0;
    QCOMPARE(m_form->LogOutQuery([&] {
        ++leaveRequests;
        return mayInteract;
    }),
             goesOn);

    // The session is asked for leave only when there is something to lose: it may keep the
    // program waiting while others interact.
    QCOMPARE(leaveRequests, modified ? 1 : 0);
    QCOMPARE(m_seam->confirmTexts.size(), answer >= 0 ? 1 : 0);
    // A log-out may still be called off by someone else: the document stays.
    QVERIFY(m_form->Document().IsDocumentLoaded());
    QCOMPARE(m_form->Document().Modified(), modified && !written);
    QCOMPARE(ReadAll(m_translation) != before, written);
}

void TestDocumentCommands::choosersAreSetUpAndRemembered()
{
    m_seam->files.enqueue(m_template);
    m_seam->files.enqueue(std::nullopt);
    m_form->FileOpenAction()->trigger();
    const FileChooserOptions first = m_seam->choosersShown.at(0);
    QCOMPARE(first.fileName, QString("lang-TEMPLATE.php"));
    QCOMPARE(first.defaultSuffix, QString("php"));
    QCOMPARE(first.filters.size(), 7);
    QCOMPARE(first.filters.at(1).first, QString("Language files  (Vorlane 5.x)"));
    QCOMPARE(m_seam->choosersShown.at(1).filters.size(), 6);

    // The template chooser opens next time on the path chosen last.
    m_seam->files.enqueue(std::nullopt);
    m_form->FileNewAction()->trigger();
    QCOMPARE(m_seam->choosersShown.last().fileName, m_template);

    m_seam->files.enqueue(m_template);
    m_form->FileNewAction()->trigger();
    PressKey(m_form->DrawGrid(), Qt::Key_A);
    m_seam->files.enqueue(std::nullopt);
    m_form->FileSaveAction()->trigger();
    const FileChooserOptions save = m_seam->choosersShown.last();
    QCOMPARE(save.kind, FileChooserOptions::Kind::Save);
    QVERIFY(save.defaultSuffix.isEmpty());
    QCOMPARE(save.filters.size(), 4);
}

QUILLMAR_GUI_TEST_MAIN(TestDocumentCommands)
#include "tst_documentcommands.moc"
