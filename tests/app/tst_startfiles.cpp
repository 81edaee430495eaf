#include "../support/fixture.h"
#include "mainform.h"
#include "openrequest.h"
#include "quillmar_version.h"
#include "scriptedseam.h"
#include "testmain.h"

#include <QAction>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

namespace {

const QByteArray Template = "<?php\r\n"
                            "define(\"_HELLO\",\"Hello\");\r\n"
                            "define(\"_BYE\",\"Bye\");\r\n";
const QByteArray Translation = "define(\"_HELLO\",\"Bonjour\");\r\n";

// Writes a file under a name given as bytes, which QFile cannot spell when they are no valid
// UTF-8; returns its full name.
QByteArray WriteRaw(const QTemporaryDir& dir, const QByteArray& name, const QByteArray& bytes)
{
    const QByteArray path = QFile::encodeName(dir.path()) + '/' + name;
    FILE* out = std::fopen(path.constData(), "wb");
    if (!out ||
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), out) != size_t(bytes.size()))
        qFatal("cannot write fixture %s", path.constData());
    std::fclose(out);
    return path;
}

// The address a file manager gives for a file: its bytes percent-encoded.
QUrl FileUrl(const QByteArray& path)
{
    return QUrl::fromEncoded("file://" + path.toPercentEncoding("/"));
}

// Sends a drag over the window and its drop, as the window system delivers them; true when the
// window took the drag.
bool Drop(TMainForm& form, const QList<QUrl>& urls,
          Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction,
          Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QMimeData mime;
    mime.setUrls(urls);
    const QPoint at(20, 20);
    QDragEnterEvent enter(at, actions, &mime, Qt::LeftButton, modifiers);
    QCoreApplication::sendEvent(&form, &enter);
    QDropEvent drop(at, actions, &mime, Qt::LeftButton, modifiers);
    QCoreApplication::sendEvent(&form, &drop);
    QCoreApplication::processEvents(); // the files are read after the drop returns
    // Taken as a copy, never as a move: the source would delete what it moved.
    return enter.isAccepted() && drop.isAccepted() && drop.dropAction() == Qt::CopyAction;
}

} // namespace

// Files named outside the choosers: on the command line and by a drop on the window.
class TestStartFiles : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void commandLineFiles_data();
    void commandLineFiles();
    void argumentsKeepTheirBytes();
    void programPrintsAndEnds_data();
    void programPrintsAndEnds();
    void namedLikeTemplate_data();
    void namedLikeTemplate();
    void drop_data();
    void drop();
    void refusedDrop_data();
    void refusedDrop();
    void dropAsksAboutUnsavedChanges();

private:
    QString OpenErrors(const QString& templ, const QString& translation);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ScriptedSeam> m_seam;
    std::unique_ptr<TMainForm> m_form;
};

void TestStartFiles::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_seam = std::make_unique<ScriptedSeam>();
    m_form = std::make_unique<TMainForm>(*m_seam);
    WriteFixture(*m_dir, "lang-english.php", Template);
    WriteFixture(*m_dir, "lang-french.php", Translation);
}

void TestStartFiles::cleanup()
{
    QCOMPARE(m_seam->unexpected, 0);
    m_form.reset();
}

// The errors File > Open shows when its choosers give these files, in a window of its own.
QString TestStartFiles::OpenErrors(const QString& templ, const QString& translation)
{
    ScriptedSeam seam;
    TMainForm form(seam);
    seam.files.enqueue(templ);
    seam.files.enqueue(translation.isEmpty() ? std::nullopt : std::optional<QString>(translation));
    form.FileOpenAction()->trigger();
    return seam.errors.join(u'\n');
}

void TestStartFiles::commandLineFiles_data()
{
    QTest::addColumn<QString>("templ");
    QTest::addColumn<QString>("translation");
    QTest::addColumn<bool>("loaded");
    QTest::addColumn<QByteArray>("hello"); // the first phrase's translation once loaded
    QTest::newRow("both files") << "lang-english.php"
                                << "lang-french.php" << true << QByteArray("Bonjour");
    QTest::newRow("template only") << "lang-english.php"
                                   << "" << true << QByteArray("Hello");
    QTest::newRow("template missing") << "gone.php"
                                      << "lang-french.php" << false << QByteArray();
    QTest::newRow("template is a folder") << "."
                                          << "" << false << QByteArray();
    // As Open does: the error, the template kept, the name taken for Save.
    QTest::newRow("translation missing") << "lang-english.php"
                                         << "lang-german.php" << true << QByteArray("Hello");
}

void TestStartFiles::commandLineFiles()
{
    QFETCH(QString, templ);
    QFETCH(QString, translation);
    QFETCH(bool, loaded);
    QFETCH(QByteArray, hello);
    const QString templPath = QDir::cleanPath(m_dir->filePath(templ));
    const QString translationPath =
        translation.isEmpty() ? QString() : m_dir->filePath(translation);
    m_form->show();
    m_form->OpenStartFiles(
        {FilePath::FromText(templPath),
         translation.isEmpty() ? FilePath() : FilePath::FromText(translationPath)});

    QCOMPARE(m_seam->errors.join(u'\n'), OpenErrors(templPath, translationPath));
    QVERIFY(m_seam->choosersShown.isEmpty());
    QVERIFY(m_form->isVisible());
    PhraseDocument& doc = m_form->Document();
    QCOMPARE(doc.IsDocumentLoaded(), loaded);
    QCOMPARE(m_form->FileSaveAsAction()->isEnabled(), loaded);
    if (!loaded)
        return;
    QCOMPARE(doc.PhraseTranslation(0), hello);
    QCOMPARE(doc.TranslationFileName(), translationPath);
    QVERIFY(!doc.Modified());
}

void TestStartFiles::argumentsKeepTheirBytes()
{
    // What the parser gives is text; the names are the arguments' bytes.
    const char* argv[] = {"quillmar", "--", "caf\xE9.php", "./lang-fr.php"};
    const QStringList parsed = {QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3])};
    const QList<QByteArray> native = OpenRequest::NativeArguments(parsed, 4, argv);
    QCOMPARE(native, (QList<QByteArray>{"caf\xE9.php", "./lang-fr.php"}));

    // Relative names are made absolute against the current folder, so that the recent list
    // and a later save name the same files.
    const QByteArray here = QFile::encodeName(QDir::currentPath());
    QCOMPARE(OpenRequest::AbsoluteFilePath(native[0]).Native(), here + "/caf\xE9.php");
    QCOMPARE(OpenRequest::AbsoluteFilePath(native[1]).Native(), here + "/lang-fr.php");
    QCOMPARE(OpenRequest::AbsoluteFilePath("/w/a.php").Native(), QByteArray("/w/a.php"));
}

void TestStartFiles::programPrintsAndEnds_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("display"); // false: any window would fail to open
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    const QString version = QStringLiteral("Quillmar " QUILLMAR_VERSION_STRING "\n");
    QTest::newRow("--version") << QStringList{"--version"} << false << 0 << version << "";
    QTest::newRow("-v after a file")
        << QStringList{"lang.php", "-v"} << false << 0 << version << "";
    QTest::newRow("--help") << QStringList{"--help"} << false << 0
                            << "[options] [TEMPLATE [TRANSLATION]]"
                            << "";
    QTest::newRow("three files") << QStringList{"a.php", "b.php", "c.php"} << true << 1 << ""
                                 << "Quillmar: at most two files: TEMPLATE [TRANSLATION]\n";
    QTest::newRow("unknown option") << QStringList{"--bogus"} << true << 1 << ""
                                    << "Unknown option 'bogus'";
}

void TestStartFiles::programPrintsAndEnds()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, display);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.insert("QT_QPA_PLATFORM", display ? "offscreen" : "xcb");
    env.insert("XDG_CONFIG_HOME", m_dir->path());
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(QUILLMAR_PROGRAM), arguments);
    QVERIFY(program.waitForFinished(20000));
    const QString stdOut = QString::fromLocal8Bit(program.readAllStandardOutput());
    const QString stdErr = QString::fromLocal8Bit(program.readAllStandardError());
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), exitCode);
    QVERIFY2(out.isEmpty() ? stdOut.isEmpty() : stdOut.contains(out), qPrintable(stdOut));
    QVERIFY2(stdErr.contains(err), qPrintable(stdErr));
}

void TestStartFiles::namedLikeTemplate_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("like");
    QTest::newRow("TEMPLATE") << QByteArray("/w/lang-TEMPLATE.php") << true;
    QTest::newRow("english, any case") << QByteArray("/w/LANG-English.PHP") << true;
    QTest::newRow("-en before a dot") << QByteArray("/w/lang-en.php") << true;
    QTest::newRow("-en before a region") << QByteArray("/w/messages-en_GB.php") << true;
    QTest::newRow("-en starting a word") << QByteArray("/w/lang-enterprise-de.php") << false;
    QTest::newRow("-en followed by a letter in UTF-8")
        << QByteArray("/w/lang-en\xC3\xA9.php") << false;
    QTest::newRow("only the folder says english") << QByteArray("/english/lang-fr.php") << false;
    QTest::newRow("a translation") << QByteArray("/w/lang-french.php") << false;
}

void TestStartFiles::namedLikeTemplate()
{
    QFETCH(QByteArray, name);
    QFETCH(bool, like);
    QCOMPARE(OpenRequest::NamedLikeTemplate(FilePath::FromNative(name)), like);
}

void TestStartFiles::drop_data()
{
    QTest::addColumn<QList<QByteArray>>("dropped");
    QTest::addColumn<QByteArray>("templ");
    QTest::addColumn<QByteArray>("translation"); // empty: a template alone
    QTest::addColumn<bool>("shift");             // Shift held: the source proposes a move
    using Names = QList<QByteArray>;
    QTest::newRow("one file: a template alone")
        << Names{"lang-french.php"} << QByteArray("lang-french.php") << QByteArray() << false;
    QTest::newRow("two files: the drop's order")
        << Names{"site-a.php", "site-b.php"} << QByteArray("site-a.php") << QByteArray("site-b.php")
        << false;
    QTest::newRow("two files: the one named like a template")
        << Names{"lang-french.php", "lang-english.php"} << QByteArray("lang-english.php")
        << QByteArray("lang-french.php") << false;
    QTest::newRow("two named like templates: the drop's order")
        << Names{"lang-english.php", "lang-TEMPLATE.php"} << QByteArray("lang-english.php")
        << QByteArray("lang-TEMPLATE.php") << false;
    QTest::newRow("names that are no valid UTF-8") << Names{"fran\xE7"
                                                            "ais.php",
                                                            "english-\xE9.php"}
                                                   << QByteArray("english-\xE9.php")
                                                   << QByteArray("fran\xE7"
                                                                 "ais.php")
                                                   << false;
    QTest::newRow("a move proposed is taken as a copy")
        << Names{"lang-english.php"} << QByteArray("lang-english.php") << QByteArray() << true;
}

void TestStartFiles::drop()
{
    QFETCH(QList<QByteArray>, dropped);
    QFETCH(QByteArray, templ);
    QFETCH(QByteArray, translation);
    QFETCH(bool, shift);
    QList<QUrl> urls;
    QList<QByteArray> written;
    const auto removeWritten = qScopeGuard([&written] {
        for (const QByteArray& path : written)
            std::remove(path.constData());
    });
    for (const QByteArray& name : dropped) {
        written << WriteRaw(*m_dir, name, name == translation ? Translation : Template);
        urls << FileUrl(written.last());
    }
    QVERIFY(Drop(*m_form, urls, Qt::CopyAction | Qt::MoveAction,
                 shift ? Qt::ShiftModifier : Qt::NoModifier));
    const QByteArray folder = QFile::encodeName(m_dir->path()) + '/';
    const PhraseDocument& doc = m_form->Document();
    QCOMPARE(doc.TemplatePath().Native(), folder + templ);
    QCOMPARE(doc.TranslationPath().Native(),
             translation.isEmpty() ? QByteArray() : folder + translation);
    QVERIFY(doc.IsDocumentLoaded());
    QVERIFY(m_seam->errors.isEmpty());
    QVERIFY(m_seam->choosersShown.isEmpty());
    if (!translation.isEmpty())
        QCOMPARE(doc.StatusText(), QString("Phrases: 2, Untranslated: 0, Missing: 1"));
}

void TestStartFiles::refusedDrop_data()
{
    QTest::addColumn<QList<QUrl>>("urls");
    QTest::addColumn<int>("actions");
    const QUrl file = QUrl::fromLocalFile(QDir::tempPath() + "/lang-english.php");
    const int copyOrMove = int(Qt::CopyAction | Qt::MoveAction);
    QTest::newRow("three files") << QList<QUrl>{file, file, file} << copyOrMove;
    QTest::newRow("a web address")
        << QList<QUrl>{QUrl("https://example.org/lang-english.php")} << copyOrMove;
    QTest::newRow("a file on another host")
        << QList<QUrl>{QUrl("file://fileserver/lang-english.php")} << copyOrMove;
    QTest::newRow("a local file and a web address")
        << QList<QUrl>{file, QUrl("https://example.org/lang-french.php")} << copyOrMove;
    QTest::newRow("a folder") << QList<QUrl>{QUrl::fromLocalFile(QDir::tempPath())} << copyOrMove;
    QTest::newRow("no address") << QList<QUrl>{} << copyOrMove;
    QTest::newRow("only a move offered") << QList<QUrl>{file} << int(Qt::MoveAction);
}

void TestStartFiles::refusedDrop()
{
    QFETCH(QList<QUrl>, urls);
    QFETCH(int, actions);
    QVERIFY(!Drop(*m_form, urls, Qt::DropActions(actions)));
    QVERIFY(!m_form->Document().IsDocumentLoaded());
    QVERIFY(m_seam->errors.isEmpty());
    QVERIFY(m_seam->confirmTexts.isEmpty());
}

void TestStartFiles::dropAsksAboutUnsavedChanges()
{
    const QString english = m_dir->filePath("lang-english.php");
    const QString french = m_dir->filePath("lang-french.php");
    m_form->OpenStartFiles({FilePath::FromText(english), FilePath()});
    QVERIFY(m_form->Document().CommitTranslation(0, "Salut"));
    const QList<QUrl> urls = {QUrl::fromLocalFile(french), QUrl::fromLocalFile(english)};

    m_seam->confirms.enqueue(DialogSeam::Answer::Cancel);
    QVERIFY(Drop(*m_form, urls));
    QCOMPARE(m_seam->confirmTexts.size(), 1);
    QVERIFY(m_form->Document().Modified());
    QCOMPARE(m_form->Document().PhraseTranslation(0), QByteArray("Salut"));
    QVERIFY(m_form->Document().TranslationFileName().isEmpty());

    m_seam->confirms.enqueue(DialogSeam::Answer::No);
    QVERIFY(Drop(*m_form, urls));
    QCOMPARE(m_seam->confirmTexts.size(), 2);
    QVERIFY(!m_form->Document().Modified());
    QCOMPARE(m_form->Document().PhraseTranslation(0), QByteArray("Bonjour"));
    QCOMPARE(m_form->Document().TranslationFileName(), french);
}

QUILLMAR_GUI_TEST_MAIN(TestStartFiles)
#include "tst_startfiles.moc"
