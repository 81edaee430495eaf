// The window's commands where a file could be lost: failing disks, names that are not files,
// the template named as the translation, bytes not read, and other programs' changes.
#include "../support/fixture.h"
#include "../support/resourcelimits.h"
#include "documentwatcher.h"
#include "gridkeys.h"
#include "mainform.h"
#include "phrasegrid.h"
#include "scriptedseam.h"
#include "testmain.h"

#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray Template = "<?php\r\n"
                            "define(\"_HELLO\",\"Hello\");\r\n"
                            "define(\"_BYE\",\"Bye\");\r\n";
const QByteArray Translation = "<?php\r\n"
                               "define(\"_HELLO\",\"Bonjour\");\r\n"
                               "define(\"_BYE\",\"Au revoir\");\r\n";

// Another program rewrites a file in place, as an editor that keeps the inode does.
void RewriteInPlace(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

// Another program replaces a file by renaming a new one over it, as version control does.
void ReplaceByRename(const QString& path, const QByteArray& bytes)
{
    const QString fresh = path + ".new";
    RewriteInPlace(fresh, bytes);
    QVERIFY(QFile::rename(path + ".new", path) ||
            (QFile::remove(path) && QFile::rename(fresh, path)));
}

} // namespace

class TestFileSafety : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void failedLastByteKeepsFileAndChanges_data();
    void failedLastByteKeepsFileAndChanges();
    void saveOverTemplateAsks_data();
    void saveOverTemplateAsks();
    void openRefusesWhatIsNotALanguageFile_data();
    void openRefusesWhatIsNotALanguageFile();
    void nulCutTranslationIsToldAndAsked();
    void templateDataIsToldAndKept();
    void changedOnDiskIsShownAndAsked_data();
    void changedOnDiskIsShownAndAsked();
    void twoWindowsOnOneFile();
    void reloadReadsTheFilesAgain();
    void unreadFileIsReplacedOnlyWhenAsked_data();
    void unreadFileIsReplacedOnlyWhenAsked();
    void unrepresentableNamesAreRefused();
    void outOfMemoryIsAnError();

private:
    void Open(const QString& translation);

    QTemporaryDir* m_dir = nullptr;
    ScriptedSeam* m_seam = nullptr;
    TMainForm* m_form = nullptr;
    QString m_template;
    QString m_translation;
};

void TestFileSafety::init()
{
    m_dir = new QTemporaryDir;
    m_seam = new ScriptedSeam;
    m_form = new TMainForm(*m_seam);
    m_template = WriteFixture(*m_dir, "lang-english.php", Template);
    m_translation = WriteFixture(*m_dir, "lang-french.php", Translation);
}

void TestFileSafety::cleanup()
{
    QCOMPARE(m_seam->unexpected, 0);
    m_form->Document().ClearDocument(); // no question when the test's window goes
    delete m_form;
    delete m_seam;
    delete m_dir;
}

void TestFileSafety::Open(const QString& translation)
{
    m_seam->files.enqueue(m_template);
    m_seam->files.enqueue(translation);
    m_form->FileOpenAction()->trigger();
}

void TestFileSafety::failedLastByteKeepsFileAndChanges_data()
{
    QTest::addColumn<bool>("inPlace");
    QTest::newRow("replaced") << false;
    // A second name makes the save write the file itself, then put its bytes back.
    QTest::newRow("written in place") << true;
}

void TestFileSafety::failedLastByteKeepsFileAndChanges()
{
    QFETCH(bool, inPlace);
    if (inPlace)
        QCOMPARE(::link(QFile::encodeName(m_translation).constData(),
                        QFile::encodeName(m_dir->filePath("second.php")).constData()),
                 0);
    Open(m_translation);
    TypeKeys(m_form->DrawGrid(), "Salut tout le monde");
    const qsizetype size = m_form->Document().BuildTranslationFile().size();
    {
        FileSizeLimit limit(rlim_t(size - 1));
        m_form->FileSaveAction()->trigger();
    }
    QCOMPARE(m_seam->errors, QStringList{"Stream write error.\n" + m_translation +
                                         " is as it was before the save (File too large)"});
    QCOMPARE(ReadAll(m_translation), Translation);
    QCOMPARE(RawEntries(QFile::encodeName(m_dir->path())).size(),
             inPlace ? 3 : 2); // no temporary file left behind
    QVERIFY(m_form->Document().Modified());
    QVERIFY(m_form->FileSaveAction()->isEnabled());
    // The bytes put back are the file the window read: no change by another program is told.
    QTest::qWait(300);
    QVERIFY2(m_form->DiskLabel()->text().isEmpty(), qPrintable(m_form->DiskLabel()->text()));
    // The changes are still there to lose, so closing asks.
    m_form->show();
    m_seam->confirms.enqueue(DialogSeam::Answer::Cancel);
    QVERIFY(!m_form->close());
    QCOMPARE(m_seam->confirmTexts.size(), 1);
}

void TestFileSafety::saveOverTemplateAsks_data()
{
    QTest::addColumn<bool>("throughLink");
    QTest::addColumn<bool>("answer");
    QTest::newRow("the template itself, no") << false << false;
    QTest::newRow("a link to the template, no") << true << false;
    QTest::newRow("the template itself, yes") << false << true;
}

void TestFileSafety::saveOverTemplateAsks()
{
    QFETCH(bool, throughLink);
    QFETCH(bool, answer);
    m_seam->files.enqueue(m_template);
    m_form->FileNewAction()->trigger();
    TypeKeys(m_form->DrawGrid(), "Salut");
    QString target = m_template;
    if (throughLink) {
        target = m_dir->filePath("link.php");
        QVERIFY(QFile::link(m_template, target));
    }
    const QString question =
        target + " is the template that is open. Overwrite the template with the translation?";
    m_seam->asks.enqueue(answer);
    if (answer) {
        m_seam->files.enqueue(target);
        m_form->FileSaveAsAction()->trigger();
        QCOMPARE(m_seam->askTexts, QStringList{question});
        QVERIFY(ReadAll(m_template).contains("define(\"_HELLO\",\"Salut\");"));
        QVERIFY(!m_form->Document().Modified());
        // The window's own save is no change by another program.
        QTest::qWait(300);
        QVERIFY(m_form->DiskLabel()->text().isEmpty());
        return;
    }
    // As a new user met it: New again, Yes to saving, and the template's name in the chooser.
    m_seam->confirms.enqueue(DialogSeam::Answer::Yes);
    m_seam->files.enqueue(target);
    m_form->FileNewAction()->trigger();
    QCOMPARE(m_seam->askTexts, QStringList{question});
    QCOMPARE(ReadAll(m_template), Template);
    QVERIFY(m_form->Document().IsDocumentLoaded());
    QVERIFY(m_form->Document().Modified());
}

void TestFileSafety::openRefusesWhatIsNotALanguageFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("asTemplate");
    QTest::addColumn<QString>("reason");
    const QString fifo = "it is a named pipe (FIFO), not a file";
    const QString utf16 = "it is encoded in UTF-16LE; save it as UTF-8 or in an 8-bit code page, "
                          "then open it again";
    QTest::newRow("FIFO as template") << "fifo" << true << fifo;
    QTest::newRow("FIFO as translation") << "fifo" << false << fifo;
    QTest::newRow("device as template") << "device" << true << "it is a device, not a file";
    QTest::newRow("UTF-16 translation") << "utf16" << false << utf16;
    QTest::newRow("folder as translation") << "folder" << false << "it is a folder";
}

void TestFileSafety::openRefusesWhatIsNotALanguageFile()
{
    QFETCH(QString, kind);
    QFETCH(bool, asTemplate);
    QFETCH(QString, reason);
    QString path = m_dir->filePath("odd.php");
    if (kind == "fifo") {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
    } else if (kind == "device") {
        path = "/dev/zero";
    } else if (kind == "folder") {
        path = m_dir->path();
    } else {
        QStringEncoder utf16(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
        const QByteArray wide = utf16(QString::fromLatin1(Translation));
        path = WriteFixture(*m_dir, "utf16.php", wide);
    }
    if (asTemplate) {
        m_seam->files.enqueue(path);
        m_form->FileOpenAction()->trigger();
    } else {
        QElapsedTimer timer;
        timer.start();
        Open(path);
        QVERIFY(timer.elapsed() < 5000); // a FIFO without a writer must not hold the window
    }
    QCOMPARE(m_seam->errors, QStringList{"Cannot open file " + path + ": " + reason + "."});
    QCOMPARE(m_form->Document().IsDocumentLoaded(), !asTemplate);
    QVERIFY(m_form->StatusLabel()->text().isEmpty());
}

void TestFileSafety::nulCutTranslationIsToldAndAsked()
{
    static const char bytes[] = "<?php\r\ndefine(\"_HELLO\",\"Bonjour\");\r\n"
                                "define(\"_BYE\",\"Salut\");\0 // kept by hand\r\n";
    const QByteArray cut(bytes, sizeof bytes - 1);
    const QString path = WriteFixture(*m_dir, "cut.php", cut);
    Open(path);
    QCOMPARE(m_seam->notices,
             QStringList{path + " has a NUL byte on line 3. The 19 bytes from there to its end are "
                                "not read, and saving over this file would drop them."});
    TypeKeys(m_form->DrawGrid(), "Salut");
    m_seam->asks.enqueue(false);
    m_form->FileSaveAction()->trigger();
    QCOMPARE(m_seam->askTexts.size(), 1);
    QVERIFY(m_seam->askTexts.first().endsWith("Saving over the file drops them. Save anyway?"));
    QCOMPARE(ReadAll(path), cut);
    QVERIFY(m_form->Document().Modified());
    // Saved elsewhere, nothing is dropped, so nothing is asked.
    m_seam->files.enqueue(m_dir->filePath("whole.php"));
    m_form->FileSaveAsAction()->trigger();
    QCOMPARE(m_seam->askTexts.size(), 1);
    QVERIFY(!m_form->Document().Modified());
}

void TestFileSafety::templateDataIsToldAndKept()
{
    static const char bytes[] = "<?php\r\ndefine(\"_HELLO\",\"Hello\");\r\n__halt_compiler();"
                                "\0\x01 payload\r\ndefine(\"_X\",\"x\");";
    const QByteArray templ(bytes, sizeof bytes - 1);
    const QString path = WriteFixture(*m_dir, "halted.php", templ);
    m_seam->files.enqueue(path);
    m_form->FileNewAction()->trigger();
    QCOMPARE(m_seam->notices,
             QStringList{path + " ends its PHP code with __halt_compiler() on line 3. The 29 "
                                "bytes after it are data, not phrases; saving copies them "
                                "unchanged."});
    QCOMPARE(m_form->Document().PhraseCount(), 1);
    TypeKeys(m_form->DrawGrid(), "Salut");
    m_seam->files.enqueue(m_dir->filePath("out.php"));
    m_form->FileSaveAsAction()->trigger();
    const QByteArray written = ReadAll(m_dir->filePath("out.php"));
    QVERIFY(written.contains("\"Salut\""));
    QVERIFY(written.endsWith(templ.sliced(templ.indexOf("__halt_compiler();"))));
}

void TestFileSafety::changedOnDiskIsShownAndAsked_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("answer");
    QTest::newRow("rewritten, keep theirs") << "rewrite" << false;
    // As rsync --inplace -t or touch -r leave it: only the change time tells.
    QTest::newRow("same size and time put back, keep theirs") << "restamp" << false;
    QTest::newRow("replaced by rename, keep theirs") << "rename" << false;
    QTest::newRow("rewritten, overwrite") << "rewrite" << true;
    QTest::newRow("deleted, save again") << "delete" << true;
}

void TestFileSafety::changedOnDiskIsShownAndAsked()
{
    QFETCH(QString, change);
    QFETCH(bool, answer);
    Open(m_translation);
    TypeKeys(m_form->DrawGrid(), "Salut");
    QByteArray theirs = "<?php\r\ndefine(\"_HELLO\",\"Coucou\");\r\n";
    if (change == "restamp") {
        theirs = QByteArray(Translation).replace("Bonjour", "Bonsoir");
        QFile file(m_translation);
        QVERIFY(file.open(QIODevice::ReadWrite));
        const QDateTime modified = file.fileTime(QFileDevice::FileModificationTime);
        QTest::qWait(20);
        QCOMPARE(file.write(theirs), Translation.size());
        file.close();
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(modified, QFileDevice::FileModificationTime));
    }
    if (change == "rewrite")
        RewriteInPlace(m_translation, theirs);
    else if (change == "restamp")
        QVERIFY(StampOf(FilePath::FromText(m_translation)).size == Translation.size());
    else if (change == "rename")
        ReplaceByRename(m_translation, theirs);
    else
        QVERIFY(QFile::remove(m_translation));
    const QString notice =
        change == "delete"
            ? "lang-french.php was deleted or moved by another program."
            : "lang-french.php was changed by another program. Reload (F5) reads it again.";
    QTRY_COMPARE(m_form->DiskLabel()->text(), notice);

    m_seam->asks.enqueue(answer);
    m_form->FileSaveAction()->trigger();
    QCOMPARE(m_seam->askTexts,
             QStringList{m_translation + (change == "delete"
                                              ? " was deleted or moved by another program since it "
                                                "was opened. Save it again?"
                                              : " was changed by another program since it was "
                                                "opened. Overwrite it?")});
    if (!answer) {
        QCOMPARE(ReadAll(m_translation), theirs);
        QVERIFY(m_form->Document().Modified());
        return;
    }
    QVERIFY(ReadAll(m_translation).contains("\"Salut\""));
    QVERIFY(!m_form->Document().Modified());
    QTRY_VERIFY(m_form->DiskLabel()->text().isEmpty());
    // Once saved, the file is ours again: the next save asks nothing.
    TypeKeys(m_form->DrawGrid(), "x");
    m_form->FileSaveAction()->trigger();
    QCOMPARE(m_seam->askTexts.size(), 1);
}

void TestFileSafety::twoWindowsOnOneFile()
{
    ScriptedSeam otherSeam;
    TMainForm other(otherSeam);
    Open(m_translation);
    otherSeam.files.enqueue(m_template);
    otherSeam.files.enqueue(m_translation);
    other.FileOpenAction()->trigger();

    TypeKeys(other.DrawGrid(), "Hallo");
    other.FileSaveAction()->trigger();
    QVERIFY(otherSeam.askTexts.isEmpty());
    QTRY_VERIFY(!m_form->DiskLabel()->text().isEmpty());
    QVERIFY(other.DiskLabel()->text().isEmpty()); // its own save is no change from outside

    TypeKeys(m_form->DrawGrid(), "Salut");
    m_seam->asks.enqueue(false);
    m_form->FileSaveAction()->trigger();
    QCOMPARE(m_seam->askTexts.size(), 1);
    QVERIFY(ReadAll(m_translation).contains("\"Hallo\""));
    other.Document().ClearDocument();
}

void TestFileSafety::reloadReadsTheFilesAgain()
{
    Open(m_translation);
    QVERIFY(m_form->FileReloadAction()->isEnabled());
    TypeKeys(m_form->DrawGrid(), "Salut");
    RewriteInPlace(m_translation, "<?php\r\ndefine(\"_HELLO\",\"Coucou\");\r\n");
    QTRY_VERIFY(!m_form->DiskLabel()->text().isEmpty());

    m_seam->asks.enqueue(false); // unsaved changes: reloading would drop them
    m_form->FileReloadAction()->trigger();
    QCOMPARE(m_form->Document().PhraseTranslation(0), QByteArray("Salut"));
    QVERIFY(m_form->Document().Modified());

    m_seam->asks.enqueue(true);
    m_form->FileReloadAction()->trigger();
    QCOMPARE(m_seam->askTexts.size(), 2);
    PhraseDocument& doc = m_form->Document();
    QCOMPARE(doc.PhraseTranslation(0), QByteArray("Coucou"));
    QCOMPARE(doc.PhraseState(1), TranslationState::tsMissing);
    QVERIFY(!doc.Modified());
    QCOMPARE(doc.TranslationFileName(), m_translation);
    QCOMPARE(m_form->StatusLabel()->text(), QString("Phrases: 2, Untranslated: 0, Missing: 1"));
    QTRY_VERIFY(m_form->DiskLabel()->text().isEmpty());

    // Nothing to lose: no question. A template alone reloads alone.
    m_seam->confirms.enqueue(DialogSeam::Answer::No);
    m_seam->files.enqueue(m_template);
    m_form->FileNewAction()->trigger();
    m_form->FileReloadAction()->trigger();
    QCOMPARE(m_seam->askTexts.size(), 2);
    QCOMPARE(doc.PhraseTranslation(0), QByteArray("Hello"));
    QVERIFY(doc.TranslationFileName().isEmpty());
}

void TestFileSafety::unreadFileIsReplacedOnlyWhenAsked_data()
{
    // how: what kept the translation's contents out of the window, or what protects the file.
    // question: what the first Save must ask before anything is written over it.
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("question");
    const QString unread = " exists, but its contents were not read into this window (it could "
                           "not be opened, or it was never opened here). Saving replaces "
                           "everything in it with the translation shown. Replace ";
    const QString changed = " was changed by another program since it was opened. Overwrite it?";
    QTest::newRow("refused when opened") << "open utf16" << unread;
    QTest::newRow("unreadable at reload") << "reload utf16" << changed;
    QTest::newRow("gone at reload") << "reload deleted" << QString();
    QTest::newRow("read-only") << "read-only"
                               << " is read-only: its owner protected it against changes. "
                                  "Replace it all the same?";
}

void TestFileSafety::unreadFileIsReplacedOnlyWhenAsked()
{
    QFETCH(QString, how);
    QFETCH(QString, question);
    QStringEncoder utf16(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
    const QByteArray wide = utf16(QString::fromLatin1(Translation));
    PhraseDocument& doc = m_form->Document();
    if (how == "read-only")
        QVERIFY(QFile::setPermissions(m_translation, QFile::ReadOwner | QFile::ReadGroup));
    if (how == "open utf16") {
        RewriteInPlace(m_translation, wide);
        Open(m_translation);
        QCOMPARE(m_seam->errors.size(), 1);
    } else {
        Open(m_translation);
    }
    TypeKeys(m_form->DrawGrid(), "Salut");
    if (how.startsWith("reload")) {
        if (how == "reload utf16")
            ReplaceByRename(m_translation, wide);
        else
            QVERIFY(QFile::remove(m_translation));
        m_seam->asks.enqueue(true); // drop the unsaved changes and read the files again
        m_form->FileReloadAction()->trigger();
        QCOMPARE(m_seam->errors.size(), 1);
        QVERIFY(m_seam->errors.first().startsWith("Cannot open file " + m_translation));
        // The window is as it was: the translation and the change typed, not the template alone.
        QCOMPARE(doc.PhraseTranslation(0), QByteArray("Salut"));
        QCOMPARE(doc.PhraseTranslation(1), QByteArray("Au revoir"));
        QVERIFY(doc.Modified());
        QCOMPARE(doc.TranslationFileName(), m_translation);
        m_seam->askTexts.clear();
    }
    const QByteArray before = QFile::exists(m_translation) ? ReadAll(m_translation) : QByteArray();

    if (question.isEmpty()) {
        // A file that is gone holds nothing to lose: it is asked for as deleted, then written.
        m_seam->asks.enqueue(true);
        m_form->FileSaveAction()->trigger();
        QVERIFY(ReadAll(m_translation).contains("\"Salut\""));
        return;
    }
    m_seam->asks.enqueue(false);
    m_form->FileSaveAction()->trigger();
    QCOMPARE(m_seam->askTexts.size(), 1);
    QVERIFY2(m_seam->askTexts.first().startsWith(m_translation + question),
             qPrintable(m_seam->askTexts.first()));
    QCOMPARE(ReadAll(m_translation), before);
    QVERIFY(doc.Modified());

    m_seam->asks.enqueue(true);
    m_form->FileSaveAction()->trigger();
    QCOMPARE(m_seam->askTexts.size(), 2);
    QVERIFY(ReadAll(m_translation).contains("\"Salut\""));
    QVERIFY(!doc.Modified());
}

void TestFileSafety::unrepresentableNamesAreRefused()
{
    // A file whose name holds a byte that is not UTF-8: the chooser can only show it with
    // U+FFFD in its place, and that name spelt back is another file.
    const QByteArray raw = QFile::encodeName(m_dir->path()) + "/fran\xe7"
                                                              "ais.php";
    {
        const int fd = ::open(raw.constData(), O_WRONLY | O_CREAT, 0644);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, Translation.constData(), size_t(Translation.size())),
                 ssize_t(Translation.size()));
        ::close(fd);
    }
    const QString shown = QFile::decodeName(raw);
    QVERIFY(shown.contains(QChar::ReplacementCharacter));
    Open(shown);
    const QString reason =
        "its name holds bytes that are not valid in the system's encoding; rename the file.";
    QCOMPARE(m_seam->errors, QStringList{"Cannot open file " + shown + ": " + reason});
    QCOMPARE(m_form->Document().Statistics().missing, 2);

    TypeKeys(m_form->DrawGrid(), "Salut");
    m_seam->files.enqueue(shown);
    m_form->FileSaveAsAction()->trigger();
    QCOMPARE(m_seam->errors.last(), "Cannot create file " + shown + ": " + reason);
    QVERIFY(m_form->Document().Modified());
    QCOMPARE(RawEntries(QFile::encodeName(m_dir->path())).size(), 3); // nothing new was written
    ::unlink(raw.constData()); // QTemporaryDir cannot spell the name to remove it
}

void TestFileSafety::outOfMemoryIsAnError()
{
    if (!AddressLimitsWork)
        QSKIP("the address sanitizer reserves address space, so a memory limit means nothing");
    // A translation far larger than the memory left: reading it fails, and the window says so.
    QByteArray big;
    big.reserve(64 << 20);
    while (big.size() < (64 << 20))
        big += "define(\"_HELLO\",\"Bonjour tout le monde, et bienvenue\");\r\n";
    const QString path = WriteFixture(*m_dir, "huge.php", big);
    big.clear();
    big.squeeze();
    m_seam->files.enqueue(m_template);
    m_form->FileNewAction()->trigger();
    TypeKeys(m_form->DrawGrid(), "Salut");
    m_seam->confirms.enqueue(DialogSeam::Answer::No);
    m_seam->files.enqueue(m_template);
    m_seam->files.enqueue(path);
    {
        MemoryLimit limit(16 << 20);
        m_form->FileOpenAction()->trigger();
    }
    QCOMPARE(m_seam->errors, QStringList{"Not enough memory to finish the command."});
    QVERIFY(m_form->Document().IsDocumentLoaded());
    QCOMPARE(m_form->Document().PhraseTranslation(0), QByteArray("Hello"));
}

QUILLMAR_GUI_TEST_MAIN(TestFileSafety)
#include "tst_filesafety.moc"
